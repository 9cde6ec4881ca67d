// The discover command and install's choice of a server, across the lab's veth pair with real
// broadcasts, against lab servers that answer as told.
#include "labpeer.h"
#include "tooldiscovery.h"
#include "toolharness.h"

#include <QtTest>

#include <memory>

namespace {

const QString kNone =
    "No Tessavel servers found on this network.\nMake sure the server has \"Advertise on "
    "network\" enabled, or use --server <ip>.\n";

// Lab servers to start: address ("here": this computer) and the JSON they answer with.
using Servers = QList<std::pair<QString, QString>>;

QString server(const char* id, const char* name, bool synced, bool accepting, int clients = 2)
{
    return QString(R"({"id":"%1","name":"%2","ver":"2.4","stratum":1,"source":"GPS","clients":%3,)"
                   R"("synced":%4,"accepting":%5})")
        .arg(id, name)
        .arg(clients)
        .arg(synced ? "true" : "false", accepting ? "true" : "false");
}

} // namespace

class TestDiscoverLab : public QObject
{
    Q_OBJECT

    QString a = LabPeer::spareAddresses().value(0), b = LabPeer::spareAddresses().value(1);

private slots:
    void run_data()
    {
        QTest::addColumn<Servers>("servers");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("want"); // out|err|status; @a and @b: the addresses
        const QString head = "Found 2 Tessavel server(s):\n\n";
        const QString alpha = "  [1] Alpha  \u2014  @a  (stratum 1, GPS, v2.4, 2 clients)\n",
                      two = "Select a server:\n" + alpha +
                            "  [2] Bravo  \u2014  @b  (stratum 1, GPS, v2.4, 2 clients)\nNumber: ";
        const QString setUp = "Setting up Tessavel Veridir -> \"%1\" (%2), every 30 minutes\n||1";
        const Servers ready{{b, server("b", "Bravo", true, true)},
                            {a, server("a", "Alpha", true, true)}};
        QTest::newRow("ready and not synced")
            << Servers{{a, server("a", "Lab", true, true, 3)},
                       {b, server("b", "Annex", false, true, 1)}}
            << QStringList{"discover"} << QByteArray()
            << head + "  [1] Lab  \u2014  @a  (stratum 1, GPS, v2.4, 3 clients)\n  [-] Annex  "
                      "\u2014  @b  (unavailable: not synced yet)\n\n||0";
        QTest::newRow("not accepting, one client")
            << Servers{{a, server("a", "Lab", false, false)},
                       {b, server("b", "Bay", true, true, 1)}}
            << QStringList{"discover"} << QByteArray()
            << head + "  [1] Bay  \u2014  @b  (stratum 1, GPS, v2.4, 1 client)\n  [-] Lab  \u2014  "
                      "@a  (unavailable: not accepting clients)\n\n||0";
        QTest::newRow("nobody answers")
            << Servers{} << QStringList{"discover"} << QByteArray() << kNone + "||1";
        QTest::newRow("no command is discover")
            << Servers{} << QStringList{} << QByteArray() << kNone + "||1";
        QTest::newRow("no id, no name: one per address")
            << Servers{{a, "{}"}, {b, "{}"}} << QStringList{"discover"} << QByteArray()
            << head + "  [-] (unnamed)  \u2014  @a  (unavailable: not accepting clients)\n  [-] "
                      "(unnamed)  \u2014  @b  (unavailable: not accepting clients)\n\n||0";
        QTest::newRow("one id from two addresses")
            << Servers{{a, server("x", "Lab", true, true)}, {b, server("x", "Lab", true, true)}}
            << QStringList{"discover"} << QByteArray() << "<one>";
        QTest::newRow("one ready server, taken")
            << Servers{{a, server("a", "Alpha", true, true)}, {b, server("c", "Off", false, true)}}
            << QStringList{"install"} << QByteArray()
            << "Found Alpha at @a.\n" + setUp.arg("Alpha", "@a");
        QTest::newRow("answer 2 in blanks")
            << ready << QStringList{"install"} << QByteArray(" 2 \n")
            << two + setUp.arg("Bravo", "@b");
        QTest::newRow("answer 0") << ready << QStringList{"install"} << QByteArray("0\n")
                                  << two + "|Invalid selection.\n|1";
        QTest::newRow("answer 3") << ready << QStringList{"install"} << QByteArray("3\n")
                                  << two + "|Invalid selection.\n|1";
        QTest::newRow("letters") << ready << QStringList{"install"} << QByteArray("one\n")
                                 << two + "|Invalid selection.\n|1";
        QTest::newRow("end of input")
            << ready << QStringList{"install"} << QByteArray() << two + "|Invalid selection.\n|1";
        QTest::newRow("--name alone discovers")
            << Servers{} << QStringList{"install", "--name", "Lab"} << QByteArray()
            << "|No Tessavel servers found. Use:  install --server <ip>\n|1";
        QTest::newRow("this computer: once") << Servers{{"here", server("me", "Here", true, true)}}
                                             << QStringList{"discover"} << QByteArray() << "<one>";
    }

    void run()
    {
        QFETCH(Servers, servers);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, want);
        std::vector<std::unique_ptr<LabPeer>> peers;
        for (const auto& [address, json] : servers) {
            const bool here = address == "here";
            peers.push_back(std::make_unique<LabPeer>(here ? LabPeer::clientAddress() : address,
                                                      QStringList{"--no-ntp", "--json", json},
                                                      !here));
            QVERIFY(peers.back()->started());
        }
        // A test root nobody may write: install stops right after its first line.
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_ROOT", "/nonexistent/root");
        const ToolResult r = ToolHarness::run(args, env, {}, {}, input);
        const QString got = r.out + "|" +
                            (r.err.startsWith("error: could not install") ? "" : r.err) + "|" +
                            QString::number(r.status);
        if (want != "<one>")
            QCOMPARE(got, QString(want).replace("@a", a).replace("@b", b));
        else // answered through 127.0.0.1 and the lab address; listed once, under either
            QVERIFY2(r.out.startsWith("Found 1 Tessavel server(s):\n\n  [1] ") &&
                         r.out.count("\u2014") == 1,
                     qPrintable(r.out));
    }

    // Every broadcast address of the lab's interfaces, never the loopback's.
    void targets()
    {
        auto t = tool::broadcastTargets();
        std::sort(t.begin(), t.end());
        QCOMPARE(t, (std::vector<std::string>{"127.0.0.1", "192.0.2.255", "255.255.255.255"}));
    }
};

QTEST_GUILESS_MAIN(TestDiscoverLab)
#include "tst_discoverlab.moc"
