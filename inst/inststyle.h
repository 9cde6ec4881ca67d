#pragma once
// Per-widget looks that the style sheet picks up through dynamic properties.

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace Inst {

enum class Button { Plain = 0, Go = 1, Primary = 2, Seg = 3, Help = 4, Alarm = 5 };

// A small uppercase-style caption label in the muted tone.
QLabel* caption(const QString& text, QWidget* parent = nullptr);
// Sets the "tone" property ("sec", "muted", "go", "warn", "bad", "info"; null or "" clears it).
void setTone(QWidget* widget, const char* tone);
void style(QPushButton* button, Button member);
void setAlarm(QPushButton* button, bool on);
// The selected row's face in a table: "bright", "dim", or null/"" for the plain one.
void setTablePulse(QWidget* table, const char* pulse);
void setSmall(QPushButton* button);

} // namespace Inst
