#pragma once
// The clock alert: raised when this computer's clock reads earlier than its last sync. It
// shows the time now, says what happened and what can be done, and offers the ways out as
// signals; the application object carries them out.

#include <QDateTime>
#include <QWidget>

class AlertCheck;
class ClockWatcher;
class InstLed;
class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;

class AlertWindow : public QWidget
{
    Q_OBJECT

public:
    AlertWindow(ClockWatcher* watcher, QWidget* parent = nullptr);

    // Fills every text and state from the watcher.
    void refresh();
    // Ticks the don't-ask box exactly when the password-free path is in force; not a click.
    void showDontAskAsItStands();

signals:
    void setClockRequested(const QDateTime& time, bool dontAskAgain);
    void giveUpDontAskAgainRequested();
    void shownOrPutAway();
    void syncNowRequested();
    void searchRequested();
    void acceptServerTimeRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum ActionMode { NoAction = 0, SyncNowAction = 1, AcceptServerTimeAction = 2 };

    void buildWidgets();
    QDateTime entered() const;
    void enableSet();
    void onAction();
    void onDontAskClicked(bool checked);

    ClockWatcher* watcher;
    InstLed* clockDigits = nullptr;
    QLabel* clockLine = nullptr;
    QLabel* sentence = nullptr;
    QLabel* advice = nullptr;
    QLabel* note = nullptr;
    QDateEdit* dateEditor = nullptr;
    QTimeEdit* timeEditor = nullptr;
    QPushButton* setButton = nullptr;
    QPushButton* actionButton = nullptr;
    QPushButton* searchButton = nullptr;
    AlertCheck* dontAskBox = nullptr;
    bool editorsFilled = false;
    int actionMode = NoAction;
    QDateTime lastSync; // the last sync as refresh() last read it, local time
};
