#include "tool/syncjob.h"

#include "generated/platformprograms.h"
#include "tool/atomicfile.h"
#include "tool/commands.h"
#include "tool/fileops.h"
#include "tool/platform/platform.h"
#include "tool/plumbing.h"
#include "tool/values.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <set>
#include <sstream>
#include <thread>

namespace tool {

namespace {

constexpr double kFreshBootSeconds = 300;
constexpr int kBootRetries = 20;
constexpr int kBootRetryPauseSeconds = 30;
// An SNTP client that says this much on a failure repeats itself; keep its distinct errors.
constexpr size_t kDigestFrom = 5;

long long nowSeconds()
{
    return static_cast<long long>(std::time(nullptr));
}

std::vector<std::string> keptLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        line = trimmed(line);
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

} // namespace

std::string isoText(long long seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

bool oneSync(const std::string& server)
{
    const std::string stamp = isoText(nowSeconds());
    const std::string program = selfTestMode() && kSntpStandIn ? *kSntpStandIn : kSntp;
    // Without the setting flags the client only measures: self-test mode never sets the clock.
    const std::vector<std::string> args =
        selfTestMode() ? std::vector<std::string>{server} : std::vector<std::string>{"-sS", server};

    const RunResult result = run(program, args);
    println(stamp + " tessavel-connect: sync against " + server + " (exit " +
            std::to_string(result.code) + ")");

    const auto lines = keptLines(result.out);
    if (result.code != 0 && lines.size() >= kDigestFrom) {
        std::set<std::string> seen;
        for (const auto& line : lines) {
            auto at = line.find("sntp: ");
            if (at != std::string::npos && seen.insert(line.substr(at)).second)
                println(line.substr(at));
        }
    } else {
        for (const auto& line : lines)
            println(line);
    }

    if (result.code != 0) return false;
    recordLastSync();
    return true;
}

int syncWithBootRetries(const std::string& server, const SyncSeams& seams)
{
    if (seams.attempt(server)) return 0;
    // Asked once: retries that have begun run to the end even as the uptime passes the mark.
    if (!(seams.uptime() < kFreshBootSeconds)) return 1;
    println("tessavel-connect: fresh boot \xE2\x80\x94 retrying up to 10 min for the server...");
    for (int n = 1; n <= kBootRetries; ++n) {
        seams.sleep(kBootRetryPauseSeconds);
        println("tessavel-connect: boot retry " + std::to_string(n) + "/" +
                std::to_string(kBootRetries));
        if (seams.attempt(server)) return 0;
    }
    return 1;
}

void cmdSync(const std::string& server)
{
    requireRoot("sync --server " + server);
    SyncSeams seams;
    seams.sleep = [](int s) { std::this_thread::sleep_for(std::chrono::seconds(s)); };
    std::exit(syncWithBootRetries(server, seams));
}

double systemUptimeSeconds()
{
    const auto boot = platform::bootTimeSeconds();
    if (!boot) return std::numeric_limits<double>::infinity();
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count() - double(*boot);
}

void recordLastSync()
{
    ensureStateDir();
    // The mode is set on the new file itself, before it takes the record's name. A failed
    // write leaves the old record; the sync still counts.
    writeFileAtomically(kLastSyncPath, std::to_string(nowSeconds()) + "\n", 0644);
}

std::optional<long long> parseLastSync(const std::string& text)
{
    // Only seconds that print as a time text, four-digit years, are a record.
    constexpr long long kFirst = -62167219200; // 0000-01-01T00:00:00Z
    constexpr long long kLast = 253402300799;  // 9999-12-31T23:59:59Z
    const auto seconds = parseDecimal(text);
    if (!seconds || *seconds < kFirst || *seconds > kLast) return std::nullopt;
    return seconds;
}

std::optional<long long> lastSyncRecord()
{
    const auto text = readWholeFile(kLastSyncPath, kMaxRecordBytes);
    return text ? parseLastSync(*text) : std::nullopt;
}

} // namespace tool
