#include "inst/instreadout.h"

#include "inst/instaccessible.h"
#include "inst/instfonts.h"
#include "inst/instled.h"
#include "inst/instspoken.h"
#include "inst/inststyle.h"
#include "inst/insttokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

InstReadout::InstReadout(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(Inst::caption(caption.toUpper(), this)),
      m_led(new InstLed(34, this)), m_words(new QLabel(this)), m_unit(new QLabel(this)),
      m_title(caption)
{
    Inst::installAccessibility();
    m_words->setFont(Inst::sans(15, QFont::Medium));
    m_words->setProperty("tone", QStringLiteral("sec"));
    m_words->hide();
    m_unit->setFont(Inst::sans(11.5, QFont::Normal));
    m_unit->setProperty("tone", QStringLiteral("muted"));
    m_unit->hide();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 9, 12, 9);
    column->setSpacing(6);
    column->addWidget(m_caption);
    auto* row = new QHBoxLayout;
    row->setSpacing(5);
    row->addWidget(m_led, 0, Qt::AlignBottom);
    row->addWidget(m_words, 0, Qt::AlignBottom);
    row->addWidget(m_unit, 0, Qt::AlignBottom);
    row->addStretch(1);
    column->addLayout(row);
    column->addStretch(1);
}

void InstReadout::setValue(const QString& value, const QString& unit)
{
    if (!value.isEmpty() && InstLed::canShow(value)) {
        m_led->setDim(false);
        m_led->setText(value);
        m_led->show();
        m_words->hide();
        m_unit->setText(unit);
        m_unit->setVisible(!unit.isEmpty());
    } else {
        m_led->hide();
        m_words->setText(value);
        m_words->show();
        m_unit->clear();
        m_unit->hide();
    }
    spokenChanged();
}

void InstReadout::setWordsTone(const char* tone)
{
    Inst::setTone(m_words, tone);
}

void InstReadout::setIdle(const QString& text)
{
    m_words->hide();
    m_unit->hide();
    m_led->setText(text);
    m_led->setDim(true);
    m_led->show();
    spokenChanged();
}

QString InstReadout::spokenValue() const
{
    if (!m_words->isHidden()) return m_words->text();
    if (m_led->isDim()) return QStringLiteral("not measured yet");
    return Inst::spoken(m_led->text(), m_unit->text());
}

void InstReadout::spokenChanged()
{
    // Told only when the words change: a figure set again each second says nothing new.
    if (!Inst::heard(this)) return;
    const QString now = spokenValue();
    if (now == m_spoken) return;
    Inst::announceText(this, m_spoken, now);
    m_spoken = now;
}

void InstReadout::setFirst(bool first)
{
    if (first == m_first) return;
    m_first = first;
    update();
}

void InstReadout::paintEvent(QPaintEvent*)
{
    if (m_first) return;
    QPainter p(this);
    p.fillRect(QRectF(0, 8, 1, height() - 16), Inst::tokens()->hairline);
}
