// The tool's command line as a user meets it: statuses, usage texts and the root message.
#include "toolharness.h"

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
};

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
