#include "ui/serverrules.h"

#include "clock/clockwatcher.h"
#include "contract/contract.h"
#include "discovery/app/displayname.h"
#include "engine/engine.h"

#include <QSettings>

QString serverStatusWord(const DiscoveredServer& s, const QString& currentAddress,
                         InstChip::Tone* tone)
{
    InstChip::Tone t = InstChip::Neutral;
    QString word;
    if (s.address == currentAddress) {
        word = QStringLiteral("IN USE");
        t = InstChip::Info;
    } else if (s.thisComputer && !s.steady) {
        word = QStringLiteral("THIS COMPUTER");
    } else if (isReady(s)) {
        word = QStringLiteral("READY");
        t = InstChip::Go;
    } else if (!s.accepting) {
        word = QStringLiteral("NOT ACCEPTING");
    } else if (!s.synced) {
        word = QStringLiteral("NOT SYNCED YET");
    } else {
        word = QStringLiteral("NOT ANSWERING");
    }
    if (tone) *tone = t;
    return word;
}

bool isReady(const DiscoveredServer& s)
{
    return s.synced && s.accepting && s.answering;
}

int readyCount(const QList<DiscoveredServer>& servers)
{
    int n = 0;
    for (const DiscoveredServer& s : servers)
        if (isReady(s) && (!s.thisComputer || s.steady)) ++n;
    return n;
}

bool canSetUpWith(const DiscoveredServer& s, const QString& currentAddress)
{
    return s.synced && s.accepting && !(s.thisComputer && !s.steady) && s.address != currentAddress;
}

QString setupTooltip(const DiscoveredServer* s, const QString& currentAddress)
{
    if (!s) return QStringLiteral("Select a server in the list first.");
    if (canSetUpWith(*s, currentAddress)) return QString();
    if (s->thisComputer && !s->steady)
        return QStringLiteral("This server is on this computer, and this version of it cannot "
                              "be followed from here. Update Tessavel Server.");
    if (s->address == currentAddress)
        return QStringLiteral("This computer is already set up with this server.");
    return QStringLiteral("This server is not ready yet.");
}

bool canSyncNow(const ClockWatcher& watcher)
{
    return !watcher.serverAddressText.isEmpty() && !watcher.chasesOwnServer();
}

QString syncNowTooltip(const ClockWatcher& watcher)
{
    return watcher.chasesOwnServer()
               ? QStringLiteral("Not while this computer follows the server it runs itself.")
               : QStringLiteral("Have this computer take the time from its server now, instead "
                                "of at its next sync.");
}

QString syncNowHeldBack(const ClockWatcher& watcher)
{
    if (watcher.serverAddressText.isEmpty())
        return QStringLiteral("This computer is not set up with a server yet.");
    return canSyncNow(watcher) ? QString() : syncNowTooltip(watcher);
}

QString syncIntervalText()
{
    return QString::fromStdString(contract::intervalText(contract::kSyncIntervalSeconds));
}

QString platformDefaultTimeServer()
{
    return QStringLiteral("Apple's time server (%1)").arg(contract::kPlatformDefaultTimeServer);
}

SavedServer savedServer(const QString& address)
{
    const QSettings settings;
    if (address.isEmpty() || settings.value(QStringLiteral("server/address")).toString() != address)
        return {};
    return {displayName(settings.value(QStringLiteral("server/name")).toString()),
            settings.value(QStringLiteral("server/steady"), false).toBool()};
}

void followSetUpServer(ClockWatcher& watcher)
{
    const QString current = Engine::currentSetup().server;
    const SavedServer saved = savedServer(current);
    watcher.setServer(current, saved.name);
    watcher.serverSteady = saved.steady;
    emit watcher.changed();
}
