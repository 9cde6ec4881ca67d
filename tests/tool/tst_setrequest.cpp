// The set-the-clock job's request file, which only the granted user writes and the job trusts
// in nothing: checks on the very file it reads, each nonce answered once, stale requests
// refused. Run by launchd (the stand-in) and, for the hostile files, straight.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"
#include "tool/setrequest.h"
#include "tool/values.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

const QByteArray kGood = "2030-01-01T00:00:00Z 0123456789abcdef\n";

enum class Kind {
    Plain,
    SecondName, // a hard link elsewhere
    Link,       // a symbolic link to a good request
    Pipe,
    Folder,
};

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestSetRequest : public SelfTestCase
{
    Q_OBJECT

    QString request() const { return m_root->state("set-time-request"); }
    QString result() const { return m_root->state("set-time-result"); }
    QString uidText() const { return QString::number(ToolHarness::testUid()); }

    // Writes the request in place, as the application does.
    void ask(const QByteArray& line)
    {
        QFile f(request());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(line), line.size());
    }

    void grant() { QCOMPARE(m_root->tool({"allow-set-time", "--user", uidText()}).status, 0); }

private slots:
    void theJobAnswers()
    {
        grant();
        ask(kGood);
        QTRY_COMPARE(m_root->read(result()),
                     QByteArray("0123456789abcdef ok clock set to 2030-01-01T00:00:00Z "
                                "(self-test: not really)\n"));
        QCOMPARE(m_root->read("clock-set-to"), QByteArray("2030-01-01T00:00:00Z\n"));
        QCOMPARE(QFileInfo(result()).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                     QFile::ReadGroup | QFile::ReadOther);
        QTRY_VERIFY(m_root->read(m_root->logPath())
                        .contains(" tessavel-connect: set-time request from user " +
                                  uidText().toUtf8() + ": ok clock set to 2030-01-01T00:00:00Z"));

        // The same line again, nonce and all, is not acted on a second time.
        QVERIFY(m_root->plant("clock-set-to", "untouched\n"));
        const int runs = m_root->finishedRuns(SelfTestRoot::kSetTimeLabel);
        ask(kGood);
        QTRY_VERIFY(m_root->finishedRuns(SelfTestRoot::kSetTimeLabel) > runs);
        QCOMPARE(m_root->read("clock-set-to"), QByteArray("untouched\n"));

        // Earlier than the last sync: refused with the words of the rule.
        QVERIFY(m_root->plant(m_root->state("last-sync"), "1900000000\n"));
        ask("2030-01-01T00:00:00Z 00000000aaaaaaaa\n");
        QTRY_COMPARE(m_root->read(result()),
                     QByteArray("00000000aaaaaaaa refused 2030-01-01T00:00:00Z is earlier than "
                                "this Mac's last sync (2030-03-17T17:46:40Z). The clock was not "
                                "changed.\n"));
    }

    // A request file that was written long ago (planted by a rename: the request file itself
    // stays the user's one file) is refused, not acted on.
    void theJobRefusesAStaleRequest()
    {
        grant();
        const QString old = m_root->state("old-request");
        QVERIFY(m_root->plant(old, kGood, 0600));
        const utimbuf then{time(nullptr) - 60, time(nullptr) - 60};
        QCOMPARE(::utime(qPrintable(old), &then), 0);
        QCOMPARE(::rename(qPrintable(old), qPrintable(request())), 0);
        QTRY_COMPARE(m_root->read(result()),
                     QByteArray("0123456789abcdef refused the request was not made just now.\n"));
        QCOMPARE(m_root->read("clock-set-to"), QByteArray());
    }

    // The answer replaces whatever holds the result's name; it never writes through a link.
    void aLinkInPlaceOfTheResultIsReplaced()
    {
        QVERIFY(m_root->plant("victim", "keep me\n"));
        QVERIFY(m_root->plant(m_root->state("set-time-grant.plist"),
                              plistXml(QVariantMap{{"uid", qint64(ToolHarness::testUid())}})));
        QVERIFY(m_root->plant(request(), kGood, 0600));
        QCOMPARE(::symlink(qPrintable(m_root->path() + "/victim"), qPrintable(result())), 0);
        QCOMPARE(m_root->tool({"set-time-from-request"}).status, 0);
        QCOMPARE(m_root->read("victim"), QByteArray("keep me\n"));
        QVERIFY(!QFileInfo(result()).isSymLink());
        QVERIFY(m_root->read(result()).startsWith("0123456789abcdef ok "));
    }

    void revokeLeavesOnlyItsAnswer()
    {
        grant();
        ask("revoke 89abcdef01234567\n");
        QTRY_COMPARE(m_root->read(result()),
                     QByteArray("89abcdef01234567 revoked this Mac asks for an administrator "
                                "password again.\n"));
        QTRY_VERIFY(!m_root->loaded(SelfTestRoot::kSetTimeLabel));
        for (const QString& gone :
             {request(), m_root->state("set-time-grant.plist"), m_root->setTimePlist()})
            QVERIFY2(!QFile::exists(gone), qPrintable(gone));
    }

    // Straight runs of the job's command on planted files; empty answer: none may be given.
    void hostileRequests_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("grant");      // the grant file's content; invalid: none
        QTest::addColumn<int>("age");             // seconds since the request was written
        QTest::addColumn<QByteArray>("answered"); // the result file before
        QTest::addColumn<QByteArray>("answer");   // the result file after; empty: untouched

        const QVariant me = QVariantMap{{"uid", qint64(ToolHarness::testUid())}};
        const QByteArray ok = "clock set to 2030-01-01T00:00:00Z (self-test: not really)\n";
        const QByteArray nonce = "0123456789abcdef";
        const QByteArray stale = nonce + " refused the request was not made just now.\n";
        const auto row = [&](const char* name, const QByteArray& bytes, const QByteArray& answer,
                             Kind kind = Kind::Plain) {
            QTest::newRow(name) << kind << bytes << me << 0 << QByteArray() << answer;
        };

        row("a good request", kGood, nonce + " ok " + ok);
        row("64 bytes", kGood.chopped(1) + QByteArray(27, ' '), nonce + " ok " + ok);
        row("65 bytes", kGood.chopped(1) + QByteArray(28, ' '), "");
        row("empty", "", "");
        row("a line end of CR LF", kGood.chopped(1) + "\r\n", nonce + " ok " + ok);
        row("two blanks between the words", "2030-01-01T00:00:00Z  0123456789abcdef",
            nonce + " ok " + ok);
        row("a tab between the words", "2030-01-01T00:00:00Z\t0123456789abcdef\n", "");
        row("three words", "2030-01-01T00:00:00Z 0123456789abcdef extra\n", "");
        row("one word", "0123456789abcdef\n", "");
        row("capitals in the nonce", "2030-01-01T00:00:00Z 0123456789ABCDEF\n", "");
        row("a nonce of 7", "2030-01-01T00:00:00Z 0123456\n", "");
        row("a nonce of 8", "2030-01-01T00:00:00Z 01234567\n", "01234567 ok " + ok);
        row("a nonce of 32", "2030-01-01T00:00:00Z " + QByteArray(32, 'a') + "\n",
            QByteArray(32, 'a') + " ok " + ok);
        row("a nonce of 33", "2030-01-01T00:00:00Z " + QByteArray(33, 'a') + "\n", "");
        row("not UTF-8", "2030-01-01T00:00:00Z\xff 0123456789abcdef\n", "");
        // Never a time, and echoed into root's log they would forge lines there.
        row("a NUL in the time", QByteArray("2030-01-01T00:00:00Z\0 0123456789abcdef\n", 39), "");
        row("a line end inside", "2030-01-01T00:00:00Z\nforged 0123456789abcdef\n", "");
        row("an escape sequence", "\x1b[2J2030-01-01T00:00:00Z 0123456789abcdef\n", "");
        row("a time that is none", "2030-02-30T00:00:00Z 0123456789abcdef\n",
            nonce + " refused \"2030-02-30T00:00:00Z\" is not a time. Give it as "
                    "2026-10-09T21:07:38Z.\n");
        row("a second name", kGood, "", Kind::SecondName);
        row("a symbolic link", kGood, "", Kind::Link);
        row("a pipe nobody writes", kGood, "", Kind::Pipe);
        row("a folder", kGood, "", Kind::Folder);

        QTest::newRow("granted to another user")
            << Kind::Plain << kGood
            << QVariant(QVariantMap{{"uid", qint64(ToolHarness::testUid() + 1)}}) << 0
            << QByteArray() << QByteArray();
        QTest::newRow("no grant") << Kind::Plain << kGood << QVariant() << 0 << QByteArray()
                                  << QByteArray();
        QTest::newRow("a grant whose uid is text")
            << Kind::Plain << kGood << QVariant(QVariantMap{{"uid", uidText()}}) << 0
            << QByteArray() << QByteArray();
        QTest::newRow("answered already") << Kind::Plain << kGood << me << 0
                                          << QByteArray(nonce + " ok earlier\n") << QByteArray();
        QTest::newRow("an answer to a longer nonce")
            << Kind::Plain << QByteArray("2030-01-01T00:00:00Z 01234567\n") << me << 0
            << QByteArray("0123456789 ok earlier\n") << QByteArray("01234567 ok " + ok);
        // Ages kept seconds away from the 30 s limit: a busy machine can take a second or two
        // to start the tool after the file's time was set.
        QTest::newRow("25 seconds old")
            << Kind::Plain << kGood << me << 25 << QByteArray() << nonce + " ok " + ok;
        QTest::newRow("35 seconds old")
            << Kind::Plain << kGood << me << 35 << QByteArray() << stale;
        QTest::newRow("stale revoke") << Kind::Plain << QByteArray("revoke 0123456789abcdef\n")
                                      << me << 35 << QByteArray() << stale;
        QTest::newRow("written in the future")
            << Kind::Plain << kGood << me << -35 << QByteArray() << stale;
    }

    void hostileRequests()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, grant);
        QFETCH(int, age);
        QFETCH(QByteArray, answered);
        QFETCH(QByteArray, answer);

        if (grant.isValid())
            QVERIFY(m_root->plant(m_root->state("set-time-grant.plist"), plistXml(grant)));
        if (!answered.isEmpty()) QVERIFY(m_root->plant(result(), answered));
        const QByteArray path = request().toLocal8Bit();
        switch (kind) {
        case Kind::Plain:
        case Kind::SecondName:
            QVERIFY(m_root->plant(request(), bytes, 0600));
            if (kind == Kind::SecondName)
                QCOMPARE(::link(path, qPrintable(m_root->path() + "/second-name")), 0);
            break;
        case Kind::Link:
            QVERIFY(m_root->plant(m_root->path() + "/elsewhere", bytes, 0600));
            QCOMPARE(::symlink(qPrintable(m_root->path() + "/elsewhere"), path), 0);
            break;
        case Kind::Pipe:
            QVERIFY(m_root->plant(m_root->state("x"), ""));
            QCOMPARE(::mkfifo(path, 0600), 0);
            QCOMPARE(::chown(path, ToolHarness::testUid(), ToolHarness::testGid()), 0);
            break;
        case Kind::Folder:
            QVERIFY(m_root->plant(request() + "/inside", bytes));
            break;
        }
        if (age) {
            const timeval then[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
            QCOMPARE(::lutimes(path, then), 0);
        }

        QElapsedTimer t;
        t.start();
        const ToolResult r = m_root->tool({"set-time-from-request"});
        QVERIFY2(t.elapsed() < 5000, "the job must never wait on the request file");
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(m_root->read(result()), answer.isEmpty() ? answered : answer);
        if (answer.isEmpty()) {
            QCOMPARE(r.out, QString());
            QCOMPARE(m_root->read("clock-set-to"), QByteArray());
        }
    }

    // The checks and the read go through one descriptor: a name swapped before the checks
    // leaves a file of no names, which fails them; swapped after, the read still gets the file
    // that passed, never what took its name.
    void swappedNames_data()
    {
        QTest::addColumn<QString>("swap"); // shell, in the state folder
        QTest::addColumn<bool>("afterTheChecks");
        const QString other = "printf '2031-01-01T00:00:00Z ffffffffffffffff\\n' > other && mv "
                              "other set-time-request";
        const QString link = "ln -sf /etc/passwd set-time-request";
        QTest::newRow("another file renamed over it, before the checks") << other << false;
        QTest::newRow("a link put in its place, before the checks") << link << false;
        QTest::newRow("removed, before the checks") << "rm set-time-request" << false;
        QTest::newRow("another file renamed over it, after the checks") << other << true;
        QTest::newRow("a link put in its place, after the checks") << link << true;
    }

    void swappedNames()
    {
        QFETCH(QString, swap);
        QFETCH(bool, afterTheChecks);
        QVERIFY(m_root->plant(request(), kGood, 0600));
        tool::ProcessFacts facts;
        facts.effectiveUid = facts.realUid = ToolHarness::testUid() + 1000;
        facts.env["TESSAVEL_CONNECT_TEST_ROOT"] = m_root->path().toStdString();
        tool::setValues(tool::computeValues(facts));
        const auto swapNow = [&] {
            return QProcess::execute("/bin/sh",
                                     {"-c", "cd '" + m_root->stateDir() + "' && " + swap}) == 0;
        };

        const int fd = tool::openRequest(tool::kSetTimeRequestPath);
        QVERIFY(fd >= 0);
        if (!afterTheChecks) {
            QVERIFY(swapNow());
            QVERIFY(!tool::checkRequestFile(fd, ToolHarness::testUid()));
            ::close(fd);
            return;
        }
        QVERIFY(tool::checkRequestFile(fd, ToolHarness::testUid()));
        QVERIFY(swapNow());
        const auto r = tool::readRequestLine(fd);
        ::close(fd);
        QVERIFY(r.has_value());
        QCOMPARE(QString::fromStdString(r->command), QString("2030-01-01T00:00:00Z"));
        QCOMPARE(QString::fromStdString(r->nonce), QString("0123456789abcdef"));
    }
};

QTEST_GUILESS_MAIN(TestSetRequest)
#include "tst_setrequest.moc"
