// The tool's commands as their users meet them, run as a user in self-test mode (or without a
// test root, where they stop at the root check): whole outputs (those of commands.txt, and
// status for each trace of a setup) and the files left behind. The set-the-clock job trusts
// nothing in the request file and answers each nonce once; nothing the tool reads may stop it (a
// pipe, a device, a plist nested without end) or pass off an odd value as a real one.
#include "tests/tool/selftestroot.h"
#include "tool/statusjson.h"

#include <QRegularExpression>
#include <QtTest>

#include <nlohmann/json.hpp>

namespace {

// In the test root.
const QString kState = "Library/Application Support/Tessavel Veridir/",
              kRecord = kState + "before-setup.plist", kGrant = kState + "set-time-grant.plist",
              kLog = "var/log/tessavel-connect.log",
              kJob = "Library/LaunchDaemons/com.tessavel.connect.selftest.plist",
              kSettings = "system-time-settings.plist";

// The report of a Mac never set up, in a test root, as status prints it.
const QString kNever = fixture("status-never.txt");

// status --json line by line as the tool indents it: the report of a Mac never set up
// (status-never.json, every key, null where nothing is known) with the patch laid over it, made
// at the moment the run names when that is the clock's (within 10 s); the age of the last sync
// from it.
void compareJson(const ToolResult& r, const nlohmann::json& patch)
{
    namespace key = tool::key;
    const auto got = nlohmann::json::parse(r.out.toStdString(), nullptr, false);
    auto want = nlohmann::json::parse(fixture("status-never.json").data());
    want[key::kToolVersion] = TV_VERSION; // the fixture cannot know it
    want.update(patch, true);
    const auto time = [](const std::string& text) {
        return QDateTime::fromString(QString::fromStdString(text), Qt::ISODate);
    };
    const std::string checked = got.is_object() ? got.value(key::kCheckedAt, "") : "";
    const QDateTime at = time(checked);
    if (at.isValid() && qAbs(at.secsTo(QDateTime::currentDateTimeUtc())) <= 10)
        want[key::kCheckedAt] = checked;
    if (want[key::kLastSync].is_string())
        want[key::kSecondsSinceLastSync] = time(want[key::kLastSync]).secsTo(at);
    const auto lines = [](const nlohmann::json& j) {
        return QString::fromStdString(j.dump(2)).split('\n');
    };
    QCOMPARE(lines(got), lines(want));
    QCOMPARE(r.err, "");
    QCOMPARE(r.status, 0);
}

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

// The run with "<now>" for the stamp of each line the tool logs.
ToolResult stamped(ToolResult r)
{
    r.out.replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ(?= tessavel)"),
                  "<now>");
    return r;
}

// A transcript's text with its names filled in; a path of the root without "<root>/".
QString filled(QString text, const QString& root)
{
    return text.replace("<usage>\n", fixture("usage.txt"))
        .replace("<root>", root)
        .replace("<tool>", ToolHarness::toolPath())
        .replace("<state>", kState.chopped(1))
        .replace("<log>", kLog)
        .replace("<job>", kJob)
        .replace("<record>", kRecord)
        .replace("<grant>", kGrant);
}

