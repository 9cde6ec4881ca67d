#include "app/clientapp.h"

#include "app/appmove.h"
#include "app/platform/platform.h"
#include "clock/clockwatcher.h"
#include "clock/history.h"
#include "engine/engine.h"
#include "ui/alertwindow.h"
#include "ui/clienttray.h"
#include "ui/connectwindow.h"
#include "ui/dialogs.h"
#include "ui/historywindow.h"
#include "ui/serverrules.h"
#include "ui/waitcursor.h"

#include <QApplication>
#include <QDateTime>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSettings>
#include <memory>
#include <sys/stat.h>

namespace {

// Dock icon first, so that the window comes up in front on the Mac.
void bringUp(QWidget* window)
{
    setDockIconVisible(true);
    window->show();
    window->raise();
    window->activateWindow();
    activateApp();
}

} // namespace

bool launchedAtLogin(const QStringList& arguments)
{
    if (arguments.contains(QStringLiteral("--login"))) return true;
    struct stat console = {};
    if (stat("/dev/console", &console) != 0) return false;
    return consoleChangeIsLogin(QDateTime::currentSecsSinceEpoch() - qint64(console.st_ctime));
}

bool consoleChangeIsLogin(qint64 secondsSince)
{
    // Logging in hands the console to the user. A change "in the future" says only that the
    // clock was set back since, which this application exists to notice: not a login.
    return secondsSince >= 0 && secondsSince < 120;
}

ClientApp::ClientApp(bool atLogin, QObject* parent) : QObject(parent)
{
    // A history that cannot be kept says why in its window; the clock is watched all the same.
    history = new ClockHistory(ClockHistory::defaultPath(), this);
    watcher = new ClockWatcher(this);
    watcher->setHistory(history);
    // Before the main window hands the watcher its server: the record reads start, then server.
    watcher->noteEvent(HistoryEventKind::Start, atLogin ? QStringLiteral("at login") : QString());
    qApp->installEventFilter(this);
    connect(watcher, &ClockWatcher::stateChanged, this, &ClientApp::onStateChanged);
    connect(watcher, &ClockWatcher::wantsOsSync, this, [] { Engine::syncNowWithoutPassword(); });
    connect(watcher, &ClockWatcher::stateChanged, this, &ClientApp::putAway);

    QSettings settings;
    const bool watch = settings.value(QStringLiteral("menuBar/watch"), false).toBool();
    setWatching(watch);
    const QString afterMove = QStringLiteral("menuBar/startAtLoginAfterMove");
    if (settings.value(afterMove, false).toBool()) {
        settings.remove(afterMove);
        if (watch && AppMove::inApplications()) registerLoginItem();
    }

    if (!(atLogin && watch))
        showWindow(true);
    else
        followSetUpServer(*watcher); // as the main window would, without its cost in the menu bar
    if (watcher->state == ClockState::Wrong) bringUp(alertWindow());
}

ConnectWindow* ClientApp::mainWindow()
{
    // Built when first shown or asked for: a start at login keeps watch in the menu bar alone.
    if (window) return window;
    window = new ConnectWindow(watcher);
    connect(window, &ConnectWindow::watchingToggled, this, [this](bool on) {
        setWatching(on);
        if (on && !isLoginItemRegistered()) offerStartAtLogin();
    });
    connect(window, &ConnectWindow::startAtLoginToggled, this,
            [this](bool on) { setStartAtLogin(on, false); });
    connect(window, &ConnectWindow::closedToMenuBar, this, &ClientApp::tidyDock);
    connect(window, &ConnectWindow::alertRequested, this, &ClientApp::showAlert);
    connect(window, &ConnectWindow::historyRequested, this, &ClientApp::showHistory);
    window->setCanStartAtLogin(AppMove::inApplications());
    window->setWatching(watching);
    window->closesToMenuBar = watching;
    window->setStartAtLogin(watching && isLoginItemRegistered());
    window->setAlertPutAway(watcher->state == ClockState::Wrong && !alertShown());
    return window;
}

ClientApp::~ClientApp()
{
    // While the watcher still runs: it goes with this object, after the windows.
    watcher->noteEvent(HistoryEventKind::Quit);
    delete historyView;
    delete alert;
    delete window;
}

AlertWindow* ClientApp::alertWindow()
{
    // Built when first needed: most runs never show it.
    if (alert) return alert;
    alert = new AlertWindow(watcher);
    connect(alert, &AlertWindow::setClockRequested, this, &ClientApp::setClock);
    connect(alert, &AlertWindow::syncNowRequested, this,
            [this] { mainWindow()->syncNowFrom(QStringLiteral("from the alert")); });
    connect(alert, &AlertWindow::searchRequested, this, [this] {
        alert->hide();
        bringUp(mainWindow());
        window->startScan();
    });
    connect(alert, &AlertWindow::shownOrPutAway, this, &ClientApp::putAway);
    connect(alert, &AlertWindow::acceptServerTimeRequested, this, [this] {
        watcher->forgetLastSync();
        Engine::syncNowWithoutPassword();
    });
    connect(alert, &AlertWindow::giveUpDontAskAgainRequested, this, [this] {
        if (!waiting(&Engine::giveUpSettingClockWithoutPassword))
            Dialogs::inform(alert, QMessageBox::Warning,
                            QStringLiteral("This Mac did not confirm it. It may still set the "
                                           "clock from here without a password."));
        alert->showDontAskAsItStands();
    });
    return alert;
}

