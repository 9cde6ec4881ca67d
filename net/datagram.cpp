#include "net/datagram.h"

namespace discovery {

std::string frame(std::uint8_t type, std::string_view payload)
{
    if (payload.size() > kMaxPayload) return {};
    std::string d;
    d.reserve(kHeaderSize + payload.size());
    d.append(kMagic);
    d.push_back(char(kVersion));
    d.push_back(char(type));
    d.push_back(char((payload.size() >> 8) & 0xFF));
    d.push_back(char(payload.size() & 0xFF));
    d.append(payload);
    return d;
}

std::optional<Unframed> unframe(std::string_view d, LengthRule rule)
{
    if (d.size() < kHeaderSize || d.substr(0, 4) != kMagic || std::uint8_t(d[4]) != kVersion)
        return std::nullopt;
    const std::size_t length = (std::size_t(std::uint8_t(d[6])) << 8) | std::uint8_t(d[7]);
    if (length > kMaxPayload) return std::nullopt;
    const std::size_t body = d.size() - kHeaderSize;
    if (rule == LengthRule::Exact ? body != length : body < length) return std::nullopt;
    return Unframed{std::uint8_t(d[5]), d.substr(kHeaderSize, length)};
}

bool isAnswerType(std::uint8_t type)
{
    return type == kTypeAnnounce || type == kTypeReply;
}

std::string queryPayload(std::string_view nonce, std::string_view client)
{
    std::string p = "{\"nonce\":\"";
    p.append(nonce);
    p.append("\",\"client\":\"");
    p.append(client);
    p.append("\"}");
    return p;
}

} // namespace discovery
