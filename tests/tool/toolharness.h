// Runs the real tool in a child process as an unprivileged user, the way self-test mode needs
// it, and makes test roots that user owns.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct ToolResult
{
    int status = -1;
    QString out;
    QString err;
};

namespace ToolHarness {

QString toolPath();
// The user the tool runs as: "nobody" when the tests run as root, else the tests' own user.
unsigned testUid();
unsigned testGid();

// A fresh folder owned by the test user, for TESSAVEL_CONNECT_TEST_ROOT.
bool makeOwnedByTestUser(const QString& path);

// env: variables to set on top of the tests' environment, from which every
// TESSAVEL_CONNECT_* variable is removed first. program: another path to start the tool by.
ToolResult run(const QStringList& args, const QProcessEnvironment& env = {},
               const QString& workDir = {}, const QString& program = {});

QProcessEnvironment selfTestEnv(const QString& testRoot);

} // namespace ToolHarness
