#pragma once
// The main window with a list of four servers, in every clock state and both appearances,
// each written to its own PNG in a folder.

#include <QDir>

// Needs a network namespace of its own: the server in use is a loopback SNTP peer.
bool saveWindowSheets(const QDir& dir, double scale);
