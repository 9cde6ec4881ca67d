#include "inst/instfonts.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace Inst {
namespace {

bool registered = false;
QString family;

} // namespace

void registerFonts()
{
    if (registered) return;
    registered = true;
    const char* const files[] = {":/inst/fonts/IBMPlexMono-Regular.ttf",
                                 ":/inst/fonts/IBMPlexMono-Medium.ttf",
                                 ":/inst/fonts/IBMPlexMono-SemiBold.ttf"};
    for (const char* file : files) {
        const QString path = QString::fromLatin1(file);
        // Asking for a missing file makes Qt warn on its own; we promise one warning only.
        if (!QFile::exists(path)) continue;
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0 && family.isEmpty())
            family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    if (family.isEmpty()) {
        qWarning("Instrument: IBM Plex Mono is missing from the app's resources; using the "
                 "system fixed font");
        family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }
}

QString monoFamily()
{
    registerFonts();
    return family;
}

QFont sans(double points, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

QFont mono(double points, QFont::Weight weight, double letterSpacing)
{
    // A font asked for before registration would otherwise carry an empty family.
    QFont font(monoFamily());
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    font.setWeight(weight);
    if (letterSpacing != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

} // namespace Inst
