// The sync job in self-test mode with a stand-in SNTP client, the boot-retry rule through its
// seams, and the last-sync record.
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/values.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <ctime>
#include <iostream>
#include <sstream>
#include <sys/stat.h>

namespace {

// Swaps standard output for a buffer for one scope.
class CapturedOut
{
public:
    CapturedOut() : m_old(std::cout.rdbuf(m_buf.rdbuf())) {}
    ~CapturedOut() { std::cout.rdbuf(m_old); }
    QStringList lines() const
    {
        return QString::fromStdString(m_buf.str()).split('\n', Qt::SkipEmptyParts);
    }

private:
    std::ostringstream m_buf;
    std::streambuf* m_old;
};

} // namespace

class TestSyncJob : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    // Self-test values under a fresh root; the stand-in, when given, is a shell script.
    void selfTest(const QString& script)
    {
        tool::ProcessFacts f;
        f.effectiveUid = f.realUid = 501;
        f.env["TESSAVEL_CONNECT_TEST_ROOT"] = m_root.path().toStdString();
        if (!script.isNull()) {
            const QString path = m_root.filePath("fake-sntp");
            QFile s(path);
            QVERIFY(s.open(QIODevice::WriteOnly | QIODevice::Truncate));
            s.write(("#!/bin/sh\n" + script + "\n").toUtf8());
            s.close();
            s.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            f.env["TESSAVEL_CONNECT_TEST_SNTP"] = path.toStdString();
        }
        tool::setValues(tool::computeValues(f));
    }

    static QString recordPath() { return QString::fromStdString(tool::kLastSyncPath); }

