#include "tests/tool/toolharness.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace ToolHarness {

QString toolPath()
{
    return QStringLiteral(TV_TOOL_PATH);
}

unsigned testUid()
{
    return geteuid() == 0 ? 65534 : geteuid();
}

unsigned testGid()
{
    return geteuid() == 0 ? 65534 : getegid();
}

bool makeOwnedByTestUser(const QString& path)
{
    const QByteArray p = path.toLocal8Bit();
    return ::chown(p.constData(), testUid(), testGid()) == 0 && ::chmod(p.constData(), 0755) == 0;
}

QProcessEnvironment selfTestEnv(const QString& testRoot)
{
    QProcessEnvironment env;
    env.insert("TESSAVEL_CONNECT_TEST_ROOT", testRoot);
    return env;
}

ToolResult run(const QStringList& args, const QProcessEnvironment& extra, const QString& workDir,
               const QString& program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys()) {
        if (key.startsWith("TESSAVEL_CONNECT_")) env.remove(key);
    }
    env.insert(extra);

    QProcess p;
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
    const QString tool = program.isEmpty() ? toolPath() : program;
    // As root the tool would act on the real machine; these tests only ever run it as a user.
    if (geteuid() == 0) {
        p.start("/usr/bin/setpriv",
                QStringList{"--reuid=" + QString::number(testUid()),
                            "--regid=" + QString::number(testGid()), "--clear-groups", "--", tool} +
                    args);
    } else {
        p.start(tool, args);
    }
    ToolResult r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace ToolHarness
