// Files the tool reads that could stop it, crash it or pass odd values off as real ones: pipes
// and devices, lists nested past any sane depth, binary lists, out-of-range values, controls in
// a request; and what a stopped writer leaves behind. Through the tool's own command line.
#include "selftestroot.h"

#include <plist/plist.h>

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kRequest = "2030-01-01T00:00:00Z 0123456789abcdef\n";
const QString kJob = "set-time-from-request";

QByteArray grant(const QByteArray& uid)
{
    return R"(<?xml version="1.0"?><plist version="1.0"><dict><key>uid</key><integer>)" + uid +
           "</integer></dict></plist>";
}

QByteArray nested(int levels, bool closed)
{
    return R"(<?xml version="1.0"?><plist version="1.0">)" +
           QByteArray("<array>").repeated(levels) +
           (closed ? QByteArray("</array>").repeated(levels) + "</plist>" : QByteArray());
}

QByteArray binaryRecord()
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "timeServer", plist_new_string("lab.example"));
    plist_dict_set_item(dict, "usingNetworkTime", plist_new_bool(0));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bytes, &length);
    const QByteArray out(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(dict);
    return out;
}

// A binary list of a few hundred bytes whose every array names the one below it twice.
QByteArray doublingArrays(int depth)
{
    auto be16 = [](qsizetype v) { return QByteArray{char(v >> 8), char(v & 0xFF)}; };
    QByteArray body = "bplist00", table;
    for (int k = 0; k <= depth; ++k) {
        table += be16(body.size());
        body += k == 0 ? QByteArray(1, char(0xA0)) : char(0xA2) + be16(k - 1) + be16(k - 1);
    }
    QByteArray trailer(32, '\0');
    trailer[6] = trailer[7] = 2; // widths of offsets and references
    trailer[15] = char(depth + 1);
    trailer[23] = char(depth); // the top object
    trailer.replace(30, 2, be16(body.size()));
    return body + table + trailer;
}

} // namespace

class TestHostileFiles : public SelfTestCase
{
    Q_OBJECT

    // Bounded in time, and in memory should a device be read without end.
    ToolResult bounded(const QStringList& args, const QProcessEnvironment& env = {})
    {
        return m_root->tool(
            QStringList{"--as=1073741824", "/usr/bin/timeout", "20", QStringLiteral(TV_TOOL_PATH)} +
                args,
            env, "/usr/bin/prlimit");
    }

    bool plantKind(const QString& path, const QByteArray& bytes)
    {
        const QByteArray p = path.toLocal8Bit();
        if (bytes == "<fifo>")
            return m_root->plant(path, {}) && ::unlink(p) == 0 && ::mkfifo(p, 0666) == 0 &&
                   ::chmod(p, 0666) == 0;
        if (bytes == "<device>")
            return m_root->plant(path, {}) && ::unlink(p) == 0 && ::symlink("/dev/zero", p) == 0;
        return m_root->plant(path, bytes, path.endsWith("request") ? 0600 : 0644);
    }

private slots:
    // Files by name in the state folder; an empty out or err means nothing at all there.
    void stateFiles_data()
    {
        QTest::addColumn<QVariantMap>("files");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("status");
        const QByteArray mine = grant(QByteArray::number(ToolHarness::testUid()));
        const QByteArray deep = nested(200000, true);
        const QStringList status{"status"};
        const QString noRecord = "== time settings before setup ==\n  (no record)\n";
        const QString noSync = "== last sync ==\n  (none recorded)\n";
        auto request = [&](const QByteArray& line) {
            return QVariantMap{{"set-time-grant.plist", mine}, {"set-time-request", line}};
        };

        QTest::newRow("pipe at the last sync: status")
            << QVariantMap{{"last-sync", "<fifo>"}} << status << noSync << "" << 0;
        QTest::newRow("device at the last sync: set-time")
            << QVariantMap{{"last-sync", "<device>"}}
            << QStringList{"set-time", QString::fromLatin1(kRequest.left(20))}
            << "clock set to 2030-01-01T00:00:00Z (self-test: not really)\n"
            << "" << 0;
        QVariantMap pipedResult = request(kRequest);
        pipedResult.insert("set-time-result", "<fifo>");
        QTest::newRow("pipe at the result: the request is answered")
            << pipedResult << QStringList{kJob} << ": ok clock set to 2030-01-01T00:00:00Z"
            << "" << 0;
        QTest::newRow("200,000 levels before setup: status")
            << QVariantMap{{"before-setup.plist", deep}} << status << noRecord << "" << 0;
        QTest::newRow("200,000 levels before setup: remove")
            << QVariantMap{{"before-setup.plist", deep}} << QStringList{"remove"}
            << "(Apple's default).\n"
            << "" << 0;
        QTest::newRow("200,000 levels in the grant: the job stops")
            << QVariantMap{{"set-time-grant.plist", deep}, {"set-time-request", kRequest}}
            << QStringList{kJob} << ""
            << "" << 0;
        QTest::newRow("9,000 open arrays within the size cap: status")
            << QVariantMap{{"before-setup.plist", nested(9000, false)}} << status << noRecord << ""
            << 0;
        QTest::newRow("binary record before setup: status")
            << QVariantMap{{"before-setup.plist", binaryRecord()}} << status
            << "  time server: lab.example\n  set time automatically: off\n"
            << "" << 0;
        QTest::newRow("binary list unfolding into 2^40 nodes: status")
            << QVariantMap{{"before-setup.plist", doublingArrays(40)}} << status << noRecord << ""
            << 0;
        QTest::newRow("last second of the year 9999: status")
            << QVariantMap{{"last-sync", "253402300799\n"}} << status
            << "== last sync ==\n  9999-12-31T23:59:59Z\n"
            << "" << 0;
        QTest::newRow("a second past the year 9999: status")
            << QVariantMap{{"last-sync", "253402300800\n"}} << status << noSync << "" << 0;
        QTest::newRow("grant for uid -1: status")
            << QVariantMap{{"set-time-grant.plist", grant("-1")}} << status
            << "  set the clock: nobody\n"
            << "" << 0;
        QTest::newRow("grant with an empty integer: status")
            << QVariantMap{{"set-time-grant.plist", grant("")}} << status
            << "  set the clock: nobody\n"
            << "" << 0;
        QTest::newRow("C1 control in a request: ignored")
            << request("2030-01-01T00:00:00Z\xC2\x9B[2J 0123456789abcdef\n") << QStringList{kJob}
            << ""
            << "" << 0;
        QTest::newRow("next line (U+0085) in a request: ignored")
            << request("2030-01-01T00:00:00Z\xC2\x85x 0123456789abcdef\n") << QStringList{kJob}
            << ""
            << "" << 0;
        QTest::newRow("line separator in a request: ignored")
            << request("2030-01-01T00:00:00Z\xE2\x80\xA8x 0123456789abcdef\n") << QStringList{kJob}
            << ""
            << "" << 0;
        // Self-test mode hands the file over as root would; the test user cannot give it away.
        QTest::newRow("a request file that cannot be handed over: error")
            << QVariantMap{} << QStringList{"allow-set-time", "--user", "1"} << ""
            << "error: cannot give " << 1;
    }

