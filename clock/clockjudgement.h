#pragma once
// The rules that turn clock inputs into a verdict; pure functions, no state.

#include "clock/clockinputs.h"
#include "clock/clockstate.h"

// Within this many ms of the server the clock counts as in sync.
inline constexpr qint64 kSyncToleranceMs = 500;
// The clock is wrong once it reads more than this many ms earlier than its last sync.
inline constexpr qint64 kBehindLastSyncMs = 2000;

ClockState judgeClock(const ClockInputs& in);

// The clock is wrong, yet agrees with the answering server: the server went back, not us.
bool serverWentBackwards(const ClockInputs& in);

// Whether the verdict just reached calls for the operating system to sync now.
bool shouldAskOsToSync(ClockState previous, ClockState current, const ClockInputs& in);
