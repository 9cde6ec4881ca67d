// The JSON the tool prints for scripts: the one list of its key names, which the tests read
// too, and the builders that fill them from the records the text output uses. No key comes or
// goes with the computer's state; what is not known is null.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace tool {

struct StatusFacts;
struct SyncRun;
struct DiscoveredServer;

// Raised when a key changes meaning or goes away; new keys leave it as it is.
inline constexpr int kJsonSchema = 1;

namespace key {
// status --json
inline constexpr const char* kSchema = "schema";
inline constexpr const char* kToolVersion = "toolVersion";
inline constexpr const char* kCheckedAt = "checkedAt";
inline constexpr const char* kAsRoot = "asRoot";
inline constexpr const char* kSetUp = "setUp";
inline constexpr const char* kServer = "server";
inline constexpr const char* kIntervalSeconds = "intervalSeconds";
inline constexpr const char* kJob = "job";
inline constexpr const char* kLoaded = "loaded";
inline constexpr const char* kState = "state";
inline constexpr const char* kRunIntervalSeconds = "runIntervalSeconds";
inline constexpr const char* kBeforeSetup = "beforeSetup";
inline constexpr const char* kRecorded = "recorded";
inline constexpr const char* kTimeServer = "timeServer";
inline constexpr const char* kUsingNetworkTime = "usingNetworkTime";
inline constexpr const char* kLastSync = "lastSync";
inline constexpr const char* kSecondsSinceLastSync = "secondsSinceLastSync";
inline constexpr const char* kWithoutPassword = "withoutPassword";
inline constexpr const char* kSyncNow = "syncNow";
inline constexpr const char* kSetTimeUser = "setTimeUser";
inline constexpr const char* kSetTimeJobLoaded = "setTimeJobLoaded";
inline constexpr const char* kConfiguredTimeServer = "configuredTimeServer";
inline constexpr const char* kLastRun = "lastRun";
inline constexpr const char* kLastLogLines = "lastLogLines";
// One run of the sync job: an element of history --json, and lastRun (with kServer).
inline constexpr const char* kAt = "at";
inline constexpr const char* kExitStatus = "exitStatus";
inline constexpr const char* kOffsetSeconds = "offsetSeconds";
inline constexpr const char* kErrorSeconds = "errorSeconds";
inline constexpr const char* kMessages = "messages";
// One server of discover --json: the names of the discovery answer, and the address.
inline constexpr const char* kId = "id";
inline constexpr const char* kName = "name";
inline constexpr const char* kVer = "ver";
inline constexpr const char* kStratum = "stratum";
inline constexpr const char* kSynced = "synced";
inline constexpr const char* kAccepting = "accepting";
inline constexpr const char* kSource = "source";
inline constexpr const char* kClients = "clients";
inline constexpr const char* kAddress = "address";
inline constexpr const char* kReady = "ready";
} // namespace key

nlohmann::ordered_json statusJson(const StatusFacts& facts, long long now);
// Every key null when there is no run.
nlohmann::ordered_json runJson(const std::optional<SyncRun>& run);
nlohmann::ordered_json serverJson(const DiscoveredServer& server);

// Indented, ASCII only: nothing of a network's or a log's text reaches a terminal as it came,
// and bytes that are no UTF-8 show as U+FFFD instead of stopping the output.
std::string jsonText(const nlohmann::ordered_json& value);

} // namespace tool
