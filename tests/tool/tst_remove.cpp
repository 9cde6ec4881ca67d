// Remove in self-test mode: nothing set up changes nothing; any trace of a setup is cleaned up
// with every step; the time settings go back to the record, or to the platform's default.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"

#include <QtTest>

namespace {

const QString kState = "Library/Application Support/Tessavel Veridir";

} // namespace

class TestRemove : public SelfTestCase
{
    Q_OBJECT

    QString settingsPath() const { return m_root->path() + "/system-time-settings.plist"; }
    QVariantMap settings() const { return readPlistFile(settingsPath()).toMap(); }

private slots:
    void nothingSetUp()
    {
        QVERIFY(m_root->plant("var/log/tessavel-connect.log", "old\n"));
        const ToolResult r = m_root->tool({"remove"});
        QCOMPARE(r.out,
                 QString("Tessavel Veridir is not set up on this Mac. Nothing was changed.\n"));
        QCOMPARE(r.status, 0);
        QVERIFY(!QFile::exists(settingsPath()));
    }

    // Each trace alone counts as a setup; the time settings go back as the record says.
    void removesWhatIsLeft_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QVariant>("record"); // before-setup.plist; invalid: none, text: bytes
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QString>("said");
        const QString def = "time.apple.com (Apple's default).";
        const QString own = "time.example.org (what this Mac had before setup).";
        const QVariantMap on{{"timeServer", "time.apple.com"}, {"usingNetworkTime", true}};

        QTest::newRow("state folder, record with automatic time off")
            << kState + "/sync-now"
            << QVariant(
                   QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", false}})
            << QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", false}} << own;
        QTest::newRow("state folder, record with automatic time on")
            << kState + "/sync-now"
            << QVariant(QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", true}})
            << QVariantMap{{"timeServer", "time.example.org"}, {"usingNetworkTime", true}} << own;
        QTest::newRow("record of automatic time off alone")
            << kState + "/sync-now" << QVariant(QVariantMap{{"usingNetworkTime", false}})
            << QVariantMap{{"timeServer", "time.apple.com"}, {"usingNetworkTime", false}} << def;
        QTest::newRow("record that is no plist")
            << kState + "/sync-now" << QVariant(QString("timeServer=x")) << on << def;
        QTest::newRow("sync job plist only")
            << "Library/LaunchDaemons/com.tessavel.connect.selftest.plist" << QVariant() << on
            << def;
        QTest::newRow("set-the-clock job plist only")
            << "Library/LaunchDaemons/com.tessavel.connect.settime.selftest.plist" << QVariant()
            << on << def;
        QTest::newRow("installed tool only")
            << "Library/PrivilegedHelperTools/com.tessavel.connect" << QVariant() << on << def;
        QTest::newRow("legacy tool only")
            << "usr/local/sbin/tessavel-connect" << QVariant() << on << def;
    }

    void removesWhatIsLeft()
    {
        QFETCH(QString, trace);
        QFETCH(QVariant, record);
        QFETCH(QVariantMap, settings);
        QFETCH(QString, said);
        // As install leaves them.
        QVERIFY(writePlistFile(
            settingsPath(), QVariantMap{{"timeServer", "192.0.2.9"}, {"usingNetworkTime", true}}));
        QVERIFY(m_root->plant(trace, "x"));
        if (record.typeId() == QMetaType::QVariantMap)
            QVERIFY(m_root->plant(kState + "/before-setup.plist", plistXml(record)));
        else if (record.isValid())
            QVERIFY(m_root->plant(kState + "/before-setup.plist", record.toString().toUtf8()));
        QVERIFY(m_root->plant("var/log/tessavel-connect.log", "kept\n"));

        const ToolResult r = m_root->tool({"remove"});
        QCOMPARE(r.out,
                 "Removing Tessavel Veridir\nRemoved. Time server set back to " + said + "\n");
        QCOMPARE(r.status, 0);
        QCOMPARE(this->settings(), settings);
        QVERIFY(!QFile::exists(m_root->path() + "/" + trace));
        QVERIFY(!QFile::exists(m_root->stateDir()));
        QCOMPARE(m_root->read(m_root->logPath()), QByteArray("kept\n"));
    }

    void removesAWholeSetup()
    {
        QProcessEnvironment sntp;
        sntp.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->fakeSntp(0));
        QCOMPARE(m_root->tool({"install", "--server", "192.0.2.9"}, sntp).status, 0);
        QCOMPARE(m_root->tool({"allow-set-time", "--user", QString::number(ToolHarness::testUid())})
                     .status,
                 0);
        QVERIFY(m_root->loaded(SelfTestRoot::kSyncLabel));
        QVERIFY(m_root->loaded(SelfTestRoot::kSetTimeLabel));

        const ToolResult r = m_root->tool({"uninstall"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("Removing Tessavel Veridir\n"));
        QVERIFY(!m_root->loaded(SelfTestRoot::kSyncLabel));
        QVERIFY(!m_root->loaded(SelfTestRoot::kSetTimeLabel));
        for (const QString& gone : {m_root->jobPlist(), m_root->setTimePlist(),
                                    m_root->installedBin(), m_root->stateDir()})
            QVERIFY2(!QFile::exists(gone), qPrintable(gone));
        QVERIFY(QFile::exists(m_root->logPath()));
        QVERIFY(m_root->bootOutAll());

        QCOMPARE(m_root->tool({"remove"}).out,
                 QString("Tessavel Veridir is not set up on this Mac. Nothing was changed.\n"));
    }

    // No files at all, but the job still loaded: remove still runs every step.
    void removesAJobLeftLoaded()
    {
        QProcessEnvironment sntp;
        sntp.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->fakeSntp(0));
        QCOMPARE(m_root->tool({"install", "--server", "192.0.2.9"}, sntp).status, 0);
        QVERIFY(m_root->ranAtLoad(SelfTestRoot::kSyncLabel));
        for (const QString& path : {m_root->jobPlist(), m_root->installedBin()})
            QVERIFY(QFile::remove(path));
        QVERIFY(QDir(m_root->stateDir()).removeRecursively());
        QVERIFY(m_root->loaded(SelfTestRoot::kSyncLabel));

        const ToolResult r = m_root->tool({"remove"});
        QCOMPARE(r.out, QString("Removing Tessavel Veridir\nRemoved. Time server set back to "
                                "time.apple.com (Apple's default).\n"));
        QVERIFY(!m_root->loaded(SelfTestRoot::kSyncLabel));
    }
};

QTEST_GUILESS_MAIN(TestRemove)
#include "tst_remove.moc"
