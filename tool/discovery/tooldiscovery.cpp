#include "tool/discovery/tooldiscovery.h"

#include "net/datagram.h"
#include "tool/plumbing.h"

#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ifaddrs.h>
#include <map>
#include <net/if.h>
#include <netinet/in.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tool {

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr int kQueryPasses = 3;
constexpr auto kPassPause = 50ms;

std::string dottedQuad(in_addr a)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

template <typename T> T member(const json& o, const char* key, T fallback)
{
    auto it = o.find(key);
    if (it == o.end()) return fallback;
    if constexpr (std::is_same_v<T, std::string>)
        return it->is_string() ? it->template get<std::string>() : fallback;
    else if constexpr (std::is_same_v<T, bool>)
        return it->is_boolean() ? it->template get<bool>() : fallback;
    else
        return it->is_number_integer() ? it->template get<T>() : fallback;
}

} // namespace

std::string randomNonce()
{
    static const char digits[] = "0123456789abcdef";
    std::random_device rd;
    std::uniform_int_distribution<int> pick(0, 15);
    std::string n;
    for (int i = 0; i < 8; ++i)
        n.push_back(digits[pick(rd)]);
    return n;
}

std::string buildQuery(const std::string& nonce)
{
    return discovery::frame(discovery::kTypeQuery,
                            discovery::queryPayload(nonce, "Tessavel Veridir (macOS)"));
}

std::vector<std::string> broadcastTargets()
{
    std::set<std::string> targets{"255.255.255.255", "127.0.0.1"};
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {targets.begin(), targets.end()};
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        in_addr a = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr;
        in_addr m = reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr;
        a.s_addr |= ~m.s_addr;
        targets.insert(dottedQuad(a));
    }
    freeifaddrs(list);
    return {targets.begin(), targets.end()};
}

std::optional<DiscoveredServer> acceptAnswer(std::string_view datagram, const std::string& nonce,
                                             const std::string& senderAddress)
{
    const auto u = discovery::unframe(datagram, discovery::LengthRule::AtLeast);
    if (!u || !discovery::isAnswerType(u->type)) return std::nullopt;
    const json o = json::parse(u->payload, nullptr, false);
    if (!o.is_object()) return std::nullopt;
    if (u->type == discovery::kTypeReply) {
        auto n = o.find("nonce");
        if (n == o.end() || !n->is_string() || n->get<std::string>() != nonce) return std::nullopt;
    }
    DiscoveredServer s;
    s.id = member<std::string>(o, "id", senderAddress);
    // Whoever is on the network chooses these texts, and the terminal shows them.
    s.name = visibleText(member<std::string>(o, "name", "(unnamed)"));
    s.ver = visibleText(member<std::string>(o, "ver", ""));
    s.stratum = member<std::int64_t>(o, "stratum", 0);
    s.synced = member<bool>(o, "synced", false);
    s.accepting = member<bool>(o, "accepting", false);
    s.source = visibleText(member<std::string>(o, "source", ""));
    s.clients = member<std::int64_t>(o, "clients", 0);
    s.address = senderAddress;
    return s;
}

std::vector<DiscoveredServer> discover(int timeoutMs)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::perror("socket");
        return {};
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    timeval wait{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);

    const std::string nonce = randomNonce();
    const std::string query = buildQuery(nonce);
    const auto targets = broadcastTargets();
    for (int pass = 0; pass < kQueryPasses; ++pass) {
        for (const auto& t : targets) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(discovery::kDiscoveryPort);
            if (inet_pton(AF_INET, t.c_str(), &to.sin_addr) == 1)
                sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof to);
        }
        std::this_thread::sleep_for(kPassPause);
    }

    std::map<std::string, DiscoveredServer> byId;
    std::string buf(discovery::kMaxDatagram, '\0');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n =
            recvfrom(fd, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                std::this_thread::sleep_for(20ms);
            continue;
        }
        if (auto s = acceptAnswer(std::string_view(buf.data(), size_t(n)), nonce,
                                  dottedQuad(from.sin_addr)))
            byId.insert_or_assign(s->id, *s);
    }
    close(fd);

    std::vector<DiscoveredServer> out;
    for (auto& [id, s] : byId)
        out.push_back(std::move(s));
    return out;
}

} // namespace tool
