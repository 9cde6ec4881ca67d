#pragma once
// Text from outside (a server's name, the tool's error output) is shown as it is, never read
// as markup: Qt takes a text that looks like HTML for HTML unless told otherwise, so every
// label, box, tool tip and menu entry that can show such a text goes through here.

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace PlainText {

// The label shows its text as it is; returns it.
QLabel* label(QLabel* label);
// The box's text and informative text as they are, without links.
void box(QMessageBox& box);
// A widget's tool tip that reads as the text, whether Qt would have taken it for markup or not.
QString toolTip(const QString& text);
// The same for the menu-bar item, whose tool tip the Mac shows as it is.
QString trayToolTip(const QString& text);
// The text cut with "…" to the room a name may take in a line of the widget, so that no name
// can widen a window.
QString fitted(const QString& text, const QWidget* shownIn);
// A menu entry's text with every "&" shown, none taken as a shortcut marker.
QString menuText(QString text);

} // namespace PlainText
