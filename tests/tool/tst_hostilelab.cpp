// The discover command against lab servers that send what a hostile or foreign peer might:
// terminal controls in the texts it prints, and names that differ only in Unicode's spelling.
#include "labpeer.h"
#include "selftestroot.h"

#include <QtTest>

#include <memory>

class TestHostileLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(LabPeer::spareAddresses().size() >= 2, "run inside lab.sh"); }

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
};

QTEST_GUILESS_MAIN(TestHostileLab)
#include "tst_hostilelab.moc"
