// The watcher's beacon reports: a small JSON report of the clock's state to the server and
// the broadcast addresses, every 30 s and on every change, and the server's heard answers.
#include "clock/clockwatcher.h"

#include "net/broadcasts.h"
#include "net/datagram.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QSysInfo>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr qint64 kHeardCountsMs = 90'000; // three regular reports
constexpr qint64 kMaxHeardBytes = qint64(discovery::kExactReadSize);

QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

} // namespace

QString ClockWatcher::reportHostName(const QString& hostName)
{
    return hostName.endsWith(QLatin1String(".local")) ? hostName.chopped(6) : hostName;
}

QByteArray ClockWatcher::beaconJson(bool bye) const
{
    QJsonObject o;
    o.insert("id", clientId);
    if (bye) o.insert("bye", true);
    o.insert("name", reportHostName(QSysInfo::machineHostName()));
    o.insert("os", QSysInfo::prettyProductName());
    o.insert("ver", QStringLiteral(TV_APP_VERSION));
    o.insert("state", clockStateWord(state));
    if (inputs().answered) o.insert("offset_ms", offsetMs);
    if (lastSyncUtcMs > 0) o.insert("last_sync", lastSyncUtcMs / 1000);
    if (!serverAddress.isNull()) o.insert("server", serverAddress.toString());
    o.insert("t", timeSource.utcNowMs());
    // QJsonObject keeps its keys sorted, which is the order the report wants.
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray ClockWatcher::beaconPacket(bool bye) const
{
    const QByteArray payload = beaconJson(bye);
    return bytes(discovery::frame(discovery::kTypeReport,
                                  std::string_view(payload.constData(), size_t(payload.size()))));
}

void ClockWatcher::sendPacket(const QByteArray& datagram)
{
    if (datagram.isEmpty()) return;
    if (!serverAddress.isNull())
        beaconSocket->writeDatagram(datagram, serverAddress, discovery::kDiscoveryPort);
    beaconSocket->writeDatagram(datagram, QHostAddress::Broadcast, discovery::kDiscoveryPort);
    for (const QHostAddress& b : interfaceBroadcasts())
        beaconSocket->writeDatagram(datagram, b, discovery::kDiscoveryPort);
}

void ClockWatcher::sendBeacon()
{
    if (reporting) sendPacket(beaconPacket(false));
}

void ClockWatcher::setReporting(bool on)
{
    if (on == reporting) return;
    if (on) {
        reporting = true;
        sinceHeard.invalidate(); // only an answer to this round of reports counts
        beaconTimer->start();
        sendBeacon();
    } else {
        beaconTimer->stop();
        sendPacket(beaconPacket(true));
        reporting = false;
        sinceHeard.invalidate();
    }
    emit changed();
}

bool ClockWatcher::isHeardForMe(const QByteArray& datagram) const
{
    const auto u =
        discovery::unframe(std::string_view(datagram.constData(), size_t(datagram.size())),
                           discovery::LengthRule::Exact);
    if (!u || u->type != discovery::kTypeHeard) return false;
    // Anything but an object reads as an empty one, whose id matches nobody.
    const QJsonObject o =
        QJsonDocument::fromJson(
            QByteArray::fromRawData(u->payload.data(), qsizetype(u->payload.size())))
            .object();
    return !clientId.isEmpty() && o.value("id").toString() == clientId;
}

void ClockWatcher::onBeaconReadyRead()
{
    while (beaconSocket->hasPendingDatagrams()) {
        const QNetworkDatagram d = beaconSocket->receiveDatagram(kMaxHeardBytes);
        if (!d.isValid()) break;
        // The answer to a farewell comes after reporting stopped; it counts for nothing.
        if (reporting && isHeardForMe(d.data())) {
            sinceHeard.restart();
            emit changed();
        }
    }
}

bool ClockWatcher::reportHeard() const
{
    return reporting && sinceHeard.within(kHeardCountsMs);
}
