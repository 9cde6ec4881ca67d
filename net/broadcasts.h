// Where a datagram for the whole local network goes: the broadcast address of every IPv4
// address entry of every interface that is up and not loopback.
#pragma once

#include <QHostAddress>
#include <QList>

QList<QHostAddress> interfaceBroadcasts();
