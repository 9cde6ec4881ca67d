// The lab server: a test peer that plays a time server on one lab address. It answers
// discovery queries (correctly or in a chosen wrong way), answers beacon reports with heard
// answers and logs them, and answers SNTP with the system's time or a chosen fault. Several may
// run at once, each on its own address. tests/lab/README.md lists its options.
#include "net/datagram.h"
#include "net/sntp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string kFlags = " --no-discovery --no-ntp --ntp-loopback ";
const std::string kValued =
    " --address --json --send --ids --delay --report-log --ntp-fault --ntp-log --ready-file ";
std::map<std::string, std::string> g_opt{{"--json", "{}"}};
std::vector<std::string> g_sends;

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

// Every "%n" of the JSON replaced by k, the number of the server on this address, and every
// "%s" by the --send kind of the answer.
std::string filled(std::string json, int k, const std::string& kind)
{
    for (const auto& [mark, by] : {std::pair{"%n", std::to_string(k)}, {"%s", kind}})
        for (size_t at = json.find(mark); at != std::string::npos; at = json.find(mark, at))
            json.replace(at, 2, by);
    return json;
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
    if (is("trailing=")) return framed(kTypeReply, reply + std::string(value(), ' '), reply.size());
    if (kind == "malformed") return framed(kTypeReply, "{\"nonce\":", 9);
    if (kind == "array") return framed(kTypeReply, "[" + reply + "]", reply.size() + 2);
    // "full": the largest valid answer, spaces inside the object filling the payload; "long":
    // that and 8 bytes more, the length field still saying 1024; "oversize": 1025 bytes.
    const bool full = kind == "full" || kind == "long";
    if (!full && kind != "oversize") return {};
    std::string padded = reply;
    padded.insert(padded.rfind('}'), std::string(kMaxPayload + !full - reply.size(), ' '));
    return framed(kTypeReply, padded + std::string(kind == "long" ? 8 : 0, ' '),
                  full ? kMaxPayload : padded.size());
}

// Answers go out of from, the socket of the right address; delayed ones wait on a timer.
void onDiscovery(QUdpSocket* from, const QNetworkDatagram& d)
{
    const std::string data = d.data().toStdString();
    const auto u = discovery::unframe(data, discovery::LengthRule::Exact);
    if (!u) return;
    const auto payload = nlohmann::json::parse(u->payload, nullptr, false);
    const auto send = [=](const std::string& a) { // nothing for an unknown --send kind
        if (!a.empty())
            from->writeDatagram(a.data(), qint64(a.size()), d.senderAddress(), d.senderPort());
    };
    if (u->type == discovery::kTypeQuery && !g_opt.count("--no-discovery")) {
        const auto n = payload.is_object() ? payload.value("nonce", nlohmann::json()) : nullptr;
        const std::string nonce = n.is_string() ? n.get<std::string>() : "";
        for (int k = 1; k <= std::stoi(g_opt["--ids"]); ++k)
            for (const std::string& kind : g_sends)
                QTimer::singleShot(
                    std::stoi(g_opt["--delay"]), Qt::PreciseTimer,
                    [=, a = answer(kind, filled(g_opt["--json"], k, kind), nonce)] { send(a); });
    } else if (u->type == discovery::kTypeReport) {
        if (g_opt.count("--report-log")) {
            const QHostAddress to = d.destinationAddress();
            std::ofstream(g_opt["--report-log"], std::ios::app)
                << (to.toIPv4Address() % 256 == 255 ? "broadcast " + to.toString().toStdString()
                                                    : "unicast")
                << " " << u->payload << std::endl;
        }
        if (!payload.is_object()) return;
        const std::string body = nlohmann::json{{"id", payload.value("id", "")}}.dump();
        send(framed(discovery::kTypeHeard, body, body.size()));
    }
}

