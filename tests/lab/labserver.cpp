// The lab server: a test peer that plays a time server on one lab address. It answers
// discovery queries (correctly or in a chosen wrong way), answers beacon reports with heard
// answers and logs them, and answers SNTP with a chosen offset or fault. Several may run at
// once, each on its own address. Runs until SIGTERM or SIGINT.
#include "discovery/datagram.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kHelp =
    "usage: labserver --address A [options]\n"
    "  --json TEXT          discovery answer payload, a JSON object (default {})\n"
    "  --send KIND          what answers each query, repeatable (default reply):\n"
    "                       reply stale no-nonce announce type=N length=N trailing=N\n"
    "                       oversize malformed array short\n"
    "                       full (1032 bytes) long (1040 bytes, length field 1024)\n"
    "  --no-discovery       leave queries unanswered\n"
    "  --delay MS           wait before answering a query (orders several servers)\n"
    "  --heard MODE         normal silent other-id upper-id short-length type4 full long\n"
    "  --report-log FILE    append \"unicast|broadcast PAYLOAD\" per beacon report\n"
    "  --ntp-offset MS      offset of the served clock (default 0)\n"
    "  --ntp-fault F        none mode stratum0 leap3 originate short silent\n"
    "  --no-ntp             do not serve SNTP\n"
    "  --ntp-loopback       serve SNTP on 127.0.0.1 as well\n"
    "  --ready-file FILE    written once every socket is bound\n";

struct Options
{
    std::string address;
    std::string json = "{}";
    std::vector<std::string> sends;
    bool discovery = true;
    int delayMs = 0;
    bool ntpLoopback = false;
    std::string heard = "normal";
    std::string reportLog;
    long long ntpOffsetMs = 0;
    std::string ntpFault = "none";
    bool ntp = true;
    std::string readyFile;
};

volatile std::sig_atomic_t g_stop = 0;

[[noreturn]] void die(const std::string& what)
{
    std::fprintf(stderr, "labserver: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

int udpSocket(in_addr_t addr, uint16_t port, bool wildcardListener)
{
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) die("socket");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (wildcardListener) setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        die("bind port " + std::to_string(port));
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
    char buf[4096];
    char control[256];
    iovec iov{buf, sizeof buf};
    msghdr m{};
    m.msg_name = &r.from;
    m.msg_namelen = sizeof r.from;
    m.msg_iov = &iov;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd, &m, 0);
    if (n < 0) return false;
    r.data.assign(buf, size_t(n));
    r.to.s_addr = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
            r.to = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr;
    }
    return true;
}

// Replies from the address the datagram was meant for: ours, or loopback when it came that way.
void reply(int fd, const Received& r, const std::string& bytes, in_addr source)
{
    iovec iov{const_cast<char*>(bytes.data()), bytes.size()};
    msghdr m{};
    m.msg_name = const_cast<sockaddr_in*>(&r.from);
    m.msg_namelen = sizeof r.from;
    m.msg_iov = &iov;
    m.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (source.s_addr != 0) {
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&m);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = source;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    sendmsg(fd, &m, 0);
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
    d[6] = char((lengthField >> 8) & 0xFF);
    d[7] = char(lengthField & 0xFF);
    return d + payload;
}

// Spaces inside the object bring the payload to the largest size the header allows.
std::string fullSize(std::string json)
{
    json.insert(json.rfind('}'), std::string(discovery::kMaxPayload - json.size(), ' '));
    return json;
}

// "full": the largest valid datagram; "long": that and 8 bytes more, the length field still
// saying 1024.
std::string atFullSize(uint8_t type, const std::string& json, bool longer)
{
    return framed(type, fullSize(json), discovery::kMaxPayload) + std::string(longer ? 8 : 0, ' ');
}

