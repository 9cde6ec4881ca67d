// Install against chronyd in the lab, through Debian's real sntp (which in self-test mode only
// measures): the first sync, the job's run at load, a sync asked through the sync-now file,
// and a server that never answers.
#include "tests/tool/selftestroot.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

int syncLines(const QByteArray& log, const QString& server, int exit)
{
    const QRegularExpression line(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ tessavel-connect: sync "
        "against " +
            QRegularExpression::escape(server) + " \\(exit " + QString::number(exit) + "\\)$",
        QRegularExpression::MultilineOption);
    int n = 0;
    for (auto it = line.globalMatch(QString::fromUtf8(log)); it.hasNext(); it.next())
        ++n;
    return n;
}

} // namespace

class TestInstallLab : public QObject
{
    Q_OBJECT

private slots:
    void installSyncsWithChronyd()
    {
        const QString server = qEnvironmentVariable("LAB_SERVER");
        QVERIFY2(!server.isEmpty(), "run inside tests/lab/lab.sh");
        SelfTestRoot root;
        QVERIFY(root.isValid());

        const ToolResult r = root.tool({"install", "--server", server});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.endsWith("tessavel-connect-result: synced\n"), qPrintable(r.out));
        QVERIFY(r.out.contains(server + " s8")); // ntpdig's report: chronyd at stratum 8
        QVERIFY(QFile::exists(root.state("last-sync")));

        // The job's own run at load, through the same client.
        QTRY_COMPARE(syncLines(root.read(root.logPath()), server, 0), 1);
        QVERIFY(root.read(root.logPath()).contains((server + " s8").toUtf8()));

        // Anybody may write the sync-now file; each write is one more sync.
        QFile now(root.state("sync-now"));
        QVERIFY(now.open(QIODevice::WriteOnly));
        now.write("now\n");
        now.close();
        QTRY_COMPARE(syncLines(root.read(root.logPath()), server, 0), 2);

        const ToolResult status = root.tool({"status"});
        QVERIFY(status.out.contains("== this Mac ==\n  syncs with " + server +
                                    " at startup and every 30 minutes\n"));
        QVERIFY(status.out.contains("  run interval = 1800 seconds\n"));
        QVERIFY(root.bootOutAll());
    }

    void aSilentServerGivesNoAnswer()
    {
        const QString silent = qEnvironmentVariable("LAB_SPARE").split(' ').value(0);
        QVERIFY2(!silent.isEmpty(), "run inside tests/lab/lab.sh");
        SelfTestRoot root;
        QVERIFY(root.isValid());
        const ToolResult r = root.tool({"install", "--server", silent, "--interval", "600"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("Set up, but " + silent +
                                " did not answer a time request. This Mac keeps trying at startup "
                                "and every 10 minutes.\n"),
                 qPrintable(r.out));
        QVERIFY(r.out.endsWith("tessavel-connect-result: no-answer\n"));
        QVERIFY(!QFile::exists(root.state("last-sync")));
        // The job is loaded and goes on trying; bootout stops it, mid-run if need be.
        QVERIFY(root.loaded(SelfTestRoot::kSyncLabel));
        QVERIFY(root.bootOutAll());
    }
};

QTEST_GUILESS_MAIN(TestInstallLab)
#include "tst_installlab.moc"
