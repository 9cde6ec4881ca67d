#include "tool/dispatch.h"

#include "contract/contract.h"
#include "tool/commands.h"
#include "tool/discovery/tooldiscovery.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/values.h"

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
    return std::max(60LL, seconds.value_or(contract::kSyncIntervalSeconds));
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
    if (cmd == "remove" || cmd == "uninstall") {
        cmdRemove();
        return 0;
    }
    if (cmd == "sync") {
        const auto server = optValue("--server");
        if (!server) return usageError("Usage: tessavel-connect sync --server <ip>\n");
        cmdSync(*server);
    }
    if (cmd == "set-time") {
        if (values().args.size() < 3)
            return usageError("Usage: tessavel-connect set-time <2026-10-09T21:07:38Z>\n");
        cmdSetTime(values().args[2], optValue("--allow-user"));
        return 0;
    }
    if (cmd == "allow-set-time") {
        requireRoot("allow-set-time --user <id>");
        const auto user = optValue("--user");
        if (!user) return usageError("Usage: tessavel-connect allow-set-time --user <id>\n");
        allowSetTime(*user);
        return 0;
    }
    if (cmd == "forbid-set-time") {
        requireRoot("forbid-set-time");
        forbidSetTime(false);
        println(
            "Setting the clock from Tessavel Veridir asks for an administrator password again.");
        return 0;
    }
    if (cmd == "set-time-from-request") {
        cmdSetTimeFromRequest();
        return 0;
    }
    if (cmd == "status") {
        cmdStatus();
        return 0;
    }
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        usage();
        return 0;
    }
    return unknownCommand(cmd);
}

} // namespace tool
