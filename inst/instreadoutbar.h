#pragma once
// A row of readouts on the well colour, divided by hairlines.

#include <QWidget>

class InstReadout;
class QHBoxLayout;

class InstReadoutBar : public QWidget
{
    Q_OBJECT
public:
    explicit InstReadoutBar(QWidget* parent = nullptr);

    InstReadout* addReadout(const QString& caption, int stretch = 1);
    int count() const { return m_count; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_row;
    int m_count = 0;
};
