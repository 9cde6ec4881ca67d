// Which of the addresses a server was heard from the application should use.
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
