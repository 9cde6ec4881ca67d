#include "clock/clockwatcher.h"

#include "clock/clockjudgement.h"
#include "net/sntp.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QSettings>
#include <QTimer>
#include <QUdpSocket>
#include <QUuid>

#include <sys/socket.h>

namespace {

constexpr int kTickMs = 1000;
constexpr int kProbeMs = 10'000;
constexpr int kBeaconMs = 30'000;
constexpr qint64 kSaveEveryMs = 30'000;
constexpr qint64 kAskEveryMs = 60'000;
constexpr qint64 kMaxAnswerBytes = 512;

const QString kLastSyncKey = QStringLiteral("clock/lastSyncUtcMs");
const QString kClientIdKey = QStringLiteral("clientId");

// Ms of a moment in us, rounded down as a clock read in ms would be.
qint64 msOfUs(qint64 us)
{
    return us / 1000 - (us % 1000 < 0 ? 1 : 0);
}

// The IPv4 form of an IPv4-mapped IPv6 address; any other address unchanged.
QHostAddress plainForm(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

ClockWatcher::ClockWatcher(QObject* parent) : ClockWatcher(Seam{}, parent) {}

ClockWatcher::ClockWatcher(const Seam& seam, QObject* parent)
    : QObject(parent), timeSource(*seam.time), ntpPort(seam.ntpPort), sinceAnswer(timeSource),
      sinceHeard(timeSource), sinceSave(timeSource), sinceOsAsk(timeSource)
{
    registerClockStateMetaType();

    QSettings settings;
    lastSyncUtcMs = settings.value(kLastSyncKey, 0).toLongLong();
    clientId = settings.value(kClientIdKey).toString();
    if (clientId.isEmpty()) {
        clientId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings.setValue(kClientIdKey, clientId);
    }

    // A socket that cannot be bound just gets no answers; the state falls to Lost or None.
    ntpSocket = new QUdpSocket(this);
    ntpSocket->bind(QHostAddress::AnyIPv4, 0);
    connect(ntpSocket, &QUdpSocket::readyRead, this, &ClockWatcher::onNtpReadyRead);

    beaconSocket = new QUdpSocket(this);
    if (beaconSocket->bind(QHostAddress::AnyIPv4, 0)) {
        // Reports also go to broadcast addresses; ask for it on the descriptor itself
        // rather than rely on the socket library's default.
        const int on = 1;
        ::setsockopt(int(beaconSocket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on,
                     sizeof on);
    }
    connect(beaconSocket, &QUdpSocket::readyRead, this, &ClockWatcher::onBeaconReadyRead);

    tickTimer = new QTimer(this);
    connect(tickTimer, &QTimer::timeout, this, &ClockWatcher::onTick);
    tickTimer->start(kTickMs);
    probeTimer = new QTimer(this);
    connect(probeTimer, &QTimer::timeout, this, &ClockWatcher::onProbe);
    probeTimer->start(kProbeMs);
    beaconTimer = new QTimer(this);
    beaconTimer->setInterval(kBeaconMs);
    connect(beaconTimer, &QTimer::timeout, this, &ClockWatcher::sendBeacon);

    judge();
}

ClockWatcher::~ClockWatcher()
{
    if (reporting) sendPacket(beaconPacket(true));
    // Exact after a clean exit; during a run the stored value may lag by up to 30 s.
    saveLastSync(true);
}

void ClockWatcher::setServer(const QString& address, const QString& name)
{
    serverName = name;
    if (address == serverAddressText) {
        emit changed();
        return;
    }

    serverAddressText = address;
    noteEvent(HistoryEventKind::Server,
              name.isEmpty() || address.isEmpty() ? address : name + " (" + address + ")");
    serverAddress.clear();
    serverIsThisComputer = false;
    // The old server's answers no longer count, and a late one finds no request outstanding.
    sinceAnswer.invalidate();
    sinceHeard.invalidate();
    probeSentUtcMs = 0;

    if (!address.isEmpty()) {
        QHostAddress parsed;
        if (parsed.setAddress(address)) {
            // Our sockets are IPv4: send to a mapped address in its IPv4 form.
            serverAddress = plainForm(parsed);
        } else {
            QHostInfo::lookupHost(address, this, [this, address](const QHostInfo& info) {
                onLookedUp(address, info);
            });
        }
        serverIsThisComputer = isThisComputer(serverAddress);
        onProbe();
    }
    judge();
}

void ClockWatcher::onLookedUp(const QString& name, const QHostInfo& info)
{
    if (serverAddressText != name) return; // the server changed while the name was being looked up
    const QList<QHostAddress> found = info.addresses();
    for (const QHostAddress& a : found) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            serverAddress = a;
            break;
        }
    }
    serverIsThisComputer = isThisComputer(serverAddress);
    onProbe();
}

ClockInputs ClockWatcher::inputs() const
{
    ClockInputs in;
    in.nowUtcMs = timeSource.utcNowMs();
    in.answered = sinceAnswer.within(kAnswerCountsMs);
    in.offsetMs = offsetMs;
    in.lastSyncUtcMs = lastSyncUtcMs;
    return in;
}

qint64 ClockWatcher::heardAgoMs() const
{
    return sinceAnswer.isValid() ? sinceAnswer.elapsedMs() : -1;
}

void ClockWatcher::probeNow()
{
    onProbe();
}

void ClockWatcher::forgetLastSync()
{
    lastSyncUtcMs = 0;
    saveLastSync(true);
    judge();
}

void ClockWatcher::setHistory(ClockHistory* h)
{
    history = h;
}

void ClockWatcher::noteEvent(HistoryEventKind kind, const QString& detail)
{
    if (history) history->addEvent({timeSource.utcNowMs(), kind, state, detail});
}

QString ClockWatcher::serverLabel() const
{
    return serverName.isEmpty() ? serverAddressText : serverName;
}

bool ClockWatcher::isThisComputer(const QHostAddress& address)
{
    if (address.isNull()) return false;
    // Both tests take an IPv4-mapped IPv6 address as its IPv4 form.
    if (address.isLoopback()) return true;
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    for (const QHostAddress& o : own) {
        if (o.isEqual(address, QHostAddress::TolerantConversion)) return true;
    }
    return false;
}

void ClockWatcher::onTick()
{
    judge();
    emit changed();
}

void ClockWatcher::onProbe()
{
    if (serverAddress.isNull()) return;
    // No retry: the next probe replaces an unanswered request, and the originate check then
    // rejects any late answer to this one.
    probeSentUtcUs = timeSource.utcNowUs();
    probeSentUtcMs = msOfUs(probeSentUtcUs);
    ntpSocket->writeDatagram(ntpRequest(probeSentUtcMs), serverAddress, ntpPort);
}

void ClockWatcher::onNtpReadyRead()
{
    while (ntpSocket->hasPendingDatagrams()) {
        QByteArray datagram(kMaxAnswerBytes, '\0');
        const qint64 n = ntpSocket->readDatagram(datagram.data(), datagram.size());
        if (n < 0) break;
        datagram.truncate(int(n));
        if (probeSentUtcMs == 0)
            continue; // nothing outstanding: a copy of an answer already taken, or stale
        qint64 offset = 0;
        const qint64 t4Us = timeSource.utcNowUs();
        // The sender is not compared with the server: the originate check is the match.
        if (!ntpAnswer(datagram, probeSentUtcMs, msOfUs(t4Us), &offset)) continue;
        probeSentUtcMs = 0;
        offsetMs = offset;
        sinceAnswer.restart();
        judge();
        if (history) {
            const NtpMeasure m = ntpMeasure(datagram, probeSentUtcUs, t4Us);
            history->addSample({msOfUs(t4Us), m.offsetUs, m.delayUs, serverAddressText, state});
        }
        emit changed();
    }
}

void ClockWatcher::judge()
{
    const ClockInputs in = inputs();
    const ClockState current = judgeClock(in);
    if (current == ClockState::Sync) {
        // While in sync the last-sync moment follows the clock second by second.
        lastSyncUtcMs = in.nowUtcMs;
        saveLastSync(false);
    }

    const ClockState previous = state;
    state = current;
    if (current != previous) {
        noteEvent(HistoryEventKind::State, "from " + clockStateWord(previous));
        emit stateChanged(current);
        // The server hears of a change at once, not at the next beat.
        if (reporting) sendBeacon();
    }

    // A server running on this computer, not steady, would chase this computer's clock
    // while this computer chases it: never ask the system to sync from it.
    if (chasesOwnServer()) return;
    if (!shouldAskOsToSync(previous, current, in)) return;
    if (sinceOsAsk.within(kAskEveryMs)) return;
    sinceOsAsk.restart();
    emit wantsOsSync();
}

void ClockWatcher::saveLastSync(bool force)
{
    if (!force && sinceSave.isValid() && sinceSave.elapsedMs() < kSaveEveryMs) return;
    sinceSave.restart();
    QSettings().setValue(kLastSyncKey, lastSyncUtcMs);
}
