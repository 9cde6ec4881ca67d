// Start-up values: who is root, where self-test mode moves every path, and what it passes on.
#include "tool/values.h"

#include <QtTest>

using tool::Environment;
using tool::ProcessFacts;
using tool::Values;

Q_DECLARE_METATYPE(Environment)

class TestValues : public QObject
{
    Q_OBJECT

    static Values compute(unsigned euid, unsigned ruid, const Environment& env,
                          std::vector<std::string> args = {"/x/tessavel-connect"})
    {
        ProcessFacts f;
        f.effectiveUid = euid;
        f.realUid = ruid;
        f.env = env;
        f.args = std::move(args);
        return tool::computeValues(f);
    }

private slots:
    void modes_data()
    {
        QTest::addColumn<unsigned>("euid");
        QTest::addColumn<unsigned>("ruid");
        QTest::addColumn<Environment>("env");
        QTest::addColumn<QString>("root"); // expected test root, empty for none
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("standIn"); // expected sntp stand-in, empty for none

        const Environment all{{"TESSAVEL_CONNECT_TEST_ROOT", "/tmp/t"},
                              {"TESSAVEL_CONNECT_TEST_SNTP", "/tmp/fake-sntp"}};
        QTest::newRow("root ignores the test root") << 0u << 0u << all << ""
                                                    << "system"
                                                    << "";
        QTest::newRow("root via sudo from a user ignores it too") << 0u << 501u << all << ""
                                                                  << "system"
                                                                  << "";
        QTest::newRow("user without variables") << 501u << 501u << Environment{} << ""
                                                << "system"
                                                << "";
        QTest::newRow("user with test root: gui domain of the real uid")
            << 501u << 501u << all << "/tmp/t"
            << "gui/501"
            << "/tmp/fake-sntp";
        QTest::newRow("empty test root is none")
            << 501u << 501u << Environment{{"TESSAVEL_CONNECT_TEST_ROOT", ""}} << ""
            << "system"
            << "";
        QTest::newRow("test domain used unchanged, even empty")
            << 501u << 501u
            << Environment{{"TESSAVEL_CONNECT_TEST_ROOT", "/r"},
                           {"TESSAVEL_CONNECT_TEST_DOMAIN", ""}}
            << "/r"
            << ""
            << "";
        QTest::newRow("test domain given")
            << 501u << 501u
            << Environment{{"TESSAVEL_CONNECT_TEST_ROOT", "/r"},
                           {"TESSAVEL_CONNECT_TEST_DOMAIN", "user/77"}}
            << "/r"
            << "user/77"
            << "";
        QTest::newRow("empty stand-in is none")
            << 501u << 501u
            << Environment{{"TESSAVEL_CONNECT_TEST_ROOT", "/r"}, {"TESSAVEL_CONNECT_TEST_SNTP", ""}}
            << "/r"
            << "gui/501"
            << "";
        QTest::newRow("stand-in without a test root is ignored")
            << 501u << 501u << Environment{{"TESSAVEL_CONNECT_TEST_SNTP", "/tmp/s"}} << ""
            << "system"
            << "";
    }

    void modes()
    {
        QFETCH(unsigned, euid);
        QFETCH(unsigned, ruid);
        QFETCH(Environment, env);
        QFETCH(QString, root);
        QFETCH(QString, domain);
        QFETCH(QString, standIn);

        tool::setValues(compute(euid, ruid, env));
        const std::string r = root.toStdString();
        QCOMPARE(QString::fromStdString(tool::kTestRoot.value_or("")), root);
        QCOMPARE(QString::fromStdString(tool::kDomain), domain);
        QCOMPARE(QString::fromStdString(tool::kSntpStandIn.value_or("")), standIn);

        const char* sfx = root.isEmpty() ? "" : ".selftest";
        QCOMPARE(tool::kLabel, std::string("com.tessavel.connect") + sfx);
        QCOMPARE(tool::kSetTimeLabel, std::string("com.tessavel.connect.settime") + sfx);
        QCOMPARE(tool::kPlistPath,
                 r + "/Library/LaunchDaemons/com.tessavel.connect" + sfx + ".plist");
        QCOMPARE(tool::kSetTimePlistPath,
                 r + "/Library/LaunchDaemons/com.tessavel.connect.settime" + sfx + ".plist");
        QCOMPARE(tool::kInstalledBin, r + "/Library/PrivilegedHelperTools/com.tessavel.connect");
        QCOMPARE(tool::kLegacyBin, r + "/usr/local/sbin/tessavel-connect");
        const std::string state = r + "/Library/Application Support/Tessavel Veridir";
        QCOMPARE(tool::kStateDir, state);
        QCOMPARE(tool::kStatePath, state + "/before-setup.plist");
        QCOMPARE(tool::kSyncNowPath, state + "/sync-now");
        QCOMPARE(tool::kLastSyncPath, state + "/last-sync");
        QCOMPARE(tool::kSetTimeRequestPath, state + "/set-time-request");
        QCOMPARE(tool::kSetTimeGrantPath, state + "/set-time-grant.plist");
        QCOMPARE(tool::kSetTimeResultPath, state + "/set-time-result");
        QCOMPARE(tool::kLogPath, r + "/var/log/tessavel-connect.log");
        QCOMPARE(tool::kFakeClockPath, r + "/clock-set-to");
        QCOMPARE(tool::kFakeSettingsPath, r + "/system-time-settings.plist");
        QCOMPARE(tool::rooted("/a"), r + "/a");
        QCOMPARE(tool::selfTestMode(), !root.isEmpty());

        const auto testEnv = tool::testEnvironment();
        QCOMPARE(testEnv.has_value(), !root.isEmpty());
        if (testEnv) {
            Environment want{{"TESSAVEL_CONNECT_TEST_ROOT", r}};
            if (!standIn.isEmpty())
                want.emplace("TESSAVEL_CONNECT_TEST_SNTP", standIn.toStdString());
            QVERIFY(*testEnv == want);
        }
    }

    void rootedIsPlainConcatenation()
    {
        tool::setValues(compute(501, 501, {{"TESSAVEL_CONNECT_TEST_ROOT", "/tmp/t/"}}));
        QCOMPARE(tool::rooted("/x"), std::string("/tmp/t//x"));
        QCOMPARE(tool::rooted("x"), std::string("/tmp/t/x"));
    }

    void command_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("cmd");
        QTest::newRow("none is discover") << QStringList{"tool"} << "discover";
        QTest::newRow("first argument") << QStringList{"tool", "status", "sync"} << "status";
        QTest::newRow("empty word stays empty") << QStringList{"tool", ""} << "";
    }

    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, cmd);
        std::vector<std::string> a;
        for (const QString& s : args)
            a.push_back(s.toStdString());
        QCOMPARE(QString::fromStdString(compute(501, 501, {}, a).cmd), cmd);
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
