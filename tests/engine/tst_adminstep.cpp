// Engine::run end to end through the osascript stand-in: every word and the prompt arrive as
// they left, and the outcome reduces to the three results.
#include "engine/engine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestAdminStep : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString recordFile() const { return m_dir.filePath("args"); }
    QString promptFile() const { return m_dir.filePath("prompt"); }

    QStringList recorded() const
    {
        QFile f(recordFile());
        if (!f.open(QIODevice::ReadOnly)) return {"<not run>"};
        QStringList words;
        for (const QByteArray& w : f.readAll().split('\0'))
            words << QString::fromUtf8(w);
        words.removeLast(); // after the last terminator
        return words;
    }

    static void setTool(const char* out, const char* err, int exit)
    {
        qputenv("TV_RECORD_OUT", out);
        qputenv("TV_RECORD_ERR", err);
        qputenv("TV_RECORD_EXIT", QByteArray::number(exit));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "run through tests/asuser.sh");
        qputenv("TV_RECORD_FILE", recordFile().toUtf8());
        qputenv("TESSAVEL_OSASCRIPT_PROMPT_FILE", promptFile().toUtf8());
    }

    void init()
    {
        QFile::remove(recordFile());
        qunsetenv("TESSAVEL_OSASCRIPT_CANCEL");
        setTool("", "", 0);
    }

#ifndef TV_BARE_TOOL
    void quoting_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("plain words")
            << QStringList{"install", "--server", "192.0.2.2"} << "A plain prompt.";
        QTest::newRow("single quotes") << QStringList{"it's", "'", "''"} << "Don't 'quote' me";
        QTest::newRow("double quotes") << QStringList{"\"", "say \"hi\""} << "a \"quoted\" word";
        QTest::newRow("backslashes") << QStringList{"\\", "a\\\"b", "\\\\'"} << "c:\\ \\\" \\'";
        QTest::newRow("spaces and an empty word") << QStringList{"a b", "", "  "} << "  ";
        QTest::newRow("shell specials")
            << QStringList{"$HOME", "`id`", "; rm -rf /", "*", "a\nb"} << "$(id) and `id`";
        QTest::newRow("non-ASCII") << QStringList{"Zeit \u00FC \u6642", "\u2014"}
                                   << "Mot de passe \u00E9 \u2014 \U0001F510";
    }

    void quoting()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, prompt);
        QCOMPARE(Engine::run(args, prompt), Engine::RunResult::Done);
        QCOMPARE(recorded(), args);
        QFile p(promptFile());
        QVERIFY(p.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(p.readAll()), prompt);
    }

    void results_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("exit");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("error"); // "keep": left as it was
        using R = Engine::RunResult;
        QTest::newRow("done") << QByteArray("tessavel-connect-result: synced") << QByteArray() << 0
                              << false << int(R::Done) << "keep";
        QTest::newRow("no-answer marker with status 0")
            << QByteArray("Installed.\ntessavel-connect-result: no-answer") << QByteArray() << 0
            << false << int(R::NoAnswer) << "keep";
        QTest::newRow("marker in other case is no marker")
            << QByteArray("TESSAVEL-CONNECT-RESULT: NO-ANSWER") << QByteArray() << 0 << false
            << int(R::Done) << "keep";
        QTest::newRow("no-answer marker with status 1")
            << QByteArray("tessavel-connect-result: no-answer") << QByteArray("error: bad") << 1
            << false << int(R::Failed) << "0:*: execution error: error: bad (1)";
        QTest::newRow("tool fails")
            << QByteArray() << QByteArray("error: could not write") << 1 << false << int(R::Failed)
            << "0:*: execution error: error: could not write (1)";
        QTest::newRow("cancelled prompt")
            << QByteArray() << QByteArray() << 0 << true << int(R::Failed)
            << "0:0: execution error: User canceled. (-128)";
    }

    void results()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(int, exit);
        QFETCH(bool, cancel);
        QFETCH(int, result);
        QFETCH(QString, error);
        setTool(out, err, exit);
        if (cancel) qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        QString got = "keep";
        QCOMPARE(int(Engine::run({"install"}, "p", &got)), result);
        if (error.contains('*')) {
            QVERIFY2(
                QRegularExpression(QRegularExpression::wildcardToRegularExpression(
                                       error, QRegularExpression::UnanchoredWildcardConversion))
                    .match(got)
                    .hasMatch(),
                qPrintable(got));
        } else {
            QCOMPARE(got, error);
        }
        // A null error pointer is fine in every outcome.
        QCOMPARE(int(Engine::run({"install"}, "p", nullptr)), result);
    }

    void setClockThroughThePrompt_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("error");
        using R = Engine::SetClockResult;
        QTest::newRow("cancel gives an empty error")
            << true << QByteArray() << int(R::Failed) << "";
        QTest::newRow("refusal cleaned of position and number")
            << false
            << QByteArray("error: 2026-01-01T00:00:00Z is earlier than this Mac's last sync "
                          "(2026-02-01T00:00:00Z).")
            << int(R::Refused)
            << "error: 2026-01-01T00:00:00Z is earlier than this Mac's last sync "
               "(2026-02-01T00:00:00Z).";
        QTest::newRow("other failure") << false << QByteArray("error: is not a time")
                                       << int(R::Failed) << "error: is not a time";
    }

    void setClockThroughThePrompt()
    {
        QFETCH(bool, cancel);
        QFETCH(QByteArray, err);
        QFETCH(int, result);
        QFETCH(QString, error);
        setTool("", err, cancel ? 0 : 1);
        if (cancel) qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        QString got = "keep";
        const QDateTime t(QDate(2026, 3, 1), QTime(10, 20, 30, 999), Qt::UTC);
        QCOMPARE(int(Engine::setClock(t, false, &got)), result);
        QCOMPARE(got, error);
    }

    // Milliseconds dropped, another zone converted to UTC, and the grant asked for.
    void setClockWords()
    {
        const QDateTime t(QDate(2026, 3, 1), QTime(12, 20, 30, 999), QTimeZone(2 * 3600));
        QString error = "keep";
        QCOMPARE(Engine::setClock(t, true, &error), Engine::SetClockResult::Set);
        QCOMPARE(error, QString("keep"));
        QCOMPARE(recorded(), (QStringList{"set-time", "2026-03-01T10:20:30Z", "--allow-user",
                                          QString::number(getuid())}));
        QFile p(promptFile());
        QVERIFY(p.open(QIODevice::ReadOnly));
        QCOMPARE(p.readAll(), QByteArray("Tessavel Veridir needs an administrator password to set "
                                         "this Mac's clock, and to let you set it from here "
                                         "without one from now on."));
    }
#else
    // Without a tool in the bundle the shell looks the bare name up on its search path.
    void bareNameFallback()
    {
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() +
                               "/../Helpers/tessavel-connect"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray(TV_RECORDER_DIR) + ":" + path);
        const auto r = Engine::run({"status"}, "p");
        qputenv("PATH", path);
        QCOMPARE(r, Engine::RunResult::Done);
        QCOMPARE(recorded(), QStringList{"status"});
    }
#endif
};

QTEST_GUILESS_MAIN(TestAdminStep)
#include "tst_adminstep.moc"
