#pragma once
// The lamp in every state, lit and dimmed, plain and with words, at 1x and 2x, on one bar.

#include <QString>

// Each device pixel drawn as a block, so that the antialiasing can be judged by eye.
bool saveLampSheet(const QString& path, bool darkBar);
