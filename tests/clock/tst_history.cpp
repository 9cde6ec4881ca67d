// The clock's history: what survives a killed writer, what retention keeps, the drift estimate
// against generated clocks, the export's exact text, files that are not ours, and the watcher
// recording into it.
#include "clock/clockwatcher.h"
#include "clock/history.h"
#include "tests/support/sntppeer.h"

#include <QtSql>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr qint64 kT0 = 1'700'000'000'000; // 2023-11-14T22:13:20Z
constexpr qint64 kDay = 86'400'000;
const QString kHeader = "time_utc,offset_us,delay_us,offset_min_us,offset_max_us,samples,state,"
                        "server,event,detail\r\n";

// Generated samples: how many, how far apart, this clock's rate (positive: fast), the offset's
// jump and the silence before them, and the server.
struct Leg
{
    int count;
    qint64 everyMs;
    double ppm;
    qint64 jumpUs = 0, pauseMs = 0;
    QString server = "192.0.2.2";
};

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// Runs SQL on a file through a connection of its own.
void sql(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(path);
        db.open();
        for (const QString& s : statements)
            QSqlQuery(db).exec(s);
    }
    QSqlDatabase::removeDatabase("setup");
}

QString csv(const ClockHistory& h, qint64 from, qint64 to)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    return h.exportCsv(from, to, &out) ? QString::fromUtf8(out.data()) : "(not exported)";
}

