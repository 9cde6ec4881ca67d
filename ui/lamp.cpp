#include "ui/lamp.h"

#include "inst/instappearance.h"
#include "inst/insttokens.h"

#include <QGuiApplication>
#include <QPainter>
#include <array>
#include <cmath>

namespace {

const QString kWords = QStringLiteral("CLOCK WRONG");

// Halves away from zero, as the sizes of the picture are worked out.
int whole(double v)
{
    return int(std::lround(v));
}

QFont wordsFont(double unit)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(whole(11.5 * unit));
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

QColor lampColor(ClockState state, bool darkBar)
{
    switch (state) {
    case ClockState::Sync:
        return darkBar ? QColor(0x38, 0xE0, 0x7A) : QColor(0x18, 0x99, 0x4A);
    case ClockState::Lost:
    case ClockState::Off:
        return darkBar ? QColor(0xFF, 0x9F, 0x0A) : QColor(0xC0, 0x74, 0x00);
    default:
        break;
    }
    return darkBar ? Inst::alarm().red : QColor(0xFA, 0x3A, 0x2F);
}

QColor lampWordsColor(bool darkBar)
{
    return darkBar ? Inst::alarm().red : QColor(0xC8, 0x28, 0x1E);
}

QString stateWords(ClockState state)
{
    switch (state) {
    case ClockState::Sync:
        return QStringLiteral("In sync");
    case ClockState::Lost:
        return QStringLiteral("Server not heard");
    case ClockState::Off:
        return QStringLiteral("Clock is off");
    case ClockState::Wrong:
        return QStringLiteral("Clock wrong");
    default:
        break;
    }
    return QStringLiteral("No server");
}

bool lampMoves(ClockState state)
{
    return state == ClockState::Off || state == ClockState::Wrong;
}

QPixmap lampPixmap(ClockState state, bool lit, bool darkBar, int size, double ratio, bool withWords)
{
    // At the menu bar's 18 one unit is one point.
    const double u = size / 18.0;
    const bool words = withWords && state == ClockState::Wrong;
    const QFont font = wordsFont(u);
    const double advance = words ? QFontMetricsF(font).horizontalAdvance(kWords) : 0;
    const double extra = words ? 6 * u + advance : 0;

    QPixmap pixmap(whole((size + extra) * ratio), whole(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const QPointF face(7.6 * u, 9.0 * u);
    p.setPen(QPen(darkBar ? QColor(0xEC, 0xED, 0xF0) : QColor(0x1C, 0x1E, 0x22), 1.4 * u,
                  Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(face, 5.3 * u, 5.3 * u);
    p.drawLine(face, QPointF(7.6 * u, 6.0 * u));
    p.drawLine(face, QPointF(5.6 * u, 7.5 * u));

    // A transparent ring keeps the lamp apart from the face's outline on any bar colour.
    const QPointF lamp(13.6 * u, 12.9 * u);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(lamp, 5.1 * u, 5.1 * u);

    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QColor color = lampColor(state, darkBar);
    if (!lit) color.setAlphaF(0.3);
    p.setBrush(color);
    p.drawEllipse(lamp, 3.9 * u, 3.9 * u);

    if (words) {
        QColor ink = lampWordsColor(darkBar);
        if (!lit) ink.setAlphaF(0.45);
        p.setPen(ink);
        p.setFont(font);
        p.drawText(QRectF(size + 4 * u, 0, 6 * u + advance, size), Qt::AlignLeft | Qt::AlignVCenter,
                   kWords);
    }
    return pixmap;
}

LampLook lampLook(ClockState state, bool lit, bool darkBar, bool withWords)
{
    const bool known = state >= ClockState::Sync && state <= ClockState::Wrong;
    const ClockState drawn = known ? state : ClockState::None;
    return {drawn, lit, darkBar, withWords && drawn == ClockState::Wrong};
}

QIcon lampIcon(const LampLook& asked)
{
    // One slot per look there can be: a few icons at most, never more with time.
    static std::array<QIcon, 5 * 2 * 2 * 2> made;
    const LampLook look = lampLook(asked.state, asked.lit, asked.darkBar, asked.words);
    QIcon& icon = made[((int(look.state) * 2 + look.lit) * 2 + look.darkBar) * 2 + look.words];
    if (icon.isNull())
        for (double ratio : {1.0, 2.0})
            icon.addPixmap(lampPixmap(look.state, look.lit, look.darkBar, 18, ratio, look.words),
                           QIcon::Normal, QIcon::Off);
    return icon;
}

QIcon lampIcon(ClockState state, bool lit, bool darkBar, bool withWords)
{
    return lampIcon(lampLook(state, lit, darkBar, withWords));
}

bool menuBarIsDark()
{
    // The menu bar follows the system's scheme, whatever the windows were set to.
    return Inst::systemIsDark();
}
