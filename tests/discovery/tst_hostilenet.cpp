// What a hostile or careless peer on the lab network sends: datagrams longer than their
// length field, heard answers while reporting is off, terminal controls and names that differ
// only in Unicode's spelling for the tool's listing; and a probe asked to wait a negative time.
#include "clock/clockwatcher.h"
#include "discovery/app/discoveryclient.h"
#include "tests/lab/labpeer.h"
#include "tests/tool/selftestroot.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestHostileNet : public QObject
{
    Q_OBJECT

    QTemporaryDir settingsDir_;
    QString address_;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QList<DiscoveredServer>>();
        QVERIFY2(LabPeer::spareAddresses().size() >= 2, "run inside tests/lab/lab.sh");
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

    void discover_data()
    {
        QTest::addColumn<QStringList>("answers"); // one lab server per answer, in id order
        QTest::addColumn<QString>("listed");
        const QStringList at = LabPeer::spareAddresses();
        const QString ready = R"({"id":"%1","name":"%2","ver":"%3","source":"%4","stratum":1,)"
                              R"("clients":1,"synced":true,"accepting":true})";
        const QString line = "  [%1] %2  \u2014  %3  (stratum 1, %4, v%5, 1 client)\n";

        QTest::newRow("controls shown as U+FFFD, accents and dashes kept")
            << QStringList{ready.arg("a", R"(Caf\u00e9 \u2014 S\u00fcd\u001b[2J\u0007)",
                                     R"(2.4\u009b)", R"(GPS\u2028\u2029\u0085\u007f\t\r\n)")}
            << line.arg("1", "Caf\u00e9 \u2014 S\u00fcd\uFFFD[2J\uFFFD", at[0],
                        "GPS" + QString(7, QChar(0xFFFD)), "2.4\uFFFD");
        // Lowered and composed, "E" + U+0301 + "b" is "\u00e9b", after "\u00e9a".
        QTest::newRow("canonically equivalent names sort alike")
            << QStringList{ready.arg("a", R"(E\u0301b)", "1", "GPS"),
                           ready.arg("b", R"(\u00e9a)", "1", "GPS")}
            << line.arg("1", "\u00e9a", at[1], "GPS", "1") +
                   line.arg("2", "E\u0301b", at[0], "GPS", "1");
    }

    void discover()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, listed);
        const QStringList spare = LabPeer::spareAddresses();
        std::vector<std::unique_ptr<LabPeer>> peers;
        for (int i = 0; i < answers.size(); ++i) {
            peers.push_back(
                std::make_unique<LabPeer>(spare[i], QStringList{"--json", answers[i], "--no-ntp"}));
            QVERIFY(peers.back()->started());
        }
        SelfTestRoot root;
        const ToolResult r = root.tool({"discover"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out,
                 QString("Found %1 Tessavel server(s):\n\n").arg(answers.size()) + listed + "\n");
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
