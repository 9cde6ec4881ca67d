// What the history gives back: the chart's columns, bands, gaps and markers, the nearest
// sample, the drift rate and the CSV export.
#include "clock/history.h"

#include "clock/clockinputs.h"

#include <QDateTime>
#include <QIODevice>
#include <QSqlError>
#include <QTimeZone>

#include <cmath>

namespace {

// A jump between two samples larger than both the noise their delays allow (at least a few
// ms) and what a clock drifting at this rate could do in between is a step of the clock.
constexpr qint64 kStepFloorUs = 2000;
constexpr double kDriftBoundPpm = 100;
// Too few samples, or too short a span, say nothing about a rate of a few ppm.
constexpr int kDriftMinSamples = 20;
constexpr qint64 kDriftMinSpanMs = 600'000;

void merge(HistoryColumn& c, qint64 n, qint64 minUs, qint64 maxUs, qint64 sumUs, qint64 delayUs,
           qint32 state)
{
    if (c.count == 0) c.minOffsetUs = minUs, c.maxOffsetUs = maxUs;
    c.minOffsetUs = qMin(c.minOffsetUs, minUs);
    c.maxOffsetUs = qMax(c.maxOffsetUs, maxUs);
    c.meanOffsetUs += sumUs; // a sum until the end
    c.maxDelayUs = qMax(c.maxDelayUs, delayUs);
    c.worst = ClockState(qMax(qint32(c.worst), state));
    c.count += n;
}

// RFC 4180: quoted when it holds a separator, a quote or a line break. Text from the network
// that a spreadsheet would take for a formula gets a leading apostrophe.
QString csvText(QString s)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!s.isEmpty() && formulaStarts.contains(s.front())) s.prepend(QLatin1Char('\''));
    if (s.contains(QLatin1Char(',')) || s.contains(QLatin1Char('"')) ||
        s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')))
        s = QLatin1Char('"') + s.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
            QLatin1Char('"');
    return s;
}

// 2023-11-14T22:13:20.123Z
QString isoUtc(qint64 utcMs)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone(QTimeZone::UTC));
#else
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC);
#endif
    return t.toString(Qt::ISODateWithMs);
}

QString csvNumber(const QVariant& v)
{
    return v.isNull() ? QString() : QString::number(v.toLongLong());
}

} // namespace

