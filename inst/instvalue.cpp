#include "inst/instvalue.h"

#include "inst/instaccessible.h"
#include "inst/instfonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

InstValue::InstValue(int ledHeight, QWidget* parent)
    : QWidget(parent), m_led(new InstLed(ledHeight, this)), m_textLabel(new QLabel(this)),
      m_unitLabel(new QLabel(this))
{
    Inst::installAccessibility();
    m_textLabel->setFont(Inst::mono(12.5, QFont::Medium));
    m_textLabel->hide();
    m_unitLabel->setFont(Inst::sans(11.5, QFont::Normal));
    m_unitLabel->setProperty("tone", QStringLiteral("muted"));
    m_unitLabel->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addStretch(1);
    row->addWidget(m_led, 0, Qt::AlignBottom);
    row->addWidget(m_textLabel, 0, Qt::AlignVCenter);
    row->addWidget(m_unitLabel, 0, Qt::AlignBottom);
}

void InstValue::setText(const QString& text)
{
    if (text == m_text) return;
    m_text = text;
    QString number;
    QString unit;
    if (split(text, &number, &unit)) {
        m_led->setText(number);
        m_led->show();
        m_textLabel->hide();
        m_unitLabel->setText(unit);
        m_unitLabel->setVisible(!unit.isEmpty());
    } else {
        m_led->hide();
        m_textLabel->setText(text);
        m_textLabel->show();
        m_unitLabel->hide();
    }
    setAccessibleName(text);
}

void InstValue::setReserve(const QString& reserve)
{
    m_led->setReserve(reserve);
}

void InstValue::setTone(InstLed::Tone tone)
{
    m_led->setTone(tone);
}

bool InstValue::split(const QString& text, QString* number, QString* unit)
{
    const QString trimmed = text.trimmed();
    auto fail = [&] {
        if (number) number->clear();
        if (unit) *unit = trimmed;
        return false;
    };
    qsizetype i = trimmed.startsWith(u'+') ? 1 : 0;
    if (i >= trimmed.size()) return fail();
    const QChar first = trimmed.at(i);
    if (!(first.isDigit() || first == u'-' || first == u'.' || first == u':')) return fail();
    qsizetype end = i + 1;
    while (end < trimmed.size()) {
        const QChar c = trimmed.at(end);
        if (!(c.isDigit() || c == u'.' || c == u':')) break;
        ++end;
    }
    const QString figure = trimmed.mid(i, end - i);
    if (!std::any_of(figure.begin(), figure.end(), [](QChar c) { return c.isDigit(); }))
        return fail();
    if (end < trimmed.size()) {
        const QChar next = trimmed.at(end);
        if (!(next.isSpace() || next.isLetter() || next == u'%' || next == QChar(0x00B0)))
            return fail();
    }
    if (number) *number = figure;
    if (unit) *unit = trimmed.mid(end).trimmed();
    return true;
}
