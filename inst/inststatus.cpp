#include "inst/inststatus.h"

#include "inst/instaccessible.h"

#include <QHBoxLayout>

InstStatus::InstStatus(QWidget* parent)
    : QWidget(parent), m_main(new InstChip(QString(), InstChip::Neutral, this)),
      m_detail(new InstChip(QString(), InstChip::Neutral, this))
{
    m_detail->hide();
    // Read as one line through the status itself, whose detail may tick every second.
    Inst::setQuiet(m_main);
    Inst::setQuiet(m_detail);
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
    // A new state is news; "synced 5 s ago" becoming "6 s ago" is not.
    const bool newState = main.toUpper() != m_main->text();
    m_text = text;
    m_main->setText(main.toUpper());
    m_detail->setText(detail.toUpper());
    m_detail->setVisible(!detail.isEmpty());
    if (newState) Inst::announce(this, QAccessible::NameChanged);
}

void InstStatus::setTone(InstChip::Tone tone)
{
    m_main->setTone(tone);
}

void InstStatus::setDetailTone(InstChip::Tone tone)
{
    m_detail->setTone(tone);
}
