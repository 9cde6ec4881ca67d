// The SNTP request's bytes, the answer checks, the era rule and the offset arithmetic.

#include "clock/sntp.h"

#include <QTest>
#include <QtEndian>

namespace {

constexpr qint64 kT1 = 1'700'000'000'123;

struct Answer
{
    qint64 t1 = kT1;
    qint64 t2 = kT1;
    qint64 t3 = kT1;
    quint8 first = 0x24;
    quint8 stratum = 2;
    int length = 48;
};

QByteArray build(const Answer& a)
{
    QByteArray p(qMax(a.length, 48), '\0');
    p[0] = char(a.first);
    p[1] = char(a.stratum);
    p.replace(24, 8, ntpRequest(a.t1).mid(40, 8));
    qToBigEndian<quint64>(ntpTimestampFromUtcMs(a.t2), p.data() + 32);
    qToBigEndian<quint64>(ntpTimestampFromUtcMs(a.t3), p.data() + 40);
    for (int i = 48; i < p.size(); ++i)
        p[i] = char(0xA5); // whatever follows must not matter
    p.truncate(a.length);
    return p;
}

} // namespace

class TestSntp : public QObject
{
    Q_OBJECT

private slots:
    void requestBytes();
    void timestampRoundTrip_data();
    void timestampRoundTrip();
    void eraAfter2036();
    void acceptance_data();
    void acceptance();
    void offset_data();
    void offset();
    void rejectedWritesNothing();
};

void TestSntp::requestBytes()
{
    const QByteArray r = ntpRequest(kT1);
    QCOMPARE(r.size(), 48);
    QCOMPARE(quint8(r[0]), quint8(0x23));
    QCOMPARE(r.mid(1, 39), QByteArray(39, '\0'));
    // Seconds 3,908,988,800 and fraction 528,280,977.
    QCOMPARE(r.mid(40, 8).toHex(' '), QByteArray("e8 fe 6f 80 1f 7c ed 91"));
    QCOMPARE(utcMsFromNtpTimestamp(qFromBigEndian<quint64>(r.constData() + 40)), kT1);
}

void TestSntp::timestampRoundTrip_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::newRow("the byte vector's moment") << kT1;
    QTest::newRow("whole second") << qint64(1'700'000'000'000);
    QTest::newRow("999 ms") << qint64(1'700'000'000'999);
    QTest::newRow("1 ms") << qint64(1'700'000'000'001);
    QTest::newRow("1970") << qint64(0);
    QTest::newRow("last ms of the first era") << qint64(2'085'978'495'999);
    QTest::newRow("first ms of the next era") << qint64(2'085'978'496'000);
    QTest::newRow("2040") << qint64(2'208'988'800'500);
}

void TestSntp::timestampRoundTrip()
{
    QFETCH(qint64, ms);
    QCOMPARE(utcMsFromNtpTimestamp(ntpTimestampFromUtcMs(ms)), ms);
}

void TestSntp::eraAfter2036()
{
    // Seconds word 1 with the top bit clear: one second into the next era, not 1900.
    QCOMPARE(utcMsFromNtpTimestamp(quint64(1) << 32), qint64(2'085'978'497'000));
    // A request in 2040 wraps its seconds word modulo 2^32.
    const QByteArray r = ntpRequest(2'208'988'800'000);
    QCOMPARE(qFromBigEndian<quint32>(r.constData() + 40), quint32(0x0754fd00));
    // Top bit set stays in the first era: 2036-02-07 06:28:15 is the era's last second.
    QCOMPARE(utcMsFromNtpTimestamp(quint64(0xffffffffu) << 32), qint64(2'085'978'495'000));
}

