// The discover command and install's choice of a server, across the lab's veth pair with real
// broadcasts, against lab servers that answer as told: terminal controls in a name are shown
// as U+FFFD, names that differ only in Unicode's spelling sort alike.
#include "tests/lab/labpeer.h"
#include "tests/tool/toolharness.h"

#include <QtTest>

#include <memory>

class TestDiscoverLab : public QObject
{
    Q_OBJECT

private slots:
    void run_data()
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
        QTest::newRow("one id from two addresses") << QStringList{j.arg("x", "2", "true", "false"), j.arg("x", "2", "true", "false")} << "discover" << QByteArray() << "<one>";
        const QString r = R"({"id":"%1","name":"%2","ver":"%3","source":"%4","stratum":1,"clients":1,"synced":true,"accepting":true})";
        const QString line = "  [%1] %2  \u2014  @%3  (stratum 1, %4, v%5, 1 client)\n";
        QTest::newRow("controls shown as U+FFFD") << QStringList{r.arg("a", R"(Caf\u00e9 \u2014 S\u00fcd\u001b[2J\u0007)", R"(2.4\u009b)", R"(GPS\u2028\u2029\u0085\u007f\t\r\n)")} << "discover" << QByteArray()
            << "Found 1 Tessavel server(s):\n\n" + line.arg("1", "Caf\u00e9 \u2014 S\u00fcd\uFFFD[2J\uFFFD", "0", "GPS" + QString(7, QChar(0xFFFD)), "2.4\uFFFD") + "\n||0";
        // Lowered and composed, "E" + U+0301 + "b" is "\u00e9b", after "\u00e9a".
        QTest::newRow("canonically equivalent names sort alike") << QStringList{r.arg("a", R"(E\u0301b)", "1", "GPS"), r.arg("b", R"(\u00e9a)", "1", "GPS")} << "discover" << QByteArray()
            << "Found 2 Tessavel server(s):\n\n" + line.arg("1", "\u00e9a", "1", "GPS", "1") + line.arg("2", "E\u0301b", "0", "GPS", "1") + "\n||0";
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

    void run()
    {
        QFETCH(QStringList, servers);
        QFETCH(QString, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, want);
        const QStringList at = LabPeer::spareAddresses();
        std::vector<std::unique_ptr<LabPeer>> peers;
        for (int i = 0; i < servers.size(); ++i) {
            peers.push_back(std::make_unique<LabPeer>(
                at.value(i), QStringList{"--no-ntp", "--json", servers[i]}));
            QVERIFY(peers.back()->started());
        }
        // A test root nobody may write: install stops right after its first line.
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_ROOT", "/nonexistent/root");
        const ToolResult r =
            ToolHarness::run(args.split(' ', Qt::SkipEmptyParts), env, {}, {}, input);
        const QString err = r.err.startsWith("error: could not install") ? "" : r.err;
        if (want == "<one>")
            QVERIFY2(r.out.startsWith("Found 1 Tessavel server(s):\n\n  [-] x  "),
                     qPrintable(r.out));
        else
            QCOMPARE(r.out + "|" + err + "|" + QString::number(r.status),
                     QString(want).replace("@0", at.value(0)).replace("@1", at.value(1)));
    }
};

QTEST_GUILESS_MAIN(TestDiscoverLab)
#include "tst_discoverlab.moc"
