// Renders every instrument widget in both appearances, one PNG sheet per appearance:
//   QT_QPA_PLATFORM=offscreen inst_gallery [DIR] [--scale N]
// writes DIR/inst-gallery-light.png and DIR/inst-gallery-dark.png (DIR defaults to ".").

#include "inst/gallery/galleryframes.h"
#include "inst/gallery/galleryinstruments.h"
#include "inst/gallery/galleryqtwidgets.h"
#include "inst/gallery/gallerysheet.h"
#include "inst/inst.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    double scale = 2;
    const qsizetype at = args.indexOf(QStringLiteral("--scale"));
    if (at >= 0 && at + 1 < args.size()) {
        scale = qBound(1.0, args.at(at + 1).toDouble(), 4.0);
        args.remove(at, 2);
    }
    const QDir dir(args.value(0, QStringLiteral(".")));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "inst_gallery: cannot make %s\n", qPrintable(dir.path()));
        return 1;
    }
    Inst::registerFonts();
    for (bool dark : {false, true}) {
        Inst::setDark(dark);
        const QString name = QLatin1String(dark ? "dark" : "light");
        GallerySheet sheet(
            QStringLiteral("INSTRUMENT TOOLKIT - %1 APPEARANCE").arg(name.toUpper()));
        addInstrumentPlates(sheet);
        addFramePlates(sheet);
        addButtonPlates(sheet);
        addQtWidgetPlates(sheet);
        const QString path = dir.absoluteFilePath(QStringLiteral("inst-gallery-%1.png").arg(name));
        if (!sheet.save(path, scale)) {
            std::fprintf(stderr, "inst_gallery: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
