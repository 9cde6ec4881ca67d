// The commands the dispatch table hands over to, one entry point each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tool {

[[noreturn]] void cmdDiscover(bool json);
[[noreturn]] void cmdSync(const std::string& server);

void cmdInstall(const std::string& server, long long intervalSec,
                const std::optional<std::string>& name);
// Copies the running tool to its installed place and proves the copy runs; ends the process
// with status 1 when it cannot.
void installProgram();

void cmdRemove();
void cmdStatus(bool json);
// The exit status of each: these two read their own options.
int cmdHistory();
int cmdCheck();

void cmdSetTime(const std::string& timeText, const std::optional<std::string>& allowUser);
void allowSetTime(const std::string& userText);
void forbidSetTime(bool keepAnswer = false);
// The user the grant file names; none when the file names nobody who could hold the grant.
std::optional<uint32_t> grantedUser();
void cmdSetTimeFromRequest();

} // namespace tool
