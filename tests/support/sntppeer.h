// What the clock's tests and the windows' tests share: a time source the test moves by hand,
// a UDP peer on loopback, and the SNTP answers such a peer gives.
#pragma once

#include "clock/timesource.h"
#include "net/sntp.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

#include <functional>

// advance() moves both clocks; changing utc alone is setting the system clock.
struct FakeTime final : TimeSource
{
    explicit FakeTime(qint64 utcMs = 1'699'999'999'999) : utc(utcMs) {}
    qint64 utc, mono = 5'000'000;
    qint64 utcNowMs() const override { return utc; }
    qint64 monotonicMs() const override { return mono; }
    void advance(qint64 ms) { utc += ms, mono += ms; }
};

// A server's answer to the request sent at t1; bytes the client never reads hold junk.
inline QByteArray sntpAnswer(qint64 t1, qint64 t2, qint64 t3, quint8 first = 0x24,
                             quint8 stratum = 2)
{
    QByteArray a(48, char(0xA5));
    a[0] = char(first);
    a[1] = char(stratum);
    qToBigEndian(ntpTimestampFromUtcMs(t1), a.data() + 24);
    qToBigEndian(ntpTimestampFromUtcMs(t2), a.data() + 32);
    qToBigEndian(ntpTimestampFromUtcMs(t3), a.data() + 40);
    return a;
}

// A UDP peer on loopback that keeps every datagram it gets and may answer it at once.
struct Peer : QObject
{
    Peer(const char* address, quint16 port)
    {
        if (!socket.bind(QHostAddress(address), port)) qFatal("cannot bind %s", address);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                got << socket.receiveDatagram();
                if (reply) reply(int(got.size()) - 1);
            }
        });
    }
    void send(int i, const QByteArray& bytes) { socket.writeDatagram(got.at(i).makeReply(bytes)); }
    quint16 port() const { return socket.localPort(); }

    QUdpSocket socket;
    QList<QNetworkDatagram> got;
    std::function<void(int)> reply;
};

// An SNTP server that answers at once with the test's time plus an offset, or stays silent.
struct SntpPeer : Peer
{
    explicit SntpPeer(const TimeSource& time, const char* address = "127.0.0.1", quint16 port = 0)
        : Peer(address, port)
    {
        reply = [this, &time](int i) { // the request's transmit time is the answer's originate
            const qint64 t1 =
                utcMsFromNtpTimestamp(qFromBigEndian<quint64>(got[i].data().constData() + 40));
            const qint64 now = time.utcNowMs() + offsetMs;
            for (int n = 0; !silent && n <= copies; ++n)
                send(i, sntpAnswer(t1, now + 100 * n, now + 100 * n));
        };
    }
    qint64 offsetMs = 0; // this peer's clock minus the test's system clock
    bool silent = false;
    int copies = 0; // more answers to each request, 100 ms apart
};
