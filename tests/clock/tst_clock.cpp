// Clock watching: the verdict and SNTP rules at their edges, then the watcher and its reports
// against peers on loopback, the test moving time and running ticks and probes by hand.
#include "clock/clockjudgement.h"
#include "clock/clockwatcher.h"
#include "net/sntp.h"
#include "tests/support/sntppeer.h"

#include <QtNetwork>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using S = ClockState;
constexpr qint64 kT1 = 1'700'000'000'123;
constexpr qint64 kNtpZeroMs = -2'208'988'800'000; // 1900: every bit of the timestamp 0
constexpr qint64 kRejected = 777; // no offset: the answer is rejected, the value left alone
enum Flag { WentBack = 1, Asks = 2 };

QByteArray framed(char type, const QByteArray& payload, int lengthError = 0)
{
    const int n = int(payload.size()) + lengthError;
    return QByteArray("TSVL\x01", 5) + type + char(n >> 8) + char(n) + payload;
}

} // namespace

class TestClock : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> settingsDir;
    FakeTime time;
    // Two SNTP servers on one port, and the report port of both.
    std::unique_ptr<SntpPeer> ntp, second;
    std::unique_ptr<Peer> reports;
    std::unique_ptr<ClockWatcher> w;

    // A watcher whose timers the test replaces. Reports at the 30 s beat are never awaited.
    void make()
    {
        w = std::make_unique<ClockWatcher>(ClockWatcher::Seam{&time, ntp->port()}, nullptr);
        for (QTimer* t : w->findChildren<QTimer*>())
            t->stop();
    }
    // Does act and waits for the peer to get a request and, while answering, for the answer.
    void request(SntpPeer& peer, const std::function<void()>& act)
    {
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        const auto before = peer.got.size();
        act();
        QTRY_VERIFY(peer.got.size() > before);
        if (!peer.silent) QTRY_VERIFY(changed.count() > 0);
    }

