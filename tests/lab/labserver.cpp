// The lab server: a test peer that plays a time server on one lab address. It answers
// discovery queries (correctly or in a chosen wrong way), answers beacon reports with heard
// answers and logs them, and answers SNTP with a chosen offset or fault. Several may run at
// once, each on its own address. tests/lab/README.md lists its options.
#include "datagram.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const std::set<std::string> kFlags{"--no-discovery", "--no-ntp", "--ntp-loopback"};
const std::set<std::string> kValued{"--address",    "--json",      "--send",
                                    "--delay",      "--heard",     "--report-log",
                                    "--ntp-offset", "--ntp-fault", "--ready-file"};
std::map<std::string, std::string> g_opt{
    {"--json", "{}"}, {"--heard", "normal"}, {"--ntp-fault", "none"}, {"--delay", "0"}};
std::vector<std::string> g_sends;
int g_delayMs = 0;
long long g_ntpOffsetMs = 0;
// Delayed answers wait here rather than in a sleep, so that SNTP and later queries are served.
std::deque<std::pair<Clock::time_point, std::function<void()>>> g_delayed;
volatile std::sig_atomic_t g_stop = 0;

int udpSocket(in_addr_t addr, uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0), on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    const sockaddr_in a{AF_INET, htons(port), {addr}, {}};
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        std::fprintf(stderr, "labserver: bind port %u: %s\n", port, std::strerror(errno));
        std::exit(1);
    }
    return fd;
}

struct Received
{
    std::string data;
    sockaddr_in from{};
    in_addr to{}; // destination, where the socket reports it
};

bool receive(int fd, Received& r)
{
    char buf[4096], control[256];
    iovec iov{buf, sizeof buf};
    msghdr m{&r.from, sizeof r.from, &iov, 1, control, sizeof control, 0};
    const ssize_t n = recvmsg(fd, &m, 0);
    if (n < 0) return false;
    r.data.assign(buf, size_t(n));
    r.to.s_addr = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
            r.to = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr;
    return true;
}

void reply(int fd, const Received& r, const void* bytes, size_t size)
{
    sendto(fd, bytes, size, 0, reinterpret_cast<const sockaddr*>(&r.from), sizeof r.from);
}

std::string withNonce(const std::string& json, const std::string& nonce)
{
    const size_t brace = json.find('{');
    if (brace == std::string::npos) return json;
    const bool empty = json.find_first_not_of(" \t\r\n", brace + 1) == json.find('}', brace);
    return json.substr(0, brace + 1) + "\"nonce\":\"" + nonce + "\"" + (empty ? "" : ",") +
           json.substr(brace + 1);
}

std::string framed(uint8_t type, const std::string& payload, size_t lengthField)
{
    std::string d = discovery::frame(type, "");
    d[6] = char((lengthField >> 8) & 0xFF), d[7] = char(lengthField & 0xFF);
    return d + payload;
}

// One answer to a query that carried nonce, as "--send KIND" asks; empty for an unknown kind.
std::string answer(const std::string& kind, const std::string& json, const std::string& nonce)
{
    using namespace discovery;
    const std::string reply = withNonce(json, nonce), stale = withNonce(json, nonce + "0");
    const auto value = [&] { return std::stoul(kind.substr(kind.find('=') + 1)); };
    const auto is = [&](const char* prefix) { return kind.rfind(prefix, 0) == 0; };
    if (kind == "reply") return framed(kTypeReply, reply, reply.size());
    if (kind == "stale") return framed(kTypeReply, stale, stale.size());
    if (kind == "no-nonce") return framed(kTypeReply, json, json.size());
    if (kind == "announce") return framed(kTypeAnnounce, json, json.size());
    if (is("type=")) return framed(uint8_t(value()), reply, reply.size());
    if (is("length=")) return framed(kTypeReply, reply, value());
    if (is("trailing=")) return framed(kTypeReply, reply + std::string(value(), ' '), reply.size());
    if (kind == "malformed") return framed(kTypeReply, "{\"nonce\":", 9);
    if (kind == "array") return framed(kTypeReply, "[" + reply + "]", reply.size() + 2);
    if (kind == "short") return framed(kTypeReply, "", 0).substr(0, 7);
    if (kind != "oversize") return {};
    std::string big = reply;
    big.insert(big.size() - 1, std::string(1025 - big.size(), ' '));
    return framed(kTypeReply, big, big.size());
}

// fd: the socket whose address the answer must come from.
void onDiscovery(int fd, const Received& r)
{
    const auto u = discovery::unframe(r.data, discovery::LengthRule::Exact);
    if (!u) return;
    const auto payload = nlohmann::json::parse(u->payload, nullptr, false);
    const std::string heard = g_opt["--heard"];
    if (u->type == discovery::kTypeQuery && !g_opt.count("--no-discovery")) {
        const auto n = payload.is_object() ? payload.value("nonce", nlohmann::json()) : nullptr;
        const auto due = Clock::now() + std::chrono::milliseconds(g_delayMs);
        for (const auto& kind : g_sends) {
            const std::string a =
                answer(kind, g_opt["--json"], n.is_string() ? n.get<std::string>() : "");
            if (!a.empty()) g_delayed.emplace_back(due, [=] { reply(fd, r, a.data(), a.size()); });
        }
    } else if (u->type == discovery::kTypeReport) {
        if (g_opt.count("--report-log")) {
            const bool broadcast =
                r.to.s_addr == htonl(INADDR_BROADCAST) || (ntohl(r.to.s_addr) & 0xFF) == 0xFF;
            std::ofstream(g_opt["--report-log"], std::ios::app)
                << (broadcast ? "broadcast " : "unicast ") << u->payload << std::endl;
        }
        if (heard == "silent" || !payload.is_object()) return;
        std::string id = heard == "other-id" ? "someone-else" : payload.value("id", std::string());
        for (char& c : id)
            if (heard == "upper-id") c = char(std::toupper(static_cast<unsigned char>(c)));
        const std::string body = nlohmann::json{{"id", id}}.dump();
        const std::string a =
            framed(heard == "type4" ? discovery::kTypeReport : discovery::kTypeHeard, body,
                   body.size() - (heard == "short-length" ? 1 : 0));
        reply(fd, r, a.data(), a.size());
    }
}

