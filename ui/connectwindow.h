#pragma once
// The application's main window: this computer's clock against its server (clockpanel.h), the
// time servers on the network (serverlist.h), what this computer is set up with, the menu-bar
// switches, and the buttons that set up, remove and sync (their flows: connectflows.cpp).

#include "discovery/app/discoveredserver.h"

#include <QList>
#include <QString>
#include <QWidget>

class ClockPanel;
class ClockWatcher;
class InstModuleHeader;
class InstToggle;
class QLabel;
class QPushButton;
class QVBoxLayout;
class ServerList;

class ConnectWindow : public QWidget
{
    Q_OBJECT

public:
    ConnectWindow(ClockWatcher* watcher, QWidget* parent = nullptr);

    void setAlertPutAway(bool putAway);
    void setWatching(bool on);
    void setStartAtLogin(bool on);
    void setCanStartAtLogin(bool can);

    // Written by the application object: closing hides the window while it keeps watch.
    bool closesToMenuBar = false;

    // The window's two panels, for tests to read and drive as a user would.
    ServerList* serverList() const { return servers; }
    ClockPanel* clockPanel() const { return panel; }

signals:
    void watchingToggled(bool on);
    void startAtLoginToggled(bool on);
    void closedToMenuBar();
    void alertRequested();
    void historyRequested();

public slots:
    void startScan();
    // "Sync now" from the window's own button; syncNowFrom is the one way in for every place
    // that offers it, and records in the clock's history where it was asked.
    void syncNow();
    void syncNowFrom(const QString& where);
    void onFound(const QList<DiscoveredServer>& list);
    void setupSelected();
    void setupManual();
    void removeSetup();
    void updateStatus();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildServerSection(QVBoxLayout* into);
    void buildThisComputer(QVBoxLayout* into);
    void buildButtons(QVBoxLayout* into);
    void orderTabs();
    void onColorSchemeChanged();

    QString currentAddress() const;
    void refreshCurrent();
    void followListedServer();
    void updateButtons();
    void updateSetupLine();
    void updateWatchNote();

    void runInstall(const QString& address, const QString& label);
    void confirmSetUp(const QString& label);
    void beginAdminStep(const QString& statusText);
    void endAdminStep();

    ClockWatcher* watcher;
    QWidget* body = nullptr;
    InstModuleHeader* header = nullptr;
    ClockPanel* panel = nullptr;
    ServerList* servers = nullptr;
    QPushButton* manualButton = nullptr;
    QPushButton* setupButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* syncButton = nullptr;
    InstToggle* watchToggle = nullptr;
    InstToggle* loginToggle = nullptr;
    QLabel* loginNote = nullptr;
    QLabel* alertLine = nullptr;
    QLabel* watchNote = nullptr;
    QLabel* chaseWarning = nullptr;
    QLabel* setupLine = nullptr;
    bool hasBeforeSetup = false;
    bool firstShow = true;
    bool canStartAtLogin = true;
};
