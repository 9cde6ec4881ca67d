// What the status report shows, gathered in one walk, so that its text and its JSON form tell
// the same facts.
#pragma once

#include "tool/jobs.h"
#include "tool/synclog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tool {

struct StatusFacts
{
    std::optional<ConfiguredJob> job;
    // launchd's lines on the sync job's state and interval; none when it is not loaded.
    std::optional<std::vector<std::string>> launchdLines;
    bool beforeSetupRecorded = false;
    std::optional<std::string> beforeTimeServer;
    std::optional<bool> beforeUsingNetworkTime;
    std::optional<long long> lastSync;
    bool syncNow = false;
    std::optional<uint32_t> setTimeUser;
    std::optional<bool> setTimeJobLoaded; // asked only when somebody holds the grant
    bool asRoot = false;
    std::optional<std::string> configuredTimeServer;  // asked only as root
    std::optional<std::vector<std::string>> logLines; // the last ones; none without a log
    std::optional<SyncRun> lastRun;
};

StatusFacts gatherStatus();

} // namespace tool
