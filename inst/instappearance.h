#pragma once
// The user's appearance choice (system, light or dark) and what it means for the tokens.

#include <QString>

namespace Inst {

enum class Appearance { System = 0, Light = 1, Dark = 2 };

// The setting names: "system", "light", "dark".
QString appearanceName(Appearance appearance);
// "light" and "system" map to their members; anything else, the empty text included, to Dark.
Appearance appearanceFromName(const QString& name);

// Stores the choice and hands the matching colour scheme to Qt where Qt can take it.
void setAppearance(Appearance appearance);
Appearance appearance();
bool wantsDark();
bool systemIsDark();

// The stored choice under "app.appearance" (default "dark") in the application's settings.
Appearance storedAppearance();
void storeAppearance(Appearance appearance);

} // namespace Inst
