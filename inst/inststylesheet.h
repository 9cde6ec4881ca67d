#pragma once
// The tokens turned into a palette and a style sheet, and both put on a window.

#include <QPalette>
#include <QString>

class QWidget;

namespace Inst {

QPalette palette();
// The one style-sheet template with the current tokens filled in.
QString styleSheet();
// A style sheet of the alarm look with its placeholders filled: %red%, %hover%, %ink%, %text%,
// %bright%, %caption%, %clockline%, %field%, %face%, %deep%, %disabled%, and the outline at
// part opacity as %edge22%, %edge45%, %edge55%.
QString alarmStyleSheet(const char* sheet);
// Palette, background and style sheet on the widget, then a repaint of the whole tree.
void applyTo(QWidget* widget);

} // namespace Inst
