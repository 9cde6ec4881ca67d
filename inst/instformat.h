#pragma once
// Small texts the toolkit and the windows share: style-sheet colours and durations in words.

#include <QColor>
#include <QString>

namespace Inst {

// "rgba(r,g,b,a)" with the colour's own alpha times alpha, three decimals.
QString rgba(const QColor& color, double alpha);

// A duration in whole seconds, minutes, hours or days, from the absolute value of ms.
QString span(long long ms);

} // namespace Inst
