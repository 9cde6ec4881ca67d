#include "ui/historyscale.h"

#include "clock/history.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kMinute = 60'000, kHour = 3'600'000, kDay = 86'400'000;
// 1970-01-05 was a Monday: weeks begin there, as a calendar's do.
constexpr qint64 kFirstMonday = 4 * kDay;
const QChar kMinus(0x2212);

QDateTime utc(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

qint64 ceilTo(qint64 t, qint64 step, qint64 origin = 0)
{
    const qint64 d = t - origin;
    const qint64 q = d / step + (d % step > 0 ? 1 : 0);
    return origin + q * step;
}

// A figure with its sign, "−" for the negative ones as the labels print it; none on a zero.
QString signedFigure(double v, int decimals, bool withSign)
{
    const QString s = QString::number(std::abs(v), 'f', decimals);
    if (s.toDouble() == 0) return s;
    if (v < 0) return kMinus + s;
    return withSign ? QLatin1Char('+') + s : s;
}

} // namespace

qint64 historyRangeMs(HistoryRange range)
{
    switch (range) {
    case HistoryRange::Hour:
        return kHour;
    case HistoryRange::Day:
        return kDay;
    case HistoryRange::Week:
        return 7 * kDay;
    case HistoryRange::Year:
        break;
    }
    return 400 * kDay;
}

QString historyRangeName(HistoryRange range)
{
    switch (range) {
    case HistoryRange::Hour:
        return QStringLiteral("1 HOUR");
    case HistoryRange::Day:
        return QStringLiteral("24 HOURS");
    case HistoryRange::Week:
        return QStringLiteral("7 DAYS");
    case HistoryRange::Year:
        break;
    }
    return QStringLiteral("400 DAYS");
}

