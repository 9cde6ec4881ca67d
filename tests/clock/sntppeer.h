// What the clock's tests and the windows' tests share: a time source the test moves by hand,
// and an SNTP server on loopback that answers at that time plus an offset.
#pragma once

#include "clock/sntp.h"
#include "clock/timesource.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

// advance() moves both clocks; changing utc alone is setting the system clock.
struct FakeTime final : TimeSource
{
    explicit FakeTime(qint64 utcMs = 1'699'999'999'999) : utc(utcMs) {}
    qint64 utc, mono = 5'000'000;
    qint64 utcNowMs() const override { return utc; }
    qint64 monotonicMs() const override { return mono; }
    void advance(qint64 ms) { utc += ms, mono += ms; }
};

class SntpPeer
{
public:
    explicit SntpPeer(const TimeSource& time) : time_(time)
    {
        if (!socket_.bind(QHostAddress::LocalHost, 0)) qFatal("SntpPeer: cannot bind");
        QObject::connect(&socket_, &QUdpSocket::readyRead, [this] {
            while (socket_.hasPendingDatagrams()) {
                const QNetworkDatagram request = socket_.receiveDatagram();
                if (!silent) answer(request);
            }
        });
    }
    quint16 port() const { return socket_.localPort(); }

    qint64 offsetMs = 0; // this peer's clock minus the test's system clock
    bool silent = false;

private:
    void answer(const QNetworkDatagram& request)
    {
        QByteArray a(kNtpPacketLength, '\0');
        a[0] = char(0x24); // version 4, server
        a[1] = char(2);
        a.replace(24, 8, request.data().mid(40, 8)); // originate: the request's transmit time
        const quint64 now = ntpTimestampFromUtcMs(time_.utcNowMs() + offsetMs);
        qToBigEndian<quint64>(now, a.data() + 32);
        qToBigEndian<quint64>(now, a.data() + 40);
        socket_.writeDatagram(request.makeReply(a));
    }

    const TimeSource& time_;
    QUdpSocket socket_;
};
