// Setting the clock by hand in self-test mode (the fake clock file, never the clock), the rule
// that it never goes earlier than the last sync, the strict time text, and the grant.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"
#include "tool/clocktime.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>

namespace {

qint64 secs(const char* iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toSecsSinceEpoch();
}

QString uidText()
{
    return QString::number(ToolHarness::testUid());
}

QString notAUser(const QString& text)
{
    return "error: \"" + text +
           "\" is not a user of this Mac (give the numeric id; root does not need this).\n";
}

} // namespace

class TestSetTime : public SelfTestCase
{
    Q_OBJECT

    QByteArray fakeClock() const { return m_root->read("clock-set-to"); }

private slots:
    void timeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds"); // -1: not a time (no valid row uses that second)
        QTest::newRow("the usage example")
            << "2026-10-09T21:07:38Z" << secs("2026-10-09T21:07:38Z");
        QTest::newRow("the epoch") << "1970-01-01T00:00:00Z" << qint64(0);
        QTest::newRow("29 February of a leap year")
            << "2028-02-29T12:00:00Z" << secs("2028-02-29T12:00:00Z");
        QTest::newRow("29 February of another year") << "2027-02-29T12:00:00Z" << qint64(-1);
        QTest::newRow("30 February") << "2026-02-30T12:00:00Z" << qint64(-1);
        QTest::newRow("month 13") << "2026-13-09T21:07:38Z" << qint64(-1);
        QTest::newRow("hour 24") << "2026-10-09T24:00:00Z" << qint64(-1);
        QTest::newRow("second 60") << "2026-10-09T21:07:60Z" << qint64(-1);
        QTest::newRow("small z") << "2026-10-09T21:07:38z" << qint64(-1);
        QTest::newRow("a fraction") << "2026-10-09T21:07:38.5Z" << qint64(-1);
        QTest::newRow("a blank before") << " 2026-10-09T21:07:38Z" << qint64(-1);
    }

    void timeText()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        const auto parsed = tool::parseTimeText(text.toStdString());
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), seconds);
    }

    void setTime_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("lastSync"); // 0: no record
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArray>("clock"); // what the fake clock file holds after
        const QString t = "2026-10-09T21:07:38Z";
        QTest::newRow("no record allows any time")
            << QStringList{"set-time", "2001-01-01T00:00:00Z"} << qint64(0) << 0 << ""
            << QByteArray("2001-01-01T00:00:00Z\n");
        QTest::newRow("the second of the last sync")
            << QStringList{"set-time", t} << secs("2026-10-09T21:07:38Z") << 0 << ""
            << (t + "\n").toUtf8();
        QTest::newRow("one second earlier")
            << QStringList{"set-time", t} << secs("2026-10-09T21:07:39Z") << 1
            << t + " is earlier than this Mac's last sync (2026-10-09T21:07:39Z). The clock was "
                   "not changed.\n"
            << QByteArray();
        QTest::newRow("month 13") << QStringList{"set-time", "2026-13-09T21:07:38Z"} << qint64(0)
                                  << 1
                                  << "\"2026-13-09T21:07:38Z\" is not a time. Give it as "
                                     "2026-10-09T21:07:38Z.\n"
                                  << QByteArray();
        QTest::newRow("--allow-user in the place of the time")
            << QStringList{"set-time", "--allow-user"} << qint64(0) << 1
            << "\"--allow-user\" is not a time. Give it as 2026-10-09T21:07:38Z.\n"
            << QByteArray();
    }

    void setTime()
    {
        QFETCH(QStringList, args);
        QFETCH(qint64, lastSync);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(QByteArray, clock);
        if (lastSync)
            QVERIFY(m_root->plant(m_root->state("last-sync"), QByteArray::number(lastSync) + "\n"));
        const ToolResult r = m_root->tool(args);
        QCOMPARE(r.err, err);
        QCOMPARE(r.status, status);
        QCOMPARE(fakeClock(), clock);
        if (status == 0) {
            const QRegularExpression said(
                "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ tessavel-connect: "
                "clock set to " +
                QRegularExpression::escape(args[1]) + " \\(self-test: not really\\)\n$");
            QVERIFY2(said.match(r.out).hasMatch(), qPrintable(r.out));
        }
    }

    void grantRefusesWhatIsNoUser_data()
    {
        QTest::addColumn<QString>("user");
        uint missing = 3999999999u;
        while (::getpwuid(missing))
            --missing;
        QTest::newRow("root needs no grant") << "0";
        QTest::newRow("root with a plus") << "+0";
        QTest::newRow("a negative id") << "-5";
        QTest::newRow("a name") << "nobody";
        QTest::newRow("empty") << "";
        QTest::newRow("a blank before the id") << " " + uidText();
        QTest::newRow("past 32 bits") << "4294967296";
        QTest::newRow("no such account") << QString::number(missing);
    }

    void grantRefusesWhatIsNoUser()
    {
        QFETCH(QString, user);
        const ToolResult r = m_root->tool({"allow-set-time", "--user", user});
        QCOMPARE(r.err, notAUser(user));
        QCOMPARE(r.status, 1);
        QVERIFY(!QFile::exists(m_root->state("set-time-grant.plist")));
        QVERIFY(!QFile::exists(m_root->installedBin()));
    }

    void grantAndWithdraw()
    {
        const ToolResult r = m_root->tool({"allow-set-time", "--user", "+" + uidText()});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, "User " + uidText() +
                            " can now set this Mac's clock from Tessavel Veridir without a "
                            "password.\n");
        QCOMPARE(r.status, 0);

        const QString request = m_root->state("set-time-request");
        QFileInfo info(request);
        QCOMPARE(info.size(), 0);
        QCOMPARE(info.ownerId(), ToolHarness::testUid());
        QCOMPARE(int(info.permissions() & 0x7777),
                 int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));
        QCOMPARE(readPlistFile(m_root->state("set-time-grant.plist")).toMap(),
                 (QVariantMap{{"uid", qint64(ToolHarness::testUid())}}));
        struct stat st;
        QCOMPARE(::stat(qPrintable(m_root->state("set-time-grant.plist")), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0644));
        QCOMPARE(
            readPlistFile(m_root->setTimePlist()).toMap(),
            (QVariantMap{
                {"Label", SelfTestRoot::kSetTimeLabel},
                {"ProgramArguments", QVariantList{m_root->installedBin(), "set-time-from-request"}},
                {"WatchPaths", QVariantList{request}},
                {"StandardOutPath", m_root->logPath()},
                {"StandardErrorPath", m_root->logPath()},
                {"EnvironmentVariables",
                 QVariantMap{{"TESSAVEL_CONNECT_TEST_ROOT", m_root->path()}}},
            }));
        QVERIFY(m_root->loaded(SelfTestRoot::kSetTimeLabel));

        QVERIFY(m_root->plant(m_root->state("set-time-result"), "0123abcd ok clock set to x\n"));
        const ToolResult off = m_root->tool({"forbid-set-time"});
        QCOMPARE(off.out, QString("Setting the clock from Tessavel Veridir asks for an "
                                  "administrator password again.\n"));
        QCOMPARE(off.status, 0);
        for (const QString& gone : {request, m_root->state("set-time-grant.plist"),
                                    m_root->state("set-time-result"), m_root->setTimePlist()})
            QVERIFY2(!QFile::exists(gone), qPrintable(gone));
        QVERIFY(!m_root->loaded(SelfTestRoot::kSetTimeLabel));
        QVERIFY(QFile::exists(m_root->installedBin()));
    }

    void forbidWithoutAGrant()
    {
        const ToolResult r = m_root->tool({"forbid-set-time"});
        QCOMPARE(r.out, QString("Setting the clock from Tessavel Veridir asks for an "
                                "administrator password again.\n"));
        QCOMPARE(r.status, 0);
    }

    // The grant comes first and stays in force when the time itself is refused.
    void setTimeWithAGrantAndATooEarlyTime()
    {
        QVERIFY(m_root->plant(m_root->state("last-sync"),
                              QByteArray::number(secs("2026-10-09T21:07:39Z"))));
        const ToolResult r =
            m_root->tool({"set-time", "2026-10-09T21:07:38Z", "--allow-user", uidText()});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains("is earlier than this Mac's last sync"));
        QVERIFY(r.out.startsWith("User " + uidText() + " can now set"));
        QCOMPARE(fakeClock(), QByteArray());
        QVERIFY(QFile::exists(m_root->state("set-time-grant.plist")));
        QVERIFY(m_root->loaded(SelfTestRoot::kSetTimeLabel));
    }

    void grantWhoseJobDoesNotLoad()
    {
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_DOMAIN", "system");
        const ToolResult r = m_root->tool({"allow-set-time", "--user", uidText()}, env);
        QCOMPARE(r.err, QString("error: the set-the-clock job did not load (Bootstrap failed: 1: "
                                "Operation not permitted).\n"));
        QCOMPARE(r.status, 1);
        QVERIFY(QFile::exists(m_root->state("set-time-grant.plist")));
        QVERIFY(QFile::exists(m_root->setTimePlist()));
    }
};

QTEST_GUILESS_MAIN(TestSetTime)
#include "tst_settime.moc"
