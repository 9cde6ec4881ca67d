// The status report: every section's wording for what lies under the test root, the six
// sections of a run without root, and the report of a machine set up and granted.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"

#include <QDateTime>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {

const QStringList kHeaders = {
    "== this Mac ==",      "== launchd service ==",    "== time settings before setup ==",
    "== last sync ==",     "== without a password ==", "== configured time server ==",
    "== last log lines =="};

QStringList headersOf(const QString& report)
{
    QStringList found;
    for (const QString& line : report.split('\n')) {
        if (line.startsWith("== ")) found << line;
    }
    return found;
}

QStringList section(const QString& report, const QString& header)
{
    QStringList lines = report.split('\n');
    const qsizetype at = lines.indexOf(header);
    if (at < 0) return {"(missing section)"};
    QStringList out;
    for (qsizetype i = at + 1;
         i < lines.size() && !lines[i].startsWith("== ") && !lines[i].isEmpty(); ++i)
        out << lines[i];
    return out;
}

QByteArray logOf(int lines, bool blanksBetween)
{
    QByteArray log;
    for (int i = 1; i <= lines; ++i)
        log += "line " + QByteArray::number(i) + (blanksBetween ? "\n\n" : "\n");
    return log;
}

} // namespace

class TestStatus : public SelfTestCase
{
    Q_OBJECT

private slots:
    void neverSetUp()
    {
        const ToolResult r = m_root->tool({"status"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString("== this Mac ==\n  not set up\n"
                                "== launchd service ==\n  (not loaded)\n"
                                "== time settings before setup ==\n  (no record)\n"
                                "== last sync ==\n  (none recorded)\n"
                                "== without a password ==\n"
                                "  sync now: no (set up again to add it)\n"
                                "  set the clock: nobody\n"
                                "== configured time server ==\n  (could not read)\n"
                                "== last log lines ==\n  (no log yet)\n"));
    }

    // Without root and without a test root the tool reads the real paths and leaves the
    // platform's time server alone; as root it asks systemsetup. Both only read.
    void sectionsWithAndWithoutRoot()
    {
        const ToolResult user = ToolHarness::run({"status"});
        QCOMPARE(user.status, 0);
        QStringList six = kHeaders;
        six.removeAll("== configured time server ==");
        QCOMPARE(headersOf(user.out), six);
        if (geteuid() != 0) QSKIP("the seven sections need root");
        QProcess root;
        root.start(ToolHarness::toolPath(), {"status"});
        QVERIFY(root.waitForFinished(30000));
        QCOMPARE(root.exitCode(), 0);
        const QString out = QString::fromUtf8(root.readAllStandardOutput());
        QCOMPARE(headersOf(out), kHeaders);
        QCOMPARE(section(out, "== configured time server ==").size(), 1);
    }

    void eachSection_data()
    {
        QTest::addColumn<QString>("file"); // inside the root
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QStringList>("lines");
        const QString job = "Library/LaunchDaemons/com.tessavel.connect.selftest.plist";
        const QString state = "Library/Application Support/Tessavel Veridir/";
        const auto plist = [](const QVariantMap& m) { return plistXml(m); };
        const QVariantList args{"/x/com.tessavel.connect", "sync", "--server", "192.0.2.7"};

        QTest::newRow("job with its interval")
            << job << plist({{"ProgramArguments", args}, {"StartInterval", 90}}) << kHeaders[0]
            << QStringList{"  syncs with 192.0.2.7 at startup and every 90 seconds"};
        QTest::newRow("job without an interval")
            << job << plist({{"ProgramArguments", args}}) << kHeaders[0]
            << QStringList{"  syncs with 192.0.2.7 at startup and every 30 minutes"};
        QTest::newRow("job with --server last")
            << job << plist({{"ProgramArguments", QVariantList{"/x", "sync", "--server"}}})
            << kHeaders[0] << QStringList{"  not set up"};
        QTest::newRow("job arguments not all strings")
            << job << plist({{"ProgramArguments", QVariantList{"/x", 1, "--server", "192.0.2.7"}}})
            << kHeaders[0] << QStringList{"  not set up"};

        QTest::newRow("record with both settings")
            << state + "before-setup.plist"
            << plist({{"timeServer", "time.example.org"}, {"usingNetworkTime", true}})
            << kHeaders[2]
            << QStringList{"  time server: time.example.org", "  set time automatically: on"};
        QTest::newRow("record with automatic time off only")
            << state + "before-setup.plist" << plist({{"usingNetworkTime", false}}) << kHeaders[2]
            << QStringList{"  time server: (not recorded)", "  set time automatically: off"};
        QTest::newRow("record whose server is no string")
            << state + "before-setup.plist" << plist({{"timeServer", 5}}) << kHeaders[2]
            << QStringList{"  time server: (not recorded)"};
        QTest::newRow("record that is no plist")
            << state + "before-setup.plist" << QByteArray("timeServer=x") << kHeaders[2]
            << QStringList{"  (no record)"};

        QTest::newRow("last sync with blanks around it")
            << state + "last-sync" << QByteArray(" 1791000000 \n") << kHeaders[3]
            << QStringList{
                   "  " + QDateTime::fromSecsSinceEpoch(1791000000, Qt::UTC).toString(Qt::ISODate)};
        QTest::newRow("last sync in letters") << state + "last-sync" << QByteArray("yesterday\n")
                                              << kHeaders[3] << QStringList{"  (none recorded)"};

        QTest::newRow("grant whose job is not loaded")
            << state + "set-time-grant.plist" << plist({{"uid", 501}}) << kHeaders[4]
            << QStringList{"  sync now: no (set up again to add it)",
                           "  set the clock: user 501 (its job is not loaded)"};
        QTest::newRow("grant whose uid is text")
            << state + "set-time-grant.plist" << plist({{"uid", "501"}}) << kHeaders[4]
            << QStringList{"  sync now: no (set up again to add it)", "  set the clock: nobody"};
        QTest::newRow("sync-now file of any mode")
            << state + "sync-now" << QByteArray() << kHeaders[4]
            << QStringList{"  sync now: yes", "  set the clock: nobody"};

        QStringList last12;
        for (int i = 19; i <= 30; ++i)
            last12 << "  line " + QString::number(i);
        QTest::newRow("log of 30 lines and blanks")
            << "var/log/tessavel-connect.log" << logOf(30, true) << kHeaders[6] << last12;
        QTest::newRow("short log, untrimmed")
            << "var/log/tessavel-connect.log" << QByteArray("\t indented \nlast") << kHeaders[6]
            << QStringList{"  \t indented ", "  last"};
        QTest::newRow("empty log")
            << "var/log/tessavel-connect.log" << QByteArray() << kHeaders[6] << QStringList();
        QTest::newRow("log not UTF-8") << "var/log/tessavel-connect.log" << QByteArray("a\xff\n")
                                       << kHeaders[6] << QStringList{"  (no log yet)"};
    }

    void eachSection()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, header);
        QFETCH(QStringList, lines);
        QVERIFY(m_root->plant(file, bytes));
        const ToolResult r = m_root->tool({"status"});
        QCOMPARE(r.status, 0);
        QCOMPARE(section(r.out, header), lines);
    }

    void afterInstallAndGrant()
    {
        QVERIFY(writePlistFile(m_root->path() + "/system-time-settings.plist",
                               QVariantMap{{"timeServer", "time.example.org"}}));
        QProcessEnvironment sntp;
        sntp.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->fakeSntp(0));
        QCOMPARE(
            m_root->tool({"install", "--server", "192.0.2.9", "--interval", "120"}, sntp).status,
            0);
        const QString uid = QString::number(ToolHarness::testUid());
        QCOMPARE(m_root->tool({"allow-set-time", "--user", uid}).status, 0);
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        QVERIFY(m_root->plant(m_root->state("last-sync"), "1791000000\n"));
        QVERIFY(m_root->plant(m_root->logPath(), logOf(3, false)));

        const ToolResult r = m_root->tool({"status"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out,
                 "== this Mac ==\n  syncs with 192.0.2.9 at startup and every 2 minutes\n"
                 "== launchd service ==\n  state = not running\n"
                 "  run interval = 120 seconds\n"
                 "== time settings before setup ==\n  time server: time.example.org\n"
                 "== last sync ==\n  " +
                     QDateTime::fromSecsSinceEpoch(1791000000, Qt::UTC).toString(Qt::ISODate) +
                     "\n== without a password ==\n  sync now: yes\n"
                     "  set the clock: user " +
                     uid +
                     "\n== configured time server ==\n  192.0.2.9\n"
                     "== last log lines ==\n  line 1\n  line 2\n  line 3\n");
    }
};

QTEST_GUILESS_MAIN(TestStatus)
#include "tst_status.moc"
