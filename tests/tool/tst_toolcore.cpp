// The tool's parts in process: start-up values, one sync with its log and the boot retries,
// reading the runs back from a log, and what discovery sends and accepts.
#include "tests/tool/selftestroot.h"
#include "tool/discovery/tooldiscovery.h"
#include "tool/syncjob.h"
#include "tool/synclog.h"
#include "tool/values.h"

#include <QRegularExpression>
#include <QtTest>

#include <iostream>
#include <sstream>

namespace {

// Start-up values of user 501 (real uid 502), or root, with TESSAVEL_CONNECT_TEST_* variables.
void start(const QString& vars)
{
    tool::ProcessFacts f{vars.contains("root") ? 0u : 501u, 502, {}, {"/x/tool"}};
    for (const QString& v : vars.split(' ', Qt::SkipEmptyParts))
        f.env["TESSAVEL_CONNECT_TEST_" + v.section('=', 0, 0).toStdString()] =
            v.section('=', 1).toStdString();
    tool::setValues(tool::computeValues(f));
}

// Standard output of f, with "<now>" for every time stamp.
QString printed(const std::function<void()>& f)
{
    std::ostringstream buf;
    auto* old = std::cout.rdbuf(buf.rdbuf());
    f();
    std::cout.rdbuf(old);
    return QString::fromStdString(buf.str()).replace(
        QRegularExpression("\\d{4}-\\d\\d-\\d\\dT\\S+Z"), "<now>");
}

} // namespace

class TestToolCore : public QObject
{
    Q_OBJECT

private slots:
    void values()
    {
        QString seen;
        for (const char* vars :
             {"ROOT=/r SNTP=/s root", "ROOT=/r SNTP=/s", "ROOT=/r DOMAIN= SNTP="}) {
            start(vars);
            // clang-format off
            seen += QString::fromStdString(tool::kTestRoot.value_or("") + "|" + tool::kDomain + "|" + tool::kLabel + "|" + tool::kSetTimeLabel + "|" + tool::kSntpStandIn.value_or("") + "|" +
                                           std::to_string(tool::testEnvironment().value_or(tool::Environment{}).size()) + "|" + tool::values().cmd + "\n");
        }
        QCOMPARE(seen, "|system|com.tessavel.connect|com.tessavel.connect.settime||0|discover\n"
                       "/r|gui/502|com.tessavel.connect.selftest|com.tessavel.connect.settime.selftest|/s|2|discover\n"
                       "/r||com.tessavel.connect.selftest|com.tessavel.connect.settime.selftest||1|discover\n");
        // clang-format on
    }

    // The client's output and error reach the log as one text, through run.
    void oneSync_data()
    {
        QTest::addColumn<QString>("script"); // the stand-in SNTP client; "none": not there
        QTest::addColumn<QString>("log");
        const QString s = "<now> tessavel-connect: sync against 192.0.2.2 (exit %1)\n";
        // clang-format off
        QTest::newRow("success: all five lines, trimmed") << "printf ' \\tone\\n\\n2\\n3\\n4\\n'; echo ' five ' >&2" << s.arg(0) + "one\n2\n3\n4\nfive\n";
        QTest::newRow("failure, four lines: all") << "printf 'a\\nsntp: e\\nsntp: e\\nb\\n'; exit 1" << s.arg(1) + "a\nsntp: e\nsntp: e\nb\n";
        QTest::newRow("failure, five: sntp tails once") << "printf 'n\\n1 sntp: x\\n2 sntp: x\\nsntp: a sntp: b\\n3 sntp: t\\n'; exit 2" << s.arg(2) + "sntp: x\nsntp: a sntp: b\nsntp: t\n";
        QTest::newRow("output not UTF-8") << "printf 'a\\377'" << s.arg(0);
        QTest::newRow("more than a pipe holds") << "head -c 99999 /dev/zero | tr '\\0' a" << s.arg(0) + QString(99999, 'a') + "\n";
        QTest::newRow("killed by a signal") << "kill -9 $$" << s.arg(9);
        QTest::newRow("no client") << "none" << s.arg(-1) + "could not run /none: No such file or directory\n";
        // clang-format on
    }