HistoryChart ClockHistory::chart(qint64 fromMs, qint64 toMs, int columns) const
{
    HistoryChart chart;
    if (!readable_ || columns <= 0 || toMs <= fromMs) return chart;
    chart.columns.resize(columns);
    const qint64 range = toMs - fromMs, widthMs = range / columns;
    const qint64 rawFrom = rawFromMs();
    // The coarsest rows no wider than a column, so that a column's band is exact to within a
    // row and no range reads more than about ten thousand rows. Where the raw samples and
    // the 1-minute rows are gone, the 5-minute rows stand in.
    const qint64 span = widthMs >= kSixHoursMs ? kSixHoursMs
                        : widthMs >= kHourMs   ? kHourMs
                        : widthMs >= kPeriodMs ? kPeriodMs
                        : widthMs >= kMinuteMs ? kMinuteMs
                                               : 0;
    // A row counts in the column of its middle; one that reaches over an edge of the range,
    // in the column at that edge.
    auto column = [&](const char* moment) {
        return QStringLiteral("max(0, min(%1 - 1, (%2 - %3) * %1 / %4))")
            .arg(columns)
            .arg(QLatin1String(moment))
            .arg(fromMs)
            .arg(range);
    };
    const QString summary =
        QStringLiteral("SELECT %1 AS c, sum(n), min(min_us), max(max_us), sum(sum_us),"
                       " max(max_delay_us), max(state) FROM summary WHERE span = %2 AND t >= %3"
                       " AND t < %4 GROUP BY c")
            .arg(column("t + span / 2"));
    QStringList sql;
    if (span >= kPeriodMs) {
        sql << summary.arg(span).arg(fromMs - span + 1).arg(toMs);
    } else {
        sql << summary.arg(kPeriodMs).arg(fromMs - kPeriodMs + 1).arg(qMin(toMs, rawFrom));
        if (span == kMinuteMs)
            sql << summary.arg(kMinuteMs)
                       .arg(fromMs >= rawFrom ? fromMs - kMinuteMs + 1 : rawFrom)
                       .arg(toMs);
        else
            sql << QStringLiteral("SELECT %1 AS c, count(*), min(offset_us), max(offset_us),"
                                  " sum(offset_us), max(delay_us), max(state) FROM sample"
                                  " WHERE t >= %2 AND t < %3 GROUP BY c")
                       .arg(column("t"))
                       .arg(qMax(fromMs, rawFrom))
                       .arg(toMs);
    }
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    for (const QString& s : std::as_const(sql)) {
        q.exec(s);
        while (q.next()) {
            const qint64 c = q.value(0).toLongLong();
            if (c < 0 || c >= columns) continue;
            merge(chart.columns[c], q.value(1).toLongLong(), q.value(2).toLongLong(),
                  q.value(3).toLongLong(), q.value(4).toLongLong(), q.value(5).toLongLong(),
                  q.value(6).toInt());
        }
    }
    for (HistoryColumn& c : chart.columns)
        if (c.count > 0) c.meanOffsetUs = qint64(std::llround(double(c.meanOffsetUs) / c.count));

    // Bands run from one start, quit or state change to the next; the one in force at the
    // range's start is the latest before it.
    const QString marks = QStringLiteral("kind IN (%1, %2, %3)")
                              .arg(qint32(HistoryEventKind::Start))
                              .arg(qint32(HistoryEventKind::Quit))
                              .arg(qint32(HistoryEventKind::State));
    q.exec(QStringLiteral("SELECT t, kind, state FROM event WHERE %1 AND t < %2 AND t >= coalesce("
                          "(SELECT max(t) FROM event WHERE %1 AND t <= %3), %3) ORDER BY t, id")
               .arg(marks)
               .arg(toMs)
               .arg(fromMs));
    while (q.next()) {
        HistoryBand b{qMax(fromMs, q.value(0).toLongLong()), toMs, ClockState(q.value(2).toInt()),
                      q.value(1).toInt() != qint32(HistoryEventKind::Quit)};
        if (!b.watched) b.state = ClockState::None;
        if (!chart.bands.isEmpty()) chart.bands.last().toMs = b.fromMs;
        if (!chart.bands.isEmpty() && chart.bands.last().state == b.state &&
            chart.bands.last().watched == b.watched)
            chart.bands.last().toMs = toMs;
        else
            chart.bands << b;
    }
    chart.bands.removeIf([](const HistoryBand& b) { return b.toMs <= b.fromMs; });

    q.exec(QStringLiteral("SELECT t, until FROM gap WHERE until > %1 AND t < %2 ORDER BY t")
               .arg(fromMs)
               .arg(toMs));
    while (q.next())
        chart.gaps << HistoryGap{qMax(fromMs, q.value(0).toLongLong()),
                                 qMin(toMs, q.value(1).toLongLong())};
    // Silent since the last sample: a gap that is still open.
    if (toMs - lastSampleMs_ > kAnswerCountsMs)
        chart.gaps << HistoryGap{qMax(fromMs, lastSampleMs_), toMs};

    q.exec(QStringLiteral("SELECT t, kind, state, detail FROM event WHERE t >= %1 AND t < %2"
                          " ORDER BY t, id")
               .arg(fromMs)
               .arg(toMs));
    while (q.next())
        chart.events << HistoryEvent{q.value(0).toLongLong(), HistoryEventKind(q.value(1).toInt()),
                                     ClockState(q.value(2).toInt()), q.value(3).toString()};
    return chart;
}

std::optional<HistorySample> ClockHistory::nearest(qint64 utcMs, qint64 withinMs) const
{
    if (!readable_) return std::nullopt;
    QSqlQuery q(db_);
    const QString side = QStringLiteral("SELECT * FROM (SELECT t, offset_us, delay_us, server, "
                                        "state FROM sample WHERE t %1 %2 ORDER BY t %3 LIMIT 1)");
    q.exec(side.arg("<=").arg(utcMs).arg("DESC") + " UNION ALL " +
           side.arg(">").arg(utcMs).arg("ASC"));
    std::optional<HistorySample> best;
    while (q.next()) {
        const HistorySample s{q.value(0).toLongLong(), q.value(1).toLongLong(),
                              q.value(2).toLongLong(), q.value(3).toString(),
                              ClockState(q.value(4).toInt())};
        if (qAbs(s.utcMs - utcMs) <= withinMs &&
            (!best || qAbs(s.utcMs - utcMs) < qAbs(best->utcMs - utcMs)))
            best = s;
    }
    return best;
}

