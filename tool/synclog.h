// The sync job's record as its log keeps it: a run for every stamped "sync against" line, with
// the offset and error bound that the SNTP client printed after it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tool {

struct SyncRun
{
    long long at = 0; // whole seconds since 1970, from the line's stamp
    std::string server;
    int exitStatus = 0;
    std::optional<double> offset, error; // seconds
    std::vector<std::string> messages;   // the client's other lines, as they came
};

struct SyncLog
{
    std::vector<SyncRun> runs;
    std::size_t skipped = 0; // lines that belong to no run
};

// Never fails. A line it cannot place is skipped and counted; so is a last line without its
// line end, which was cut while being written.
SyncLog parseSyncLog(const std::string& text);

// The offset and error bound of an SNTP client's result line: Debian's
// "2026-12-07 12:53:47.262389 (+0000) -0.001670 +/- 0.001778 192.0.2.2 s8 no-leap", or the
// same without the local time in front.
struct SntpResult
{
    double offset = 0, error = 0;
};
std::optional<SntpResult> parseSntpResult(const std::string& line);

} // namespace tool
