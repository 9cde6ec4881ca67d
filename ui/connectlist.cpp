// The main window's server list, its buttons, the current server and the clock panel.
#include "ui/connectwindow.h"

#include "ui/clockpanel.h"
#include "ui/lamp.h"
#include "ui/plaintext.h"
#include "ui/serverrules.h"

#include "clock/clockwatcher.h"
#include "discovery/app/discoveryclient.h"
#include "discovery/app/displayname.h"
#include "engine/engine.h"
#include "inst/inst.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>

namespace {

constexpr int kListenMs = 1500;
constexpr qint64 kStaleListMs = 60'000;

} // namespace

void ConnectWindow::startScan()
{
    // A quiet refresh under way (the window just came back) becomes the search asked for.
    const bool running = discovery->isScanning();
    if (running && !quietRefresh) return;
    quietRefresh = false;
    statusLine->setText(QStringLiteral("Searching for time servers…"));
    searchButton->setEnabled(false);
    table->setRowCount(0);
    updateButtons();
    if (!running) discovery->scan(kListenMs);
}

void ConnectWindow::refreshInBackground()
{
    if (discovery->isScanning() || (sinceList.isValid() && sinceList.elapsed() < kStaleListMs))
        return;
    quietRefresh = true;
    searchButton->setEnabled(false);
    discovery->scan(kListenMs);
}

void ConnectWindow::onFound(const QList<DiscoveredServer>& list)
{
    bool hadSelection = false;
    const QString selectedId = selectedServer(&hadSelection).id;
    servers = list;
    sinceList.start();
    // A row number means another server in the new list: only the id may carry a selection over.
    table->clearSelection();
    searchButton->setEnabled(true);
    const int ready = fillTable();
    for (int i = 0; hadSelection && i < servers.size(); ++i)
        if (servers[i].id == selectedId) {
            table->selectRow(i);
            break;
        }

    int qualifying = 0;
    int only = -1;
    for (int i = 0; i < servers.size(); ++i)
        if (canSetUpWith(servers[i])) ++qualifying, only = i;
    bool selected = false;
    selectedServer(&selected);
    if (!selected && qualifying == 1) {
        table->selectRow(only);
        selected = true;
    }

    QString text = servers.isEmpty()
                       ? QStringLiteral("No servers found. Turn on \"Advertise on network\" on the "
                                        "server, or use \"Enter IP address…\".")
                       : QStringLiteral("Found %1 server%2 (%3 ready).")
                             .arg(servers.size())
                             .arg(servers.size() == 1 ? QString() : QStringLiteral("s"))
                             .arg(ready);
    if (qualifying >= 2 && !selected)
        text += QStringLiteral(" Select one, then click Set up this computer.");
    // A quiet refresh that found nothing new leaves a flow's last word in place.
    if (!(quietRefresh && text == lastStatusText)) statusLine->setText(text);
    lastStatusText = text;
    quietRefresh = false;

    if (!currentAddress.isEmpty()) {
        const DiscoveredServer* current = nullptr;
        for (const DiscoveredServer& s : servers)
            if (s.address == currentAddress) {
                current = &s;
                break;
            }
        if (current) {
            if (!current->name.isEmpty()) {
                QSettings settings;
                settings.setValue(QStringLiteral("server/address"), currentAddress);
                settings.setValue(QStringLiteral("server/name"), current->name);
                settings.setValue(QStringLiteral("server/steady"), current->steady);
            }
            watcher->setServer(currentAddress, current->name);
            watcher->serverSteady = current->steady;
            emit watcher->changed();
        } else {
            watcher->setServer(currentAddress, QString());
        }
    }
    updateButtons();
    updateStatus();
}

int ConnectWindow::fillTable()
{
    table->setRowCount(int(servers.size()));
    for (int row = 0; row < servers.size(); ++row) {
        const DiscoveredServer& s = servers[row];
        const QStringList cells{s.name, s.address,
                                s.stratum == 0 ? QStringLiteral("—") : QString::number(s.stratum)};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(col < 3 ? cells[col] : QString());
            if (col == 0) item->setFont(Inst::sans(12.5, QFont::Medium));
            if (!isReady(s)) item->setForeground(Inst::tokens()->mut);
            table->setItem(row, col, item);
        }
        InstChip::Tone tone = InstChip::Neutral;
        const QString word = serverStatusWord(s, currentAddress, &tone);
        auto* cell = new QWidget;
        auto* layout = new QHBoxLayout(cell);
        layout->setContentsMargins(0, 0, 10, 0);
        layout->addWidget(new InstChip(word, tone, cell), 0, Qt::AlignVCenter);
        layout->addStretch(1);
        // The old chip goes by deleteLater, which a modal box open now holds back until it
        // closes: hidden, it cannot show through the new one.
        if (QWidget* old = table->cellWidget(row, 3)) old->hide();
        table->setCellWidget(row, 3, cell);
    }
    return readyCount(servers);
}