// The files of a case's "+ FILE TEXT" lines, as commands.txt and traces.txt write them: the
// bytes of each, or the name of a special file ("<fifo>", "<device>", "<closed>").
QMap<QString, QByteArray> planted(const QStringList& lines, const QString& root)
{
    static const QRegularExpression ago("^<(-?\\d+) s ago>$");
    const QByteArray log = fixture("synclog.txt");
    static const QMap<QString, QByteArray> made{
        {"<sync log>", log},
        {"<sync log with blank lines>", QByteArray(log).replace("\n", "\n\n")},
        {"<arrays nested 200000 deep>", nested(200000)},
        {"<9000 arrays left open>", nested(9000, true)},
        {"<arrays unfolding into 2^40 nodes>", doublingArrays(40)},
        {"<fifo>", "<fifo>"},
        {"<device>", "<device>"},
        {"<closed>", "<closed>"}};
    QMap<QString, QByteArray> files;
    for (const QString& line : lines) {
        if (!line.startsWith("+ ")) continue;
        const QString path = filled(line.section(' ', 1, 1), root), text = line.section(' ', 2);
        QByteArray bytes = text.endsWith('\\') ? text.chopped(1).toUtf8() : text.toUtf8() + '\n';
        if (const auto m = ago.match(text); m.hasMatch())
            bytes = QByteArray::number(QDateTime::currentSecsSinceEpoch() - m.captured(1).toInt());
        else if (text.startsWith("<plist "))
            bytes = plistXml(text.mid(7).chopped(1));
        else if (text.startsWith("<hex "))
            bytes = QByteArray::fromHex(text.mid(5).chopped(1).toLatin1());
        else if (made.contains(text))
            bytes = made[text];
        for (qsizetype i; (i = bytes.indexOf("<byte ")) >= 0;)
            bytes.replace(i, 9, QByteArray::fromHex(bytes.mid(i + 6, 2)));
        files[path] += bytes;
    }
    return files;
}

// The rest of each line of a case that begins with word and a blank, joined.
QString said(const Transcript& t, const QString& word)
{
    QString text;
    for (const QString& line : t.other)
        text += line.startsWith(word + ' ') ? line.mid(word.size() + 1) : "";
    return text;
}

// A request planted for the set-the-clock job, and the answer it leaves ("": none).
struct Request
{
    QByteArray bytes = kGood, answer = {};
    QString kind = "file"; // how the request is there: file, link, hard link, fifo
    int age = 0;           // seconds since it was written
    QVariant grantedTo = ToolHarness::testUid(); // invalid: no grant
    QByteArray before = {}; // the result file before: bytes, "<fifo>", or "<link>" to another file
};

} // namespace

class TestCommands : public SelfTestCase
{
    Q_OBJECT

