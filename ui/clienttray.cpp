#include "ui/clienttray.h"

#include "inst/instscheme.h"

#include "ui/onceperburst.h"
#include "ui/plaintext.h"
#include "ui/serverrules.h"

#include "clock/clockwatcher.h"

#include <QApplication>
#include <QDateTime>
#include <QMenu>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int kWrongPulseMs = 450;
constexpr int kOffPulseMs = 900;

} // namespace

ClientTray::ClientTray(ClockWatcher* watcher, QObject* parent, bool withWords)
    : QObject(parent), watcher(watcher), withWords(withWords)
{
    menu = new QMenu;
    statusAction = menu->addAction(QString());
    statusAction->setEnabled(false);
    lastSyncAction = menu->addAction(QString());
    lastSyncAction->setEnabled(false);
    menu->addSeparator();
    alertAction = menu->addAction(QStringLiteral("Show the clock alert"));
    connect(alertAction, &QAction::triggered, this, &ClientTray::alertRequested);
    QAction* open = menu->addAction(QStringLiteral("Open Tessavel Veridir"));
    connect(open, &QAction::triggered, this, &ClientTray::openRequested);
    syncNowAction = menu->addAction(QStringLiteral("Sync now"));
    menu->setToolTipsVisible(true); // the warning while it is held back
    connect(syncNowAction, &QAction::triggered, this, &ClientTray::syncNowRequested);
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Tessavel Veridir"));
    connect(quit, &QAction::triggered, this, &ClientTray::quitRequested);

    // Clicking the item only opens its menu.
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setContextMenu(menu);

    blinkTimer = new QTimer(this);
    connect(blinkTimer, &QTimer::timeout, this, &ClientTray::onBlink);

    refreshOncePerBurst(watcher, this, [this] { refresh(); });
    connect(menu, &QMenu::aboutToShow, this, &ClientTray::fillMenu);
    connect(Inst::schemeNotifier(), &InstSchemeNotifier::changed, this, [this] {
        // Redraw only when the bar's colour turned.
        if (shownLook && menuBarIsDark() != shownLook->darkBar) showLamp();
    });
    refresh();
    fillMenu(); // for a platform whose menu does not say it is about to show
    trayIcon->show();
}

ClientTray::~ClientTray()
{
    delete menu;
}

void ClientTray::refresh()
{
    const ClockState state = watcher->state;

    if (!lampMoves(state)) {
        blinkTimer->stop();
        lit = true;
    } else {
        const int interval = state == ClockState::Wrong ? kWrongPulseMs : kOffPulseMs;
        // Left alone when it already runs at this pace, so the once-a-second refresh
        // does not break the rhythm.
        if (!blinkTimer->isActive() || blinkTimer->interval() != interval)
            blinkTimer->start(interval);
    }
    showLamp();

    // Each new tip costs the tray host a round trip, though it reads the same.
    const QString tip =
        PlainText::trayToolTip(QStringLiteral("Tessavel Veridir: %1").arg(statusWords()));
    if (tip != shownToolTip) {
        shownToolTip = tip;
        trayIcon->setToolTip(tip);
    }
    if (menu->isVisible()) fillMenu();
}

void ClientTray::showLamp()
{
    const LampLook look = lampLook(watcher->state, lit, menuBarIsDark(), withWords);
    if (look == shownLook) return;
    shownLook = look;
    trayIcon->setIcon(lampIcon(look));
    ++iconSetCount;
}

QString ClientTray::statusWords() const
{
    const ClockState state = watcher->state;
    const QString label = watcher->serverLabel();
    QString status = stateWords(state);
    if (state != ClockState::None && !label.isEmpty()) status += QStringLiteral(" · ") + label;
    return status;
}

void ClientTray::fillMenu()
{
    statusAction->setText(PlainText::menuText(statusWords()));
    const qint64 last = watcher->lastSyncUtcMs;
    lastSyncAction->setText(
        last < 1 ? QStringLiteral("Never synced")
                 : QStringLiteral("Last sync %1")
                       .arg(QDateTime::fromMSecsSinceEpoch(last).toLocalTime().toString(
                           QStringLiteral("ddd d MMM, HH:mm:ss"))));
    syncNowAction->setEnabled(canSyncNow(*watcher));
    syncNowAction->setToolTip(syncNowTooltip(*watcher));
    syncNowAction->setStatusTip(syncNowHeldBack(*watcher)); // read out while it is disabled
    alertAction->setVisible(watcher->state == ClockState::Wrong);
}

void ClientTray::onBlink()
{
    lit = !lit;
    showLamp();
}
