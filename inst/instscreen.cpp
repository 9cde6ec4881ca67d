#include "inst/instscreen.h"

#include "inst/insttokens.h"

#include <QPainter>

InstScreen::InstScreen(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

void InstScreen::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.grid, 1));
    p.setBrush(t.canvas);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}
