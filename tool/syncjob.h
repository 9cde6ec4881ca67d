// The sync job: one SNTP sync of the clock with its log lines, the retries after a fresh
// boot, and the last-sync record.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tool {

bool oneSync(const std::string& server);
double systemUptimeSeconds();
void recordLastSync();
std::optional<long long> lastSyncRecord();
std::string isoText(long long seconds);

// What the boot-retry rule needs from the world, so that tests need not wait ten minutes.
struct SyncSeams
{
    std::function<bool(const std::string&)> attempt = oneSync;
    std::function<double()> uptime = systemUptimeSeconds;
    std::function<void(int seconds)> sleep;
};
// The exit status of a sync run: 0 when an attempt succeeded, else 1.
int syncWithBootRetries(const std::string& server, const SyncSeams& seams);

// Parses a last-sync record's text; exposed for tests.
std::optional<long long> parseLastSync(const std::string& text);

} // namespace tool
