#include "tool/statusjson.h"

#include "tool/discovery/tooldiscovery.h"
#include "tool/plumbing.h"
#include "tool/status.h"
#include "tool/syncjob.h"

namespace tool {

using json = nlohmann::ordered_json;

namespace {

template <typename T> json orNull(const std::optional<T>& value)
{
    return value ? json(*value) : json(nullptr);
}

// The value of launchd's first line that begins with the name and " = ".
std::optional<std::string> launchdValue(const StatusFacts& f, const std::string& name)
{
    for (const auto& l : f.launchdLines.value_or(std::vector<std::string>{})) {
        if (l.rfind(name + " = ", 0) == 0) return l.substr(name.size() + 3);
    }
    return std::nullopt;
}

std::optional<long long> launchdSeconds(const StatusFacts& f)
{
    const auto text = launchdValue(f, "run interval");
    const size_t unit = text ? text->rfind(" seconds") : std::string::npos;
    if (unit == std::string::npos || unit + 8 != text->size()) return std::nullopt;
    return parseDecimal(text->substr(0, unit));
}

} // namespace

json statusJson(const StatusFacts& f, long long now)
{
    using namespace key;
    json server, interval, lastSync, since; // null
    if (f.job) server = f.job->server, interval = f.job->interval;
    if (f.lastSync) lastSync = isoText(*f.lastSync), since = now - *f.lastSync;
    return {
        {kSchema, kJsonSchema},
        {kToolVersion, TV_VERSION}, // the project's version, from the build
        {kCheckedAt, isoText(now)},
        {kAsRoot, f.asRoot},
        {kSetUp, f.job.has_value()},
        {kServer, server},
        {kIntervalSeconds, interval},
        {kJob,
         {{kLoaded, f.launchdLines.has_value()},
          {kState, orNull(launchdValue(f, "state"))},
          {kRunIntervalSeconds, orNull(launchdSeconds(f))}}},
        {kBeforeSetup,
         {{kRecorded, f.beforeSetupRecorded},
          {kTimeServer, orNull(f.beforeTimeServer)},
          {kUsingNetworkTime, orNull(f.beforeUsingNetworkTime)}}},
        {kLastSync, lastSync},
        {kSecondsSinceLastSync, since},
        {kWithoutPassword,
         {{kSyncNow, f.syncNow},
          {kSetTimeUser, orNull(f.setTimeUser)},
          {kSetTimeJobLoaded, orNull(f.setTimeJobLoaded)}}},
        {kConfiguredTimeServer, orNull(f.configuredTimeServer)},
        {kLastRun, runJson(f.lastRun)},
        {kLastLogLines, orNull(f.logLines)},
    };
}

json runJson(const std::optional<SyncRun>& run)
{
    using namespace key;
    if (!run)
        return {{kAt, nullptr},           {kServer, nullptr},
                {kExitStatus, nullptr},   {kOffsetSeconds, nullptr},
                {kErrorSeconds, nullptr}, {kMessages, nullptr}};
    return {{kAt, isoText(run->at)},
            {kServer, run->server},
            {kExitStatus, run->exitStatus},
            {kOffsetSeconds, orNull(run->offset)},
            {kErrorSeconds, orNull(run->error)},
            {kMessages, run->messages}};
}

json serverJson(const DiscoveredServer& s)
{
    using namespace key;
    return {{kId, s.id},           {kName, s.name},       {kVer, s.ver},
            {kStratum, s.stratum}, {kSynced, s.synced},   {kAccepting, s.accepting},
            {kSource, s.source},   {kClients, s.clients}, {kAddress, s.address},
            {kReady, s.ready()}};
}

std::string jsonText(const json& value)
{
    return value.dump(2, ' ', true, json::error_handler_t::replace);
}

} // namespace tool
