#include "net/sntp.h"

#include <QtEndian>

namespace {

constexpr qint64 kEraOffsetSeconds = 2'208'988'800; // 1900-01-01 to 1970-01-01
constexpr int kOriginateAt = 24;
constexpr int kReceiveAt = 32;
constexpr int kTransmitAt = 40;

quint64 readTimestamp(const QByteArray& packet, int at)
{
    return qFromBigEndian<quint64>(packet.constData() + at);
}

} // namespace

quint64 ntpTimestampFromUtcMs(qint64 utcMs)
{
    // Floor division keeps the fraction in 0..999 even for a clock set before 1970; for
    // every later moment it is the plain truncating division.
    qint64 seconds = utcMs / 1000;
    qint64 millis = utcMs % 1000;
    if (millis < 0) {
        seconds -= 1;
        millis += 1000;
    }
    const quint32 ntpSeconds = quint32(quint64(seconds + kEraOffsetSeconds));
    const quint32 fraction = quint32((quint64(millis) << 32) / 1000);
    return (quint64(ntpSeconds) << 32) | fraction;
}

qint64 utcMsFromNtpTimestamp(quint64 timestamp)
{
    const quint32 s = quint32(timestamp >> 32);
    const quint64 f = quint32(timestamp);
    // RFC 4330 section 3: top bit clear means the era after 2036-02-07 06:28:16 UTC.
    const qint64 seconds = (s & 0x80000000u) ? qint64(s) : qint64(s) + (qint64(1) << 32);
    return seconds * 1000 - kEraOffsetSeconds * 1000 + qint64((f * 1000 + (1u << 31)) >> 32);
}

QByteArray ntpRequest(qint64 sendingUtcMs)
{
    QByteArray packet(kNtpPacketLength, '\0');
    packet[0] = char(0x23); // leap indicator 0, version 4, mode 3 (client)
    qToBigEndian<quint64>(ntpTimestampFromUtcMs(sendingUtcMs), packet.data() + kTransmitAt);
    return packet;
}

bool ntpAnswer(const QByteArray& datagram, qint64 t1UtcMs, qint64 t4UtcMs, qint64* offsetMs)
{
    // The sanity tests of RFC 4330 section 5, those a client without state can make.
    if (datagram.size() < kNtpPacketLength) return false;
    const quint8 first = quint8(datagram[0]);
    if ((first >> 6) == 3)
        return false; // leap indicator 3: the server's own clock is not synchronised
    if ((first & 0x07) != 4) return false;      // not a server answer
    if (quint8(datagram[1]) == 0) return false; // stratum 0: unspecified or kiss-of-death
    // The originate timestamp must echo our transmit timestamp: anything else answers
    // another or an older request. The request is a pure function of t1, so rebuild it.
    if (readTimestamp(datagram, kOriginateAt) != ntpTimestampFromUtcMs(t1UtcMs)) return false;

    if (offsetMs) {
        const qint64 t2 = utcMsFromNtpTimestamp(readTimestamp(datagram, kReceiveAt));
        const qint64 t3 = utcMsFromNtpTimestamp(readTimestamp(datagram, kTransmitAt));
        *offsetMs = ((t2 + t3) - (t1UtcMs + t4UtcMs)) / 2;
    }
    return true;
}
