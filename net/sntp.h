#pragma once
// The SNTP client exchange (RFC 4330 / RFC 5905, client mode): build a request for a sending
// moment, check an answer against that moment and work out the clock offset.

#include <QByteArray>
#include <QtGlobal>

inline constexpr int kNtpPacketLength = 48;
inline constexpr quint16 kNtpPort = 123;

// A 64-bit NTP timestamp (seconds since 1900 in the high word, binary fraction in the low
// word) for ms since 1970. The seconds wrap modulo 2^32 into the next era after 2036.
quint64 ntpTimestampFromUtcMs(qint64 utcMs);
// Back to ms since 1970, the fraction rounded to the nearest ms. A seconds word with its top
// bit clear belongs to the era that began in 2036.
qint64 utcMsFromNtpTimestamp(quint64 timestamp);

// The 48-byte client request whose transmit timestamp is the sending moment.
QByteArray ntpRequest(qint64 sendingUtcMs);

// True when the datagram is an acceptable answer to the request sent at t1; then, if offsetMs
// is given, writes server minus this clock in ms (positive: the server is ahead). t4 is the
// moment of receipt. A rejected answer writes nothing.
bool ntpAnswer(const QByteArray& datagram, qint64 t1UtcMs, qint64 t4UtcMs, qint64* offsetMs);

// Offset (server minus this clock) and round-trip delay of an answer, in microseconds, from the
// four timestamps at full resolution: t1 and t4 in us, t2 and t3 at the 2^-32 s of the packet.
// Delay = (t4 - t1) - (t3 - t2). Only meaningful for an answer that ntpAnswer accepted.
struct NtpMeasure
{
    qint64 offsetUs = 0;
    qint64 delayUs = 0;
};
NtpMeasure ntpMeasure(const QByteArray& answer, qint64 t1UtcUs, qint64 t4UtcUs);
