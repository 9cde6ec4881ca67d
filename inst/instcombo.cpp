#include "inst/instcombo.h"

#include "inst/insttokens.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const int kPadding = 10;
const int kArrowArea = 24;

} // namespace

InstCombo::InstCombo(QWidget* parent) : QComboBox(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

QSize InstCombo::sizeHint() const
{
    const QFontMetrics fm(font());
    int widest = fm.horizontalAdvance(placeholderText());
    for (int i = 0; i < count(); ++i)
        widest = qMax(widest, fm.horizontalAdvance(itemText(i)));
    return QSize(kPadding + widest + kArrowArea, qMax(26, fm.height() + 10));
}

QSize InstCombo::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(kPadding + 4 * fm.averageCharWidth() + kArrowArea, qMax(26, fm.height() + 10));
}

void InstCombo::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool hover = underMouse() && isEnabled();
    p.setPen(QPen(hasFocus() ? t.accent : hover ? t.sec : t.hairline, 1));
    p.setBrush(t.section);
    p.drawRoundedRect(frame, 4, 4);

    const bool empty = currentIndex() < 0;
    const QString shown = empty ? placeholderText() : currentText();
    const QRect textBox(kPadding, 0, width() - kPadding - kArrowArea, height());
    p.setPen(!isEnabled() || empty ? t.mut : t.pri);
    // elidedText() cuts a text that fits exactly; only a text that does not fit is cut.
    const QFontMetrics fm = fontMetrics();
    const bool fits = fm.horizontalAdvance(shown) <= textBox.width();
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
               fits ? shown : fm.elidedText(shown, Qt::ElideRight, textBox.width()));

    const QPointF c(width() - kArrowArea / 2.0, height() / 2.0);
    QPainterPath chevron;
    chevron.moveTo(c.x() - 3.5, c.y() - 1.5);
    chevron.lineTo(c.x(), c.y() + 2);
    chevron.lineTo(c.x() + 3.5, c.y() - 1.5);
    p.setPen(QPen(isEnabled() ? t.sec : t.mut, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
}
