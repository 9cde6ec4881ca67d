// The tool's own discovery client: blocking POSIX sockets on the tool's one thread, the
// listing of the discover command, and the choice of a server for install.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tool {

struct DiscoveredServer
{
    std::string id;
    std::string name;
    std::string ver;
    std::int64_t stratum = 0;
    bool synced = false;
    bool accepting = false;
    std::string source;
    std::int64_t clients = 0;
    std::string address;

    bool ready() const { return synced && accepting; }
};

struct ChosenServer
{
    std::string ip;
    std::optional<std::string> name;
};

std::string randomNonce();
std::string buildQuery(const std::string& nonce);
std::vector<std::string> broadcastTargets();
std::vector<DiscoveredServer> discover(int timeoutMs = 1500);
std::vector<DiscoveredServer> availableServers();
void printServers(const std::vector<DiscoveredServer>& servers);
ChosenServer resolveServer();

// The server with its texts made safe for a terminal (visibleText).
DiscoveredServer shownServer(DiscoveredServer server);

// The acceptance tests for one received datagram and the record it yields.
std::optional<DiscoveredServer> acceptAnswer(std::string_view datagram, const std::string& nonce,
                                             const std::string& senderAddress);
// Stable, by lower-case name.
void sortByName(std::vector<DiscoveredServer>& servers);
// Reads the answer to "Number: ": the chosen index from 0, or none.
std::optional<std::size_t> parseSelection(const std::string& line, std::size_t count);

} // namespace tool
