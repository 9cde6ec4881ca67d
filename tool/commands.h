// The privileged commands the dispatch table hands over to.
#pragma once

#include <optional>
#include <string>

namespace tool {

void cmdInstall(const std::string& server, long long intervalSec,
                const std::optional<std::string>& name);
// Copies the running tool to its installed place and proves the copy runs; ends the process
// with status 1 when it cannot.
void installProgram();

} // namespace tool
