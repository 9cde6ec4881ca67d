// The tool's commands as their users meet them, run as a user in self-test mode (or without a
// test root, where it must stop at the root check): whole outputs, the files left behind.
#include "plistxml.h"
#include "selftestroot.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kT = "2026-10-09T21:07:38Z";
const QString kNotUser =
    "\" is not a user of this Mac (give the numeric id; root does not need this).\n";
const QString kNever =
    "== this Mac ==\n  not set up\n== launchd service ==\n  (not loaded)\n"
    "== time settings before setup ==\n  (no record)\n== last sync ==\n  (none recorded)\n"
    "== without a password ==\n  sync now: no (set up again to add it)\n  set the clock: nobody\n"
    "== configured time server ==\n  (could not read)\n== last log lines ==\n  (no log yet)\n";

// Time stamps at the start of a line or of a status value.
QString stamped(QString text)
{
    return text.replace(QRegularExpression("(^|\n|  )\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"),
                        "\\1<now>");
}

} // namespace

class TestCommands : public SelfTestCase
{
    Q_OBJECT

    ToolResult installWith(const QString& args, int sntpExit = 0,
                           const QProcessEnvironment& extra = {}, const QString& program = {})
    {
        m_root->plant("sntp",
                      "#!/bin/sh\necho \"sntp asked $*\"\nexit " + QByteArray::number(sntpExit),
                      0755);
        QProcessEnvironment env = extra;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->path("sntp"));
        return m_root->tool(("install " + args).split(' '), env, program);
    }

