#include "net/broadcasts.h"

#include <QNetworkInterface>

QList<QHostAddress> interfaceBroadcasts()
{
    QList<QHostAddress> out;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack)) continue;
        for (const QNetworkAddressEntry& e : i.addressEntries()) {
            if (!e.broadcast().isNull() && e.ip().protocol() == QAbstractSocket::IPv4Protocol)
                out.append(e.broadcast());
        }
    }
    return out;
}
