#pragma once
// The clock's history window over a generated week (a drift sawtooth, a night switched off, a
// lost server, a clock set an hour wrong by hand and set right from the alert, a change of
// server) at every range and in both appearances, an empty history, and one that cannot be
// read, each written to its own PNG in a folder.

#include <QDir>

bool saveHistorySheets(const QDir& dir, double scale);