private slots:
    // Runs whose whole effect is their output: "out|err|status|fake clock".
    void commands_data()
    {
        QTest::addColumn<QString>("lastSync"); // a last-sync record to plant; "user": no test root
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("want"); // <usage>, <root>: the usage text, the root message
        const auto row = [](const char* name, const char* lastSync, const QStringList& args,
                            const QString& want) {
            QTest::newRow(name) << lastSync << args << want;
        };
        const QString usageSync = "|Usage: tessavel-connect sync --server <ip>\n|2|";
        row("help", "user", {"help"}, "|<usage>|0|");
        row("-h", "user", {"-h"}, "|<usage>|0|");
        row("--help", "user", {"--help"}, "|<usage>|0|");
        row("help in capitals", "user", {"HELP"}, "|Unknown command: HELP\n\n<usage>|2|");
        row("an empty word", "user", {""}, "|Unknown command: \n\n<usage>|2|");
        row("sync without --server", "user", {"sync"}, usageSync);
        row("sync with --server last", "user", {"sync", "x", "--server"}, usageSync);
        row("set-time without a time, before the root check", "user", {"set-time"},
            "|Usage: tessavel-connect set-time <2026-10-09T21:07:38Z>\n|2|");
        row("install", "user", {"install", "--server", "x"}, "|<root>install\n|1|");
        row("remove", "user", {"remove"}, "|<root>remove\n|1|");
        row("uninstall", "user", {"uninstall"}, "|<root>remove\n|1|");
        row("set-time", "user", {"set-time", kT}, "|<root>set-time " + kT + "\n|1|");
        row("allow-set-time", "user", {"allow-set-time"}, "|<root>allow-set-time --user <id>\n|1|");
        row("forbid-set-time", "user", {"forbid-set-time"}, "|<root>forbid-set-time\n|1|");
        row("set-time-from-request", "user", {"set-time-from-request"},
            "|<root>set-time-from-request\n|1|");
        row("sync, by a path with dots and slashes", "user",
            {"./", "sync", "--server", "192.0.2.9"}, "|<root>sync --server 192.0.2.9\n|1|");
        row("status without root: six sections", "user", {"status"},
            QString(kNever).remove("== configured time server ==\n  (could not read)\n") + "||0|");
        row("set-time without a record", "", {"set-time", "2001-01-01T00:00:00Z"},
            "<now> tessavel-connect: clock set to 2001-01-01T00:00:00Z (self-test: not "
            "really)\n||0|2001-01-01T00:00:00Z\n");
        row("set-time at the second of the last sync", "1791580058", {"set-time", kT},
            "<now> tessavel-connect: clock set to " + kT + " (self-test: not really)\n||0|" + kT +
                "\n");
        row("set-time a second before the last sync", "1791580059", {"set-time", kT},
            "|" + kT +
                " is earlier than this Mac's last sync (2026-10-09T21:07:39Z). The clock was not "
                "changed.\n|1|");
        row("month 13", "", {"set-time", "2026-13-09T21:07:38Z"},
            "|\"2026-13-09T21:07:38Z\" is not a time. Give it as 2026-10-09T21:07:38Z.\n|1|");
        row("29 February of a common year", "", {"set-time", "2027-02-29T21:07:38Z"},
            "|\"2027-02-29T21:07:38Z\" is not a time. Give it as 2026-10-09T21:07:38Z.\n|1|");
        row("--allow-user as the time", "", {"set-time", "--allow-user"},
            "|\"--allow-user\" is not a time. Give it as 2026-10-09T21:07:38Z.\n|1|");
        row("forbid-set-time without a grant", "", {"forbid-set-time"},
            "Setting the clock from Tessavel Veridir asks for an administrator password "
            "again.\n||0|");
        row("grant to root", "", {"allow-set-time", "--user", "0"},
            "|error: \"0" + kNotUser + "|1|");
        row("grant to +0", "", {"allow-set-time", "--user", "+0"},
            "|error: \"+0" + kNotUser + "|1|");
        row("grant to -5", "", {"allow-set-time", "--user", "-5"},
            "|error: \"-5" + kNotUser + "|1|");
        row("grant to a name", "", {"allow-set-time", "--user", "nobody"},
            "|error: \"nobody" + kNotUser + "|1|");
        row("grant to a blank", "", {"allow-set-time", "--user", " 1"},
            "|error: \" 1" + kNotUser + "|1|");
        row("grant past 32 bits", "", {"allow-set-time", "--user", "4294967296"},
            "|error: \"4294967296" + kNotUser + "|1|");
        row("grant to no account", "", {"allow-set-time", "--user", "3999999999"},
            "|error: \"3999999999" + kNotUser + "|1|");
    }

    void commands()
    {
        QFETCH(QString, lastSync);
        QFETCH(QStringList, args);
        QFETCH(QString, want);
        QFile usage(TV_SOURCE_DIR "/tests/tool/usage.txt");
        QVERIFY(usage.open(QIODevice::ReadOnly));
        const QString tool = ToolHarness::toolPath(), dir = QFileInfo(tool).path();
        want.replace("<usage>", usage.readAll())
            .replace("<root>",
                     "This needs root. Re-run with sudo, e.g.:\n  sudo \"" + tool + "\" ");
        if (!lastSync.isEmpty() && lastSync != "user")
            QVERIFY(m_root->plant(m_root->state("last-sync"), lastSync.toUtf8() + "\n"));
        // "./": the tool through ".", "..", above the root and "//".
        const QString program = args.value(0) == "./" ? "./" + QString("../").repeated(20) +
                                                            dir.mid(1) + "//./tessavel-connect"
                                                      : tool;
        QProcessEnvironment none;
        none.insert("TESSAVEL_CONNECT_TEST_ROOT", ""); // empty: no self-test mode
        const ToolResult r = lastSync == "user"
                                 ? ToolHarness::run(args.mid(program != tool), none, dir, program)
                                 : m_root->tool(args);
        QCOMPARE(stamped(r.out) + "|" + r.err + "|" + QString::number(r.status) + "|" +
                     m_root->read("clock-set-to"),
                 want);
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}), "-");
    }

    // The whole output, the job it loads (as status and its run at load show it) and the files.
    void install_data()
    {
        QTest::addColumn<QString>("args"); // before --server 192.0.2.9
        QTest::addColumn<int>("sntpExit");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("every");
        QTest::addColumn<int>("interval");
        const QString s = "192.0.2.9";
        QTest::newRow("default interval") << "" << 0 << s << "30 minutes" << 1800;
        QTest::newRow("5 becomes 60") << "--interval 5" << 0 << s << "1 minute" << 60;
        QTest::newRow("60 stays") << "--interval 60" << 0 << s << "1 minute" << 60;
        QTest::newRow("61 in seconds") << "--interval 61" << 0 << s << "61 seconds" << 61;
        QTest::newRow("120 in minutes") << "--interval 120" << 0 << s << "2 minutes" << 120;
        QTest::newRow("not a number") << "--interval soon" << 0 << s << "30 minutes" << 1800;
        QTest::newRow("with a name") << "--name Lab" << 0 << "\"Lab\" (" + s + ")"
                                     << "30 minutes" << 1800;
        QTest::newRow("no answer") << "" << 1 << s << "30 minutes" << 1800;
    }

    void install()
    {
        QFETCH(QString, args);
        QFETCH(int, sntpExit);
        QFETCH(QString, label);
        QFETCH(QString, every);
        QFETCH(int, interval);
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));
        const ToolResult r = installWith((args + " --server 192.0.2.9").trimmed(), sntpExit);
        const QString sync =
            "<now> tessavel-connect: sync against 192.0.2.9 (exit %1)\nsntp asked 192.0.2.9\n";
        QCOMPARE(stamped(r.out) + r.err + QString::number(r.status),
                 "Setting up Tessavel Veridir -> " + label + ", every " + every +
                     "\nSetting the clock from " + label + " now...\n" + sync.arg(sntpExit) +
                     (sntpExit ? "Set up, but " + label +
                                     " did not answer a time request. This Mac keeps trying at "
                                     "startup and every "
                               : "Done. This Mac syncs with " + label + " at startup and every ") +
                     every + ".\nLog: " + m_root->logPath() +
                     "\ntessavel-connect-result: " + (sntpExit ? "no-answer\n0" : "synced\n0"));
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        QCOMPARE(
            stamped(m_root->tool({"status"}).out),
            "== this Mac ==\n  syncs with 192.0.2.9 at startup and every " + every +
                "\n== launchd service ==\n  state = not running\n  run interval = " +
                QString::number(interval) +
                " seconds\n== time settings before setup ==\n  (no record)\n== last sync ==\n  " +
                (sntpExit ? "(none recorded)" : "<now>") +
                "\n== without a password ==\n  sync now: yes\n  set the clock: nobody\n== "
                "configured time server "
                "==\n  192.0.2.9\n== last log lines ==\n  " +
                sync.arg(sntpExit).replace("\n", "\n  ").chopped(2));
        QCOMPARE(m_root->read(m_root->installedBin()), m_root->read(ToolHarness::toolPath()));
        QCOMPARE(ToolHarness::modes({m_root->installedBin(), m_root->stateDir(),
                                     m_root->state("sync-now"), m_root->jobPlist(),
                                     m_root->path("usr/local/sbin/tessavel-connect")}),
                 "755 755 666 644 -");
        QCOMPARE(QDir(m_root->stateDir()).entryList(QDir::Files | QDir::Hidden).join(' '),
                 sntpExit ? "sync-now" : "last-sync sync-now");
        QCOMPARE(
            QString(m_root->read("system-time-settings.plist")).remove(QRegularExpression("\\s")),
            "<?xmlversion=\"1.0\"encoding=\"UTF-8\"?><!DOCTYPEplistPUBLIC\"-//Apple//DTDPLIST1.0//"
            "EN\"\"http://"
            "www.apple.com/DTDs/"
            "PropertyList-1.0.dtd\"><plistversion=\"1.0\"><dict><key>timeServer</key><string>"
            "192.0.2.9</string><key>usingNetworkTime</key><true/></dict></plist>");
    }

    // The record of the Mac's own settings is made once, a link at sync-now is replaced, and
    // the installed copy re-installs itself in place and reloads the job.
    void reinstall()
    {
        QVERIFY(
            writePlistFile(m_root->path("system-time-settings.plist"),
                           QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", false}}));
        QVERIFY(m_root->plant("victim", "", 0600) && m_root->plant(m_root->state("x"), ""));
        QCOMPARE(
            ::symlink(qPrintable(m_root->path("victim")), qPrintable(m_root->state("sync-now"))),
            0);
        QCOMPARE(installWith("--server 192.0.2.3").status, 0);
        const QByteArray record = m_root->read(m_root->state("before-setup.plist"));
        QCOMPARE(plistText(record), "{timeServer=t.example,usingNetworkTime=false}");
        QCOMPARE(ToolHarness::modes({m_root->path("victim"), m_root->state("sync-now")}),
                 "600 666");
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        struct stat before, after;
        QVERIFY(::stat(qPrintable(m_root->installedBin()), &before) == 0 &&
                ::chmod(qPrintable(m_root->installedBin()), 0700) == 0);
        QCOMPARE(
            installWith("--server 192.0.2.4 --interval 120", 0, {}, m_root->installedBin()).err,
            "");
        QVERIFY(::stat(qPrintable(m_root->installedBin()), &after) == 0 &&
                after.st_ino == before.st_ino);
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}), "755");
        QCOMPARE(m_root->read(m_root->state("before-setup.plist")), record);
        QCOMPARE(plistText(m_root->read("system-time-settings.plist")),
                 "{timeServer=192.0.2.4,usingNetworkTime=true}");
        QVERIFY(
            m_root->launchctl({"print", SelfTestRoot::domain() + "/" + SelfTestRoot::kSyncLabel})
                .out.contains("run interval = 120 seconds"));
    }

    void jobsThatDoNotLoad()
    {
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));
        QProcessEnvironment system; // not this user's to load into
        system.insert("TESSAVEL_CONNECT_TEST_DOMAIN", "system");
        const ToolResult r = installWith("--server 192.0.2.9", 0, system);
        QCOMPARE(r.out + r.err + QString::number(r.status),
                 "Setting up Tessavel Veridir -> 192.0.2.9, every 30 minutes\nerror: the "
                 "background job did not load "
                 "(Bootstrap failed: 1: Operation not permitted). Its files are in place, so it "
                 "starts at the next "
                 "restart; run setup again to load it now.\n1");
        QCOMPARE(ToolHarness::modes(
                     {m_root->jobPlist(), m_root->path("usr/local/sbin/tessavel-connect")}),
                 "644 644");
        const ToolResult grant = m_root->tool(
            {"allow-set-time", "--user", QString::number(ToolHarness::testUid())}, system);
        QCOMPARE(grant.out + grant.err + QString::number(grant.status),
                 "error: the set-the-clock job did not load (Bootstrap failed: 1: Operation not "
                 "permitted).\n1");
        QCOMPARE(ToolHarness::modes(
                     {m_root->state("set-time-grant.plist"),
                      m_root->path(
                          "Library/LaunchDaemons/com.tessavel.connect.settime.selftest.plist")}),
                 "644 644");
    }

    // Each file changes its line (old>new) in the report of a Mac never set up.
    void status_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("change");
        const QString job = "Library/LaunchDaemons/com.tessavel.connect.selftest.plist",
                      log = "var/log/tessavel-connect.log";
        const QString state = "Library/Application Support/Tessavel Veridir/";
        QString last12 = "  (no log yet)>";
        QByteArray thirty;
        for (int i = 1; i <= 30; ++i) {
            thirty += "line " + QByteArray::number(i) + "\n\n";
            if (i > 18) last12 += "  line " + QString::number(i) + (i < 30 ? "\n" : "");
        }
        const auto row =
            [](const char* name, const QString& file, const QVariant& v, const QString& change) {
                QTest::newRow(name)
                    << file << (v.typeId() == QMetaType::QByteArray ? v.toByteArray() : plistXml(v))
                    << change;
            };
        row("job without an interval", job,
            QVariantMap{{"ProgramArguments", QVariantList{"/x", "--server", "192.0.2.7"}}},
            "  not set up>  syncs with 192.0.2.7 at startup and every 30 minutes");
        row("job with --server last", job,
            QVariantMap{{"ProgramArguments", QVariantList{"/x", "--server"}}}, "");
        row("record of automatic time off only", state + "before-setup.plist",
            QVariantMap{{"usingNetworkTime", false}},
            "  (no record)>  time server: (not recorded)\n  set time automatically: off");
        row("record that is no plist", state + "before-setup.plist", QByteArray("timeServer=x"),
            "");
        row("last sync, blanks and a sign", state + "last-sync", QByteArray(" +1791580058 \n"),
            "  (none recorded)>  " + kT);
        row("last sync in letters", state + "last-sync", QByteArray("17x\n"), "");
        row("grant whose job is not loaded", state + "set-time-grant.plist",
            QVariantMap{{"uid", 501}},
            "  set the clock: nobody>  set the clock: user 501 (its job is not loaded)");
        row("grant whose uid is text", state + "set-time-grant.plist", QVariantMap{{"uid", "501"}},
            "");
        row("sync-now file", state + "sync-now", QByteArray(),
            "  sync now: no (set up again to add it)>  sync now: yes");
        row("log of 30 lines and blanks", log, thirty, last12);
        row("log, untrimmed", log, QByteArray("\t x \nlast"), "  (no log yet)>  \t x \n  last");
        row("empty log", log, QByteArray(""), "  (no log yet)\n>");
        row("log not UTF-8", log, QByteArray("\xC0\xAF\n"), "");
    }

    void status()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, change);
        QVERIFY(m_root->plant(file, bytes));
        const ToolResult r = m_root->tool({"status"});
        QCOMPARE(r.out + r.err + QString::number(r.status),
                 QString(kNever).replace(change.section('>', 0, 0), change.section('>', 1)) + "0");
    }

    // Any trace of a setup counts; the time settings go back as the record says.
    void remove_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QVariant>("record");  // before-setup.plist
        QTest::addColumn<QString>("settings"); // after
        const QString def = "{timeServer=time.apple.com,usingNetworkTime=true}";
        QTest::newRow("state folder, record of automatic time off")
            << "Library/Application Support/Tessavel Veridir/sync-now"
            << QVariant(QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", false}})
            << "{timeServer=t.example,usingNetworkTime=false}";
        QTest::newRow("record of automatic time on")
            << "Library/Application Support/Tessavel Veridir/x"
            << QVariant(QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", true}})
            << "{timeServer=t.example,usingNetworkTime=true}";
        QTest::newRow("record of automatic time off alone")
            << "Library/Application Support/Tessavel Veridir/x"
            << QVariant(QVariantMap{{"usingNetworkTime", false}})
            << "{timeServer=time.apple.com,usingNetworkTime=false}";
        QTest::newRow("sync job plist")
            << "Library/LaunchDaemons/com.tessavel.connect.selftest.plist" << QVariant() << def;
        QTest::newRow("set-the-clock job plist")
            << "Library/LaunchDaemons/com.tessavel.connect.settime.selftest.plist" << QVariant()
            << def;
        QTest::newRow("installed tool")
            << "Library/PrivilegedHelperTools/com.tessavel.connect" << QVariant() << def;
        QTest::newRow("legacy tool") << "usr/local/sbin/tessavel-connect" << QVariant() << def;
        QTest::newRow("sync job loaded") << SelfTestRoot::kSyncLabel << QVariant() << def;
        QTest::newRow("set-the-clock job loaded")
            << SelfTestRoot::kSetTimeLabel << QVariant() << def;
    }

    void remove()
    {
        QFETCH(QString, trace);
        QFETCH(QVariant, record);
        QFETCH(QString, settings);
        QVERIFY(
            writePlistFile(m_root->path("system-time-settings.plist"),
                           QVariantMap{{"timeServer", "192.0.2.9"}, {"usingNetworkTime", true}}));
        QVERIFY(m_root->plant("var/log/tessavel-connect.log", "kept\n"));
        if (trace.startsWith("com.")) { // a job loaded from elsewhere, with no file of the setup
            QVERIFY(m_root->plant("job.plist", plistXml(QVariantMap{{"Label", trace},
                                                                    {"ProgramArguments",
                                                                     QStringList{"/bin/true"}}})));
            QCOMPARE(
                m_root->launchctl({"bootstrap", SelfTestRoot::domain(), m_root->path("job.plist")})
                    .status,
                0);
        } else {
            QVERIFY(m_root->plant(trace, "x"));
        }
        if (record.isValid())
            QVERIFY(m_root->plant(m_root->state("before-setup.plist"), plistXml(record)));
        const ToolResult r = m_root->tool({"remove"});
        const QString server = settings.section(',', 0, 0).mid(12);
        QCOMPARE(r.out + r.err + QString::number(r.status),
                 "Removing Tessavel Veridir\nRemoved. Time server set back to " + server +
                     (server == "time.apple.com" ? " (Apple's default).\n0"
                                                 : " (what this Mac had before setup).\n0"));
        QCOMPARE(plistText(m_root->read("system-time-settings.plist")), settings);
        QCOMPARE(ToolHarness::modes({m_root->path(trace), m_root->stateDir(), m_root->logPath()}),
                 "- - 644");
        QVERIFY(!m_root->loaded(SelfTestRoot::kSyncLabel) &&
                !m_root->loaded(SelfTestRoot::kSetTimeLabel));
        QCOMPARE(m_root->tool({"remove"}).out,
                 "Tessavel Veridir is not set up on this Mac. Nothing was changed.\n");
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
