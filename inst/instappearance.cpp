#include "inst/instappearance.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSettings>
#include <QStyleHints>

namespace Inst {
namespace {

Appearance current = Appearance::System;

const char* const kKey = "app.appearance";

} // namespace

QString appearanceName(Appearance appearance)
{
    switch (appearance) {
    case Appearance::System:
        return QStringLiteral("system");
    case Appearance::Light:
        return QStringLiteral("light");
    case Appearance::Dark:
        break;
    }
    return QStringLiteral("dark");
}

Appearance appearanceFromName(const QString& name)
{
    if (name == QLatin1String("light")) return Appearance::Light;
    if (name == QLatin1String("system")) return Appearance::System;
    return Appearance::Dark;
}

void setAppearance(Appearance appearance)
{
    current = appearance;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    Qt::ColorScheme scheme = Qt::ColorScheme::Unknown;
    if (appearance == Appearance::Light)
        scheme = Qt::ColorScheme::Light;
    else if (appearance == Appearance::Dark)
        scheme = Qt::ColorScheme::Dark;
    QGuiApplication::styleHints()->setColorScheme(scheme);
#endif
    // Before 6.8 Qt cannot be told; the tokens alone carry the choice.
}

Appearance appearance()
{
    return current;
}

bool wantsDark()
{
    switch (current) {
    case Appearance::Dark:
        return true;
    case Appearance::Light:
        return false;
    case Appearance::System:
        break;
    }
    return systemIsDark();
}

bool systemIsDark()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark:
        return true;
    case Qt::ColorScheme::Light:
        return false;
    default:
        break;
    }
#endif
    // No scheme from the platform: judge by the window colour it gives the application.
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

Appearance storedAppearance()
{
    QSettings settings;
    return appearanceFromName(
        settings.value(QLatin1String(kKey), QStringLiteral("dark")).toString());
}

void storeAppearance(Appearance appearance)
{
    QSettings settings;
    settings.setValue(QLatin1String(kKey), appearanceName(appearance));
}

} // namespace Inst
