// What the tool makes of a discovery run: the discover command's listing and the choice of
// a server for install.
#include "tool/discovery/tooldiscovery.h"

#include "tool/commands.h"
#include "tool/plumbing.h"
#include "tool/statusjson.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <unicase.h>
#include <uninorm.h>

namespace tool {

namespace {

// Lower case in canonical composition, so that an "é" sent as one code point and one sent as
// "e" and U+0301 sort alike; UTF-8 bytes compare in code point order.
std::string lowerKey(const std::string& name)
{
    size_t length = 0;
    uint8_t* lowered = u8_tolower(reinterpret_cast<const uint8_t*>(name.data()), name.size(),
                                  nullptr, UNINORM_NFC, nullptr, &length);
    if (!lowered) return name;
    std::string key(reinterpret_cast<const char*>(lowered), length);
    std::free(lowered);
    return key;
}

std::string serverLine(const std::string& mark, const DiscoveredServer& s)
{
    return "  [" + mark + "] " + s.name + "  \xE2\x80\x94  " + s.address;
}

} // namespace

void sortByName(std::vector<DiscoveredServer>& servers)
{
    std::vector<std::pair<std::string, DiscoveredServer>> keyed;
    for (auto& s : servers)
        keyed.emplace_back(lowerKey(s.name), std::move(s));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    servers.clear();
    for (auto& [key, s] : keyed)
        servers.push_back(std::move(s));
}

std::vector<DiscoveredServer> availableServers()
{
    std::vector<DiscoveredServer> ready;
    for (const auto& s : discover(1500)) {
        if (s.ready()) ready.push_back(shownServer(s));
    }
    sortByName(ready);
    return ready;
}

void printServers(const std::vector<DiscoveredServer>& servers)
{
    for (size_t i = 0; i < servers.size(); ++i) {
        const auto& s = servers[i];
        println(serverLine(std::to_string(i + 1), s) + "  (stratum " + std::to_string(s.stratum) +
                ", " + s.source + ", v" + s.ver + ", " + std::to_string(s.clients) +
                (s.clients == 1 ? " client)" : " clients)"));
    }
}

DiscoveredServer shownServer(DiscoveredServer s)
{
    for (std::string* text : {&s.name, &s.ver, &s.source})
        *text = visibleText(*text);
    return s;
}

void cmdDiscover(bool json)
{
    auto servers = discover(1500);
    if (json) {
        sortByName(servers);
        auto list = nlohmann::ordered_json::array();
        for (const auto& s : servers)
            list.push_back(serverJson(s));
        println(jsonText(list));
        std::exit(servers.empty() ? 1 : 0);
    }
    for (auto& s : servers)
        s = shownServer(s);
    sortByName(servers);
    if (servers.empty()) {
        println("No Tessavel servers found on this network.");
        println("Make sure the server has \"Advertise on network\" enabled, or use --server <ip>.");
        std::exit(1);
    }
    println("Found " + std::to_string(servers.size()) + " Tessavel server(s):");
    println("");
    std::vector<DiscoveredServer> ready;
    for (const auto& s : servers) {
        if (s.ready()) ready.push_back(s);
    }
    printServers(ready);
    for (const auto& s : servers) {
        if (!s.ready())
            println(serverLine("-", s) + "  (unavailable: " +
                    (s.accepting ? "not synced yet" : "not accepting clients") + ")");
    }
    println("");
    std::exit(0);
}

std::optional<std::size_t> parseSelection(const std::string& line, std::size_t count)
{
    const auto n = parseDecimal(line);
    if (!n || *n < 1 || std::uint64_t(*n) > count) return std::nullopt;
    return std::size_t(*n - 1);
}

ChosenServer resolveServer()
{
    if (const auto ip = optValue("--server")) return {*ip, optValue("--name")};

    const auto servers = availableServers();
    if (servers.size() == 1) {
        println("Found " + servers[0].name + " at " + servers[0].address + ".");
        return {servers[0].address, servers[0].name};
    }
    if (servers.empty()) fail("No Tessavel servers found. Use:  install --server <ip>");
    println("Select a server:");
    printServers(servers);
    std::cout << "Number: " << std::flush;
    std::string line;
    std::optional<std::size_t> pick;
    if (std::getline(std::cin, line)) pick = parseSelection(line, servers.size());
    if (!pick) fail("Invalid selection.");
    return {servers[*pick].address, servers[*pick].name};
}

} // namespace tool
