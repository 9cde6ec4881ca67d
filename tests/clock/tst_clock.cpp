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

    void judge()
    {
        const qint64 t = kT1, behind = t + 2001, min = std::numeric_limits<qint64>::min();
        QStringList got; // each verdict, with " back" where the server went back
        for (const ClockInputs& in : QList<ClockInputs>{
                 {1, false, 0, 0},           // never synced, however small the clock
                 {1, true, 0, -5},           // a negative last sync is never
                 {t, true, 0, t + 2000},     // 2 s behind the last sync is not wrong
                 {t, true, 500, behind},     // 1 ms more is, and the server agrees
                 {t, true, 501, behind},     // it does not
                 {t, false, 0, behind},      // wrong even while the server is silent
                 {t, true, 500, 0},          // the sync tolerance, both ways
                 {t, true, -500, t - 1},     //
                 {t, true, 501, 0},          //
                 {t, true, -501, 0},         //
                 {t, true, min, 0},          // the most negative offset has a magnitude too
                 {t, false, 9999, t + 1500}, // silent after a sync, whatever the offset
             })
            got << clockStateWord(judgeClock(in)) + (serverWentBackwards(in) ? " back" : "");
        QCOMPARE(got.join(", "),
                 "none, sync, sync, wrong back, wrong, wrong, sync, sync, off, off, off, lost");
        QVERIFY(!shouldAskOsToSync(S::Sync, S::Wrong, {kT1, false, 0, 0})); // nobody to sync with
    }

    void sntp()
    {
        // Seconds 3,908,988,800 and fraction 528,280,977.
        QCOMPARE(ntpRequest(kT1).toHex(), "23" + QByteArray(78, '0') + "e8fe6f801f7ced91");
        // Round trips at the edges of the ms and of the NTP eras (the next began in 2036).
        for (qint64 ms : {kT1, kT1 - 122, kT1 + 876, qint64(0), qint64(2'085'978'495'999),
                          qint64(2'085'978'496'000), qint64(2'208'988'800'500)})
            QCOMPARE(utcMsFromNtpTimestamp(ntpTimestampFromUtcMs(ms)), ms);
        // The offset of each answer to the request sent at t1; 777 stays where it is rejected.
        const qint64 t1 = kT1, t4 = kT1 + 80;
        const QByteArray ok = sntpAnswer(t1, t1 + 40, t4 - 40);
        QStringList got;
        for (const QByteArray& d : {
                 ok,                                   // symmetric delay: 0
                 ok.left(47),                          // too short
                 ok + "more",                          // longer: the first 48 read
                 sntpAnswer(t1, t1, t4, 0xE4),         // leap 3
                 sntpAnswer(t1, t1, t4, 0x1C),         // version 3 server
                 sntpAnswer(t1, t1, t4, 0x23),         // client mode
                 sntpAnswer(t1, t1, t4, 0x24, 0),      // stratum 0
                 sntpAnswer(t1, t1, t4, 0x24, 15),     // the last stratum with a time
                 sntpAnswer(t1, t1, t4, 0x24, 16),     // unsynchronized
                 sntpAnswer(t1, t1, t4, 0x24, 255),    //
                 sntpAnswer(t1, t1, kNtpZeroMs),       // no transmit time
                 sntpAnswer(t1 + 1, t1, t4),           // answers a request 1 ms later
                 sntpAnswer(t1, t1 + 1001, t4 + 1000), // 2001 / 2 truncated
                 sntpAnswer(t1, t1 - 1001, t4 - 1001), // both 1001 below
                 sntpAnswer(t1, t1 - 1001, t4 - 1000), // -2001 / 2 toward zero
             }) {
            qint64 offset = 777;
            const bool accepted = ntpAnswer(d, t1, t4, &offset);
            QCOMPARE(ntpAnswer(d, t1, t4, nullptr), accepted);
            got << QString::number(offset);
        }
        QCOMPARE(got.join(' '), "0 777 0 777 0 777 777 0 777 777 777 777 1000 -1001 -1000");
    }

    // Offset and delay to the us from the four timestamps (us since 1970), whatever the ms of
    // the request's own timestamp say; the last answer comes from the next NTP era.
    void measure()
    {
        auto ntp = [](qint64 us) { // whole us, the fraction rounded up so that it reads back
            const quint64 s = quint64(us / 1'000'000 + 2'208'988'800) & 0xFFFFFFFFu;
            return (s << 32) | ((quint64(us % 1'000'000) << 32) + 999'999) / 1'000'000;
        };
        const qint64 b = kT1 * 1000 + 456, era = 2'085'978'496'000'000;
        QStringList got;
        for (const QList<qint64>& t :
             QList<QList<qint64>>{{b, b + 6050, b + 6350, b + 1900},
                                  {b, b + 1000, b + 1200, b + 2'002'200},
                                  {era - 300, era + 200, era + 250, era + 1000}}) {
            QByteArray a = sntpAnswer(t[0] / 1000, 0, 0);
            qToBigEndian(ntp(t[1]), a.data() + 32);
            qToBigEndian(ntp(t[2]), a.data() + 40);
            const NtpMeasure m = ntpMeasure(a, t[0], t[3]);
            got << QString("%1/%2").arg(m.offsetUs).arg(m.delayUs);
        }
        QCOMPARE(got.join(' '), "5250/1600 -1000000/2002000 -125/1250");
    }

    // Every state in one run, as the timers would drive it: a tick a second, a probe every
    // ten. What the watcher tells is logged and compared whole.
    void timeline()
    {
        make();
        QCOMPARE(w->state, S::None);
        QCOMPARE(w->heardAgoMs(), -1);
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
                QCOMPARE(w->serverLabel(), "127.0.0.2");
            }
            if (s == 135) { // the answer of 25,000 ms ago still counts, one ms older it does not
                QVERIFY(w->inputs().answered);
                time.advance(1);
                QVERIFY(!w->inputs().answered);
                time.advance(-1);
            }
            if (s % 10 == 0) request(*server, [&] { w->probeNow(); });
            if (stored() != saved.last()) saved << stored();
        }
        time.advance(60'000); // no ask from a server on this computer that is not steady
        request(*second, [&] { w->probeNow(); });
        for (bool steady : {false, true}) {
            w->serverSteady = steady;
            QVERIFY(QMetaObject::invokeMethod(w.get(), "onTick"));
        }
        w.reset(); // says farewell
        saved << stored();
        make(); // again: the last sync and the id are kept
        QCOMPARE(w->state, S::Wrong);
        QCOMPARE(QSettings().value("clientId").toString(), id);
        w->forgetLastSync();
        QCOMPARE(w->state, S::None);
        saved << stored();
        QCOMPARE(log, (QStringList{"sync@0", "lost@40", "sync@40", "ask@40", "lost@136", "sync@140",
                                   "ask@140", "off@160", "ask@201", "wrong@205", "ask@265"}));
        // Saved every 30 s in sync, exactly on the way out, and as none once forgotten.
        QCOMPARE(saved, (QList<qint64>{0, 30'000, 60'000, 90'000, 120'000, 150'000, 160'000, -t0}));
        // A report when switched on, one at every change, one farewell; the lost one at 40 s
        // had no server to go to.
        QTRY_COMPARE(reports->got.size(), 7);
        QStringList reported{""};
        for (const QNetworkDatagram& d : reports->got) {
            QCOMPARE(d.data().left(8), framed(4, d.data().mid(8)).left(8));
            QVERIFY(!d.data().contains('\n')); // compact
            QJsonObject o = QJsonDocument::fromJson(d.data().mid(8)).object();
            QCOMPARE(o.take("id").toString(), id);
            o.remove("name"), o.remove("os");
            reported << QJsonDocument(o).toJson(QJsonDocument::Compact);
        }
        QCOMPARE(reported.join('\n'), QString(R"(
{"last_sync":1699999999,"offset_ms":0,"server":"127.0.0.1","state":"sync","t":1699999999999,"ver":"1.7.0"}
{"last_sync":1700000039,"offset_ms":0,"server":"127.0.0.2","state":"sync","t":1700000039999,"ver":"1.7.0"}
{"last_sync":1700000134,"server":"127.0.0.2","state":"lost","t":1700000135999,"ver":"1.7.0"}
{"last_sync":1700000139,"offset_ms":0,"server":"127.0.0.2","state":"sync","t":1700000139999,"ver":"1.7.0"}
{"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"off","t":1700000159999,"ver":"1.7.0"}
{"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"wrong","t":1699996604999,"ver":"1.7.0"}
{"bye":true,"last_sync":1700000159,"offset_ms":800,"server":"127.0.0.2","state":"wrong","t":1699996664999,"ver":"1.7.0"})"));
    }

    // How reports are made, which heard answers count, and for how long.
    void beacon()
    {
        QStringList names;
        for (const char* h : {"mac.local", "mac.LOCAL", "mac.localdomain", "a.local.local"})
            names << ClockWatcher::reportHostName(h);
        QCOMPARE(names, (QStringList{"mac", "mac.LOCAL", "mac.localdomain", "a.local"}));
        make();
        const int length = int(w->beaconJson(false).size());
        const QByteArray id = QSettings().value("clientId").toString().toUtf8(),
                         mine = "{\"id\":\"" + id + "\"}";
        QList<bool> heard;
        for (const QByteArray& d : {framed(5, mine), framed(5, "{\"id\":\"" + id.toUpper() + "\"}"),
                                    framed(5, mine + " ", -1), framed(4, mine),
                                    framed(5, R"({"id":7})"), framed(5, R"({"id":)")})
            heard << w->isHeardForMe(d);
        QCOMPARE(heard, (QList<bool>{true, false, false, false, false, false}));
        ntp->silent = true; // nothing changes the state: only the switches send reports
        // Each report is answered twice: longer than the largest datagram, then at its size.
        const QByteArray full = mine.chopped(1).leftJustified(1023, ' ') + '}';
        reports->reply = [this, full](int i) {
            reports->send(i, framed(5, full + QByteArray(8, ' '), -8));
            reports->send(i, framed(5, full));
        };
        w->setServer("127.0.0.1", "Here");
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        w->setReporting(true);
        QTRY_VERIFY(w->reportHeard());
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
        for (int extra : {0, 1}) { // a payload of 1024 bytes is framed, one of 1025 is not
            w.reset();
            QSettings().setValue("clientId", QString(36 + 1024 - length + extra, 'x'));
            make();
            QCOMPARE(w->beaconPacket(false).size(), extra ? 0 : 1032);
        }
        QTRY_COMPARE(reports->got.size(), 4); // report, one farewell, report, farewell at the end
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
