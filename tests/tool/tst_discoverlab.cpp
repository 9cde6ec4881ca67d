// The discover command and the choice of a server, across the lab's veth pair with real
// broadcasts, against lab servers that answer as told.
#include "tests/lab/labpeer.h"
#include "tests/tool/toolharness.h"

#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

const char* const kNone = "No Tessavel servers found on this network.\n"
                          "Make sure the server has \"Advertise on network\" enabled, or use "
                          "--server <ip>.\n";

QString server(const char* id, const char* name, bool synced, bool accepting, int clients = 2)
{
    return QString(R"({"id":"%1","name":"%2","ver":"2.4","stratum":1,"source":"GPS",)"
                   R"("clients":%3,"synced":%4,"accepting":%5})")
        .arg(id, name)
        .arg(clients)
        .arg(synced ? "true" : "false", accepting ? "true" : "false");
}

using Peers = std::vector<std::unique_ptr<LabPeer>>;

} // namespace

class TestDiscoverLab : public QObject
{
    Q_OBJECT

    QStringList m_spare;

    bool start(Peers& peers, const QString& address, const QStringList& options,
               bool thisComputer = false)
    {
        peers.push_back(
            std::make_unique<LabPeer>(address, options + QStringList{"--no-ntp"}, !thisComputer));
        return peers.back()->started();
    }

private slots:
    void initTestCase()
    {
        m_spare = LabPeer::spareAddresses();
        QVERIFY2(m_spare.size() >= 3, "run inside tests/lab/lab.sh");
    }

    void discoverCommand_data()
    {
        QTest::addColumn<QStringList>("first");  // options of the lab server on the first spare
        QTest::addColumn<QStringList>("second"); // on the second spare; empty for none
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        const QString a = m_spare[0], b = m_spare[1];
        const QString head = "Found %1 Tessavel server(s):\n\n";

        QTest::newRow("one ready, one not synced")
            << QStringList{"--json", server("a", "Lab", true, true, 3)}
            << QStringList{"--json", server("b", "Annex", false, true, 1)} << 0
            << head.arg(2) + "  [1] Lab  \u2014  " + a + "  (stratum 1, GPS, v2.4, 3 clients)\n" +
                   "  [-] Annex  \u2014  " + b + "  (unavailable: not synced yet)\n\n";
        QTest::newRow("not accepting, singular client")
            << QStringList{"--json", server("a", "Lab", false, false)}
            << QStringList{"--json", server("b", "Bay", true, true, 1)} << 0
            << head.arg(2) + "  [1] Bay  \u2014  " + b + "  (stratum 1, GPS, v2.4, 1 client)\n" +
                   "  [-] Lab  \u2014  " + a + "  (unavailable: not accepting clients)\n\n";
        QTest::newRow("nobody answers")
            << QStringList{"--no-discovery"} << QStringList{} << 1 << QString(kNone);
        QTest::newRow("missing id and name: one server per address")
            << QStringList{"--json", "{}"} << QStringList{"--json", "{}"} << 0
            << head.arg(2) + "  [-] (unnamed)  \u2014  " + a +
                   "  (unavailable: not accepting clients)\n" + "  [-] (unnamed)  \u2014  " + b +
                   "  (unavailable: not accepting clients)\n\n";
        QTest::newRow("same id from two addresses: one server")
            << QStringList{"--json", server("same", "Lab", true, true)}
            << QStringList{"--json", server("same", "Lab", true, true)} << 0 << QString("<one>");
        QTest::newRow("length 10 with trailing bytes is read")
            << QStringList{"--json", server("a", "Lab", true, true), "--send", "trailing=2"}
            << QStringList{"--json", server("b", "Big", true, true), "--send", "oversize"} << 0
            << head.arg(1) + "  [1] Lab  \u2014  " + a + "  (stratum 1, GPS, v2.4, 2 clients)\n\n";
        QTest::newRow("types 1, 4 and 5 are never answers")
            << QStringList{"--json", server("a", "Lab", true, true), "--send", "type=1", "--send",
                           "type=4"}
            << QStringList{"--json", server("b", "Bay", true, true), "--send", "type=5"} << 1
            << QString(kNone);
        QTest::newRow("stale nonce dropped, announcement passes")
            << QStringList{"--json", server("a", "Lab", true, true), "--send", "stale"}
            << QStringList{"--json",  server("b", "Bay", true, true), "--send", "stale", "--send",
                           "announce"}
            << 0
            << head.arg(1) + "  [1] Bay  \u2014  " + b + "  (stratum 1, GPS, v2.4, 2 clients)\n\n";
        QTest::newRow("malformed, array, short and no nonce are dropped")
            << QStringList{"--json", server("a", "Lab", true, true),
                           "--send", "malformed",
                           "--send", "array"}
            << QStringList{"--json",  server("b", "Bay", true, true), "--send", "short", "--send",
                           "no-nonce"}
            << 1 << QString(kNone);
    }

