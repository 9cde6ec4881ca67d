// The check command: one line and an exit status for a monitoring system, in the form its
// plugins use. Status 1 reads as WARNING there, so the line says WARNING.
#include "tool/commands.h"

#include "contract/contract.h"
#include "tool/jobs.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/values.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace tool {

namespace {

std::string ago(long long seconds)
{
    const auto count = [](long long n, const char* unit) {
        return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
    };
    if (seconds < 120) return count(seconds, "second");
    if (seconds < 120 * 60) return count(seconds / 60, "minute");
    if (seconds < 48 * 3600) return count(seconds / 3600, "hour");
    return count(seconds / 86400, "day");
}

int warning(const std::string& text)
{
    println("WARNING: " + text);
    return 1;
}

} // namespace

int cmdCheck()
{
    if (values().args.size() > 2) return usageError("Usage: tessavel-connect check\n");
    // Both files are readable by everybody as install leaves them; a missing one is an answer.
    for (const std::string* path : {&kPlistPath, &kLastSyncPath}) {
        if (::access(path->c_str(), R_OK) != 0 && errno != ENOENT)
            return warning("cannot read " + *path + ": " + std::strerror(errno) +
                           " (run check as root)");
    }
    const auto job = configuredJob();
    if (!job) return warning("not set up");
    const std::string server = visibleText(job->server);
    const auto last = lastSyncRecord();
    if (!last) return warning("never synced with " + server);
    const long long age = static_cast<long long>(std::time(nullptr)) - *last;
    // A clock that went back past its last sync is wrong, however recent that sync looks.
    if (age < 0)
        return warning("the clock reads " + ago(-age) + " earlier than the last sync with " +
                       server);
    if (age / 2 >= job->interval) // two intervals or more, without overflow
        return warning("last synced " + ago(age) + " ago with " + server + ", expected every " +
                       contract::intervalText(job->interval));
    println("OK: synced " + ago(age) + " ago with " + server);
    return 0;
}

} // namespace tool
