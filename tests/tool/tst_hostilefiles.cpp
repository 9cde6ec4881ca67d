// Files the tool reads that could stop it, crash it or pass odd values off as real ones, and
// what a stopped writer leaves behind; through the tool's own command line.
#include "tests/tool/selftestroot.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kFifo = "<fifo>", kDevice = "<device>";

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

// {"timeServer": "lab.example", "usingNetworkTime": false} as libplist writes it in binary.
const QByteArray kBinaryRecord = QByteArray::fromHex(
    "62706c6973743030d2010302045a74696d655365727665725b6c61622e6578616d706c655f10107573696e674e"
    "6574776f726b54696d6508080d182437000000000000010100000000000000050000000000000000000000000000"
    "0038");

// A binary list of a few hundred bytes whose every array names the one below it twice.
QByteArray doublingArrays(int depth)
{
    auto be16 = [](qsizetype v) { return QByteArray{char(v >> 8), char(v & 0xFF)}; };
    QByteArray body = "bplist00", table, trailer(32, '\0');
    for (int k = 0; k <= depth; ++k) {
        table += be16(body.size());
        body += k == 0 ? QByteArray(1, char(0xA0)) : char(0xA2) + be16(k - 1) + be16(k - 1);
    }
    trailer[6] = trailer[7] = 2; // widths of offsets and references
    trailer[15] = char(depth + 1);
    trailer[23] = char(depth); // the top object
    return body + table + trailer.replace(30, 2, be16(body.size()));
}

} // namespace

class TestHostileFiles : public SelfTestCase
{
    Q_OBJECT

    // Bounded in time, and in memory should a device be read without end.
    ToolResult bounded(const QStringList& args, const QProcessEnvironment& env = {})
    {
        const QStringList limits{"--as=1073741824", "/usr/bin/timeout", "20", TV_TOOL_PATH};
        return m_root->tool(limits + args, env, "/usr/bin/prlimit");
    }

    bool plantKind(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_root->state(name);
        const QByteArray p = path.toLocal8Bit();
        if (bytes == kFifo)
            return m_root->plant(path, {}) && ::unlink(p) == 0 && ::mkfifo(p, 0666) == 0 &&
                   ::chmod(p, 0666) == 0;
        if (bytes == kDevice)
            return m_root->plant(path, {}) && ::unlink(p) == 0 && ::symlink("/dev/zero", p) == 0;
        return m_root->plant(path, bytes, path.endsWith("request") ? 0600 : 0644);
    }

private slots:
    // One file planted in the state folder; the job's runs find a good grant and request
    // beside it. "said" is found in what the run writes; when empty the run writes nothing.
    void stateFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("status");
        const QByteArray deep = nested(200000, true);
        const QString job = "set-time-from-request";
        const QString noRecord = "== time settings before setup ==\n  (no record)\n";
        const QString noSync = "== last sync ==\n  (none recorded)\n";
        const QString nobody = "  set the clock: nobody\n";
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };

        row("pipe at the last sync: status") << "last-sync" << kFifo << "status" << noSync << 0;
        row("device at the last sync: set-time")
            << "last-sync" << kDevice << "set-time 2030-01-01T00:00:00Z"
            << "clock set to 2030-01-01T00:00:00Z (self-test: not really)\n"
            << 0;
        row("pipe at the result: the request is answered")
            << "set-time-result" << kFifo << job << ": ok clock set to 2030-01-01T00:00:00Z" << 0;
        row("200,000 levels before setup: status")
            << "before-setup.plist" << deep << "status" << noRecord << 0;
        row("200,000 levels before setup: remove") << "before-setup.plist" << deep << "remove"
                                                   << "(Apple's default).\n"
                                                   << 0;
        row("200,000 levels in the grant: the job stops")
            << "set-time-grant.plist" << deep << job << "" << 0;
        row("9,000 open arrays within the size cap: status")
            << "before-setup.plist" << nested(9000, false) << "status" << noRecord << 0;
        row("binary record before setup: status")
            << "before-setup.plist" << kBinaryRecord << "status"
            << "  time server: lab.example\n  set time automatically: off\n"
            << 0;
        row("binary list unfolding into 2^40 nodes: status")
            << "before-setup.plist" << doublingArrays(40) << "status" << noRecord << 0;
        row("last second of the year 9999: status")
            << "last-sync" << QByteArray("253402300799") << "status"
            << "== last sync ==\n  9999-12-31T23:59:59Z\n"
            << 0;
        row("a second past the year 9999: status")
            << "last-sync" << QByteArray("253402300800") << "status" << noSync << 0;
        row("grant for uid -1: status")
            << "set-time-grant.plist" << grant("-1") << "status" << nobody << 0;
        row("grant with an empty integer: status")
            << "set-time-grant.plist" << grant("") << "status" << nobody << 0;
        row("C1 control (next line) in a request: ignored")
            << "set-time-request" << QByteArray("2030-01-01T00:00:00Z\xC2\x85x 0123456789abcdef")
            << job << "" << 0;
        row("line separator in a request: ignored")
            << "set-time-request"
            << QByteArray("2030-01-01T00:00:00Z\xE2\x80\xA8x 0123456789abcdef") << job << "" << 0;
        // Self-test mode hands the file over as root would; the test user cannot give it away.
        row("a request file that cannot be handed over: error")
            << "" << QByteArray() << "allow-set-time --user 1"
            << "error: cannot give " << 1;
    }

    void stateFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, args);
        QFETCH(QString, said);
        QFETCH(int, status);
        if (args == "set-time-from-request") {
            QVERIFY(plantKind("set-time-grant.plist",
                              grant(QByteArray::number(ToolHarness::testUid()))));
            QVERIFY(plantKind("set-time-request", "2030-01-01T00:00:00Z 0123456789abcdef"));
        }
        if (!file.isEmpty()) QVERIFY(plantKind(file, bytes));
        const ToolResult r = bounded(args.split(' '));
        QCOMPARE(r.status, status);
        if (said.isEmpty()) QCOMPARE(r.out + r.err, QString());
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    }

    // A writer killed between making its new file and renaming it leaves that file behind:
    // "." + target + "." + six letters or digits. The first `gone` of these are the command's.
    void leftovers_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("gone");
        QTest::newRow("remove") << "remove" << 3;
        QTest::newRow("install") << "install --server 192.0.2.9" << 2;
    }

    void leftovers()
    {
        QFETCH(QString, args);
        QFETCH(int, gone);
        const QString bin = "Library/PrivilegedHelperTools/.com.tessavel.connect.";
        const QString jobs = "Library/LaunchDaemons/.com.tessavel.connect.";
        const QStringList all{bin + "Ab12Cd", jobs + "selftest.plist.x9Y8z7",
                              jobs + "settime.selftest.plist.Q1w2E3",
                              bin + "old",                                          // not 6
                              "Library/LaunchDaemons/.com.other.job.plist.Ab12Cd"}; // not ours
        for (const QString& f : all)
            QVERIFY(m_root->plant(f, "partial copy", 0755));
        QVERIFY(m_root->plant(m_root->jobPlist(), "<plist/>")); // something to remove
        QVERIFY(m_root->plant("sntp", "#!/bin/sh\nexit 0\n", 0755));
        QProcessEnvironment env;
        env.insert("TESSAVEL_CONNECT_TEST_SNTP", m_root->path() + "/sntp");
        QCOMPARE(bounded(args.split(' '), env).status, 0);
        for (int i = 0; i < all.size(); ++i)
            QVERIFY2(QFile::exists(m_root->path() + "/" + all[i]) == (i >= gone),
                     qPrintable(all[i]));
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
