// The application's reading of one discovery answer datagram.
#pragma once

#include "discovery/app/discoveredserver.h"

#include <QByteArray>
#include <optional>

// The acceptance tests of the protocol with the application's exact-length rule; the record
// carries the sender's address with any IPv4-mapped prefix removed.
std::optional<DiscoveredServer> readDiscoveryAnswer(const QByteArray& datagram,
                                                    const QString& nonce, const QString& sender);

// The address text of a sender, without a leading "::ffff:".
QString senderText(const QString& address);
