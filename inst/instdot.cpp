#include "inst/instdot.h"

#include "inst/insttokens.h"

#include <QPainter>

InstDot::InstDot(int size, QWidget* parent) : QWidget(parent)
{
    setFixedSize(size, size);
}

void InstDot::setColor(const QColor& color)
{
    if (color == m_color) return;
    m_color = color;
    update();
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
