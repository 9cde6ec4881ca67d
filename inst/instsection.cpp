#include "inst/instsection.h"

#include "inst/instaccessible.h"
#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

InstSection::InstSection(const QString& title, QWidget* parent)
    : QWidget(parent), m_header(new QWidget(this)), m_headerRow(new QHBoxLayout(m_header)),
      m_title(new QLabel(title, m_header)), m_content(new QVBoxLayout)
{
    Inst::installAccessibility();
    m_header->setMinimumHeight(34);
    m_headerRow->setContentsMargins(11, 6, 8, 6);
    m_headerRow->setSpacing(8);
    m_title->setFont(Inst::mono(11.5, QFont::DemiBold, 1.4));
    m_title->setProperty("tone", QStringLiteral("sec"));
    m_headerRow->addWidget(m_title);
    m_headerRow->addStretch(1);

    m_content->setContentsMargins(11, 10, 11, 12);
    m_content->setSpacing(8);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addLayout(m_content, 1);
}

void InstSection::addHeaderWidget(QWidget* widget)
{
    if (widget) m_headerRow->addWidget(widget, 0, Qt::AlignVCenter);
}

void InstSection::setActive(bool active)
{
    if (active == m_active) return;
    m_active = active;
    update();
}

void InstSection::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 6, 6);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(shape, t.section);
    // The strip follows the frame's rounded top corners.
    p.save();
    p.setClipPath(shape);
    const double strip = m_header->geometry().bottom() + 1;
    p.fillRect(QRectF(0, 0, width(), strip), t.deck);
    p.fillRect(QRectF(0, strip - 1, width(), 1), t.bezel);
    p.restore();
    p.setPen(QPen(m_active ? t.accent : t.bezel, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}
