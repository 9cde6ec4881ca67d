// The password-free grant: one user may ask the set-the-clock job to set the clock.
#include "tool/commands.h"

#include "generated/platformprograms.h"
#include "tool/fileops.h"
#include "tool/jobs.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/values.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

// Digits with an optional sign; a minus only survives as zero, which is refused anyway.
std::optional<uint32_t> parseUserId(const std::string& text)
{
    size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + uint64_t(text[i] - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    if (text[0] == '-' && value != 0) return std::nullopt;
    return uint32_t(value);
}

// A fresh, empty request file that only the granted user (and root) may write.
void makeRequestFile(uint32_t uid)
{
    removeFile(kSetTimeRequestPath);
    const int fd = ::open(kSetTimeRequestPath.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) fail("error: cannot create " + kSetTimeRequestPath + ".");
    // Through the descriptor, so the owner and mode land on the file just made. A test user
    // cannot give a file to group 0, only keep its own group; another owner it cannot give.
    const gid_t group = selfTestMode() ? gid_t(-1) : 0;
    const bool given = ::fchown(fd, uid, group) == 0;
    if (!given || ::fchmod(fd, 0600) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        fail("error: cannot give " + kSetTimeRequestPath + " to user " + std::to_string(uid) +
             ": " + why + ".");
    }
    ::close(fd);
}

Plist setTimeJob()
{
    Plist job = newDict();
    setString(job.get(), "Label", kSetTimeLabel);
    setStrings(job.get(), "ProgramArguments", {kInstalledBin, "set-time-from-request"});
    setStrings(job.get(), "WatchPaths", {kSetTimeRequestPath});
    setString(job.get(), "StandardErrorPath", kLogPath);
    setString(job.get(), "StandardOutPath", kLogPath);
    if (const auto env = testEnvironment()) setStringMap(job.get(), "EnvironmentVariables", *env);
    return job;
}

} // namespace

void allowSetTime(const std::string& userText)
{
    const auto uid = parseUserId(userText);
    if (!uid || *uid == 0 || !::getpwuid(*uid))
        fail("error: \"" + userText +
             "\" is not a user of this Mac (give the numeric id; root does not need this).");
    installProgram();
    ensureStateDir();
    makeRequestFile(*uid);

    Plist grant = newDict();
    setInteger(grant.get(), "uid", *uid);
    // Without the grant file the job refuses every request; saying "can now" would be a lie.
    std::string error;
    if (!writePlistAtomically(kSetTimeGrantPath, grant.get(), 0644, &error))
        fail("error: cannot write " + kSetTimeGrantPath + ": " + error);

    writeJobPlist(setTimeJob().get(), kSetTimePlistPath);
    const LoadResult load = loadJob(kSetTimeLabel, kSetTimePlistPath);
    if (!load.ok)
        fail("error: the set-the-clock job did not load" +
             (load.detail.empty() ? std::string(".") : " (" + load.detail + ")."));
    println("User " + std::to_string(*uid) +
            " can now set this Mac's clock from Tessavel Veridir without a password.");
}

std::optional<uint32_t> grantedUser()
{
    const Plist grant = readPlistDict(kSetTimeGrantPath);
    const auto uid = grant ? dictInteger(grant.get(), "uid") : std::nullopt;
    // libplist reads -1 as 2^64-1 and an empty integer as 0; neither is anybody's, nor is
    // root (who needs no grant) or the id that stands for no user.
    if (!uid || *uid == 0 || *uid >= UINT32_MAX) return std::nullopt;
    return uint32_t(*uid);
}

void forbidSetTime(bool keepAnswer)
{
    removeFile(kSetTimePlistPath);
    removeFile(kSetTimeRequestPath);
    removeFile(kSetTimeGrantPath);
    if (!keepAnswer) removeFile(kSetTimeResultPath);
    run(kLaunchctl, {"bootout", kDomain + "/" + kSetTimeLabel});
}

} // namespace tool
