// The watcher against a small SNTP peer on loopback, with time moved by hand: the test stops
// the watcher's timers and runs its ticks and probes itself.

#include "clock/clockwatcher.h"
#include "tests/clock/faketime.h"
#include "tests/clock/sntppeer.h"

#include <QHostInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <memory>

#include <sys/socket.h>

namespace {

const QString kLastSyncKey = QStringLiteral("clock/lastSyncUtcMs");
const QHostAddress kSecondPeer(QStringLiteral("127.0.0.2"));

qint64 storedLastSync()
{
    return QSettings().value(kLastSyncKey, -1).toLongLong();
}

} // namespace

class TestClockWatcher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void construction_data();
    void construction();
    void clientIdMadeOnceThenReused();
    void statesOverTime();
    void lostAnswers_data();
    void lostAnswers();
    void lateAnswerToReplacedRequest();
    void duplicateAcceptedOnce();
    void switchingServer();
    void sameAddressNewName();
    void saveThrottleAndExit();
    void forgetLastSync();
    void osSyncOncePerMinute_data();
    void osSyncOncePerMinute();
    void addressForms_data();
    void addressForms();
    void staleLookupIgnored();
    void thisComputer_data();
    void thisComputer();

private:
    std::unique_ptr<ClockWatcher> makeWatcher(quint16 port);
    void tick(ClockWatcher& w);
    void probe(ClockWatcher& w, SntpPeer& peer);
    void follow(ClockWatcher& w, SntpPeer& peer, const QString& address);
    void run(ClockWatcher& w, SntpPeer& peer, int seconds);

    std::unique_ptr<QTemporaryDir> settingsDir_;
    FakeTime time_;
};

void TestClockWatcher::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Ondavix"));
    QCoreApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
}

void TestClockWatcher::init()
{
    // A settings store of its own for every test.
    settingsDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(settingsDir_->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir_->path());
    time_ = FakeTime();
}

std::unique_ptr<ClockWatcher> TestClockWatcher::makeWatcher(quint16 port)
{
    auto w = std::make_unique<ClockWatcher>(ClockWatcher::Seam{&time_, port}, nullptr);
    for (QTimer* t : w->findChildren<QTimer*>())
        t->stop();
    return w;
}

void TestClockWatcher::tick(ClockWatcher& w)
{
    QVERIFY(QMetaObject::invokeMethod(&w, "onTick"));
}

// One probe; waits for the peer to receive it and, when the peer answers, for the answer.
void TestClockWatcher::probe(ClockWatcher& w, SntpPeer& peer)
{
    QSignalSpy changed(&w, &ClockWatcher::changed);
    const int before = peer.requests();
    QVERIFY(QMetaObject::invokeMethod(&w, "onProbe"));
    QTRY_VERIFY_WITH_TIMEOUT(peer.requests() > before, 3000);
    if (peer.mode == SntpPeer::Mode::Answer) QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 3000);
}

void TestClockWatcher::follow(ClockWatcher& w, SntpPeer& peer, const QString& address)
{
    QSignalSpy changed(&w, &ClockWatcher::changed);
    const int before = peer.requests();
    w.setServer(address, QStringLiteral("Peer"));
    QTRY_VERIFY_WITH_TIMEOUT(peer.requests() > before, 5000);
    if (peer.mode == SntpPeer::Mode::Answer) QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 3000);
}

// What the timers would do: a tick every second, a probe every ten.
void TestClockWatcher::run(ClockWatcher& w, SntpPeer& peer, int seconds)
{
    for (int s = 1; s <= seconds; ++s) {
        time_.advance(1000);
        tick(w);
        if (s % 10 == 0) probe(w, peer);
    }
}

void TestClockWatcher::construction_data()
{
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<ClockState>("first");
    QTest::newRow("never synced: none") << qint64(0) << ClockState::None;
    QTest::newRow("a stored last sync: lost") << qint64(1'600'000'000'000) << ClockState::Lost;
}

