#include "discovery/app/serveraddress.h"

#include <QHostAddress>
#include <QRegularExpression>

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

QString typedServerAddress(const QString& typed, QString* error)
{
    // What no single server's address can be, by subnet.
    struct Refused
    {
        quint32 network;
        int prefix;
        const char* why;
    };
    static const Refused refused[] = {
        {0, 32, "%1 stands for no address in particular, not for a server."},
        {0xFFFFFFFF, 32,
         "%1 is the broadcast address: it reaches every computer on the network, not one server."},
        {0xE0000000, 4,
         "%1 is a multicast address: it names a group of computers, not one server."},
        {0x7F000000, 8, "%1 is a loopback address: it always means this computer itself."},
    };
    // Qt's parser takes short forms such as "10.0.0" too, and reads "010" as octal 8.
    static const QRegularExpression fourParts(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    static const QRegularExpression leadingZero(QStringLiteral("(^|\\.)0[0-9]"));
    const QString text = typed.trimmed();
    const QString notIpv4 = QStringLiteral("That doesn't look like an IPv4 address. Enter it in "
                                           "the form 10.0.0.5.");
    const QHostAddress parsed(text);
    QString why;
    if (!fourParts.match(text).hasMatch())
        why = notIpv4;
    else if (leadingZero.match(text).hasMatch())
        why = QStringLiteral("%1 has a number with a leading zero, which some read as octal. Enter "
                             "the numbers without leading zeros, in the form 10.0.0.5.")
                  .arg(text);
    else if (parsed.protocol() != QAbstractSocket::IPv4Protocol)
        why = notIpv4;
    for (const Refused& r : refused) {
        if (why.isEmpty() && parsed.isInSubnet(QHostAddress(r.network), r.prefix))
            why = QString::fromLatin1(r.why).arg(parsed.toString()) +
                  QStringLiteral(" Enter the address of your Tessavel server on the network.");
    }
    if (error && !why.isEmpty()) *error = why;
    return why.isEmpty() ? parsed.toString() : QString();
}
