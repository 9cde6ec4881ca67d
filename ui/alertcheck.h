#pragma once
// The clock alert's check box, painted in the alarm colours; private to the alert window.

#include <QCheckBox>

class AlertCheck : public QCheckBox
{
    Q_OBJECT

public:
    explicit AlertCheck(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};
