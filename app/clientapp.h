#pragma once
// The application object: the one clock watcher, the main window and the clock alert wired
// together, one running copy per user, and the user's choice to keep watch in the menu bar.
#include "clock/clockstate.h"

#include <QObject>
#include <QString>
#include <QStringList>

class AlertWindow;
class ClientTray;
class ClockHistory;
class ClockWatcher;
class ConnectWindow;
class HistoryWindow;
class QDateTime;
class QLocalServer;

// True when the user's login started this process.
bool launchedAtLogin(const QStringList& arguments);
// True when the console changed hands this many seconds ago: a login moments before.
bool consoleChangeIsLogin(qint64 secondsSince);

class ClientApp : public QObject
{
    Q_OBJECT

public:
    explicit ClientApp(bool launchedAtLogin, QObject* parent = nullptr);
    ~ClientApp() override;

    // Running: this process is the running copy, and *server listens. AnotherRuns: another
    // copy runs and was told to show itself. Unsure: neither could be made sure of; *error
    // says so, for the user.
    enum class Instance { Running, AnotherRuns, Unsure };
    static Instance claimSingleInstance(QLocalServer** server, QString* error = nullptr);
    void adoptSingleInstance(QLocalServer* server);

    void setWatching(bool on);
    void showWindow(bool withAlert);
    void showAlert();
    // The clock's history, in a window made the first time it is asked for.
    void showHistory();
    void onStateChanged(ClockState state);
    void setClock(const QDateTime& time, bool dontAskAgain);
    void tidyDock();

    // Start at login and the move into Applications that it may need (startatlogin.cpp).
    void offerStartAtLogin();
    void setStartAtLogin(bool on, bool alreadyAsked);
    static QString movingWords();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // For tests.
    ConnectWindow* mainWindow(); // built on first call
    bool mainWindowBuilt() const { return window; }
    AlertWindow* alertWindow(); // built on first call
    ClientTray* menuBarItem() const { return tray; }
    HistoryWindow* historyWindow() const { return historyView; }
    ClockHistory* clockHistory() const { return history; }

private:
    void putAway();
    bool alertShown() const;

    ClockHistory* history = nullptr;
    ClockWatcher* watcher = nullptr;
    ConnectWindow* window = nullptr;
    AlertWindow* alert = nullptr;
    HistoryWindow* historyView = nullptr;
    ClientTray* tray = nullptr;
    QLocalServer* instanceServer = nullptr;
    bool watching = false;
};
