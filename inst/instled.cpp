#include "inst/instled.h"

#include "inst/insttokens.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <utility>

namespace {

constexpr int kColon = 128;
constexpr int kPoint = 129;

// What a character draws: its segments as bits (a is bit 0), a colon or a point.
int glyphOf(QChar c)
{
    if (c == u':') return kColon;
    if (c == u'.') return kPoint;
    int bits = 0;
    for (QChar segment : InstLed::segmentsOf(c))
        bits |= 1 << (segment.unicode() - u'a');
    return bits;
}

} // namespace

InstLed::InstLed(int height, QWidget* parent) : QWidget(parent), m_height(qMax(1, height))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void InstLed::setText(const QString& text)
{
    if (text == m_text) return;
    const bool resize = m_reserve.isEmpty() && widthOf(text) != widthOf(m_text);
    const QString old = std::exchange(m_text, text);
    if (resize) updateGeometry();
    bool samePlaces = old.size() == text.size();
    for (qsizetype i = 0; samePlaces && i < text.size(); ++i)
        samePlaces = advance(old[i]) == advance(text[i]);
    if (!samePlaces) {
        update();
        return;
    }
    // A clock ticking changes a cell or two: only those are drawn again.
    const QList<double> lefts = cellLefts(text);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (old[i] != text[i])
            update(pictureRect(text[i], lefts[i], devicePixelRatioF()).toAlignedRect());
}

void InstLed::setReserve(const QString& reserve)
{
    if (reserve == m_reserve) return;
    m_reserve = reserve;
    updateGeometry();
    update();
}

void InstLed::setTone(Tone tone)
{
    if (tone == m_tone) return;
    m_tone = tone;
    update();
}

void InstLed::setDim(bool dim)
{
    if (dim == m_dim) return;
    m_dim = dim;
    update();
}

bool InstLed::canShow(const QString& text)
{
    if (text.isEmpty()) return false;
    for (QChar c : text) {
        const bool shown =
            c.isDigit() || c == u' ' || c == u'-' || c == u'.' || c == u':' || c == QChar(0x2212);
        if (!shown) return false;
    }
    return true;
}

double InstLed::advance(QChar c) const
{
    return (c == u':' || c == u'.' ? 0.3 : 0.56) * m_height;
}

double InstLed::widthOf(const QString& text) const
{
    if (text.isEmpty()) return 0;
    double width = (text.size() - 1) * 0.07 * m_height;
    for (QChar c : text)
        width += advance(c);
    return width;
}

QString InstLed::segmentsOf(QChar c)
{
    static const char* const digits[] = {"abcdef", "bc",     "abged", "abgcd",   "fgbc",
                                         "afgcd",  "afgedc", "abc",   "abcdefg", "abcdfg"};
    if (c == u'-' || c == QChar(0x2212)) return QStringLiteral("g");
    // Any decimal digit, not only ASCII: canShow() lets the others through, so they must light.
    if (c.isDigit() && c.digitValue() >= 0 && c.digitValue() <= 9)
        return QString::fromLatin1(digits[c.digitValue()]);
    return QString();
}

QSize InstLed::sizeHint() const
{
    const QString& t = m_reserve.isEmpty() ? m_text : m_reserve;
    const double s = strokeWidth();
    return QSize(int(std::ceil(widthOf(t) + s)), int(std::ceil(m_height + s)));
}

QList<double> InstLed::cellLefts(const QString& text) const
{
    QList<double> lefts;
    double x = 0;
    for (QChar c : text) {
        lefts << x;
        x += advance(c) + 0.07 * m_height;
    }
    return lefts;
}

namespace {
// Cells start where the text puts them, to a 64th of a device pixel: a picture is made for
// each character at each such phase, so what is drawn from it matches drawing in place.
constexpr int kPhases = 64;
} // namespace

int InstLed::marginPixels(double ratio) const
{
    // Room for the glow of the outer segments.
    return int(std::ceil(strokeWidth() / 2 * ratio)) + 1;
}

QRectF InstLed::pictureRect(QChar c, double x, double ratio, int* phase) const
{
    const double s = strokeWidth();
    const int margin = marginPixels(ratio);
    const qint64 at = std::llround((x + s / 2) * ratio * kPhases);
    const qint64 whole = at >= 0 ? at / kPhases : (at - kPhases + 1) / kPhases;
    if (phase) *phase = int(at - whole * kPhases);
    const int width = margin + int(std::ceil((advance(c) + s / 2) * ratio)) + 2;
    const int height = int(std::ceil((m_height + s) * ratio));
    return QRectF(double(whole - margin) / ratio, 0, width / ratio, height / ratio);
}