void TestClockWatcher::construction()
{
    QFETCH(qint64, stored);
    QFETCH(ClockState, first);
    if (stored) QSettings().setValue(kLastSyncKey, stored);

    SntpPeer peer(time_);
    ClockWatcher w(ClockWatcher::Seam{&time_, peer.port()}, nullptr);
    QCOMPARE(w.state, first);
    QCOMPARE(w.lastSyncUtcMs, stored);
    QCOMPARE(w.heardAgoMs(), qint64(-1));

    QMap<int, bool> timers; // interval -> running
    for (QTimer* t : w.findChildren<QTimer*>())
        timers.insert(t->interval(), t->isActive());
    QCOMPARE(timers, (QMap<int, bool>{{1000, true}, {10'000, true}, {30'000, false}}));

    const QList<QUdpSocket*> sockets = w.findChildren<QUdpSocket*>();
    QCOMPARE(sockets.size(), 2);
    for (QUdpSocket* s : sockets) {
        QCOMPARE(s->state(), QAbstractSocket::BoundState);
        QCOMPARE(s->localAddress(), QHostAddress(QHostAddress::AnyIPv4));
        int on = 0;
        socklen_t len = sizeof on;
        QCOMPARE(::getsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &on, &len), 0);
        QVERIFY(on != 0);
    }

    // No server: probing sends nothing.
    QVERIFY(QMetaObject::invokeMethod(&w, "onProbe"));
    w.probeNow();
    QTest::qWait(100);
    QCOMPARE(peer.requests(), 0);
    QCOMPARE(w.state, first);
}

