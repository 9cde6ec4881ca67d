// The stand-ins as the tool's and the engine's tests meet them: launchd runs a job at load in
// its own environment only, appending its output, and once per change of a watched path;
// print and bootout tell and end it. systemsetup, xattr and osascript answer as the real ones.
#include "plistxml.h"
#include "selftestroot.h"

#include <QtTest>

class TestStandins : public SelfTestCase
{
    Q_OBJECT

    // Loads a job that runs script by /bin/sh -c, its output and errors appended to "log".
    void load(const QString& script, QVariantMap keys)
    {
        const QString log = m_root->path() + "/log", plist = m_root->path() + "/job.plist";
        keys.insert({{"Label", "test.job"},
                     {"StandardOutPath", log},
                     {"StandardErrorPath", log},
                     {"ProgramArguments", QVariantList{"/bin/sh", "-c", script}}});
        QVERIFY(m_root->plant(plist, plistXml(keys)));
        QProcessEnvironment env = m_root->env();
        env.insert("LEAKED", "from the caller");
        const QString launchctl = TV_BINARY_DIR "/standins/launchctl";
        QCOMPARE(
            ToolHarness::run({"bootstrap", m_root->domain(), plist}, env, {}, launchctl).status, 0);
    }
    int runs() const { return m_root->finishedRuns("test.job"); }

private slots:
    void runsAtLoadAndOnChanges()
    {
        QVERIFY(m_root->plant("log", "earlier line\n") && m_root->plant("watched", ""));
        load("echo \"$PATH|$ADDED|${LEAKED-unset}\"; echo err >&2",
             {{"RunAtLoad", true},
              {"WatchPaths", QVariantList{m_root->path() + "/watched"}},
              {"EnvironmentVariables", QVariantMap{{"ADDED", "from the plist"}}}});
        QVERIFY(m_root->ranAtLoad("test.job"));
        const QString in = "cd " + m_root->path() + " && ";
        for (const QString change :
             {"echo x >> watched", "echo y > o && mv o watched", "rm watched"}) {
            const int before = runs();
            QCOMPARE(ToolHarness::run({"-c", in + change}, {}, {}, "/bin/sh").status, 0);
            QVERIFY2(waitFor([&] { return runs() == before + 1; }, 10000), qPrintable(change));
        }
        const QByteArray run = "/usr/bin:/bin:/usr/sbin:/sbin|from the plist|unset\nerr\n";
        QCOMPARE(m_root->read("log"), "earlier line\n" + run.repeated(4));
        QCOMPARE(m_root->launchctl({"bootout", m_root->domain() + "/test.job"}).status, 0);
        QVERIFY(!m_root->loaded("test.job"));
    }

    void answers_data() // whole output of a shell line with the stand-ins first on the path
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        QTest::newRow("systemsetup")
            << "for a in -getnetworktimeserver -getusingnetworktime '-setnetworktimeserver "
               "192.0.2.2' "
               "'-setusingnetworktime off' '-setusingnetworktime maybe' -getnetworktimeserver "
               "-getusingnetworktime -getdate; do systemsetup $a; echo $?; done"
            << "Network Time Server: time.apple.com\n0\nNetwork Time: On\n0\n"
               "setNetworkTimeServer: 192.0.2.2\n0\nsetUsingNetworkTime: Off\n0\n"
               "systemsetup: -setusingnetworktime needs on or off\n1\n"
               "Network Time Server: 192.0.2.2\n0\nNetwork Time: Off\n0\n"
               "systemsetup: unknown option -getdate\n1\n";
        QTest::newRow("systemsetup for root only")
            << "unset TESSAVEL_SYSTEMSETUP_FILE; systemsetup -getusingnetworktime; echo $?"
            << "You need administrator access to run this tool... exiting!\n1\n";
        QTest::newRow("xattr")
            << "for a in . 'none .' ; do xattr -dr com.apple.quarantine $a; echo $?; done; "
               "xattr -l .; echo $?"
            << "0\nxattr: No such file: none\n1\nusage: xattr -dr <name> <path>...\n2\n";
        const QString osa =
            "osascript -e 'do shell script \"%1\" with prompt \"p\\\"q\"%2'; echo $?; ";
        const QString admin = " with administrator privileges";
        const QString refused =
            "0:N: syntax error: not the statement form of this stand-in (-2741)\n1\n";
        QTest::newRow("osascript")
            << osa.arg("echo a\\\\\\\"b", admin) + osa.arg("echo e; exit 3", admin) +
                   osa.arg("echo", "") + osa.arg("echo", admin + " and")
            << "a\"b\n0\n0:N: execution error: e (3)\n1\n" + refused + refused;
    }
    void answers()
    {
        QFETCH(QString, command);
        QProcessEnvironment env;
        env.insert("PATH", TV_BINARY_DIR "/standins:/usr/bin:/bin");
        env.insert("TESSAVEL_SYSTEMSETUP_FILE", m_root->path() + "/settings");
        ToolResult r =
            ToolHarness::run({"-c", "{ " + command + "\n} 2>&1"}, env, m_root->path(), "/bin/sh");
        QTEST(r.out.replace(QRegularExpression("(?m)^0:\\d+:"), "0:N:"), "output");
    }
};

QTEST_GUILESS_MAIN(TestStandins)
#include "tst_standins.moc"
