#include "tool/status.h"

#include "contract/contract.h"
#include "generated/platformprograms.h"
#include "tool/commands.h"
#include "tool/fileops.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/statusjson.h"
#include "tool/syncjob.h"
#include "tool/timesettings.h"
#include "tool/values.h"

#include <ctime>
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

std::optional<std::vector<std::string>> launchdLines()
{
    const RunResult r = run(kLaunchctl, {"print", kDomain + "/" + kLabel});
    if (r.code != 0) return std::nullopt;
    std::vector<std::string> shown;
    for (const auto& l : nonEmptyLines(r.out)) {
        if (l.find("state =") != std::string::npos || l.find("run interval") != std::string::npos)
            shown.push_back(trimmed(l));
    }
    return shown;
}

void readLog(StatusFacts& facts)
{
    const auto log = readWholeFile(kLogPath, kMaxLogTailBytes, true);
    if (!log) return;
    const auto runs = parseSyncLog(*log).runs;
    if (!runs.empty()) facts.lastRun = runs.back();
    if (!isValidUtf8(*log)) return;
    const auto lines = nonEmptyLines(*log);
    const size_t from = lines.size() > kLogLinesShown ? lines.size() - kLogLinesShown : 0;
    facts.logLines.emplace(lines.begin() + std::ptrdiff_t(from), lines.end());
}

void printText(const StatusFacts& f)
{
    println("== this Mac ==");
    if (f.job)
        line("syncs with " + f.job->server + " at startup and every " +
             contract::intervalText(f.job->interval));
    else
        line("not set up");

    println("== launchd service ==");
    if (!f.launchdLines) line("(not loaded)");
    for (const auto& l : f.launchdLines.value_or(std::vector<std::string>{}))
        line(l);

    println("== time settings before setup ==");
    if (!f.beforeSetupRecorded) {
        line("(no record)");
    } else {
        line("time server: " + f.beforeTimeServer.value_or("(not recorded)"));
        if (f.beforeUsingNetworkTime)
            line(std::string("set time automatically: ") +
                 (*f.beforeUsingNetworkTime ? "on" : "off"));
    }

    println("== last sync ==");
    line(f.lastSync ? isoText(*f.lastSync) : "(none recorded)");

    println("== without a password ==");
    line(std::string("sync now: ") + (f.syncNow ? "yes" : "no (set up again to add it)"));
    if (!f.setTimeUser)
        line("set the clock: nobody");
    else
        line("set the clock: user " + std::to_string(*f.setTimeUser) +
             (f.setTimeJobLoaded.value_or(false) ? "" : " (its job is not loaded)"));

    if (f.asRoot) {
        println("== configured time server ==");
        line(f.configuredTimeServer.value_or("(could not read)"));
    }

    println("== last log lines ==");
    if (!f.logLines) line("(no log yet)");
    for (const auto& l : f.logLines.value_or(std::vector<std::string>{}))
        line(l);
}

} // namespace

StatusFacts gatherStatus()
{
    StatusFacts f;
    f.job = configuredJob();
    f.launchdLines = launchdLines();
    if (const Plist record = readPlistDict(kStatePath)) {
        f.beforeSetupRecorded = true;
        f.beforeTimeServer = dictString(record.get(), "timeServer");
        f.beforeUsingNetworkTime = dictBool(record.get(), "usingNetworkTime");
    }
    f.lastSync = lastSyncRecord();
    f.syncNow = pathExists(kSyncNowPath);
    f.setTimeUser = grantedUser();
    if (f.setTimeUser) f.setTimeJobLoaded = jobIsLoaded(kSetTimeLabel);
    f.asRoot = isRoot();
    if (f.asRoot) f.configuredTimeServer = currentTimeServer();
    readLog(f);
    return f;
}

void cmdStatus(bool json)
{
    const StatusFacts facts = gatherStatus();
    if (json)
        println(jsonText(statusJson(facts, std::time(nullptr))));
    else
        printText(facts);
}

} // namespace tool
