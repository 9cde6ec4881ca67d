#include "clock/timesource.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <chrono>

namespace {

class SystemTimeSource final : public TimeSource
{
public:
    qint64 utcNowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
    qint64 utcNowUs() const override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }
    qint64 monotonicMs() const override
    {
        // The clock QElapsedTimer runs on (CLOCK_MONOTONIC, mach_absolute_time).
        QElapsedTimer t;
        t.start();
        return t.msecsSinceReference();
    }
};

} // namespace

const TimeSource& TimeSource::system()
{
    static const SystemTimeSource source;
    return source;
}
