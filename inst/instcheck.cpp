#include "inst/instcheck.h"

#include "inst/insttokens.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const double kBox = 14;
const int kTextAt = 22;

} // namespace

InstCheck::InstCheck(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

QSize InstCheck::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 26, qMax(20, fm.height()));
}

// Our face has no separate indicator: the whole widget is the hit area.
bool InstCheck::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void InstCheck::paintBox(QPainter& p, const QRectF& box, Qt::CheckState state, bool hover,
                         bool enabled)
{
    const Inst::Tokens& t = *Inst::tokens();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (!enabled) p.setOpacity(0.45);
    if (state == Qt::Unchecked) {
        p.setPen(QPen(hover ? t.sec : t.bezel, 1));
        p.setBrush(t.canvas);
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(t.accent);
        p.drawRoundedRect(box, 3, 3);
        p.setPen(QPen(t.panel, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double x = box.left();
        const double y = box.top();
        const double w = box.width();
        if (state == Qt::PartiallyChecked) {
            p.drawLine(QPointF(x + 0.28 * w, y + 0.5 * w), QPointF(x + 0.72 * w, y + 0.5 * w));
        } else {
            QPainterPath tick;
            tick.moveTo(x + 0.25 * w, y + 0.52 * w);
            tick.lineTo(x + 0.43 * w, y + 0.7 * w);
            tick.lineTo(x + 0.76 * w, y + 0.32 * w);
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        }
    }
    p.restore();
}

void InstCheck::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    const QRectF box(1, (height() - kBox) / 2, kBox, kBox);
    paintBox(p, box, checkState(), underMouse(), isEnabled());
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(t.accent, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box.adjusted(-1.5, -1.5, 1.5, 1.5), 4.5, 4.5);
    }
    p.setPen(isEnabled() ? t.pri : t.mut);
    p.drawText(QRect(kTextAt, 0, width() - kTextAt, height()), Qt::AlignLeft | Qt::AlignVCenter,
               text());
}
