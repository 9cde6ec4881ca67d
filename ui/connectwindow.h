#pragma once
// The application's main window: this computer's clock against its server, the time servers
// on the network, what this computer is set up with, the menu-bar switches, and the buttons
// that set up, remove and sync (their flows live in connectflows.cpp).

#include "discovery/app/discoveredserver.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QWidget>

class ClockWatcher;
class DiscoveryClient;
class InstLed;
class InstModuleHeader;
class InstReadout;
class InstStatus;
class InstToggle;
class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

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

signals:
    void watchingToggled(bool on);
    void startAtLoginToggled(bool on);
    void closedToMenuBar();
    void alertRequested();

public slots:
    void startScan();
    void syncNow();
    void onFound(const QList<DiscoveredServer>& list);
    void setupSelected();
    void setupManual();
    void removeSetup();
    void updateStatus();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TestConnectWindow;

    void buildClockPanel(QWidget* parent, QVBoxLayout* into);
    void buildServerSection(QWidget* parent, QVBoxLayout* into);
    void buildThisComputer(QWidget* parent, QVBoxLayout* into);
    void buildButtons(QWidget* parent, QVBoxLayout* into);
    void refreshInBackground();
    void applyTheme();
    void onColorSchemeChanged();
    void refillKeepingSelection();

    void refreshCurrent();
    int fillTable();
    DiscoveredServer selectedServer(bool* ok) const;
    bool canSetUpWith(const DiscoveredServer& server) const;
    QString nameOf(const QString& address) const;
    void updateButtons();
    void updateSetupLine();
    void updateWatchNote();

    void runInstall(const QString& address, const QString& label);
    void confirmSetUp(const QString& label);
    void beginAdminStep(const QString& statusText);
    void endAdminStep();

    ClockWatcher* watcher;
    DiscoveryClient* discovery = nullptr;
    QWidget* body = nullptr;
    InstModuleHeader* header = nullptr;
    InstStatus* status = nullptr;
    InstLed* clockLed = nullptr;
    QLabel* dateLine = nullptr;
    InstReadout* offsetReadout = nullptr;
    InstReadout* lastSyncReadout = nullptr;
    InstReadout* heardReadout = nullptr;
    InstReadout* reportedReadout = nullptr;
    QTableWidget* table = nullptr;
    QPushButton* searchButton = nullptr;
    QPushButton* manualButton = nullptr;
    QPushButton* setupButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* syncButton = nullptr;
    InstToggle* watchToggle = nullptr;
    InstToggle* loginToggle = nullptr;
    QLabel* loginNote = nullptr;
    QLabel* statusLine = nullptr;
    QLabel* alertLine = nullptr;
    QLabel* watchNote = nullptr;
    QLabel* chaseWarning = nullptr;
    QLabel* setupLine = nullptr;
    QList<DiscoveredServer> servers;
    QString currentAddress;
    bool hasBeforeSetup = false;
    bool firstShow = true;
    bool canStartAtLogin = true;
    QElapsedTimer sinceList;
    bool quietRefresh = false;
    QString lastStatusText;
};
