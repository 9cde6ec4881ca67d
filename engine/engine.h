// The bridge to the privileged tool: administrator steps through the platform's password
// prompt, the installed setup as the tool left it, and the password-free paths through the
// files its jobs watch. Free functions, no state; they block the calling (GUI) thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Engine {

enum class RunResult { Done = 0, NoAnswer = 1, Failed = 2 };

struct Setup
{
    QString server;
    bool hasBeforeSetup = false;
};

enum class SetClockResult { Set = 0, Refused = 1, Failed = 2 };

RunResult run(const QStringList& args, const QString& prompt, QString* error = nullptr);
// The error of a run whose password dialog the user cancelled: nothing to report.
bool wasCancelled(const QString& error);

Setup currentSetup();
QString serverInJobPlist(const QString& plistPath);
bool syncNowWithoutPassword();
bool canSetClockWithoutPassword();
bool giveUpSettingClockWithoutPassword();
SetClockResult setClock(const QDateTime& time, bool dontAskAgain, QString* error = nullptr);

} // namespace Engine
