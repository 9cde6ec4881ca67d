// What a hostile or careless peer on the lab network sends the application: datagrams longer
// than their length field, heard answers that come while reporting is off, and a probe asked
// to wait a negative time.
#include "clockwatcher.h"
#include "discoveryclient.h"
#include "labpeer.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestHostileNet : public QObject
{
    Q_OBJECT

    QTemporaryDir settingsDir_;
    QString address_;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QList<DiscoveredServer>>();
        QVERIFY2(!LabPeer::spareAddresses().isEmpty(), "run inside tests/lab/lab.sh");
        address_ = LabPeer::spareAddresses().at(0);
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Ondavix"));
        QCoreApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    }

    // "full" is the largest valid datagram, 1032 bytes; "long" is 1040 bytes whose length
    // field says 1024, which a read of 1032 bytes would cut to a valid size.
    void sizeOfTheDatagram_data()
    {
        QTest::addColumn<bool>("heard"); // a heard answer, else a discovery answer
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("taken");
        QTest::newRow("discovery answer of 1032 bytes") << false << "full" << true;
        QTest::newRow("discovery answer of 1040 bytes") << false << "long" << false;
        QTest::newRow("heard answer of 1032 bytes") << true << "full" << true;
        QTest::newRow("heard answer of 1040 bytes") << true << "long" << false;
    }

    void sizeOfTheDatagram()
    {
        QFETCH(bool, heard);
        QFETCH(QString, size);
        QFETCH(bool, taken);
        const QString json = R"({"id":"a","name":"Lab","synced":true,"accepting":true})";
        LabPeer peer(address_, heard ? QStringList{"--no-discovery", "--heard", size}
                                     : QStringList{"--json", json, "--send", size, "--no-ntp"});
        QVERIFY(peer.started());
        if (heard) {
            ClockWatcher w;
            w.setServer(address_, "Lab");
            w.setReporting(true);
            QTest::qWait(1000);
            QCOMPARE(w.reportHeard(), taken);
        } else {
            DiscoveryClient client;
            QSignalSpy spy(&client, &DiscoveryClient::finished);
            client.scan(1000);
            QVERIFY(spy.wait(4000));
            QCOMPARE(spy.at(0).at(0).value<QList<DiscoveredServer>>().size(), taken ? 1 : 0);
        }
    }

    // The server answers the farewell report too; that answer must not make "Reported" read
    // yes at once when reporting comes back on.
    void reportedStartsUnheard()
    {
        LabPeer peer(address_, {"--no-discovery"});
        QVERIFY(peer.started());
        ClockWatcher w;
        w.setServer(address_, "Lab");
        w.setReporting(true);
        QTRY_VERIFY_WITH_TIMEOUT(w.reportHeard(), 3000);
        w.setReporting(false);
        QTest::qWait(500); // the answer to the farewell arrives
        w.setReporting(true);
        QVERIFY(!w.reportHeard());
        QTRY_VERIFY_WITH_TIMEOUT(w.reportHeard(), 3000);
    }

    void negativeTimeoutAnswersAtOnce()
    {
        QElapsedTimer t;
        t.start();
        QVERIFY(!DiscoveryClient::answersTimeNow(LabPeer::serverAddress(), -1)); // chronyd
        QVERIFY(t.elapsed() < 100);
    }

    void oneListeningTimerForAllScans()
    {
        DiscoveryClient client;
        QSignalSpy spy(&client, &DiscoveryClient::finished);
        for (int i = 1; i <= 3; ++i) {
            client.scan(100);
            QTRY_COMPARE(spy.size(), i);
        }
        QCOMPARE(client.findChildren<QTimer*>().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHostileNet)
#include "tst_hostilenet.moc"
