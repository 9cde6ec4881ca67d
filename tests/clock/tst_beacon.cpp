// Beacon reports on loopback, with time moved by hand: the report's bytes, when reports go
// out, and which heard answers count, for how long.
#include "clock/clockwatcher.h"
#include "discovery/datagram.h"
#include "tests/clock/faketime.h"
#include "tests/clock/sntppeer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

QByteArray framed(uint8_t type, const QByteArray& payload, int lengthField = -1)
{
    std::string d = discovery::frame(type, "");
    const int n = lengthField < 0 ? int(payload.size()) : lengthField;
    d[6] = char(n >> 8);
    d[7] = char(n & 0xFF);
    return QByteArray::fromStdString(d) + payload;
}

// Plays the server's report port on loopback: collects reports, answers as told.
class ReportPort : public QObject
{
public:
    ReportPort()
    {
        socket.bind(QHostAddress::LocalHost, discovery::kDiscoveryPort);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket.receiveDatagram();
                reports << d.data();
                if (!answer.isEmpty())
                    socket.writeDatagram(answer, d.senderAddress(), d.senderPort());
            }
        });
    }
    QJsonObject report(int i) const
    {
        return QJsonDocument::fromJson(reports.value(i).mid(8)).object();
    }

    QUdpSocket socket;
    QList<QByteArray> reports;
    QByteArray answer;
};

} // namespace

