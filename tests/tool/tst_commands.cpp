// The tool's commands as their users meet them, run as a user in self-test mode (or without a
// test root, where they stop at the root check): whole outputs and the files left behind. The
// set-the-clock job trusts nothing in the request file and answers each nonce once; nothing
// the tool reads may stop it (a pipe, a device, a plist nested without end) or pass off an odd
// value as a real one.
#include "tests/tool/selftestroot.h"
#include "tool/statusjson.h"

#include <QRegularExpression>
#include <QtTest>

#include <nlohmann/json.hpp>

namespace {

// clang-format off
const QString kNever = "== this Mac ==\n  not set up\n== launchd service ==\n  (not loaded)\n== time settings before setup ==\n  (no record)\n"
                       "== last sync ==\n  (none recorded)\n== without a password ==\n  sync now: no (set up again to add it)\n"
                       "  set the clock: nobody\n== configured time server ==\n  (could not read)\n== last log lines ==\n  (no log yet)\n";
// clang-format on

// A plist of arrays nested `levels` deep, unclosed for `open`.
QByteArray nested(int levels, bool open = false)
{
    return R"(<?xml version="1.0"?><plist version="1.0">)" +
           QByteArray("<array>").repeated(levels) +
           (open ? "" : QByteArray("</array>").repeated(levels) + "</plist>");
}

// A binary list of a few hundred bytes whose every array names the one below it twice.
QByteArray doublingArrays(int depth)
{
    auto be16 = [](qsizetype v) { return QByteArray{char(v >> 8), char(v & 0xFF)}; };
    QByteArray body = "bplist00", table, trailer(32, '\0');
    for (int k = 0; k <= depth; ++k) {
        table += be16(body.size());
        body += k == 0 ? QByteArray(1, char(0xA0)) : char(0xA2) + be16(k - 1) + be16(k - 1);
    }
    trailer[6] = trailer[7] = 2; // widths of offsets and references
    trailer[15] = char(depth + 1);
    trailer[23] = char(depth); // the top object
    return body + table + trailer.replace(30, 2, be16(body.size()));
}

const QByteArray kGood = "2030-01-01T00:00:00Z 0123456789abcdef\n";
const QByteArray kOk =
    "0123456789abcdef ok clock set to 2030-01-01T00:00:00Z (self-test: not really)\n";

// Output, error and status of a run in one text, "<now>" for a stamp that opens a line or value.
QString said(const ToolResult& r)
{
    return QString(r.out + "|" + r.err + "|" + QString::number(r.status))
        .replace(QRegularExpression("(^|\n|  )\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"),
                 "\\1<now>");
}

// A log the sync job wrote in the lab, with the real lines of Debian's SNTP client in it.
QByteArray realLog()
{
    QFile f(TV_SOURCE_DIR "/tests/tool/synclog.txt");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// status --json of a Mac never set up, in a test root: every key, null where nothing is known.
const QByteArray kNeverJson =
    R"({"schema":1,"toolVersion":")" TV_VERSION R"(","checkedAt":null,"asRoot":true,)"
    R"("setUp":false,"server":null,"intervalSeconds":null,"job":{"loaded":false,"state":null,)"
    R"("runIntervalSeconds":null},"beforeSetup":{"recorded":false,"timeServer":null,)"
    R"("usingNetworkTime":null},"lastSync":null,"secondsSinceLastSync":null,"withoutPassword":)"
    R"({"syncNow":false,"setTimeUser":null,"setTimeJobLoaded":null},"configuredTimeServer":null,)"
    R"("lastRun":{"at":null,"server":null,"exitStatus":null,"offsetSeconds":null,)"
    R"("errorSeconds":null,"messages":null},"lastLogLines":null})";

// The same object with every value null: what a reader of the schema relies on.
nlohmann::json shape(nlohmann::json j)
{
    for (auto& [key, value] : j.items())
        value = value.is_object() ? shape(value) : nullptr;
    return j;
}

} // namespace

class TestCommands : public SelfTestCase
{
    Q_OBJECT

    ToolResult install(const QString& args, int sntpExit = 0, const QString& program = {})
    {
        m_root->plant("sntp",
                      "#!/bin/sh\necho \"sntp asked $*\"\nexit " + QByteArray::number(sntpExit),
                      0755);
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->path("sntp"));
        return m_root->tool(("install " + args).split(' '), env, program);
    }

    // A pipe nobody writes, or a link to a device that never ends.
    bool special(const QString& path, const QString& kind)
    {
        const QByteArray p = path.toLocal8Bit();
        return m_root->plant(path, {}) && ::unlink(p) == 0 &&
               (kind == "<fifo>" ? ::mkfifo(p, 0666) == 0 && ::chmod(p, 0666) == 0
                                 : ::symlink("/dev/zero", p) == 0);
    }

