#include "inst/instreadoutbar.h"

#include "inst/instreadout.h"
#include "inst/insttokens.h"

#include <QHBoxLayout>
#include <QPainter>

InstReadoutBar::InstReadoutBar(QWidget* parent) : QWidget(parent), m_row(new QHBoxLayout(this))
{
    m_row->setContentsMargins(1, 1, 1, 1);
    m_row->setSpacing(0);
}

InstReadout* InstReadoutBar::addReadout(const QString& caption, int stretch)
{
    auto* readout = new InstReadout(caption, this);
    readout->setFirst(m_count == 0);
    m_row->addWidget(readout, stretch);
    ++m_count;
    return readout;
}

void InstReadoutBar::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(t.hairline, 1));
    p.setBrush(t.well);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}
