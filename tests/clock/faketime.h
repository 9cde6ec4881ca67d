#pragma once
// A time source the test moves by hand: advance() moves both clocks, jumpUtc() only the
// system clock, as setting the clock would.

#include "clock/timesource.h"

class FakeTime final : public TimeSource
{
public:
    explicit FakeTime(qint64 utcMs = 1'700'000'000'000) : utc_(utcMs) {}

    qint64 utcNowMs() const override { return utc_; }
    qint64 monotonicMs() const override { return mono_; }

    void advance(qint64 ms) { utc_ += ms, mono_ += ms; }
    void jumpUtc(qint64 ms) { utc_ += ms; }

private:
    qint64 utc_;
    qint64 mono_ = 5'000'000;
};
