#include "discovery/app/discoveryanswer.h"

#include "discovery/app/displayname.h"
#include "net/datagram.h"

#include <QJsonDocument>
#include <QJsonObject>

QString senderText(const QString& address)
{
    return address.startsWith(QLatin1String("::ffff:")) ? address.mid(7) : address;
}

std::optional<DiscoveredServer> readDiscoveryAnswer(const QByteArray& datagram,
                                                    const QString& nonce, const QString& sender)
{
    const auto u = discovery::unframe(std::string_view(datagram.constData(), datagram.size()),
                                      discovery::LengthRule::Exact);
    if (!u || !discovery::isAnswerType(u->type)) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(u->payload.data(), qsizetype(u->payload.size())));
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    if (u->type == discovery::kTypeReply && o.value("nonce").toString() != nonce)
        return std::nullopt;

    auto text = [&](const char* key, const QString& fallback) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isString() ? v.toString() : fallback;
    };
    auto flag = [&](const char* key) { return o.value(QLatin1String(key)).toBool(false); };
    auto number = [&](const char* key) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isDouble() ? v.toInt(0) : 0;
    };
    DiscoveredServer s;
    s.address = senderText(sender);
    s.id = text("id", s.address);
    s.name = displayName(text("name", QStringLiteral("(unnamed)")));
    s.source = text("source", QString());
    s.ver = text("ver", QString());
    s.stratum = number("stratum");
    s.clients = number("clients");
    s.synced = flag("synced");
    s.accepting = flag("accepting");
    s.steady = flag("steady");
    return s;
}
