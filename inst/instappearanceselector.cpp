#include "inst/instappearanceselector.h"

#include "inst/instaccessible.h"
#include "inst/instaccessiblechoice.h"
#include "inst/insttokens.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <cmath>
#include <numbers>

namespace {

const int kSegmentWidth = 28;
const int kHeight = 22;

} // namespace

InstAppearanceSelector::InstAppearanceSelector(QWidget* parent) : QWidget(parent)
{
    Inst::installAccessibility();
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Appearance"));
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void InstAppearanceSelector::setAppearance(Inst::Appearance appearance)
{
    if (appearance == m_appearance) return;
    const int before = int(m_appearance);
    m_appearance = appearance;
    update();
    Inst::announceChoice(this, before, int(appearance));
}

void InstAppearanceSelector::setPickHandler(std::function<void(Inst::Appearance)> handler)
{
    m_handler = std::move(handler);
}

QString InstAppearanceSelector::segmentName(int segment)
{
    switch (segment) {
    case 0:
        return QStringLiteral("System default");
    case 1:
        return QStringLiteral("Light");
    case 2:
        return QStringLiteral("Dark");
    default:
        return QString();
    }
}

QSize InstAppearanceSelector::sizeHint() const
{
    return QSize(3 * kSegmentWidth + 2, kHeight);
}

QRectF InstAppearanceSelector::segmentRect(int segment) const
{
    const double w = (width() - 2) / 3.0;
    return QRectF(1 + segment * w, 1, w, height() - 2);
}

int InstAppearanceSelector::segmentAt(QPoint point) const
{
    if (!rect().contains(point)) return -1;
    // The one-pixel frame belongs to the segment beside it.
    const double w = (width() - 2) / 3.0;
    return qBound(0, int((point.x() - 1) / w), 2);
}

void InstAppearanceSelector::pick(int segment)
{
    if (segment < 0 || segment > 2) return;
    const auto chosen = static_cast<Inst::Appearance>(segment);
    if (chosen == m_appearance) return;
    const int before = int(m_appearance);
    m_appearance = chosen;
    update();
    Inst::announceChoice(this, before, segment);
    if (m_handler) m_handler(chosen);
}

bool InstAppearanceSelector::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString name = segmentName(segmentAt(help->pos()));
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), name, this);
        return true;
    }
    if (event->type() == QEvent::Leave && m_hover != -1) {
        m_hover = -1;
        update();
    }
    return QWidget::event(event);
}

void InstAppearanceSelector::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton ? segmentAt(event->position().toPoint()) : -1;
}

void InstAppearanceSelector::mouseReleaseEvent(QMouseEvent* event)
{
    // Only a release over the pressed segment counts, as with any button.
    const int segment = segmentAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && segment == m_pressed) pick(segment);
    m_pressed = -1;
}

void InstAppearanceSelector::mouseMoveEvent(QMouseEvent* event)
{
    const int segment = segmentAt(event->position().toPoint());
    if (segment != m_hover) {
        m_hover = segment;
        update();
    }
}

void InstAppearanceSelector::keyPressEvent(QKeyEvent* event)
{
    const int current = static_cast<int>(m_appearance);
    // Arrows move the choice, as in any group of radio buttons.
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Up)
        pick(qMax(0, current - 1));
    else if (key == Qt::Key_Right || key == Qt::Key_Down)
        pick(qMin(2, current + 1));
    else
        QWidget::keyPressEvent(event);
}

void InstAppearanceSelector::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(hasFocus() ? t.accent : t.bezel, 1));
    p.setBrush(t.section);
    p.drawRoundedRect(frame, 5, 5);
    const int chosen = static_cast<int>(m_appearance);
    for (int i = 0; i < 3; ++i) {
        const QRectF box = segmentRect(i);
        QColor ink = i == m_hover ? t.pri : t.sec;
        if (i == chosen) {
            p.setPen(Qt::NoPen);
            p.setBrush(t.accent);
            p.drawRoundedRect(box.adjusted(1, 1, -1, -1), 4, 4);
            ink = t.panel;
        }
        paintIcon(p, i, box, ink);
    }
}

void InstAppearanceSelector::paintIcon(QPainter& p, int segment, const QRectF& box,
                                       const QColor& ink) const
{
    const QPointF c = box.center();
    const double r = 4.5;
    p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    if (segment == 0) {
        // Half light, half dark: follow the system.
        p.drawEllipse(c, r, r);
        QPainterPath half;
        half.moveTo(c.x(), c.y() - r);
        half.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90, -180);
        half.closeSubpath();
        p.fillPath(half, ink);
    } else if (segment == 1) {
        p.drawEllipse(c, 2.6, 2.6);
        for (int k = 0; k < 8; ++k) {
            const double a = k * std::numbers::pi / 4;
            p.drawLine(QPointF(c.x() + 4.4 * std::cos(a), c.y() + 4.4 * std::sin(a)),
                       QPointF(c.x() + 6.0 * std::cos(a), c.y() + 6.0 * std::sin(a)));
        }
    } else {
        QPainterPath moon;
        moon.addEllipse(c, r, r);
        QPainterPath bite;
        bite.addEllipse(QPointF(c.x() + 2.6, c.y() - 2.0), r - 0.4, r - 0.4);
        p.fillPath(moon.subtracted(bite), ink);
    }
}
