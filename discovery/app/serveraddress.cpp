#include "discovery/app/serveraddress.h"

#include <QHostAddress>

ChosenAddress chooseServerAddress(const QList<QString>& addresses, const QList<QString>& answered)
{
    for (const QString& a : addresses) {
        if (answered.contains(a)) return {a, true};
    }
    for (const QString& a : addresses) {
        if (!QHostAddress(a).isLoopback()) // text that does not parse is not loopback
            return {a, false};
    }
    return {addresses.isEmpty() ? QString() : addresses.first(), false};
}
