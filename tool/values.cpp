#include "tool/values.h"

#include "contract/contract.h"

#include <unistd.h>

extern char** environ;

namespace tool {

namespace {

Values g;

std::optional<std::string> nonEmpty(const Environment& env, const char* name)
{
    auto it = env.find(name);
    if (it == env.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

} // namespace

const std::optional<std::string>& kTestRoot = g.kTestRoot;
const std::string& kDomain = g.kDomain;
const std::string& kLabel = g.kLabel;
const std::string& kPlistPath = g.kPlistPath;
const std::string& kInstalledDir = g.kInstalledDir;
const std::string& kInstalledBin = g.kInstalledBin;
const std::string& kLegacyBin = g.kLegacyBin;
const std::string& kStateDir = g.kStateDir;
const std::string& kStatePath = g.kStatePath;
const std::string& kLogPath = g.kLogPath;
const std::string& kSyncNowPath = g.kSyncNowPath;
const std::string& kLastSyncPath = g.kLastSyncPath;
const std::string& kSetTimeLabel = g.kSetTimeLabel;
const std::string& kSetTimePlistPath = g.kSetTimePlistPath;
const std::string& kSetTimeRequestPath = g.kSetTimeRequestPath;
const std::string& kSetTimeGrantPath = g.kSetTimeGrantPath;
const std::string& kSetTimeResultPath = g.kSetTimeResultPath;
const std::string& kFakeClockPath = g.kFakeClockPath;
const std::optional<std::string>& kSntpStandIn = g.kSntpStandIn;
const std::string& kFakeSettingsPath = g.kFakeSettingsPath;

Values computeValues(const ProcessFacts& facts)
{
    Values v;
    // Root never reads the test root, so a root run always acts on the real system.
    if (facts.effectiveUid != 0) v.kTestRoot = nonEmpty(facts.env, contract::kTestRootVariable);
    const bool test = v.kTestRoot.has_value();
    auto root = [&](const std::string& path) { return test ? *v.kTestRoot + path : path; };

    if (!test) {
        v.kDomain = "system";
    } else if (auto it = facts.env.find("TESSAVEL_CONNECT_TEST_DOMAIN"); it != facts.env.end()) {
        v.kDomain = it->second;
    } else {
        v.kDomain = "gui/" + std::to_string(facts.realUid);
    }
    const std::string suffix = test ? contract::kSelfTestSuffix : "";
    const std::string daemons = root(contract::kLaunchDaemonsDir);
    v.kLabel = contract::kLabel + suffix;
    v.kPlistPath = daemons + "/" + v.kLabel + ".plist";
    v.kInstalledDir = root("/Library/PrivilegedHelperTools");
    v.kInstalledBin = v.kInstalledDir + "/com.tessavel.connect";
    v.kLegacyBin = root("/usr/local/sbin/tessavel-connect");
    v.kStateDir = root(contract::kStateDir);
    const auto state = [&](const char* name) { return v.kStateDir + "/" + name; };
    v.kStatePath = state(contract::kBeforeSetupFile);
    v.kLogPath = root("/var/log/tessavel-connect.log");
    v.kSyncNowPath = state(contract::kSyncNowFile);
    v.kLastSyncPath = state(contract::kLastSyncFile);
    v.kSetTimeLabel = contract::kSetTimeLabel + suffix;
    v.kSetTimePlistPath = daemons + "/" + v.kSetTimeLabel + ".plist";
    v.kSetTimeRequestPath = state(contract::kSetTimeRequestFile);
    v.kSetTimeGrantPath = state(contract::kSetTimeGrantFile);
    v.kSetTimeResultPath = state(contract::kSetTimeResultFile);
    v.kFakeClockPath = root("/clock-set-to");
    if (test) v.kSntpStandIn = nonEmpty(facts.env, "TESSAVEL_CONNECT_TEST_SNTP");
    v.kFakeSettingsPath = root("/system-time-settings.plist");
    v.args = facts.args;
    v.cmd = facts.args.size() > 1 ? facts.args[1] : "discover";
    return v;
}

ProcessFacts currentProcessFacts(int argc, char** argv)
{
    ProcessFacts f;
    f.effectiveUid = geteuid();
    f.realUid = getuid();
    for (char** e = environ; e && *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq != std::string::npos) f.env.emplace(entry.substr(0, eq), entry.substr(eq + 1));
    }
    f.args.assign(argv, argv + argc);
    return f;
}

void setValues(const Values& values)
{
    g = values;
}

const Values& values()
{
    return g;
}

std::string rooted(const std::string& path)
{
    return kTestRoot ? *kTestRoot + path : path;
}

bool selfTestMode()
{
    return kTestRoot.has_value();
}

bool isRoot()
{
    return geteuid() == 0 || selfTestMode();
}

std::optional<Environment> testEnvironment()
{
    if (!kTestRoot) return std::nullopt;
    Environment env{{contract::kTestRootVariable, *kTestRoot}};
    if (kSntpStandIn) env.emplace("TESSAVEL_CONNECT_TEST_SNTP", *kSntpStandIn);
    return env;
}

} // namespace tool
