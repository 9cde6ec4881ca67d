// Setting the clock by hand: the one routine that changes it, never earlier than the last
// sync, and the strict reading of the UTC time text it is given.
#pragma once

#include <optional>
#include <string>

namespace tool {

// Whole seconds since 1970 for a text such as 2026-10-09T21:07:38Z; absent for any other
// form and for impossible dates (month 13, 30 February, second 60).
std::optional<long long> parseTimeText(const std::string& text);

struct ClockResult
{
    bool ok = false;
    std::string words;
};
ClockResult setClock(const std::string& timeText);

} // namespace tool
