#include "ui/historystrip.h"

#include "ui/lamp.h"

#include "clock/clockinputs.h"
#include "clock/timesource.h"
#include "inst/instfonts.h"
#include "inst/instformat.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTickGap = 26; // least room between two offset labels
constexpr int kMaxEventLines = 3;

// "14:06:03 clock set: to 2025-03-12T14:06:03Z"; the day too when it is not the reference's.
QString eventLine(const HistoryEvent& e, qint64 referenceMs)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(e.utcMs, QTimeZone::utc());
    const bool sameDay =
        t.date() == QDateTime::fromMSecsSinceEpoch(referenceMs, QTimeZone::utc()).date();
    const QString word =
        e.kind == HistoryEventKind::State ? stateWords(e.state) : historyEventWord(e.kind);
    QString line =
        t.toString(sameDay ? QStringLiteral("HH:mm:ss") : QStringLiteral("MMM d HH:mm:ss")) +
        QLatin1Char(' ') + word;
    if (!e.detail.isEmpty()) line += QStringLiteral(": ") + e.detail;
    return line;
}

} // namespace

QFont HistoryStrip::axisFont()
{
    return Inst::mono(10);
}

HistoryStrip::HistoryStrip(ClockHistory* history, const TimeSource& time, QWidget* parent)
    : QWidget(parent), history_(history), time_(time)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(QStringLiteral("Clock history chart"));
    layOut();
}

void HistoryStrip::setRange(HistoryRange range)
{
    if (range == range_) return;
    range_ = range;
    cursor_ = -1; // a column of another range means another moment
    refresh();
}

void HistoryStrip::layOut()
{
    // Worked out once a size: a paint asks for it in every column.
    const QFontMetrics fm(axisFont());
    const int left = 10 + fm.horizontalAdvance(QStringLiteral("−0000.0 ms")) + 8;
    const int top = 8 + kMarkerLane;
    const int bottom = height() - (6 + fm.height() + 4 + kStateLane + kLaneGap);
    plot_ = QRect(QPoint(left, top), QPoint(width() - 14, bottom - 1));
}

void HistoryStrip::refresh()
{
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    stale_ = false;
    const QRect plot = plotRect();
    // Up to and with this millisecond: a sample taken in it is the one just added.
    toMs_ = time_.utcNowMs() + 1;
    fromMs_ = toMs_ - historyRangeMs(range_);
    data_ = history_ && plot.width() > 0 ? history_->chart(fromMs_, toMs_, plot.width())
                                         : HistoryChart();
    if (cursor_ >= data_.columns.size()) cursor_ = -1;
    rescale();
    updateReadout();
    update();
}

void HistoryStrip::rescale()
{
    QList<double> lows, highs;
    for (const HistoryColumn& c : std::as_const(data_.columns)) {
        if (c.count == 0) continue;
        // The error bars belong to the data: the true offset may lie anywhere in them.
        lows << c.minOffsetUs - c.maxDelayUs / 2.0;
        highs << c.maxOffsetUs + c.maxDelayUs / 2.0;
    }
    double low = 0, high = 0;
    historyShownSpan(lows, highs, &low, &high);
    const QRect plot = plotRect();
    scale_ = historyOffsetScale(low, high, plot.height(), kTickGap);
    ticks_ = historyTimeTicks(fromMs_, toMs_, plot.width(), QFontMetrics(axisFont()));
}

double HistoryStrip::yOf(double offsetUs) const
{
    const QRect plot = plotRect();
    return plot.top() + (scale_.highUs - offsetUs) / (scale_.highUs - scale_.lowUs) * plot.height();
}

int HistoryStrip::columnOf(qint64 utcMs) const
{
    if (utcMs < fromMs_ || utcMs >= toMs_ || data_.columns.isEmpty()) return -1;
    return int((utcMs - fromMs_) * data_.columns.size() / (toMs_ - fromMs_));
}

double HistoryStrip::xOf(qint64 utcMs, const QRect& plot) const
{
    return plot.left() + double(utcMs - fromMs_) * plot.width() / double(toMs_ - fromMs_);
}

qint64 HistoryStrip::columnStartMs(int column) const
{
    const qint64 n = qMax<qint64>(1, data_.columns.size());
    return fromMs_ + (column * (toMs_ - fromMs_) + n - 1) / n;
}

int HistoryStrip::columnAt(int x) const
{
    const QRect plot = plotRect();
    if (data_.columns.isEmpty() || x < plot.left() - 4 || x > plot.right() + 4) return -2;
    return qBound(0, x - plot.left(), int(data_.columns.size()) - 1);
}

int HistoryStrip::neighbourWithData(int column, int direction) const
{
    for (int c = column + direction; c >= 0 && c < data_.columns.size(); c += direction)
        if (data_.columns.at(c).count > 0) return c;
    return -1;
}

void HistoryStrip::setCursorColumn(int column)
{
    if (column < -1 || column >= data_.columns.size()) return;
    if (column == cursor_) return;
    cursor_ = column;
    updateReadout();
    update();
}

