// Runs the real tool in a child process as an unprivileged user, the way self-test mode needs
// it, and makes test roots that user owns.
#pragma once

#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

// A plist on one line, in the file's order: {Label=x,Args=[a,b],RunAtLoad=true}; "" for none.
QString plistText(const QByteArray& xml);
// The XML of a plist written so, independently of the library the tool writes them with: true,
// false and whole numbers typed so, every other word a string.
QByteArray plistXml(const QString& text);

// A file of tests/tool: a usage text, a log the sync job wrote in the lab, a whole report.
inline QByteArray fixture(const QString& name)
{
    QFile f(TV_SOURCE_DIR "/tests/tool/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A case of a transcript (tests/tool/*.txt, tests/discovery/cases.txt): "== what it
// proves", "$ arguments", "| a line of standard output" ("\" at its end: no line end), "! a line
// of standard error", "exit N"; every other line of the case is the test's own. <U+XXXX> in any
// line stands for that character; "#" begins a comment.
struct Transcript
{
    QString name;
    QStringList args, other;
    QString out, err;
    int status = 0;
};
QList<Transcript> transcripts(const QString& fixtureName);

struct ToolResult
{
    int status = -1;
    QString out, err;
};

// A run's output, error and status compared one by one, so that a failure names the one.
#define COMPARE_RUN(run, expectedOut, expectedErr, expectedStatus)                                 \
    do {                                                                                           \
        const ToolResult r_ = run;                                                                 \
        QCOMPARE(r_.out, expectedOut);                                                             \
        QCOMPARE(r_.err, expectedErr);                                                             \
        QCOMPARE(r_.status, expectedStatus);                                                       \
    } while (false)

struct ToolHarness
{
    static QString toolPath() { return QStringLiteral(TV_TOOL_PATH); }
    // The user the tool runs as: "nobody" when the tests run as root, else the tests' own user.
    static unsigned testUid() { return geteuid() == 0 ? 65534 : geteuid(); }
    static unsigned testGid() { return geteuid() == 0 ? 65534 : getegid(); }
    static bool makeOwnedByTestUser(const QString& path)
    {
        return ::chown(qPrintable(path), testUid(), testGid()) == 0 &&
               ::chmod(qPrintable(path), 0755) == 0;
    }
    // The modes of the files in octal, "-" for one that is not there: "644 755 -".
    static QString modes(const QStringList& paths);
    // env: set on top of the tests' environment, from which every TESSAVEL_CONNECT_* variable
    // is removed first. program: another path to start the tool by; input: its standard input.
    static ToolResult run(const QStringList& args, const QProcessEnvironment& env = {},
                          const QString& workDir = {}, const QString& program = {},
                          const QByteArray& input = {});
};
