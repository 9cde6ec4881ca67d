// Stand-in for /bin/launchctl on Linux: a small job runner with the three subcommands the
// tool uses.
//   launchctl bootstrap DOMAIN PLIST   load the job: start its supervisor (see supervisor.h)
//   launchctl print DOMAIN/LABEL       status 0 and a few "key = value" lines while loaded
//   launchctl bootout DOMAIN/LABEL     stop the job and its supervisor, and wait for both
// Loaded jobs live in a runtime folder of the user's (registry.h); TESSAVEL_LAUNCHD_DIR moves
// it, so that each test has a launchd of its own.
#include "standins/launchd/jobdefinition.h"
#include "standins/launchd/registry.h"
#include "standins/launchd/supervisor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace launchd;

namespace {

constexpr auto kBootoutWait = std::chrono::seconds(5);

int say(int status, const std::string& text)
{
    std::fprintf(status == 0 ? stdout : stderr, "%s\n", text.c_str());
    return status;
}

// DOMAIN/LABEL, split at the last slash: domains hold slashes, labels none.
bool splitTarget(const std::string& target, std::string& domain, std::string& label)
{
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos || slash + 1 == target.size()) return false;
    domain = target.substr(0, slash);
    label = target.substr(slash + 1);
    return true;
}

int refused(const char* what, Access access, const std::string& domain)
{
    if (access == Access::NotPermitted)
        return say(1, std::string(what) + " failed: 1: Operation not permitted");
    return say(125, std::string(what) + " failed: 125: Unknown domain: " + domain);
}

int bootstrap(const std::string& domain, const std::string& plist)
{
    if (const Access a = domainAccess(domain); a != Access::Allowed)
        return refused("Bootstrap", a, domain);
    std::string error;
    const auto job = readJobDefinition(plist, error);
    if (!job) return say(5, "Bootstrap failed: 5: Input/output error: " + error);
    const auto record = recordPath(domain, job->label, true, &error);
    if (!record) return say(1, "Bootstrap failed: 1: " + error);

    int reply[2];
    if (::pipe(reply) != 0) return say(5, "Bootstrap failed: 5: Input/output error");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(reply[0]);
        ::setsid();
        // The supervisor is a grandchild: it belongs to no caller's session or wait.
        if (::fork() == 0) superviseJob({*job, plist, *record}, reply[1]);
        _exit(0);
    }
    ::close(reply[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    char answer = 0;
    const ssize_t n = ::read(reply[0], &answer, 1);
    ::close(reply[0]);
    if (n == 1 && answer == 'y') return 0;
    if (n == 1 && answer == 'b')
        return say(37, "Bootstrap failed: 37: Operation already in progress (" + job->label +
                           " is loaded)");
    return say(5, "Bootstrap failed: 5: Input/output error");
}

int print(const std::string& target)
{
    std::string domain, label;
    if (!splitTarget(target, domain, label)) return say(64, "Bad target: " + target);
    const auto path = recordPath(domain, label, false);
    const auto record = path ? readRecord(*path) : std::nullopt;
    const auto pid = record ? supervisorOf(*record) : std::nullopt;
    if (!pid || !processLives(*pid))
        return say(113, "Could not find service \"" + label + "\" in domain for " + domain);
    std::printf("%s = {\n", target.c_str());
    for (const char* key : {"path", "state", "program", "run interval", "runs", "pid",
                            "last exit code", "last terminating signal"}) {
        if (const auto it = record->find(key); it != record->end())
            std::printf("\t%s = %s\n", key, it->second.c_str());
    }
    std::printf("}\n");
    return 0;
}

int bootout(const std::string& target)
{
    std::string domain, label;
    if (!splitTarget(target, domain, label)) return say(64, "Bad target: " + target);
    if (const Access a = domainAccess(domain); a != Access::Allowed)
        return refused("Boot-out", a, domain);
    const auto path = recordPath(domain, label, false);
    const auto record = path ? readRecord(*path) : std::nullopt;
    const auto pid = record ? supervisorOf(*record) : std::nullopt;
    if (!pid || !processLives(*pid)) {
        if (record) ::unlink(path->c_str()); // left by a supervisor killed outright
        return say(3, "Boot-out failed: 3: No such process");
    }
    ::kill(*pid, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + kBootoutWait;
    for (;;) {
        const auto now = readRecord(*path);
        if (!now || supervisorOf(*now) != pid) return 0;
        if (std::chrono::steady_clock::now() >= until) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // It did not stop in time: end it and what it ran, by force.
    ::kill(*pid, SIGKILL);
    if (const auto it = record->find("pid"); it != record->end())
        ::kill(-std::stoi(it->second), SIGKILL);
    ::unlink(path->c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "bootstrap" && argc == 4) return bootstrap(argv[2], argv[3]);
    if (verb == "print" && argc == 3) return print(argv[2]);
    if (verb == "bootout" && argc == 3) return bootout(argv[2]);
    return say(64, "Usage: launchctl bootstrap <domain> <plist> | print <domain>/<label> | "
                   "bootout <domain>/<label>");
}
