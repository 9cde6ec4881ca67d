// The main window's actions that change how this computer keeps time: set up with the
// selected or a typed server, remove the setup, sync now.
#include "ui/connectwindow.h"

#include "ui/dialogs.h"
#include "ui/plaintext.h"
#include "ui/serverlist.h"
#include "ui/serverrules.h"
#include "ui/waitcursor.h"

#include "clock/clockwatcher.h"
#include "discovery/app/discoveryclient.h"
#include "discovery/app/serveraddress.h"
#include "engine/engine.h"
#include "inst/insttoggle.h"

#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

const char* const kInstallPrompt =
    "Tessavel Veridir needs an administrator password to set up time syncing on this Mac.";
const char* const kRemovePrompt =
    "Tessavel Veridir needs an administrator password to remove time syncing from this Mac.";
const char* const kSyncPrompt = "Tessavel Veridir needs an administrator password to sync this "
                                "Mac's clock now. After this once, Sync now does not ask.";

// The address is what gets set up, so it comes first; the name, which anyone on the network
// chooses, follows on a line of its own where it cannot pass for the address.
QString nameLine(const QString& name)
{
    return QStringLiteral("Its name on the network: \"%1\"").arg(name);
}

void warn(QWidget* parent, const QString& text)
{
    Dialogs::inform(parent, QMessageBox::Warning, text);
}

} // namespace

void ConnectWindow::beginAdminStep(const QString& statusText)
{
    setupButton->setEnabled(false);
    manualButton->setEnabled(false);
    removeButton->setEnabled(false);
    servers->statusLine()->setText(statusText);
}

void ConnectWindow::endAdminStep()
{
    manualButton->setEnabled(true);
    refreshCurrent();
    servers->fill();
    updateButtons();
}

void ConnectWindow::setupSelected()
{
    bool ok = false;
    const DiscoveredServer server = servers->selectedServer(&ok);
    if (!ok || !servers->canSetUpWith(server)) return;

    const bool answers =
        waiting([&] { return DiscoveryClient::answersTimeNow(server.address, 500); });
    if (!answers) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Tessavel Veridir"),
                        QStringLiteral("The server at %1 did not answer a time request just now."
                                       "\n\n%2")
                            .arg(server.address, nameLine(server.name)),
                        QMessageBox::Cancel, this);
        box.setInformativeText(QStringLiteral("It may have a new address, or not be serving time "
                                              "yet. Search again to find it where it is now."));
        QPushButton* search =
            box.addButton(QStringLiteral("Search again"), QMessageBox::AcceptRole);
        QPushButton* anyway =
            box.addButton(QStringLiteral("Set up anyway"), QMessageBox::DestructiveRole);
        box.setDefaultButton(search);
        QAbstractButton* chosen = Dialogs::exec(box);
        if (chosen == search) startScan();
        if (chosen != anyway) return;
    }

    QMessageBox ask(
        QMessageBox::Question, QStringLiteral("Set up syncing"),
        QStringLiteral("Set this computer to sync its clock with the server at %1?\n\n%2\n\nYou'll "
                       "be asked for an administrator password.")
            .arg(server.address, nameLine(server.name)),
        QMessageBox::Ok | QMessageBox::Cancel, this);
    if (Dialogs::exec(ask) != ask.button(QMessageBox::Ok)) return;
    runInstall(server.address, QStringLiteral("\"%1\"").arg(server.name));
}

void ConnectWindow::setupManual()
{
    QString typed;
    if (!Dialogs::getText(this, QStringLiteral("Enter server address"),
                          QStringLiteral("IP address of your Tessavel server (for example, "
                                         "10.0.0.5):"),
                          &typed))
        return;
    if (typed.trimmed().isEmpty()) return;
    QString error;
    const QString address = typedServerAddress(typed, &error);
    if (address.isEmpty()) {
        warn(this, error);
        return;
    }
    if (ClockWatcher::isThisComputer(QHostAddress(address))) {
        bool steadyHere = false;
        for (const DiscoveredServer& s : servers->servers())
            steadyHere = steadyHere || (s.thisComputer && s.steady);
        if (!steadyHere) {
            warn(this, QStringLiteral("%1 is this computer. The server on it cannot be followed "
                                      "from this same computer: the two would chase each other. "
                                      "Update Tessavel Server, then search again.")
                           .arg(address));
            return;
        }
    }
    runInstall(address, QStringLiteral("the server at %1").arg(address));
}

