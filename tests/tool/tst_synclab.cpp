// A real sync through Debian's sntp against chronyd in the lab, the tool run as a user in
// self-test mode: the client only measures, the record and the log lines are real.
#include "tests/tool/toolharness.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

class TestSyncLab : public QObject
{
    Q_OBJECT

private slots:
    void syncAgainstChronyd()
    {
        const QString server = qEnvironmentVariable("LAB_SERVER");
        QVERIFY2(!server.isEmpty(), "run inside tests/lab/lab.sh");
        QTemporaryDir root;
        QVERIFY(ToolHarness::makeOwnedByTestUser(root.path()));

        const qint64 before = QDateTime::currentSecsSinceEpoch();
        const ToolResult r =
            ToolHarness::run({"sync", "--server", server}, ToolHarness::selfTestEnv(root.path()));
        const qint64 after = QDateTime::currentSecsSinceEpoch();
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QCOMPARE(r.err, QString());

        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ tessavel-connect: "
                                   "sync against " +
                                   QRegularExpression::escape(server) + " \\(exit 0\\)$")
                    .match(lines[0])
                    .hasMatch());
        // ntpdig's own report: date, offset, error, server, stratum 8 as the lab set it.
        QVERIFY2(lines[1].contains(server + " s8"), qPrintable(lines[1]));

        const QString state = root.filePath("Library/Application Support/Tessavel Veridir");
        QFile record(state + "/last-sync");
        QVERIFY(record.open(QIODevice::ReadOnly));
        const qint64 at = record.readAll().trimmed().toLongLong();
        QVERIFY(at >= before && at <= after);
        struct stat st
        {
        };
        QCOMPARE(stat(qPrintable(state), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0755));
        QCOMPARE(st.st_uid, uid_t(ToolHarness::testUid()));
    }
};

QTEST_GUILESS_MAIN(TestSyncLab)
#include "tst_synclab.moc"
