#include "inst/inststatus.h"

#include <QHBoxLayout>

InstStatus::InstStatus(QWidget* parent)
    : QWidget(parent), m_main(new InstChip(QString(), InstChip::Neutral, this)),
      m_detail(new InstChip(QString(), InstChip::Neutral, this))
{
    m_detail->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_main);
    row->addWidget(m_detail);
    row->addStretch(1);
}

void InstStatus::setText(const QString& text)
{
    const qsizetype cut = text.indexOf(QLatin1String(" - "));
    const QString main = cut < 0 ? text : text.left(cut);
    const QString detail = cut < 0 ? QString() : text.mid(cut + 3);
    m_main->setText(main.toUpper());
    m_detail->setText(detail.toUpper());
    m_detail->setVisible(!detail.isEmpty());
    setAccessibleName(text);
}

void InstStatus::setTone(InstChip::Tone tone)
{
    m_main->setTone(tone);
}

void InstStatus::setDetailTone(InstChip::Tone tone)
{
    m_detail->setTone(tone);
}
