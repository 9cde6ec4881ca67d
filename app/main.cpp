#include "app/clientapp.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QLocalServer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
    QApplication::setApplicationVersion(QStringLiteral(TV_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ondavix"));
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