std::vector<std::string> answersFor(const Options& o, const std::string& nonce)
{
    std::vector<std::string> out;
    const std::string reply = withNonce(o.json, nonce);
    for (const auto& kind : o.sends) {
        auto value = [&] { return std::stoul(kind.substr(kind.find('=') + 1)); };
        if (kind == "reply")
            out.push_back(framed(discovery::kTypeReply, reply, reply.size()));
        else if (kind == "stale")
            out.push_back(framed(discovery::kTypeReply, withNonce(o.json, nonce + "0"),
                                 withNonce(o.json, nonce + "0").size()));
        else if (kind == "no-nonce")
            out.push_back(framed(discovery::kTypeReply, o.json, o.json.size()));
        else if (kind == "announce")
            out.push_back(framed(discovery::kTypeAnnounce, o.json, o.json.size()));
        else if (kind.rfind("type=", 0) == 0)
            out.push_back(framed(uint8_t(value()), reply, reply.size()));
        else if (kind.rfind("length=", 0) == 0)
            out.push_back(framed(discovery::kTypeReply, reply, value()));
        else if (kind.rfind("trailing=", 0) == 0)
            out.push_back(
                framed(discovery::kTypeReply, reply + std::string(value(), ' '), reply.size()));
        else if (kind == "oversize") {
            std::string big = reply;
            big.insert(big.size() - 1, std::string(1025 - big.size(), ' '));
            out.push_back(framed(discovery::kTypeReply, big, big.size()));
        } else if (kind == "malformed")
            out.push_back(framed(discovery::kTypeReply, "{\"nonce\":", 9));
        else if (kind == "array")
            out.push_back(framed(discovery::kTypeReply, "[" + reply + "]", reply.size() + 2));
        else if (kind == "full" || kind == "long")
            out.push_back(atFullSize(discovery::kTypeReply, reply, kind == "long"));
        else if (kind == "short")
            out.push_back(framed(discovery::kTypeReply, "", 0).substr(0, 7));
    }
    return out;
}

using Clock = std::chrono::steady_clock;

// Delayed answers wait here rather than in a sleep, so that SNTP and later queries are
// served in the meantime.
struct Delayed
{
    Clock::time_point due;
    int fd;
    Received r;
    std::string bytes;
    in_addr source;
};
std::deque<Delayed> g_delayed;

void sendDue()
{
    while (!g_delayed.empty() && g_delayed.front().due <= Clock::now()) {
        const Delayed& d = g_delayed.front();
        reply(d.fd, d.r, d.bytes, d.source);
        g_delayed.pop_front();
    }
}

int msUntilNextDue(int most)
{
    if (g_delayed.empty()) return most;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(g_delayed.front().due - Clock::now());
    return int(std::clamp<long long>(left.count(), 0, most));
}

void onDiscovery(const Options& o, int fd, const Received& r, in_addr source)
{
    const auto u = discovery::unframe(r.data, discovery::LengthRule::Exact);
    if (!u) return;
    const auto payload = nlohmann::json::parse(u->payload, nullptr, false);
    if (u->type == discovery::kTypeQuery && o.discovery) {
        const std::string nonce =
            payload.is_object() && payload.value("nonce", nlohmann::json()).is_string()
                ? payload["nonce"].get<std::string>()
                : "";
        const auto due = Clock::now() + std::chrono::milliseconds(o.delayMs);
        for (const auto& a : answersFor(o, nonce))
            g_delayed.push_back({due, fd, r, a, source});
        sendDue();
    } else if (u->type == discovery::kTypeReport) {
        if (!o.reportLog.empty()) {
            std::ofstream log(o.reportLog, std::ios::app);
            const bool broadcast =
                r.to.s_addr == htonl(INADDR_BROADCAST) || (ntohl(r.to.s_addr) & 0xFF) == 0xFF;
            log << (broadcast ? "broadcast " : "unicast ") << u->payload << std::endl;
        }
        if (o.heard == "silent" || !payload.is_object()) return;
        std::string id = payload.value("id", std::string());
        if (o.heard == "other-id")
            id = "someone-else";
        else if (o.heard == "upper-id")
            for (auto& c : id)
                c = char(std::toupper(static_cast<unsigned char>(c)));
        const std::string body = nlohmann::json{{"id", id}}.dump();
        const uint8_t type = o.heard == "type4" ? discovery::kTypeReport : discovery::kTypeHeard;
        if (o.heard == "full" || o.heard == "long")
            reply(fd, r, atFullSize(type, body, o.heard == "long"), source);
        else
            reply(fd, r, framed(type, body, body.size() - (o.heard == "short-length" ? 1 : 0)),
                  source);
    }
}

void putTimestamp(unsigned char* p, long long unixMs)
{
    const unsigned long long seconds = (unixMs / 1000 + 2208988800LL) & 0xFFFFFFFFULL;
    const unsigned long long fraction = ((unixMs % 1000) << 32) / 1000;
    for (int i = 0; i < 4; ++i) {
        p[i] = (seconds >> (24 - 8 * i)) & 0xFF;
        p[4 + i] = (fraction >> (24 - 8 * i)) & 0xFF;
    }
}

