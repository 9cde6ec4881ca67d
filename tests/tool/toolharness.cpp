#include "toolharness.h"

#include <QProcess>

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
