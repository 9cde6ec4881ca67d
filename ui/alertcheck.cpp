#include "ui/alertcheck.h"

#include "inst/insttokens.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double kBox = 15;
constexpr int kTextAt = 24;

} // namespace

AlertCheck::AlertCheck(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

QSize AlertCheck::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 26, qMax(fm.height(), 16) + 4);
}

// The face has no separate indicator: the words are as good a target as the box.
bool AlertCheck::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void AlertCheck::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool ticked = isChecked();
    const QRectF box(0.5, (height() - kBox) / 2 + 0.5, kBox, kBox);

    const Inst::Alarm& a = Inst::alarm();
    QColor outline = ticked ? a.red : a.edge;
    if (!ticked && !hasFocus()) outline.setAlpha(0xa5);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(ticked ? a.red : a.field);
    p.drawRoundedRect(box, 3.5, 3.5);

    if (ticked) {
        const double x = box.x();
        const double y = box.y();
        QPainterPath tick;
        tick.moveTo(x + 3.6, y + 7.5 + 0.4);
        tick.lineTo(x + 6.6, y + kBox - 4.0);
        tick.lineTo(x + kBox - 3.2, y + 4.2);
        p.setPen(QPen(a.ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }

    p.setPen(a.text);
    p.setFont(font());
    p.drawText(QRect(kTextAt, 0, width() - kTextAt, height()), Qt::AlignLeft | Qt::AlignVCenter,
               text());
}