    void stateFiles()
    {
        QFETCH(QVariantMap, files);
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, status);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY(plantKind(m_root->state(it.key()), it.value().toByteArray()));
        const ToolResult r = bounded(args);
        QCOMPARE(r.status, status);
        if (out.isEmpty()) QCOMPARE(r.out, QString());
        QVERIFY2(r.out.contains(out), qPrintable(r.out));
        if (err.isEmpty()) QCOMPARE(r.err, QString());
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        if (args == QStringList{"allow-set-time", "--user", "1"})
            QVERIFY(!QFile::exists(m_root->state("set-time-grant.plist")));
    }

    // A writer killed between making its new file and renaming it leaves the file behind,
    // named "." + target + "." + six letters or digits.
    void leftovers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("gone");
        const QString bin = "Library/PrivilegedHelperTools/.com.tessavel.connect.Ab12Cd";
        const QString job = "Library/LaunchDaemons/.com.tessavel.connect.selftest.plist.x9Y8z7";
        const QString setTime =
            "Library/LaunchDaemons/.com.tessavel.connect.settime.selftest.plist.Q1w2E3";
        QTest::newRow("remove") << QStringList{"remove"} << QStringList{bin, job, setTime};
        QTest::newRow("install") << QStringList{"install", "--server", "192.0.2.9"}
                                 << QStringList{bin, job};
    }

    void leftovers()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, gone);
        const QStringList all{
            "Library/PrivilegedHelperTools/.com.tessavel.connect.Ab12Cd",
            "Library/LaunchDaemons/.com.tessavel.connect.selftest.plist.x9Y8z7",
            "Library/LaunchDaemons/.com.tessavel.connect.settime.selftest.plist.Q1w2E3",
            "Library/PrivilegedHelperTools/.com.tessavel.connect.old", // not the writer's
            "Library/LaunchDaemons/.com.other.job.plist.Ab12Cd",       // not the tool's
        };
        for (const QString& f : all)
            QVERIFY(m_root->plant(f, "partial copy", 0755));
        QVERIFY(m_root->plant(m_root->jobPlist(), "<plist/>")); // something to remove
        QVERIFY(m_root->plant("sntp", "#!/bin/sh\nexit 0\n", 0755));
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->path() + "/sntp");
        QCOMPARE(bounded(args, env).status, 0);
        for (const QString& f : all)
            QVERIFY2(QFile::exists(m_root->path() + "/" + f) != gone.contains(f), qPrintable(f));
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
