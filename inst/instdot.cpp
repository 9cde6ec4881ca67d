#include "inst/instdot.h"

#include "inst/instaccessible.h"
#include "inst/instspoken.h"
#include "inst/insttokens.h"

#include <QPainter>

InstDot::InstDot(int size, QWidget* parent) : QWidget(parent)
{
    Inst::installAccessibility();
    setFixedSize(size, size);
}

void InstDot::setColor(const QColor& color)
{
    if (color == m_color) return;
    const QString before = Inst::colourWord(this->color());
    m_color = color;
    update();
    if (Inst::colourWord(this->color()) != before) Inst::announce(this, QAccessible::NameChanged);
}

QColor InstDot::color() const
{
    return m_color.isValid() ? m_color : Inst::tokens()->led;
}

void InstDot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color());
    p.drawEllipse(QRectF(rect()));
}
