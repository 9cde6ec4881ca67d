// Discovery across the lab's veth pair, with real broadcasts, against lab servers that answer as
// told, some of them hostile: what the application's scan lists and what the tool says for the
// cases of cases.txt, how many places one scan keeps, and SNTP probes. The clock watcher's checks
// that need the lab live here too: chronyd on port 123, reports by broadcast.
#include "clock/clockwatcher.h"
#include "discovery/app/discoveryanswer.h"
#include "discovery/app/discoveryclient.h"
#include "tests/lab/labpeer.h"
#include "tests/tool/toolharness.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// A listed server as cases.txt writes it.
static QString shown(const DiscoveredServer& s)
{
    QString text = QString("%1 (%2) at %3").arg(s.name, s.id, s.address);
    if (s.stratum || s.clients || !s.source.isEmpty() || !s.ver.isEmpty())
        text += QString(", %1 v%2 stratum %3, %4 clients")
                    .arg(s.source, s.ver, QString::number(s.stratum), QString::number(s.clients));
    const bool on[] = {s.synced, s.accepting, s.answering, s.thisComputer, s.steady};
    const char* const flags[] = {"synced", "accepting", "answering", "here", "steady"};
    for (int i = 0; i < 5; ++i)
        text += on[i] ? QString(", ") + flags[i] : "";
    return text;
}

class TestDiscovery : public QObject
{
    Q_OBJECT

    QTemporaryDir settingsDir;
    const QStringList spare = LabPeer::spareAddresses();
    const QString server = LabPeer::serverAddress(), client = LabPeer::clientAddress();
    std::vector<std::unique_ptr<LabPeer>> peers; // of the running test function

    bool start(const QString& at, const QString& json, QStringList o = {"--no-ntp"})
    {
        peers.push_back(std::make_unique<LabPeer>(at, o << "--json" << json, at != client));
        return peers.back()->started();
    }
    // The servers one scan of listenMs finds; a scan that never ends shows as one empty server.
    static QList<DiscoveredServer> scanned(DiscoveryClient& discovery, int listenMs = 1500)
    {
        QSignalSpy finished(&discovery, &DiscoveryClient::finished);
        discovery.scan(listenMs);
        return finished.wait(10000) ? finished.at(0).at(0).value<QList<DiscoveredServer>>()
                                    : QList<DiscoveredServer>(1);
    }
    // A text of cases.txt: each @N stands for spare address N.
    QString expanded(QString text) const
    {
        for (qsizetype i = spare.size() - 1; i >= 0; --i)
            text.replace("@" + QString::number(i), spare[i]);
        return text;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(spare.size() >= 18, "run inside tests/lab/lab.sh");
        qRegisterMetaType<QList<DiscoveredServer>>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }
    void cleanup() { peers.clear(); }

    // The cases of cases.txt, each named "scan: …" or "tool: …" after what it proves.
    void cases_data()
    {
        QTest::addColumn<Transcript>("t");
        const QList<Transcript> all = transcripts("../discovery/cases.txt");
        QVERIFY(!all.isEmpty());
        for (const Transcript& t : all)
            QTest::newRow(qPrintable(t.name)) << t;
    }

    // What a scan of the application lists, or what the tool says, with the case's servers.
    void cases()
    {
        QFETCH(Transcript, t);
        QByteArray input;
        for (const QString& line : t.other) {
            if (line.startsWith("< ")) {
                input = line.mid(3).chopped(1).toUtf8() + '\n';
                continue;
            }
            // "@N JSON OPTIONS" or "@here JSON OPTIONS"
            const qsizetype json = line.indexOf(' ') + 1, end = line.lastIndexOf('}') + 1;
            const QString at = line.mid(1, json - 2);
            QVERIFY(start(at == "here" ? client : spare[at.toInt()], line.mid(json, end - json),
                          line.mid(end).split(' ', Qt::SkipEmptyParts)));
        }
        if (t.name.startsWith("scan: ")) {
            DiscoveryClient discovery;
            QString listed;
            for (const DiscoveredServer& s : scanned(discovery))
                listed += shown(s) + '\n';
            QCOMPARE(listed, expanded(t.out));
            return;
        }
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_ROOT", "/nonexistent/root");
        const ToolResult r = ToolHarness::run(t.args, env, {}, {}, input);
        QCOMPARE(r.out, expanded(t.out));
        // Where install gets as far as installing, the test root stops it.
        QCOMPARE(r.err.startsWith("error: could not install") ? "" : r.err, expanded(t.err));
        QCOMPARE(r.status, t.status);
    }

