#include "clock/clockjudgement.h"

namespace {

// |offset| as an unsigned magnitude, so that the most negative offset has one too.
quint64 magnitude(qint64 v)
{
    return v < 0 ? quint64(0) - quint64(v) : quint64(v);
}

bool withinTolerance(qint64 offsetMs)
{
    return magnitude(offsetMs) <= quint64(kSyncToleranceMs);
}

// now + 2000 < lastSync, written so that no sum can overflow: lastSync > 0 here.
bool behindLastSync(const ClockInputs& in)
{
    return in.lastSyncUtcMs > 0 && in.nowUtcMs < in.lastSyncUtcMs - kBehindLastSyncMs;
}

} // namespace

ClockState judgeClock(const ClockInputs& in)
{
    // A clock gone back behind its own last sync is wrong, whatever the server says.
    if (behindLastSync(in)) return ClockState::Wrong;
    if (!in.answered) return in.lastSyncUtcMs > 0 ? ClockState::Lost : ClockState::None;
    return withinTolerance(in.offsetMs) ? ClockState::Sync : ClockState::Off;
}

bool serverWentBackwards(const ClockInputs& in)
{
    return behindLastSync(in) && in.answered && withinTolerance(in.offsetMs);
}

bool shouldAskOsToSync(ClockState previous, ClockState current, const ClockInputs& in)
{
    if (!in.answered) return false; // nobody to sync with
    if (current == ClockState::Off || current == ClockState::Wrong) return true;
    // Heard again after being lost: the clock may have drifted meanwhile.
    return previous == ClockState::Lost && current != ClockState::Lost;
}
