#include "tool/commands.h"

#include "contract/contract.h"
#include "generated/platformprograms.h"
#include "tool/atomicfile.h"
#include "tool/fileops.h"
#include "tool/jobs.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/timesettings.h"
#include "tool/values.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

// Only on the first setup: a re-install must never overwrite what the Mac had before.
void rememberOldSettings()
{
    if (pathExists(kPlistPath) || pathExists(kStatePath)) return;
    const auto server = currentTimeServer();
    const auto automatic = usingNetworkTime();
    if (!server && !automatic) return;
    ensureStateDir();
    Plist record = newDict();
    if (server) setString(record.get(), "timeServer", *server);
    if (automatic) setBool(record.get(), "usingNetworkTime", *automatic);
    writePlistAtomically(kStatePath, record.get(), 0644);
}

void makeSyncNowFile()
{
    // chmod 666 follows a link: whatever is not a plain file here is replaced, never opened up.
    struct stat st;
    if (::lstat(kSyncNowPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) removeFile(kSyncNowPath);
    if (!pathExists(kSyncNowPath)) {
        const int fd = ::open(kSyncNowPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) ::close(fd);
    }
    run(kChown, {"root:wheel", kSyncNowPath});
    run(kChmod, {"666", kSyncNowPath});
}

Plist syncJob(const std::string& server, long long intervalSec)
{
    Plist job = newDict();
    setString(job.get(), "Label", kLabel);
    setStrings(job.get(), "ProgramArguments",
               {kInstalledBin, "sync", contract::kServerOption, server});
    setBool(job.get(), "RunAtLoad", true);
    setInteger(job.get(), "StartInterval", uint64_t(intervalSec));
    setStrings(job.get(), "WatchPaths", {kSyncNowPath});
    setString(job.get(), "StandardOutPath", kLogPath);
    setString(job.get(), "StandardErrorPath", kLogPath);
    if (const auto env = testEnvironment()) setStringMap(job.get(), "EnvironmentVariables", *env);
    return job;
}

} // namespace

void installProgram()
{
    const std::string self = selfPath();
    removeLeftoverTemporaries(kInstalledBin);
    if (self != kInstalledBin) {
        const auto bytes = readWholeFile(self, kMaxProgramBytes);
        if (!bytes)
            fail("error: can't locate this tool at " + self + ". Run install with its full path.");
        std::string error;
        if (!makeDirs(kInstalledDir, &error))
            fail("error: could not install binary to " + kInstalledBin + ": " + error);
        // A new file renamed into place: the jobs may start the installed tool at any moment
        // and must never find it half copied.
        if (!writeFileAtomically(kInstalledBin, *bytes, 0755, &error))
            fail("error: could not install binary to " + kInstalledBin + ": " + error);
    }
    run(kChown, {"root:wheel", kInstalledBin});
    run(kChmod, {"755", kInstalledBin});
    run(kXattr, {"-dr", "com.apple.quarantine", kInstalledBin});

    const RunResult proof = run(kInstalledBin, {"--help"});
    if (proof.code != 0)
        fail("error: installed binary at " + kInstalledBin + " did not execute (code " +
             std::to_string(proof.code) + "). On an offline Mac, Gatekeeper may block it " +
             "\xE2\x80\x94 run 'xattr -dr com.apple.quarantine " + kInstalledBin + "' and retry.");
}

void cmdInstall(const std::string& server, long long intervalSec,
                const std::optional<std::string>& name)
{
    requireRoot("install --server " + server);
    if (!pathExists(kSntp))
        fail(std::string("error: ") + kSntp +
             " not found \xE2\x80\x94 cannot force a sync on this macOS.");

    const std::string label = name ? "\"" + *name + "\" (" + server + ")" : server;
    const std::string every = contract::intervalText(intervalSec);
    println("Setting up Tessavel Veridir -> " + label + ", every " + every);

    rememberOldSettings();
    setTimeServer(server);
    setUsingNetworkTime(true);
    installProgram();
    ensureStateDir();
    makeSyncNowFile();
    writeJobPlist(syncJob(server, intervalSec).get(), kPlistPath);

    const LoadResult load = loadJob(kLabel, kPlistPath);
    if (!load.ok)
        fail("error: the background job did not load" +
             (load.detail.empty() ? std::string(".") : " (" + load.detail + ").") +
             " Its files are in place, so it starts at the next restart; run setup again to "
             "load it now.");
    removeFile(kLegacyBin);

    println("Setting the clock from " + label + " now...");
    const bool synced = oneSync(server);
    if (synced)
        println("Done. This Mac syncs with " + label + " at startup and every " + every + ".");
    else
        println("Set up, but " + label +
                " did not answer a time request. This Mac keeps trying at startup and every " +
                every + ".");
    println("Log: " + kLogPath);
    println(std::string(contract::kResultTag) + " " +
            (synced ? contract::kResultSynced : contract::kResultNoAnswer));
}

} // namespace tool