bool ClientApp::alertShown() const
{
    return alert && alert->isVisible();
}

ClientApp::Instance ClientApp::claimSingleInstance(QLocalServer** server, QString* error)
{
    QString why;
    const auto unsure = [&] {
        if (error)
            *error = QStringLiteral("Tessavel Veridir could not make sure it runs only once, so it "
                                    "does not start.\n\n") +
                     why;
        return Instance::Unsure;
    };
    const QString name = singleInstanceSocket(&why);
    if (name.isEmpty()) return unsure();
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (socket.waitForConnected(300)) {
        socket.write("show\n", 5);
        socket.waitForBytesWritten(300);
        return Instance::AnotherRuns;
    }
    // Left behind by a copy that crashed.
    QLocalServer::removeServer(name);
    auto listening = std::make_unique<QLocalServer>();
    if (!listening->listen(name)) {
        why = QStringLiteral("Its socket %1 could not be made (%2).")
                  .arg(name, listening->errorString());
        return unsure();
    }
    *server = listening.release();
    return Instance::Running;
}

void ClientApp::adoptSingleInstance(QLocalServer* server)
{
    instanceServer = server;
    if (!server) return;
    server->setParent(this);
    connect(server, &QLocalServer::newConnection, this, [this] {
        // Whatever a later copy says, it wants this copy in front.
        while (QLocalSocket* socket = instanceServer->nextPendingConnection())
            socket->deleteLater();
        showWindow(true);
    });
}

void ClientApp::setWatching(bool on)
{
    const bool was = watching;
    watching = on;
    QSettings().setValue(QStringLiteral("menuBar/watch"), on);
    QApplication::setQuitOnLastWindowClosed(!on);
    if (window) window->closesToMenuBar = on;
    watcher->setReporting(on);
    if (on && !tray) {
        tray = new ClientTray(watcher, this, menuBarTakesWideItems());
        connect(tray, &ClientTray::openRequested, this, [this] { showWindow(true); });
        connect(tray, &ClientTray::alertRequested, this, &ClientApp::showAlert);
        connect(tray, &ClientTray::syncNowRequested, this,
                [this] { mainWindow()->syncNowFrom(QStringLiteral("from the menu bar")); });
        connect(tray, &ClientTray::quitRequested, qApp, &QCoreApplication::quit);
    }
    if (!on) {
        delete tray;
        tray = nullptr;
        // Starting at login only makes sense while keeping watch.
        if (was) {
            unregisterLoginItem();
            if (window) window->setStartAtLogin(false);
        }
    }
}

void ClientApp::showWindow(bool withAlert)
{
    bringUp(mainWindow());
    if (withAlert && watcher->state == ClockState::Wrong && !alertShown()) bringUp(alertWindow());
}

void ClientApp::showAlert()
{
    bringUp(alertWindow());
}

void ClientApp::showHistory()
{
    if (!historyView) {
        historyView = new HistoryWindow(history);
        // A window beside the main one: closing the main window quits as before, this one open
        // or not.
        historyView->setAttribute(Qt::WA_QuitOnClose, false);
        connect(historyView, &HistoryWindow::closed, this, &ClientApp::tidyDock);
    }
    bringUp(historyView);
}

void ClientApp::onStateChanged(ClockState state)
{
    if (state == ClockState::Wrong)
        bringUp(alertWindow());
    else if (alertShown())
        alert->hide();
}

void ClientApp::putAway()
{
    if (window) window->setAlertPutAway(watcher->state == ClockState::Wrong && !alertShown());
    tidyDock();
}

void ClientApp::tidyDock()
{
    // Without watching the icon stays: closing the main window then quits.
    if (watching && !(window && window->isVisible()) && !alertShown() &&
        !(historyView && historyView->isVisible()))
        setDockIconVisible(false);
}

void ClientApp::setClock(const QDateTime& time, bool dontAskAgain)
{
    QString error;
    const Engine::SetClockResult result =
        waiting([&] { return Engine::setClock(time, dontAskAgain, &error); });
    if (result == Engine::SetClockResult::Set)
        watcher->noteEvent(HistoryEventKind::ClockSet,
                           QStringLiteral("to ") + time.toUTC().toString(Qt::ISODate));
    // A cancelled password prompt comes back without a text and shows nothing.
    if (result != Engine::SetClockResult::Set && !error.isEmpty())
        Dialogs::inform(alert ? static_cast<QWidget*>(alert) : window, QMessageBox::Warning, error);
    watcher->probeNow();
}

bool ClientApp::eventFilter(QObject* watched, QEvent* event)
{
    // Quitting must really close the windows, not hide them to the menu bar.
    if (watched == qApp && event->type() == QEvent::Quit && window) window->closesToMenuBar = false;
    return QObject::eventFilter(watched, event);
}
