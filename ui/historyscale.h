#pragma once
// The history chart's axes and texts, worked out apart from the widget that draws them: time
// ticks, the offset scale and its unit, and the values as a readout says them.

#include <QList>
#include <QString>

class QFontMetrics;
struct HistoryDrift;

// The chart's ranges, ending now.
enum class HistoryRange { Hour = 0, Day = 1, Week = 2, Year = 3 };
qint64 historyRangeMs(HistoryRange range);
// "1 HOUR", "24 HOURS", "7 DAYS", "400 DAYS".
QString historyRangeName(HistoryRange range);

// A labelled tick of the time axis; major ticks begin a day (or a year).
struct HistoryTimeTick
{
    qint64 utcMs = 0;
    QString label;
    bool major = false;
};

// Ticks in UTC over [fromMs, toMs) drawn widthPx wide, far enough apart that their labels in
// these metrics never touch.
QList<HistoryTimeTick> historyTimeTicks(qint64 fromMs, qint64 toMs, int widthPx,
                                        const QFontMetrics& metrics);

// A linear offset axis: lowUs at the bottom, highUs at the top, a labelled tick every stepUs.
struct HistoryOffsetScale
{
    double lowUs = -100;
    double highUs = 100;
    double stepUs = 50;
    double unitUs = 1; // 1, 1000 or 1e6: the labels' µs, ms or s
    int decimals = 0;
    QString tickLabel(double us) const;
};

// The scale that holds [lowUs, highUs] and zero (the server's time), with ticks at least
// minGapPx apart over heightPx.
HistoryOffsetScale historyOffsetScale(double lowUs, double highUs, int heightPx, int minGapPx);

// The span of a set of column extremes worth showing: the middle 80 % widened by half its
// width on each side, so that a short excursion (an hour-wrong clock) does not flatten a
// week of microseconds; what falls outside is drawn off scale. All of it when there are few.
void historyShownSpan(QList<double> lows, QList<double> highs, double* lowUs, double* highUs);

// An offset or a delay to the microsecond, in the unit its size reads best in: "+250 µs",
// "-1.234 ms", "+3600.000123 s"; half microseconds keep their ".5".
QString historyMicros(double us, bool withSign);
// "2025-03-13 09:41:07.123 UTC".
QString historyUtcText(qint64 utcMs);
// "09:41 UTC" today, "Mar 12 09:41 UTC" on another day of the reference's year, with the
// year otherwise.
QString historyShortUtc(qint64 utcMs, qint64 referenceMs);

// The drift readout's three texts: the rate for the LED ("12.48 ppm", "-0.31 ppm", or "not
// enough data yet"), what it means ("fast: gains 1.08 s a day") and where it comes from
// ("± 0.03 ppm, 180 samples" and "since 09:02 UTC" on a line of its own); the last two empty
// while unknown.
QStringList historyDriftTexts(const HistoryDrift& drift, qint64 nowMs);