// Answers with this machine's time, at stratum 2 or, as a fault, 16; in the client's version,
// its transmit time echoed as the originate, or, as a fault, that with its last bit flipped.
void onSntp(QUdpSocket* from, const QNetworkDatagram& d)
{
    const std::string fault = g_opt["--ntp-fault"];
    const QByteArray q = d.data();
    if (g_opt.count("--ntp-log"))
        std::ofstream(g_opt["--ntp-log"], std::ios::app)
            << "request " << d.senderAddress().toString().toStdString() << std::endl;
    if (q.size() < kNtpPacketLength) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QByteArray a(kNtpPacketLength, '\0');
    a[0] = char((q[0] & 0x38) | 4);
    a[1] = char(fault == "unsynchronized" ? 16 : 2);
    a.replace(12, 3, "LAB"); // the reference clock, read a second ago
    qToBigEndian(ntpTimestampFromUtcMs(now - 1000), a.data() + 16);
    a.replace(24, 8, q.mid(40, 8));
    if (fault == "originate") a[31] = char(a[31] ^ 1);
    for (int at : {32, 40})
        qToBigEndian(ntpTimestampFromUtcMs(now), a.data() + at);
    from->writeDatagram(a, d.senderAddress(), quint16(d.senderPort()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool usable = true;
    for (int i = 1; usable && i < argc; ++i) {
        const std::string a = argv[i];
        const bool flag = kFlags.find(" " + a + " ") != std::string::npos;
        usable = flag || (kValued.find(" " + a + " ") != std::string::npos && ++i < argc);
        if (usable && a == "--send") g_sends.push_back(argv[i]);
        if (usable && a != "--send") g_opt[a] = flag ? "" : argv[i];
    }
    const QHostAddress own(QString::fromStdString(g_opt["--address"]));
    if (!usable || own.protocol() != QAbstractSocket::IPv4Protocol) {
        std::fputs("usage: labserver --address IPV4 [options] (tests/lab/README.md)\n", stderr);
        return 2;
    }
    if (g_sends.empty()) g_sends.push_back("reply");
    // Defaults, and the numbers must be numbers, or no start.
    g_opt.insert({{"--ntp-fault", "none"}, {"--ids", "1"}, {"--delay", "0"}});
    std::stoi(g_opt["--ids"]), std::stoi(g_opt["--delay"]);
    for (int s : {SIGTERM, SIGINT})
        std::signal(s, [](int) { _exit(0); });

    // Broadcasts reach only sockets bound to the wildcard address; unicast to our address
    // prefers the socket bound to it, so several lab servers can share the port.
    QUdpSocket wildcard, unicast, sntp, sntpLoop;
    const auto listen = [](QUdpSocket& s, const QHostAddress& a, quint16 port, auto handler) {
        if (!s.bind(a, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
            std::fprintf(stderr, "labserver: bind port %u: %s\n", port,
                         qPrintable(s.errorString()));
            std::exit(1);
        }
        QObject::connect(&s, &QUdpSocket::readyRead, [&s, handler] {
            while (s.hasPendingDatagrams())
                handler(s.receiveDatagram());
        });
    };
    // A broadcast is answered from our own address, a query by loopback from loopback.
    listen(wildcard, QHostAddress::AnyIPv4, discovery::kDiscoveryPort, [&](auto d) {
        onDiscovery(d.destinationAddress().isLoopback() ? &wildcard : &unicast, d);
    });
    listen(unicast, own, discovery::kDiscoveryPort, [&](auto d) { onDiscovery(&unicast, d); });
    if (!g_opt.count("--no-ntp")) listen(sntp, own, kNtpPort, [&](auto d) { onSntp(&sntp, d); });
    if (!g_opt.count("--no-ntp") && g_opt.count("--ntp-loopback"))
        listen(sntpLoop, QHostAddress::LocalHost, kNtpPort, [&](auto d) { onSntp(&sntpLoop, d); });
    if (g_opt.count("--ready-file")) std::ofstream(g_opt["--ready-file"]) << getpid() << "\n";
    return app.exec();
}
