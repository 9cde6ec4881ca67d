#include "inst/insttoggle.h"

#include "inst/insttokens.h"

#include <QPainter>

namespace {

const double kTrackWidth = 30;
const double kTrackHeight = 16;
const double kKnob = 12;
const int kTextAt = 39;

} // namespace

InstToggle::InstToggle(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize InstToggle::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 45, qMax(20, fm.height()));
}

void InstToggle::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    const bool on = isChecked();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(1, (height() - kTrackHeight) / 2, kTrackWidth, kTrackHeight);
    if (!isEnabled()) p.setOpacity(0.45);
    if (hasFocus()) {
        p.setPen(QPen(t.accent, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), 9.5, 9.5);
    }
    const bool hover = underMouse() && isEnabled();
    p.setPen(hover && !on ? QPen(t.sec, 1) : Qt::NoPen);
    p.setBrush(on ? t.accent : t.bezel);
    p.drawRoundedRect(track, kTrackHeight / 2, kTrackHeight / 2);

    const double inset = (kTrackHeight - kKnob) / 2;
    const double x = on ? track.right() - inset - kKnob : track.left() + inset;
    p.setPen(on ? Qt::NoPen : QPen(t.hairline, 1));
    p.setBrush(on ? t.panel : (t.dark ? t.sec : t.section));
    p.drawEllipse(QRectF(x, track.top() + inset, kKnob, kKnob));

    p.setOpacity(1);
    p.setPen(isEnabled() ? t.pri : t.mut);
    p.drawText(QRect(kTextAt, 0, width() - kTextAt, height()), Qt::AlignLeft | Qt::AlignVCenter,
               text());
}
