#include "tests/tool/selftestroot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

const char* const SelfTestRoot::kSyncLabel = "com.tessavel.connect.selftest";
const char* const SelfTestRoot::kSetTimeLabel = "com.tessavel.connect.settime.selftest";

namespace {

QString launchctlPath()
{
    return QStringLiteral(TV_BINARY_DIR "/standins/launchctl");
}

// Processes other than zombies whose command line names the folder.
QList<qint64> processesUnder(const QString& folder)
{
    QList<qint64> found;
    const QByteArray needle = folder.toLocal8Bit();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) continue;
        QFile cmd("/proc/" + entry + "/cmdline"), stat("/proc/" + entry + "/stat");
        if (!cmd.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray st = stat.readAll();
        const int close = st.lastIndexOf(')');
        if (close < 0 || st.mid(close + 2, 1) == "Z") continue;
        if (cmd.readAll().contains(needle)) found << pid;
    }
    return found;
}

} // namespace

SelfTestRoot::SelfTestRoot()
{
    m_valid = m_dir.isValid() && ToolHarness::makeOwnedByTestUser(m_dir.path());
}

SelfTestRoot::~SelfTestRoot()
{
    bootOutAll();
}

QString SelfTestRoot::stateDir() const
{
    return path() + "/Library/Application Support/Tessavel Veridir";
}

QString SelfTestRoot::logPath() const
{
    return path() + "/var/log/tessavel-connect.log";
}

QString SelfTestRoot::installedBin() const
{
    return path() + "/Library/PrivilegedHelperTools/com.tessavel.connect";
}

QString SelfTestRoot::jobPlist() const
{
    return path() + "/Library/LaunchDaemons/" + kSyncLabel + ".plist";
}

QString SelfTestRoot::setTimePlist() const
{
    return path() + "/Library/LaunchDaemons/" + kSetTimeLabel + ".plist";
}

bool SelfTestRoot::plant(const QString& where, const QByteArray& bytes, int mode) const
{
    const QString file = where.startsWith('/') ? where : path() + "/" + where;
    QStringList made;
    for (QString dir = QFileInfo(file).absolutePath(); !QFileInfo::exists(dir);
         dir = QFileInfo(dir).absolutePath())
        made.prepend(dir);
    for (const QString& dir : made) {
        if (!QDir().mkdir(dir) || !ToolHarness::makeOwnedByTestUser(dir)) return false;
    }
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    const QByteArray p = file.toLocal8Bit();
    return ::chown(p.constData(), ToolHarness::testUid(), ToolHarness::testGid()) == 0 &&
           ::chmod(p.constData(), mode_t(mode)) == 0;
}

QByteArray SelfTestRoot::read(const QString& where) const
{
    QFile f(where.startsWith('/') ? where : path() + "/" + where);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString SelfTestRoot::fakeSntp(int status) const
{
    const QString script = path() + "/fake-sntp";
    plant(script,
          "#!/bin/sh\necho \"fake sntp asked $*\"\nexit " + QByteArray::number(status) + "\n",
          0755);
    return script;
}

QString SelfTestRoot::domain()
{
    return "gui/" + QString::number(ToolHarness::testUid());
}

QProcessEnvironment SelfTestRoot::env() const
{
    QProcessEnvironment env = ToolHarness::selfTestEnv(path());
    env.insert("TESSAVEL_LAUNCHD_DIR", path() + "/launchd");
    return env;
}

ToolResult SelfTestRoot::tool(const QStringList& args, const QProcessEnvironment& extra,
                              const QString& program) const
{
    QProcessEnvironment all = env();
    all.insert(extra);
    return ToolHarness::run(args, all, {}, program);
}

ToolResult SelfTestRoot::launchctl(const QStringList& args) const
{
    return ToolHarness::run(args, env(), {}, launchctlPath());
}

bool SelfTestRoot::loaded(const QString& label) const
{
    return launchctl({"print", domain() + "/" + label}).status == 0;
}

int SelfTestRoot::finishedRuns(const QString& label) const
{
    const ToolResult r = launchctl({"print", domain() + "/" + label});
    static const QRegularExpression runs("\truns = (\\d+)\n");
    const QRegularExpressionMatch m = runs.match(r.out);
    if (r.status != 0 || !m.hasMatch()) return -1;
    return m.captured(1).toInt() - (r.out.contains("\tstate = running\n") ? 1 : 0);
}

bool SelfTestRoot::ranAtLoad(const QString& label) const
{
    return waitFor([&] { return finishedRuns(label) >= 1; });
}

bool SelfTestRoot::bootOutAll() const
{
    if (!m_valid) return true;
    bool clean = true;
    QDirIterator records(path() + "/launchd", {"*.job"}, QDir::Files, QDirIterator::Subdirectories);
    while (records.hasNext()) {
        QFile record(records.next());
        const QString label = QFileInfo(record).completeBaseName();
        launchctl({"bootout", domain() + "/" + label});
        if (!record.exists()) continue;
        // Not stopped by bootout: end its supervisor by hand, and say so.
        clean = false;
        if (record.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : record.readAll().split('\n')) {
                if (line.startsWith("supervisor = ")) ::kill(line.mid(13).toInt(), SIGKILL);
            }
        }
        QFile::remove(record.fileName());
    }
    waitFor([&] { return processesUnder(path()).isEmpty(); }, 3000);
    const QList<qint64> left = processesUnder(path());
    for (qint64 pid : left)
        ::kill(pid_t(pid), SIGKILL);
    return clean && left.isEmpty();
}

void SelfTestCase::init()
{
    m_root = std::make_unique<SelfTestRoot>();
    QVERIFY(m_root->isValid());
}

void SelfTestCase::cleanup()
{
    QVERIFY2(m_root->bootOutAll(), "a job or a process outlived its test");
    m_root.reset();
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs) return false;
        QThread::msleep(10);
    }
    return true;
}
