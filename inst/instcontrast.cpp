#include "inst/instcontrast.h"

#include <algorithm>
#include <cmath>

namespace Inst {
namespace {

// sRGB channel to linear light, with the 0.04045 knee the WCAG 2.1 definition gives.
double linear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double luminance(const QColor& colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

QColor over(const QColor& colour, const QColor& background)
{
    const QColor c = colour.toRgb();
    const QColor b = background.toRgb();
    const double a = c.alphaF();
    auto mix = [a](double f, double g) { return f * a + g * (1 - a); };
    return QColor::fromRgbF(float(mix(c.redF(), b.redF())), float(mix(c.greenF(), b.greenF())),
                            float(mix(c.blueF(), b.blueF())));
}

double contrastRatio(const QColor& foreground, const QColor& background)
{
    const double a = luminance(over(foreground, background));
    const double b = luminance(background);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

} // namespace Inst
