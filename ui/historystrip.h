#pragma once
// The clock's history as a strip chart: the offset over time with its error bars, the clock's
// states in a lane beneath, the gaps, the events as markers, and a cursor (mouse or arrow keys)
// that reads out the nearest sample. It reads the history only on refresh() (the owner calls it
// when something was added), on a range or size change, and never while hidden; every paint
// draws what the last read left.

#include "clock/history.h"
#include "ui/historyscale.h"

#include <QWidget>

class QPainter;
class TimeSource;

class HistoryStrip : public QWidget
{
    Q_OBJECT

public:
    HistoryStrip(ClockHistory* history, const TimeSource& time, QWidget* parent = nullptr);

    HistoryRange range() const { return range_; }
    void setRange(HistoryRange range);
    // Reads the range ending now again, or, while hidden, only notes that it must when shown.
    void refresh();

    // What the last read covered: [fromMs, toMs), toMs just after the moment of the read, in
    // as many columns as the plot is wide.
    qint64 fromMs() const { return fromMs_; }
    qint64 toMs() const { return toMs_; }
    const HistoryChart& data() const { return data_; }
    QRect plotRect() const { return plot_; }
    // The pixel row of an offset on the current scale (off scale: beyond the plot), and the
    // column a moment falls in.
    double yOf(double offsetUs) const;
    int columnOf(qint64 utcMs) const;

    // The cursor's column, -1 for none: the readout then tells the latest measurement.
    int cursorColumn() const { return cursor_; }
    void setCursorColumn(int column);
    QString readout() const { return readout_; }

    // An event's marker, as the chart and its legend draw it.
    static void paintMarker(QPainter& p, HistoryEventKind kind, ClockState state, QPointF centre);

    QSize sizeHint() const override { return QSize(640, 360); }
    QSize minimumSizeHint() const override { return QSize(360, 220); }

signals:
    void readoutChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The chart's furniture, shared by its reading and its drawing.
    static constexpr int kMarkerLane = 16; // above the plot
    static constexpr int kStateLane = 8;   // below it
    static constexpr int kLaneGap = 3;
    static QFont axisFont();

    void layOut();
    void rescale();
    void updateReadout();
    QString readoutAt(int column) const;
    int columnAt(int x) const;
    qint64 columnStartMs(int column) const;
    int neighbourWithData(int column, int direction) const;
    // Where the record of the range begins: its first state band or sample.
    qint64 recordFromMs() const;
    void paintUnrecorded(QPainter& p, const QRect& plot) const;
    void paintGrid(QPainter& p, const QRect& plot) const;
    void paintStates(QPainter& p, const QRect& plot, const QRect& lane) const;
    void paintTrace(QPainter& p, const QRect& plot) const;
    void paintEvents(QPainter& p, const QRect& plot) const;
    void paintCursor(QPainter& p, const QRect& plot, const QRect& lane) const;
    double xOf(qint64 utcMs, const QRect& plot) const;

    ClockHistory* history_;
    const TimeSource& time_;
    HistoryRange range_ = HistoryRange::Day;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 0;
    QRect plot_;
    HistoryChart data_;
    HistoryOffsetScale scale_;
    QList<HistoryTimeTick> ticks_;
    int cursor_ = -1;
    QString readout_;
    bool stale_ = true;
};
