#pragma once
// The application's fonts: the monospaced face from the resources, and sized variants of both.

#include <QFont>
#include <QString>

namespace Inst {

// Loads the resource fonts once; falls back to the system's fixed font with one warning.
void registerFonts();
// The monospaced family chosen by registerFonts().
QString monoFamily();

QFont sans(double points, QFont::Weight weight = QFont::Normal);
// Letter spacing is absolute, in pixels, and only set when it is not 0.
QFont mono(double points, QFont::Weight weight = QFont::Normal, double letterSpacing = 0);

} // namespace Inst