    // A second scan while one runs changes nothing; nobody answering ends it with an empty list.
    void oneScanAtATime()
    {
        DiscoveryClient discovery;
        QSignalSpy finished(&discovery, &DiscoveryClient::finished);
        discovery.scan(300);
        discovery.scan(2000);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 1500);
        QVERIFY(finished.at(0).at(0).value<QList<DiscoveredServer>>().isEmpty());
        QVERIFY(scanned(discovery, 100).isEmpty()); // and the next one runs
    }

    // The places of one scan: hosts answer as idsEach servers each, then one more host, late,
    // as lateIds: on a spare address, the same followed, or here, followed by loopback.
    void places_data()
    {
        QTest::addColumn<QString>("late");
        QTest::addColumn<int>("hosts");
        QTest::addColumn<int>("idsEach");
        QTest::addColumn<int>("lateIds");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("ofLateHost");
        QTest::newRow("64 places: a new host's id dropped") << "spare" << 16 << 4 << 1 << 64 << 0;
        QTest::newRow("one host takes four places") << "spare" << 1 << 64 << 1 << 5 << 1;
        QTest::newRow("the followed one takes a place") << "followed" << 16 << 4 << 1 << 64 << 1;
        QTest::newRow("and only four places") << "followed" << 16 << 4 << 6 << 64 << 4;
        QTest::newRow("followed here, heard from here") << "here" << 16 << 4 << 1 << 64 << 1;
    }

    void places()
    {
        QFETCH(QString, late);
        QFETCH(int, hosts);
        QFETCH(int, idsEach);
        QFETCH(int, lateIds);
        const QString json = R"({"id":"%1-%n","name":"%1-%n"})";
        const QString at = late == "here" ? client : spare[hosts];
        const auto ids = [](int n, const char* delayMs) {
            return QStringList{"--no-ntp", "--ids", QString::number(n), "--delay", delayMs};
        };
        for (int i = 0; i < hosts; ++i)
            QVERIFY(start(spare[i], json.arg(i), ids(idsEach, "0")));
        QVERIFY(start(at, json.arg("late"), ids(lateIds, "300")));
        DiscoveryClient discovery;
        discovery.setFollowedAddress(late == "followed" ? at : late == "here" ? "127.0.0.1" : "");
        const QList<DiscoveredServer> list = scanned(discovery);
        QTEST(int(list.size()), "listed");
        QTEST(int(std::count_if(list.begin(), list.end(),
                                [&](const DiscoveredServer& s) { return s.address == at; })),
              "ofLateHost");
    }

    // One probe: chronyd answers, but not when asked to wait a negative time; a name is not
    // probed, and an answer to another request does not count.
    void answersTimeNow()
    {
        QVERIFY(DiscoveryClient::answersTimeNow(server, 1500));
        QVERIFY(!DiscoveryClient::answersTimeNow(server, -1));
        QVERIFY(!DiscoveryClient::answersTimeNow("lab.local", 1500));
        QVERIFY(start(spare[0], "{}", {"--ntp-fault", "originate"}));
        QVERIFY(!DiscoveryClient::answersTimeNow(spare[0], 1500));
        QCOMPARE(senderText("::ffff:192.0.2.7"), "192.0.2.7");
    }

    // The watcher against chronyd, on the system's clock; its reports reach a lab server
    // beside chronyd, unicast and by both broadcasts, and its heard answer comes back.
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
        QVERIFY(states.wait(10000));
        QCOMPARE(w.state, ClockState::Sync);
        // chronyd serves this machine's own clock.
        QVERIFY2(qAbs(w.inputs().offsetMs) <= 50, qPrintable(QString::number(w.inputs().offsetMs)));
        QTRY_VERIFY(w.reportHeard());
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        const QString subnet = client.section('.', 0, 2) + ".255"; // the lab's is a /24
        for (const QString& to :
             {QString("unicast"), QString("broadcast 255.255.255.255"), "broadcast " + subnet})
            QVERIFY2(text.contains((to + " {").toUtf8()), text);
    }

    // This computer's addresses, also IPv4-mapped, and all of loopback; not the server's.
    void isThisComputer()
    {
        QStringList own;
        for (const QString& a : {client, "::ffff:" + client, server, "::ffff:" + server,
                                 QString("127.3.4.5"), QString()})
            if (ClockWatcher::isThisComputer(QHostAddress(a))) own << a;
        QCOMPARE(own, (QStringList{client, "::ffff:" + client, "127.3.4.5"}));
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
