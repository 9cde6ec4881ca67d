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

// Rebuilds every colour from the light or dark column; false when the flag already matches.
bool setDark(bool dark);

} // namespace Inst