    void oneSync()
    {
        QFETCH(QString, script);
        QFETCH(QString, log);
        const SelfTestRoot root;
        QVERIFY(root.plant("sntp", "#!/bin/sh\n" + script.toUtf8(), 0755));
        start("ROOT=" + root.path() + " SNTP=" + (script == "none" ? "/none" : root.path("sntp")));
        bool ok = false;
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QCOMPARE(printed([&] { ok = tool::oneSync("192.0.2.2"); }), log);
        // Recorded on success only: whole seconds and a line end, readable by everybody.
        const qint64 at = tool::lastSyncRecord().value_or(0);
        QVERIFY(ok == log.contains("(exit 0)") &&
                (ok ? at >= before && at <= QDateTime::currentSecsSinceEpoch() : at == 0));
        const QString record = QString::fromStdString(tool::kLastSyncPath);
        QCOMPARE(ToolHarness::modes({record}) + " " + root.read(record),
                 ok ? "644 " + QByteArray::number(at) + "\n" : "- ");
    }

    void bootRetries_data()
    {
        QTest::addColumn<double>("uptime");
        QTest::addColumn<int>("succeedAt");   // the attempt that succeeds, 0 for none
        QTest::addColumn<QList<int>>("want"); // status, attempts
        QTest::newRow("first attempt succeeds") << 10.0 << 1 << QList<int>{0, 1};
        QTest::newRow("299 s after boot: twenty retries") << 299.0 << 0 << QList<int>{1, 21};
        QTest::newRow("300 s after boot: none") << 300.0 << 0 << QList<int>{1, 1};
        QTest::newRow("success at retry 7") << 5.0 << 8 << QList<int>{0, 8};
    }

    void bootRetries()
    {
        QFETCH(double, uptime);
        QFETCH(int, succeedAt);
        QFETCH(QList<int>, want);
        int made = 0, slept = 0, asked = 0, status = -1;
        tool::SyncSeams seams;
        seams.attempt = [&](const std::string& server) {
            return server == "s" && ++made == succeedAt;
        };
        // The uptime passes five minutes during the retries; they go on regardless.
        seams.uptime = [&] { return uptime + 30 * asked++; };
        seams.sleep = [&](int s) { slept += s; };
        QString log =
            want[1] > 1
                ? "tessavel-connect: fresh boot \u2014 retrying up to 10 min for the server...\n"
                : "";
        for (int n = 1; n < want[1]; ++n)
            log += QString("tessavel-connect: boot retry %1/20\n").arg(n);
        QCOMPARE(printed([&] { status = tool::syncWithBootRetries("s", seams); }), log);
        QCOMPARE(QList<int>({status, made, slept, asked}),
                 (want + QList<int>{30 * (want[1] - 1), succeedAt != 1}));
        QVERIFY(tool::systemUptimeSeconds() > 0 && qIsFinite(tool::systemUptimeSeconds()));
    }

    // The runs read back from a log of the SNTP client's real lines (Debian's ntpdig, run in the
    // lab), whole, cut and damaged: "server exit offset error messages" each, then the count of
    // lines skipped. What follows a line that is lost never lands in another run.
    void syncLog_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<int>("skipped");
        QFile file(TV_SOURCE_DIR "/tests/tool/synclog.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray real = file.readAll(), run = "2026-12-07T12:00:00Z tessavel-connect: ";
        const QStringList all =
            QString(
                "192.0.2.2 0 -0.001670 0.001778 0|192.0.2.4 0 +1.499441 0.000158 0|192.0.2.3 1 - - "
                "1|192.0.2.5 0 -86400.000336 0.000115 0|no.such.host.invalid 1 - - 2|192.0.2.2 "
                "0 -0.002362 0.002436 0")
                .split('|');
        const auto row = [](const char* name, const QByteArray& log, const QStringList& runs,
                            int skipped) { QTest::newRow(name) << log << runs << skipped; };
        row("every run", real, all, 0);
        row("rotated inside the first line", real.mid(30), all.mid(1), 2);
        row("cut inside the last line", real.chopped(20), all.mid(0, 5) << "192.0.2.2 0 - - 0", 1);
        row("a damaged run line",
            QByteArray(real).replace("(exit 1)\nntpdig: no", "(exit x)\nntpdig: no"),
            {all[0], all[1], all[3], all[4], all[5]}, 2);
        row("a line that is no UTF-8 ends a run",
            QByteArray(real).replace("(exit 1)\nntpdig: no", "(exit 1)\n\xff\nntpdig: no"),
            {all[0], all[1], "192.0.2.3 1 - - 0", all[3], all[4], all[5]}, 2);
        row("the job's other lines; a result without local time",
            run +
                "sync against a (exit 1)\ntessavel-connect: fresh boot \u2014 retrying up to "
                "10 min for the server...\ntessavel-connect: boot retry 1/20\n" +
                run + "sync against b (exit 0)\n+0.013442 +/- 0.010139 t.example 192.0.2.8\n" +
                run + "clock set to 2026-12-07T12:00:00Z (self-test: not really)\n",
            {"a 1 - - 0", "b 0 +0.013442 0.010139 0"}, 0);
        row("a second result, another's stamp, an impossible stamp",
            run + "sync against a (exit 0)\n+1.0 +/- 2.0 a\n-1.0 +/- 2.0 a\n" +
                "2026-12-07T12:00:00Z other: x\nntpdig: x\n" +
                "2026-02-30T12:00:00Z tessavel-connect: sync against b (exit 0)\n+1.0 +/- 2.0 b\n",
            {"a 0 +1.000000 2.000000 0"}, 5);
    }

