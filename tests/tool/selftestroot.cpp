#include "selftestroot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

bool waitFor(const std::function<bool()>& cond, int timeoutMs)
{
    QElapsedTimer t;
    for (t.start(); !cond(); QThread::msleep(10))
        if (t.elapsed() > timeoutMs) return false;
    return true;
}

bool SelfTestRoot::plant(const QString& where, const QByteArray& bytes, int mode) const
{
    QStringList made;
    for (QString dir = QFileInfo(path(where)).path(); !QFileInfo::exists(dir);
         dir = QFileInfo(dir).path())
        made.prepend(dir);
    for (const QString& dir : made)
        if (!QDir().mkdir(dir) || !ToolHarness::makeOwnedByTestUser(dir)) return false;
    QFile f(path(where));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.flush() && ::fchown(f.handle(), ToolHarness::testUid(), ToolHarness::testGid()) == 0 &&
           ::fchmod(f.handle(), mode_t(mode)) == 0;
}

QByteArray SelfTestRoot::read(const QString& file) const
{
    QFile f(path(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QProcessEnvironment SelfTestRoot::env() const
{
    QProcessEnvironment env;
    env.insert("TESSAVEL_CONNECT_TEST_ROOT", path());
    env.insert("TESSAVEL_LAUNCHD_DIR", path("launchd"));
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
    return ToolHarness::run(args, env(), {}, TV_BINARY_DIR "/standins/launchctl");
}

int SelfTestRoot::finishedRuns(const QString& label) const
{
    const ToolResult r = launchctl({"print", domain() + "/" + label});
    const auto runs = QRegularExpression("\truns = (\\d+)\n").match(r.out);
    if (r.status != 0 || !runs.hasMatch()) return -1;
    return runs.captured(1).toInt() - r.out.contains("\tstate = running\n");
}

bool SelfTestRoot::bootOutAll() const
{
    bool clean = true;
    for (QDirIterator it(path("launchd"), {"*.job"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile record(it.next());
        launchctl({"bootout", domain() + "/" + QFileInfo(record).completeBaseName()});
        // Not stopped by bootout: end its supervisor by hand, and say so.
        for (clean = clean && !record.open(QIODevice::ReadOnly);
             record.isOpen() && !record.atEnd();)
            if (const QByteArray line = record.readLine(); line.startsWith("supervisor = "))
                ::kill(line.mid(13).toInt(), SIGKILL);
        record.remove();
    }
    // Then any process left whose command line names the root, zombies aside.
    QList<int> left;
    waitFor(
        [&] {
            left.clear();
            for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
                QFile cmd("/proc/" + pid + "/cmdline"), stat("/proc/" + pid + "/stat");
                if (cmd.open(QIODevice::ReadOnly) && stat.open(QIODevice::ReadOnly) &&
                    !stat.readAll().contains(") Z ") &&
                    cmd.readAll().contains(path().toLocal8Bit()))
                    left << pid.toInt();
            }
            return left.isEmpty();
        },
        3000);
    for (int pid : left)
        ::kill(pid, SIGKILL);
    return clean && left.isEmpty();
}
