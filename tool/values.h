// The tool's process-wide values: fixed paths, names and self-test mode, computed once at
// start before a command is chosen.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tool {

using Environment = std::map<std::string, std::string>;

struct Values
{
    std::optional<std::string> kTestRoot;
    std::string kDomain;
    std::string kLabel;
    std::string kPlistPath;
    std::string kInstalledDir;
    std::string kInstalledBin;
    std::string kLegacyBin;
    std::string kStateDir;
    std::string kStatePath;
    std::string kLogPath;
    std::string kSyncNowPath;
    std::string kLastSyncPath;
    std::string kSetTimeLabel;
    std::string kSetTimePlistPath;
    std::string kSetTimeRequestPath;
    std::string kSetTimeGrantPath;
    std::string kSetTimeResultPath;
    std::string kFakeClockPath;
    std::optional<std::string> kSntpStandIn;
    std::string kFakeSettingsPath;
    std::vector<std::string> args; // the whole command line, program name first
    std::string cmd;
};

inline constexpr double kRequestFreshSeconds = 30.0;

// What start-up reads from the process, passed in so that tests can ask for any user.
struct ProcessFacts
{
    unsigned effectiveUid = 0;
    unsigned realUid = 0;
    Environment env; // only the variables that are set
    std::vector<std::string> args;
};

Values computeValues(const ProcessFacts& facts);
ProcessFacts currentProcessFacts(int argc, char** argv);

// Installs the values for the rest of the run. main calls it once; tests may call it again.
void setValues(const Values& values);
const Values& values();

// Shorthands for the installed values, under the names the commands use.
extern const std::optional<std::string>& kTestRoot;
extern const std::string& kDomain;
extern const std::string& kLabel;
extern const std::string& kPlistPath;
extern const std::string& kInstalledDir;
extern const std::string& kInstalledBin;
extern const std::string& kLegacyBin;
extern const std::string& kStateDir;
extern const std::string& kStatePath;
extern const std::string& kLogPath;
extern const std::string& kSyncNowPath;
extern const std::string& kLastSyncPath;
extern const std::string& kSetTimeLabel;
extern const std::string& kSetTimePlistPath;
extern const std::string& kSetTimeRequestPath;
extern const std::string& kSetTimeGrantPath;
extern const std::string& kSetTimeResultPath;
extern const std::string& kFakeClockPath;
extern const std::optional<std::string>& kSntpStandIn;
extern const std::string& kFakeSettingsPath;

std::string rooted(const std::string& path);
bool isRoot();
bool selfTestMode();
std::optional<Environment> testEnvironment();

} // namespace tool
