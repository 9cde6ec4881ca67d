// The strip chart's drawing: what the last read left, never a query.
#include "ui/historystrip.h"

#include "ui/lamp.h"

#include "clock/clockinputs.h"
#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Error bars get caps only where no other sample stands this close: dense bars read as a band.
constexpr int kCapRoom = 3;

QColor alpha(QColor c, double a)
{
    c.setAlphaF(float(c.alphaF() * a));
    return c;
}

QColor markerColor(HistoryEventKind kind, ClockState state)
{
    const Inst::Tokens& t = *Inst::tokens();
    switch (kind) {
    case HistoryEventKind::Start:
        return t.led;
    case HistoryEventKind::Quit:
        return t.sec;
    case HistoryEventKind::State:
        return lampColor(state);
    case HistoryEventKind::Server:
    case HistoryEventKind::SyncNow:
        return t.accent;
    case HistoryEventKind::ClockSet:
        break;
    }
    return t.amber;
}

// The events a reader looks for along the whole height; state changes show in the lane.
bool drawsLine(HistoryEventKind kind)
{
    return kind == HistoryEventKind::ClockSet || kind == HistoryEventKind::Server ||
           kind == HistoryEventKind::SyncNow;
}

} // namespace

void HistoryStrip::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(hasFocus() ? t.accent : t.grid, 1));
    p.setBrush(t.canvas);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (data_.columns.isEmpty()) return;

    const QRect plot = plotRect();
    const QRect lane(plot.left(), plot.bottom() + 1 + kLaneGap, plot.width(), kStateLane);
    p.setFont(axisFont());
    paintStates(p, plot, lane);
    paintGrid(p, plot);
    paintUnrecorded(p, plot);
    p.setFont(axisFont());
    paintTrace(p, plot);
    paintEvents(p, plot);
    paintCursor(p, plot, lane);
}