    // Plants each file; "<fifo>" is a pipe nobody writes, "<device>" a link to a device without
    // end, "<closed>" an empty file nobody may read.
    bool plant(const QMap<QString, QByteArray>& files) const
    {
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QByteArray path = m_root->path(it.key()).toLocal8Bit();
            const bool special = QByteArrayList{"<fifo>", "<device>", "<closed>"}.contains(*it);
            if (!m_root->plant(it.key(), special ? "" : *it, *it == "<closed>" ? 0 : 0644))
                return false;
            if (*it == "<fifo>" && (::unlink(path) || ::mkfifo(path, 0666) || ::chmod(path, 0666)))
                return false;
            if (*it == "<device>" && (::unlink(path) || ::symlink("/dev/zero", path))) return false;
        }
        return true;
    }

    // A trace in a root whose time server is 192.0.2.9.
    bool plant(const Transcript& trace) const
    {
        QMap<QString, QByteArray> files = planted(trace.other, m_root->path());
        files[kSettings] = plistXml("{timeServer=192.0.2.9,usingNetworkTime=true}");
        const QString label = said(trace, "loaded");
        if (label.isEmpty()) return plant(files);
        files["job.plist"] =
            plistXml("{Label=" + label + ",ProgramArguments=[/bin/true],StartInterval=900}");
        return plant(files) &&
               m_root->launchctl({"bootstrap", SelfTestRoot::domain(), m_root->path("job.plist")})
                       .status == 0;
    }

    ToolResult install(const QString& args, int sntpExit = 0, const QString& program = {})
    {
        m_root->plant("sntp",
                      "#!/bin/sh\necho \"sntp asked $*\"\nexit " + QByteArray::number(sntpExit),
                      0755);
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->path("sntp"));
        return m_root->tool(QStringList{"install"} + args.split(' ', Qt::SkipEmptyParts), env,
                            program);
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
    // Runs whose whole effect is their output: usage and the root check, the values set-time
    // and allow-set-time refuse, check and history.
    void commands_data()
    {
        QTest::addColumn<Transcript>("run");
        for (const Transcript& t : transcripts("commands.txt"))
            QTest::newRow(qPrintable(t.name)) << t;
    }

    void commands()
    {
        QFETCH(Transcript, run);
        const QString root = m_root->path(), tool = ToolHarness::toolPath();
        QVERIFY(plant(planted(run.other, root)));
        QProcessEnvironment none;
        none.insert("TESSAVEL_CONNECT_TEST_ROOT", ""); // empty: no self-test mode
        const QString dotted = "./" + QString("../").repeated(20) + QFileInfo(tool).path().mid(1) +
                               "//./tessavel-connect";
        const bool dots = run.other.contains("by a path with dots and slashes");
        const ToolResult r = run.other.contains("without a test root")
                                 ? ToolHarness::run(run.args, none, QFileInfo(tool).path(),
                                                    dots ? dotted : QString())
                                 : m_root->tool(run.args);
        COMPARE_RUN(stamped(r), filled(run.out, root), filled(run.err, root), run.status);
        // Only set-time sets the clock, to the time it was given; only a grant installs the tool.
        QCOMPARE(m_root->read("clock-set-to"),
                 run.out.contains(" clock set to ") ? run.args[1].toUtf8() + "\n" : "");
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}),
                 run.err.contains("cannot give") ? "755" : "-");
    }

    // What install says, and the files it leaves: a writer stopped before its rename leaves
    // "." + name + "." + six letters or digits, and install clears those of its own files.
    void install_data()
    {
        QTest::addColumn<QString>("args");  // before --server 192.0.2.9
        QTest::addColumn<bool>("answered"); // by the SNTP client
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("every");
        QTest::addColumn<int>("seconds");
        const auto row = [](const char* name, const char* args, bool answered, const char* label,
                            const char* every, int seconds) {
            QTest::newRow(name) << args << answered << label << every << seconds;
        };
        row("5 becomes 60", "--interval 5", true, "192.0.2.9", "1 minute", 60);
        row("61 in seconds", "--interval 61", true, "192.0.2.9", "61 seconds", 61);
        row("not a number", "--interval soon", true, "192.0.2.9", "30 minutes", 1800);
        row("with a name", "--name Lab", true, "\"Lab\" (192.0.2.9)", "30 minutes", 1800);
        row("no answer", "", false, "192.0.2.9", "30 minutes", 1800);
    }

    void install()
    {
        QFETCH(QString, args);
        QFETCH(bool, answered);
        QFETCH(QString, label);
        QFETCH(QString, every);
        QFETCH(int, seconds);
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));
        const QString bins = "Library/PrivilegedHelperTools/", jobs = "Library/LaunchDaemons/";
        const QStringList kept{".com.tessavel.connect.old", ".com.other.job.plist.Ab12Cd"};
        for (const QString& f :
             {bins + ".com.tessavel.connect.Ab12Cd", bins + kept[0],
              jobs + ".com.tessavel.connect.selftest.plist.x9Y8z7", jobs + kept[1]})
            QVERIFY(m_root->plant(f, "partial copy", 0755));
        const QString bin = m_root->installedBin(), log = m_root->logPath(),
                      syncNow = m_root->state("sync-now"),
                      outcome = answered ? "Done. This Mac syncs with " + label + " at startup"
                                         : "Set up, but " + label +
                                               " did not answer a time request. This Mac keeps "
                                               "trying at startup";
        COMPARE_RUN(stamped(install(args + " --server 192.0.2.9", !answered)),
                    "Setting up Tessavel Veridir -> " + label + ", every " + every +
                        "\nSetting the clock from " + label +
                        " now...\n<now> tessavel-connect: sync against 192.0.2.9 (exit " +
                        QString::number(!answered) + ")\nsntp asked 192.0.2.9\n" + outcome +
                        " and every " + every + ".\nLog: " + log +
                        "\ntessavel-connect-result: " + (answered ? "synced\n" : "no-answer\n"),
                    "", 0);
        QCOMPARE(plistText(m_root->read(m_root->jobPlist())),
                 "{Label=com.tessavel.connect.selftest,ProgramArguments=[" + bin +
                     ",sync,--server,192.0.2.9],RunAtLoad=true,StartInterval=" +
                     QString::number(seconds) + ",WatchPaths=[" + syncNow +
                     "],StandardOutPath=" + log + ",StandardErrorPath=" + log +
                     ",EnvironmentVariables={TESSAVEL_CONNECT_TEST_ROOT=" + m_root->path() +
                     ",TESSAVEL_CONNECT_TEST_SNTP=" + m_root->path("sntp") + "}}");
        QCOMPARE(m_root->read(bin), m_root->read(ToolHarness::toolPath()));
        QCOMPARE(ToolHarness::modes({bin, m_root->stateDir(), syncNow, m_root->jobPlist(),
                                     m_root->path("usr/local/sbin/tessavel-connect")}),
                 "755 755 666 644 -");
        // Settings that could not be read leave no record; no half-written file is left once
        // the job's run at load has ended too.
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        QCOMPARE(QDir(m_root->stateDir()).entryList(QDir::Files | QDir::Hidden),
                 answered ? QStringList({"last-sync", "sync-now"}) : QStringList{"sync-now"});
        QCOMPARE(QDir(m_root->path(bins)).entryList({".*"}, QDir::Files | QDir::Hidden) +
                     QDir(m_root->path(jobs)).entryList({".*"}, QDir::Files | QDir::Hidden),
                 kept);
    }

    // The record of the Mac's own settings is made at the first setup only, and not at the next
    // when they could not be read then (by then they are the setup's own); the installed copy
    // re-installs itself, with the new server.
    void reinstall_data()
    {
        QTest::addColumn<QString>("record");
        QTest::newRow("settings recorded") << "{timeServer=t.example,usingNetworkTime=false}";
        QTest::newRow("settings not read, never recorded") << "";
    }

    void reinstall()
    {
        QFETCH(QString, record);
        QVERIFY(record.isEmpty() || m_root->plant(kSettings, plistXml(record)));
        QCOMPARE(install("--server 192.0.2.3").status, 0);
        QCOMPARE(plistText(m_root->read(kRecord)), record);
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        QCOMPARE(::chmod(qPrintable(m_root->installedBin()), 0700), 0);
        const ToolResult again = install("--server 192.0.2.4", 0, m_root->installedBin());
        QCOMPARE(again.out.section('\n', -2), "tessavel-connect-result: synced\n");
        QCOMPARE(again.err, "");
        QCOMPARE(again.status, 0);
        QCOMPARE(ToolHarness::modes({m_root->installedBin()}), "755");
        QCOMPARE(plistText(m_root->read(kRecord)), record);
        QCOMPARE(plistText(m_root->read(kSettings)),
                 "{timeServer=192.0.2.4,usingNetworkTime=true}");
        QVERIFY(plistText(m_root->read(m_root->jobPlist())).contains(",--server,192.0.2.4],"));
    }

    // One trace of a setup as status and status --json show it: the cases of traces.txt.
    void traces_data()
    {
        QTest::addColumn<Transcript>("trace");
        for (const Transcript& t : transcripts("traces.txt"))
            QTest::newRow(qPrintable(t.name)) << t;
    }

    void traces()
    {
        QFETCH(Transcript, trace);
        QVERIFY(plant(trace));
        const QString never = QString(kNever).replace("(could not read)", "192.0.2.9"),
                      gone = said(trace, "-");
        COMPARE_RUN(m_root->tool({"status"}),
                    gone.isEmpty() ? never : QString(never).replace(gone + "\n", trace.out), "", 0);
        const QString json = said(trace, "json");
        auto patch = nlohmann::json::parse(json.isEmpty() ? "{}" : json.toStdString());
        patch["configuredTimeServer"] = "192.0.2.9";
        compareJson(m_root->tool({"status", "--json"}), patch);
    }

    // remove takes each trace away, and sets the time settings back.
    void removeTraces_data() { traces_data(); }
    void removeTraces()
    {
        QFETCH(Transcript, trace);
        QVERIFY(plant(trace));
        const bool setUp = !trace.other.contains("remove: not set up");
        const QString said = ::said(trace, "remove"),
                      server = said.isEmpty() ? "time.apple.com" : said.section(", ", 0, 0),
                      back = server == "time.apple.com" ? " (Apple's default).\n"
                                                        : " (what this Mac had before setup).\n";
        COMPARE_RUN(m_root->tool({"remove"}),
                    setUp ? "Removing Tessavel Veridir\nRemoved. Time server set back to " +
                                server + back
                          : "Tessavel Veridir is not set up on this Mac. Nothing was changed.\n",
                    "", 0);
        const bool automatic = !said.endsWith("automatic time off");
        QCOMPARE(plistText(m_root->read(kSettings)),
                 !setUp ? "{timeServer=192.0.2.9,usingNetworkTime=true}"
                        : "{timeServer=" + server +
                              ",usingNetworkTime=" + (automatic ? "true}" : "false}"));
        QCOMPARE(m_root->tool({"status"}).out.section("== configured", 0, 0),
                 kNever.section("== configured", 0, 0));
        // Every file of the trace goes, the log aside; remove writes none.
        const QStringList files = planted(trace.other, m_root->path()).keys();
        for (const QString& file : files)
            QCOMPARE(ToolHarness::modes({m_root->path(file)}), file == kLog ? "644" : "-");
        QCOMPARE(ToolHarness::modes({m_root->logPath()}), files.contains(kLog) ? "644" : "-");
    }

    // status --json without root: the report of a Mac never set up, asRoot false.
    void statusJsonWithoutRoot()
    {
        QProcessEnvironment none;
        none.insert("TESSAVEL_CONNECT_TEST_ROOT", "");
        compareJson(ToolHarness::run({"status", "--json"}, none), {{"asRoot", false}});
    }

    // Granted, the job is loaded and its files are closed to others; withdrawn, all goes, the
    // last answer too. A request through the grant is tst_engine's.
    void grantAndForbid()
    {
        COMPARE_RUN(m_root->tool({"allow-set-time", "--user", "+" + uid}),
                    "User " + uid +
                        " can now set this Mac's clock from Tessavel Veridir without a password.\n",
                    "", 0);
        QCOMPARE(ToolHarness::modes({request(), grant(), job()}), "600 644 644");
        QCOMPARE(m_root->finishedRuns(SelfTestRoot::kSetTimeLabel), 0); // loaded
        QVERIFY(m_root->plant(result(), kOk));
        QCOMPARE(m_root->tool({"forbid-set-time"}).status, 0);
        QCOMPARE(ToolHarness::modes({request(), grant(), result(), job(), m_root->installedBin()}),
                 "- - - - 755");
        QCOMPARE(m_root->finishedRuns(SelfTestRoot::kSetTimeLabel), -1); // not loaded
    }

    // Straight runs of the job on a planted request.
    void requests_data()
    {
        QTest::addColumn<Request>("request");
        const auto row = [](const char* name, const Request& r) { QTest::newRow(name) << r; };
        const QByteArray stale = "0123456789abcdef refused the request was not made just now.\n",
                         revoke = "revoke 0123456789abcdef\n", time = "2030-01-01T00:00:00Z ";
        row("64 bytes", {.bytes = kGood.chopped(1) + QByteArray(27, ' '), .answer = kOk});
        row("65 bytes", {.bytes = kGood.chopped(1) + QByteArray(28, ' ')});
        row("empty", {.bytes = {}});
        row("CR LF and blanks", {.bytes = "  " + time + " 0123456789abcdef \r\n", .answer = kOk});
        row("three words", {.bytes = time + "0123456789abcdef x\n"});
        row("capitals in the nonce", {.bytes = time + "0123456789ABCDEF\n"});
        row("a nonce of 7", {.bytes = time + "0123456\n"});
        row("a nonce of 32", {.bytes = time + QByteArray(32, 'a') + "\n",
                              .answer = QByteArray(32, 'a') + kOk.mid(16)});
        row("a nonce of 33", {.bytes = time + QByteArray(33, 'a') + "\n"});
        row("a line end inside", {.bytes = "2030-01-01T00:00:00Z\nx 0123456789abcdef\n"});
        row("a time that is none",
            {.bytes = "2030-02-30T00:00:00Z 0123456789abcdef\n",
             .answer = "0123456789abcdef refused \"2030-02-30T00:00:00Z\" is not a time. Give it "
                       "as 2026-10-09T21:07:38Z.\n"});
        row("revoke",
            {.bytes = revoke,
             .answer = "0123456789abcdef revoked this Mac asks for an administrator password "
                       "again.\n"});
        row("a symbolic link", {.kind = "link"});
        row("a second name", {.kind = "hard link"});
        row("a pipe nobody writes", {.kind = "fifo"});
        row("25 seconds old", {.answer = kOk, .age = 25});
        row("35 seconds old", {.answer = stale, .age = 35});
        row("a revoke 35 seconds old", {.bytes = revoke, .answer = stale, .age = 35});
        row("35 seconds ahead", {.answer = stale, .age = -35});
        row("granted to another user", {.grantedTo = ToolHarness::testUid() + 1});
        row("no grant", {.grantedTo = QVariant()});
        row("answered already", {.before = "0123456789abcdef ok earlier\n"});
        row("a nonce of 8, after the answer to a longer one",
            {.bytes = time + "01234567\n",
             .answer = "01234567" + kOk.mid(16),
             .before = "0123456789 ok earlier\n"});
        row("a link in place of the result", {.answer = kOk, .before = "<link>"});
        row("a pipe in place of the result", {.answer = kOk, .before = "<fifo>"});
    }

    void requests()
    {
        QFETCH(Request, request);
        const Request& q = request;
        const QByteArray path = this->request().toLocal8Bit(),
                         elsewhere = m_root->path("x").toUtf8();
        if (q.grantedTo.isValid())
            QVERIFY(m_root->plant(grant(), plistXml("{uid=" + q.grantedTo.toString() + "}")));
        // What a link or a second name would name: the job never touches it.
        const QByteArray other = q.kind == "file" ? "keep\n" : q.bytes;
        QVERIFY(m_root->plant(elsewhere, other, 0600));
        if (q.kind == "file") QVERIFY(m_root->plant(path, q.bytes, 0600));
        if (q.kind == "link") QCOMPARE(::symlink(elsewhere, path), 0);
        if (q.kind == "hard link") QCOMPARE(::link(elsewhere, path), 0);
        if (q.kind == "fifo")
            QVERIFY(::mkfifo(path, 0600) == 0 && ::chown(path, ToolHarness::testUid(), 0) == 0);
        if (q.before == "<link>")
            QCOMPARE(::symlink(elsewhere, qPrintable(result())), 0);
        else if (!q.before.isEmpty())
            QVERIFY(plant({{result(), q.before}}));
        const timeval then[2] = {{time(nullptr) - q.age, 0}, {time(nullptr) - q.age, 0}};
        QCOMPARE(::lutimes(path, then), 0);
        // The log line repeats the answer after the nonce.
        const QString logged = "<now> tessavel-connect: set-time request from user " + uid + ": " +
                               q.answer.mid(q.answer.indexOf(' ') + 1);
        COMPARE_RUN(stamped(m_root->tool({"set-time-from-request"})),
                    q.answer.isEmpty() ? "" : logged, "", 0);
        QCOMPARE(m_root->read(result()), !q.answer.isEmpty()    ? q.answer
                                         : q.before == "<link>" ? "keep\n"
                                                                : q.before);
        QCOMPARE(m_root->read(elsewhere), other);
        QCOMPARE(m_root->read("clock-set-to"),
                 q.answer.contains(" ok ") ? "2030-01-01T00:00:00Z\n" : "");
        // An answer is for everybody to read; a revoke takes the grant away.
        if (!q.answer.isEmpty()) QCOMPARE(ToolHarness::modes({result()}), "644");
        QCOMPARE(QFile::exists(grant()), q.grantedTo.isValid() && !q.answer.contains("revoked"));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
