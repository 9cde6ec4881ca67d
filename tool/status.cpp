#include "tool/commands.h"

#include "contract/contract.h"
#include "generated/platformprograms.h"
#include "tool/fileops.h"
#include "tool/jobs.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/timesettings.h"
#include "tool/values.h"

#include <sstream>

namespace tool {

namespace {

constexpr size_t kLogLinesShown = 12;

void line(const std::string& text)
{
    println("  " + text);
}

std::vector<std::string> nonEmptyLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty()) lines.push_back(l);
    }
    return lines;
}

void thisMac()
{
    println("== this Mac ==");
    if (const auto job = configuredJob())
        line("syncs with " + job->server + " at startup and every " +
             contract::intervalText(job->interval));
    else
        line("not set up");
}

void launchdService()
{
    println("== launchd service ==");
    const RunResult r = run(kLaunchctl, {"print", kDomain + "/" + kLabel});
    if (r.code != 0) return line("(not loaded)");
    for (const auto& l : nonEmptyLines(r.out)) {
        if (l.find("state =") != std::string::npos || l.find("run interval") != std::string::npos)
            line(trimmed(l));
    }
}

void settingsBeforeSetup()
{
    println("== time settings before setup ==");
    const Plist record = readPlistDict(kStatePath);
    if (!record) return line("(no record)");
    line("time server: " + dictString(record.get(), "timeServer").value_or("(not recorded)"));
    if (const auto automatic = dictBool(record.get(), "usingNetworkTime"))
        line(std::string("set time automatically: ") + (*automatic ? "on" : "off"));
}

void lastSync()
{
    println("== last sync ==");
    const auto record = lastSyncRecord();
    line(record ? isoText(*record) : "(none recorded)");
}

void withoutPassword()
{
    println("== without a password ==");
    line(std::string("sync now: ") +
         (pathExists(kSyncNowPath) ? "yes" : "no (set up again to add it)"));
    const auto uid = grantedUser();
    if (!uid) return line("set the clock: nobody");
    line("set the clock: user " + std::to_string(*uid) +
         (jobIsLoaded(kSetTimeLabel) ? "" : " (its job is not loaded)"));
}

void configuredTimeServer()
{
    println("== configured time server ==");
    line(currentTimeServer().value_or("(could not read)"));
}

void lastLogLines()
{
    println("== last log lines ==");
    const auto log = readWholeFile(kLogPath, kMaxLogTailBytes, true);
    if (!log || !isValidUtf8(*log)) return line("(no log yet)");
    const auto lines = nonEmptyLines(*log);
    const size_t from = lines.size() > kLogLinesShown ? lines.size() - kLogLinesShown : 0;
    for (size_t i = from; i < lines.size(); ++i)
        line(lines[i]);
}

} // namespace

void cmdStatus()
{
    thisMac();
    launchdService();
    settingsBeforeSetup();
    lastSync();
    withoutPassword();
    if (isRoot()) configuredTimeServer();
    lastLogLines();
}

} // namespace tool