// The writer the kill test runs in a child: adds samples and tells each committed one.
int writeUntilKilled(const QString& path)
{
    ClockHistory h(path);
    for (qint64 i = 0; h.addSample({kT0 + i * 10'000, i, 500, "a", ClockState::Sync}); ++i)
        std::printf("%lld\n", i), std::fflush(stdout);
    std::fprintf(stderr, "%s\n", qPrintable(h.error()));
    return 3;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path() const { return dir->filePath("history.sqlite"); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    // A writer killed anywhere leaves every sample it said was committed.
    void survivesKill()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--write", path()});
        QByteArray out;
        while (out.count('\n') < 300 && child.waitForReadyRead(10'000))
            out += child.readAllStandardOutput();
        child.kill(); // SIGKILL, wherever the writer is
        QVERIFY(child.waitForFinished());
        out += child.readAllStandardOutput();
        QVERIFY2(out.count('\n') >= 300, child.readAllStandardError());
        const ClockHistory h(path());
        QCOMPARE(h.error(), QString());
        for (const QByteArray& told : out.trimmed().split('\n')) {
            const auto s = h.nearest(kT0 + told.toLongLong() * 10'000, 0);
            QVERIFY2(s && s->offsetUs == told.toLongLong(), told);
        }
    }

    void retention()
    {
        // Nine days of a sample a minute, offsets walking through -2..2 ms.
        ClockHistory h(path());
        QRandomGenerator random(7);
        for (qint64 t = kT0; t < kT0 + 9 * kDay; t += 60'000)
            h.addSample(
                {t, random.bounded(-2000, 2000), random.bounded(300, 900), "a", ClockState::Sync});
        const qint64 end = kT0 + 9 * kDay;
        const QString before = csv(h, kT0, end);
        QVERIFY(h.applyRetention(end));
        QVERIFY(h.applyRetention(end));
        QCOMPARE(csv(h, kT0, end), before); // the second run folds nothing again
        // Raw: the last 7 days, to the 5-minute period; 5-minute rows: all nine days.
        const qint64 rawFrom = (end - 7 * kDay) / 300'000 * 300'000;
        QCOMPARE(h.rawCount(), (end - rawFrom) / 60'000);
        QCOMPARE(h.periodCount(), 9 * 288 + 1); // the first and last periods are partial
        // Each folded row is the count, mean, maxima and minima of its own five samples.
        const QStringList rows = before.split("\r\n");
        QCOMPARE(rows.filter(",5,sync,,,").size(), (rawFrom - kT0) / 300'000);
        ClockHistory again(path()); // the same after reopening, and gone after 400 days
        QVERIFY(again.applyRetention(end + 400 * kDay + 300'000));
        QCOMPARE(again.periodCount(), 0);
        QCOMPARE(again.rawCount(), 0);
    }

    void drift_data()
    {
        QTest::addColumn<QList<Leg>>("legs");
        QTest::addColumn<int>("used"); // samples the estimate rests on; 0: not enough data
        QTest::addColumn<double>("ppm");
        QTest::newRow("fast, stepped in the middle: only what follows the step")
            << QList<Leg>{{360, 10'000, -30}, {360, 10'000, 12.5, 40'000}} << 360 << 12.5;
        QTest::newRow("slow, a lost hour between is no step")
            << QList<Leg>{{200, 10'000, -4}, {200, 10'000, -4, 14'400, 3'600'000}} << 400 << -4.0;
        QTest::newRow("another server starts afresh")
            << QList<Leg>{{200, 10'000, 3}, {100, 10'000, 3, 0, 0, "192.0.2.3"}} << 100 << 3.0;
        QTest::newRow("20 samples over 19 minutes: enough")
            << QList<Leg>{{20, 60'000, 5}} << 20 << 5.0;
        QTest::newRow("too few samples") << QList<Leg>{{19, 60'000, 5}} << 0 << 0.0;
        QTest::newRow("too short a span") << QList<Leg>{{599, 1000, 5}} << 0 << 0.0;
    }

    void drift()
    {
        QFETCH(QList<Leg>, legs);
        QFETCH(int, used);
        QFETCH(double, ppm);
        ClockHistory h(path());
        QRandomGenerator random(12);
        qint64 t = kT0, offsetUs = 0;
        for (const Leg& leg : legs) {
            offsetUs += leg.jumpUs;
            t += leg.pauseMs;
            for (int i = 0; i < leg.count; ++i, t += leg.everyMs) {
                offsetUs -= qint64(leg.ppm * leg.everyMs / 1000);
                const int noise = random.bounded(-300, 300);
                h.addSample({t, offsetUs + noise, 900, leg.server, ClockState::Sync});
            }
        }
        const HistoryDrift d = h.drift();
        QCOMPARE(d.known, used > 0);
        if (!used) return;
        QCOMPARE(d.samples, used);
        // Within its expanded uncertainty (k = 2), which stays well below a ppm here.
        QVERIFY2(qAbs(d.ppm - ppm) <= 2 * d.uncertaintyPpm && d.uncertaintyPpm < 0.5,
                 qPrintable(QString("%1 +- %2").arg(d.ppm).arg(d.uncertaintyPpm)));
    }

    void exportCsv()
    {
        ClockHistory h(path());
        const qint64 t = kT0 + 123;
        for (int i = 0; i < 3; ++i) // folded into one 5-minute row
            h.addSample({t + i * 10'000, -1500 + 7 * i, 400 + i, "x", ClockState::Sync});
        h.addEvent(
            {t + 40'000, HistoryEventKind::Server, ClockState::Lost, "Studio, \"A\" (192.0.2.2)"});
        h.applyRetention(t + 8 * kDay);
        h.addEvent({t + 8 * kDay, HistoryEventKind::SyncNow, ClockState::Off, ""});
        h.addSample({t + 8 * kDay + 1, 1'234'567, 812, "=cmd|' /C calc'!A0", ClockState::Off});
        h.addSample({t + 8 * kDay + 10'001, -2, 1, "host\nname", ClockState::Wrong});
        QCOMPARE(
            csv(h, kT0, kT0 + 9 * kDay),
            kHeader +
                "2023-11-14T22:10:00.000Z,-1493,402,-1500,-1486,3,sync,,,\r\n"
                "2023-11-14T22:14:00.123Z,,,,,,lost,,server,\"Studio, \"\"A\"\" (192.0.2.2)\"\r\n"
                "2023-11-22T22:13:20.123Z,,,,,,off,,sync now,\r\n"
                "2023-11-22T22:13:20.124Z,1234567,812,,,,off,'=cmd|' /C calc'!A0,,\r\n"
                "2023-11-22T22:13:30.124Z,-2,1,,,,wrong,\"host\nname\",,\r\n");
        // The chart of the same: 10-s columns of raw samples, day-wide ones of 6-hourly rows.
        h.addEvent({t + 8 * kDay + 5000, HistoryEventKind::State, ClockState::Wrong, ""});
        h.addEvent({t + 8 * kDay + 9000, HistoryEventKind::Quit, ClockState::Wrong, ""});
        auto chart = [&h](qint64 from, qint64 to, int n) {
            const HistoryChart c = h.chart(from, to, n);
            QStringList got;
            for (int i = 0; i < n; ++i)
                if (const HistoryColumn& k = c.columns[i]; k.count)
                    got << QString::asprintf("%d:%lldx%lld..%lld", i, k.count, k.minOffsetUs,
                                             k.maxOffsetUs);
            for (const HistoryBand& b : c.bands)
                got << clockStateWord(b.state) + (b.watched ? "" : " unwatched") +
                           QString::asprintf(" %lld..%lld", b.fromMs - from, b.toMs - from);
            for (const HistoryGap& g : c.gaps)
                got << QString::asprintf("gap %lld..%lld", g.fromMs - from, g.toMs - from);
            return got.join(", ");
        };
        QCOMPARE(
            chart(t + 8 * kDay - 30'000, t + 8 * kDay + 30'000, 6),
            "3:1x1234567..1234567, 4:1x-2..-2, wrong 35000..39000, none unwatched 39000..60000, "
            "gap 0..30001");
        const qint64 day0 = kT0 / kDay * kDay - kDay; // 6-hourly rows fit days exactly
        QCOMPARE(chart(day0, day0 + 10 * kDay, 10),
                 "1:3x-1500..-1486, 9:2x-2..1234567, wrong 857605123..857609123, none unwatched "
                 "857609123..864000000, gap 166420123..857600124, gap 857610124..864000000");
    }

    // Files that are not a history to write: each says why and stays as it was. (A history in
    // a folder not there yet, the watcher's test makes.)
    void unusable_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("readable");
        QTest::newRow("damaged") << "is damaged or not a database" << false;
        QTest::newRow("another schema") << "is not this application's history" << false;
        QTest::newRow("newer schema") << "comes from a newer version" << false;
        QTest::newRow("read-only") << "can only be read" << true;
        QTest::newRow("a folder at its path") << "is a folder" << false;
    }

    void unusable()
    {
        QFETCH(QString, why);
        QFETCH(bool, readable);
        const QString make = QTest::currentDataTag();
        const QString file = path();
        if (make == "damaged") {
            QFile junk(file);
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write(QByteArray("not a database, ").repeated(400));
        }
        if (make == "another schema") sql(file, {"CREATE TABLE notes(text)"});
        if (make == "newer schema" || make == "read-only")
            ClockHistory({file}).addSample({kT0, 5, 6, "a", ClockState::Sync});
        if (make == "newer schema") sql(file, {"PRAGMA user_version=2"});
        if (make == "read-only" && ::geteuid() == 0) QSKIP("root writes any file");
        if (make == "read-only") QFile::setPermissions(file, QFile::ReadOwner);
        if (make == "a folder at its path") QDir().mkpath(file);
        const QByteArray was = bytes(file);
        ClockHistory h(file);
        QVERIFY2(h.error().contains(why), qPrintable(h.error()));
        QCOMPARE(h.canRead(), readable);
        QVERIFY(!h.addSample({kT0 + 10'000, 1, 2, "b", ClockState::Sync}));
        QCOMPARE(h.nearest(kT0 + 10'000, 10'000).has_value(), readable);
        QCOMPARE(bytes(file), was);
    }

    // The watcher records each answer to the us, its state changes and its servers.
    void watcher()
    {
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        FakeTime time;
        SntpPeer peer(time);
        peer.offsetMs = 1234;
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        ClockHistory h(ClockHistory::defaultPath());
        ClockWatcher w(ClockWatcher::Seam{&time, peer.port()}, nullptr);
        w.setHistory(&h);
        w.setServer("127.0.0.1", "Here, \"there\"");
        QTRY_COMPARE(w.state, ClockState::Off);
        w.noteEvent(HistoryEventKind::SyncNow);
        QCOMPARE(csv(h, kT0 - kDay, kT0 + kDay),
                 kHeader + "2023-11-14T22:13:19.999Z,1234000,0,,,,off,127.0.0.1,,\r\n"
                           "2023-11-14T22:13:19.999Z,,,,,,none,,server,\"Here, \"\"there\"\" "
                           "(127.0.0.1)\"\r\n"
                           "2023-11-14T22:13:19.999Z,,,,,,off,,state,from none\r\n"
                           "2023-11-14T22:13:19.999Z,,,,,,off,,sync now,\r\n");
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write")
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]));
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