    QString uid = QString::number(ToolHarness::testUid());
    QString request() const { return m_root->state("set-time-request"); }
    QString result() const { return m_root->state("set-time-result"); }
    QString grant() const { return m_root->state("set-time-grant.plist"); }
    QString job() const
    {
        return m_root->path("Library/LaunchDaemons/") + SelfTestRoot::kSetTimeLabel + ".plist";
    }

private slots:
    // Runs whose whole effect is their output (and the fake clock, after a "|").
    void commands_data()
    {
        QTest::addColumn<QString>("lastSync"); // a last-sync record to plant; "user": no test root
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("want"); // <usage>, <root>, <notime>, <notuser>: texts below
        // clang-format off
        const auto row = [](const char* name, const char* lastSync, const char* args, const QString& want) { QTest::newRow(name) << lastSync << args << want; };
        row("help", "user", "help", "|<usage>|0");
        row("-h", "user", "-h", "|<usage>|0");
        row("help in capitals", "user", "HELP", "|Unknown command: HELP\n\n<usage>|2");
        row("sync with --server last", "user", "sync x --server", "|Usage: tessavel-connect sync --server <ip>\n|2");
        row("set-time without a time, before the root check", "user", "set-time", "|Usage: tessavel-connect set-time <2026-10-09T21:07:38Z>\n|2");
        row("install", "user", "install --server x", "|<root>install\n|1");
        row("remove", "user", "remove", "|<root>remove\n|1");
        row("uninstall", "user", "uninstall", "|<root>remove\n|1");
        row("set-time", "user", "set-time 2026-10-09T21:07:38Z", "|<root>set-time 2026-10-09T21:07:38Z\n|1");
        row("allow-set-time", "user", "allow-set-time", "|<root>allow-set-time --user <id>\n|1");
        row("forbid-set-time", "user", "forbid-set-time", "|<root>forbid-set-time\n|1");
        row("set-time-from-request", "user", "set-time-from-request", "|<root>set-time-from-request\n|1");
        row("by a path with dots and slashes", "user", "./ sync --server 192.0.2.9", "|<root>sync --server 192.0.2.9\n|1");
        row("check without root, nothing set up", "user", "check", "WARNING: not set up\n||1");
        row("status without root: six sections", "user", "status", kNever.section("== configured", 0, 0) + "== last log lines ==\n  (no log yet)\n||0");
        row("set-time to the last sync", "1791580058", "set-time 2026-10-09T21:07:38Z", "<now> tessavel-connect: clock set to 2026-10-09T21:07:38Z (self-test: not really)\n||0|2026-10-09T21:07:38Z\n");
        row("set-time past a pipe at the last sync", "<fifo>", "set-time 2001-01-01T00:00:00Z", "<now> tessavel-connect: clock set to 2001-01-01T00:00:00Z (self-test: not really)\n||0|2001-01-01T00:00:00Z\n");
        row("set-time past a device at the last sync", "<device>", "set-time 2001-01-01T00:00:00Z", "<now> tessavel-connect: clock set to 2001-01-01T00:00:00Z (self-test: not really)\n||0|2001-01-01T00:00:00Z\n");
        row("set-time a second before it", "1791580059", "set-time 2026-10-09T21:07:38Z", "|2026-10-09T21:07:38Z is earlier than this Mac's last sync (2026-10-09T21:07:39Z). The clock was not changed.\n|1");
        row("29 February of a common year", "", "set-time 2027-02-29T21:07:38Z", "|\"2027-02-29T21:07:38Z\"<notime>|1");
        row("--allow-user as the time", "", "set-time --allow-user", "|\"--allow-user\"<notime>|1");
        row("forbid without a grant", "", "forbid-set-time", "Setting the clock from Tessavel Veridir asks for an administrator password again.\n||0");
        row("grant to root, signed", "", "allow-set-time --user +0", "|error: \"+0\"<notuser>|1");
        row("grant to a name", "", "allow-set-time --user nobody", "|error: \"nobody\"<notuser>|1");
        row("grant past 32 bits", "", "allow-set-time --user 4294967296", "|error: \"4294967296\"<notuser>|1");
        row("grant to no account", "", "allow-set-time --user 3999999999", "|error: \"3999999999\"<notuser>|1");
        row("grant whose request file cannot be handed over", "", "allow-set-time --user 1", "|error: cannot give <state>/set-time-request to user 1: Operation not permitted.\n|1");
        // clang-format on
    }

