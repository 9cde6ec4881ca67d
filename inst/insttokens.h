#pragma once
// The one process-wide set of colour tokens that every window and painted widget reads.

#include <QColor>

namespace Inst {

struct Tokens
{
    bool dark = true;
    QColor panel;
    QColor deck;
    QColor section;
    QColor bezel;
    QColor accent;
    QColor pri;
    QColor sec;
    QColor mut;
    QColor canvas;
    QColor well;
    QColor led;
    QColor grid;
    QColor screen;
    QColor hairline;
    QColor red;
    QColor amber;
};

// Built for the dark column before main() runs.
const Tokens* tokens();

// The alarm look, the same in either appearance: the clock alert and what cries "wrong".
struct Alarm
{
    QColor red;       // the alarm itself, the dark column's red
    QColor hover;     // a red button under the pointer
    QColor edge;      // outlines, at part opacity
    QColor ink;       // text on the red
    QColor text;      // body text on the alarm face
    QColor bright;    // headings and what is typed
    QColor caption;   // captions and notes
    QColor clockLine; // the line under the clock
    QColor field;     // editors and the unticked box
    QColor face;      // the window
    QColor deep;      // the clock's plate
    QColor disabled;  // a button that cannot be used
};
const Alarm& alarm();

// Rebuilds every colour from the light or dark column; false when the flag already matches.
bool setDark(bool dark);

} // namespace Inst