private slots:
    void init()
    {
        settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir->path());
        time = FakeTime();
        ntp = std::make_unique<SntpPeer>(time);
        second = std::make_unique<SntpPeer>(time, "127.0.0.2", ntp->port());
        second->copies = 1; // each answer again, 100 ms later
        reports = std::make_unique<Peer>("0.0.0.0", 12300);
    }

    void cleanup() { w.reset(), ntp.reset(), second.reset(), reports.reset(); }

    void judge_data()
    {
        QTest::addColumn<ClockInputs>("in");
        QTest::addColumn<ClockState>("state");
        QTest::addColumn<bool>("wentBack"); // the server went back with the clock
        QTest::addColumn<bool>("asks");     // for a system sync, coming from Sync
        const auto row = [](const char* what, ClockInputs in, S state, int flags = 0) {
            QTest::newRow(what) << in << state << bool(flags & WentBack) << bool(flags & Asks);
        };
        const qint64 t = kT1, behind = t + 2001, min = std::numeric_limits<qint64>::min();
        // The inputs: now, answered, offset, last sync.
        row("never synced, however small the clock", {1, false, 0, 0}, S::None);
        row("a negative last sync is never", {1, true, 0, -5}, S::Sync);
        row("2 s behind the last sync is not wrong", {t, true, 0, t + 2000}, S::Sync);
        row("1 ms more is, and the server agrees", {t, true, 500, behind}, S::Wrong,
            WentBack | Asks);
        row("the server does not", {t, true, 501, behind}, S::Wrong, Asks);
        row("wrong with the server silent: nobody to ask", {t, false, 0, behind}, S::Wrong);
        row("the sync tolerance ahead", {t, true, 500, 0}, S::Sync);
        row("the sync tolerance behind", {t, true, -500, t - 1}, S::Sync);
        row("1 ms ahead of it", {t, true, 501, 0}, S::Off, Asks);
        row("1 ms behind it", {t, true, -501, 0}, S::Off, Asks);
        row("the most negative offset has a magnitude too", {t, true, min, 0}, S::Off, Asks);
        row("silent after a sync, whatever the offset", {t, false, 9999, t + 1500}, S::Lost);
    }

    void judge()
    {
        QFETCH(ClockInputs, in);
        QTEST(judgeClock(in), "state");
        QTEST(serverWentBackwards(in), "wentBack");
        QTEST(shouldAskOsToSync(S::Sync, judgeClock(in), in), "asks");
    }

    void ntpTimestamps()
    {
        // Seconds 3,908,988,800 and fraction 528,280,977.
        QCOMPARE(ntpRequest(kT1).toHex(), "23" + QByteArray(78, '0') + "e8fe6f801f7ced91");
        // Round trips at the edges of the ms and of the NTP eras (the next began in 2036).
        for (qint64 ms : {kT1, kT1 - 122, kT1 + 876, qint64(0), qint64(2'085'978'495'999),
                          qint64(2'085'978'496'000), qint64(2'208'988'800'500)})
            QCOMPARE(utcMsFromNtpTimestamp(ntpTimestampFromUtcMs(ms)), ms);
    }

    // Answers to the request sent at t1, received 80 ms later.
    void ntpAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<qint64>("offset"); // kRejected: not accepted
        const qint64 t1 = kT1, t4 = kT1 + 80;
        const QByteArray ok = sntpAnswer(t1, t1 + 40, t4 - 40);
        const auto row = [](const char* what, const QByteArray& d, qint64 offset) {
            QTest::newRow(what) << d << offset;
        };
        row("symmetric delay", ok, 0);
        row("too short", ok.left(47), kRejected);
        row("longer: the first 48 bytes read", ok + "more", 0);
        row("leap 3", sntpAnswer(t1, t1, t4, 0xE4), kRejected);
        row("version 3 server", sntpAnswer(t1, t1, t4, 0x1C), 0);
        row("client mode", sntpAnswer(t1, t1, t4, 0x23), kRejected);
        row("stratum 0", sntpAnswer(t1, t1, t4, 0x24, 0), kRejected);
        row("the last stratum with a time", sntpAnswer(t1, t1, t4, 0x24, 15), 0);
        row("stratum 16: unsynchronized", sntpAnswer(t1, t1, t4, 0x24, 16), kRejected);
        row("no transmit time", sntpAnswer(t1, t1, kNtpZeroMs), kRejected);
        row("an answer to a request 1 ms later", sntpAnswer(t1 + 1, t1, t4), kRejected);
        row("2001 / 2 truncated", sntpAnswer(t1, t1 + 1001, t4 + 1000), 1000);
        row("-2001 / 2 toward zero", sntpAnswer(t1, t1 - 1001, t4 - 1000), -1000);
    }

    void ntpAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(qint64, offset);
        qint64 got = kRejected; // a rejected answer leaves it alone
        QCOMPARE(ntpAnswer(answer, kT1, kT1 + 80, &got), offset != kRejected);
        QCOMPARE(got, offset);
    }

    // Offset and delay to the us from the four timestamps (us since 1970), whatever the ms of
    // the request's own timestamp say.
    void measure_data()
    {
        QTest::addColumn<QList<qint64>>("t"); // sent, received, answered, answer received
        QTest::addColumn<qint64>("offsetUs");
        QTest::addColumn<qint64>("delayUs");
        const auto row = [](const char* what, QList<qint64> t, qint64 offsetUs, qint64 delayUs) {
            QTest::newRow(what) << t << offsetUs << delayUs;
        };
        const qint64 b = kT1 * 1000 + 456;
        row("server ahead", {b, b + 6050, b + 6350, b + 1900}, 5250, 1600);
        row("half a us behind rounds away from zero", {b, b + 1000, b + 1000, b + 2001}, -1, 2001);
    }

    void measure()
    {
        QFETCH(QList<qint64>, t);
        auto ntp = [](qint64 us) { // whole us, the fraction rounded up so that it reads back
            const quint64 s = quint64(us / 1'000'000 + 2'208'988'800) & 0xFFFFFFFFu;
            return (s << 32) | ((quint64(us % 1'000'000) << 32) + 999'999) / 1'000'000;
        };
        QByteArray a = sntpAnswer(t[0] / 1000, 0, 0);
        qToBigEndian(ntp(t[1]), a.data() + 32);
        qToBigEndian(ntp(t[2]), a.data() + 40);
        const NtpMeasure m = ntpMeasure(a, t[0], t[3]);
        QTEST(m.offsetUs, "offsetUs");
        QTEST(m.delayUs, "delayUs");
    }

    // Every state in one run, as the timers would drive it: a tick a second, a probe every
    // ten. What the watcher tells is logged and compared whole.
    void timeline()
    {
        make();
        QCOMPARE(w->state, S::None);
        const QString id = QSettings().value("clientId").toString();
        static const QRegularExpression uuid("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$");
        QVERIFY2(uuid.match(id).hasMatch(), qPrintable(id));
        w->serverSteady = true;
        const qint64 t0 = time.utc, mono0 = time.mono;
        auto at = [&](QString e) { return e + "@" + QString::number((time.mono - mono0) / 1000); };
        QStringList log;
        connect(w.get(), &ClockWatcher::stateChanged, this,
                [&](S s) { log << at(clockStateWord(s)); });
        connect(w.get(), &ClockWatcher::wantsOsSync, this, [&] { log << at("ask"); });
        auto stored = [&] {
            return QSettings().value("clock/lastSyncUtcMs", -1).toLongLong() - t0;
        };
        request(*ntp, [&] { w->setServer("::ffff:127.0.0.1", "First"); });
        w->setReporting(true);
        w->setReporting(true);
        QList<qint64> saved{stored()};
        SntpPeer* server = ntp.get();
        for (int s = 1; s <= 205; ++s) {
            server->silent = s >= 115 && s < 140; // the answer at 110 is the last for a while
            server->offsetMs = s < 155 ? 0 : 800;
            if (s == 205) time.utc -= 3'600'000; // the clock is set an hour back
            time.advance(1000);
            QVERIFY(QMetaObject::invokeMethod(w.get(), "onTick"));
            if (s == 40) { // another server, after a name whose lookup ends too late
                w->setServer("localhost", "By name");
                request(*(server = second.get()), [&] { w->setServer("127.0.0.2", "Second"); });
                w->setServer("127.0.0.2", ""); // the same server: only the name changes
            }
            if (s % 10 == 0) request(*server, [&] { w->probeNow(); });
            if (stored() != saved.last()) saved << stored();
        }
        time.advance(60'000); // no ask from a server on this computer that is not steady
        w->serverSteady = false;
        request(*second, [&] { w->probeNow(); });
        QVERIFY(QMetaObject::invokeMethod(w.get(), "onTick"));
        log << at("steady");
        w->serverSteady = true;
        QVERIFY(QMetaObject::invokeMethod(w.get(), "onTick"));
        w.reset(); // says farewell
        saved << stored();
        make(); // again: the last sync and the id are kept
        QCOMPARE(w->state, S::Wrong);
        QCOMPARE(QSettings().value("clientId").toString(), id);
        w->forgetLastSync();
        QCOMPARE(w->state, S::None);
        saved << stored();
        QCOMPARE(log, (QStringList{"sync@0", "lost@40", "sync@40", "ask@40", "lost@136", "sync@140",
                                   "ask@140", "off@160", "ask@201", "wrong@205", "steady@265",
                                   "ask@265"}));
        // Saved every 30 s in sync, exactly on the way out, and as none once forgotten.
        QCOMPARE(saved, (QList<qint64>{0, 30'000, 60'000, 90'000, 120'000, 150'000, 160'000, -t0}));
        // A report when switched on, one at every change, one farewell; the lost one at 40 s
        // had no server to go to.
        QTRY_COMPARE(reports->got.size(), 7);
        QStringList reported{""}; // as the text below begins
        for (const QNetworkDatagram& d : reports->got) {
            QCOMPARE(d.data().left(8), framed(4, d.data().mid(8)).left(8));
            QVERIFY(!d.data().contains('\n')); // compact
            QJsonObject o = QJsonDocument::fromJson(d.data().mid(8)).object();
            QCOMPARE(o.take("id").toString(), id);
            o.remove("name"), o.remove("os");
            reported << QJsonDocument(o).toJson(QJsonDocument::Compact);
        }
        QCOMPARE(reported, QString(R"(
{"last_sync":1699999999,"offset_ms":0,"server":"127.0.0.1","state":"sync","t":1699999999999,"ver":"1.7.0"}
{"last_sync":1700000039,"offset_ms":0,"server":"127.0.0.2","state":"sync","t":1700000039999,"ver":"1.7.0"}
{"last_sync":1700000134,"server":"127.0.0.2","state":"lost","t":1700000135999,"ver":"1.7.0"}
{"last_sync":1700000139,"offset_ms":0,"server":"127.0.0.2","state":"sync","t":1700000139999,"ver":"1.7.0"}
{"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"off","t":1700000159999,"ver":"1.7.0"}
{"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"wrong","t":1699996604999,"ver":"1.7.0"}
{"bye":true,"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"wrong","t":1699996664999,"ver":"1.7.0"})")
                               .split('\n'));
    }

    // With nothing asked no answer counts, not even one to a request sent in 1970. (How long
    // an answer counts, the timeline's "lost@136" shows.)
    void answerCounts()
    {
        make();
        request(*ntp, [&] { w->setServer("127.0.0.1", "Here"); });
        ntp->send(0, sntpAnswer(0, time.utc + 5000, time.utc + 5000));
        QTest::qWait(100);
        QCOMPARE(w->inputs().offsetMs, 0);
    }

    // The host name a report gives, which heard answers are for this watcher, and the largest
    // report: a payload of 1024 bytes is framed, one of 1025 is not.
    void reportTexts()
    {
        QStringList names;
        for (const char* h : {"mac.local", "mac.LOCAL", "mac.localdomain", "a.local.local"})
            names << ClockWatcher::reportHostName(h);
        QCOMPARE(names, (QStringList{"mac", "mac.LOCAL", "mac.localdomain", "a.local"}));
        make();
        const QByteArray id = QSettings().value("clientId").toString().toUtf8(),
                         mine = "{\"id\":\"" + id + "\"}";
        QList<bool> heard;
        for (const QByteArray& d : {framed(5, mine), framed(5, "{\"id\":\"" + id.toUpper() + "\"}"),
                                    framed(5, mine + " ", -1), framed(4, mine),
                                    framed(5, R"({"id":7})"), framed(5, R"({"id":)")})
            heard << w->isHeardForMe(d);
        QCOMPARE(heard, (QList<bool>{true, false, false, false, false, false}));
        const int length = int(w->beaconJson(false).size());
        for (int extra : {0, 1}) {
            w.reset();
            QSettings().setValue("clientId", QString(36 + 1024 - length + extra, 'x'));
            make();
            QCOMPARE(w->beaconPacket(false).size(), extra ? 0 : 1032);
        }
    }

    // A heard answer of the largest size counts for 90 s, and only while reporting.
    void heardFor90s()
    {
        make();
        ntp->silent = true; // nothing changes the state: only the switches send reports
        // Each report is answered twice: longer than the largest datagram, then at its size.
        const QByteArray full = "{\"id\":\"" + QSettings().value("clientId").toString().toUtf8() +
                                "\"" + QByteArray(1024 - 45, ' ') + '}';
        reports->reply = [this, full](int i) {
            reports->send(i, framed(5, full + QByteArray(8, ' '), -8));
            reports->send(i, framed(5, full));
        };
        w->setServer("127.0.0.1", "Here");
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        w->setReporting(true);
        QTRY_VERIFY(w->reportHeard());
        QTest::qWait(100);            // both answers read
        QCOMPARE(changed.count(), 2); // the switch and the answer of the largest size
        w->setReporting(false);
        w->setReporting(false);
        w->setReporting(true);
        QVERIFY(!w->reportHeard()); // off and on again: not heard until the next answer
        QTRY_VERIFY(w->reportHeard());
        time.advance(90'000);
        QVERIFY(w->reportHeard());
        time.advance(1);
        QVERIFY(!w->reportHeard());
        QSignalSpy late(w.get(), &ClockWatcher::changed);
        w->setReporting(false);               // the answer to the farewell counts for nothing
        QTRY_COMPARE(reports->got.size(), 4); // report, one farewell, report, farewell
        QTest::qWait(100);
        QCOMPARE(late.count(), 1); // the switch alone
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
