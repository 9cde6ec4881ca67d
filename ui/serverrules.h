#pragma once
// The windows' rules over the servers: status words, readiness, what can be set up, and when
// "Sync now" may be used.

#include "discovery/app/discoveredserver.h"
#include "inst/instchip.h"

#include <QList>
#include <QString>

class ClockWatcher;

// The first matching word: "IN USE", "THIS COMPUTER", "READY", "NOT ACCEPTING",
// "NOT SYNCED YET", "NOT ANSWERING"; its chip tone in tone when given.
QString serverStatusWord(const DiscoveredServer& server, const QString& currentAddress,
                         InstChip::Tone* tone = nullptr);
bool isReady(const DiscoveredServer& server);
// Ready servers, but a server of this computer only when it is steady.
int readyCount(const QList<DiscoveredServer>& servers);
// Synced, accepting, not an unsteady server of this computer, and not the one in use.
bool canSetUpWith(const DiscoveredServer& server, const QString& currentAddress);
// How often the sync job runs, as the windows say it ("30 minutes").
QString syncIntervalText();
// Where the platform's network time points when nobody changed it, as the windows name it.
QString platformDefaultTimeServer();
// The set-up button's tooltip for the selection (null: none); empty while it can be used.
QString setupTooltip(const DiscoveredServer* selected, const QString& currentAddress);
// "Sync now", wherever it is offered: a server is followed, and not one the sync would chase.
bool canSyncNow(const ClockWatcher& watcher);
// Its tooltip everywhere: the warning while it is held back by the chase, else what it does.
QString syncNowTooltip(const ClockWatcher& watcher);
// Why it cannot be used now, for those who cannot see it greyed out; empty while it can.
QString syncNowHeldBack(const ClockWatcher& watcher);
// What the user's settings remember of the server at address: its name as it last came from the
// network, and whether it was steady; nothing for another address.
struct SavedServer
{
    QString name;
    bool steady = false;
};
SavedServer savedServer(const QString& address);
// Hands the watcher the server this computer is set up with, by its remembered name: what the
// main window does as it is made, for a start without the window.
void followSetUpServer(ClockWatcher& watcher);