void HistoryStrip::paintGrid(QPainter& p, const QRect& plot) const
{
    const Inst::Tokens& t = *Inst::tokens();
    const QFontMetrics fm(axisFont());
    p.setRenderHint(QPainter::Antialiasing, false);
    for (double v = scale_.lowUs; v <= scale_.highUs + scale_.stepUs / 2; v += scale_.stepUs) {
        const int y = int(std::lround(yOf(v)));
        const bool zero = std::abs(v) < scale_.stepUs / 2;
        p.setPen(zero ? alpha(t.sec, 0.6) : t.grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(zero ? t.sec : t.mut);
        p.drawText(QRect(0, y - fm.height() / 2, plot.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, scale_.tickLabel(v));
    }
    const int labelTop = plot.bottom() + 1 + kLaneGap + kStateLane + 4;
    for (const HistoryTimeTick& tick : ticks_) {
        const int x = int(std::lround(xOf(tick.utcMs, plot)));
        p.setPen(tick.major ? alpha(t.sec, 0.45) : t.grid);
        p.drawLine(x, plot.top(), x, plot.bottom());
        const int w = fm.horizontalAdvance(tick.label);
        // A label that would stick out of the chart is left off rather than cut.
        if (x - w / 2 < plot.left() - 6 || x + w / 2 > width() - 4) continue;
        p.setPen(tick.major ? t.pri : t.sec);
        p.drawText(QRect(x - w / 2 - 1, labelTop, w + 2, fm.height()), Qt::AlignCenter, tick.label);
    }
    p.setPen(t.mut);
    p.drawText(QRect(0, labelTop, plot.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("UTC"));
}

void HistoryStrip::paintStates(QPainter& p, const QRect& plot, const QRect& lane) const
{
    const Inst::Tokens& t = *Inst::tokens();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const HistoryBand& b : data_.bands) {
        if (!b.watched) continue; // the application did not run: nothing was judged
        const double x0 = xOf(b.fromMs, plot), x1 = xOf(b.toMs, plot);
        const QColor c = lampColor(b.state);
        p.fillRect(QRectF(x0, lane.top(), qMax(1.0, x1 - x0), lane.height()), c);
        if (b.state != ClockState::Sync)
            p.fillRect(QRectF(x0, plot.top(), qMax(1.0, x1 - x0), plot.height()),
                       alpha(c, t.dark ? 0.08 : 0.11));
    }
    // No answer: hatched across the plot and the lane alike, from where the record begins;
    // before it nothing is known, not even silence.
    const QBrush hatch(alpha(t.sec, t.dark ? 0.35 : 0.45), Qt::BDiagPattern);
    const qint64 known = recordFromMs();
    for (const HistoryGap& g : data_.gaps) {
        const double x0 = xOf(qMax(g.fromMs, known), plot), x1 = xOf(g.toMs, plot);
        if (x1 - x0 < 1) continue;
        p.fillRect(QRectF(x0, plot.top(), x1 - x0, lane.bottom() - plot.top() + 1), hatch);
    }
}

void HistoryStrip::paintUnrecorded(QPainter& p, const QRect& plot) const
{
    const qint64 from = recordFromMs();
    // A sliver of nothing at the start is not worth a word.
    if (from - fromMs_ < (toMs_ - fromMs_) / 8) return;
    const QRectF empty(plot.left(), plot.top(), xOf(from, plot) - plot.left(), plot.height());
    const QString text =
        from >= toMs_
            ? QStringLiteral("Nothing recorded in this range")
            : QStringLiteral("Nothing recorded before %1").arg(historyShortUtc(from, toMs_));
    p.setFont(Inst::sans(12));
    const QRectF box = p.boundingRect(empty, Qt::AlignCenter | Qt::TextWordWrap, text);
    p.fillRect(box.adjusted(-6, -2, 6, 2), Inst::tokens()->canvas); // clear of the grid
    p.setPen(Inst::tokens()->mut);
    p.drawText(empty, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void HistoryStrip::paintTrace(QPainter& p, const QRect& plot) const
{
    const Inst::Tokens& t = *Inst::tokens();
    const QColor ink = t.accent;
    const QList<HistoryColumn>& cols = data_.columns;
    const int n = int(cols.size());
    const qint64 columnMs = qMax<qint64>(1, (toMs_ - fromMs_) / n);
    p.save();
    p.setClipRect(plot.adjusted(0, -1, 0, 1));
    p.setRenderHint(QPainter::Antialiasing, false);
    // Gathered, then drawn a kind at a time as lines a device pixel wide: a tall rectangle a
    // column, filled on its own, would cost the raster engine a hand-over to its fill threads
    // each, sixty ms a chart.
    QList<QLineF> bars, envelopes, bands;
    QList<QRectF> marks;
    // The scale the pixels end up at: a screen's, or an image's that the chart is rendered into.
    const double scale = qMax(p.device()->devicePixelRatioF(), std::abs(p.deviceTransform().m22()));
    const int fine = qMax(1, int(std::ceil(scale - 0.01)));
    const auto y = [&](double us) {
        return qBound(plot.top() - 2.0, yOf(us), plot.bottom() + 2.0);
    };
    // [x, x + 1) by [top, bottom), at least a pixel tall, as that many device pixels' lines.
    const auto column = [&](QList<QLineF>& into, double x, double top, double bottom) {
        bottom = qMax(top + 1, bottom);
        for (int k = 0; k < fine; ++k)
            into << QLineF(x + (k + 0.5) / fine, top + 0.5 / fine, x + (k + 0.5) / fine,
                           bottom - 0.5 / fine);
    };
    const auto cap = [&](double x, double top) {
        for (int k = 0; k < fine; ++k)
            bars << QLineF(x - 2 + 0.5 / fine, top + (k + 0.5) / fine, x + 3 - 0.5 / fine,
                           top + (k + 0.5) / fine);
    };
    QPainterPath means;
    int previous = -1;
    for (int c = 0; c < n; ++c) {
        const HistoryColumn& col = cols.at(c);
        if (col.count == 0) continue;
        const double x = plot.left() + c;
        const double half = col.maxDelayUs / 2.0;
        const double top = y(col.maxOffsetUs + half), bottom = y(col.minOffsetUs - half);
        if (col.count > 1) {
            column(envelopes, x, top, bottom);
            column(bands, x, y(col.maxOffsetUs), y(col.minOffsetUs));
            // The mean of many as a mark of its own: a line through them would draw the
            // sawtooth's teeth as noise.
            marks << QRectF(x, y(col.meanOffsetUs) - 1, 1, 2);
            previous = -1;
            continue;
        }
        // The true offset lies within half the round trip either side, whatever the path.
        column(bars, x, top, bottom);
        bool alone = true;
        for (int d = 1; d <= kCapRoom && alone; ++d)
            alone = (c - d < 0 || cols.at(c - d).count == 0) &&
                    (c + d >= n || cols.at(c + d).count == 0);
        if (alone) { // caps and the value itself; dense samples show it as their line
            cap(x, top);
            cap(x, qMax(top + 1, bottom) - 1);
            marks << QRectF(x - 1, y(col.meanOffsetUs) - 1, 3, 3);
        }
        const QPointF at(x + 0.5, yOf(col.meanOffsetUs));
        // A stretch without answers longer than one counts breaks the line.
        if (previous < 0 || (c - previous - 1) * columnMs >= kAnswerCountsMs)
            means.moveTo(at);
        else
            means.lineTo(at);
        previous = c;
    }
    const std::pair<const QList<QLineF>*, double> kinds[] = {
        {&envelopes, 0.22}, {&bands, 0.7}, {&bars, 0.75}};
    for (const auto& [lines, a] : kinds) {
        p.setPen(QPen(alpha(ink, a), 0)); // cosmetic: a device pixel whatever the scale
        p.drawLines(*lines);
    }
    for (const QRectF& r : std::as_const(marks))
        p.fillRect(r, ink);
    p.setRenderHint(QPainter::Antialiasing);
    p.strokePath(means, QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.restore();

    // Off scale: a mark at the edge, and the run's extreme once, so that an hour-wrong clock
    // is never silently cut off.
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(axisFont());
    for (const bool above : {true, false}) {
        int runStart = -1, labelEnd = -1;
        double extreme = 0;
        for (int c = 0; c <= n; ++c) {
            const bool out = c < n && cols.at(c).count > 0 &&
                             (above ? cols.at(c).maxOffsetUs > scale_.highUs
                                    : cols.at(c).minOffsetUs < scale_.lowUs);
            if (out) {
                const double v = above ? cols.at(c).maxOffsetUs : cols.at(c).minOffsetUs;
                if (runStart < 0) runStart = c, extreme = v;
                extreme = above ? qMax(extreme, v) : qMin(extreme, v);
                const double x = plot.left() + c + 0.5, y = above ? plot.top() : plot.bottom();
                QPainterPath tip;
                tip.moveTo(x, y + (above ? 0 : 1));
                tip.lineTo(x - 3, y + (above ? 5 : -4));
                tip.lineTo(x + 3, y + (above ? 5 : -4));
                tip.closeSubpath();
                p.fillPath(tip, t.amber);
                continue;
            }
            if (runStart < 0) continue;
            const QString text = QStringLiteral("%1 %2").arg(
                QString(above ? QChar(0x25B2) : QChar(0x25BC)), historyMicros(extreme, true));
            const int w = fm.horizontalAdvance(text) + 8;
            const int x = qMin(plot.left() + runStart + 4, plot.right() - w);
            runStart = -1;
            if (x <= labelEnd) continue; // runs close together: the first one's label stands
            labelEnd = x + w + 4;
            const QRect box(x, above ? plot.top() + 7 : plot.bottom() - 7 - fm.height(), w,
                            fm.height());
            p.fillRect(box, alpha(t.canvas, 0.85));
            p.setPen(t.amber);
            p.drawText(box, Qt::AlignCenter, text);
        }
    }
}

void HistoryStrip::paintEvents(QPainter& p, const QRect& plot) const
{
    p.setRenderHint(QPainter::Antialiasing);
    const double y = plot.top() - kMarkerLane / 2.0 - 1;
    for (const HistoryEvent& e : data_.events) {
        const double x = xOf(e.utcMs, plot);
        if (drawsLine(e.kind)) {
            p.setPen(QPen(alpha(markerColor(e.kind, e.state), 0.55), 1, Qt::DashLine));
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom() + kLaneGap + kStateLane));
        }
        paintMarker(p, e.kind, e.state, QPointF(x, y));
    }
}

void HistoryStrip::paintCursor(QPainter& p, const QRect& plot, const QRect& lane) const
{
    if (cursor_ < 0) return;
    const Inst::Tokens& t = *Inst::tokens();
    const double x = plot.left() + cursor_ + 0.5;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(alpha(t.pri, 0.7), 1, Qt::DashLine));
    p.drawLine(QPointF(x, plot.top() - kMarkerLane), QPointF(x, lane.bottom()));
    const HistoryColumn& c = data_.columns.at(cursor_);
    if (c.count == 0) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.pri, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(x, yOf(c.meanOffsetUs)), 4, 4);
}

void HistoryStrip::paintMarker(QPainter& p, HistoryEventKind kind, ClockState state, QPointF c)
{
    const QColor ink = markerColor(kind, state);
    const double r = 4.5;
    QPainterPath path;
    switch (kind) {
    case HistoryEventKind::Start: // a play sign
        path.moveTo(c.x() - r * 0.7, c.y() - r);
        path.lineTo(c.x() + r, c.y());
        path.lineTo(c.x() - r * 0.7, c.y() + r);
        break;
    case HistoryEventKind::Quit: // a stop sign
        path.addRect(QRectF(c.x() - r * 0.8, c.y() - r * 0.8, 1.6 * r, 1.6 * r));
        break;
    case HistoryEventKind::State:
        path.moveTo(c.x(), c.y() - r);
        path.lineTo(c.x() + r, c.y());
        path.lineTo(c.x(), c.y() + r);
        path.lineTo(c.x() - r, c.y());
        break;
    case HistoryEventKind::Server:
        path.addEllipse(c, r * 0.85, r * 0.85);
        break;
    case HistoryEventKind::SyncNow: { // a ring: asked, not a change in itself
        p.setPen(QPen(ink, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r * 0.75, r * 0.75);
        return;
    }
    case HistoryEventKind::ClockSet: // pointing down at the moment the clock was set
        path.moveTo(c.x() - r, c.y() - r * 0.8);
        path.lineTo(c.x() + r, c.y() - r * 0.8);
        path.lineTo(c.x(), c.y() + r);
        break;
    }
    path.closeSubpath();
    p.fillPath(path, ink);
}
