#include "tool/timesettings.h"

#include "generated/platformprograms.h"
#include "tool/plumbing.h"
#include "tool/values.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace tool {

namespace {

void setFakeSetting(const char* key, plist_t value)
{
    Plist settings = fakeSettings();
    plist_dict_set_item(settings.get(), key, value);
    // Nothing to report to: like systemsetup's own result, a failed write goes unnoticed.
    writePlistAtomically(kFakeSettingsPath, settings.get(), 0644);
}

} // namespace

std::optional<std::string> systemsetupValue(const std::string& arg, const std::string& prefix)
{
    const RunResult r = run(kSystemsetup, {arg});
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find(prefix);
        if (line.empty() || at == std::string::npos) continue;
        const std::string value = trimmed(line.substr(at + prefix.size()));
        if (value.empty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

Plist fakeSettings()
{
    Plist settings = readPlistDict(kFakeSettingsPath);
    return settings ? std::move(settings) : newDict();
}

std::optional<std::string> currentTimeServer()
{
    if (selfTestMode()) return dictString(fakeSettings().get(), "timeServer");
    return systemsetupValue("-getnetworktimeserver", "Network Time Server:");
}

void setTimeServer(const std::string& server)
{
    if (selfTestMode()) return setFakeSetting("timeServer", plist_new_string(server.c_str()));
    run(kSystemsetup, {"-setnetworktimeserver", server});
}

std::optional<bool> usingNetworkTime()
{
    if (selfTestMode()) return dictBool(fakeSettings().get(), "usingNetworkTime");
    auto value = systemsetupValue("-getusingnetworktime", "Network Time:");
    if (!value) return std::nullopt;
    std::transform(value->begin(), value->end(), value->begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return *value == "on";
}

void setUsingNetworkTime(bool on)
{
    if (selfTestMode()) return setFakeSetting("usingNetworkTime", plist_new_bool(on));
    run(kSystemsetup, {"-setusingnetworktime", on ? "on" : "off"});
}

} // namespace tool
