#include "inst/instchip.h"

#include "inst/instaccessible.h"
#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QPainter>

InstChip::InstChip(const QString& text, Tone tone, QWidget* parent)
    : QWidget(parent), m_text(text), m_tone(tone)
{
    Inst::installAccessibility();
    setFont(Inst::sans(11, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void InstChip::setText(const QString& text)
{
    // An unchanged text keeps the layout still: status lines update every second.
    if (text == m_text) return;
    m_text = text;
    updateGeometry();
    Inst::announce(this, QAccessible::NameChanged);
    update();
}

void InstChip::setTone(Tone tone)
{
    if (tone == m_tone) return;
    m_tone = tone;
    update();
}

QColor InstChip::colorOf(Tone tone)
{
    const Inst::Tokens& t = *Inst::tokens();
    switch (tone) {
    case Go:
        return t.led;
    case Info:
        return t.accent;
    case Warn:
        return t.amber;
    case Bad:
        return t.red;
    default:
        return t.sec;
    }
}

QSize InstChip::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_text) + 16, fm.height() + 4);
}

void InstChip::paintEvent(QPaintEvent*)
{
    const QColor colour = colorOf(m_tone);
    QColor face = colour;
    face.setAlphaF(colour.alphaF() * 0.18f);
    const QRectF box(rect());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, m_text);
}
