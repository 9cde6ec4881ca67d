#include "inst/instbezel.h"

#include "inst/instaccessible.h"
#include "inst/inststyle.h"
#include "inst/insttokens.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

InstBezel::InstBezel(const QString& caption, QWidget* parent)
    : QWidget(parent), m_column(new QVBoxLayout(this)),
      m_caption(Inst::caption(caption.toUpper(), this))
{
    Inst::installAccessibility();
    m_column->setContentsMargins(10, 8, 10, 9);
    m_column->setSpacing(12);
    m_column->addWidget(m_caption);
}

void InstBezel::setRowOnly()
{
    if (!m_caption) return;
    m_column->removeWidget(m_caption);
    delete m_caption;
    m_caption = nullptr;
}

void InstBezel::setActive(bool active)
{
    if (active == m_active) return;
    m_active = active;
    update();
}

void InstBezel::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(m_active ? t.accent : t.bezel, 1));
    p.setBrush(t.section);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}
