#include "selftestroot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

namespace {

// Live processes (not zombies) whose command line names the folder.
QList<int> processesUnder(const QString& folder)
{
    QList<int> found;
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile cmd("/proc/" + pid + "/cmdline"), stat("/proc/" + pid + "/stat");
        if (!cmd.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray st = stat.readAll();
        if (st.at(st.lastIndexOf(')') + 2) != 'Z' && cmd.readAll().contains(folder.toLocal8Bit()))
            found << pid.toInt();
    }
    return found;
}

} // namespace

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
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return ::chown(qPrintable(f.fileName()), ToolHarness::testUid(), ToolHarness::testGid()) == 0 &&
           ::chmod(qPrintable(f.fileName()), mode_t(mode)) == 0;
}

QProcessEnvironment SelfTestRoot::env() const
{
    QProcessEnvironment env;
    env.insert("TESSAVEL_CONNECT_TEST_ROOT", path());
    env.insert("TESSAVEL_LAUNCHD_DIR", path("launchd"));
    return env;
}

ToolResult SelfTestRoot::tool(const QStringList& args, const QProcessEnvironment& extra,
                              const QString& program, const QByteArray& input) const
{
    QProcessEnvironment all = env();
    all.insert(extra);
    return ToolHarness::run(args, all, {}, program, input);
}

int SelfTestRoot::finishedRuns(const QString& label) const
{
    const ToolResult r = launchctl({"print", domain() + "/" + label});
    const auto m = QRegularExpression("\truns = (\\d+)\n").match(r.out);
    if (r.status != 0 || !m.hasMatch()) return -1;
    return m.captured(1).toInt() - (r.out.contains("\tstate = running\n") ? 1 : 0);
}

bool SelfTestRoot::bootOutAll() const
{
    bool clean = true;
    for (QDirIterator it(path("launchd"), {"*.job"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile record(it.next());
        launchctl({"bootout", domain() + "/" + QFileInfo(record).completeBaseName()});
        if (!record.open(QIODevice::ReadOnly)) continue;
        // Not stopped by bootout: end its supervisor by hand, and say so.
        clean = false;
        for (const QByteArray& line : record.readAll().split('\n'))
            if (line.startsWith("supervisor = ")) ::kill(line.mid(13).toInt(), SIGKILL);
        record.remove();
    }
    waitFor([&] { return processesUnder(path()).isEmpty(); }, 3000);
    const QList<int> left = processesUnder(path());
    for (int pid : left)
        ::kill(pid, SIGKILL);
    return clean && left.isEmpty();
}
