// One time server the application found on the network.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

struct DiscoveredServer
{
    QString id;
    QString name;
    QString address;
    QString source;
    QString ver;
    qint32 stratum = 0;
    qint32 clients = 0;
    bool synced = false;
    bool accepting = false;
    bool answering = false;    // the chosen address answered an SNTP probe
    bool thisComputer = false; // heard from one of this computer's own addresses
    bool steady = false;
};

Q_DECLARE_METATYPE(DiscoveredServer)
