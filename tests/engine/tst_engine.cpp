// The engine end to end: Engine::run through the osascript stand-in to a recording tool, then
// the setup and the password-free paths against the real tool in self-test mode. Built with the
// tool in the bundle, and without (found on the path).
#include "engine/engine.h"
#include "engine/enginetesting.h"
#include "tests/tool/selftestroot.h"

#include "contract/plistread.h"

#include <QtTest>

#include <unistd.h>

using R = Engine::RunResult;
using S = Engine::SetClockResult;
using L = QStringList;
struct Outcome // the tool's output, errors and status ("cancel": the dialog is cancelled)
{
    QByteArray out, err, exit;
    R run;
    QString runError; // "keep": left as it was
    S set;
    QString setError;
};

class TestEngine : public QObject
{
    Q_OBJECT
    SelfTestRoot m_root;
    const QDateTime m_t = QDateTime::currentDateTimeUtc().addSecs(3600).toOffsetFromUtc(7200);
    const QString m_ask =
        "Tessavel Veridir needs an administrator password to set this Mac's clock";

    // The recording tool's path and words, each ended by a NUL.
    L recorded() const { return QString::fromUtf8(m_root.read("args")).chopped(1).split(QChar(0)); }
    static void recordTool(const QByteArray& o, const QByteArray& e, const char* x)
    {
        qputenv("TV_RECORD_OUT", o);
        qputenv("TV_RECORD_ERR", e);
        qputenv("TV_RECORD_EXIT", x);
    }
    // The clock as the tool set it: m_t moved by s seconds, in whole seconds of UTC.
    QByteArray setTo(int s) const
    {
        return m_t.addSecs(s).toUTC().toString(Qt::ISODate).toUtf8() + "\n";
    }
    QString prompt() const { return QString::fromUtf8(m_root.read("prompt")); }
    // Nothing set up as the application sees it; asking for a sync never makes the file.
    static bool notSetUp()
    {
        const Engine::Setup s = Engine::currentSetup();
        return s.server.isEmpty() && !s.hasBeforeSetup && !Engine::syncNowWithoutPassword();
    }
private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "run through tests/asuser.sh");
        QProcessEnvironment env = m_root.env();
        QVERIFY(m_root.plant("sntp", "#!/bin/sh\nexit 0\n", 0755));
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root.path() + "/sntp");
        env.insert("TESSAVEL_OSASCRIPT_PROMPT_FILE", m_root.path() + "/prompt");
        for (const QString& k : env.keys())
            qputenv(qPrintable(k), env.value(k).toUtf8());
        // This Mac's settings before setup, where the self-test systemsetup keeps them.
        QVERIFY(m_root.plant("system-time-settings.plist",
                             plistXml("{timeServer=a.example,usingNetworkTime=true}")));
    }
    void init()
    {
        qunsetenv("TESSAVEL_OSASCRIPT_CANCEL");
        recordTool("", "", "0");
        qputenv("TV_RECORD_FILE", m_root.path("args").toUtf8()); // real-tool tests unset it
    }

    // Every word and the prompt arrive as they left: quotes, backslashes, shell specials,
    // spaces, an empty word, non-ASCII.
    void quoting()
    {
        const L args{"it's",  "''",    "say \"hi\"", "\\",         "a\\\"b",
                     "\\\\'", "$HOME", "`id`",       "; rm -rf /", "*",
                     "a\nb",  "a b",   "",           "  ",         "Zeit \u00FC \u6642"};
        const QString prompt = "Don't \"quote\" c:\\ \\\" \\' $(id) \u00E9 \U0001F510";
        QCOMPARE(Engine::run(args, prompt), R::Done);
        QCOMPARE(recorded(), L{TV_EXPECTED_TOOL} + args);
        QCOMPARE(this->prompt(), prompt);
    }

    // One tool outcome as Engine::run reports it, and as setClock's administrator path does.
    void outcomes_data()
    {
        QTest::addColumn<Outcome>("o");
        const auto row = [](const char* name, const Outcome& o) { QTest::newRow(name) << o; };
        const QByteArray marker = "tessavel-connect-result: no-answer";
        const QString k = "keep", x = "0:N: execution error: ";
        const QString late = "error: 2026-01-01T00:00:00Z is earlier than this Mac's last sync.";
        const QString fail = "The administrator step was cancelled or failed.";
        row("no answer", {"Done.\n" + marker, "", "0", R::NoAnswer, k, S::Set, k});
        row("marker in other case", {marker.toUpper(), "", "0", R::Done, k, S::Set, k});
        row("marker, status 1", {marker, "error: bad\n", "1", R::Failed, x + "error: bad (1)",
                                 S::Failed, "error: bad"});
        row("refused earlier time",
            {"", late.toUtf8(), "1", R::Failed, x + late + " (1)", S::Refused, late});
        row("cancelled", {"", "", "cancel", R::Failed, x + "User canceled. (-128)", S::Failed, ""});
        row("osascript crashed", {"", "", "crash", R::Failed, fail, S::Failed, fail});
    }
    void outcomes()
    {
        QFETCH(Outcome, o);
        recordTool(o.out, o.err, o.exit);
        if (o.exit == "cancel") qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        QString error = "keep";
        QCOMPARE(Engine::run({"install"}, "p", &error), o.run);
        QCOMPARE(error.replace(QRegularExpression("^0:\\d+:"), "0:N:"), o.runError);
        QCOMPARE(Engine::run({"install"}, "p"), o.run);
        error = "keep";
        QCOMPARE(Engine::setClock(QDateTime::currentDateTimeUtc(), false, &error), o.set);
        QCOMPARE(error, o.setError);
        QCOMPARE(Engine::setClock(QDateTime::currentDateTimeUtc(), false), o.set);
    }

    // Set up through the administrator step, a sync asked for without a password, removed.
    void setUpAndSyncNow()
    {
        qunsetenv("TV_RECORD_FILE");
        const char* syncJob = SelfTestRoot::kSyncLabel;
        QVERIFY(notSetUp());
        QCOMPARE(Engine::run({"install", "--server", "192.0.2.2"}, "p"), R::Done);
        QCOMPARE(Engine::currentSetup().server, QString("192.0.2.2"));
        QVERIFY(Engine::currentSetup().hasBeforeSetup);
        // The run at load logs its sync when its SNTP call ends: wait for it, then for one more.
        QVERIFY(m_root.ranAtLoad(syncJob));
        const int runs = m_root.finishedRuns(syncJob);
        QVERIFY(Engine::syncNowWithoutPassword());
        QVERIFY(waitFor([&] { return m_root.finishedRuns(syncJob) > runs; }, 20000));
        QCOMPARE(m_root.read(m_root.logPath()).count("sync against 192.0.2.2"), runs + 1);
        QCOMPARE(Engine::run({"remove"}, "p"), R::Done);
        // A state folder again, with a request file that is not ours to write.
        QVERIFY(m_root.plant(m_root.state("set-time-request"), "", 0444));
        QVERIFY(notSetUp());
        QVERIFY(!Engine::canSetClockWithoutPassword());
    }

    // The clock set in whole seconds of UTC as administrator, who may grant it to this user.
    void setClockAsAdministrator()
    {
        qunsetenv("TV_RECORD_FILE");
        QCOMPARE(Engine::setClock(m_t, false), S::Set);
        QCOMPARE(m_root.read("clock-set-to"), setTo(0));
        QCOMPARE(prompt(), m_ask + ".");
        QVERIFY(!Engine::canSetClockWithoutPassword());
        QCOMPARE(Engine::setClock(m_t.addSecs(60), true), S::Set);
        QCOMPARE(prompt(), m_ask + ", and to let you set it from here without one from now on.");
        QVERIFY(Engine::canSetClockWithoutPassword());
    }

    // Through the grant, with no prompt (one would fail now) whatever dontAskAgain says, each
    // answer told from the one before it by its nonce; the grant given up.
    void setClockThroughTheGrant()
    {
        qunsetenv("TV_RECORD_FILE");
        QVERIFY(m_root.plant(m_root.state("last-sync"),
                             QByteArray::number(QDateTime::currentSecsSinceEpoch()) + "\n"));
        QCOMPARE(Engine::setClock(m_t.addSecs(60), true), S::Set); // granted, if not before
        qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        QString error = "keep";
        QCOMPARE(Engine::setClock(m_t.addSecs(120), true, &error), S::Set);
        QCOMPARE(error, "keep");
        QCOMPARE(m_root.read("clock-set-to"), setTo(120));
        QCOMPARE(Engine::setClock(QDateTime({2020, 1, 1}, {}, Qt::UTC), false, &error), S::Refused);
        const QRegularExpression refusal("^2020-01-01T00:00:00Z is earlier than this Mac's last "
                                         "sync \\(20.{17}Z\\)\\. The clock was not changed\\.$");
        QVERIFY2(refusal.match(error).hasMatch(), qPrintable(error));
        QVERIFY(Engine::giveUpSettingClockWithoutPassword());
        QVERIFY(waitFor([] { return !Engine::canSetClockWithoutPassword(); }));
    }

    // A grant whose job is gone: no answer in time, and it cannot be given up.
    void grantWithoutItsJob()
    {
        qunsetenv("TV_RECORD_FILE");
        QCOMPARE(Engine::setClock(m_t, true), S::Set);
        m_root.launchctl({"bootout", SelfTestRoot::domain() + "/" + SelfTestRoot::kSetTimeLabel});
        Engine::setAnswerDeadlineForTests(600);
        QString error;
        QCOMPARE(Engine::setClock(m_t, false, &error), S::Failed);
        QCOMPARE(error,
                 "The clock was not set: the job that sets it without a password did not answer.");
        QVERIFY(!Engine::giveUpSettingClockWithoutPassword());
        Engine::setAnswerDeadlineForTests(14000);
    }

    // The platform may rewrite the job in binary; the server is the argument after
    // "--server", trimmed.
    void serverInJob()
    {
        const QByteArray xml = plistXml("{ProgramArguments=[/x,--server, 192.0.2.9 ]}");
        const contract::Plist job = contract::parsePlistDict(xml.toStdString());
        char* binary = nullptr;
        uint32_t length = 0;
        plist_to_bin(job.get(), &binary, &length);
        for (const QByteArray& bytes : {xml, QByteArray(binary, length)}) {
            QVERIFY(m_root.plant(m_root.jobPlist(), bytes));
            QCOMPARE(Engine::currentSetup().server, "192.0.2.9");
        }
        free(binary);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
