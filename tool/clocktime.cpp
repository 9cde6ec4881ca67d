#include "tool/clocktime.h"

#include "tool/atomicfile.h"
#include "tool/commands.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/values.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <sys/time.h>

namespace tool {

std::optional<long long> parseTimeText(const std::string& text)
{
    static const std::regex form("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$");
    if (!std::regex_match(text, form)) return std::nullopt;
    auto field = [&](size_t at, size_t length) { return std::stoi(text.substr(at, length)); };
    std::tm tm{};
    tm.tm_year = field(0, 4) - 1900;
    tm.tm_mon = field(5, 2) - 1;
    tm.tm_mday = field(8, 2);
    tm.tm_hour = field(11, 2);
    tm.tm_min = field(14, 2);
    tm.tm_sec = field(17, 2);
    const std::tm asked = tm;
    const std::time_t seconds = timegm(&tm);
    // timegm rolls impossible fields over (13th month, 30 February); such a date does not
    // come back unchanged, and is no date.
    std::tm back{};
    if (!gmtime_r(&seconds, &back)) return std::nullopt;
    if (back.tm_year != asked.tm_year || back.tm_mon != asked.tm_mon ||
        back.tm_mday != asked.tm_mday || back.tm_hour != asked.tm_hour ||
        back.tm_min != asked.tm_min || back.tm_sec != asked.tm_sec)
        return std::nullopt;
    return static_cast<long long>(seconds);
}

ClockResult setClock(const std::string& timeText)
{
    const auto seconds = parseTimeText(timeText);
    if (!seconds)
        return {false, "\"" + timeText + "\" is not a time. Give it as 2026-10-09T21:07:38Z."};
    if (const auto last = lastSyncRecord(); last && *seconds < *last)
        return {false, timeText + " is earlier than this Mac's last sync (" + isoText(*last) +
                           "). The clock was not changed."};
    if (selfTestMode()) {
        writeFileAtomically(kFakeClockPath, timeText + "\n", 0644);
        return {true, "clock set to " + timeText + " (self-test: not really)"};
    }
    struct timeval tv
    {
    };
    tv.tv_sec = static_cast<time_t>(*seconds);
    if (settimeofday(&tv, nullptr) != 0)
        return {false, std::string("the clock could not be set: ") + std::strerror(errno)};
    return {true, "clock set to " + timeText};
}

void cmdSetTime(const std::string& timeText, const std::optional<std::string>& allowUser)
{
    requireRoot("set-time " + timeText);
    // The grant comes first and stays, even when the time itself is refused.
    if (allowUser) allowSetTime(*allowUser);
    const ClockResult r = setClock(timeText);
    if (!r.ok) fail(r.words);
    println(isoText(std::time(nullptr)) + " tessavel-connect: " + r.words);
}

} // namespace tool
