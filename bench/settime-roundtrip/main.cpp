// How long the password-free paths take end to end, in self-test mode with the launchd
// stand-in: from writing a set-time request line to the answer with its nonce in the result
// file, and from a write of the sync-now file to the sync's stamped line in the job log; beside
// the latter, a plain run of the SNTP client, the peer the sync job wraps.
//
//   tests/lab/lab.sh run -- build/bench/settime-roundtrip/settime-roundtrip [--rounds N]
//
// Run as root it runs the tool as "nobody"; as another user, as that user. Without the lab
// ($LAB_SERVER) the sync-now figures are left out. Everything it loads is booted out again.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uid_t kNobody = 65534;
constexpr auto kRoundTimeout = std::chrono::seconds(10);

std::string g_root;
uid_t g_uid = 0;

// Runs a program as the test user, its output kept in out; the exit status.
int runAsUser(std::vector<std::string> args, std::string* out = nullptr)
{
    if (geteuid() == 0) {
        args.insert(args.begin(),
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    }
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int tool(const std::vector<std::string>& args, std::string* out = nullptr)
{
    std::vector<std::string> all{TV_TOOL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return runAsUser(all, out);
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void overwrite(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool jobIdle(const std::string& label)
{
    std::string out;
    return runAsUser({TV_LAUNCHCTL, "print", "gui/" + std::to_string(g_uid) + "/" + label}, &out) ==
               0 &&
           out.find("state = not running") != std::string::npos;
}

void report(const std::string& name, std::vector<double> ms)
{
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    const double median =
        ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    std::printf("%s median: %.1f ms\n%s max: %.1f ms\n%s rounds: %zu\n", name.c_str(), median,
                name.c_str(), ms.back(), name.c_str(), ms.size());
}

template <typename Start, typename Done> double timed(Start start, Done done)
{
    const auto t0 = Clock::now();
    start();
    while (!done()) {
        if (Clock::now() - t0 > kRoundTimeout) {
            std::fprintf(stderr, "settime-roundtrip: a round took longer than 10 s\n");
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void cleanUp()
{
    if (g_root.empty()) return;
    tool({"remove"});
    const std::string rm = "rm -rf '" + g_root + "'";
    if (std::system(rm.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", g_root.c_str());
    g_root.clear();
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    g_uid = geteuid() == 0 ? kNobody : geteuid();
    char dir[] = "/tmp/tv-bench.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    g_root = dir;
    chmod(dir, 0755);
    if (geteuid() == 0 && chown(dir, kNobody, kNobody) != 0) return 1;
    std::atexit(cleanUp);
    setenv("TESSAVEL_CONNECT_TEST_ROOT", dir, 1);
    setenv("TESSAVEL_LAUNCHD_DIR", (g_root + "/launchd").c_str(), 1);
    const char* lab = std::getenv("LAB_SERVER");
    const std::string server = lab && *lab ? lab : "192.0.2.2";
    if (!lab || !*lab) {
        // No time server: a client that answers at once stands in for the sync.
        const std::string fake = g_root + "/fake-sntp";
        std::ofstream(fake) << "#!/bin/sh\nexit 0\n";
        chmod(fake.c_str(), 0755);
        setenv("TESSAVEL_CONNECT_TEST_SNTP", fake.c_str(), 1);
    }

    const std::string state = g_root + "/Library/Application Support/Tessavel Veridir";
    std::string out;
    if (tool({"install", "--server", server}, &out) != 0 ||
        tool({"allow-set-time", "--user", std::to_string(g_uid)}, &out) != 0) {
        std::fprintf(stderr, "settime-roundtrip: setting up failed:\n%s", out.c_str());
        return 1;
    }

    std::mt19937_64 random{std::random_device{}()};
    std::vector<double> request;
    for (int i = 0; i < rounds; ++i) {
        char nonce[17];
        std::snprintf(nonce, sizeof nonce, "%016llx", (unsigned long long)random());
        const std::string prefix = std::string(nonce) + " ";
        const std::string line = "2030-01-01T00:00:00Z " + std::string(nonce) + "\n";
        const double ms =
            timed([&] { overwrite(state + "/set-time-request", line); },
                  [&] { return slurp(state + "/set-time-result").rfind(prefix, 0) == 0; });
        if (ms >= 0) request.push_back(ms);
    }
    report("settime-roundtrip request-to-answer", request);

    if (lab && *lab) {
        const std::string log = g_root + "/var/log/tessavel-connect.log";
        const std::string stamped = " tessavel-connect: sync against " + server + " (exit ";
        std::vector<double> syncNow, direct;
        for (int i = 0; i < rounds; ++i) {
            while (!jobIdle("com.tessavel.connect.selftest"))
                std::this_thread::sleep_for(milliseconds(20));
            const size_t before = count(slurp(log), stamped);
            const double ms = timed([&] { overwrite(state + "/sync-now", "now\n"); },
                                    [&] { return count(slurp(log), stamped) > before; });
            if (ms >= 0) syncNow.push_back(ms);
            const double peer = timed(
                [&] {
                    runAsUser({TV_PROG_SNTP, server});
                },
                [] { return true; });
            direct.push_back(peer);
        }
        report("settime-roundtrip sync-now-to-log", syncNow);
        report("settime-roundtrip sntp-alone", direct);
    }
    return 0;
}
