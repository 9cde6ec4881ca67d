#pragma once
// The main window's clock panel: what it shows for one reading of the watcher (plain texts and
// tones, worked out apart from the widgets), and the widgets that show it.

#include "clock/clockinputs.h"
#include "clock/clockstate.h"
#include "inst/instchip.h"

#include <QObject>
#include <QString>

class ClockWatcher;
class InstLed;
class InstReadout;
class InstScreen;
class InstStatus;
class QLabel;
class QPushButton;
class QWidget;

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

class ClockPanel : public QObject
{
    Q_OBJECT

public:
    // Builds the panel in parent: the clock dimmed on "--:--:--" until the first reading.
    explicit ClockPanel(QWidget* parent);

    InstScreen* screen() const { return screenWidget; }
    InstStatus* statusChips() const { return status; }
    InstLed* clock() const { return clockLed; }
    InstReadout* offset() const { return offsetReadout; }
    // "History…": the main window passes its click on as historyRequested.
    QPushButton* historyButton() const { return history; }

    // Shows the watcher as it stands now.
    void show(const ClockWatcher& watcher);
    void show(const ClockReading& reading);

private:
    InstScreen* screenWidget;
    InstStatus* status;
    QPushButton* history;
    InstLed* clockLed;
    QLabel* dateLine;
    InstReadout* offsetReadout;
    InstReadout* lastSyncReadout;
    InstReadout* heardReadout;
    InstReadout* reportedReadout;
    QString fittedFrom;  // the server label last fitted
    QString fittedLabel; // and as the chip shows it
};