void putTimestamp(unsigned char* p, long long unixMs)
{
    const unsigned long long seconds = (unixMs / 1000 + 2208988800LL) & 0xFFFFFFFFULL;
    const unsigned long long fraction = ((unixMs % 1000) << 32) / 1000;
    for (int i = 0; i < 4; ++i)
        p[i] = (seconds >> (24 - 8 * i)) & 0xFF, p[4 + i] = (fraction >> (24 - 8 * i)) & 0xFF;
}

void onSntp(int fd, const Received& r)
{
    const std::string fault = g_opt["--ntp-fault"];
    if (r.data.size() < 48 || fault == "silent") return;
    const auto* q = reinterpret_cast<const unsigned char*>(r.data.data());
    using namespace std::chrono;
    const long long served =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() + g_ntpOffsetMs;
    unsigned char a[48] = {};
    a[0] = uint8_t((fault == "leap3" ? 3 << 6 : 0) | (q[0] & 0x38) | (fault == "mode" ? 3 : 4));
    a[1] = fault == "stratum0" ? 0 : 2;
    a[2] = q[2];
    a[3] = uint8_t(-20);
    std::memcpy(a + 12, "LAB", 3);
    putTimestamp(a + 16, served - 1000);
    std::memcpy(a + 24, q + 40, 8);
    if (fault == "originate") a[31] ^= 1;
    putTimestamp(a + 32, served);
    putTimestamp(a + 40, served);
    reply(fd, r, a, fault == "short" ? 47 : 48);
}

} // namespace

int main(int argc, char** argv)
{
    bool usable = true;
    for (int i = 1; usable && i < argc; ++i) {
        const std::string a = argv[i];
        const bool flag = kFlags.count(a) > 0;
        usable = flag || (kValued.count(a) && ++i < argc);
        if (usable && a == "--send") g_sends.push_back(argv[i]);
        if (usable && a != "--send") g_opt[a] = flag ? "" : argv[i];
    }
    in_addr own{};
    if (!usable || inet_pton(AF_INET, g_opt["--address"].c_str(), &own) != 1) {
        std::fputs("usage: labserver --address IPV4 [options] (tests/lab/README.md)\n", stderr);
        return 2;
    }
    if (g_sends.empty()) g_sends.push_back("reply");
    g_delayMs = std::stoi(g_opt["--delay"]);
    g_ntpOffsetMs = std::stoll(g_opt.count("--ntp-offset") ? g_opt["--ntp-offset"] : "0");
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGINT, [](int) { g_stop = 1; });

    // Broadcasts reach only sockets bound to the wildcard address; unicast to our address
    // prefers the socket bound to it, so several lab servers can share the port.
    const bool ntp = !g_opt.count("--no-ntp"), loopback = g_opt.count("--ntp-loopback");
    pollfd fds[4] = {{udpSocket(htonl(INADDR_ANY), discovery::kDiscoveryPort), POLLIN, 0},
                     {udpSocket(own.s_addr, discovery::kDiscoveryPort), POLLIN, 0},
                     {ntp ? udpSocket(own.s_addr, 123) : -1, POLLIN, 0}, // poll skips fd -1
                     {ntp && loopback ? udpSocket(htonl(INADDR_LOOPBACK), 123) : -1, POLLIN, 0}};
    if (g_opt.count("--ready-file")) std::ofstream(g_opt["--ready-file"]) << getpid() << "\n";
    while (!g_stop) {
        const auto next = g_delayed.empty() ? Clock::now() + std::chrono::milliseconds(200)
                                            : g_delayed.front().first;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        const int ready = poll(fds, 4, int(std::clamp<long long>(wait.count(), 0, 200)));
        for (; !g_delayed.empty() && g_delayed.front().first <= Clock::now(); g_delayed.pop_front())
            g_delayed.front().second();
        if (ready <= 0) continue;
        Received r;
        // A broadcast is answered from our own address, a query by loopback from loopback.
        if ((fds[0].revents & POLLIN) && receive(fds[0].fd, r))
            onDiscovery(r.to.s_addr == htonl(INADDR_LOOPBACK) ? fds[0].fd : fds[1].fd, r);
        if ((fds[1].revents & POLLIN) && receive(fds[1].fd, r))
            r.to = own, onDiscovery(fds[1].fd, r);
        for (int k : {2, 3})
            if ((fds[k].revents & POLLIN) && receive(fds[k].fd, r)) onSntp(fds[k].fd, r);
    }
    return 0;
}