HistoryDrift ClockHistory::drift() const
{
    HistoryDrift d;
    if (!readable_) return d;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // Newest first, back to the last step: the rate between the sync job's steps.
    q.exec(QStringLiteral("SELECT t, offset_us, delay_us, server FROM sample ORDER BY id DESC"));
    double sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    qint64 t0 = 0, y0 = 0, prevT = 0, prevY = 0, prevDelay = 0;
    QString server;
    while (q.next()) {
        const qint64 t = q.value(0).toLongLong(), y = q.value(1).toLongLong(),
                     delay = q.value(2).toLongLong();
        if (d.samples == 0) {
            t0 = prevT = d.toMs = t, y0 = prevY = y, prevDelay = delay;
            server = q.value(3).toString();
        } else {
            const double noise = qMax(kStepFloorUs, (delay + prevDelay) / 2) +
                                 kDriftBoundPpm * qAbs(prevT - t) / 1000.0;
            if (qAbs(prevY - y) > noise || q.value(3).toString() != server) break;
            prevT = t, prevY = y, prevDelay = delay;
        }
        // Seconds and us from the newest sample keep the sums small.
        const double x = (t - t0) / 1000.0, v = double(y - y0);
        sx += x, sy += v, sxx += x * x, sxy += x * v, syy += v * v;
        d.fromMs = t;
        ++d.samples;
    }
    const int n = d.samples;
    if (n < kDriftMinSamples || d.toMs - d.fromMs < kDriftMinSpanMs) return d;
    const double cxx = sxx - sx * sx / n, cxy = sxy - sx * sy / n, cyy = syy - sy * sy / n;
    if (cxx <= 0) return d;
    const double slope = cxy / cxx; // us of offset per s: ppm
    const double residual = qMax(0.0, cyy - slope * cxy) / (n - 2);
    d.known = true;
    d.ppm = -slope; // the offset falls while this clock gains
    d.uncertaintyPpm = std::sqrt(residual / cxx);
    return d;
}

bool ClockHistory::exportCsv(qint64 fromMs, qint64 toMs, QIODevice* out, QString* error) const
{
    auto failed = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!readable_) return failed(error_);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // Raw samples where they are kept, 5-minute rows where they are all that is left.
    const qint64 rawFrom = rawFromMs();
    // A 5-minute row that begins before the range but reaches into it belongs to it.
    const QString sql = QStringLiteral(
        "SELECT t, 0 AS k, id, offset_us, delay_us, NULL, NULL, NULL, state, server, NULL, NULL"
        " FROM sample WHERE t >= %1 AND t < %2 AND t >= %3 UNION ALL "
        "SELECT t, 1, 0, sum_us, max_delay_us, min_us, max_us, n, state, NULL, NULL, NULL"
        " FROM summary WHERE span = %4 AND t > %1 - %4 AND t < %2 AND t < %3 UNION ALL "
        "SELECT t, 2, id, NULL, NULL, NULL, NULL, NULL, state, NULL, kind, detail"
        " FROM event WHERE t >= %1 AND t < %2 ORDER BY 1, 2, 3");
    if (!q.exec(sql.arg(fromMs).arg(toMs).arg(rawFrom).arg(kPeriodMs)))
        return failed(q.lastError().text());

    QString text = QStringLiteral("time_utc,offset_us,delay_us,offset_min_us,offset_max_us,"
                                  "samples,state,server,event,detail\r\n");
    while (q.next()) {
        QVariant offset = q.value(3);
        const qint64 n = q.value(7).toLongLong();
        if (n > 0) offset = qint64(std::llround(offset.toDouble() / n)); // the period's mean
        const QVariant kind = q.value(10);
        QStringList f{
            isoUtc(q.value(0).toLongLong()),
            csvNumber(offset),
            csvNumber(q.value(4)),
            csvNumber(q.value(5)),
            csvNumber(q.value(6)),
            csvNumber(q.value(7)),
            clockStateWord(ClockState(q.value(8).toInt())),
            csvText(q.value(9).toString()),
            kind.isNull() ? QString() : historyEventWord(HistoryEventKind(kind.toInt())),
            csvText(q.value(11).toString()),
        };
        text += f.join(QLatin1Char(',')) + QLatin1String("\r\n");
        if (text.size() > 65536) {
            if (out->write(text.toUtf8()) < 0) return failed(out->errorString());
            text.clear();
        }
    }
    if (q.lastError().isValid()) return failed(q.lastError().text());
    if (out->write(text.toUtf8()) < 0) return failed(out->errorString());
    return true;
}
