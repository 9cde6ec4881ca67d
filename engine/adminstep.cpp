// Engine::run: one run of the tool as root through the platform's administrator prompt.
#include "engine/engine.h"

#include "contract/contract.h"
#include "generated/appprograms.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace Engine {

namespace {

constexpr int kStartWaitMs = 30000;

// For /bin/sh: close the quote, an escaped quote, reopen.
QString shellQuoted(QString word)
{
    return "'" + word.replace("'", "'\\''") + "'";
}

// For an AppleScript string literal; backslashes first, so the ones added for quotes stay single.
QString appleScriptEscaped(QString text)
{
    return text.replace("\\", "\\\\").replace("\"", "\\\"");
}

QString toolPath()
{
    const QString bundled =
        QFileInfo(QCoreApplication::applicationDirPath() + "/../Helpers/tessavel-connect")
            .absoluteFilePath();
    return QFileInfo::exists(bundled) ? bundled : QStringLiteral("tessavel-connect");
}

} // namespace

RunResult run(const QStringList& args, const QString& prompt, QString* error)
{
    QString command = shellQuoted(toolPath());
    for (const QString& a : args)
        command += " " + shellQuoted(a);
    const QString script = "do shell script \"" + appleScriptEscaped(command) +
                           "\" with prompt \"" + appleScriptEscaped(prompt) +
                           "\" with administrator privileges";

    QProcess p;
    p.start(QString::fromLatin1(kOsascriptProgram), {"-e", script}, QIODevice::ReadWrite);
    if (!p.waitForStarted(kStartWaitMs)) {
        if (error) *error = QStringLiteral("Could not launch the administrator step.");
        return RunResult::Failed;
    }
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error) {
            const QString text = QString::fromUtf8(p.readAllStandardError()).trimmed();
            *error = text.isEmpty()
                         ? QStringLiteral("The administrator step was cancelled or failed.")
                         : text;
        }
        return RunResult::Failed;
    }
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString noAnswer = QString(contract::kResultTag) + " " + contract::kResultNoAnswer;
    return out.contains(noAnswer) ? RunResult::NoAnswer : RunResult::Done;
}

bool wasCancelled(const QString& error)
{
    // osascript's error number for a password dialog the user cancelled.
    return error.contains(QLatin1String("(-128)"));
}

} // namespace Engine