const QPixmap& InstLed::picture(QChar c, int phase, const QColor& lit, double ratio)
{
    const int key = glyphOf(c) * kPhases + phase;
    const auto made = m_pictures.constFind(key);
    if (made != m_pictures.cend()) return *made;
    const QRectF at = pictureRect(c, 0, ratio);
    QPixmap pixmap((at.size() * ratio).toSize());
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate((marginPixels(ratio) + double(phase) / kPhases) / ratio, strokeWidth() / 2);
    paintGlyph(p, c, lit, m_dim ? 0.3 : 1.0);
    p.end();
    return *m_pictures.insert(key, pixmap);
}

void InstLed::paintEvent(QPaintEvent* event)
{
    const Inst::Tokens& t = *Inst::tokens();
    const QColor lit = m_tone == Bad ? t.red : m_tone == Warn ? t.amber : t.led;
    QPainter p(this);
    // The ratio of what is painted on, which may be a picture of the window at another one.
    const QPaintDevice* target = p.paintEngine()->paintDevice();
    const double ratio = target ? target->devicePixelRatioF() : devicePixelRatioF();
    const Look look{lit.rgba64(), m_dim, ratio};
    if (!(look == m_look)) {
        m_pictures.clear();
        m_look = look;
    }
    const QList<double> lefts = cellLefts(m_text);
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        int phase = 0;
        const QRectF at = pictureRect(m_text[i], lefts[i], ratio, &phase);
        if (m_text[i] != u' ' && event->region().intersects(at.toAlignedRect()))
            p.drawPixmap(at.topLeft(), picture(m_text[i], phase, lit, ratio));
    }
}

void InstLed::hideEvent(QHideEvent* event)
{
    // A window put away to the menu bar keeps no pictures of its figures.
    m_pictures.clear();
    QWidget::hideEvent(event);
}

void InstLed::paintGlyph(QPainter& p, QChar c, const QColor& lit, double b) const
{
    const double w = advance(c);
    if (c == u':') {
        paintDot(p, QPointF(w / 2, 0.33 * m_height), lit, b);
        paintDot(p, QPointF(w / 2, 0.67 * m_height), lit, b);
    } else if (c == u'.') {
        paintDot(p, QPointF(w / 2, 0.9 * m_height), lit, b);
    } else {
        paintCell(p, c, 0, lit, b);
    }
}

void InstLed::paintCell(QPainter& p, QChar c, double x, const QColor& lit, double b) const
{
    const double h = m_height;
    const double s = strokeWidth();
    const double w = advance(c);
    const double t = 0.55 * s;
    const double g = 0.066 * h;
    const QLineF segments[7] = {{x + t + g, t, x + w - t - g, t},               // a
                                {x + w - t, t + g, x + w - t, 0.5 * h - g},     // b
                                {x + w - t, 0.5 * h + g, x + w - t, h - t - g}, // c
                                {x + t + g, h - t, x + w - t - g, h - t},       // d
                                {x + t, 0.5 * h + g, x + t, h - t - g},         // e
                                {x + t, t + g, x + t, 0.5 * h - g},             // f
                                {x + t + g, 0.5 * h, x + w - t - g, 0.5 * h}};  // g
    const QString on = segmentsOf(c);
    const qreal alpha = lit.alphaF();
    auto stroke = [&](const QLineF& line, double width, double a) {
        QColor colour = lit;
        colour.setAlphaF(float(alpha * a));
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        p.drawLine(line);
    };
    for (int i = 0; i < 7; ++i) {
        if (on.contains(QLatin1Char(char('a' + i)))) {
            stroke(segments[i], 2 * s, 0.2 * b);
            stroke(segments[i], s, b);
        } else {
            // Ghosts stay at their level when dimmed: the face keeps its shape.
            stroke(segments[i], s, 0.06);
        }
    }
}

void InstLed::paintDot(QPainter& p, QPointF centre, const QColor& lit, double b) const
{
    const double r = 0.075 * m_height;
    QColor colour = lit;
    p.setPen(Qt::NoPen);
    colour.setAlphaF(float(lit.alphaF() * 0.2 * b));
    p.setBrush(colour);
    p.drawEllipse(centre, 1.8 * r, 1.8 * r);
    colour.setAlphaF(float(lit.alphaF() * b));
    p.setBrush(colour);
    p.drawEllipse(centre, r, r);
}
