#pragma once
// The clock alert in its three wordings, each written to its own PNG in a folder.

#include <QDir>

// Needs a network namespace of its own: the answering server is a loopback SNTP peer.
bool saveAlertSheets(const QDir& dir, double scale);
