#include "net/sntp.h"

#include <QtEndian>

namespace {

constexpr qint64 kEraOffsetSeconds = 2'208'988'800; // 1900-01-01 to 1970-01-01
constexpr int kOriginateAt = 24;
constexpr int kReceiveAt = 32;
constexpr int kTransmitAt = 40;
constexpr quint8 kUnsynchronizedStratum = 16;

quint64 readTimestamp(const QByteArray& packet, int at)
{
    return qFromBigEndian<quint64>(packet.constData() + at);
}

// Seconds since 1970 of an NTP seconds word. RFC 4330 section 3: top bit clear means the era
// after 2036-02-07 06:28:16 UTC.
qint64 unixSeconds(quint32 s)
{
    return ((s & 0x80000000u) ? qint64(s) : qint64(s) + (qint64(1) << 32)) - kEraOffsetSeconds;
}

// Ns since 1970 of a whole NTP timestamp; ns keep its fraction without loss worth the name.
qint64 unixNs(quint64 timestamp)
{
    const quint64 f = quint32(timestamp);
    return unixSeconds(quint32(timestamp >> 32)) * 1'000'000'000 +
           qint64((f * 1'000'000'000 + (1u << 31)) >> 32);
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
    const quint64 f = quint32(timestamp);
    return unixSeconds(quint32(timestamp >> 32)) * 1000 + qint64((f * 1000 + (1u << 31)) >> 32);
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
    if ((first & 0x07) != 4) return false; // not a server answer
    // Stratum 0 is unspecified or kiss-of-death; 16 and above say the server has no time.
    const quint8 stratum = quint8(datagram[1]);
    if (stratum == 0 || stratum >= kUnsynchronizedStratum) return false;
    if (readTimestamp(datagram, kTransmitAt) == 0) return false; // no time was sent
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

NtpMeasure ntpMeasure(const QByteArray& answer, qint64 t1UtcUs, qint64 t4UtcUs)
{
    if (answer.size() < kNtpPacketLength) return {};
    const qint64 t1 = t1UtcUs * 1000, t4 = t4UtcUs * 1000;
    const qint64 t2 = unixNs(readTimestamp(answer, kReceiveAt));
    const qint64 t3 = unixNs(readTimestamp(answer, kTransmitAt));
    // Worked out in ns and rounded to the nearest us only at the end.
    const qint64 offsetNs = ((t2 - t1) + (t3 - t4)) / 2;
    const qint64 delayNs = (t4 - t1) - (t3 - t2);
    auto us = [](qint64 ns) { return ns >= 0 ? (ns + 500) / 1000 : -((-ns + 500) / 1000); };
    return {us(offsetNs), us(delayNs)};
}
