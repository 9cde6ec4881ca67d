#pragma once
// The menu-bar lamp: what a clock state looks like as colour, words and picture.

#include "clock/clockstate.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Green in sync, amber when lost or off, red otherwise (none, wrong, any unknown number). A
// light menu bar takes deeper ones, so that the lamp stands out from it as much (3:1 at least).
QColor lampColor(ClockState state, bool darkBar = true);
// The ink of "CLOCK WRONG" beside the lamp: a red that reads as text on the bar (4.5:1).
QColor lampWordsColor(bool darkBar);
// "In sync", "Server not heard", "Clock is off", "Clock wrong"; "No server" otherwise.
QString stateWords(ClockState state);
// The states whose lamp pulses: off and wrong.
bool lampMoves(ClockState state);

// A clock face with the state's lamp in its lower right corner, size logical pixels square;
// in the wrong state, with words, "CLOCK WRONG" stands to the right of it. Dimmed unless lit.
QPixmap lampPixmap(ClockState state, bool lit, bool darkBar, int size, double ratio,
                   bool withWords);

// What the menu-bar lamp's picture depends on. Looks compare equal exactly when they draw the
// same picture, so a menu-bar item sets its icon again only when its look changed.
struct LampLook
{
    ClockState state = ClockState::None;
    bool lit = true;
    bool darkBar = true;
    bool words = false;
    bool operator==(const LampLook&) const = default;
};
// Any state outside Sync..Wrong draws as None; words only in the wrong state.
LampLook lampLook(ClockState state, bool lit, bool darkBar, bool withWords);
// The lamp at menu-bar size, 18, for normal and high-density screens. Drawn once per look and
// kept: asked again, it is the same icon (same cacheKey), which Qt need not draw again.
QIcon lampIcon(const LampLook& look);
QIcon lampIcon(ClockState state, bool lit, bool darkBar, bool withWords);

// Whether the menu bar is dark: anything but a light colour scheme counts as dark.
bool menuBarIsDark();
