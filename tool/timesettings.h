// The platform's network-time settings: the time server and whether the clock is set
// automatically. systemsetup holds them; in self-test mode a settings file stands in.
#pragma once

#include "tool/plistfile.h"

#include <optional>
#include <string>

namespace tool {

std::optional<std::string> systemsetupValue(const std::string& arg, const std::string& prefix);
std::optional<std::string> currentTimeServer();
void setTimeServer(const std::string& server);
std::optional<bool> usingNetworkTime();
void setUsingNetworkTime(bool on);

// The self-test settings file, an empty dictionary when it is missing or not one.
Plist fakeSettings();

} // namespace tool
