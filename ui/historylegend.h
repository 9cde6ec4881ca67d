#pragma once
// What the history chart's colours, bars and markers mean, painted with the chart's own pens.

#include <QWidget>

class HistoryLegend : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryLegend(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
