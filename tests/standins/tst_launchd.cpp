// The launchd stand-in as the tool meets it: jobs run at load, every StartInterval and when a
// watched path changes, one at a time, with their output appended; print tells loaded from
// not loaded; bootout stops the job and leaves nothing running.
#include "tests/tool/plistxml.h"
#include "tests/tool/selftestroot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString kLabel = "test.job";

struct Job
{
    explicit Job(const QString& s, bool load = true, int every = 0)
        : script(s), runAtLoad(load), interval(every)
    {
    }
    QString script; // run by /bin/sh -c in the job's working folder "/"
    bool runAtLoad;
    int interval;
    QStringList watch;
    QString out, err;
    QMap<QString, QString> env;
    QString label = kLabel;
};

QString writeJob(const QString& path, const Job& job)
{
    QVariantMap plist{{"Label", job.label},
                      {"ProgramArguments", QVariantList{"/bin/sh", "-c", job.script}},
                      {"RunAtLoad", job.runAtLoad}};
    if (job.interval) plist["StartInterval"] = job.interval;
    if (!job.watch.isEmpty()) plist["WatchPaths"] = job.watch;
    if (!job.out.isEmpty()) plist["StandardOutPath"] = job.out;
    if (!job.err.isEmpty()) plist["StandardErrorPath"] = job.err;
    QVariantMap env;
    for (auto it = job.env.begin(); it != job.env.end(); ++it)
        env[it.key()] = it.value();
    if (!env.isEmpty()) plist["EnvironmentVariables"] = env;
    if (!writePlistFile(path, plist)) return {};
    ::chmod(qPrintable(path), 0644);
    ::chown(qPrintable(path), ToolHarness::testUid(), ToolHarness::testGid());
    return path;
}

QStringList lines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Writes as the test user, so the job (running as that user) may rewrite the file too.
void writeAsUser(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    ::chown(qPrintable(path), ToolHarness::testUid(), ToolHarness::testGid());
}

