#include "tests/clock/sntppeer.h"

#include "clock/sntp.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

SntpPeer::SntpPeer(const TimeSource& time, const QHostAddress& address, quint16 port)
    : time_(time), socket_(new QUdpSocket(this))
{
    if (!socket_->bind(address, port))
        qFatal("SntpPeer: cannot bind %s:%u", qPrintable(address.toString()), unsigned(port));
    connect(socket_, &QUdpSocket::readyRead, this, &SntpPeer::onReadyRead);
}

quint16 SntpPeer::port() const
{
    return socket_->localPort();
}

void SntpPeer::answerHeld(int index)
{
    answer(received_.at(index), 0);
}

void SntpPeer::onReadyRead()
{
    while (socket_->hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_->receiveDatagram();
        received_.append(d.data());
        lastSender_ = d.senderAddress();
        lastSenderPort_ = quint16(d.senderPort());
        if (mode == Mode::Answer || mode == Mode::Duplicate) answer(d.data(), 0);
        if (mode == Mode::Duplicate) answer(d.data(), 100);
        emit requestReceived();
    }
}

void SntpPeer::answer(const QByteArray& request, qint64 extraMs)
{
    QByteArray a(kNtpPacketLength, '\0');
    a[0] = char(0x24); // version 4, server
    a[1] = char(2);
    a.replace(24, 8, request.mid(40, 8)); // originate: the request's transmit timestamp
    const quint64 now = ntpTimestampFromUtcMs(time_.utcNowMs() + offsetMs + extraMs);
    qToBigEndian<quint64>(now, a.data() + 32);
    qToBigEndian<quint64>(now, a.data() + 40);
    socket_->writeDatagram(a, lastSender_, lastSenderPort_);
}
