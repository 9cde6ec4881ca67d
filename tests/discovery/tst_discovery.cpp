// Discovery as the application does it, across the lab's veth pair: one scan with real
// broadcasts against lab servers that answer as told (some of them hostile), and SNTP probes.
// The clock watcher's checks that need the lab live here too: chronyd on port 123, reports by
// broadcast. And the tool's own discovery.
#include "clock/clockwatcher.h"
#include "discovery/app/discoveryanswer.h"
#include "discovery/app/discoveryclient.h"
#include "tests/lab/labpeer.h"
#include "tests/tool/toolharness.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

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

private slots:
    void initTestCase()
    {
        QVERIFY2(spare.size() >= 18, "run inside tests/lab/lab.sh");
        qRegisterMetaType<QList<DiscoveredServer>>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }
    void cleanup() { peers.clear(); }

    // One scan hears: a server from 13 addresses, answering in address order and well apart
    // where the order decides, of which only the one numbered answering serves SNTP; one id
    // from two addresses; one with every field, one with none or of the wrong type, whose
    // SNTP says it has no time; one on this computer; one answering at the largest size; and one
    // whose every answer breaks a rule, one of them a datagram longer than its length field of
    // 1024.
    void scan_data()
    {
        QTest::addColumn<int>("answering");
        QTest::addColumn<QString>("listed");
        QTest::newRow("twelfth answers: kept and chosen")
            << 11 << spare.value(11) + "|lab|||0|0|00100";
        QTest::newRow("thirteenth answers: dropped") << 12 << spare.value(0) + "|lab|||0|0|00000";
    }

    void scan()
    {
        QFETCH(int, answering);
        QFETCH(QString, listed);
        for (int i = 0; i < 13; ++i) {
            const int delayMs = i == 0 ? 0 : i <= 10 ? 150 : 400 + 300 * (i - 11);
            QStringList o{"--delay", QString::number(delayMs)};
            if (i != answering) o << "--no-ntp";
            QVERIFY(start(spare[i], R"({"id":"lab","name":"Lab"})", o));
        }
        QStringList bad{"--ntp-fault", "originate"};
        for (const char* kind : {"stale", "no-nonce", "trailing=2", "oversize", "type=1", "type=4",
                                 "type=5", "array", "malformed", "long"})
            bad << "--send" << kind;
        QVERIFY(start(spare[13], R"({"id":"bad","name":"Bad"})", bad));
        QVERIFY(start(spare[14], R"({"id":"two","name":"Early"})"));
        QVERIFY(start(spare[15], R"({"id":"two","name":"kept"})", {"--no-ntp", "--delay", "100"}));
        QVERIFY(start(spare[16], R"({"stratum":"1","synced":1,"accepting":"true","steady":"1"})",
                      {"--ntp-fault", "unsynchronized", "--send", "announce"}));
        QVERIFY(start(spare[17],
                      R"({"id":"a","name":"Alpha","source":"GPS","ver":"2.4","stratum":1,)"
                      R"("clients":3,"synced":true,"accepting":true,"steady":true})",
                      {"--send", "full"}));
        QVERIFY(start(client, R"({"id":"me","name":"Here"})", {"--ntp-loopback"}));

        DiscoveryClient discovery;
        QSignalSpy finished(&discovery, &DiscoveryClient::finished);
        discovery.scan(1500);
        discovery.scan(1500); // one scan at a time: this one changes nothing
        QVERIFY(finished.wait(10000));
        discovery.scan(100);
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(discovery.findChildren<QTimer*>().size(), 1); // one listening timer for all
        // name|address|id|source|ver|stratum|clients, then the flags synced accepting
        // answering thisComputer steady.
        QStringList got;
        for (const DiscoveredServer& s : finished.at(0).at(0).value<QList<DiscoveredServer>>()) {
            QString flags;
            for (bool f : {s.synced, s.accepting, s.answering, s.thisComputer, s.steady})
                flags += f ? '1' : '0';
            got << QString("%1|%2|%3|%4|%5|").arg(s.name, s.address, s.id, s.source, s.ver) +
                       QString("%1|%2|").arg(s.stratum).arg(s.clients) + flags;
        }
        QCOMPARE(got, (QStringList{"(unnamed)|" + spare[16] + "|" + spare[16] + "|||0|0|00000",
                                   "Alpha|" + spare[17] + "|a|GPS|2.4|1|3|11101",
                                   "Here|127.0.0.1|me|||0|0|00110",
                                   "kept|" + spare[14] + "|two|||0|0|00000", "Lab|" + listed}));

        // One probe: chronyd answers; a wrong answer, no time, a name do not, nor chronyd
        // when asked to wait a negative time.
        QVERIFY(!DiscoveryClient::answersTimeNow(server, -1));
        QStringList answers;
        for (const QString& a : {server, spare[13], spare[16], QString("lab.local")}) {
            if (DiscoveryClient::answersTimeNow(a, 1500)) answers << a;
        }
        QCOMPARE(answers, QStringList{server});
        QCOMPARE(senderText("::ffff:192.0.2.7"), "192.0.2.7");
    }

    // The places of one scan: hosts answer as idsEach servers each, then one more host, late,
    // as lateIds: on a spare address, the same followed, or here, followed by loopback.
    void places_data()
    {
        QTest::addColumn<QString>("late");
        QTest::addColumn<int>("hosts");
        QTest::addColumn<int>("idsEach");
        QTest::addColumn<int>("lateIds");
        QTest::addColumn<QString>("want"); // servers listed | of the late host | most of one host
        QTest::newRow("64 places: a new host's id dropped") << "spare" << 16 << 4 << 1 << "64|0|4";
        QTest::newRow("one host takes four places") << "spare" << 1 << 64 << 1 << "5|1|4";
        QTest::newRow("the followed one takes a place") << "followed" << 16 << 4 << 1 << "64|1|4";
        QTest::newRow("and only four places") << "followed" << 16 << 4 << 6 << "64|4|4";
        QTest::newRow("followed here, heard from here") << "here" << 16 << 4 << 1 << "64|1|4";
    }

    void places()
    {
        QFETCH(QString, late);
        QFETCH(int, hosts);
        QFETCH(int, idsEach);
        QFETCH(int, lateIds);
        QFETCH(QString, want);
        const QString json = R"({"id":"%1-%n","name":"%1-%n"})";
        const QString at = late == "here" ? client : spare[hosts];
        for (int i = 0; i < hosts; ++i)
            QVERIFY(start(spare[i], json.arg(i), {"--no-ntp", "--ids", QString::number(idsEach)}));
        QVERIFY(start(at, json.arg("late"),
                      {"--no-ntp", "--ids", QString::number(lateIds), "--delay", "300"}));
        DiscoveryClient discovery;
        discovery.setFollowedAddress(late == "followed" ? at : late == "here" ? "127.0.0.1" : "");
        QSignalSpy finished(&discovery, &DiscoveryClient::finished);
        discovery.scan(1500);
        QVERIFY(finished.wait(10000));
        const auto list = finished.at(0).at(0).value<QList<DiscoveredServer>>();
        QMap<QString, int> perHost;
        int most = 0;
        for (const DiscoveredServer& s : list)
            most = std::max(most, ++perHost[s.address]);
        QCOMPARE(QString("%1|%2|%3").arg(list.size()).arg(perHost.value(at)).arg(most), want);
    }

    // The watcher against chronyd, on the system's clock; its reports reach a lab server
    // beside chronyd, unicast and by broadcast, and its heard answer comes back.
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
        QVERIFY2(text.contains("unicast {") && text.contains("broadcast {"), text);

        QStringList own;
        for (const QString& a : {client, "::ffff:" + client, server, "::ffff:" + server,
                                 QString("127.3.4.5"), QString()}) {
            if (ClockWatcher::isThisComputer(QHostAddress(a))) own << a;
        }
        QCOMPARE(own, (QStringList{client, "::ffff:" + client, "127.3.4.5"}));
    }

    // The tool's discover command and install's choice of a server, with a test root nobody may
    // write: install stops right after its first line. Terminal controls in a name are shown as
    // U+FFFD, and escaped in JSON; names that differ only in Unicode's spelling sort alike.
    void tool_data()
    {
        QTest::addColumn<QStringList>("servers"); // the JSON answers of the spare addresses @0, @1
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("want"); // out|err|status
        const QString j =
            R"({"id":"%1","name":"%1","ver":"2.4","stratum":1,"source":"GPS","clients":%2,"synced":%3,"accepting":%4})";
        const QStringList two{j.arg("Bravo", "2", "true", "true"),
                              j.arg("Alpha", "2", "true", "true")};
        const QString ask =
            "Select a server:\n  [1] Alpha  \u2014  @1  (stratum 1, GPS, v2.4, 2 clients)\n  [2] "
            "Bravo  \u2014  @0  (stratum 1, GPS, v2.4, 2 clients)\nNumber: ";
        const QString none = "No Tessavel servers found on this network.\nMake sure the server has "
                             "\"Advertise on network\" enabled, or use --server <ip>.\n||1";
        // clang-format off
        QTest::newRow("ready and not synced") << QStringList{j.arg("Lab", "1", "true", "true"), j.arg("Annex", "0", "false", "true")} << "discover" << QByteArray()
            << "Found 2 Tessavel server(s):\n\n  [1] Lab  \u2014  @0  (stratum 1, GPS, v2.4, 1 client)\n  [-] Annex  \u2014  @1  (unavailable: not synced yet)\n\n||0";
        QTest::newRow("no id, no name, one per address") << QStringList{"{}", "{}"} << "discover" << QByteArray()
            << "Found 2 Tessavel server(s):\n\n  [-] (unnamed)  \u2014  @0  (unavailable: not accepting clients)\n  [-] (unnamed)  \u2014  @1  (unavailable: not accepting clients)\n\n||0";
        QTest::newRow("one id from two addresses") << QStringList{j.arg("x", "2", "true", "false"), j.arg("x", "2", "true", "false")} << "discover" << QByteArray()
            << "Found 1 Tessavel server(s):\n\n  [-] x  \u2014  ..."; // from either address
        const QString r = R"({"id":"%1","name":"%2","ver":"%3","source":"%4","stratum":1,"clients":1,"synced":true,"accepting":true})";
        const QString line = "  [%1] %2  \u2014  @%3  (stratum 1, %4, v%5, 1 client)\n";
        QTest::newRow("controls shown as U+FFFD") << QStringList{r.arg("a", R"(Caf\u00e9 \u2014 S\u00fcd\u001b[2J\u0007)", R"(2.4\u009b)", R"(GPS\u2028\u2029\u0085\u007f\t\r\n)")} << "discover" << QByteArray()
            << "Found 1 Tessavel server(s):\n\n" + line.arg("1", "Caf\u00e9 \u2014 S\u00fcd\uFFFD[2J\uFFFD", "0", "GPS" + QString(7, QChar(0xFFFD)), "2.4\uFFFD") + "\n||0";
        // Lowered and composed, "E" + U+0301 + "b" is "\u00e9b", after "\u00e9a".
        QTest::newRow("canonically equivalent names sort alike") << QStringList{r.arg("a", R"(E\u0301b)", "1", "GPS"), r.arg("b", R"(\u00e9a)", "1", "GPS")} << "discover" << QByteArray()
            << "Found 2 Tessavel server(s):\n\n" + line.arg("1", "\u00e9a", "1", "GPS", "1") + line.arg("2", "E\u0301b", "0", "GPS", "1") + "\n||0";
        QTest::newRow("JSON: the texts as sent, escaped") << QStringList{r.arg("a", R"(Caf\u00e9 \u001b[2J\u0007)", R"(2.4\u009b)", R"(GPS\u2028\u007f)")} << "discover --json" << QByteArray()
            << "[\n  {\n    \"id\": \"a\",\n    \"name\": \"Caf\\u00e9 \\u001b[2J\\u0007\",\n    \"ver\": \"2.4\\u009b\",\n    \"stratum\": 1,\n    \"synced\": true,\n    \"accepting\": true,\n"
               "    \"source\": \"GPS\\u2028\\u007f\",\n    \"clients\": 1,\n    \"address\": \"@0\",\n    \"ready\": true\n  }\n]\n||0";
        QTest::newRow("JSON: nobody answers") << QStringList{} << "discover --json" << QByteArray() << "[]\n||1";
        QTest::newRow("no command at all, nobody answers") << QStringList{} << "" << QByteArray() << none;
        QTest::newRow("one ready server, taken") << QStringList{j.arg("Alpha", "2", "true", "true"), j.arg("Off", "2", "false", "true")} << "install" << QByteArray()
            << "Found Alpha at @0.\nSetting up Tessavel Veridir -> \"Alpha\" (@0), every 30 minutes\n||1";
        QTest::newRow("answer 2 in blanks") << two << "install" << QByteArray(" 2 \n") << ask + "Setting up Tessavel Veridir -> \"Bravo\" (@0), every 30 minutes\n||1";
        QTest::newRow("answer 0") << two << "install" << QByteArray("0\n") << ask + "|Invalid selection.\n|1";
        QTest::newRow("answer 3") << two << "install" << QByteArray("3\n") << ask + "|Invalid selection.\n|1";
        QTest::newRow("end of input") << two << "install" << QByteArray() << ask + "|Invalid selection.\n|1";
        QTest::newRow("--name alone discovers") << QStringList{} << "install --name Lab" << QByteArray() << "|No Tessavel servers found. Use:  install --server <ip>\n|1";
        // clang-format on
    }

    void tool()
    {
        QFETCH(QStringList, servers);
        QFETCH(QString, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, want);
        for (int i = 0; i < servers.size(); ++i)
            QVERIFY(start(spare[i], servers[i]));
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_ROOT", "/nonexistent/root");
        const ToolResult r =
            ToolHarness::run(args.split(' ', Qt::SkipEmptyParts), env, {}, {}, input);
        const QString err = r.err.startsWith("error: could not install") ? "" : r.err;
        const QString got = r.out + "|" + err + "|" + QString::number(r.status);
        want.replace("@0", spare[0]).replace("@1", spare[1]);
        QCOMPARE(want.endsWith("...") ? got.left(want.size() - 3) + "..." : got, want);
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