    void discoverCommand()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(int, status);
        QFETCH(QString, out);
        Peers peers;
        QVERIFY(start(peers, m_spare[0], first));
        if (!second.isEmpty()) QVERIFY(start(peers, m_spare[1], second));

        const ToolResult r = ToolHarness::run({"discover"});
        if (out == "<one>") {
            QCOMPARE(r.out.count("[1] Lab"), 1);
            QVERIFY(r.out.startsWith("Found 1 Tessavel server(s):"));
        } else {
            QCOMPARE(r.out, out);
        }
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, status);
        // No command at all is discover.
        if (status == 1) QCOMPARE(ToolHarness::run({}).out, out);
    }

    // A server on this computer answers through 127.0.0.1 and its lab address; it is listed
    // once, under the address of whichever answer came last.
    void serverOnThisComputer()
    {
        Peers peers;
        QVERIFY(start(peers, LabPeer::clientAddress(), {"--json", server("me", "Here", true, true)},
                      true));
        const ToolResult r = ToolHarness::run({"discover"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count("Here"), 1);
        QVERIFY2(r.out.contains("  [1] Here  \u2014  127.0.0.1  ") ||
                     r.out.contains("  [1] Here  \u2014  " + LabPeer::clientAddress() + "  "),
                 qPrintable(r.out));
    }

    void resolveServer_data()
    {
        QTest::addColumn<int>("ready"); // ready servers on the lab
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input"); // null: standard input closed at once
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("chosen"); // "ip|name", or the error text
        const QString a = m_spare[0], b = m_spare[1];
        QTest::newRow("--server and --name need no discovery")
            << 0 << QStringList{"--name", "Lab", "--server", "198.51.100.7"} << QByteArray() << 0
            << "198.51.100.7|Lab";
        QTest::newRow("--server without --name")
            << 0 << QStringList{"--server", "x"} << QByteArray() << 0 << "x|<none>";
        QTest::newRow("--name alone discovers")
            << 0 << QStringList{"--name", "Lab"} << QByteArray() << 1
            << "No Tessavel servers found. Use:  install "
               "--server <ip>\n";
        QTest::newRow("one ready server, taken without asking")
            << 1 << QStringList{} << QByteArray() << 0 << a + "|Alpha";
        QTest::newRow("answer 2 with spaces")
            << 2 << QStringList{} << QByteArray(" 2 \n") << 0 << b + "|Bravo";
        QTest::newRow("answer 0") << 2 << QStringList{} << QByteArray("0\n") << 1
                                  << "Invalid selection.\n";
        QTest::newRow("letters") << 2 << QStringList{} << QByteArray("one\n") << 1
                                 << "Invalid selection.\n";
        QTest::newRow("empty line")
            << 2 << QStringList{} << QByteArray("\n") << 1 << "Invalid selection.\n";
        QTest::newRow("end of input")
            << 2 << QStringList{} << QByteArray() << 1 << "Invalid selection.\n";
    }

    void resolveServer()
    {
        QFETCH(int, ready);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, chosen);
        Peers peers;
        // Bravo is discovered first in neither order; the list is sorted by name.
        if (ready >= 2)
            QVERIFY(start(peers, m_spare[1], {"--json", server("b", "Bravo", true, true)}));
        if (ready >= 1)
            QVERIFY(start(peers, m_spare[0], {"--json", server("a", "Alpha", true, true)}));
        QVERIFY(start(peers, m_spare[2], {"--json", server("c", "Unsynced", false, true)}));

        QProcess p;
        p.start(QStringLiteral(TV_RESOLVE_DRIVER), QStringList{"install"} + args);
        QVERIFY(p.waitForStarted());
        p.write(input);
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(10000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), status);
        if (status == 0) {
            QVERIFY2(out.endsWith("chosen: " + chosen + "\n"), qPrintable(out));
        } else {
            QCOMPARE(err, chosen);
        }
        if (ready == 1) QVERIFY(out.startsWith("Found Alpha at " + m_spare[0] + ".\n"));
        if (ready == 2) {
            QVERIFY2(out.startsWith("Select a server:\n  [1] Alpha  \u2014  " + m_spare[0]),
                     qPrintable(out));
            QVERIFY(out.contains("  [2] Bravo  \u2014  " + m_spare[1]));
            QVERIFY(out.contains("\nNumber: "));
        }
    }
};

QTEST_GUILESS_MAIN(TestDiscoverLab)
#include "tst_discoverlab.moc"