void TestClockWatcher::clientIdMadeOnceThenReused()
{
    QVERIFY(QSettings().value("clientId").toString().isEmpty());
    QString id;
    {
        auto w = makeWatcher(1);
        id = QSettings().value("clientId").toString();
    }
    static const QRegularExpression uuid(
        "^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
    QVERIFY2(uuid.match(id).hasMatch(), qPrintable(id));
    {
        auto w = makeWatcher(1);
    }
    QCOMPARE(QSettings().value("clientId").toString(), id);
}

void TestClockWatcher::statesOverTime()
{
    SntpPeer peer(time_);
    auto w = makeWatcher(peer.port());
    QSignalSpy states(w.get(), &ClockWatcher::stateChanged);
    QCOMPARE(w->state, ClockState::None);

    follow(*w, peer, "127.0.0.1");
    QCOMPARE(w->state, ClockState::Sync);
    QCOMPARE(w->lastSyncUtcMs, time_.utcNowMs());

    peer.offsetMs = 800;
    run(*w, peer, 10);
    QCOMPARE(w->state, ClockState::Off);
    QCOMPARE(w->inputs().offsetMs, qint64(800));

    peer.mode = SntpPeer::Mode::Silent;
    run(*w, peer, 26);
    QCOMPARE(w->state, ClockState::Lost);
    QVERIFY(!w->inputs().answered);

    peer.mode = SntpPeer::Mode::Answer;
    peer.offsetMs = 0;
    probe(*w, peer);
    QCOMPARE(w->state, ClockState::Sync);

    // The system clock is set back 3 s behind the last sync.
    time_.jumpUtc(-3000);
    tick(*w);
    QCOMPARE(w->state, ClockState::Wrong);

    QList<ClockState> seen;
    for (const QList<QVariant>& args : states)
        seen << args.at(0).value<ClockState>();
    QCOMPARE(seen, (QList<ClockState>{ClockState::Sync, ClockState::Off, ClockState::Lost,
                                      ClockState::Sync, ClockState::Wrong}));
}

void TestClockWatcher::lostAnswers_data()
{
    QTest::addColumn<int>("lost");
    QTest::newRow("one lost answer tolerated") << 1;
    QTest::newRow("two lost answers: lost after 25 s") << 2;
}

void TestClockWatcher::lostAnswers()
{
    QFETCH(int, lost);
    SntpPeer peer(time_);
    auto w = makeWatcher(peer.port());
    follow(*w, peer, "127.0.0.1");
    QCOMPARE(w->state, ClockState::Sync);

    peer.mode = SntpPeer::Mode::Silent;
    for (int s = 1; s <= 29; ++s) {
        time_.advance(1000);
        tick(*w);
        if (s % 10 == 0) {
            if (s / 10 > lost) peer.mode = SntpPeer::Mode::Answer;
            probe(*w, peer);
        }
        if (s == 25) {
            // 25,000 ms after the last answer it still counts; one ms later it does not.
            QCOMPARE(w->state, ClockState::Sync);
            time_.advance(1);
            tick(*w);
            QCOMPARE(w->state, lost == 1 ? ClockState::Sync : ClockState::Lost);
            time_.advance(-1);
        }
    }
    QCOMPARE(w->state, lost == 1 ? ClockState::Sync : ClockState::Lost);
    QCOMPARE(peer.requests(), 3); // lost before the third request goes out
}

void TestClockWatcher::lateAnswerToReplacedRequest()
{
    SntpPeer peer(time_);
    peer.mode = SntpPeer::Mode::Hold;
    auto w = makeWatcher(peer.port());
    follow(*w, peer, "127.0.0.1");
    time_.advance(10'000);
    probe(*w, peer);
    QCOMPARE(peer.requests(), 2);

    // The first request's answer says 5 s ahead; taken, it would make the clock Off.
    QSignalSpy changed(w.get(), &ClockWatcher::changed);
    peer.offsetMs = 5000;
    peer.answerHeld(0);
    peer.offsetMs = 0;
    peer.answerHeld(1);
    QTRY_COMPARE(changed.count(), 1);
    QTest::qWait(100);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(w->state, ClockState::Sync);
    QCOMPARE(w->inputs().offsetMs, qint64(0));
}

void TestClockWatcher::duplicateAcceptedOnce()
{
    SntpPeer peer(time_);
    peer.mode = SntpPeer::Mode::Duplicate; // the copy reads 100 ms further ahead
    peer.offsetMs = 300;
    auto w = makeWatcher(peer.port());
    QSignalSpy changed(w.get(), &ClockWatcher::changed);
    w->setServer("127.0.0.1", "Peer");
    QTRY_COMPARE(changed.count(), 1);
    QTest::qWait(150);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(w->inputs().offsetMs, qint64(300));
}

void TestClockWatcher::switchingServer()
{
    SntpPeer first(time_);
    SntpPeer second(time_, kSecondPeer, first.port());
    auto w = makeWatcher(first.port());
    w->serverSteady = true;
    follow(*w, first, "127.0.0.1");
    QCOMPARE(w->state, ClockState::Sync);
    QVERIFY(w->serverIsThisComputer);

    // The old server's answer to its last request arrives after the switch.
    time_.advance(10'000);
    first.mode = SntpPeer::Mode::Hold;
    probe(*w, first);
    time_.advance(5);

    QSignalSpy states(w.get(), &ClockWatcher::stateChanged);
    QSignalSpy asks(w.get(), &ClockWatcher::wantsOsSync);
    second.mode = SntpPeer::Mode::Hold;
    w->setServer(kSecondPeer.toString(), "Second");
    QCOMPARE(w->state, ClockState::Lost); // judged inside setServer: not answered any more
    QVERIFY(!w->inputs().answered);
    QCOMPARE(w->heardAgoMs(), qint64(-1));
    QCOMPARE(states.count(), 1);
    QTRY_COMPARE(second.requests(), 1);

    first.answerHeld(1);
    QTest::qWait(100);
    QCOMPARE(w->state, ClockState::Lost);

    QSignalSpy changed(w.get(), &ClockWatcher::changed);
    second.answerHeld(0);
    QTRY_COMPARE(changed.count(), 1);
    QCOMPARE(w->state, ClockState::Sync);
    QCOMPARE(asks.count(), 1); // heard again after being lost
}

void TestClockWatcher::sameAddressNewName()
{
    SntpPeer peer(time_);
    peer.offsetMs = 120;
    auto w = makeWatcher(peer.port());
    follow(*w, peer, "127.0.0.1");
    time_.advance(3000);

    QSignalSpy changed(w.get(), &ClockWatcher::changed);
    QSignalSpy states(w.get(), &ClockWatcher::stateChanged);
    w->setServer("127.0.0.1", "Renamed");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(w->serverName, QString("Renamed"));
    QCOMPARE(w->serverLabel(), QString("Renamed"));
    QCOMPARE(w->heardAgoMs(), qint64(3000));
    QCOMPARE(w->inputs().offsetMs, qint64(120));
    QVERIFY(w->inputs().answered);
    QTest::qWait(100);
    QCOMPARE(peer.requests(), 1);
    QCOMPARE(states.count(), 0);

    w->setServer("127.0.0.1", "");
    QCOMPARE(w->serverLabel(), QString("127.0.0.1"));
}

void TestClockWatcher::saveThrottleAndExit()
{
    SntpPeer peer(time_);
    auto w = makeWatcher(peer.port());
    follow(*w, peer, "127.0.0.1");
    const qint64 t0 = time_.utcNowMs();
    QCOMPARE(storedLastSync(), t0);

    QList<qint64> written{t0};
    for (int s = 1; s <= 65; ++s) {
        time_.advance(1000);
        tick(*w);
        if (s % 10 == 0) probe(*w, peer);
        if (storedLastSync() != written.last()) written << storedLastSync();
    }
    QCOMPARE(written, (QList<qint64>{t0, t0 + 30'000, t0 + 60'000}));
    QCOMPARE(w->lastSyncUtcMs, t0 + 65'000);

    w.reset();
    QCOMPARE(storedLastSync(), t0 + 65'000);
}

void TestClockWatcher::forgetLastSync()
{
    QSettings().setValue(kLastSyncKey, qint64(1'600'000'000'000));
    auto w = makeWatcher(1);
    QCOMPARE(w->state, ClockState::Lost);
    QSignalSpy states(w.get(), &ClockWatcher::stateChanged);
    w->forgetLastSync();
    QCOMPARE(storedLastSync(), qint64(0));
    QCOMPARE(w->lastSyncUtcMs, qint64(0));
    QCOMPARE(w->state, ClockState::None);
    QCOMPARE(states.count(), 1);
}

void TestClockWatcher::osSyncOncePerMinute_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<bool>("wrong");
    QTest::addColumn<bool>("steady");
    QTest::addColumn<QList<qint64>>("asks"); // monotonic ms after the first answer
    const QList<qint64> none;
    QTest::newRow("off: at most once a minute")
        << qint64(800) << false << true << QList<qint64>{0, 61'000, 122'000};
    QTest::newRow("wrong: at most once a minute")
        << qint64(0) << true << true << QList<qint64>{1000, 62'000, 123'000};
    QTest::newRow("off, unsteady server on this computer") << qint64(800) << false << false << none;
    QTest::newRow("wrong, unsteady server on this computer") << qint64(0) << true << false << none;
}

void TestClockWatcher::osSyncOncePerMinute()
{
    QFETCH(qint64, offset);
    QFETCH(bool, wrong);
    QFETCH(bool, steady);
    QFETCH(QList<qint64>, asks);

    SntpPeer peer(time_);
    peer.offsetMs = offset;
    auto w = makeWatcher(peer.port());
    w->serverSteady = steady;
    const qint64 start = time_.monotonicMs();
    QList<qint64> seen;
    connect(w.get(), &ClockWatcher::wantsOsSync, this,
            [&] { seen << time_.monotonicMs() - start; });

    follow(*w, peer, "127.0.0.1");
    QVERIFY(w->serverIsThisComputer);
    if (wrong) time_.jumpUtc(-3'600'000); // an hour behind the last sync; the peer goes back alike
    run(*w, peer, 125);
    QCOMPARE(w->state, wrong ? ClockState::Wrong : ClockState::Off);
    QCOMPARE(seen, asks);
}

void TestClockWatcher::addressForms_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("dotted quad") << "127.0.0.1";
    QTest::newRow("host name, looked up") << "localhost";
    QTest::newRow("IPv4-mapped IPv6 text") << "::ffff:127.0.0.1";
}

void TestClockWatcher::addressForms()
{
    QFETCH(QString, address);
    SntpPeer peer(time_);
    auto w = makeWatcher(peer.port());
    follow(*w, peer, address);
    QCOMPARE(w->state, ClockState::Sync);
    QCOMPARE(w->serverAddressText, address);
    QVERIFY(w->serverIsThisComputer);
}

void TestClockWatcher::staleLookupIgnored()
{
    SntpPeer byName(time_);
    SntpPeer second(time_, kSecondPeer, byName.port());
    auto w = makeWatcher(byName.port());
    w->setServer("localhost", "By name");
    follow(*w, second, kSecondPeer.toString());
    QCOMPARE(w->state, ClockState::Sync);

    // Let the first lookup finish: a lookup started after it ends no sooner.
    bool done = false;
    QHostInfo::lookupHost("localhost", this, [&](const QHostInfo&) { done = true; });
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
    QTest::qWait(200);
    QCOMPARE(byName.requests(), 0);
    time_.advance(10'000);
    probe(*w, second);
    QCOMPARE(byName.requests(), 0);
}

void TestClockWatcher::thisComputer_data()
{
    QTest::addColumn<QHostAddress>("address");
    QTest::addColumn<bool>("expected");
    QTest::newRow("null") << QHostAddress() << false;
    QTest::newRow("127.0.0.1") << QHostAddress("127.0.0.1") << true;
    QTest::newRow("elsewhere in 127/8") << QHostAddress("127.3.4.5") << true;
    QTest::newRow("::1") << QHostAddress("::1") << true;
    QTest::newRow("IPv4-mapped loopback") << QHostAddress("::ffff:127.0.0.1") << true;
    QTest::newRow("a documentation address") << QHostAddress("198.51.100.7") << false;
    QTest::newRow("mapped documentation address") << QHostAddress("::ffff:198.51.100.7") << false;
}

void TestClockWatcher::thisComputer()
{
    QFETCH(QHostAddress, address);
    QFETCH(bool, expected);
    QCOMPARE(ClockWatcher::isThisComputer(address), expected);
}

QTEST_GUILESS_MAIN(TestClockWatcher)
#include "tst_clockwatcher.moc"
