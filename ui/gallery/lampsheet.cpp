#include "ui/gallery/lampsheet.h"

#include "ui/lamp.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace {

const ClockState kStates[] = {ClockState::None, ClockState::Sync, ClockState::Lost, ClockState::Off,
                              ClockState::Wrong};
constexpr int kLabelWidth = 230;
constexpr int kRowHeight = 96;
constexpr int kGap = 24;

struct Column
{
    const char* title;
    double ratio;
    bool words;
    int zoom;
};

// 1x at 4 screen pixels per device pixel, 2x at 2: every cell is as tall, the 2x finer.
const Column kColumns[] = {{"1x", 1.0, false, 4},
                           {"2x", 2.0, false, 2},
                           {"1x with words", 1.0, true, 4},
                           {"2x with words", 2.0, true, 2},
                           {"2x words, true size", 2.0, true, 1}};

QImage cell(ClockState state, bool lit, bool darkBar, const Column& c)
{
    QImage image = lampPixmap(state, lit, darkBar, 18, c.ratio, c.words).toImage();
    image.setDevicePixelRatio(1);
    return image.scaled(image.size() * c.zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

bool saveLampSheet(const QString& path, bool darkBar)
{
    const QColor bar = darkBar ? QColor(0x2c, 0x2c, 0x2e) : QColor(0xec, 0xec, 0xee);
    const QColor ink = darkBar ? QColor(0xd8, 0xd8, 0xdc) : QColor(0x30, 0x30, 0x34);

    QList<int> widths;
    for (const Column& c : kColumns)
        widths << cell(ClockState::Wrong, true, darkBar, c).width();
    int width = kLabelWidth;
    for (int w : widths)
        width += w + kGap;
    const int rows = 2 * int(std::size(kStates));
    QImage sheet(width, 60 + rows * kRowHeight, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(bar);

    QPainter p(&sheet);
    QFont font = QGuiApplication::font();
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(16, 28, QStringLiteral("LAMP ON A %1 MENU BAR").arg(darkBar ? "DARK" : "LIGHT"));
    int x = kLabelWidth;
    for (int i = 0; i < int(std::size(kColumns)); ++i) {
        p.drawText(x, 52, QLatin1String(kColumns[i].title));
        x += widths[i] + kGap;
    }

    int y = 60;
    for (ClockState state : kStates) {
        for (bool lit : {true, false}) {
            p.setPen(ink);
            p.drawText(16, y + kRowHeight / 2 + 5, // the baseline, a little below the middle
                       QStringLiteral("%1, %2").arg(stateWords(state), lit ? "lit" : "dimmed"));
            x = kLabelWidth;
            for (int i = 0; i < int(std::size(kColumns)); ++i) {
                const QImage image = cell(state, lit, darkBar, kColumns[i]);
                p.drawImage(x, y + (kRowHeight - image.height()) / 2, image);
                x += widths[i] + kGap;
            }
            y += kRowHeight;
        }
    }
    p.end();
    return sheet.save(path);
}
