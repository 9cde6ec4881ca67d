#include "app/clientapp.h"

#include <QApplication>
#include <QLocalServer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
    QApplication::setApplicationVersion(QStringLiteral(TV_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ondavix"));
    QLocalServer* server = nullptr;
    if (!ClientApp::claimSingleInstance(&server))
        return 0; // the running copy shows itself
    ClientApp client(launchedAtLogin(QApplication::arguments()));
    client.adoptSingleInstance(server);
    return QApplication::exec();
}
