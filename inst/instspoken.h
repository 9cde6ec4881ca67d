#pragma once
// Figures as a person says them, for screen readers: the LED shows "0.003" beside "s", a
// listener hears "3 milliseconds".

#include <QColor>
#include <QString>

namespace Inst {

// A figure and its unit in words: "0.003" "s" gives "3 milliseconds", "2" "s ago" gives
// "2 seconds ago", "11:05:53" stays as it is. Empty when the figure holds no digit.
QString spoken(const QString& figure, const QString& unit = QString());

// Capitals shouted for the eye, said in sentence case: "NOT SYNCED YET" gives "Not synced yet".
// Text with any lower-case letter is kept as it is.
QString readable(const QString& text);

// The word for a colour a lamp or dot is painted in: "green", "amber", "red", "blue" or
// "grey".
QString colourWord(const QColor& colour);

} // namespace Inst
