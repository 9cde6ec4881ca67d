#include "tool/jobs.h"

#include "contract/contract.h"
#include "generated/platformprograms.h"
#include "tool/atomicfile.h"
#include "tool/fileops.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/values.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tool {

namespace {

constexpr int kGoneChecks = 50;
constexpr auto kGonePause = std::chrono::milliseconds(100);
constexpr int kBootstrapAttempts = 5;
constexpr auto kBootstrapPause = std::chrono::milliseconds(500);

std::string target(const std::string& label)
{
    return kDomain + "/" + label;
}

} // namespace

void writeJobPlist(plist_t dict, const std::string& path)
{
    makeDirs(parentDir(path));
    makeDirs(parentDir(kLogPath));
    removeLeftoverTemporaries(path);
    std::string error;
    // The mode is set on the new file before it takes the job's name.
    if (!writePlistAtomically(path, dict, 0644, &error))
        fail("error: cannot write " + path + ": " + error);
    run(kChown, {"root:wheel", path});
    run(kChmod, {"644", path});
}

bool jobIsLoaded(const std::string& label)
{
    return run(kLaunchctl, {"print", target(label)}).code == 0;
}

LoadResult loadJob(const std::string& label, const std::string& plistPath)
{
    run(kLaunchctl, {"bootout", target(label)});
    for (int i = 0; i < kGoneChecks && jobIsLoaded(label); ++i)
        std::this_thread::sleep_for(kGonePause);

    LoadResult result;
    for (int attempt = 0; attempt < kBootstrapAttempts; ++attempt) {
        const RunResult r = run(kLaunchctl, {"bootstrap", kDomain, plistPath});
        if (jobIsLoaded(label)) return {true, {}};
        result.detail = trimmed(r.out, " \t\r\n");
        std::this_thread::sleep_for(kBootstrapPause);
    }
    return result;
}

std::optional<ConfiguredJob> configuredJob()
{
    const Plist job = readPlistDict(kPlistPath);
    if (!job) return std::nullopt;
    const auto server = contract::jobServer(job.get());
    if (!server) return std::nullopt;
    const auto interval = dictInteger(job.get(), "StartInterval");
    return ConfiguredJob{*server, interval ? static_cast<long long>(*interval)
                                           : contract::kSyncIntervalSeconds};
}

} // namespace tool
