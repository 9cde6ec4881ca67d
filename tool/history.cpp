// The history command: every run of the sync job that its log keeps, as a table or as JSON.
#include "tool/commands.h"

#include "tool/clocktime.h"
#include "tool/fileops.h"
#include "tool/plumbing.h"
#include "tool/statusjson.h"
#include "tool/syncjob.h"
#include "tool/synclog.h"
#include "tool/values.h"

#include <cstdio>

namespace tool {

namespace {

// The log is never rotated: this is years of runs at the default interval, and a bound on
// what one command holds in memory.
constexpr size_t kMaxHistoryBytes = 16 * 1024 * 1024;

std::string row(const std::string& at, const std::string& exit, const std::string& offset,
                const std::string& error, const std::string& rest)
{
    char cells[160];
    std::snprintf(cells, sizeof cells, "%-20s  %4s  %14s  %9s  ", at.c_str(), exit.c_str(),
                  offset.c_str(), error.c_str());
    return cells + rest;
}

std::string secondsText(const std::optional<double>& value, const char* format)
{
    if (!value) return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

void printTable(const std::vector<SyncRun>& runs)
{
    println(row("TIME (UTC)", "EXIT", "OFFSET (s)", "ERROR (s)", "SERVER"));
    for (const auto& r : runs) {
        std::string rest = visibleText(r.server);
        for (size_t i = 0; i < r.messages.size(); ++i)
            rest += (i == 0 ? "  " : "; ") + visibleText(r.messages[i]);
        println(row(isoText(r.at), std::to_string(r.exitStatus), secondsText(r.offset, "%+.6f"),
                    secondsText(r.error, "%.6f"), rest));
    }
}

} // namespace

int cmdHistory()
{
    const auto& args = values().args;
    bool json = false;
    std::optional<long long> since;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i] == "--since" && i + 1 < args.size() &&
                 (since = parseTimeText(args[i + 1])))
            ++i;
        else
            return usageError(
                "Usage: tessavel-connect history [--json] [--since <2026-10-09T21:07:38Z>]\n");
    }

    const auto text = readWholeFile(kLogPath, kMaxHistoryBytes, true);
    if (!text && pathExists(kLogPath)) fail("error: cannot read " + kLogPath + ".");
    SyncLog log = parseSyncLog(text.value_or(""));
    std::erase_if(log.runs, [&](const SyncRun& r) { return since && r.at < *since; });

    if (json) {
        auto list = nlohmann::ordered_json::array();
        for (const auto& r : log.runs)
            list.push_back(runJson(r));
        println(jsonText(list));
    } else if (log.runs.empty()) {
        println("No sync runs in " + kLogPath + (since ? " since " + isoText(*since) : "") + ".");
    } else {
        printTable(log.runs);
    }
    if (log.skipped == 1) errln("1 line of " + kLogPath + " was not understood and was skipped.");
    if (log.skipped > 1)
        errln(std::to_string(log.skipped) + " lines of " + kLogPath +
              " were not understood and were skipped.");
    return 0;
}

} // namespace tool
