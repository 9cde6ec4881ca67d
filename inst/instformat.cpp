#include "inst/instformat.h"

namespace Inst {

QString rgba(const QColor& color, double alpha)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF() * alpha, 'f', 3));
}

QString span(long long ms)
{
    // Negated in unsigned arithmetic: the most negative value has no signed opposite.
    const unsigned long long magnitude =
        ms < 0 ? 0ULL - static_cast<unsigned long long>(ms) : static_cast<unsigned long long>(ms);
    if (magnitude <= 89'999ULL) return QStringLiteral("%1 s").arg(magnitude / 1000ULL);
    if (magnitude < 5'400'000ULL) return QStringLiteral("%1 min").arg(magnitude / 60'000ULL);
    if (magnitude <= 129'599'999ULL) return QStringLiteral("%1 h").arg(magnitude / 3'600'000ULL);
    return QStringLiteral("%1 days").arg(magnitude / 86'400'000ULL);
}

} // namespace Inst
