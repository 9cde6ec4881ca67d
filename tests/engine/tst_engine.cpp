// The engine end to end: Engine::run through the osascript stand-in to a tool that records what
// reaches it, then the setup and the password-free paths against the real tool in self-test
// mode, its jobs run by the launchd stand-in. Built twice: with the tool in the bundle, and
// without, where the shell finds it on the search path.
#include "engine.h"
#include "enginetesting.h"
#include "selftestroot.h"

#include <QtTest>

#include <unistd.h>

using R = Engine::RunResult;
using S = Engine::SetClockResult;

class TestEngine : public QObject
{
    Q_OBJECT

    SelfTestRoot m_root;

    // The recording tool's path, then its words.
    QStringList recorded() const
    {
        QStringList words = QString::fromUtf8(m_root.read("args")).split(QChar(0));
        words.removeLast(); // after the last terminator
        return words;
    }
    void recordTool(const QByteArray& out, const QByteArray& err, const QByteArray& exit) const
    {
        QFile::remove(m_root.path() + "/args");
        qputenv("TV_RECORD_FILE", (m_root.path() + "/args").toUtf8());
        qputenv("TV_RECORD_OUT", out), qputenv("TV_RECORD_ERR", err);
        qputenv("TV_RECORD_EXIT", exit);
    }
    static QString unplaced(QString error)
    {
        return error.replace(QRegularExpression("^0:\\d+:"), "0:N:");
    }
    static QByteArray text(const QDateTime& t)
    {
        return t.toUTC().toString("yyyy-MM-ddTHH:mm:ss").toLatin1() + "Z";
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "run through tests/asuser.sh");
        QProcessEnvironment env = m_root.env();
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root.fakeSntp(0));
        env.insert("TV_REAL_TOOL", TV_REAL_TOOL);
        env.insert("TESSAVEL_OSASCRIPT_PROMPT_FILE", m_root.path() + "/prompt");
        env.insert("PATH", TV_RECORDER_DIR ":" + qEnvironmentVariable("PATH"));
        // This Mac's settings before setup, where the self-test systemsetup keeps them.
        QVERIFY(m_root.plant("system-time-settings.plist",
                             "<plist><dict><key>timeServer</key><string>time.example.org</string>"
                             "<key>usingNetworkTime</key><true/></dict></plist>\n"));
        for (const QString& k : env.keys())
            qputenv(qPrintable(k), env.value(k).toUtf8());
    }

    void init()
    {
        for (const char* v : {"TV_RECORD_FILE", "TESSAVEL_OSASCRIPT_CANCEL"})
            qunsetenv(v);
    }

    void osascriptStandInTakesOneFormOnly_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString cmd = "do shell script \"printf '%s|' a\\\\\\\"b; echo e >&2; exit $#\"";
        const QString tail = " with prompt \"p\\\"q\" with administrator privileges";
        const QString no = "0:N: syntax error: not the statement form of this stand-in (-2741)\n";
        QTest::newRow("the application's form") << QStringList{"-e", cmd + tail} << "a\"b|" << "";
        QTest::newRow("a failing command")
            << QStringList{"-e", QString(cmd).replace("$#", "3") + tail} << ""
            << "0:N: execution error: e (3)\n";
        QTest::newRow("no -e") << QStringList{cmd + tail} << "" << no;
        QTest::newRow("no administrator privileges")
            << QStringList{"-e", cmd + " with prompt \"p\""} << "" << no;
        QTest::newRow("text after it") << QStringList{"-e", cmd + tail + " and"} << "" << no;
    }
    void osascriptStandInTakesOneFormOnly()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        p.start(TV_OSASCRIPT, args);
        QVERIFY(p.waitForFinished());
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        QCOMPARE(unplaced(QString::fromUtf8(p.readAllStandardError())), err);
        QCOMPARE(p.exitCode(), err.isEmpty() ? 0 : 1);
    }

    // Every word and the prompt arrive as they left, through the shell and AppleScript.
    void quoting_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("plain") << QStringList{"install", "--server", "192.0.2.2"} << "A prompt.";
        QTest::newRow("single quotes") << QStringList{"it's", "'", "''"} << "Don't 'quote' me";
        QTest::newRow("double quotes") << QStringList{"\"", "say \"hi\""} << "a \"quoted\" word";
        QTest::newRow("backslashes") << QStringList{"\\", "a\\\"b", "\\\\'"} << "c:\\ \\\" \\'";
        QTest::newRow("spaces, empty word") << QStringList{"a b", "", "  "} << "  ";
        QTest::newRow("shell specials")
            << QStringList{"$HOME", "`id`", "; rm -rf /", "*", "a\nb"} << "$(id) and `id`";
        QTest::newRow("non-ASCII") << QStringList{"Zeit \u00FC \u6642"} << "\u00E9 \U0001F510";
    }
    void quoting()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, prompt);
        recordTool("", "", "0");
        QCOMPARE(Engine::run(args, prompt), R::Done);
        QCOMPARE(recorded(), QStringList{TV_EXPECTED_TOOL} + args);
        QCOMPARE(QString::fromUtf8(m_root.read("prompt")), prompt);
    }

    // One tool outcome, as Engine::run reports it and as setClock's administrator path does.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QByteArray>("exit"); // "cancel": the password dialog is cancelled
        QTest::addColumn<R>("run");
        QTest::addColumn<QString>("runError"); // "keep": left as it was
        QTest::addColumn<S>("set");
        QTest::addColumn<QString>("setError");
        const QByteArray marker = "tessavel-connect-result: no-answer";
        const QString earlier = "error: 2026-01-01T00:00:00Z is earlier than this Mac's last sync "
                                "(2026-02-01T00:00:00Z).";
        const QString failed = "The administrator step was cancelled or failed.";
        QTest::newRow("done") << QByteArray("tessavel-connect-result: synced") << QByteArray()
                              << QByteArray("0") << R::Done << "keep" << S::Set << "keep";
        QTest::newRow("no answer") << "Installed.\n" + marker << QByteArray() << QByteArray("0")
                                   << R::NoAnswer << "keep" << S::Set << "keep";
        QTest::newRow("marker in other case") << marker.toUpper() << QByteArray()
                                              << QByteArray("0") << R::Done << "keep" << S::Set
                                              << "keep";
        QTest::newRow("marker, status 1") << marker << QByteArray("error: bad\n")
                                          << QByteArray("1") << R::Failed
                                          << "0:N: execution error: error: bad (1)" << S::Failed
                                          << "error: bad";
        QTest::newRow("refused earlier time") << QByteArray() << earlier.toUtf8()
                                              << QByteArray("1") << R::Failed
                                              << "0:N: execution error: " + earlier + " (1)"
                                              << S::Refused << earlier;
        QTest::newRow("cancelled") << QByteArray() << QByteArray() << QByteArray("cancel")
                                   << R::Failed << "0:N: execution error: User canceled. (-128)"
                                   << S::Failed << "";
        QTest::newRow("osascript crashed") << QByteArray() << QByteArray()
                                           << QByteArray("crash") << R::Failed << failed
                                           << S::Failed << failed;
    }
    void outcomes()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QByteArray, exit);
        recordTool(out, err, exit);
        if (exit == "cancel") qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        QString error = "keep";
        QTEST(Engine::run({"install"}, "p", &error), "run");
        QTEST(unplaced(error), "runError");
        QTEST(Engine::run({"install"}, "p"), "run");
        error = "keep";
        QTEST(Engine::setClock(QDateTime::currentDateTimeUtc(), false, &error), "set");
        QTEST(error, "setError");
        QTEST(Engine::setClock(QDateTime::currentDateTimeUtc(), false), "set");
    }

    // Milliseconds dropped, another zone converted to UTC, the grant asked for or not.
    void setClockWords_data()
    {
        QTest::addColumn<bool>("grant");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("prompt");
        const QString ask = "Tessavel Veridir needs an administrator password to set this Mac's "
                            "clock";
        QTest::newRow("once") << false << QStringList{"set-time", "2026-03-01T10:20:30Z"}
                              << ask + ".";
        QTest::newRow("and grant")
            << true
            << QStringList{"set-time", "2026-03-01T10:20:30Z", "--allow-user",
                           QString::number(getuid())}
            << ask + ", and to let you set it from here without one from now on.";
    }
    void setClockWords()
    {
        QFETCH(bool, grant);
        QFETCH(QStringList, words);
        recordTool("", "", "0");
        const QDateTime t(QDate(2026, 3, 1), QTime(12, 20, 30, 999), QTimeZone(2 * 3600));
        QCOMPARE(Engine::setClock(t, grant), S::Set);
        QCOMPARE(recorded(), QStringList{TV_EXPECTED_TOOL} + words);
        QTEST(QString::fromUtf8(m_root.read("prompt")), "prompt");
    }

    void serverInJobPlist_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("server");
        QTest::newRow("next string, trimmed")
            << QByteArray("<a><key>--server</key><string>--server</string><b/><string> 192.0.2.9"
                          "\n</string><string>--server</string><string>x</string></a>")
            << "192.0.2.9";
        QTest::newRow("--server compared untrimmed")
            << QByteArray("<a><string> --server</string><string>x</string></a>") << "";
        QTest::newRow("none") << QByteArray("<a><string>x</string></a>") << "";
        QTest::newRow("no file") << QByteArray() << "";
    }
    void serverInJobPlist()
    {
        QFETCH(QByteArray, xml);
        QFile::remove(m_root.path() + "/job.plist");
        if (!xml.isEmpty()) QVERIFY(m_root.plant("job.plist", xml));
        QTEST(Engine::serverInJobPlist(m_root.path() + "/job.plist"), "server");
    }

    // The real tool: set up, sync now, set the clock with and without the grant, remove.
    void againstTheTool()
    {
        const char* syncJob = SelfTestRoot::kSyncLabel;
        QCOMPARE(Engine::currentSetup().server, QString());
        QVERIFY(!Engine::currentSetup().hasBeforeSetup);
        QVERIFY(!Engine::syncNowWithoutPassword()); // never creates the file
        QCOMPARE(Engine::run({"install", "--server", "192.0.2.2"}, "p"), R::Done);
        QCOMPARE(Engine::currentSetup().server, QString("192.0.2.2"));
        QVERIFY(Engine::currentSetup().hasBeforeSetup);

        // The run at load logs its sync when its SNTP call ends: wait for that run, then one
        // more run for the sync-now request.
        QVERIFY(m_root.ranAtLoad(syncJob));
        const int runs = m_root.finishedRuns(syncJob);
        QVERIFY(Engine::syncNowWithoutPassword());
        QCOMPARE(m_root.read(m_root.state("sync-now")), QByteArray("now\n"));
        QVERIFY(waitFor([&] { return m_root.finishedRuns(syncJob) > runs; }, 20000));
        QCOMPARE(m_root.read(m_root.logPath()).count("sync against 192.0.2.2"), runs + 1);

        const QDateTime later = QDateTime::currentDateTimeUtc().addSecs(3600);
        const QDateTime early(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
        const QRegularExpression refusal("^2020-01-01T00:00:00Z is earlier than this Mac's last "
                                         "sync \\(\\d{4}(-\\d\\d){2}T\\d\\d(:\\d\\d){2}Z\\)\\. "
                                         "The clock was not changed\\.$");
        QString error = "keep";
        QCOMPARE(Engine::setClock(later, false, &error), S::Set);
        QCOMPARE(m_root.read("clock-set-to"), text(later) + "\n");
        QVERIFY(!Engine::canSetClockWithoutPassword());
        QCOMPARE(Engine::setClock(early, false, &error), S::Refused);
        QVERIFY2(refusal.match(error).hasMatch(), qPrintable(error));
        QCOMPARE(Engine::setClock(later.addSecs(60), true, &error), S::Set);
        QVERIFY(Engine::canSetClockWithoutPassword());

        // With the grant no prompt is shown (one would fail now), whatever dontAskAgain says;
        // each answer is told from the one before it by its nonce.
        qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        error = "keep";
        QCOMPARE(Engine::setClock(later.addSecs(120), true, &error), S::Set);
        QCOMPARE(error, QString("keep"));
        QCOMPARE(m_root.read("clock-set-to"), text(later.addSecs(120)) + "\n");
        QCOMPARE(Engine::setClock(early, false, &error), S::Refused);
        QVERIFY2(refusal.match(error).hasMatch(), qPrintable(error));
        QVERIFY(Engine::giveUpSettingClockWithoutPassword());
        QVERIFY(waitFor([] { return !Engine::canSetClockWithoutPassword(); }));

        // A granted job that does not answer.
        qunsetenv("TESSAVEL_OSASCRIPT_CANCEL");
        QCOMPARE(Engine::setClock(later.addSecs(180), true), S::Set);
        m_root.launchctl({"bootout", SelfTestRoot::domain() + "/" + SelfTestRoot::kSetTimeLabel});
        Engine::setAnswerDeadlineForTests(600);
        QCOMPARE(Engine::setClock(later, false, &error), S::Failed);
        QCOMPARE(error, QString("The clock was not set: the job that sets it without a password "
                                "did not answer."));
        QVERIFY(!Engine::giveUpSettingClockWithoutPassword());
        Engine::setAnswerDeadlineForTests(14000);

        QCOMPARE(Engine::run({"remove"}, "p"), R::Done);
        QCOMPARE(Engine::currentSetup().server, QString());
        QVERIFY(!Engine::currentSetup().hasBeforeSetup);
        QVERIFY(!Engine::syncNowWithoutPassword());
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
