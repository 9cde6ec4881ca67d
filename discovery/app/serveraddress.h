// Which of the addresses a server was heard from the application should use, and what an
// address typed for a server means.
#pragma once

#include <QList>
#include <QString>

struct ChosenAddress
{
    QString address;
    bool answered = false;
};

// The first address that answered SNTP; else the first that is not loopback; else the first.
ChosenAddress chooseServerAddress(const QList<QString>& addresses, const QList<QString>& answered);

// The canonical text of the IPv4 address of one server in typed (blanks around it allowed);
// empty, with the reason in *error, for text that is no such address.
QString typedServerAddress(const QString& typed, QString* error);
