#include "inst/instspoken.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace Inst {
namespace {

struct UnitWord
{
    const char* shown;
    const char* one;
    const char* many;
};

// The units the windows write beside their figures, short as the eye likes them.
const UnitWord kUnits[] = {{"ms", "millisecond", "milliseconds"},
                           {"s", "second", "seconds"},
                           {"sec", "second", "seconds"},
                           {"min", "minute", "minutes"},
                           {"h", "hour", "hours"},
                           {"day", "day", "days"},
                           {"days", "day", "days"},
                           {"%", "percent", "percent"}};

QString unitWord(const QString& shown, bool one)
{
    for (const UnitWord& u : kUnits)
        if (shown == QLatin1String(u.shown)) return QLatin1String(one ? u.one : u.many);
    return shown;
}

// Trailing zeros of a fraction carry nothing when spoken: "1.500" is "1.5".
QString trimmedNumber(double v)
{
    QString s = QString::number(v, 'f', 3);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.')) s.chop(1);
    }
    return s;
}

} // namespace

QString spoken(const QString& figure, const QString& unit)
{
    QString f = figure.trimmed();
    if (!std::any_of(f.begin(), f.end(), [](QChar c) { return c.isDigit(); })) return QString();
    bool negative = false;
    if (f.startsWith(u'-') || f.startsWith(QChar(0x2212))) {
        negative = true;
        f.remove(0, 1);
    }
    const QString sign = negative ? QStringLiteral("minus ") : QString();
    // A time of day or a span with colons is read as it stands.
    if (f.contains(u':')) return (sign + f + u' ' + unit.trimmed()).trimmed();

    QStringList words = unit.simplified().split(u' ', Qt::SkipEmptyParts);
    const QString first = words.isEmpty() ? QString() : words.takeFirst();
    // Non-ASCII digits are worth their value too: the LED lights them.
    QString ascii;
    for (QChar c : f)
        ascii += c.isDigit() ? QChar(u'0' + c.digitValue()) : c;
    bool ok = false;
    double v = ascii.toDouble(&ok);
    QString number = ok ? trimmedNumber(v) : f;
    QString shownUnit = first;
    // Part of a second is said in milliseconds.
    if (ok && first == u"s" && ascii.contains(u'.') && v < 1) {
        v = std::round(v * 1000);
        number = QString::number(qint64(v));
        shownUnit = QStringLiteral("ms");
    }
    QString text = sign + number;
    if (!shownUnit.isEmpty()) text += u' ' + unitWord(shownUnit, ok && v == 1);
    if (!words.isEmpty()) text += u' ' + words.join(u' ');
    return text;
}

QString readable(const QString& text)
{
    if (text.isEmpty() || text != text.toUpper() || text == text.toLower()) return text;
    return text.left(1) + text.mid(1).toLower();
}

QString colourWord(const QColor& colour)
{
    const QColor hsv = colour.toHsv();
    if (hsv.hsvSaturationF() < 0.25f || hsv.valueF() < 0.15f) return QStringLiteral("grey");
    const int h = hsv.hsvHue();
    if (h < 20 || h >= 330) return QStringLiteral("red");
    if (h < 60) return QStringLiteral("amber");
    if (h < 170) return QStringLiteral("green");
    return QStringLiteral("blue");
}

} // namespace Inst
