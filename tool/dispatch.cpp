#include "dispatch.h"

#include "plumbing.h"
#include "syncjob.h"
#include "tooldiscovery.h"
#include "values.h"

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

} // namespace

int toolMain(int argc, char** argv)
{
    setValues(computeValues(currentProcessFacts(argc, argv)));
    const std::string& cmd = values().cmd;

    if (cmd == "discover")
        cmdDiscover();
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
