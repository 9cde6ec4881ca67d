// What the launchd stand-in honours of a job's property list.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace launchd {

struct JobDefinition
{
    std::string label;
    std::vector<std::string> programArguments;
    std::map<std::string, std::string> environment;
    bool runAtLoad = false;
    std::optional<long long> startInterval; // seconds
    std::vector<std::string> watchPaths;
    std::optional<std::string> standardOutPath;
    std::optional<std::string> standardErrorPath;
};

// Absent, with the reason in error, when the file is no job launchd would take.
std::optional<JobDefinition> readJobDefinition(const std::string& path, std::string& error);

} // namespace launchd
