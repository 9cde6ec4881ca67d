// The tool's parts in process: start-up values, one sync with its log and the boot retries,
// reading the runs back from a log, and what discovery sends and accepts.
#include "tests/tool/selftestroot.h"
#include "tool/discovery/tooldiscovery.h"
#include "tool/statusjson.h"
#include "tool/syncjob.h"
#include "tool/synclog.h"
#include "tool/values.h"

#include <QRegularExpression>
#include <QtTest>

#include <ctime>
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
    // As root the test variables change nothing; a user's test root moves the paths and the SNTP
    // client, puts the jobs in the user's own domain (its real id) and labels them apart.
    void values_data()
    {
        QTest::addColumn<QString>("vars");
        QTest::addColumn<bool>("selfTest");
        QTest::addColumn<QString>("domain");
        QTest::newRow("root reads no test root") << "ROOT=/r SNTP=/s root" << false << "system";
        QTest::newRow("a user in a test root") << "ROOT=/r SNTP=/s" << true << "gui/502";
    }

    void values()
    {
        QFETCH(QString, vars);
        QFETCH(bool, selfTest);
        start(vars);
        const auto text = [](const std::string& s) { return QString::fromStdString(s); };
        QCOMPARE(text(tool::kTestRoot.value_or("")), selfTest ? "/r" : "");
        QCOMPARE(text(tool::kSntpStandIn.value_or("")), selfTest ? "/s" : "");
        QTEST(text(tool::kDomain), "domain");
        const QString suffix = selfTest ? ".selftest" : "";
        QCOMPARE(text(tool::kLabel), "com.tessavel.connect" + suffix);
        QCOMPARE(text(tool::kSetTimeLabel), "com.tessavel.connect.settime" + suffix);
    }

    // The client's output and error reach the log as one text, through run.
    void oneSync_data()
    {
        QTest::addColumn<QString>("script"); // the stand-in SNTP client; "none": not there
        QTest::addColumn<QString>("log");
        const QString s = "<now> tessavel-connect: sync against 192.0.2.2 (exit %1)\n";
        const auto row = [](const char* name, const char* script, const QString& log) {
            QTest::newRow(name) << script << log;
        };
        row("success: all five lines, trimmed",
            R"(printf ' \tone\n\n2\n3\n4\n'; echo ' five ' >&2)",
            s.arg(0) + "one\n2\n3\n4\nfive\n");
        row("failure, four lines: all", R"(printf 'a\nsntp: e\nsntp: e\nb\n'; exit 1)",
            s.arg(1) + "a\nsntp: e\nsntp: e\nb\n");
        row("failure, five: sntp tails once",
            R"(printf 'n\n1 sntp: x\n2 sntp: x\nsntp: a sntp: b\n3 sntp: t\n'; exit 2)",
            s.arg(2) + "sntp: x\nsntp: a sntp: b\nsntp: t\n");
        row("output not UTF-8", R"(printf 'a\377')", s.arg(0));
        row("more than a pipe holds", R"(head -c 99999 /dev/zero | tr '\0' a)",
            s.arg(0) + QString(99999, 'a') + "\n");
        row("killed by a signal", "kill -9 $$", s.arg(9));
        row("no client", "none", s.arg(-1) + "could not run /none: No such file or directory\n");
    }

    void oneSync()
    {
        QFETCH(QString, script);
        QFETCH(QString, log);
        const SelfTestRoot root;
        QVERIFY(root.plant("sntp", "#!/bin/sh\n" + script.toUtf8(), 0755));
        start("ROOT=" + root.path() + " SNTP=" + (script == "none" ? "/none" : root.path("sntp")));
        bool ok = false;
        const qint64 before = std::time(nullptr); // the tool's clock, a tick behind Qt's
        QCOMPARE(printed([&] { ok = tool::oneSync("192.0.2.2"); }), log);
        QCOMPARE(ok, log.contains("(exit 0)"));
        // Recorded on success only: whole seconds and a line end, readable by everybody.
        const QString record = QString::fromStdString(tool::kLastSyncPath);
        QCOMPARE(ToolHarness::modes({record}), ok ? "644" : "-");
        const qint64 at = tool::lastSyncRecord().value_or(before);
        QCOMPARE(root.read(record), ok ? QByteArray::number(at) + "\n" : "");
        QVERIFY(at >= before && at <= QDateTime::currentSecsSinceEpoch());
    }

    void bootRetries_data()
    {
        QTest::addColumn<double>("uptime");
        QTest::addColumn<int>("succeedAt"); // the attempt that succeeds, 0 for none
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("attempts");
        QTest::newRow("first attempt succeeds") << 10.0 << 1 << 0 << 1;
        QTest::newRow("299 s after boot: twenty retries") << 299.0 << 0 << 1 << 21;
        QTest::newRow("300 s after boot: none") << 300.0 << 0 << 1 << 1;
        QTest::newRow("success at retry 7") << 5.0 << 8 << 0 << 8;
    }

    void bootRetries()
    {
        QFETCH(double, uptime);
        QFETCH(int, succeedAt);
        QFETCH(int, status);
        QFETCH(int, attempts);
        int made = 0, slept = 0, asked = 0, got = -1;
        tool::SyncSeams seams;
        seams.attempt = [&](const std::string& server) {
            return server == "s" && ++made == succeedAt;
        };
        // The uptime passes five minutes during the retries; they go on regardless.
        seams.uptime = [&] { return uptime + 30 * asked++; };
        seams.sleep = [&](int s) { slept += s; };
        QString log =
            attempts > 1
                ? "tessavel-connect: fresh boot \u2014 retrying up to 10 min for the server...\n"
                : "";
        for (int n = 1; n < attempts; ++n)
            log += QString("tessavel-connect: boot retry %1/20\n").arg(n);
        QCOMPARE(printed([&] { got = tool::syncWithBootRetries("s", seams); }), log);
        QCOMPARE(got, status);
        QCOMPARE(made, attempts);
        QCOMPARE(slept, 30 * (attempts - 1));
    }

    void uptime()
    {
        const double seconds = tool::systemUptimeSeconds();
        QVERIFY(qIsFinite(seconds));
        QVERIFY(seconds > 0);
    }

    // The runs read back from a log of the SNTP client's real lines (Debian's ntpdig, run in the
    // lab), whole, cut and damaged: "server exit offset error messages" each, then the count of
    // lines skipped. What follows a line that is lost never lands in another run.
    void syncLog_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<int>("skipped");
        const QByteArray real = fixture("synclog.txt"),
                         run = "2026-12-07T12:00:00Z tessavel-connect: ";
        const QStringList all{"192.0.2.2 0 -0.001670 0.001778 0",
                              "192.0.2.4 0 +1.499441 0.000158 0",
                              "192.0.2.3 1 - - 1",
                              "192.0.2.5 0 -86400.000336 0.000115 0",
                              "no.such.host.invalid 1 - - 2",
                              "192.0.2.2 0 -0.002362 0.002436 0"};
        const auto row = [](const char* name, const QByteArray& log, const QStringList& runs,
                            int skipped) { QTest::newRow(name) << log << runs << skipped; };
        row("rotated inside the first line, cut inside the last", real.mid(30).chopped(20),
            all.mid(1, 4) << "192.0.2.2 0 - - 0", 3);
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

    // What discovery takes from an answer from 192.0.2.3, as discover --json prints it: the keys
    // that differ from an answer with nothing but the id "x", or null when it is dropped.
    void accept_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("server");
        const QByteArray id = R"({"id":"x"})", reply = R"({"nonce":"0a1b2c3d","id":"x"})";
        const auto row = [](const char* name, int type, const QByteArray& json,
                            const QByteArray& server, int length = -1) {
            const int n = length < 0 ? int(json.size()) : length;
            QTest::newRow(name) << "TSVL\x01" + QByteArray(1, char(type)) + char(n >> 8) + char(n) +
                                       json
                                << server;
        };
        row("reply with the nonce", 3, reply, "{}");
        row("announcement, no nonce", 2, id, "{}");
        row("every field", 2,
            R"({"id":"i","name":"N","ver":"2","stratum":3,"synced":true,"accepting":true,)"
            R"("source":"G","clients":4,"address":"1.2.3.4"})",
            R"({"id":"i","name":"N","ver":"2","stratum":3,"synced":true,"accepting":true,)"
            R"("source":"G","clients":4,"ready":true})");
        row("wrong types: defaults", 2,
            R"({"id":1,"name":2,"stratum":"1","synced":1,"clients":2.5})", R"({"id":"192.0.2.3"})");
        row("nonce in capitals", 3, R"({"nonce":"0A1B2C3D","id":"x"})", "null");
        row("nonce not a string", 3, R"({"nonce":1,"id":"x"})", "null");
        row("reply without nonce", 3, id, "null");
        row("bytes after the payload", 2, id + "  ", "{}", 10);
        row("payload shorter than its length", 2, id, "null", 11);
        row("1024-byte payload", 2, id + QByteArray(1014, ' '), "{}");
        row("1025-byte payload", 2, id + QByteArray(1015, ' '), "null");
        row("a query", 1, reply, "null");
        row("not JSON", 2, "{\"id\":", "null");
        QTest::newRow("seven bytes") << QByteArray("TSVL\x01\x02\x00", 7) << QByteArray("null");
    }

    void accept()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, server);
        const auto s = tool::acceptAnswer(datagram.toStdString(), "0a1b2c3d", "192.0.2.3");
        nlohmann::json want = nlohmann::json::parse(server.data());
        if (!want.is_null()) {
            auto quiet = nlohmann::json::parse(R"-({"id":"x","name":"(unnamed)","ver":"",)-"
                                               R"("stratum":0,"synced":false,"accepting":false,)"
                                               R"("source":"","clients":0,"address":"192.0.2.3",)"
                                               R"("ready":false})");
            quiet.update(want);
            want = quiet;
        }
        const nlohmann::json got = s ? nlohmann::json(tool::serverJson(*s)) : nlohmann::json();
        QCOMPARE(QString::fromStdString(got.dump()), QString::fromStdString(want.dump()));
    }

    void nonce()
    {
        const QString nonce = QString::fromStdString(tool::randomNonce());
        QVERIFY2(QRegularExpression("^[0-9a-f]{8}$").match(nonce).hasMatch(), qPrintable(nonce));
    }
};

QTEST_GUILESS_MAIN(TestToolCore)
#include "tst_toolcore.moc"
