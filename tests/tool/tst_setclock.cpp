// Setting the clock without a password: the grant, and the set-the-clock job that trusts
// nothing in the request file, answers each nonce once and refuses stale requests.
#include "plistxml.h"
#include "selftestroot.h"

#include <QtTest>

namespace {

const QByteArray kGood = "2030-01-01T00:00:00Z 0123456789abcdef\n";
const QByteArray kOk =
    "0123456789abcdef ok clock set to 2030-01-01T00:00:00Z (self-test: not really)\n";

} // namespace

class TestSetClock : public SelfTestCase
{
    Q_OBJECT

    QString uid = QString::number(ToolHarness::testUid());
    QString request() const { return m_root->state("set-time-request"); }
    QString result() const { return m_root->state("set-time-result"); }
    QString grant() const { return m_root->state("set-time-grant.plist"); }
    QString job() const
    {
        return m_root->path("Library/LaunchDaemons/com.tessavel.connect.settime.selftest.plist");
    }

private slots:
    // Granted, a write of the request makes launchd run the job, which answers; then withdrawn.
    void grantAndForbid()
    {
        const ToolResult r = m_root->tool({"allow-set-time", "--user", "+" + uid});
        QCOMPARE(r.out + r.err,
                 "User " + uid +
                     " can now set this Mac's clock from Tessavel Veridir without a password.\n");
        QCOMPARE(QFileInfo(request()).ownerId(), ToolHarness::testUid());
        QCOMPARE(ToolHarness::modes({request(), grant(), job()}) + m_root->read(request()),
                 "600 644 644");
        QCOMPARE(plistText(m_root->read(grant())), "{uid=" + uid + "}");
        QCOMPARE(plistText(m_root->read(job())),
                 QString("{Label=%1,ProgramArguments=[%2,set-time-from-request],WatchPaths=[%3],"
                         "StandardErrorPath=%4,StandardOutPath=%4,EnvironmentVariables={TESSAVEL_"
                         "CONNECT_TEST_ROOT=%5}}")
                     .arg(SelfTestRoot::kSetTimeLabel, m_root->installedBin(), request(),
                          m_root->logPath(), m_root->path()));
        QFile f(request());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(kGood) == kGood.size());
        f.close();
        QVERIFY(waitFor([&] { return m_root->finishedRuns(SelfTestRoot::kSetTimeLabel) == 1; }));
        QCOMPARE(m_root->read(result()), kOk);
        QCOMPARE(
            m_root->tool({"forbid-set-time"}).out,
            "Setting the clock from Tessavel Veridir asks for an administrator password again.\n");
        QCOMPARE(ToolHarness::modes({request(), grant(), result(), job(), m_root->installedBin()}),
                 "- - - - 755");
        QVERIFY(!m_root->loaded(SelfTestRoot::kSetTimeLabel));
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
        const auto row = [&](const char* name, const QByteArray& bytes, const QByteArray& after,
                             const char* kind = "file", int age = 0,
                             const QVariant& granted = ToolHarness::testUid(),
                             const QByteArray& before = "") {
            QTest::newRow(name) << kind << bytes << age << granted << before << after;
        };
        // clang-format off
        row("a good request", kGood, kOk);
        row("64 bytes", kGood.chopped(1) + QByteArray(27, ' '), kOk);
        row("65 bytes", kGood.chopped(1) + QByteArray(28, ' '), "");
        row("empty", "", "");
        row("CR LF and blanks", "  2030-01-01T00:00:00Z  0123456789abcdef \r\n", kOk);
        row("a tab between the words", "2030-01-01T00:00:00Z\t0123456789abcdef\n", "");
        row("three words", "2030-01-01T00:00:00Z 0123456789abcdef x\n", "");
        row("capitals in the nonce", "2030-01-01T00:00:00Z 0123456789ABCDEF\n", "");
        row("a nonce of 7", "2030-01-01T00:00:00Z 0123456\n", "");
        row("a nonce of 8", "2030-01-01T00:00:00Z 01234567\n", "01234567" + kOk.mid(16));
        row("a nonce of 32", "2030-01-01T00:00:00Z " + QByteArray(32, 'a') + "\n", QByteArray(32, 'a') + kOk.mid(16));
        row("a nonce of 33", "2030-01-01T00:00:00Z " + QByteArray(33, 'a') + "\n", "");
        row("an overlong slash", "2030-01-01T00:00:00Z\xC0\xAF 0123456789abcdef\n", "");
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
        row("a grant whose uid is text", kGood, "", "file", 0, QString::number(ToolHarness::testUid()));
        row("answered already", kGood, "", "file", 0, me, "0123456789abcdef ok earlier\n");
        row("the answer of a longer nonce", "2030-01-01T00:00:00Z 01234567\n", "01234567" + kOk.mid(16), "file", 0, me, "0123456789 ok earlier\n");
        row("a link in place of the result", kGood, kOk, "file", 0, me, "link");
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
        const QByteArray path = request().toLocal8Bit(),
                         elsewhere = m_root->path("elsewhere").toLocal8Bit();
        if (granted.isValid())
            QVERIFY(m_root->plant(grant(), plistXml(QVariantMap{{"uid", granted}})));
        QVERIFY(m_root->plant(elsewhere, kind == "file" ? "keep\n" : bytes, 0600));
        QVERIFY(m_root->plant(kind == "file" ? request() : m_root->state("x"), bytes, 0600));
        if (before == "link")
            QCOMPARE(::symlink(elsewhere, qPrintable(result())), 0);
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
        // The log line repeats the answer after the nonce.
        QCOMPARE(r.out.section(' ', 1) + r.err + QString::number(r.status),
                 (after.isEmpty() ? ""
                                  : "tessavel-connect: set-time request from user " + uid + ": " +
                                        after.mid(after.indexOf(' ') + 1)) +
                     "0");
        QCOMPARE(m_root->read(result()),
                 after.isEmpty() ? (before == "link" ? "keep\n" : before) : after);
        QCOMPARE(m_root->read(elsewhere) + m_root->read("clock-set-to"),
                 (kind == "file" ? "keep\n" : bytes) +
                     (after.contains(" ok ") ? "2030-01-01T00:00:00Z\n" : ""));
        QCOMPARE(ToolHarness::modes({result(), grant()}),
                 (after.isEmpty() ? ToolHarness::modes({result()}) : "644") +
                     (after.contains("revoked") || !granted.isValid() ? " -" : " 644"));
    }
};

QTEST_GUILESS_MAIN(TestSetClock)
#include "tst_setclock.moc"
