#pragma once
// The menu-bar lamp: what a clock state looks like as colour, words and picture.

#include "clock/clockstate.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Green in sync, amber when lost or off, red otherwise (none, wrong, any unknown number).
QColor lampColor(ClockState state);
// "In sync", "Server not heard", "Clock is off", "Clock wrong"; "No server" otherwise.
QString stateWords(ClockState state);
// The states whose lamp pulses: off and wrong.
bool lampMoves(ClockState state);

// A clock face with the state's lamp in its lower right corner, size logical pixels square;
// in the wrong state, with words, "CLOCK WRONG" stands to the right of it. Dimmed unless lit.
QPixmap lampPixmap(ClockState state, bool lit, bool darkBar, int size, double ratio,
                   bool withWords);
// The lamp at menu-bar size, 18, for normal and high-density screens.
QIcon lampIcon(ClockState state, bool lit, bool darkBar, bool withWords);

// Whether the menu bar is dark: anything but a light colour scheme counts as dark.
bool menuBarIsDark();
