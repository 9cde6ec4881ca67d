#pragma once
// The menu-bar item while the user keeps watch: a lamp for the clock's state, pulsing when
// the clock is off or wrong, and a menu that tells the state and the last sync.

#include "ui/lamp.h"

#include <QObject>
#include <QString>
#include <optional>

class ClockWatcher;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

class ClientTray : public QObject
{
    Q_OBJECT

public:
    // Without room for words (a tray of square slots) the alarm shows the lamp alone.
    ClientTray(ClockWatcher* watcher, QObject* parent, bool withWords = true);
    ~ClientTray() override;

    // Follows the watcher: the pulse's pace, the icon and the tool tip, each only when it
    // changed; the menu's texts only while it is open (otherwise when it is about to show).
    void refresh();

    // For tests, which have no menu bar to click in: the menu whose actions they trigger.
    QMenu* contextMenu() const { return menu; }
    QSystemTrayIcon* icon() const { return trayIcon; }
    int iconsSet() const { return iconSetCount; }

signals:
    void openRequested();
    void alertRequested();
    void syncNowRequested();
    void quitRequested();

private:
    void onBlink();
    void showLamp();
    void fillMenu();
    QString statusWords() const;

    ClockWatcher* watcher;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* menu = nullptr;
    QAction* statusAction = nullptr;
    QAction* lastSyncAction = nullptr;
    QAction* syncNowAction = nullptr;
    QAction* alertAction = nullptr;
    QTimer* blinkTimer = nullptr;
    bool lit = true;
    std::optional<LampLook> shownLook;
    QString shownToolTip;
    int iconSetCount = 0;
    const bool withWords;
};