private slots:
    void init()
    {
        QFile::remove(m_root.filePath("Library/Application Support/Tessavel Veridir/last-sync"));
    }

    void oneSync_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QStringList>("printed"); // after the stamped line

        QTest::newRow("success prints every line, trimmed")
            << "printf ' \\tone\\n\\n  two  \\n'; exit 0" << 0 << QStringList{"one", "two"};
        QTest::newRow("success with many lines prints them all")
            << "for i in 1 2 3 4 5 6; do echo \"sntp: same\"; done" << 0
            << QStringList(6, "sntp: same");
        QTest::newRow("failure with four lines prints all four")
            << "echo a; echo 'x sntp: e'; echo 'y sntp: e'; echo d; exit 1" << 1
            << QStringList{"a", "x sntp: e", "y sntp: e", "d"};
        QTest::newRow("failure with five lines keeps distinct sntp tails once")
            << "echo 'noise'; echo '1 sntp: no reply'; echo '2 sntp: no reply';"
               "echo 'sntp: bad sntp: host'; echo '3 sntp: timeout'; exit 2"
            << 2 << QStringList{"sntp: no reply", "sntp: bad sntp: host", "sntp: timeout"};
        QTest::newRow("failure digest with no sntp tails prints nothing")
            << "for i in 1 2 3 4 5; do echo line$i; done; exit 1" << 1 << QStringList{};
        QTest::newRow("only the address is passed in self-test mode")
            << "echo \"$#:$1\"" << 0 << QStringList{"1:192.0.2.2"};
        QTest::newRow("a client that cannot start")
            << QString() << -1
            << QStringList{"could not run /nonexistent/sntp: No such file or directory"};
    }

    void oneSync()
    {
        QFETCH(QString, script);
        QFETCH(int, exit);
        QFETCH(QStringList, printed);
        selfTest(script);
        if (script.isNull()) {
            auto v = tool::values();
            v.kSntpStandIn = "/nonexistent/sntp";
            tool::setValues(v);
        }
        const long long before = std::time(nullptr);
        bool ok;
        QStringList lines;
        {
            CapturedOut out;
            ok = tool::oneSync("192.0.2.2");
            lines = out.lines();
        }
        const long long after = std::time(nullptr);
        QCOMPARE(ok, exit == 0);
        QVERIFY(!lines.isEmpty());
        static const QRegularExpression stamp(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ tessavel-connect: sync against "
            "192\\.0\\.2\\.2 \\(exit (-?\\d+)\\)$");
        const auto m = stamp.match(lines.takeFirst());
        QVERIFY(m.hasMatch());
        QCOMPARE(m.captured(1).toInt(), exit);
        QCOMPARE(lines, printed);

        const auto record = tool::lastSyncRecord();
        QCOMPARE(record.has_value(), exit == 0);
        if (record) {
            QVERIFY(*record >= before && *record <= after);
            QFile f(recordPath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray::number(*record) + "\n");
            struct stat st
            {
            };
            QCOMPARE(stat(qPrintable(recordPath()), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0644));
        }
    }

    void failureKeepsTheRecord()
    {
        selfTest("exit 0");
        {
            CapturedOut out;
            QVERIFY(tool::oneSync("s"));
        }
        const auto first = tool::lastSyncRecord();
        selfTest("exit 1");
        {
            CapturedOut out;
            QVERIFY(!tool::oneSync("s"));
        }
        QCOMPARE(tool::lastSyncRecord(), first);
    }

    void bootRetries_data()
    {
        QTest::addColumn<double>("uptime");
        QTest::addColumn<int>("succeedAt"); // attempt number that succeeds, 0 for never
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("attempts");

        QTest::newRow("first attempt succeeds") << 10.0 << 1 << 0 << 1;
        QTest::newRow("299 s after boot retries twenty times") << 299.0 << 0 << 1 << 21;
        QTest::newRow("300 s after boot ends at once") << 300.0 << 0 << 1 << 1;
        QTest::newRow("unknown boot time never retries") << qInf() << 0 << 1 << 1;
        QTest::newRow("success at retry 7") << 5.0 << 8 << 0 << 8;
        QTest::newRow("success at the last retry") << 5.0 << 21 << 0 << 21;
    }

    void bootRetries()
    {
        QFETCH(double, uptime);
        QFETCH(int, succeedAt);
        QFETCH(int, status);
        QFETCH(int, attempts);

        int made = 0, slept = 0, uptimeAsked = 0;
        tool::SyncSeams seams;
        seams.attempt = [&](const std::string& server) {
            [&] { QCOMPARE(server, std::string("192.0.2.2")); }();
            return ++made == succeedAt;
        };
        // The uptime passes five minutes during the retries; they go on regardless.
        seams.uptime = [&] { return uptime + 30 * uptimeAsked++; };
        seams.sleep = [&](int s) {
            [&] { QCOMPARE(s, 30); }();
            ++slept;
        };
        QStringList lines;
        int got;
        {
            CapturedOut out;
            got = tool::syncWithBootRetries("192.0.2.2", seams);
            lines = out.lines();
        }
        QCOMPARE(got, status);
        QCOMPARE(made, attempts);
        QCOMPARE(slept, attempts - 1);
        QVERIFY(uptimeAsked <= 1);
        QStringList want;
        if (attempts > 1) {
            want << "tessavel-connect: fresh boot \u2014 retrying up to 10 min for the server...";
            for (int n = 1; n < attempts; ++n)
                want << QString("tessavel-connect: boot retry %1/20").arg(n);
        }
        QCOMPARE(lines, want);
    }

    void parseRecord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // null: no record
        const QVariant none;
        QTest::newRow("as written") << "1700000000\n" << QVariant(1700000000LL);
        QTest::newRow("spaces and line breaks around") << " \t1700000000 \r\n\n"
                                                       << QVariant(1700000000LL);
        QTest::newRow("plus sign") << "+42" << QVariant(42LL);
        QTest::newRow("minus sign") << "-42" << QVariant(-42LL);
        QTest::newRow("letters") << "17000abc" << none;
        QTest::newRow("hex") << "0x10" << none;
        QTest::newRow("two numbers") << "1 2" << none;
        QTest::newRow("sign alone") << "-" << none;
        QTest::newRow("empty") << "" << none;
        QTest::newRow("too large") << "99999999999999999999" << none;
        QTest::newRow("fraction") << "1.5" << none;
    }

    void parseRecord()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        const auto v = tool::parseLastSync(text.toStdString());
        QCOMPARE(v.has_value(), !value.isNull());
        if (v) QCOMPARE(qlonglong(*v), value.toLongLong());
    }

    void isoText_data()
    {
        QTest::addColumn<qlonglong>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("epoch") << 0LL << "1970-01-01T00:00:00Z";
        QTest::newRow("usage example") << 1791580058LL << "2026-10-09T21:07:38Z";
        QTest::newRow("leap day") << 1709164800LL << "2024-02-29T00:00:00Z";
        QTest::newRow("after 2038") << 4102444800LL << "2100-01-01T00:00:00Z";
    }

    void isoText()
    {
        QFETCH(qlonglong, seconds);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(tool::isoText(seconds)), text);
    }

    void uptimeFromTheKernel()
    {
        const double up = tool::systemUptimeSeconds();
        QVERIFY(qIsFinite(up));
        QVERIFY(up > 0);
    }
};

QTEST_GUILESS_MAIN(TestSyncJob)
#include "tst_syncjob.moc"
