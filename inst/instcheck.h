#pragma once
// A check box painted in the token colours: canvas box when off, accent box with a tick when on.

#include <QCheckBox>

class QPainter;

class InstCheck : public QCheckBox
{
    Q_OBJECT
public:
    explicit InstCheck(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Paints the box of a check at a place; shared with the check rows.
    static void paintBox(QPainter& p, const QRectF& box, Qt::CheckState state, bool hover,
                         bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};
