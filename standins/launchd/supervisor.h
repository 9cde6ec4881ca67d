// One loaded job: a detached supervisor that runs it at load, every StartInterval and when a
// watched path changes, one run at a time, with its output appended to the job's files.
#pragma once

#include "standins/launchd/jobdefinition.h"

#include <string>

namespace launchd {

struct Loaded
{
    JobDefinition job;
    std::string plistPath;
    std::string recordPath;
};

// Runs in the detached process. Tells the bootstrap waiting on replyFd whether it took the
// job ('y'), found it loaded already ('b'), or failed; then serves until booted out.
[[noreturn]] void superviseJob(const Loaded& loaded, int replyFd);

} // namespace launchd
