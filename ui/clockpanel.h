#pragma once
// What the main window's clock panel shows for one reading of the watcher: plain texts and
// tones, worked out apart from the widgets that show them.

#include "clock/clockinputs.h"
#include "clock/clockstate.h"
#include "inst/instchip.h"

#include <QString>

struct ClockReading
{
    ClockState state = ClockState::None;
    ClockInputs inputs;
    QString serverLabel; // the server's name, else its address text
    bool hasServer = false;
    qint64 heardAgoMs = -1;
    bool reporting = false;
    bool reportHeard = false;
};

struct ClockPanelView
{
    QString status;
    InstChip::Tone tone = InstChip::Bad;
    InstChip::Tone detailTone = InstChip::Neutral;
    bool ledBad = false;
    QString clock;    // "HH:mm:ss"
    QString dateLine; // date and subject
    QString offset;   // empty while no answer counts
    QString offsetUnit;
    QString lastSync;
    QString heard;
    QString heardUnit;
    QString reported;
    const char* reportedTone = "muted";
};

ClockPanelView clockPanelView(const ClockReading& reading);