void ConnectWindow::runInstall(const QString& address, const QString& label)
{
    beginAdminStep(QStringLiteral("Setting up…"));
    QLabel* statusLine = servers->statusLine();
    QString error;
    const Engine::RunResult result = waiting([&] {
        return Engine::run({QStringLiteral("install"), QStringLiteral("--server"), address},
                           QLatin1String(kInstallPrompt), &error);
    });
    endAdminStep();
    switch (result) {
    case Engine::RunResult::Done:
        statusLine->setText(
            QStringLiteral("Done — syncing with %1.").arg(PlainText::fitted(label, statusLine)));
        confirmSetUp(label);
        break;
    case Engine::RunResult::NoAnswer:
        statusLine->setText(QStringLiteral("Set up, but %1 did not answer.").arg(address));
        warn(this, QStringLiteral("%1 did not answer a time request.\n\nThis computer is set up "
                                  "and keeps trying at startup and every %2. Check the "
                                  "address, and that Tessavel Server is running there. To undo "
                                  "the setup, click Remove….")
                       .arg(address, syncIntervalText()));
        break;
    case Engine::RunResult::Failed:
        statusLine->setText(QStringLiteral("Setup did not complete."));
        if (!Engine::wasCancelled(error))
            warn(this, error.isEmpty() ? QStringLiteral("Setup did not complete.") : error);
        break;
    }
}

void ConnectWindow::confirmSetUp(const QString& label)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tessavel Veridir"),
                    QStringLiteral("This computer is set up."), QMessageBox::NoButton, this);
    QString more = QStringLiteral("It syncs with %1 on its own from now on, at startup and every "
                                  "%2.")
                       .arg(label, syncIntervalText());
    if (watchToggle->isChecked()) {
        box.setInformativeText(more);
        box.setStandardButtons(QMessageBox::Ok);
        Dialogs::exec(box);
        return;
    }
    more += QStringLiteral(" Veridir does not need to stay open.\n\nKeeping Veridir in the menu "
                           "bar is optional: it shows a lamp for this computer's clock and tells "
                           "the server how the clock stands.");
    box.setInformativeText(more);
    QPushButton* done = box.addButton(QStringLiteral("Done"), QMessageBox::AcceptRole);
    QPushButton* keep =
        box.addButton(QStringLiteral("Keep in the Menu Bar"), QMessageBox::ActionRole);
    QPushButton* quit = box.addButton(QStringLiteral("Quit Veridir"), QMessageBox::ActionRole);
    box.setDefaultButton(done);
    box.setEscapeButton(done);
    QAbstractButton* chosen = Dialogs::exec(box);
    if (chosen == keep) watchToggle->click(); // as the user's own flip: the signal goes out
    if (chosen == quit) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void ConnectWindow::removeSetup()
{
    if (currentAddress().isEmpty()) return;
    const QString address = currentAddress(); // named in the messages after the setup is gone
    const QString destination = hasBeforeSetup ? QStringLiteral("what they were before setup")
                                               : platformDefaultTimeServer();
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Remove syncing"),
                    QStringLiteral("Stop syncing this computer with %1?").arg(address),
                    QMessageBox::Cancel, this);
    ask.setInformativeText(QStringLiteral("Its time settings go back to %1. You'll be asked for "
                                          "an administrator password.")
                               .arg(destination));
    QPushButton* remove = ask.addButton(QStringLiteral("Remove"), QMessageBox::AcceptRole);
    ask.setDefaultButton(QMessageBox::Cancel);
    if (Dialogs::exec(ask) != remove) return;

    beginAdminStep(QStringLiteral("Removing…"));
    QLabel* statusLine = servers->statusLine();
    QString error;
    const Engine::RunResult result = waiting([&] {
        return Engine::run({QStringLiteral("remove")}, QLatin1String(kRemovePrompt), &error);
    });
    endAdminStep();
    if (result != Engine::RunResult::Failed) {
        statusLine->setText(QStringLiteral("Removed — no longer syncing with %1.").arg(address));
        Dialogs::inform(this, QMessageBox::Information,
                        QStringLiteral("This computer no longer syncs with %1. Its time settings "
                                       "are back to %2.")
                            .arg(address, destination));
        return;
    }
    statusLine->setText(QStringLiteral("Removal did not complete."));
    if (!Engine::wasCancelled(error))
        warn(this, error.isEmpty() ? QStringLiteral("Removal did not complete.") : error);
}

void ConnectWindow::syncNow()
{
    syncNowFrom(QStringLiteral("from the main window"));
}

void ConnectWindow::syncNowFrom(const QString& where)
{
    // The menu-bar item and the alert ask here too: the button's rule holds for them, and only
    // a sync it lets go ahead is recorded.
    QLabel* statusLine = servers->statusLine();
    if (currentAddress().isEmpty() || !canSyncNow(*watcher)) return;
    watcher->noteEvent(HistoryEventKind::SyncNow, where);
    if (Engine::syncNowWithoutPassword()) {
        statusLine->setText(QStringLiteral("Asked this computer to sync now."));
        watcher->probeNow();
        return;
    }
    statusLine->setText(QStringLiteral("Syncing…"));
    const QString address = currentAddress();
    const Engine::RunResult result = waiting([&] {
        return Engine::run({QStringLiteral("install"), QStringLiteral("--server"), address},
                           QLatin1String(kSyncPrompt));
    });
    statusLine->setText(result == Engine::RunResult::Done
                            ? QStringLiteral("Synced with %1.").arg(address)
                        : result == Engine::RunResult::NoAnswer
                            ? QStringLiteral("%1 did not answer a time request.").arg(address)
                            : QStringLiteral("The sync did not complete."));
    refreshCurrent();
    watcher->probeNow();
}
