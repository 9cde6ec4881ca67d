#pragma once
// The clock's history in a window of its own: the strip chart and its ranges, the drift rate
// beside it, the measurement under the cursor, a legend, and "Export…" of the shown range as
// CSV. A history that cannot be read shows why, and nothing else. While hidden it reads
// nothing and paints nothing; what was added meanwhile is read when it shows again.

#include "clock/timesource.h"
#include "ui/historyscale.h"

#include <QList>
#include <QWidget>

class ClockHistory;
class HistoryStrip;
class InstModuleHeader;
class InstValue;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(ClockHistory* history, const TimeSource& time = TimeSource::system(),
                           QWidget* parent = nullptr);

    // Null when the history cannot be read.
    HistoryStrip* strip() const { return strip_; }
    void setRange(HistoryRange range);

public slots:
    // Asks where, then writes the range on show as CSV; a failure is said in a box.
    void exportShown();

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildChart(QWidget* parent, QVBoxLayout* into);
    void checkRange(HistoryRange range);
    void onAdded();
    void reread();
    void updateDrift();
    void updateNote();
    void applyTheme();

    ClockHistory* history_;
    const TimeSource& time_;
    QWidget* body_ = nullptr;
    InstModuleHeader* header_ = nullptr;
    QLabel* note_ = nullptr;
    QWidget* rangeBar_ = nullptr;
    QList<QPushButton*> rangeButtons_;
    QPushButton* exportButton_ = nullptr;
    HistoryStrip* strip_ = nullptr;
    InstValue* driftValue_ = nullptr;
    QLabel* driftSense_ = nullptr;
    QLabel* driftDetail_ = nullptr;
    QLabel* readout_ = nullptr;
    QTimer* soon_ = nullptr;   // one read for the samples and events of one turn of the loop
    QTimer* minute_ = nullptr; // while shown, "now" moves on even when nothing answers
    bool driftStale_ = true;
    bool appliedDark_ = false;
};
