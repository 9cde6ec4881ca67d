// The systemsetup and xattr stand-ins: the output lines with the prefixes the tool reads, the
// settings kept between runs, and the refusals of the real programs.
#include "tests/tool/toolharness.h"

#include <QtTest>

namespace {

const QString kSystemsetup = TV_BINARY_DIR "/standins/systemsetup";
const QString kXattr = TV_BINARY_DIR "/standins/xattr";

} // namespace

class TestSettingsStandins : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    ToolResult systemsetup(const QStringList& args)
    {
        QProcessEnvironment env;
        env.insert("TESSAVEL_SYSTEMSETUP_FILE", m_dir.filePath("settings"));
        return ToolHarness::run(args, env, {}, kSystemsetup);
    }

private slots:
    void initTestCase() { QVERIFY(ToolHarness::makeOwnedByTestUser(m_dir.path())); }

    // Each row runs on the settings the rows before it left.
    void systemsetupKeepsTheSettings_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("default server")
            << QStringList{"-getnetworktimeserver"} << 0 << "Network Time Server: time.apple.com\n";
        QTest::newRow("default automatic time")
            << QStringList{"-getusingnetworktime"} << 0 << "Network Time: On\n";
        QTest::newRow("set the server") << QStringList{"-setnetworktimeserver", "192.0.2.2"} << 0
                                        << "setNetworkTimeServer: 192.0.2.2\n";
        QTest::newRow("set automatic time off")
            << QStringList{"-setusingnetworktime", "off"} << 0 << "setUsingNetworkTime: Off\n";
        QTest::newRow("server kept")
            << QStringList{"-getnetworktimeserver"} << 0 << "Network Time Server: 192.0.2.2\n";
        QTest::newRow("automatic time kept")
            << QStringList{"-getusingnetworktime"} << 0 << "Network Time: Off\n";
        QTest::newRow("neither on nor off")
            << QStringList{"-setusingnetworktime", "maybe"} << 1
            << "systemsetup: -setusingnetworktime needs on or off\n";
        QTest::newRow("unknown option")
            << QStringList{"-getdate"} << 1 << "systemsetup: unknown option -getdate\n";
        QTest::newRow("refusals changed nothing")
            << QStringList{"-getusingnetworktime"} << 0 << "Network Time: Off\n";
    }

    void systemsetupKeepsTheSettings()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        const ToolResult r = systemsetup(args);
        QCOMPARE(r.out, out);
        QCOMPARE(r.status, status);
    }

    void systemsetupIsForRootOnly()
    {
        if (ToolHarness::testUid() == 0) QSKIP("runs as root");
        const ToolResult r = ToolHarness::run({"-getnetworktimeserver"}, {}, {}, kSystemsetup);
        QCOMPARE(r.out, QString("You need administrator access to run this tool... exiting!\n"));
        QCOMPARE(r.status, 1);
    }

    void xattr_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        const QString here = m_dir.path();
        QTest::newRow("a file that is there")
            << QStringList{"-dr", "com.apple.quarantine", here} << 0 << "";
        QTest::newRow("a file that is not")
            << QStringList{"-dr", "com.apple.quarantine", here + "/none"} << 1
            << "xattr: No such file: " + here + "/none\n";
        QTest::newRow("another use")
            << QStringList{"-l", here} << 2 << "usage: xattr -dr <name> <path>...\n";
    }

    void xattr()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        const ToolResult r = ToolHarness::run(args, {}, {}, kXattr);
        QCOMPARE(r.err, err);
        QCOMPARE(r.status, status);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStandins)
#include "tst_settingsstandins.moc"
