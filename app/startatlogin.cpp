// Start at login, and the copy into Applications that the platform asks for first.
#include "app/appmove.h"
#include "app/clientapp.h"
#include "app/platform/platform.h"
#include "ui/connectwindow.h"
#include "ui/dialogs.h"
#include "ui/waitcursor.h"

#include <QApplication>
#include <QPushButton>
#include <QSettings>

namespace {

// A question with an accept button (the default) and "Not Now" (Escape); true when accepted.
bool ask(QWidget* over, const QString& text, const QString& informative, const QString& accept)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tessavel Veridir"), text,
                    QMessageBox::NoButton, over);
    box.setInformativeText(informative);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    return Dialogs::exec(box) == yes;
}

} // namespace

QString ClientApp::movingWords()
{
    QString words = QStringLiteral(
        "For that, Veridir has to be in the Applications folder. It can copy itself there now "
        "and reopen from there. The copy you opened stays where it is.");
    if (AppMove::copyAlreadyThere())
        words += QStringLiteral(" The copy of Veridir already in Applications goes to the Trash.");
    return words;
}

void ClientApp::offerStartAtLogin()
{
    const bool inPlace = AppMove::inApplications();
    const QString informative =
        inPlace ? QStringLiteral("Veridir then comes back in the menu bar by itself each time "
                                 "you log in to this computer.")
                : movingWords();
    if (ask(mainWindow(), QStringLiteral("Start Veridir at login?"), informative,
            inPlace ? QStringLiteral("Start at Login") : QStringLiteral("Move to Applications")))
        setStartAtLogin(true, true);
}

void ClientApp::setStartAtLogin(bool on, bool alreadyAsked)
{
    ConnectWindow* owner = mainWindow(); // its switch shows the outcome
    if (!on) {
        unregisterLoginItem();
        owner->setStartAtLogin(false);
        return;
    }
    if (AppMove::inApplications()) {
        // The system may hold a registration back: show what it says now.
        registerLoginItem();
        owner->setStartAtLogin(isLoginItemRegistered());
        return;
    }
    if (!alreadyAsked && !ask(owner, QStringLiteral("Move Veridir to Applications?"), movingWords(),
                              QStringLiteral("Move to Applications"))) {
        owner->setStartAtLogin(false);
        return;
    }
    QString error;
    const QString moved = waiting([&] { return AppMove::copyToApplications(&error); });
    if (moved.isEmpty()) {
        owner->setStartAtLogin(false);
        Dialogs::inform(owner, QMessageBox::Warning, error);
        return;
    }
    // The new copy finishes the registration when it starts.
    QSettings().setValue(QStringLiteral("menuBar/startAtLoginAfterMove"), true);
    AppMove::openAfterQuit(moved);
    QCoreApplication::quit();
}
