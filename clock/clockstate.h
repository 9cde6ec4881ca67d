#pragma once
// The one verdict about this computer's clock.

#include <QMetaType>
#include <QString>

// The numbers are fixed: they travel as integers and two rules test ranges of them.
enum class ClockState : qint32 {
    None = 0,  // no server answers and the clock was never seen in sync
    Sync = 1,  // the server answers and the clock is within half a second of it
    Lost = 2,  // the server no longer answers, but the clock was in sync before
    Off = 3,   // the server answers and the clock is more than half a second from it
    Wrong = 4, // the clock reads earlier than its last sync, by more than two seconds
};
Q_DECLARE_METATYPE(ClockState)

// The state as one lower-case word ("none", "sync", "lost", "off", "wrong"); any number
// outside 1..4 reads as "none".
QString clockStateWord(ClockState state);

// Registers ClockState for queued connections and variants; safe to call more than once.
void registerClockStateMetaType();
