// The main window's state: the server this computer is set up with, the buttons' enabling,
// the setup line, the clock panel's refresh, the watch and login rows, and the alert line.
#include "ui/connectwindow.h"

#include "ui/clockpanel.h"
#include "ui/lamp.h"
#include "ui/plaintext.h"
#include "ui/serverlist.h"
#include "ui/serverrules.h"

#include "clock/clockwatcher.h"
#include "engine/engine.h"
#include "inst/inst.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>

void ConnectWindow::startScan()
{
    servers->startScan();
}

void ConnectWindow::onFound(const QList<DiscoveredServer>& list)
{
    servers->take(list);
}

QString ConnectWindow::currentAddress() const
{
    return servers->currentAddress();
}

void ConnectWindow::followListedServer()
{
    const QString current = currentAddress();
    if (!current.isEmpty()) {
        const DiscoveredServer* listed = nullptr;
        for (const DiscoveredServer& s : servers->servers())
            if (s.address == current) {
                listed = &s;
                break;
            }
        if (listed) {
            if (!listed->name.isEmpty()) {
                QSettings settings;
                settings.setValue(QStringLiteral("server/address"), current);
                settings.setValue(QStringLiteral("server/name"), listed->name);
                settings.setValue(QStringLiteral("server/steady"), listed->steady);
            }
            watcher->setServer(current, listed->name);
            watcher->serverSteady = listed->steady;
            emit watcher->changed();
        } else {
            watcher->setServer(current, QString());
        }
    }
    updateButtons();
    updateStatus();
}

void ConnectWindow::updateButtons()
{
    const QString current = currentAddress();
    bool ok = false;
    const DiscoveredServer selected = servers->selectedServer(&ok);
    setupButton->setEnabled(ok && servers->canSetUpWith(selected));
    setupButton->setToolTip(setupTooltip(ok ? &selected : nullptr, current));

    removeButton->setEnabled(!current.isEmpty());
    syncButton->setEnabled(!current.isEmpty() && canSyncNow(*watcher));
    syncButton->setToolTip(syncNowTooltip(*watcher));
    syncButton->setAccessibleDescription(syncNowHeldBack(*watcher)); // else the tooltip is read
    chaseWarning->setVisible(!current.isEmpty() && watcher->chasesOwnServer());
    updateSetupLine();
}

void ConnectWindow::updateSetupLine()
{
    const QString current = currentAddress();
    if (current.isEmpty()) {
        setupLine->setText(
            QStringLiteral("Not set up yet. Choose a server above and click Set up this "
                           "computer. From then on this computer syncs on its own, at startup "
                           "and every %1, whether or not Veridir is open.")
                .arg(syncIntervalText()));
        Inst::setTone(setupLine, "sec");
        return;
    }
    const QString name =
        PlainText::fitted(watcher->serverName.isEmpty() ? current : watcher->serverName, setupLine);
    setupLine->setText(QStringLiteral("Set up. This computer syncs with %1 on its own, at startup "
                                      "and every %2, whether or not Veridir is open.")
                           .arg(name, syncIntervalText()));
    Inst::setTone(setupLine, nullptr);
}

void ConnectWindow::refreshCurrent()
{
    const Engine::Setup setup = Engine::currentSetup();
    const QString current = setup.server;
    servers->setCurrentAddress(current);
    hasBeforeSetup = setup.hasBeforeSetup;
    const SavedServer saved = savedServer(current);
    QString name = servers->nameOf(current);
    if (name.isEmpty()) name = saved.name;
    bool steady = saved.steady;
    for (const DiscoveredServer& s : servers->servers())
        if (!current.isEmpty() && s.address == current) steady = s.steady;
    watcher->setServer(current, name);
    watcher->serverSteady = steady;
    emit watcher->changed();
    updateButtons();
    updateStatus();
}

void ConnectWindow::updateStatus()
{
    header->dot()->setColor(lampColor(watcher->state));
    // Said as the menu-bar lamp's state, not as its colour; told only when it turns.
    const QString state = stateWords(watcher->state);
    if (header->dot()->accessibleName() != state) header->dot()->setAccessibleName(state);
    panel->show(*watcher);
}

void ConnectWindow::updateWatchNote()
{
    const bool watching = watchToggle->isChecked();
    watchNote->setText(watching ? QString() : QStringLiteral("Optional"));
    loginToggle->setEnabled(watching);
    if (!watching && loginToggle->isChecked()) {
        const QSignalBlocker quiet(loginToggle);
        loginToggle->setChecked(false);
    }
    loginNote->setText(watching && !canStartAtLogin
                           ? QStringLiteral("Moves Veridir to Applications first")
                           : QString());
    // An empty note is no label to a screen reader.
    watchNote->setVisible(!watchNote->text().isEmpty());
    loginNote->setVisible(!loginNote->text().isEmpty());
}

void ConnectWindow::setWatching(bool on)
{
    {
        const QSignalBlocker quiet(watchToggle);
        watchToggle->setChecked(on);
    }
    updateWatchNote();
}

void ConnectWindow::setStartAtLogin(bool on)
{
    {
        const QSignalBlocker quiet(loginToggle);
        loginToggle->setChecked(on);
    }
    updateWatchNote();
}

void ConnectWindow::setCanStartAtLogin(bool can)
{
    canStartAtLogin = can;
    updateWatchNote();
}

void ConnectWindow::setAlertPutAway(bool putAway)
{
    if (putAway)
        alertLine->setText(
            QStringLiteral("<span style=\"color:%1\">This computer's clock reads earlier than its "
                           "last sync.</span> <a href=\"alert\" style=\"color:%2; "
                           "text-decoration:none\">Show the clock alert</a>")
                .arg(Inst::tokens()->red.name(), Inst::tokens()->accent.name()));
    alertLine->setVisible(putAway);
}