void onSntp(const Options& o, int fd, const Received& r)
{
    if (r.data.size() < 48 || o.ntpFault == "silent") return;
    const auto* q = reinterpret_cast<const unsigned char*>(r.data.data());
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const long long served = ts.tv_sec * 1000LL + ts.tv_nsec / 1000000 + o.ntpOffsetMs;
    unsigned char a[48] = {};
    const int leap = o.ntpFault == "leap3" ? 3 : 0;
    const int mode = o.ntpFault == "mode" ? 3 : 4;
    a[0] = uint8_t((leap << 6) | (q[0] & 0x38) | mode);
    a[1] = o.ntpFault == "stratum0" ? 0 : 2;
    a[2] = q[2];
    a[3] = uint8_t(-20);
    std::memcpy(a + 12, "LAB", 3);
    putTimestamp(a + 16, served - 1000);
    std::memcpy(a + 24, q + 40, 8);
    if (o.ntpFault == "originate") a[31] ^= 1;
    putTimestamp(a + 32, served);
    putTimestamp(a + 40, served);
    const size_t size = o.ntpFault == "short" ? 47 : 48;
    sendto(fd, a, size, 0, reinterpret_cast<const sockaddr*>(&r.from), sizeof r.from);
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fputs(kHelp, stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--address")
            o.address = next();
        else if (a == "--json")
            o.json = next();
        else if (a == "--send")
            o.sends.push_back(next());
        else if (a == "--no-discovery")
            o.discovery = false;
        else if (a == "--delay")
            o.delayMs = std::stoi(next());
        else if (a == "--ntp-loopback")
            o.ntpLoopback = true;
        else if (a == "--heard")
            o.heard = next();
        else if (a == "--report-log")
            o.reportLog = next();
        else if (a == "--ntp-offset")
            o.ntpOffsetMs = std::stoll(next());
        else if (a == "--ntp-fault")
            o.ntpFault = next();
        else if (a == "--no-ntp")
            o.ntp = false;
        else if (a == "--ready-file")
            o.readyFile = next();
        else {
            std::fputs(kHelp, stderr);
            std::exit(2);
        }
    }
    if (o.address.empty()) {
        std::fputs(kHelp, stderr);
        std::exit(2);
    }
    if (o.sends.empty()) o.sends.push_back("reply");
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = parse(argc, argv);
    in_addr own{};
    if (inet_pton(AF_INET, o.address.c_str(), &own) != 1) {
        std::fprintf(stderr, "labserver: not an IPv4 address: %s\n", o.address.c_str());
        return 2;
    }
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGINT, [](int) { g_stop = 1; });

    // Broadcasts reach only sockets bound to the wildcard address; unicast to our address
    // prefers the socket bound to it, so several lab servers can share the port.
    const int wildcard = udpSocket(htonl(INADDR_ANY), discovery::kDiscoveryPort, true);
    const int unicast = udpSocket(own.s_addr, discovery::kDiscoveryPort, false);
    const int sntp = o.ntp ? udpSocket(own.s_addr, 123, false) : -1;
    const int sntpLoop =
        o.ntp && o.ntpLoopback ? udpSocket(htonl(INADDR_LOOPBACK), 123, false) : -1;
    if (!o.readyFile.empty()) std::ofstream(o.readyFile) << getpid() << "\n";

    // poll skips entries with a negative descriptor.
    pollfd fds[4] = {
        {wildcard, POLLIN, 0}, {unicast, POLLIN, 0}, {sntp, POLLIN, 0}, {sntpLoop, POLLIN, 0}};
    while (!g_stop) {
        const int ready = poll(fds, 4, msUntilNextDue(200));
        sendDue();
        if (ready <= 0) continue;
        Received r;
        if ((fds[0].revents & POLLIN) && receive(wildcard, r)) {
            const in_addr loop{htonl(INADDR_LOOPBACK)};
            onDiscovery(o, wildcard, r, r.to.s_addr == loop.s_addr ? loop : own);
        }
        if ((fds[1].revents & POLLIN) && receive(unicast, r)) {
            r.to = own;
            onDiscovery(o, unicast, r, in_addr{});
        }
        for (int k : {2, 3}) {
            if ((fds[k].revents & POLLIN) && receive(fds[k].fd, r)) onSntp(o, fds[k].fd, r);
        }
    }
    return 0;
}