QList<HistoryTimeTick> historyTimeTicks(qint64 fromMs, qint64 toMs, int widthPx,
                                        const QFontMetrics& metrics)
{
    QList<HistoryTimeTick> ticks;
    if (toMs <= fromMs || widthPx <= 0) return ticks;
    const double pxPerMs = double(widthPx) / double(toMs - fromMs);
    const int gap = metrics.horizontalAdvance(QLatin1Char('0')) * 3;
    const int dayLabel = metrics.horizontalAdvance(QStringLiteral("Sep 30"));
    const int timeLabel = std::max(metrics.horizontalAdvance(QStringLiteral("00:00")), dayLabel);
    const int monthLabel = std::max(metrics.horizontalAdvance(QStringLiteral("Sep")),
                                    metrics.horizontalAdvance(QStringLiteral("2025")));

    // Steps of whole minutes, hours and days, then weeks, then months.
    const qint64 steps[] = {kMinute,      2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute,
                            30 * kMinute, kHour,       2 * kHour,   3 * kHour,    6 * kHour,
                            12 * kHour,   kDay,        2 * kDay,    7 * kDay};
    for (const qint64 step : steps) {
        const int label = step < kDay ? timeLabel : dayLabel;
        if (step * pxPerMs < label + gap) continue;
        const qint64 origin = step == 7 * kDay ? kFirstMonday : 0;
        for (qint64 t = ceilTo(fromMs, step, origin); t < toMs; t += step) {
            const QDateTime d = utc(t);
            const bool midnight = t % kDay == 0;
            if (step < kDay)
                ticks << HistoryTimeTick{
                    t, d.toString(midnight ? QStringLiteral("MMM d") : QStringLiteral("HH:mm")),
                    midnight};
            else
                ticks << HistoryTimeTick{t, d.toString(QStringLiteral("MMM d")),
                                         d.date().day() == 1};
        }
        return ticks;
    }
    // Months, a whole number of them a tick, counted from January.
    for (const int months : {1, 2, 3, 6, 12}) {
        if (months * 30.44 * kDay * pxPerMs < monthLabel + gap && months < 12) continue;
        const QDate first = utc(fromMs).date();
        QDate m(first.year(), 1, 1);
        while (QDateTime(m, QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch() < fromMs)
            m = m.addMonths(months);
        for (;; m = m.addMonths(months)) {
            const qint64 t = QDateTime(m, QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
            if (t >= toMs) break;
            const bool year = m.month() == 1;
            ticks << HistoryTimeTick{
                t, year ? QString::number(m.year()) : utc(t).toString(QStringLiteral("MMM")), year};
        }
        break;
    }
    return ticks;
}

QString HistoryOffsetScale::tickLabel(double us) const
{
    if (std::abs(us) < stepUs / 2) return QStringLiteral("0");
    const QString figure = signedFigure(us / unitUs, decimals, true);
    const char* unit = unitUs >= 1e6 ? " s" : unitUs >= 1e3 ? " ms" : " µs";
    return figure + QString::fromUtf8(unit);
}

HistoryOffsetScale historyOffsetScale(double lowUs, double highUs, int heightPx, int minGapPx)
{
    HistoryOffsetScale s;
    double low = std::min(lowUs, 0.0), high = std::max(highUs, 0.0);
    // A few microseconds of noise are not drawn as if they were the whole height.
    constexpr double kLeastSpanUs = 200;
    if (high - low < kLeastSpanUs) {
        const double middle = (low + high) / 2;
        low = middle - kLeastSpanUs / 2, high = middle + kLeastSpanUs / 2;
    }
    const double rough = (high - low) * std::max(1, minGapPx) / std::max(1, heightPx);
    const double decade = std::pow(10.0, std::floor(std::log10(rough)));
    s.stepUs = decade * 10;
    for (const double f : {1.0, 2.0, 5.0})
        if (f * decade >= rough) {
            s.stepUs = f * decade;
            break;
        }
    s.lowUs = std::floor(low / s.stepUs) * s.stepUs;
    s.highUs = std::ceil(high / s.stepUs) * s.stepUs;
    s.unitUs = s.stepUs >= 1e5 ? 1e6 : s.stepUs >= 100 ? 1e3 : 1;
    s.decimals = std::max(0, int(std::ceil(-std::log10(s.stepUs / s.unitUs) - 1e-9)));
    return s;
}

void historyShownSpan(QList<double> lows, QList<double> highs, double* lowUs, double* highUs)
{
    *lowUs = *highUs = 0;
    const qsizetype n = std::min(lows.size(), highs.size());
    if (n == 0) return;
    std::sort(lows.begin(), lows.end());
    std::sort(highs.begin(), highs.end());
    if (n < 10) {
        *lowUs = lows.first(), *highUs = highs.last();
        return;
    }
    const double low = lows.at(n / 10), high = highs.at(n - 1 - n / 10);
    const double margin = std::max(0.0, high - low) / 2;
    *lowUs = std::max(lows.first(), low - margin);
    *highUs = std::min(highs.last(), high + margin);
}

QString historyMicros(double us, bool withSign)
{
    const double a = std::abs(us);
    const bool half = std::abs(a - std::floor(a) - 0.5) < 1e-6;
    QString figure;
    const char* unit;
    if (a < 1000) {
        figure = signedFigure(us, half ? 1 : 0, withSign), unit = " µs";
    } else if (a < 1e6) {
        figure = signedFigure(us / 1e3, half ? 4 : 3, withSign), unit = " ms";
    } else {
        figure = signedFigure(us / 1e6, half ? 7 : 6, withSign), unit = " s";
    }
    return figure + QString::fromUtf8(unit);
}

QString historyUtcText(qint64 utcMs)
{
    return utc(utcMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" UTC");
}

QString historyShortUtc(qint64 utcMs, qint64 referenceMs)
{
    const QDateTime t = utc(utcMs), ref = utc(referenceMs);
    const char* format = t.date() == ref.date()                 ? "HH:mm"
                         : t.date().year() == ref.date().year() ? "MMM d HH:mm"
                                                                : "yyyy-MM-dd HH:mm";
    return t.toString(QLatin1String(format)) + QStringLiteral(" UTC");
}

QStringList historyDriftTexts(const HistoryDrift& drift, qint64 nowMs)
{
    if (!drift.known) return {QStringLiteral("not enough data yet"), QString(), QString()};
    // As many decimals as the uncertainty earns, at least one.
    const int decimals = drift.uncertaintyPpm >= 0.1 ? 1 : drift.uncertaintyPpm >= 0.01 ? 2 : 3;
    const double perDayS = std::abs(drift.ppm) * 86'400e-6;
    const QString perDay = perDayS >= 1 ? QStringLiteral("%1 s").arg(perDayS, 0, 'f', 2)
                                        : QStringLiteral("%1 ms").arg(perDayS * 1e3, 0, 'f', 0);
    const QString rate = QString::number(drift.ppm, 'f', decimals);
    const bool still = rate.toDouble() == 0;
    return {
        (still ? QString::number(0.0, 'f', decimals) : rate) + QStringLiteral(" ppm"),
        still           ? QStringLiteral("steady against the server")
        : drift.ppm > 0 ? QStringLiteral("fast: gains %1 a day").arg(perDay)
                        : QStringLiteral("slow: loses %1 a day").arg(perDay),
        QStringLiteral("± %1 ppm, %2 samples\nsince %3")
            .arg(QString::number(drift.uncertaintyPpm, 'f', decimals))
            .arg(drift.samples)
            .arg(historyShortUtc(drift.fromMs, nowMs)),
    };
}
