// Install in self-test mode as a user, with a stand-in SNTP client and the launchd stand-in:
// the messages and result line, the job plist key by key, the files and their modes, the
// before-setup record kept across installs, a job the loader refuses, and a re-install by the
// installed copy.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kServer = "192.0.2.9";
const QRegularExpression kSyncLine("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ tessavel-connect: "
                                   "sync against (\\S+) \\(exit (-?\\d+)\\)$");

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::stat(qPrintable(path), &st) == 0 ? st.st_mode & 07777 : 0;
}

ino_t inodeOf(const QString& path)
{
    struct stat st;
    return ::stat(qPrintable(path), &st) == 0 ? st.st_ino : 0;
}

} // namespace

class TestInstall : public SelfTestCase
{
    Q_OBJECT

    ToolResult install(const QStringList& args, int sntpStatus = 0,
                       const QProcessEnvironment& extra = {}, const QString& program = {})
    {
        QProcessEnvironment env = extra;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->fakeSntp(sntpStatus));
        return m_root->tool(QStringList{"install"} + args, env, program);
    }

    QVariantMap settings() const
    {
        return readPlistFile(m_root->path() + "/system-time-settings.plist").toMap();
    }

private slots:
    void install_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("sntpStatus");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("every");
        const QStringList server{"--server", kServer};
        QTest::newRow("default interval, synced") << server << 0 << kServer << 1800 << "30 minutes";
        QTest::newRow("interval 5 becomes 60")
            << server + QStringList{"--interval", "5"} << 0 << kServer << 60 << "1 minute";
        QTest::newRow("interval 60 stays")
            << server + QStringList{"--interval", "60"} << 0 << kServer << 60 << "1 minute";
        QTest::newRow("interval 61 in seconds")
            << server + QStringList{"--interval", "61"} << 0 << kServer << 61 << "61 seconds";
        QTest::newRow("interval 120 in minutes")
            << QStringList{"--interval", "120"} + server << 0 << kServer << 120 << "2 minutes";
        QTest::newRow("negative interval becomes 60")
            << server + QStringList{"--interval", "-300"} << 0 << kServer << 60 << "1 minute";
        QTest::newRow("interval not a number is absent")
            << server + QStringList{"--interval", "soon"} << 0 << kServer << 1800 << "30 minutes";
        QTest::newRow("interval without a value is absent")
            << server + QStringList{"--interval"} << 0 << kServer << 1800 << "30 minutes";
        QTest::newRow("a server with a name")
            << server + QStringList{"--name", "Lab Clock"} << 0 << "\"Lab Clock\" (" + kServer + ")"
            << 1800 << "30 minutes";
        QTest::newRow("no answer is still status 0")
            << server << 1 << kServer << 1800 << "30 minutes";
    }

    void install()
    {
        QFETCH(QStringList, args);
        QFETCH(int, sntpStatus);
        QFETCH(QString, label);
        QFETCH(int, interval);
        QFETCH(QString, every);
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));

        const ToolResult r = install(args, sntpStatus);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QStringList out = r.out.split('\n');
        QCOMPARE(out.size(), 8);
        QCOMPARE(out.takeLast(), QString());
        const auto sync = kSyncLine.match(out[2]);
        QVERIFY2(sync.hasMatch(), qPrintable(out[2]));
        QCOMPARE(sync.captured(1), kServer);
        QCOMPARE(sync.captured(2).toInt(), sntpStatus);
        const bool synced = sntpStatus == 0;
        QCOMPARE(out, (QStringList{
                          "Setting up Tessavel Veridir -> " + label + ", every " + every,
                          "Setting the clock from " + label + " now...",
                          out[2],
                          "fake sntp asked " + kServer,
                          synced ? "Done. This Mac syncs with " + label + " at startup and every " +
                                       every + "."
                                 : "Set up, but " + label +
                                       " did not answer a time request. This Mac keeps trying at "
                                       "startup and every " +
                                       every + ".",
                          "Log: " + m_root->logPath(),
                          QString("tessavel-connect-result: ") + (synced ? "synced" : "no-answer"),
                      }));

        const QString syncNow = m_root->state("sync-now");
        const QVariantMap job = readPlistFile(m_root->jobPlist()).toMap();
        QCOMPARE(job,
                 (QVariantMap{
                     {"Label", SelfTestRoot::kSyncLabel},
                     {"ProgramArguments",
                      QVariantList{m_root->installedBin(), "sync", "--server", kServer}},
                     {"RunAtLoad", true},
                     {"StartInterval", qint64(interval)},
                     {"WatchPaths", QVariantList{syncNow}},
                     {"StandardOutPath", m_root->logPath()},
                     {"StandardErrorPath", m_root->logPath()},
                     {"EnvironmentVariables",
                      QVariantMap{{"TESSAVEL_CONNECT_TEST_ROOT", m_root->path()},
                                  {"TESSAVEL_CONNECT_TEST_SNTP", m_root->path() + "/fake-sntp"}}},
                 }));
        // The application finds the server as the string after the one holding --server.
        QVERIFY(m_root->read(m_root->jobPlist()).contains("<string>--server</string>"));

        QCOMPARE(modeOf(m_root->installedBin()), mode_t(0755));
        QCOMPARE(m_root->read(m_root->installedBin()), m_root->read(ToolHarness::toolPath()));
        QCOMPARE(modeOf(m_root->stateDir()), mode_t(0755));
        QCOMPARE(modeOf(syncNow), mode_t(0666));
        QCOMPARE(QFileInfo(syncNow).size(), 0);
        QCOMPARE(modeOf(m_root->jobPlist()), mode_t(0644));
        QVERIFY(!QFile::exists(m_root->path() + "/usr/local/sbin/tessavel-connect"));
        // Settings that could not be read leave no before-setup record.
        QVERIFY(!QFile::exists(m_root->state("before-setup.plist")));
        QCOMPARE(settings(), (QVariantMap{{"timeServer", kServer}, {"usingNetworkTime", true}}));
        QCOMPARE(QFile::exists(m_root->state("last-sync")), synced);

        // The job is loaded, and its run at load went to the log.
        QVERIFY(m_root->loaded(SelfTestRoot::kSyncLabel));
        QTRY_VERIFY(
            m_root->read(m_root->logPath()).contains("fake sntp asked " + kServer.toUtf8()));
        const QString log = QString::fromUtf8(m_root->read(m_root->logPath()));
        QVERIFY2(kSyncLine.match(log.split('\n').first()).hasMatch(), qPrintable(log));
    }

    // The record of the Mac's own settings is made once; a second install changes server and
    // interval and reloads the job.
    void secondInstallKeepsTheRecord()
    {
        QVERIFY(writePlistFile(
            m_root->path() + "/system-time-settings.plist",
            QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", false}}));
        QCOMPARE(install({"--server", "192.0.2.3"}).status, 0);
        const QByteArray record = m_root->read(m_root->state("before-setup.plist"));
        QCOMPARE(readPlistXml(record).toMap(),
                 (QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", false}}));
        QTRY_VERIFY(m_root->read(m_root->logPath()).contains("fake sntp asked 192.0.2.3"));

        const ToolResult again = install({"--server", "192.0.2.4", "--interval", "120"});
        QCOMPARE(again.status, 0);
        QCOMPARE(m_root->read(m_root->state("before-setup.plist")), record);
        const QVariantMap job = readPlistFile(m_root->jobPlist()).toMap();
        QCOMPARE(job["ProgramArguments"].toList().last().toString(), QString("192.0.2.4"));
        QCOMPARE(job["StartInterval"].toLongLong(), 120);
        QCOMPARE(settings(),
                 (QVariantMap{{"timeServer", "192.0.2.4"}, {"usingNetworkTime", true}}));
        // Reloaded: the new job ran at its load.
        QTRY_VERIFY(m_root->read(m_root->logPath()).contains("fake sntp asked 192.0.2.4"));
        QVERIFY(
            m_root->launchctl({"print", SelfTestRoot::domain() + "/" + SelfTestRoot::kSyncLabel})
                .out.contains("run interval = 120 seconds"));
    }

    void onlyTheReadableSettingIsRecorded()
    {
        QVERIFY(writePlistFile(m_root->path() + "/system-time-settings.plist",
                               QVariantMap{{"usingNetworkTime", true}, {"timeServer", 7}}));
        QCOMPARE(install({"--server", kServer}).status, 0);
        QCOMPARE(readPlistFile(m_root->state("before-setup.plist")).toMap(),
                 (QVariantMap{{"usingNetworkTime", true}}));
    }

    void aJobTheLoaderRefusesEndsInstall()
    {
        QVERIFY(m_root->plant("usr/local/sbin/tessavel-connect", "an older install"));
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_DOMAIN", "system"); // not this user's to load into
        QElapsedTimer t;
        t.start();
        const ToolResult r = install({"--server", kServer}, 0, env);
        QCOMPARE(r.err, QString("error: the background job did not load (Bootstrap failed: 1: "
                                "Operation not permitted). Its files are in place, so it starts "
                                "at the next restart; run setup again to load it now.\n"));
        QCOMPARE(r.status, 1);
        QVERIFY2(t.elapsed() >= 2500, "five attempts half a second apart");
        QVERIFY(!r.out.contains("tessavel-connect-result:"));
        QVERIFY(!r.out.contains("Setting the clock"));
        QVERIFY(QFile::exists(m_root->jobPlist()));
        QVERIFY(QFile::exists(m_root->path() + "/usr/local/sbin/tessavel-connect"));
    }

    // A link in the sync-now file's place would make "chmod 666" open up what it points at.
    void aLinkInPlaceOfSyncNowIsReplaced()
    {
        QVERIFY(m_root->plant("victim", "keep me", 0600));
        QVERIFY(m_root->plant(m_root->state("placeholder"), ""));
        QCOMPARE(::symlink(qPrintable(m_root->path() + "/victim"),
                           qPrintable(m_root->state("sync-now"))),
                 0);
        QCOMPARE(install({"--server", kServer}).status, 0);
        QCOMPARE(modeOf(m_root->path() + "/victim"), mode_t(0600));
        QVERIFY(!QFileInfo(m_root->state("sync-now")).isSymLink());
        QCOMPARE(modeOf(m_root->state("sync-now")), mode_t(0666));
    }

    void theInstalledCopyReinstallsItself()
    {
        QCOMPARE(install({"--server", kServer}).status, 0);
        const ino_t before = inodeOf(m_root->installedBin());
        ::chmod(qPrintable(m_root->installedBin()), 0700);
        const ToolResult r = install({"--server", "192.0.2.5"}, 0, {}, m_root->installedBin());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.endsWith("tessavel-connect-result: synced\n"));
        QCOMPARE(inodeOf(m_root->installedBin()), before); // not copied over itself
        QCOMPARE(modeOf(m_root->installedBin()), mode_t(0755));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
