// The test harness of the tool's tests: running the tool, self-test roots, property lists.
#include "tests/tool/selftestroot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

QList<Transcript> transcripts(const QString& fixtureName)
{
    QList<Transcript> cases;
    static const QRegularExpression code("<U\\+([0-9A-F]{4})>");
    for (QString line : QString::fromUtf8(fixture(fixtureName)).split('\n')) {
        for (auto m = code.match(line); m.hasMatch(); m = code.match(line))
            line.replace(m.capturedStart(), m.capturedLength(),
                         QChar(m.captured(1).toUShort(nullptr, 16)));
        const QString rest = line.mid(2);
        if (line.startsWith("== ")) cases.append({line.mid(3), {}, {}, {}, {}, 0});
        if (cases.isEmpty() || line.isEmpty() || line.startsWith('#') || line.startsWith("== "))
            continue;
        Transcript& t = cases.last();
        if (line.startsWith('$')) // "$" alone: no arguments
            t.args = rest.split(' ', Qt::SkipEmptyParts);
        else if (line.startsWith('|'))
            t.out += rest.endsWith('\\') ? rest.chopped(1) : rest + '\n';
        else if (line.startsWith('!'))
            t.err += rest + '\n';
        else if (line.startsWith("exit "))
            t.status = line.mid(5).toInt();
        else
            t.other << line;
    }
    return cases;
}

QString ToolHarness::modes(const QStringList& paths)
{
    QStringList out;
    for (const QString& path : paths) {
        struct stat st;
        out << (::lstat(qPrintable(path), &st) == 0 ? QString::number(st.st_mode & 07777, 8) : "-");
    }
    return out.join(' ');
}

ToolResult ToolHarness::run(const QStringList& args, const QProcessEnvironment& extra,
                            const QString& workDir, const QString& program, const QByteArray& input)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys())
        if (key.startsWith("TESSAVEL_CONNECT_")) env.remove(key);
    env.insert(extra);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    const QString tool = program.isEmpty() ? toolPath() : program;
    // As root the tool would act on the real machine; these tests only ever run it as a user.
    if (geteuid() == 0)
        p.start("/usr/bin/setpriv",
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", tool} + args);
    else
        p.start(tool, args);
    p.waitForStarted(10000);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

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
    // Bounded in time, and in memory should a device be read without end.
    const QStringList bounds{"--as=1073741824", "/usr/bin/timeout", "60",
                             program.isEmpty() ? ToolHarness::toolPath() : program};
    return ToolHarness::run(bounds + args, all, {}, "/usr/bin/prlimit");
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
        const QString record = it.next();
        launchctl({"bootout", domain() + "/" + QFileInfo(record).completeBaseName()});
        // Not stopped by bootout: its supervisor ends when its record goes; say so.
        clean = clean && !QFile::remove(record);
    }
    // Then any process left whose command line names the root, zombies aside.
    QList<int> left;
    waitFor(
        [&] {
            left.clear();
            for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
                QFile cmd("/proc/" + pid + "/cmdline"), stat("/proc/" + pid + "/stat");
                if (cmd.open(QIODevice::ReadOnly) && stat.open(QIODevice::ReadOnly) &&
                    !stat.readAll().contains(") Z ") && cmd.readAll().contains(path().toUtf8()))
                    left << pid.toInt();
            }
            return left.isEmpty();
        },
        3000);
    for (int pid : left)
        ::kill(pid, SIGKILL);
    return clean && left.isEmpty();
}

QString plistText(const QByteArray& xml)
{
    QString t = QString::fromUtf8(xml)
                    .section(QRegularExpression("<plist[^>]*>"), 1)
                    .section("</plist>", 0, 0);
    t.replace(QRegularExpression(">\\s+<"), "><")
        .replace(QRegularExpression("<key>([^<]*)</key>"), "\\1=")
        .replace(QRegularExpression("<(?:string|integer)>([^<]*)</\\w+>|<(true|false)/>"),
                 "\\1\\2,")
        .replace("<dict>", "{")
        .replace("</dict>", "},")
        .replace("<array>", "[")
        .replace("</array>", "],")
        .replace(",}", "}")
        .replace(",]", "]");
    return t.trimmed().chopped(t.trimmed().endsWith(',') ? 1 : 0);
}

QByteArray plistXml(const QString& text)
{
    const QString scalar = "(?<=[\\[,>])(%1)(?=[,}\\]])";
    QString xml = text.toHtmlEscaped();
    xml.replace(QRegularExpression("([^{}\\[\\],=]+)="), "<key>\\1</key>")
        .replace(QRegularExpression(scalar.arg("true|false")), "<\\1/>")
        .replace(QRegularExpression(scalar.arg("-?\\d+")), "<integer>\\1</integer>")
        .replace(QRegularExpression(scalar.arg("[^{}\\[\\],<>]+")), "<string>\\1</string>")
        .replace("{", "<dict>")
        .replace("}", "</dict>")
        .replace("[", "<array>")
        .replace("]", "</array>")
        .remove(',');
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + xml.toUtf8() +
           "</plist>\n";
}
