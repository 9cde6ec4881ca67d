#pragma once
// What one judgement of the clock looks at; built fresh each time, never stored.

#include <QtGlobal>

// An accepted answer counts this long: two lost answers in a row, not one, mean lost.
inline constexpr qint64 kAnswerCountsMs = 25'000;

struct ClockInputs
{
    qint64 nowUtcMs = 0;      // the system clock now, ms since 1970-01-01 00:00 UTC
    bool answered = false;    // an accepted time answer came no more than 25 s ago
    qint64 offsetMs = 0;      // server minus this clock, ms; meaningful only while answered
    qint64 lastSyncUtcMs = 0; // last moment judged in sync; 0 or less means never
};