class TestBeacon : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> settingsDir_;
    FakeTime time_;

    std::unique_ptr<ClockWatcher> makeWatcher(quint16 ntpPort = 9)
    {
        auto w = std::make_unique<ClockWatcher>(ClockWatcher::Seam{&time_, ntpPort}, nullptr);
        for (QTimer* t : w->findChildren<QTimer*>())
            t->stop();
        return w;
    }

    static QString clientId() { return QSettings().value("clientId").toString(); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Ondavix"));
        QCoreApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
    }

    void init()
    {
        settingsDir_ = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_->path());
        time_ = FakeTime();
    }

    void hostName_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("reported");
        QTest::newRow(".local cut") << "studio-mac.local"
                                    << "studio-mac";
        QTest::newRow("capitals kept") << "studio-mac.LOCAL"
                                       << "studio-mac.LOCAL";
        QTest::newRow("longer suffix kept") << "studio-mac.localdomain"
                                            << "studio-mac.localdomain";
        QTest::newRow("only the last one") << "a.local.local"
                                           << "a.local";
        QTest::newRow("no dot") << "studiolocal"
                                << "studiolocal";
    }

    void hostName()
    {
        QFETCH(QString, host);
        QFETCH(QString, reported);
        QCOMPARE(ClockWatcher::reportHostName(host), reported);
    }

    void reportBytes()
    {
        auto w = makeWatcher();
        const QString common = QString("\"name\":\"%1\",\"os\":\"%2\",")
                                   .arg(ClockWatcher::reportHostName(QSysInfo::machineHostName()),
                                        QSysInfo::prettyProductName());
        const QString id = clientId();
        QCOMPARE(QString::fromUtf8(w->beaconJson(false)),
                 "{\"id\":\"" + id + "\"," + common +
                     "\"state\":\"none\",\"t\":1700000000000,\"ver\":\"1.7.0\"}");
        QCOMPARE(QString::fromUtf8(w->beaconJson(true)),
                 "{\"bye\":true,\"id\":\"" + id + "\"," + common +
                     "\"state\":\"none\",\"t\":1700000000000,\"ver\":\"1.7.0\"}");

        const QByteArray packet = w->beaconPacket(false);
        const QByteArray payload = w->beaconJson(false);
        QCOMPARE(packet.left(6), QByteArray("TSVL\x01\x04", 6));
        QCOMPARE((uchar(packet[6]) << 8) | uchar(packet[7]), int(payload.size()));
        QCOMPARE(packet.mid(8), payload);
    }

    // last_sync is whole seconds, truncated; server and offset_ms come and go.
    void optionalMembers()
    {
        QSettings().setValue("clock/lastSyncUtcMs", qint64(1'699'999'999'999));
        SntpPeer peer(time_);
        peer.offsetMs = -1234;
        auto w = makeWatcher(peer.port());
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        w->setServer("127.0.0.1", "Peer");
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 3000);
        QJsonObject o = QJsonDocument::fromJson(w->beaconJson(false)).object();
        QCOMPARE(o.value("server").toString(), QString("127.0.0.1"));
        QCOMPARE(o.value("offset_ms").toInteger(), qint64(-1234));
        QCOMPARE(o.value("last_sync").toInteger(), qint64(1'699'999'999));
        QCOMPARE(o.value("state").toString(), QString("off"));

        time_.advance(25'001); // the answer no longer counts
        o = QJsonDocument::fromJson(w->beaconJson(false)).object();
        QVERIFY(!o.contains("offset_ms"));
        QCOMPARE(o.value("t").toInteger(), qint64(1'700'000'025'001));
    }

    void oversizedReportIsNotMade()
    {
        QSettings().setValue("clientId", QString(1100, 'x'));
        auto w = makeWatcher();
        QVERIFY(w->beaconJson(false).size() > 1024);
        QVERIFY(w->beaconPacket(false).isEmpty());
    }

    void switching()
    {
        ReportPort port;
        auto w = makeWatcher();
        w->setServer("127.0.0.1", "Here");
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        w->setReporting(true);
        w->setReporting(true);
        QTRY_COMPARE(port.reports.size(), 1);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!port.report(0).contains("bye"));

        // A change of verdict is reported at once.
        QSettings().setValue("clock/lastSyncUtcMs", qint64(1));
        w->forgetLastSync(); // still none: no change, no report
        QTest::qWait(100);
        QCOMPARE(port.reports.size(), 1);

        w->setReporting(false);
        w->setReporting(false);
        QTRY_COMPARE(port.reports.size(), 2);
        QCOMPARE(port.report(1).value("bye").toBool(), true);
        QTest::qWait(100);
        QCOMPARE(port.reports.size(), 2);
        QCOMPARE(changed.count(), 2);

        // Quitting while reporting says farewell.
        w->setReporting(true);
        w.reset();
        QTRY_COMPARE(port.reports.size(), 4);
        QCOMPARE(port.report(3).value("bye").toBool(), true);
    }

    void stateChangeReportedAtOnce()
    {
        ReportPort port;
        SntpPeer peer(time_);
        auto w = makeWatcher(peer.port());
        w->setReporting(true); // no server yet: the report goes to broadcasts only
        QSignalSpy states(w.get(), &ClockWatcher::stateChanged);
        w->setServer("127.0.0.1", "Peer"); // answers: none becomes sync
        QTRY_VERIFY(states.count() > 0);
        QTRY_VERIFY(port.reports.size() >= 1);
        QCOMPARE(port.report(port.reports.size() - 1).value("state").toString(), QString("sync"));
    }

    void heardAnswers_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<bool>("heard");
        QTest::newRow("my id") << 0 << true;
        QTest::newRow("my id in capitals") << 1 << false;
        QTest::newRow("length field one short") << 2 << false;
        QTest::newRow("type 4") << 3 << false;
        QTest::newRow("another id") << 4 << false;
        QTest::newRow("not JSON") << 5 << false;
        QTest::newRow("id as a number") << 6 << false;
    }

    void heardAnswers()
    {
        QFETCH(int, form);
        QFETCH(bool, heard);
        ReportPort port;
        auto w = makeWatcher();
        const QByteArray id = clientId().toUtf8();
        const QByteArray body = "{\"id\":\"" + id + "\"}";
        const QByteArray answers[] = {
            framed(5, body),
            framed(5, "{\"id\":\"" + id.toUpper() + "\"}"),
            framed(5, body, int(body.size()) - 1),
            framed(4, body),
            framed(5, "{\"id\":\"someone-else\"}"),
            framed(5, "{\"id\":"),
            framed(5, "{\"id\":7}"),
        };
        port.answer = answers[form];
        QCOMPARE(w->isHeardForMe(answers[form]), heard);
        w->setServer("127.0.0.1", "Here");
        QSignalSpy changed(w.get(), &ClockWatcher::changed);
        w->setReporting(true);
        QTRY_COMPARE(port.reports.size(), 1);
        QTest::qWait(200);
        QCOMPARE(w->reportHeard(), heard);
        QCOMPARE(changed.count(), heard ? 2 : 1);
    }

    void heardWindow()
    {
        ReportPort port;
        auto w = makeWatcher();
        port.answer = framed(5, "{\"id\":\"" + clientId().toUtf8() + "\"}");
        w->setServer("127.0.0.1", "Here");
        w->setReporting(true);
        QTRY_VERIFY(w->reportHeard());
        time_.advance(90'000);
        QVERIFY(w->reportHeard());
        time_.advance(1);
        QVERIFY(!w->reportHeard());

        // Off and on again clears it until the next heard answer.
        QTRY_VERIFY(port.reports.size() == 1);
        port.answer.clear();
        QMetaObject::invokeMethod(w.get(), "sendBeacon");
        QTRY_COMPARE(port.reports.size(), 2);
        port.answer = framed(5, "{\"id\":\"" + clientId().toUtf8() + "\"}");
        QMetaObject::invokeMethod(w.get(), "sendBeacon");
        QTRY_VERIFY(w->reportHeard());
        port.answer.clear();
        w->setReporting(false);
        QVERIFY(!w->reportHeard());
        w->setReporting(true);
        QVERIFY(!w->reportHeard());
        // A change of server clears it too.
        port.answer = framed(5, "{\"id\":\"" + clientId().toUtf8() + "\"}");
        QMetaObject::invokeMethod(w.get(), "sendBeacon");
        QTRY_VERIFY(w->reportHeard());
        w->setServer("127.0.0.2", "Other");
        QVERIFY(!w->reportHeard());
    }
};

QTEST_GUILESS_MAIN(TestBeacon)
#include "tst_beacon.moc"