void TestSntp::acceptance_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");
    auto with = [](auto change) {
        Answer a;
        change(a);
        return build(a);
    };
    QTest::newRow("48 bytes examined") << build(Answer{}) << true;
    QTest::newRow("47 bytes rejected") << with([](Answer& a) { a.length = 47; }) << false;
    QTest::newRow("60 bytes: first 48 examined") << with([](Answer& a) { a.length = 60; }) << true;
    QTest::newRow("0xE4 leap 3 rejected") << with([](Answer& a) { a.first = 0xE4; }) << false;
    QTest::newRow("0x24 version 4 server") << with([](Answer& a) { a.first = 0x24; }) << true;
    QTest::newRow("0x1C version 3 server") << with([](Answer& a) { a.first = 0x1C; }) << true;
    QTest::newRow("0x64 leap 1 accepted") << with([](Answer& a) { a.first = 0x64; }) << true;
    QTest::newRow("0x23 client mode rejected") << with([](Answer& a) { a.first = 0x23; }) << false;
    QTest::newRow("0x25 broadcast mode rejected")
        << with([](Answer& a) { a.first = 0x25; }) << false;
    QTest::newRow("stratum 0 rejected") << with([](Answer& a) { a.stratum = 0; }) << false;
    QTest::newRow("stratum 15 accepted") << with([](Answer& a) { a.stratum = 15; }) << true;

    QByteArray lastByte = build(Answer{});
    lastByte[31] = char(lastByte[31] ^ 0x01);
    QTest::newRow("originate off in its last byte") << lastByte << false;
    QByteArray firstByte = build(Answer{});
    firstByte[24] = char(firstByte[24] ^ 0x80);
    QTest::newRow("originate off in its first byte") << firstByte << false;
    QTest::newRow("answer to an older request")
        << with([](Answer& a) { a.t1 = kT1 - 10'000; }) << false;
    QTest::newRow("answer to a request 1 ms later")
        << with([](Answer& a) { a.t1 = kT1 + 1; }) << false;
}

void TestSntp::acceptance()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);
    QCOMPARE(ntpAnswer(datagram, kT1, kT1 + 5, nullptr), accepted);
    qint64 offset = 0;
    QCOMPARE(ntpAnswer(datagram, kT1, kT1 + 5, &offset), accepted);
}

void TestSntp::offset_data()
{
    QTest::addColumn<qint64>("t1");
    QTest::addColumn<qint64>("t4");
    QTest::addColumn<qint64>("t2");
    QTest::addColumn<qint64>("t3");
    QTest::addColumn<qint64>("expected");
    const qint64 t4 = kT1 + 80;
    QTest::newRow("symmetric delay: 0") << kT1 << t4 << kT1 + 40 << t4 - 40 << qint64(0);
    QTest::newRow("2001 / 2 truncated") << kT1 << t4 << kT1 + 1001 << t4 + 1000 << qint64(1000);
    QTest::newRow("both 1001 below") << kT1 << t4 << kT1 - 1001 << t4 - 1001 << qint64(-1001);
    QTest::newRow("-2001 / 2 toward zero") << kT1 << t4 << kT1 - 1001 << t4 - 1000 << qint64(-1000);
    QTest::newRow("server an hour ahead")
        << kT1 << t4 << kT1 + 3'600'000 << t4 + 3'600'000 << qint64(3'600'000);
    // 2040 on both sides: the server's seconds words have the top bit clear.
    const qint64 late = 2'208'988'800'123;
    QTest::newRow("after 2036, not before 1968")
        << late << late + 80 << late + 47 << late + 80 + 7 << qint64(27);
}

void TestSntp::offset()
{
    QFETCH(qint64, t1);
    QFETCH(qint64, t4);
    QFETCH(qint64, t2);
    QFETCH(qint64, t3);
    QFETCH(qint64, expected);
    Answer a;
    a.t1 = t1;
    a.t2 = t2;
    a.t3 = t3;
    qint64 offset = 12345;
    QVERIFY(ntpAnswer(build(a), t1, t4, &offset));
    QCOMPARE(offset, expected);
}

void TestSntp::rejectedWritesNothing()
{
    Answer a;
    a.stratum = 0;
    qint64 offset = 777;
    QVERIFY(!ntpAnswer(build(a), kT1, kT1 + 5, &offset));
    QCOMPARE(offset, qint64(777));
}

QTEST_GUILESS_MAIN(TestSntp)
#include "tst_sntp.moc"
