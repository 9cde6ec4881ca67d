#pragma once
// Where the clock code reads time: the system clock and a monotonic clock. Production uses
// system(); tests hand in a source they advance by hand, so no test sleeps through a window.

#include <QtGlobal>

class TimeSource
{
public:
    virtual ~TimeSource() = default;
    // The system clock: ms since 1970-01-01 00:00 UTC. May jump when the clock is set.
    virtual qint64 utcNowMs() const = 0;
    // The same clock in us, for measurements finer than a ms; a source without it reads its
    // ms.
    virtual qint64 utcNowUs() const { return utcNowMs() * 1000; }
    // A monotonic clock in ms from an arbitrary origin; never jumps.
    virtual qint64 monotonicMs() const = 0;

    static const TimeSource& system();
};