void HistoryStrip::updateReadout()
{
    const int column = cursor_ >= 0 ? cursor_ : neighbourWithData(int(data_.columns.size()), -1);
    const QString text = column >= 0 ? readoutAt(column) : QStringLiteral("No measurements yet.");
    setAccessibleDescription(text);
    if (text == readout_) return;
    readout_ = text;
    emit readoutChanged(text);
}

QString HistoryStrip::readoutAt(int column) const
{
    const qint64 columnMs = (toMs_ - fromMs_) / data_.columns.size();
    const qint64 start = columnStartMs(column), middle = start + columnMs / 2;
    QStringList lines;
    if (const auto s = history_->nearest(middle, qMax<qint64>(columnMs * 3 / 2, 10'000))) {
        lines << historyUtcText(s->utcMs)
              << QStringLiteral("offset %1 ± %2")
                     .arg(historyMicros(double(s->offsetUs), true),
                          historyMicros(s->delayUs / 2.0, false))
              << QStringLiteral("delay %1").arg(historyMicros(double(s->delayUs), false))
              << stateWords(s->state) +
                     (s->server.isEmpty() ? QString() : QStringLiteral(" · ") + s->server);
    } else {
        // Only summaries are left this far back: the column's own figures.
        int near = -1;
        for (int d = 0; d <= 3 && near < 0; ++d)
            for (const int c : {column - d, column + d})
                if (near < 0 && c >= 0 && c < data_.columns.size() && data_.columns.at(c).count)
                    near = c;
        const auto gap =
            std::find_if(data_.gaps.begin(), data_.gaps.end(), [&](const HistoryGap& g) {
                return g.fromMs <= middle && middle < g.toMs;
            });
        if (near < 0 && gap != data_.gaps.end() && gap->fromMs >= recordFromMs()) {
            lines << QStringLiteral("No answer for %1").arg(Inst::span(gap->toMs - gap->fromMs))
                  << QStringLiteral("from %1").arg(historyShortUtc(gap->fromMs, toMs_));
        } else if (near < 0) {
            lines << QStringLiteral("No measurement near %1").arg(historyShortUtc(middle, toMs_));
        } else {
            const HistoryColumn& c = data_.columns.at(near);
            lines << QStringLiteral("%1 samples from %2")
                         .arg(c.count)
                         .arg(historyShortUtc(columnStartMs(near), toMs_))
                  << QStringLiteral("offset %1 to %2")
                         .arg(historyMicros(double(c.minOffsetUs), true),
                              historyMicros(double(c.maxOffsetUs), true))
                  << QStringLiteral("mean %1, delay up to %2")
                         .arg(historyMicros(double(c.meanOffsetUs), true),
                              historyMicros(double(c.maxDelayUs), false))
                  << QStringLiteral("at worst: %1").arg(stateWords(c.worst));
        }
    }
    // The events of this column and its neighbours: a marker is wider than a column.
    int shown = 0, more = 0;
    for (const HistoryEvent& e : data_.events) {
        if (e.utcMs < start - columnMs || e.utcMs >= start + 2 * columnMs) continue;
        if (shown++ < kMaxEventLines)
            lines << eventLine(e, middle);
        else
            ++more;
    }
    if (more) lines << QStringLiteral("and %1 more events").arg(more);
    return lines.join(QLatin1Char('\n'));
}

void HistoryStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
    refresh(); // one column per pixel: another width is another query
}

void HistoryStrip::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (stale_) refresh();
}

void HistoryStrip::mouseMoveEvent(QMouseEvent* event)
{
    const int c = columnAt(event->position().toPoint().x());
    if (c >= 0) setCursorColumn(c);
}

void HistoryStrip::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    mouseMoveEvent(event);
}

void HistoryStrip::keyPressEvent(QKeyEvent* event)
{
    const int n = int(data_.columns.size());
    int to = -2;
    switch (event->key()) {
    case Qt::Key_Left:
        to = neighbourWithData(cursor_ < 0 ? n : cursor_, -1);
        break;
    case Qt::Key_Right:
        to = cursor_ < 0 ? -1 : neighbourWithData(cursor_, 1);
        break;
    case Qt::Key_Home:
        to = neighbourWithData(-1, 1);
        break;
    case Qt::Key_End:
        to = neighbourWithData(n, -1);
        break;
    case Qt::Key_Escape:
        setCursorColumn(-1);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (to >= 0) setCursorColumn(to);
}

void HistoryStrip::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void HistoryStrip::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

qint64 HistoryStrip::recordFromMs() const
{
    // The first band begins at the first start in the range, to the millisecond; a column only
    // says roughly where its samples are.
    qint64 from = data_.bands.isEmpty() ? toMs_ : data_.bands.first().fromMs;
    const int first = neighbourWithData(-1, 1);
    // Samples before any start or state change: a record kept before, or by another copy.
    if (first >= 0 && columnStartMs(first + 1) < from) from = columnStartMs(first);
    return from;
}
