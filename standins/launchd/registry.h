// Where the launchd stand-in keeps its loaded jobs: one record file per job in a runtime
// folder of the user's own, under a folder per domain. A record names the job's supervisor;
// the supervisor rewrites it as the job runs and removes it when it stops.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace launchd {

// TESSAVEL_LAUNCHD_DIR when set (jobs get it, so they reach the launchd that runs them),
// else $XDG_RUNTIME_DIR/tessavel-launchd, else /tmp/tessavel-launchd-<uid>.
std::string runtimeDir();

enum class Access {
    Allowed,
    NotPermitted, // another user's domain, or the system domain without root
    UnknownDomain,
};
// system, gui/<uid> and user/<uid>; only root may act on other users' domains.
Access domainAccess(const std::string& domain);

// The record's path; the folders are made (mode 0700) only when create is set.
std::optional<std::string> recordPath(const std::string& domain, const std::string& label,
                                      bool create, std::string* error = nullptr);

using Record = std::map<std::string, std::string>; // "key = value" lines
std::optional<Record> readRecord(const std::string& path);
bool writeRecord(const std::string& path, const Record& record);
// Takes the record's name only if nobody holds it: a second bootstrap of a job finds it taken.
bool claimRecord(const std::string& path, const Record& record);

// A live process (a zombie is none) whose pid the record names.
bool processLives(pid_t pid);
std::optional<pid_t> supervisorOf(const Record& record);

} // namespace launchd
