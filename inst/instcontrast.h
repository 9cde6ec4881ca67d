#pragma once
// How well a text or a mark stands out from what lies under it, as WCAG 2.1 measures it.

#include <QColor>

namespace Inst {

// Relative luminance of an opaque colour, 0 (black) to 1 (white).
double luminance(const QColor& colour);
// A colour with alpha laid over an opaque background, as it reaches the eye.
QColor over(const QColor& colour, const QColor& background);
// (L1 + 0.05) / (L2 + 0.05) of the lighter over the darker, 1 to 21; the foreground is laid
// over the background first when it is translucent.
double contrastRatio(const QColor& foreground, const QColor& background);

} // namespace Inst
