#include "discovery/app/discoveryclient.h"

#include "discovery/app/discoveryanswer.h"
#include "discovery/app/serveraddress.h"
#include "net/broadcasts.h"
#include "net/datagram.h"
#include "net/sntp.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <sys/socket.h>

namespace {

constexpr int kRepeatMs[] = {60, 120};
constexpr qint64 kProbeReadSize = 512;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QUdpSocket* boundSocket(QObject* parent)
{
    auto* s = new QUdpSocket(parent);
    s->bind(QHostAddress::AnyIPv4, 0);
    return s;
}

// This computer's IPv4 addresses other than loopback.
QStringList ownAddresses()
{
    QStringList own;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) own << a.toString();
    }
    return own;
}

} // namespace

DiscoveryClient::DiscoveryClient(QObject* parent) : QObject(parent), heardAllTimer(new QTimer(this))
{
    heardAllTimer->setSingleShot(true);
    connect(heardAllTimer, &QTimer::timeout, this, &DiscoveryClient::onHeardAll);
}

void DiscoveryClient::scan(int listenMs)
{
    if (scanning) return;
    scanning = true;
    heard.clear();
    answered.clear();
    followedFrom = QStringList{followed};
    // A server followed on this computer answers from this computer's network addresses.
    if (QHostAddress(followed).isLoopback()) followedFrom << ownAddresses();
    nonce = QString::number(QRandomGenerator::system()->generate(), 16);

    socket = boundSocket(this);
    const int on = 1;
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    connect(socket, &QUdpSocket::readyRead, this, &DiscoveryClient::onReadyRead);

    sendQuery();
    for (int ms : kRepeatMs) {
        QTimer::singleShot(ms, this, [this] {
            if (scanning) sendQuery();
        });
    }
    heardAllTimer->start(listenMs);
}

void DiscoveryClient::sendQuery()
{
    if (!socket) return;
    const std::string q = discovery::frame(
        discovery::kTypeQuery, discovery::queryPayload(nonce.toStdString(), "Tessavel Veridir"));
    const QByteArray query(q.data(), qsizetype(q.size()));
    socket->writeDatagram(query, QHostAddress::Broadcast, discovery::kDiscoveryPort);
    for (const QHostAddress& b : interfaceBroadcasts())
        socket->writeDatagram(query, b, discovery::kDiscoveryPort);
}

void DiscoveryClient::onReadyRead()
{
    while (socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram d = socket->receiveDatagram(qint64(discovery::kExactReadSize));
        const auto s = readDiscoveryAnswer(d.data(), nonce, d.senderAddress().toString());
        if (!s) continue;
        if (!heard.contains(s->id) && !admit(s->address)) continue;
        HeardServer& h = heard[s->id];
        if (h.addresses.isEmpty()) h.admitted = ++admittedCount;
        if (!h.addresses.contains(s->address) && h.addresses.size() < kMaxAddressesPerId)
            h.addresses.append(s->address);
        h.server = *s;
    }
}

// Whether a new id from sender takes a place. The followed server, with every place taken,
// takes the place of the id that came in last from another sender.
bool DiscoveryClient::admit(const QString& sender)
{
    const auto heldBy = [](const HeardServer& h) { return h.addresses.first(); };
    int held = 0;
    for (const HeardServer& h : heard)
        held += heldBy(h) == sender;
    if (held >= kMaxIdsPerSender) return false;
    if (heard.size() < kMaxIds) return true;
    if (!followedFrom.contains(sender)) return false;
    auto last = heard.end();
    for (auto h = heard.begin(); h != heard.end(); ++h) {
        if (!followedFrom.contains(heldBy(*h)) &&
            (last == heard.end() || h->admitted > last->admitted))
            last = h;
    }
    if (last == heard.end()) return false;
    heard.erase(last);
    return true;
}

void DiscoveryClient::onHeardAll()
{
    socket->close();
    socket->deleteLater();
    socket = nullptr;
    if (heard.isEmpty()) {
        onDone();
        return;
    }

    const QStringList own = ownAddresses();
    probeSocket = boundSocket(this);
    connect(probeSocket, &QUdpSocket::readyRead, this, &DiscoveryClient::onProbeReadyRead);
    probeSentMs = nowMs();
    const QByteArray request = ntpRequest(probeSentMs);
    QSet<QString> probed;
    for (HeardServer& h : heard) {
        if (std::any_of(h.addresses.begin(), h.addresses.end(),
                        [&](const QString& a) { return own.contains(a); })) {
            h.server.thisComputer = true;
            h.addresses.prepend(QStringLiteral("127.0.0.1"));
        }
        for (const QString& a : h.addresses) {
            if (probed.contains(a)) continue;
            probed.insert(a);
            probeSocket->writeDatagram(request, QHostAddress(a), kNtpPort);
        }
    }
    QTimer::singleShot(kProbeMs, this, &DiscoveryClient::onDone);
}

void DiscoveryClient::onProbeReadyRead()
{
    while (probeSocket && probeSocket->hasPendingDatagrams()) {
        const QNetworkDatagram d = probeSocket->receiveDatagram(kProbeReadSize);
        if (!ntpAnswer(d.data(), probeSentMs, nowMs(), nullptr)) continue;
        const QString from = senderText(d.senderAddress().toString());
        if (!answered.contains(from)) answered.append(from);
    }
}

void DiscoveryClient::onDone()
{
    if (!scanning) return;
    scanning = false;
    for (QUdpSocket** s : {&socket, &probeSocket}) {
        if (*s) {
            (*s)->close();
            (*s)->deleteLater();
            *s = nullptr;
        }
    }
    QList<DiscoveredServer> result;
    for (const HeardServer& h : heard) {
        DiscoveredServer s = h.server;
        const ChosenAddress chosen = chooseServerAddress(h.addresses, answered);
        s.address = chosen.address;
        s.answering = chosen.answered;
        result.append(s);
    }
    std::sort(result.begin(), result.end(),
              [](const DiscoveredServer& a, const DiscoveredServer& b) {
                  return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
              });
    emit finished(result);
}

bool DiscoveryClient::answersTimeNow(const QString& address, int timeoutMs)
{
    QHostAddress to;
    if (!to.setAddress(address)) return false;
    QUdpSocket s;
    if (!s.bind(QHostAddress::AnyIPv4, 0)) return false;
    const qint64 t1 = nowMs();
    s.writeDatagram(ntpRequest(t1), to, kNtpPort);
    // A negative time would be Qt's "forever".
    const QDeadlineTimer deadline(std::max(0, timeoutMs));
    if (deadline.hasExpired()) return false;
    while (!deadline.hasExpired()) {
        s.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        while (s.hasPendingDatagrams()) {
            const QNetworkDatagram d = s.receiveDatagram(kProbeReadSize);
            if (ntpAnswer(d.data(), t1, nowMs(), nullptr)) return true;
        }
    }
    return false;
}