void ConnectWindow::refillKeepingSelection()
{
    const QList<QTableWidgetSelectionRange> ranges = table->selectedRanges();
    fillTable();
    if (!ranges.isEmpty()) table->selectRow(ranges.first().topRow());
}

DiscoveredServer ConnectWindow::selectedServer(bool* ok) const
{
    const QList<QTableWidgetSelectionRange> ranges = table->selectedRanges();
    const int row = ranges.isEmpty() ? -1 : ranges.first().topRow();
    *ok = row >= 0 && row < servers.size();
    return *ok ? servers[row] : DiscoveredServer{};
}

bool ConnectWindow::canSetUpWith(const DiscoveredServer& server) const
{
    return ::canSetUpWith(server, currentAddress);
}

QString ConnectWindow::nameOf(const QString& address) const
{
    for (const DiscoveredServer& s : servers)
        if (s.address == address) return s.name;
    return QString();
}

void ConnectWindow::updateButtons()
{
    bool ok = false;
    const DiscoveredServer selected = selectedServer(&ok);
    setupButton->setEnabled(ok && canSetUpWith(selected));
    setupButton->setToolTip(setupTooltip(ok ? &selected : nullptr, currentAddress));

    removeButton->setEnabled(!currentAddress.isEmpty());
    syncButton->setEnabled(!currentAddress.isEmpty() && canSyncNow(*watcher));
    syncButton->setToolTip(syncNowTooltip(*watcher));
    chaseWarning->setVisible(!currentAddress.isEmpty() && watcher->chasesOwnServer());
    updateSetupLine();
}

void ConnectWindow::updateSetupLine()
{
    if (currentAddress.isEmpty()) {
        setupLine->setText(
            QStringLiteral("Not set up yet. Choose a server above and click Set up this "
                           "computer. From then on this computer syncs on its own, at startup "
                           "and every %1, whether or not Veridir is open.")
                .arg(syncIntervalText()));
        Inst::setTone(setupLine, "sec");
        return;
    }
    const QString name = PlainText::fitted(
        watcher->serverName.isEmpty() ? currentAddress : watcher->serverName, setupLine);
    setupLine->setText(QStringLiteral("Set up. This computer syncs with %1 on its own, at startup "
                                      "and every %2, whether or not Veridir is open.")
                           .arg(name, syncIntervalText()));
    Inst::setTone(setupLine, nullptr);
}

void ConnectWindow::refreshCurrent()
{
    const Engine::Setup setup = Engine::currentSetup();
    currentAddress = setup.server;
    discovery->setFollowedAddress(currentAddress);
    hasBeforeSetup = setup.hasBeforeSetup;
    QString name = nameOf(currentAddress);
    bool steady = false;
    if (!currentAddress.isEmpty()) {
        const QSettings settings;
        if (settings.value(QStringLiteral("server/address")).toString() == currentAddress) {
            if (name.isEmpty())
                name = displayName(settings.value(QStringLiteral("server/name")).toString());
            steady = settings.value(QStringLiteral("server/steady"), false).toBool();
        }
        for (const DiscoveredServer& s : servers)
            if (s.address == currentAddress) steady = s.steady;
    }
    watcher->setServer(currentAddress, name);
    watcher->serverSteady = steady;
    emit watcher->changed();
    updateButtons();
    updateStatus();
}

void ConnectWindow::updateStatus()
{
    // The status chips show the name in capitals: fitted as they will show it.
    const ClockReading reading{
        watcher->state,
        watcher->inputs(),
        PlainText::fitted(watcher->serverLabel().toUpper(), status->detailChip()),
        !watcher->serverAddressText.isEmpty(),
        watcher->heardAgoMs(),
        watcher->reporting,
        watcher->reportHeard()};
    const ClockPanelView v = clockPanelView(reading);
    header->dot()->setColor(lampColor(watcher->state));
    status->setText(v.status);
    status->setTone(v.tone);
    status->setDetailTone(v.detailTone);
    clockLed->setDim(false);
    clockLed->setTone(v.ledBad ? InstLed::Bad : InstLed::Go);
    clockLed->setText(v.clock);
    dateLine->setText(v.dateLine);
    if (v.offset.isEmpty()) {
        offsetReadout->setIdle(QStringLiteral("-.---"));
    } else {
        QString figure, unit;
        // A span text ("12 s") shows its figure on the LED and its unit beside it.
        if (v.offsetUnit.isEmpty() && InstValue::split(v.offset, &figure, &unit))
            offsetReadout->setValue(figure, unit);
        else
            offsetReadout->setValue(v.offset, v.offsetUnit);
    }
    lastSyncReadout->setValue(v.lastSync);
    heardReadout->setValue(v.heard, v.heardUnit);
    reportedReadout->setValue(v.reported);
    reportedReadout->setWordsTone(v.reportedTone);
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
