#include "dispatch.h"

#include "commands.h"
#include "plumbing.h"
#include "syncjob.h"
#include "tooldiscovery.h"
#include "values.h"

#include <algorithm>

namespace tool {

namespace {

int unknownCommand(const std::string& cmd)
{
    errln("Unknown command: " + cmd + "\n");
    usage();
    return 2;
}

int usageError(const char* text)
{
    std::fputs(text, stderr);
    return 2;
}

// A value that is not a number counts as absent; launchd gets no job more often than a minute.
long long installInterval()
{
    const auto asked = optValue("--interval");
    const auto seconds = asked ? parseDecimal(*asked) : std::nullopt;
    return std::max(60LL, seconds.value_or(kDefaultInterval));
}

} // namespace

int toolMain(int argc, char** argv)
{
    setValues(computeValues(currentProcessFacts(argc, argv)));
    const std::string& cmd = values().cmd;

    if (cmd == "discover") cmdDiscover();
    if (cmd == "install") {
        requireRoot("install");
        const long long interval = installInterval();
        const ChosenServer server = resolveServer();
        cmdInstall(server.ip, interval, server.name);
        return 0;
    }
    if (cmd == "sync") {
        const auto server = optValue("--server");
        if (!server) return usageError("Usage: tessavel-connect sync --server <ip>\n");
        cmdSync(*server);
    }
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        usage();
        return 0;
    }
    return unknownCommand(cmd);
}

} // namespace tool