    void commands()
    {
        QFETCH(QString, lastSync);
        QFETCH(QString, args);
        QFETCH(QString, want);
        const QString tool = ToolHarness::toolPath(), dir = QFileInfo(tool).path();
        want.replace("<usage>", m_root->read(TV_SOURCE_DIR "/tests/tool/usage.txt"))
            .replace("<root>", "This needs root. Re-run with sudo, e.g.:\n  sudo \"" + tool + "\" ")
            .replace("<notime>", " is not a time. Give it as 2026-10-09T21:07:38Z.\n")
            .replace(
                "<notuser>",
                " is not a user of this Mac (give the numeric id; root does not need this).\n");
        want.replace("<state>", m_root->stateDir());
        if (lastSync.toLongLong())
            QVERIFY(m_root->plant(m_root->state("last-sync"), lastSync.toUtf8() + "\n"));
        if (lastSync.startsWith('<')) QVERIFY(special(m_root->state("last-sync"), lastSync));
        // "./": the tool by a relative path through ".", "..", above the root and "//".
        QStringList argv = args.split(' ');
        const QString program = argv[0] == "./" ? "./" + QString("../").repeated(20) + dir.mid(1) +
                                                      "//./tessavel-connect"
                                                : tool;
        QProcessEnvironment none;
        none.insert("TESSAVEL_CONNECT_TEST_ROOT", ""); // empty: no self-test mode
        const ToolResult r = lastSync == "user"
                                 ? ToolHarness::run(argv.mid(program != tool), none, dir, program)
                                 : m_root->tool(argv);
        const QString clock = m_root->read("clock-set-to");
        QCOMPARE(said(r) + (clock.isEmpty() ? "" : "|" + clock), want);
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}),
                 want.contains("cannot give") ? "755" : "-");
    }

    // The whole output, the job as status and its run at load show it, and the files.
    void install_data()
    {
        QTest::addColumn<QString>("args"); // before --server 192.0.2.9
        QTest::addColumn<int>("sntpExit");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("every");
        // clang-format off
        QTest::newRow("5 becomes 60") << "--interval 5" << 0 << "192.0.2.9" << "1 minute|60";
        QTest::newRow("61 in seconds") << "--interval 61" << 0 << "192.0.2.9" << "61 seconds|61";
        QTest::newRow("not a number") << "--interval soon" << 0 << "192.0.2.9" << "30 minutes|1800";
        QTest::newRow("with a name") << "--name Lab" << 0 << "\"Lab\" (192.0.2.9)" << "30 minutes|1800";
        QTest::newRow("no answer") << "" << 1 << "192.0.2.9" << "30 minutes|1800";
        // clang-format on
    }

    void install()
    {
        QFETCH(QString, args);
        QFETCH(int, sntpExit);
        QFETCH(QString, label);
        QFETCH(QString, every);
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));
        const QString n = every.section('|', 0, 0), log = m_root->logPath();
        // clang-format off
        const QString sync = QString("<now> tessavel-connect: sync against 192.0.2.9 (exit %1)\nsntp asked 192.0.2.9\n").arg(sntpExit);
        QCOMPARE(said(install((args + " --server 192.0.2.9").trimmed(), sntpExit)),
                 "Setting up Tessavel Veridir -> " + label + ", every " + n + "\nSetting the clock from " + label + " now...\n" + sync +
                 (sntpExit ? "Set up, but " + label + " did not answer a time request. This Mac keeps trying at startup and every " + n + ".\nLog: " + log + "\ntessavel-connect-result: no-answer\n||0"
                           : "Done. This Mac syncs with " + label + " at startup and every " + n + ".\nLog: " + log + "\ntessavel-connect-result: synced\n||0"));
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        QCOMPARE(said(m_root->tool({"status"})),
                 "== this Mac ==\n  syncs with 192.0.2.9 at startup and every " + n + "\n== launchd service ==\n  state = not running\n  run interval = " + every.section('|', 1) + " seconds\n"
                 "== time settings before setup ==\n  (no record)\n== last sync ==\n  " + (sntpExit ? "(none recorded)" : "<now>") + "\n== without a password ==\n  sync now: yes\n"
                 "  set the clock: nobody\n== configured time server ==\n  192.0.2.9\n== last log lines ==\n  " + QString(sync).chopped(1).replace("\n", "\n  ") + "\n||0");
        QCOMPARE(m_root->read(m_root->installedBin()), m_root->read(ToolHarness::toolPath()));
        QCOMPARE(ToolHarness::modes({m_root->installedBin(), m_root->stateDir(), m_root->state("sync-now"), m_root->jobPlist(), m_root->path("usr/local/sbin/tessavel-connect")}), "755 755 666 644 -");
        // clang-format on
        // Settings that could not be read leave no record; no half-written file is left.
        QCOMPARE(QDir(m_root->stateDir()).entryList(QDir::Files | QDir::Hidden).join(' '),
                 sntpExit ? "sync-now" : "last-sync sync-now");
    }

    // The record of the Mac's own settings is made once; the installed copy re-installs itself.
    // A writer stopped before its rename leaves "." + name + "." + six letters or digits;
    // install and remove clear those of their own files.
    void reinstall()
    {
        const QString bin = "Library/PrivilegedHelperTools/", jobs = "Library/LaunchDaemons/";
        for (const QString& f :
             {bin + ".com.tessavel.connect.Ab12Cd", bin + ".com.tessavel.connect.old",
              jobs + ".com.tessavel.connect.selftest.plist.x9Y8z7",
              jobs + ".com.tessavel.connect.settime.selftest.plist.Q1w2E3",
              jobs + ".com.other.job.plist.Ab12Cd"})
            QVERIFY(m_root->plant(f, "partial copy", 0755));
        // clang-format off
        const auto left = [&] { return (QDir(m_root->path(bin)).entryList({".*"}, QDir::Files | QDir::Hidden) + QDir(m_root->path(jobs)).entryList({".*"}, QDir::Files | QDir::Hidden)).join(' '); };
        QVERIFY(m_root->plant("system-time-settings.plist", plistXml(QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", false}})));
        // clang-format on
        QCOMPARE(install("--server 192.0.2.3").status, 0);
        const QByteArray record = m_root->read(m_root->state("before-setup.plist"));
        QCOMPARE(plistText(record), "{timeServer=t.example,usingNetworkTime=false}");
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel) &&
                ::chmod(qPrintable(m_root->installedBin()), 0700) == 0);
        QCOMPARE(said(install("--server 192.0.2.4", 0, m_root->installedBin())).right(35),
                 "tessavel-connect-result: synced\n||0");
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}) +
                     m_root->read(m_root->state("before-setup.plist")),
                 "755" + record);
        QCOMPARE(plistText(m_root->read("system-time-settings.plist")),
                 "{timeServer=192.0.2.4,usingNetworkTime=true}");
        QCOMPARE(left(), ".com.tessavel.connect.old .com.other.job.plist.Ab12Cd "
                         ".com.tessavel.connect.settime.selftest.plist.Q1w2E3");
        QCOMPARE(m_root->tool({"remove"}).status, 0);
        QCOMPARE(left(), ".com.tessavel.connect.old .com.other.job.plist.Ab12Cd");
    }

    // One trace of a setup: its line in status ("old>new" in the report of a Mac never set up),
    // then what remove does with it ("server,automatic time" it sets back; "": nothing set up).
    void traces_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QVariant>("content"); // bytes, or a plist
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("removed");
        QByteArray thirty;
        QString last12 = "  (no log yet)>";
        for (int i = 1; i <= 30; ++i) {
            thirty += "line " + QByteArray::number(i) + "\n\n";
            if (i > 18) last12 += "  line " + QString::number(i) + (i < 30 ? "\n" : "");
        }
        const QString job = "Library/LaunchDaemons/com.tessavel.connect.selftest.plist",
                      log = "var/log/tessavel-connect.log";
        const QString state = "Library/Application Support/Tessavel Veridir/",
                      def = "time.apple.com,true";
        // clang-format off
        const auto row = [](const char* name, const QString& file, const QVariant& content, const QString& status, const QString& removed) { QTest::newRow(name) << file << content << status << removed; };
        const auto args = [](const QVariantList& a) { return QVariantMap{{"ProgramArguments", a}}; };
        row("job without an interval", job, args({"/x", "--server", "192.0.2.7"}), "  not set up>  syncs with 192.0.2.7 at startup and every 30 minutes", def);
        row("job with --server last", job, args({"/x", "--server"}), "", def);
        row("set-the-clock job", "Library/LaunchDaemons/com.tessavel.connect.settime.selftest.plist", args({}), "", def);
        row("installed tool", "Library/PrivilegedHelperTools/com.tessavel.connect", QByteArray(), "", def);
        row("legacy tool", "usr/local/sbin/tessavel-connect", QByteArray(), "", def);
        row("record with automatic time off", state + "before-setup.plist", QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", false}}, "  (no record)>  time server: t.example\n  set time automatically: off", "t.example,false");
        row("record with automatic time on", state + "before-setup.plist", QVariantMap{{"timeServer", "t.example"}, {"usingNetworkTime", true}}, "  (no record)>  time server: t.example\n  set time automatically: on", "t.example,true");
        row("record of automatic time off only", state + "before-setup.plist", QVariantMap{{"usingNetworkTime", false}}, "  (no record)>  time server: (not recorded)\n  set time automatically: off", "time.apple.com,false");
        row("record that is no plist", state + "before-setup.plist", QByteArray("timeServer=x"), "", def);
        row("record nested 200,000 deep", state + "before-setup.plist", nested(200000), "", def);
        row("record of 9,000 open arrays", state + "before-setup.plist", nested(9000, true), "", def);
        row("record unfolding into 2^40 nodes", state + "before-setup.plist", doublingArrays(40), "", def);
        // {"timeServer": "lab.example", "usingNetworkTime": false} as libplist writes it in binary.
        row("binary record", state + "before-setup.plist", QByteArray::fromHex("62706c6973743030d2010302045a74696d655365727665725b6c61622e6578616d706c655f10107573696e674e6574776f726b54696d6508080d1824370000000000000101000000000000000500000000000000000000000000000038"),
            "  (no record)>  time server: lab.example\n  set time automatically: off", "lab.example,false");
        row("last sync with blanks and a sign", state + "last-sync", QByteArray(" +1791580058 \n"), "  (none recorded)>  2026-10-09T21:07:38Z", def);
        row("last sync in letters", state + "last-sync", QByteArray("17x\n"), "", def);
        row("last sync at the last second of 9999", state + "last-sync", QByteArray("253402300799"), "  (none recorded)>  9999-12-31T23:59:59Z", def);
        row("last sync a second later", state + "last-sync", QByteArray("253402300800"), "", def);
        row("grant whose job is not loaded", state + "set-time-grant.plist", QVariantMap{{"uid", 501}}, "  set the clock: nobody>  set the clock: user 501 (its job is not loaded)", def);
        row("grant whose uid is text", state + "set-time-grant.plist", QVariantMap{{"uid", "501"}}, "", def);
        row("grant to uid -1", state + "set-time-grant.plist", QVariantMap{{"uid", -1}}, "", def);
        row("grant to an empty integer", state + "set-time-grant.plist", plistXml(QVariantMap{{"uid", -1}}).replace("-1", ""), "", def);
        row("log of 30 lines and blanks", log, thirty, last12, "");
        row("log, untrimmed", log, QByteArray("\t x \nlast"), "  (no log yet)>  \t x \n  last", "");
        row("log not UTF-8", log, QByteArray("\xC0\xAF\n"), "", "");
        row("sync job loaded", SelfTestRoot::kSyncLabel, QVariant(), "  (not loaded)>  state = not running", def);
        row("set-the-clock job loaded", SelfTestRoot::kSetTimeLabel, QVariant(), "", def);
        // clang-format on
    }

    void traces()
    {
        QFETCH(QString, file);
        QFETCH(QVariant, content);
        QFETCH(QString, status);
        QFETCH(QString, removed);
        const QVariantMap settings{{"timeServer", "192.0.2.9"}, {"usingNetworkTime", true}};
        QVERIFY(m_root->plant("system-time-settings.plist", plistXml(settings)));
        // A label: a job loaded from elsewhere, with no file of the setup.
        const QString other = m_root->path("job.plist");
        const QVariantMap job{{"Label", file}, {"ProgramArguments", QStringList{"/bin/true"}}};
        if (file.startsWith("com."))
            QVERIFY(m_root->plant(other, plistXml(job)) &&
                    m_root->launchctl({"bootstrap", SelfTestRoot::domain(), other}).status == 0);
        else
            QVERIFY(m_root->plant(file, plistXml(content)));
        const QString never = QString(kNever).replace("(could not read)", "192.0.2.9");
        QCOMPARE(m_root->tool({"status"}).out,
                 QString(never).replace(status.section('>', 0, 0), status.section('>', 1)));
        const QString server = removed.section(',', 0, 0);
        // clang-format off
        QCOMPARE(said(m_root->tool({"remove"})), removed.isEmpty() ? "Tessavel Veridir is not set up on this Mac. Nothing was changed.\n||0"
                 : "Removing Tessavel Veridir\nRemoved. Time server set back to " + server + (server == "time.apple.com" ? " (Apple's default).\n||0" : " (what this Mac had before setup).\n||0"));
        QCOMPARE(plistText(m_root->read("system-time-settings.plist")), "{timeServer=" + (removed.isEmpty() ? "192.0.2.9,usingNetworkTime=true}" : server + ",usingNetworkTime=" + removed.section(',', 1) + "}"));
        // clang-format on
        QCOMPARE(m_root->tool({"status"}).out.section("== configured", 0, 0),
                 kNever.section("== configured", 0, 0));
        QCOMPARE(ToolHarness::modes({m_root->path(file), m_root->logPath()}),
                 file.endsWith(".log") ? "644 644" : "- -");
    }

    // status --json in every state the text report has, parsed back and compared whole: the Mac
    // never set up, with what the row plants laid over it. "load": plists launchd is to take.
    void statusJson_data()
    {
        QTest::addColumn<bool>("testRoot");
        QTest::addColumn<QVariantMap>("files"); // under the root: a plist, or bytes
        QTest::addColumn<QStringList>("load");
        QTest::addColumn<QByteArray>("patch");
        const QString state = "Library/Application Support/Tessavel Veridir/",
                      job = "Library/LaunchDaemons/com.tessavel.connect.selftest.plist",
                      grant = state + "set-time-grant.plist", log = "var/log/tessavel-connect.log";
        const QVariantMap sync{
            {"Label", SelfTestRoot::kSyncLabel},
            {"ProgramArguments", QStringList{"/bin/true", "--server", "192.0.2.7"}},
            {"StartInterval", 900}};
        const QVariant uid = QVariantMap{{"uid", 501}},
                       setTime = QVariantMap{{"Label", SelfTestRoot::kSetTimeLabel},
                                             {"ProgramArguments", QStringList{"/bin/true"}}};
        const QByteArray lastRun =
            R"({"lastRun":{"at":"2026-12-07T12:54:07Z","server":"192.0.2.2","exitStatus":0,)"
            R"("offsetSeconds":-0.002362,"errorSeconds":0.002436,"messages":[]})";
        const QByteArray lines = nlohmann::json(realLog().split('\n').mid(1, 12)).dump().c_str();
        const auto row = [](const char* name, bool testRoot, const QVariantMap& files,
                            const QStringList& load, const QByteArray& patch) {
            QTest::newRow(name) << testRoot << files << load << patch;
        };
        row("never set up, without root", false, {}, {}, R"({"asRoot":false})");
        row("never set up", true, {}, {}, "{}");
        row("set up, loaded, synced; a record of automatic time off only; a grant", true,
            {{job, sync},
             {state + "last-sync", QByteArray("1791580058\n")},
             {state + "sync-now", QByteArray()},
             {state + "before-setup.plist", QVariantMap{{"usingNetworkTime", false}}},
             {grant, uid},
             {"system-time-settings.plist", QVariantMap{{"timeServer", "192.0.2.7"}}}},
            {job},
            R"({"setUp":true,"server":"192.0.2.7","intervalSeconds":900,"job":{"loaded":true,)"
            R"("state":"not running","runIntervalSeconds":900},"beforeSetup":{"recorded":true,)"
            R"("usingNetworkTime":false},"lastSync":"2026-10-09T21:07:38Z","withoutPassword":)"
            R"({"syncNow":true,"setTimeUser":501,"setTimeJobLoaded":false},)"
            R"("configuredTimeServer":"192.0.2.7"})");
        row("record whose server is no UTF-8", true,
            {{state + "before-setup.plist", plistXml(QVariantMap{{"timeServer", "lab~"}})
                                                .replace('~', "\xff\x1b"
                                                              "c")}},
            {}, R"({"beforeSetup":{"recorded":true,"timeServer":"lab\ufffd\u001bc"}})");
        row("grant whose job is loaded", true, {{grant, uid}, {"settime.plist", setTime}},
            {"settime.plist"},
            R"({"withoutPassword":{"setTimeUser":501,"setTimeJobLoaded":true}})");
        row("log of the SNTP client's real lines", true, {{log, realLog()}}, {},
            lastRun + R"(,"lastLogLines":)" + lines + "}");
        row("log with a line that is no UTF-8: its runs, no lines", true,
            {{log, realLog() + "\xff\n"}}, {}, lastRun + "}");
    }

    void statusJson()
    {
        QFETCH(bool, testRoot);
        QFETCH(QVariantMap, files);
        QFETCH(QStringList, load);
        QFETCH(QByteArray, patch);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(m_root->plant(it.key(), plistXml(it.value())));
        for (const QString& plist : load)
            QVERIFY(m_root->launchctl({"bootstrap", SelfTestRoot::domain(), m_root->path(plist)})
                        .status == 0);
        QProcessEnvironment none;
        none.insert("TESSAVEL_CONNECT_TEST_ROOT", "");
        const ToolResult r = testRoot ? m_root->tool({"status", "--json"})
                                      : ToolHarness::run({"status", "--json"}, none);
        QCOMPARE(r.err + QString::number(r.status), "0");
        using namespace tool::key;
        auto got = nlohmann::json::parse(r.out.toStdString(), nullptr, false);
        auto want = nlohmann::json::parse(kNeverJson.toStdString());
        want.update(nlohmann::json::parse(patch.toStdString()), true);
        // The report's moment is the clock's, and the age of the last sync follows from it.
        const auto time = [](const nlohmann::json& text) {
            return QDateTime::fromString(QString::fromStdString(text.get<std::string>()),
                                         Qt::ISODate);
        };
        const QDateTime at = time(want[kCheckedAt] = got.value(kCheckedAt, ""));
        QVERIFY(qAbs(at.secsTo(QDateTime::currentDateTimeUtc())) <= 10);
        if (want[kLastSync].is_string())
            want[kSecondsSinceLastSync] = time(want[kLastSync]).secsTo(at);
        QCOMPARE(QString::fromStdString(got.dump(2)), QString::fromStdString(want.dump(2)));
        // The administrators' page documents every key there is, and no other.
        const QString page = m_root->read(TV_SOURCE_DIR "/docs/fleet.md");
        const auto documented = nlohmann::json::parse(
            page.section("```json\n", 1, 1).section("```", 0, 0).toStdString(), nullptr, false);
        QCOMPARE(QString::fromStdString(shape(documented).dump()),
                 QString::fromStdString(shape(got).dump()));
    }

    // history reads the job's log: a table or JSON, the lines it could not place counted on
    // standard error, only its own options. The log's terminal controls never reach a terminal.
    void history_data()
    {
        QTest::addColumn<QByteArray>("log"); // "<fifo>": a pipe; "": none
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("want"); // out|err|status; <log> the log's path
        const QByteArray log = realLog().left(realLog().indexOf("2026-12-07T12:53:55Z")) +
                               "2026-12-07T12:59:00Z tessavel-connect: sync against a\x1b"
                               "c "
                               "(exit 0)\n\x07\xe2\x80\xa8\n1 line cut";
        const QString
            cut = "|1 line of <log> was not understood and was skipped.\n|0",
            usage =
                "|Usage: tessavel-connect history [--json] [--since <2026-10-09T21:07:38Z>]\n|2";
        const auto row = [](const char* name, const QByteArray& log, const char* args,
                            const QString& want) { QTest::newRow(name) << log << args << want; };
        row("a table", log, "history",
            "TIME (UTC)            EXIT      OFFSET (s)  ERROR (s)  SERVER\n"
            "2026-12-07T12:53:47Z     0       -0.001670   0.001778  192.0.2.2\n"
            "2026-12-07T12:53:48Z     0       +1.499441   0.000158  192.0.2.4\n"
            "2026-12-07T12:53:49Z     1               -          -  192.0.2.3  ntpdig: no eligible "
            "servers\n2026-12-07T12:59:00Z     0               -          -  a\uFFFDc  "
            "\uFFFD\uFFFD\n" +
                cut);
        row("JSON since a moment", log, "history --since 2026-12-07T12:59:00Z --json",
            "[\n  {\n    \"at\": \"2026-12-07T12:59:00Z\",\n    \"server\": \"a\\u001bc\",\n    "
            "\"exitStatus\": 0,\n    \"offsetSeconds\": null,\n    \"errorSeconds\": null,\n    "
            "\"messages\": [\n      \"\\u0007\\u2028\"\n    ]\n  }\n]\n" +
                cut);
        row("no log", "", "history --json", "[]\n||0");
        row("a pipe for a log", "<fifo>", "history", "|error: cannot read <log>.\n|1");
        row("--since a date", log, "history --since 2026-12-07", usage);
    }

    void history()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, args);
        QFETCH(QString, want);
        if (log == "<fifo>") QVERIFY(special(m_root->logPath(), log));
        if (!log.isEmpty() && log != "<fifo>") QVERIFY(m_root->plant(m_root->logPath(), log));
        const ToolResult r = m_root->tool(args.split(' '));
        QCOMPARE(r.out + "|" + r.err + "|" + QString::number(r.status),
                 want.replace("<log>", m_root->logPath()));
    }

    // check: one line and the status a monitoring system reads, for a job every "every" seconds
    // (0: not set up) and a last sync "age" seconds ago ("": none; "<0>": one nobody may read).
    void check_data()
    {
        QTest::addColumn<int>("every");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("want"); // out|err|status; <state> the state folder
        const auto row = [](const char* name, int every, const char* age, const char* args,
                            const char* want) {
            QTest::newRow(name) << every << age << args << want;
        };
        row("not set up", 0, "720", "check", "WARNING: not set up\n||1");
        row("never synced", 1800, "", "check", "WARNING: never synced with 192.0.2.7\n||1");
        row("12 minutes ago", 1800, "720", "check",
            "OK: synced 12 minutes ago with 192.0.2.7\n||0");
        row("under two intervals", 1800, "3590", "check",
            "OK: synced 59 minutes ago with 192.0.2.7\n||0");
        row("two intervals", 1800, "3600", "check",
            "WARNING: last synced 60 minutes ago with 192.0.2.7, expected every 30 minutes\n||1");
        row("a clock gone back past it", 1800, "-630", "check",
            "WARNING: the clock reads 10 minutes earlier than the last sync with 192.0.2.7\n||1");
        row("a record nobody may read", 1800, "<0>", "check",
            "WARNING: cannot read <state>/last-sync: Permission denied (run check as root)\n||1");
        row("an option", 1800, "720", "check --json", "|Usage: tessavel-connect check\n|2");
    }

    void check()
    {
        QFETCH(int, every);
        QFETCH(QString, age);
        QFETCH(QString, args);
        QFETCH(QString, want);
        const QStringList job{"/bin/true", "--server", "192.0.2.7"};
        if (every)
            QVERIFY(m_root->plant(
                m_root->jobPlist(),
                plistXml(QVariantMap{{"ProgramArguments", job}, {"StartInterval", every}})));
        const qint64 at = QDateTime::currentSecsSinceEpoch() - age.toLongLong();
        if (!age.isEmpty())
            QVERIFY(m_root->plant(m_root->state("last-sync"), QByteArray::number(at) + "\n",
                                  age == "<0>" ? 0 : 0644));
        const ToolResult r = m_root->tool(args.split(' '));
        QCOMPARE(r.out + "|" + r.err + "|" + QString::number(r.status),
                 want.replace("<state>", m_root->stateDir()));
    }

    // Granted, the job is loaded and its files are closed to others; withdrawn, all goes, the
    // last answer too. A request through the grant is tst_engine's againstTheTool.
    void grantAndForbid()
    {
        QCOMPARE(
            said(m_root->tool({"allow-set-time", "--user", "+" + uid})),
            "User " + uid +
                " can now set this Mac's clock from Tessavel Veridir without a password.\n||0");
        QCOMPARE(ToolHarness::modes({request(), grant(), job()}) + m_root->read(request()),
                 "600 644 644");
        QCOMPARE(m_root->finishedRuns(SelfTestRoot::kSetTimeLabel), 0); // loaded
        QVERIFY(m_root->plant(result(), kOk));
        QCOMPARE(m_root->tool({"forbid-set-time"}).status, 0);
        QCOMPARE(ToolHarness::modes({request(), grant(), result(), job(), m_root->installedBin()}),
                 "- - - - 755");
        QCOMPARE(m_root->finishedRuns(SelfTestRoot::kSetTimeLabel), -1); // not loaded
    }

    // Straight runs of the job on a planted request: the result file after, "" for no answer.
    void requests_data()
    {
        QTest::addColumn<QString>(
            "kind"); // how the request is there: file, link, hard link, fifo, folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("age"); // seconds since the request was written
        QTest::addColumn<QVariant>("granted");
        QTest::addColumn<QByteArray>("before"); // the result file; "link": a link to another file
        QTest::addColumn<QByteArray>("after");
        const QVariant me = ToolHarness::testUid();
        const QByteArray stale = "0123456789abcdef refused the request was not made just now.\n";
        // clang-format off
        const auto row = [&](const char* name, const QByteArray& bytes, const QByteArray& after, const char* kind = "file", int age = 0,
                             const QVariant& granted = ToolHarness::testUid(), const QByteArray& before = "") { QTest::newRow(name) << kind << bytes << age << granted << before << after; };
        row("64 bytes", kGood.chopped(1) + QByteArray(27, ' '), kOk);
        row("65 bytes", kGood.chopped(1) + QByteArray(28, ' '), "");
        row("empty", "", "");
        row("CR LF and blanks", "  2030-01-01T00:00:00Z  0123456789abcdef \r\n", kOk);
        row("a tab between the words", "2030-01-01T00:00:00Z\t0123456789abcdef\n", "");
        row("three words", "2030-01-01T00:00:00Z 0123456789abcdef x\n", "");
        row("capitals in the nonce", "2030-01-01T00:00:00Z 0123456789ABCDEF\n", "");
        row("a nonce of 7", "2030-01-01T00:00:00Z 0123456\n", "");
        row("a nonce of 32", "2030-01-01T00:00:00Z " + QByteArray(32, 'a') + "\n", QByteArray(32, 'a') + kOk.mid(16));
        row("a nonce of 33", "2030-01-01T00:00:00Z " + QByteArray(33, 'a') + "\n", "");
        row("a line end inside", "2030-01-01T00:00:00Z\nx 0123456789abcdef\n", "");
        row("a time that is none", "2030-02-30T00:00:00Z 0123456789abcdef\n", "0123456789abcdef refused \"2030-02-30T00:00:00Z\" is not a time. Give it as 2026-10-09T21:07:38Z.\n");
        row("revoke", "revoke 0123456789abcdef\n", "0123456789abcdef revoked this Mac asks for an administrator password again.\n");
        row("a symbolic link", kGood, "", "link");
        row("a second name", kGood, "", "hard link");
        row("a pipe nobody writes", kGood, "", "fifo");
        row("a folder", kGood, "", "folder");
        row("25 seconds old", kGood, kOk, "file", 25);
        row("35 seconds old", kGood, stale, "file", 35);
        row("a revoke 35 seconds old", "revoke 0123456789abcdef\n", stale, "file", 35);
        row("35 seconds ahead", kGood, stale, "file", -35);
        row("granted to another user", kGood, "", "file", 0, ToolHarness::testUid() + 1);
        row("no grant", kGood, "", "file", 0, QVariant());
        row("answered already", kGood, "", "file", 0, me, "0123456789abcdef ok earlier\n");
        row("a nonce of 8, after the answer to a longer one", "2030-01-01T00:00:00Z 01234567\n", "01234567" + kOk.mid(16), "file", 0, me, "0123456789 ok earlier\n");
        row("a link in place of the result", kGood, kOk, "file", 0, me, "link");
        row("a pipe in place of the result", kGood, kOk, "file", 0, me, "<fifo>");
        // clang-format on
    }

    void requests()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(int, age);
        QFETCH(QVariant, granted);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QByteArray path = request().toLocal8Bit(), elsewhere = m_root->path("x").toUtf8();
        if (granted.isValid())
            QVERIFY(m_root->plant(grant(), plistXml(QVariantMap{{"uid", granted}})));
        QVERIFY(m_root->plant(elsewhere, kind == "file" ? "keep\n" : bytes, 0600));
        if (kind == "file") QVERIFY(m_root->plant(request(), bytes, 0600));
        if (before == "link")
            QCOMPARE(::symlink(elsewhere, qPrintable(result())), 0);
        else if (before == "<fifo>")
            QVERIFY(special(result(), before));
        else if (!before.isEmpty())
            QVERIFY(m_root->plant(result(), before));
        if (kind == "link") QCOMPARE(::symlink(elsewhere, path), 0);
        if (kind == "hard link") QCOMPARE(::link(elsewhere, path), 0);
        if (kind == "fifo")
            QVERIFY(::mkfifo(path, 0600) == 0 && ::chown(path, ToolHarness::testUid(), 0) == 0);
        if (kind == "folder") QVERIFY(m_root->plant(request() + "/inside", bytes));
        const timeval then[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
        QCOMPARE(::lutimes(path, then), 0);
        const ToolResult r = m_root->tool({"set-time-from-request"});
        // clang-format off
        // The log line repeats the answer after the nonce.
        const QString logged = "tessavel-connect: set-time request from user " + uid + ": " + after.mid(after.indexOf(' ') + 1);
        QCOMPARE(r.out.section(' ', 1) + r.err + QString::number(r.status), (after.isEmpty() ? "" : logged) + "0");
        QCOMPARE(m_root->read(result()), after.isEmpty() ? (before == "link" ? "keep\n" : before) : after);
        QCOMPARE(m_root->read(elsewhere) + m_root->read("clock-set-to"), (kind == "file" ? "keep\n" : bytes) + (after.contains(" ok ") ? "2030-01-01T00:00:00Z\n" : ""));
        QCOMPARE(ToolHarness::modes({result(), grant()}), (after.isEmpty() ? ToolHarness::modes({result()}) : "644") + (after.contains("revoked") || !granted.isValid() ? " -" : " 644"));
        // clang-format on
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
