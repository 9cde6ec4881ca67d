#include "app/clientapp.h"
#include "inst/instaccessible.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QLocalServer>
#include <QNetworkProxyFactory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
    QApplication::setApplicationVersion(QStringLiteral(TV_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ondavix"));
    // Broadcasts and SNTP on the local network never go through a proxy: asking the system
    // for one costs a thread and its proxy library's setup at every socket's bind.
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    // Before the first window or menu: screen readers meet them through the toolkit's interfaces.
    Inst::installAccessibility();
    QLocalServer* server = nullptr;
    QString error;
    const ClientApp::Instance claim = ClientApp::claimSingleInstance(&server, &error);
    if (claim == ClientApp::Instance::Unsure) // never a second copy that nothing guards
        Dialogs::inform(nullptr, QMessageBox::Warning, error);
    if (claim != ClientApp::Instance::Running)
        return claim == ClientApp::Instance::Unsure ? 1 : 0; // else the running copy shows itself
    ClientApp client(launchedAtLogin(QApplication::arguments()));
    client.adoptSingleInstance(server);
    return QApplication::exec();
}
