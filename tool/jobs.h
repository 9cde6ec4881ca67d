// launchd jobs: writing a job's property list, (re)loading it, asking whether it is loaded,
// reading the installed sync job back, and the wording of its interval.
#pragma once

#include <plist/plist.h>

#include <optional>
#include <string>

namespace tool {

// Ends the process with status 1 when the file cannot be written.
void writeJobPlist(plist_t dict, const std::string& path);

struct LoadResult
{
    bool ok = false;
    std::string detail; // the loader's last words when it refused
};
LoadResult loadJob(const std::string& label, const std::string& plistPath);
bool jobIsLoaded(const std::string& label);

struct ConfiguredJob
{
    std::string server;
    long long interval = 0;
};
std::optional<ConfiguredJob> configuredJob();

} // namespace tool
