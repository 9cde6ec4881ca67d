#include "inst/instcheckrow.h"

#include "inst/instcheck.h"
#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QPainter>

namespace {

const int kBoxAt = 8;
const int kBox = 14;
const int kNameAt = 30;
const int kGap = 14;

} // namespace

InstCheckRow::InstCheckRow(const QString& name, const QString& value, const QString& note,
                           QWidget* parent)
    : QAbstractButton(parent), m_name(name), m_value(value), m_note(note),
      m_nameFont(Inst::sans(12.5, QFont::Medium)), m_valueFont(Inst::mono(12, QFont::Normal)),
      m_noteFont(Inst::sans(11.5, QFont::Normal))
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("%1 %2 %3").arg(name, value, note));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int InstCheckRow::nameWidth() const
{
    return QFontMetrics(m_nameFont).horizontalAdvance(m_name);
}

int InstCheckRow::valueWidth() const
{
    return QFontMetrics(m_valueFont).horizontalAdvance(m_value);
}

void InstCheckRow::setColumns(int nameWidth, int valueWidth)
{
    if (nameWidth == m_nameColumn && valueWidth == m_valueColumn) return;
    m_nameColumn = nameWidth;
    m_valueColumn = valueWidth;
    updateGeometry();
    update();
}

QSize InstCheckRow::sizeHint() const
{
    const int note = QFontMetrics(m_noteFont).horizontalAdvance(m_note);
    const int line = qMax(QFontMetrics(m_nameFont).height(), QFontMetrics(m_valueFont).height());
    return QSize(kNameAt + nameColumn() + kGap + valueColumn() + kGap + note + 8,
                 qMax(28, line + 10));
}

void InstCheckRow::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (underMouse() && isEnabled()) {
        QColor hover = t.accent;
        hover.setAlphaF(0.08f);
        p.setPen(Qt::NoPen);
        p.setBrush(hover);
        p.drawRoundedRect(face, 5, 5);
    }
    if (hasFocus()) {
        p.setPen(QPen(t.accent, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(face, 5, 5);
    }
    InstCheck::paintBox(p, QRectF(kBoxAt, (height() - kBox) / 2.0, kBox, kBox),
                        isChecked() ? Qt::Checked : Qt::Unchecked, underMouse(), isEnabled());

    const int valueAt = kNameAt + nameColumn() + kGap;
    const int noteAt = valueAt + valueColumn() + kGap;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    p.setFont(m_nameFont);
    p.setPen(isEnabled() ? t.pri : t.mut);
    p.drawText(QRect(kNameAt, 0, nameColumn(), height()), flags, m_name);
    p.setFont(m_valueFont);
    p.setPen(isEnabled() ? t.sec : t.mut);
    p.drawText(QRect(valueAt, 0, valueColumn(), height()), flags, m_value);
    p.setFont(m_noteFont);
    p.setPen(t.mut);
    const QFontMetrics fm(m_noteFont);
    const int room = qMax(0, width() - noteAt - 8);
    const QString note =
        fm.horizontalAdvance(m_note) <= room ? m_note : fm.elidedText(m_note, Qt::ElideRight, room);
    p.drawText(QRect(noteAt, 0, qMax(0, width() - noteAt), height()), flags, note);
}
