// Draws the spin-box and date-edit arrows in the secondary text colour of each appearance:
//   inst_makearrows DIR   writes {up,down}-{light,dark}[@2x].png into DIR
// Run through the build target inst_arrows, which writes them into inst/resources/arrows.

#include "inst/insttokens.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

// 8 x 5 logical pixels, the size the style sheet gives the arrows.
QImage arrow(bool up, const QColor& ink, int scale)
{
    QImage image(8 * scale, 5 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    auto y = [up](double v) { return up ? v : 5.0 - v; };
    QPainterPath chevron;
    chevron.moveTo(1.2, y(4.0));
    chevron.lineTo(4.0, y(1.2));
    chevron.lineTo(6.8, y(4.0));
    p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron);
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: inst_makearrows DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "inst_makearrows: cannot make %s\n", argv[1]);
        return 1;
    }
    for (bool dark : {false, true}) {
        Inst::setDark(dark);
        const QColor ink = Inst::tokens()->sec;
        for (bool up : {true, false}) {
            for (int scale : {1, 2}) {
                const QString name = QStringLiteral("%1-%2%3.png")
                                         .arg(QLatin1String(up ? "up" : "down"),
                                              QLatin1String(dark ? "dark" : "light"),
                                              QLatin1String(scale == 2 ? "@2x" : ""));
                if (!arrow(up, ink, scale).save(dir.filePath(name))) {
                    std::fprintf(stderr, "inst_makearrows: cannot write %s\n", qPrintable(name));
                    return 1;
                }
            }
        }
    }
    return 0;
}
