#include "inst/instmoduleheader.h"

#include "inst/instappearanceselector.h"
#include "inst/instdot.h"
#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

InstModuleHeader::InstModuleHeader(const QString& title, QWidget* parent)
    : QWidget(parent), m_row(new QHBoxLayout(this)), m_dot(new InstDot(8, this)),
      m_title(new QLabel(title, this)), m_info(new QLabel(this)),
      m_selector(new InstAppearanceSelector(this))
{
    m_title->setFont(Inst::mono(12.5, QFont::Medium, 2.0));
    m_title->setProperty("tone", QStringLiteral("sec"));
    m_info->setFont(Inst::mono(11.5, QFont::Normal));
    m_info->setProperty("tone", QStringLiteral("muted"));
    m_selector->setAppearance(Inst::appearance());

    m_row->setContentsMargins(14, 6, 12, 7);
    m_row->setSpacing(0);
    m_row->addWidget(m_dot, 0, Qt::AlignVCenter);
    m_row->addSpacing(9);
    m_row->addWidget(m_title, 0, Qt::AlignVCenter);
    m_row->addStretch(1);
    m_row->addWidget(m_info, 0, Qt::AlignVCenter);
    m_row->addSpacing(12);
    m_row->addWidget(m_selector, 0, Qt::AlignVCenter);
}

void InstModuleHeader::setInfo(const QString& info)
{
    m_info->setText(info);
}

void InstModuleHeader::addNotice(QWidget* notice)
{
    if (!notice) return;
    const int at = m_row->indexOf(m_info);
    m_row->insertWidget(at, notice, 0, Qt::AlignVCenter);
    m_row->insertSpacing(at + 1, 6);
}

void InstModuleHeader::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.fillRect(rect(), t.deck);
    p.fillRect(QRect(0, height() - 1, width(), 1), t.bezel);
}
