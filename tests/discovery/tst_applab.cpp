// The application's network code across the lab's veth pair: a scan with real broadcasts
// against lab servers that answer as told, SNTP probes, and the clock watcher against chronyd
// on the system's clock and port 123.
#include "clockwatcher.h"
#include "discoveryclient.h"
#include "labpeer.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

class TestAppLab : public QObject
{
    Q_OBJECT

    QTemporaryDir settingsDir;
    const QStringList spare = LabPeer::spareAddresses();
    const QString server = LabPeer::serverAddress(), client = LabPeer::clientAddress();

private slots:
    void initTestCase()
    {
        QVERIFY2(spare.size() >= 18, "run inside tests/lab/lab.sh");
        qRegisterMetaType<QList<DiscoveredServer>>();
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    // One scan hears a server from 13 addresses, answering in address order and well apart
    // where the order decides, of which only the address numbered answering serves SNTP; one
    // id from two addresses, two more servers and one on this computer.
    void scan_data()
    {
        QTest::addColumn<int>("answering");
        QTest::addColumn<QString>("listed");
        QTest::newRow("twelfth answers: kept and chosen") << 11 << spare.value(11) + " answering";
        QTest::newRow("thirteenth answers: dropped") << 12 << spare.value(0) + " silent";
    }

    void scan()
    {
        QFETCH(int, answering);
        QFETCH(QString, listed);
        std::vector<std::unique_ptr<LabPeer>> peers;
        auto start = [&](const QString& at, const char* id, const char* name, QStringList o) {
            o << "--json" << QString(R"({"id":"%1","name":"%2"})").arg(id, name);
            peers.push_back(std::make_unique<LabPeer>(at, o, at != client));
            return peers.back()->started();
        };
        for (int i = 0; i < 13; ++i) {
            const int delayMs = i == 0 ? 0 : i <= 10 ? 150 : 400 + 300 * (i - 11);
            QStringList o{"--delay", QString::number(delayMs)};
            if (i != answering) o << "--no-ntp";
            QVERIFY(start(spare[i], "lab", "Lab", o));
        }
        QVERIFY(start(spare[14], "two", "Early", {"--no-ntp"}));
        QVERIFY(start(spare[15], "two", "late", {"--no-ntp", "--delay", "100"}));
        QVERIFY(start(spare[16], "b", "beta", {"--no-ntp"}));
        QVERIFY(start(spare[17], "a", "Alpha", {}));
        QVERIFY(start(client, "me", "Here", {"--ntp-loopback"}));

        DiscoveryClient discovery;
        QSignalSpy finished(&discovery, &DiscoveryClient::finished);
        discovery.scan(1500);
        discovery.scan(1500); // one scan at a time: this one changes nothing
        QVERIFY(finished.wait(5000));
        QStringList got;
        for (const DiscoveredServer& s : finished.at(0).at(0).value<QList<DiscoveredServer>>())
            got << QString("%1 %2 %3%4")
                       .arg(s.name, s.address, s.answering ? "answering" : "silent",
                            s.thisComputer ? " here" : "");
        QCOMPARE(got, (QStringList{"Alpha " + spare[17] + " answering",
                                   "beta " + spare[16] + " silent", "Here 127.0.0.1 answering here",
                                   "Lab " + listed, "late " + spare[14] + " silent"}));

        // One probe: chronyd answers; a wrong answer, silence and a name do not.
        LabPeer faulty(spare[13], {"--no-discovery", "--ntp-fault", "originate"});
        QVERIFY(faulty.started());
        QStringList answers;
        for (const QString& a : {server, spare[13], spare[16], QString("lab.local")}) {
            if (DiscoveryClient::answersTimeNow(a, 500)) answers << a;
        }
        QCOMPARE(answers, QStringList{server});
    }

    // Reports reach a lab server beside chronyd, unicast and by broadcast, and its heard
    // answer comes back.
    void clockWatcher()
    {
        const QString log = QDir(qEnvironmentVariable("LAB_DIR")).filePath("reports");
        LabPeer reports(server, {"--no-ntp", "--no-discovery", "--report-log", log});
        QVERIFY(reports.started());
        ClockWatcher w;
        QSignalSpy states(&w, &ClockWatcher::stateChanged);
        w.setServer(server, "chronyd");
        w.setReporting(true);
        // In a real event loop: QTRY's naps would delay the receipt, and skew the offset.
        QVERIFY(states.wait(3000));
        QCOMPARE(w.state, ClockState::Sync);
        // chronyd serves this machine's own clock.
        QVERIFY2(qAbs(w.inputs().offsetMs) <= 20, qPrintable(QString::number(w.inputs().offsetMs)));
        QTRY_VERIFY(w.reportHeard());
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QSet<QByteArray> kinds;
        for (const QByteArray& line : f.readAll().split('\n'))
            kinds << line.left(line.indexOf(' '));
        QCOMPARE(kinds, (QSet<QByteArray>{"unicast", "broadcast", ""}));

        QStringList own;
        for (const QString& a : {client, "::ffff:" + client, server, "::ffff:" + server,
                                 QString("127.3.4.5"), QString("::ffff:127.0.0.1"), QString()}) {
            if (ClockWatcher::isThisComputer(QHostAddress(a))) own << a;
        }
        QCOMPARE(own, (QStringList{client, "::ffff:" + client, "127.3.4.5", "::ffff:127.0.0.1"}));
    }
};

QTEST_GUILESS_MAIN(TestAppLab)
#include "tst_applab.moc"
