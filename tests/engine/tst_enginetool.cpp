// The engine against the real tool in self-test mode: the osascript stand-in runs it as this
// (unprivileged) user, the launchd stand-in runs its jobs, all under one test root.
#include "engine/engine.h"
#include "engine/enginetesting.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestEngineTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString state(const char* name) const
    {
        return m_root.filePath(QString("Library/Application Support/Tessavel Veridir/") + name);
    }

    static void launchctl(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(TV_LAUNCHCTL), args);
        p.waitForFinished(10000);
    }

    static QString domain() { return "gui/" + QString::number(getuid()); }

    QByteArray log() const
    {
        QFile f(m_root.filePath("var/log/tessavel-connect.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static Engine::RunResult install()
    {
        return Engine::run({"install", "--server", "192.0.2.2"}, "Set up?");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "run through tests/asuser.sh");
        QVERIFY(m_root.isValid());
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", m_root.path().toUtf8());
        qputenv("TESSAVEL_LAUNCHD_DIR", m_root.filePath("launchd").toUtf8());
        const QString sntp = m_root.filePath("fake-sntp");
        QFile s(sntp);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("#!/bin/sh\necho \"fake sntp asked $*\"\nexit 0\n");
        s.close();
        s.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TESSAVEL_CONNECT_TEST_SNTP", sntp.toUtf8());
        // The Mac's own settings before setup, as the self-test systemsetup keeps them.
        QFile settings(m_root.filePath("system-time-settings.plist"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>timeServer</key><string>time.example.org</string>"
                       "<key>usingNetworkTime</key><true/></dict></plist>\n");
    }

    void cleanupTestCase()
    {
        Engine::run({"remove"}, "Remove?");
        for (const char* label :
             {"com.tessavel.connect.selftest", "com.tessavel.connect.settime.selftest"})
            launchctl({"bootout", domain() + "/" + label});
    }

    void setupAfterInstallAndRemove()
    {
        Engine::Setup s = Engine::currentSetup();
        QCOMPARE(s.server, QString());
        QVERIFY(!s.hasBeforeSetup);
        QVERIFY(!Engine::syncNowWithoutPassword()); // no sync-now file yet

        QCOMPARE(install(), Engine::RunResult::Done);
        s = Engine::currentSetup();
        QCOMPARE(s.server, QString("192.0.2.2"));
        QVERIFY(s.hasBeforeSetup);

        // The sync job watches the sync-now file: writing it runs one more sync.
        const int before = log().count("tessavel-connect: sync against 192.0.2.2");
        QVERIFY(before >= 1);
        QVERIFY(Engine::syncNowWithoutPassword());
        QTRY_VERIFY_WITH_TIMEOUT(log().count("tessavel-connect: sync against 192.0.2.2") > before,
                                 5000);

        QCOMPARE(Engine::run({"remove"}, "Remove?"), Engine::RunResult::Done);
        s = Engine::currentSetup();
        QCOMPARE(s.server, QString());
        QVERIFY(!s.hasBeforeSetup);
        QVERIFY(!Engine::syncNowWithoutPassword());
    }

    void setClockThroughThePrompt()
    {
        QCOMPARE(install(), Engine::RunResult::Done);
        QVERIFY(!Engine::canSetClockWithoutPassword());
        const QDateTime later = QDateTime::currentDateTimeUtc().addSecs(3600);
        QString error = "keep";
        QCOMPARE(Engine::setClock(later, false, &error), Engine::SetClockResult::Set);
        QCOMPARE(error, QString("keep"));
        QVERIFY(!Engine::canSetClockWithoutPassword()); // no grant asked for

        // Earlier than the last sync: the tool's sentence, cleaned of osascript's frame.
        QCOMPARE(
            Engine::setClock(QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC), false, &error),
            Engine::SetClockResult::Refused);
        QVERIFY2(error.startsWith("2020-01-01T00:00:00Z is earlier than this Mac's last sync ("),
                 qPrintable(error));
        QVERIFY2(error.endsWith("The clock was not changed."), qPrintable(error));
    }

    void setClockThroughTheGrant()
    {
        const QDateTime later = QDateTime::currentDateTimeUtc().addSecs(7200);
        QString error = "keep";
        // The administrator path with the grant, then the password-free path.
        QCOMPARE(Engine::setClock(later, true, &error), Engine::SetClockResult::Set);
        QVERIFY(Engine::canSetClockWithoutPassword());
        const QString text = later.toString("yyyy-MM-ddTHH:mm:ss") + "Z";
        QFile clock(m_root.filePath("clock-set-to"));
        QVERIFY(clock.open(QIODevice::ReadOnly));
        QCOMPARE(clock.readAll().trimmed(), text.toLatin1());
        clock.close();

        // The result file now holds that answer; the next request polls past it.
        QFile::remove(m_root.filePath("clock-set-to"));
        const QDateTime again = later.addSecs(60);
        QCOMPARE(Engine::setClock(again, false, &error), Engine::SetClockResult::Set);
        QVERIFY(clock.open(QIODevice::ReadOnly));
        QCOMPARE(clock.readAll().trimmed(),
                 (again.toString("yyyy-MM-ddTHH:mm:ss") + "Z").toLatin1());

        QCOMPARE(
            Engine::setClock(QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC), false, &error),
            Engine::SetClockResult::Refused);
        QVERIFY2(error.contains("is earlier than this Mac's last sync"), qPrintable(error));
    }

    void jobThatDoesNotAnswer()
    {
        QVERIFY(Engine::canSetClockWithoutPassword());
        launchctl({"bootout", domain() + "/com.tessavel.connect.settime.selftest"});
        Engine::setAnswerDeadlineForTests(600);
        QString error;
        QCOMPARE(Engine::setClock(QDateTime::currentDateTimeUtc(), false, &error),
                 Engine::SetClockResult::Failed);
        QCOMPARE(error, QString("The clock was not set: the job that sets it without a password "
                                "did not answer."));
        QVERIFY(!Engine::giveUpSettingClockWithoutPassword());
        Engine::setAnswerDeadlineForTests(14000);
    }

    void giveUp()
    {
        // The request file is still there, so setClock would wait for the job: grant again
        // through the administrator step itself, which loads the job anew.
        const QString later =
            QDateTime::currentDateTimeUtc().addSecs(10800).toString("yyyy-MM-ddTHH:mm:ss") + "Z";
        QCOMPARE(Engine::run({"set-time", later, "--allow-user", QString::number(getuid())}, "p"),
                 Engine::RunResult::Done);
        QVERIFY(Engine::canSetClockWithoutPassword());
        QVERIFY(Engine::giveUpSettingClockWithoutPassword());
        QTRY_VERIFY_WITH_TIMEOUT(!Engine::canSetClockWithoutPassword(), 5000);
    }
};

QTEST_GUILESS_MAIN(TestEngineTool)
#include "tst_enginetool.moc"
