#pragma once
// A monotonic elapsed-time timer over a TimeSource; invalid ("never") until started.

#include "clock/timesource.h"

class Stopwatch
{
public:
    explicit Stopwatch(const TimeSource& time) : time_(&time) {}

    void restart() { startMs_ = time_->monotonicMs(), valid_ = true; }
    void invalidate() { valid_ = false; }
    bool isValid() const { return valid_; }
    // Ms since the last restart; meaningless while invalid.
    qint64 elapsedMs() const { return time_->monotonicMs() - startMs_; }
    // Valid and started no more than ms ago.
    bool within(qint64 ms) const { return valid_ && elapsedMs() <= ms; }

private:
    const TimeSource* time_;
    qint64 startMs_ = 0;
    bool valid_ = false;
};
