// The tool's command line as a user meets it: statuses, usage texts and the root message.
#include "tests/tool/toolharness.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

class TestDispatch : public QObject
{
    Q_OBJECT

    static QString usageText()
    {
        QFile f(QStringLiteral(TV_SOURCE_DIR "/tests/tool/usage.txt"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");

        const QString usage = usageText();
        QVERIFY(usage.endsWith("takes that away.\n"));
        QTest::newRow("help") << QStringList{"help"} << 0 << usage;
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage;
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage;
        QTest::newRow("help in capitals is unknown")
            << QStringList{"HELP"} << 2 << "Unknown command: HELP\n\n" + usage;
        QTest::newRow("Sync in capitals is unknown") << QStringList{"Sync", "--server", "192.0.2.2"}
                                                     << 2 << "Unknown command: Sync\n\n" + usage;
        QTest::newRow("unknown command") << QStringList{"frobnicate", "--server", "x"} << 2
                                         << "Unknown command: frobnicate\n\n" + usage;
        QTest::newRow("empty command word")
            << QStringList{""} << 2 << "Unknown command: \n\n" + usage;
        QTest::newRow("sync without --server")
            << QStringList{"sync"} << 2 << "Usage: tessavel-connect sync --server <ip>\n";
        QTest::newRow("sync with --server last")
            << QStringList{"sync", "192.0.2.2", "--server"} << 2
            << "Usage: tessavel-connect sync --server <ip>\n";
        QTest::newRow("set-time without a time, before the root check")
            << QStringList{"set-time"} << 2
            << "Usage: tessavel-connect set-time <2026-10-09T21:07:38Z>\n";
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        const ToolResult r = ToolHarness::run(args);
        QCOMPARE(r.err, err);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.status, status);
    }

    // Without root and without a test root the root check ends the run before anything
    // happens, naming the tool by its full path however it was started.
    void rootMessage_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("program");
        const QFileInfo tool(ToolHarness::toolPath());
        const QString dir = tool.absolutePath();
        QTest::newRow("full path") << QString() << tool.absoluteFilePath();
        QTest::newRow("relative path") << dir << "./tessavel-connect";
        QTest::newRow("path through ..") << dir << "../Helpers/./tessavel-connect";
    }

    void rootMessage()
    {
        QFETCH(QString, workDir);
        QFETCH(QString, program);
        QTemporaryDir empty;
        QVERIFY(ToolHarness::makeOwnedByTestUser(empty.path()));
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_ROOT", ""); // empty: no self-test mode
        const ToolResult r =
            ToolHarness::run({"sync", "--server", "192.0.2.9"}, env, workDir, program);
        const QString full = QFileInfo(ToolHarness::toolPath()).absoluteFilePath();
        QCOMPARE(r.err, "This needs root. Re-run with sudo, e.g.:\n  sudo \"" + full +
                            "\" sync --server 192.0.2.9\n");
        QCOMPARE(r.out, QString());
        QCOMPARE(r.status, 1);
    }

    // Each privileged command stops at the root check before it does anything, naming the
    // command to retype.
    void privilegedCommandsNeedRoot_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("retype");
        QTest::newRow("install") << QStringList{"install", "--server", "192.0.2.9"} << "install";
        QTest::newRow("remove") << QStringList{"remove"} << "remove";
        QTest::newRow("uninstall") << QStringList{"uninstall"} << "remove";
        QTest::newRow("set-time") << QStringList{"set-time", "2026-10-09T21:07:38Z"}
                                  << "set-time 2026-10-09T21:07:38Z";
        QTest::newRow("allow-set-time")
            << QStringList{"allow-set-time", "--user", "501"} << "allow-set-time --user <id>";
        QTest::newRow("allow-set-time without a user")
            << QStringList{"allow-set-time"} << "allow-set-time --user <id>";
        QTest::newRow("forbid-set-time") << QStringList{"forbid-set-time"} << "forbid-set-time";
        QTest::newRow("set-time-from-request")
            << QStringList{"set-time-from-request"} << "set-time-from-request";
    }

    void privilegedCommandsNeedRoot()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, retype);
        const ToolResult r = ToolHarness::run(args);
        QCOMPARE(r.err, "This needs root. Re-run with sudo, e.g.:\n  sudo \"" +
                            QFileInfo(ToolHarness::toolPath()).absoluteFilePath() + "\" " + retype +
                            "\n");
        QCOMPARE(r.out, QString());
        QCOMPARE(r.status, 1);
    }
};

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