bool processLives(qint64 pid)
{
    QFile stat("/proc/" + QString::number(pid) + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray st = stat.readAll();
    return st.mid(st.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

class TestLaunchd : public SelfTestCase
{
    Q_OBJECT

    QString file(const QString& name) const { return m_root->path() + "/" + name; }
    QString target() const { return SelfTestRoot::domain() + "/" + kLabel; }

    ToolResult load(const Job& job)
    {
        const QString plist = writeJob(file(job.label + ".plist"), job);
        return m_root->launchctl({"bootstrap", SelfTestRoot::domain(), plist});
    }

private slots:
    void runsAtLoadAppendingItsOutput_data()
    {
        QTest::addColumn<bool>("samePath");
        QTest::newRow("output and error to one file") << true;
        QTest::newRow("output and error to two files") << false;
    }

    void runsAtLoadAppendingItsOutput()
    {
        QFETCH(bool, samePath);
        writeAsUser(file("out.log"), "earlier line\n");
        Job job{"echo to-out; echo to-err >&2", true};
        job.out = file("out.log");
        job.err = samePath ? job.out : file("err.log");
        QCOMPARE(load(job).status, 0);
        const QStringList want = samePath ? QStringList{"earlier line", "to-out", "to-err"}
                                          : QStringList{"earlier line", "to-out"};
        QTRY_COMPARE(lines(job.out), want);
        if (!samePath) QTRY_COMPARE(lines(job.err), QStringList{"to-err"});
    }

    void runsEveryStartInterval()
    {
        Job job{"echo run", false, 2};
        job.out = file("out.log");
        QElapsedTimer t;
        t.start();
        QCOMPARE(load(job).status, 0);
        QThread::msleep(500);
        QCOMPARE(lines(job.out).size(), 0); // no RunAtLoad: nothing before the first interval
        QTRY_COMPARE_WITH_TIMEOUT(lines(job.out).size(), 2, 10000);
        QVERIFY2(t.elapsed() >= 3900, "two runs came sooner than two intervals");
    }

    void runsWhenAWatchedPathChanges_data()
    {
        QTest::addColumn<QString>("change"); // shell, run as the test user in the root
        QTest::newRow("written in place") << "echo x >> watched";
        QTest::newRow("replaced by a rename") << "echo y > other && mv other watched";
        QTest::newRow("removed") << "rm watched";
    }

    void runsWhenAWatchedPathChanges()
    {
        QFETCH(QString, change);
        writeAsUser(file("watched"), "");
        Job job{"echo run", false};
        job.watch = {file("watched")};
        job.out = file("out.log");
        QCOMPARE(load(job).status, 0);
        // A file beside the watched one is not watched.
        QCOMPARE(ToolHarness::run({"-c", "cd " + m_root->path() + " && echo z > beside"}, {}, {},
                                  "/bin/sh")
                     .status,
                 0);
        QThread::msleep(300);
        QCOMPARE(lines(job.out).size(), 0);
        QCOMPARE(
            ToolHarness::run({"-c", "cd " + m_root->path() + " && " + change}, {}, {}, "/bin/sh")
                .status,
            0);
        QTRY_COMPARE(lines(job.out).size(), 1);
        QThread::msleep(300);
        QCOMPARE(lines(job.out).size(), 1); // one change, one run
    }

    // Changes during a run start no second copy; they make one more run after it.
    void oneRunAtATime()
    {
        writeAsUser(file("watched"), "");
        Job job{"cd " + m_root->path() +
                    " && { mkdir lock 2>/dev/null || echo overlap; }; sleep 0.4; rmdir lock; "
                    "echo run",
                false};
        job.watch = {file("watched")};
        job.out = file("out.log");
        QCOMPARE(load(job).status, 0);
        for (int i = 0; i < 5; ++i) {
            writeAsUser(file("watched"), QByteArray::number(i));
            QThread::msleep(60);
        }
        QTRY_COMPARE(lines(job.out), (QStringList{"run", "run"}));
        QThread::msleep(600);
        QCOMPARE(lines(job.out), (QStringList{"run", "run"}));
    }

    void jobGetsItsOwnEnvironment()
    {
        Job job{"echo \"$PATH|$ADDED|${LEAKED-unset}\"; launchctl_dir=$TESSAVEL_LAUNCHD_DIR; "
                "echo \"$launchctl_dir\"",
                true};
        job.env = {{"ADDED", "from the plist"}};
        job.out = file("out.log");
        QProcessEnvironment leak = m_root->env();
        leak.insert("LEAKED", "from the caller");
        const QString plist = writeJob(file("env.plist"), job);
        QCOMPARE(ToolHarness::run({"bootstrap", SelfTestRoot::domain(), plist}, leak, {},
                                  TV_BINARY_DIR "/standins/launchctl")
                     .status,
                 0);
        QTRY_COMPARE(lines(job.out),
                     (QStringList{"/usr/bin:/bin:/usr/sbin:/sbin|from the plist|unset",
                                  m_root->path() + "/launchd"}));
    }

    void printTellsLoadedFromNotLoaded()
    {
        QVERIFY(m_root->launchctl({"print", target()}).status != 0);
        Job job{"sleep 1", true, 90};
        QCOMPARE(load(job).status, 0);
        ToolResult p = m_root->launchctl({"print", target()});
        QCOMPARE(p.status, 0);
        QVERIFY2(p.out.contains("\tstate = running\n"), qPrintable(p.out));
        QVERIFY(p.out.contains("\trun interval = 90 seconds\n"));
        QTRY_VERIFY(m_root->launchctl({"print", target()}).out.contains("state = not running"));
        QVERIFY(m_root->launchctl({"print", target()}).out.contains("last exit code = 0"));
        QCOMPARE(m_root->launchctl({"bootout", target()}).status, 0);
        p = m_root->launchctl({"print", target()});
        QVERIFY(p.status != 0);
        QCOMPARE(p.err, "Could not find service \"" + kLabel + "\" in domain for " +
                            SelfTestRoot::domain() + "\n");
    }

    void bootoutStopsTheJobAndLeavesNoProcess()
    {
        Job job{"cd " + m_root->path() + " && sleep 30 & echo $! > " + file("child") +
                    "; echo $$ > " + file("leader") + "; wait",
                true};
        QCOMPARE(load(job).status, 0);
        QTRY_VERIFY(!lines(file("child")).isEmpty() && !lines(file("leader")).isEmpty());
        const qint64 child = lines(file("child")).first().toLongLong();
        const qint64 leader = lines(file("leader")).first().toLongLong();
        QVERIFY(processLives(child) && processLives(leader));

        QElapsedTimer t;
        t.start();
        QCOMPARE(m_root->launchctl({"bootout", target()}).status, 0);
        QVERIFY(t.elapsed() < 3000);
        QVERIFY(!processLives(child));
        QVERIFY(!processLives(leader));
        QVERIFY(m_root->launchctl({"print", target()}).status != 0);
        QVERIFY(m_root->launchctl({"bootout", target()}).status != 0);
    }

    // The set-the-clock job withdraws itself this way.
    void jobBootsItselfOut()
    {
        Job job{TV_BINARY_DIR "/standins/launchctl bootout " + target() + "; echo not reached",
                true};
        job.out = file("out.log");
        QCOMPARE(load(job).status, 0);
        QTRY_VERIFY(m_root->launchctl({"print", target()}).status != 0);
        QVERIFY(m_root->bootOutAll());
        QCOMPARE(lines(job.out), QStringList());
    }

    void bootstrapRefuses_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("plistText"); // empty: a good job
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("words");
        const QString other = ToolHarness::testUid() == 0 ? "gui/1" : "gui/0";
        QTest::newRow("another user's domain")
            << other << "" << 0644 << 1 << "Bootstrap failed: 1: Operation not permitted";
        QTest::newRow("the system domain without root")
            << "system"
            << "" << 0644 << 1 << "Bootstrap failed: 1: Operation not permitted";
        QTest::newRow("an unknown domain")
            << "nonsense"
            << "" << 0644 << 125 << "Bootstrap failed: 125: Unknown domain";
        QTest::newRow("an empty domain") << ""
                                         << "" << 0644 << 125 << "Unknown domain";
        QTest::newRow("not a property list")
            << SelfTestRoot::domain() << "garbage" << 0644 << 5 << "not a property list";
        QTest::newRow("no label") << SelfTestRoot::domain()
                                  << "<plist><dict><key>ProgramArguments</key><array><string>"
                                     "/bin/true</string></array></dict></plist>"
                                  << 0644 << 5 << "no usable Label";
        QTest::newRow("others may rewrite it")
            << SelfTestRoot::domain() << "" << 0666 << 5 << "dubious permissions";
    }

    void bootstrapRefuses()
    {
        QFETCH(QString, domain);
        QFETCH(QString, plistText);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QString, words);
        const QString plist = writeJob(file("job.plist"), Job{"echo ran > " + file("ran")});
        if (!plistText.isEmpty()) writeAsUser(plist, plistText.toUtf8());
        ::chmod(qPrintable(plist), mode_t(mode));
        const ToolResult r = m_root->launchctl({"bootstrap", domain, plist});
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(words), qPrintable(r.err));
        QThread::msleep(200);
        QVERIFY(!QFile::exists(file("ran")));
    }

    void secondBootstrapFindsTheJobLoaded()
    {
        QCOMPARE(load(Job{"sleep 5"}).status, 0);
        const ToolResult again = load(Job{"sleep 5"});
        QCOMPARE(again.status, 37);
        QVERIFY(again.err.contains("test.job is loaded"));
    }

    // A supervisor whose record went (its test's folder deleted) must not live on.
    void supervisorStopsWhenItsRecordGoes()
    {
        Job job{"sleep 30"};
        QCOMPARE(load(job).status, 0);
        QVERIFY(QDir(m_root->path() + "/launchd").removeRecursively());
        QVERIFY(waitFor([&] { return m_root->bootOutAll(); }, 4000));
    }
};

QTEST_GUILESS_MAIN(TestLaunchd)
#include "tst_launchd.moc"