    void syncLog()
    {
        QFETCH(QByteArray, log);
        QFETCH(QStringList, runs);
        QFETCH(int, skipped);
        const tool::SyncLog got = tool::parseSyncLog(log.toStdString());
        QStringList seen;
        const auto number = [](const std::optional<double>& v, const char* format) {
            return v ? QString::asprintf(format, *v) : "-";
        };
        for (const tool::SyncRun& r : got.runs)
            seen << QString::fromStdString(r.server) + " " + QString::number(r.exitStatus) + " " +
                        number(r.offset, "%+.6f") + " " + number(r.error, "%.6f") + " " +
                        QString::number(r.messages.size());
        QCOMPARE(seen, runs);
        QCOMPARE(int(got.skipped), skipped);
    }

    void accept_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("server"); // "": dropped
        const char* x = "x (unnamed)  0 0 0  0 192.0.2.3";
        const QByteArray id = R"({"id":"x"})", reply = R"({"nonce":"0a1b2c3d","id":"x"})";
        // clang-format off
        const auto row = [](const char* name, int type, const QByteArray& json, const char* server, int length = -1) {
            const int n = length < 0 ? int(json.size()) : length;
            QTest::newRow(name) << "TSVL\x01" + QByteArray(1, char(type)) + char(n >> 8) + char(n) + json << server;
        };
        row("reply with the nonce", 3, reply, x);
        row("announcement, no nonce", 2, id, x);
        row("terminal controls, as sent", 2, R"({"id":"c","name":"\u001bc\u0007\u2028","source":"\u009b\u007f","synced":true,"accepting":true})", "c \x1b" "c\a\u2028  0 1 1 \u009b\x7f 0 192.0.2.3");
        row("every field", 2, R"({"id":"i","name":"N","ver":"2","stratum":3,"synced":true,"accepting":true,"source":"G","clients":4,"address":"1.2.3.4"})", "i N 2 3 1 1 G 4 192.0.2.3");
        row("wrong types: defaults", 2, R"({"id":1,"name":2,"stratum":"1","synced":1,"clients":2.5})", "192.0.2.3 (unnamed)  0 0 0  0 192.0.2.3");
        row("nonce in capitals", 3, QByteArray(reply).toUpper().replace("ID", "id"), "");
        row("nonce not a string", 3, R"({"nonce":1,"id":"x"})", "");
        row("reply without nonce", 3, id, "");
        row("bytes after the payload", 2, id + "  ", x, 10);
        row("payload shorter than its length", 2, id, "", 11);
        row("1024-byte payload", 2, id + QByteArray(1014, ' '), x);
        row("1025-byte payload", 2, id + QByteArray(1015, ' '), "");
        row("query", 1, reply, "");
        row("heard", 5, id, "");
        row("not JSON", 2, "{\"id\":", "");
        // clang-format on
        QTest::newRow("seven bytes") << QByteArray("TSVL\x01\x02\x00", 7) << "";
    }

    void accept()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, server);
        const auto s = tool::acceptAnswer(datagram.toStdString(), "0a1b2c3d", "192.0.2.3");
        // clang-format off
        QCOMPARE(s ? QString::fromStdString(s->id + " " + s->name + " " + s->ver + " " + std::to_string(s->stratum) + " " + std::to_string(s->synced) + " " +
                                            std::to_string(s->accepting) + " " + s->source + " " + std::to_string(s->clients) + " " + s->address) : "", server);
        // clang-format on
        QVERIFY(QRegularExpression("^[0-9a-f]{8}$")
                    .match(QString::fromStdString(tool::randomNonce()))
                    .hasMatch());
    }
};

QTEST_GUILESS_MAIN(TestToolCore)
#include "tst_toolcore.moc"
