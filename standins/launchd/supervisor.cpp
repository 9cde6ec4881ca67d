#include "standins/launchd/supervisor.h"

#include "standins/launchd/registry.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace launchd {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kHousekeeping = milliseconds(1000);
// One write of a watched file makes several events; let them settle into one run.
constexpr int kSettleMs = 5;
constexpr auto kStopGrace = milliseconds(2000);
constexpr const char* kDaemonPath = "PATH=/usr/bin:/bin:/usr/sbin:/sbin";

struct Watch
{
    std::string dir;
    std::string name;
    int wd = -1;
};

class Supervisor
{
public:
    Supervisor(const Loaded& loaded, int sigfd, int inotifyFd)
        : m_loaded(loaded), m_sigfd(sigfd), m_inotify(inotifyFd)
    {
        for (const auto& path : loaded.job.watchPaths) {
            const size_t slash = path.rfind('/');
            m_watches.push_back(
                {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1), -1});
        }
        const JobDefinition& job = loaded.job;
        m_record["supervisor"] = std::to_string(getpid());
        m_record["path"] = loaded.plistPath;
        m_record["program"] = job.programArguments.front();
        m_record["state"] = "not running";
        m_record["runs"] = "0";
        if (job.startInterval)
            m_record["run interval"] = std::to_string(*job.startInterval) + " seconds";
    }

    const Record& record() const { return m_record; }

    void begin()
    {
        addWatches();
        if (m_loaded.job.runAtLoad) trigger();
    }

    [[noreturn]] void serve()
    {
        const auto interval = m_loaded.job.startInterval
                                  ? std::optional(std::chrono::seconds(*m_loaded.job.startInterval))
                                  : std::nullopt;
        auto nextRun = interval ? Clock::now() + *interval : Clock::time_point::max();
        auto nextLook = Clock::now() + kHousekeeping;
        for (;;) {
            const auto wake = std::min(nextRun, nextLook);
            const auto wait = std::chrono::duration_cast<milliseconds>(wake - Clock::now());
            pollfd fds[2] = {{m_sigfd, POLLIN, 0}, {m_inotify, POLLIN, 0}};
            ::poll(fds, 2, int(std::clamp<long long>(wait.count(), 0, INT_MAX)));
            if (fds[0].revents & POLLIN) onSignal();
            if ((fds[1].revents & POLLIN) && watchedPathChanged()) trigger();
            const auto now = Clock::now();
            if (interval && now >= nextRun) {
                trigger();
                while (nextRun <= now)
                    nextRun += *interval;
            }
            if (now >= nextLook) {
                // Nobody can boot out a job whose record is gone; it stops by itself.
                const auto mine = readRecord(m_loaded.recordPath);
                if (!mine || supervisorOf(*mine) != getpid()) stop(false);
                addWatches();
                nextLook = now + kHousekeeping;
            }
        }
    }

private:
    void addWatches()
    {
        // A write counts when its writer closes the file, not at each write: one change
        // makes one run even when the writer is slow between writing and closing.
        for (auto& w : m_watches) {
            if (w.wd < 0)
                w.wd = inotify_add_watch(m_inotify, w.dir.c_str(),
                                         IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                             IN_MOVED_TO | IN_ONLYDIR);
        }
    }

    bool readEvents()
    {
        alignas(inotify_event) char buf[8192];
        bool hit = false;
        for (;;) {
            const ssize_t n = ::read(m_inotify, buf, sizeof buf);
            if (n <= 0) return hit;
            for (char* p = buf; p < buf + n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(p);
                for (auto& w : m_watches) {
                    if (w.wd != ev->wd) continue;
                    if (ev->mask & IN_IGNORED)
                        w.wd = -1; // the folder went; look again later
                    else if (ev->len && w.name == ev->name)
                        hit = true;
                }
                p += sizeof(inotify_event) + ev->len;
            }
        }
    }

    bool watchedPathChanged()
    {
        bool hit = readEvents();
        pollfd fd = {m_inotify, POLLIN, 0};
        while (::poll(&fd, 1, kSettleMs) > 0)
            hit = readEvents() || hit;
        return hit;
    }

    void trigger()
    {
        if (m_job > 0)
            m_pending = true; // one run at a time; the next follows this one
        else
            start();
    }

    void start()
    {
        const JobDefinition& job = m_loaded.job;
        std::vector<std::string> env = {kDaemonPath, "TESSAVEL_LAUNCHD_DIR=" + runtimeDir()};
        for (const auto& [k, v] : job.environment) {
            std::erase_if(env, [&](const std::string& e) { return e.rfind(k + "=", 0) == 0; });
            env.push_back(k + "=" + v);
        }
        std::vector<char*> argv, envp;
        for (const auto& a : job.programArguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);

        const pid_t pid = ::fork();
        if (pid == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            ::setsid(); // its own process group, so that stopping it reaches its children
            if (::chdir("/") != 0) _exit(78);
            redirect(STDOUT_FILENO, job.standardOutPath);
            if (job.standardErrorPath && job.standardErrorPath == job.standardOutPath)
                ::dup2(STDOUT_FILENO, STDERR_FILENO);
            else
                redirect(STDERR_FILENO, job.standardErrorPath);
            ::execve(argv[0], argv.data(), envp.data());
            dprintf(STDERR_FILENO, "launchd: could not run %s: %s\n", argv[0], strerror(errno));
            _exit(78);
        }
        if (pid < 0) return;
        m_job = pid;
        m_record["state"] = "running";
        m_record["pid"] = std::to_string(pid);
        m_record["runs"] = std::to_string(++m_runs);
        writeRecord(m_loaded.recordPath, m_record);
    }

    static void redirect(int fd, const std::optional<std::string>& path)
    {
        const int out = path ? ::open(path->c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
        ::dup2(out >= 0 ? out : ::open("/dev/null", O_WRONLY), fd);
    }

    void onSignal()
    {
        signalfd_siginfo info;
        while (::read(m_sigfd, &info, sizeof info) == sizeof info) {
            if (info.ssi_signo != SIGCHLD) stop(true);
        }
        reap(false);
    }

    // Like launchd, nothing of a run outlives it: what is left of its group goes too.
    void reap(bool block)
    {
        if (m_job <= 0) return;
        int status = 0;
        if (::waitpid(m_job, &status, block ? 0 : WNOHANG) != m_job) return;
        ::kill(-m_job, SIGKILL);
        m_job = 0;
        m_record.erase("pid");
        m_record.erase("last exit code");
        m_record.erase("last terminating signal");
        if (WIFEXITED(status))
            m_record["last exit code"] = std::to_string(WEXITSTATUS(status));
        else
            m_record["last terminating signal"] = std::to_string(WTERMSIG(status));
        m_record["state"] = "not running";
        writeRecord(m_loaded.recordPath, m_record);
        if (m_pending) {
            m_pending = false;
            start();
        }
    }

    [[noreturn]] void stop(bool ownRecord)
    {
        m_pending = false;
        if (m_job > 0) {
            ::kill(-m_job, SIGTERM);
            ::kill(m_job, SIGTERM);
            const auto until = Clock::now() + kStopGrace;
            int status = 0;
            while (::waitpid(m_job, &status, WNOHANG) == 0 && Clock::now() < until)
                std::this_thread::sleep_for(milliseconds(10));
            ::kill(-m_job, SIGKILL);
            ::kill(m_job, SIGKILL);
            ::waitpid(m_job, &status, 0);
        }
        // The record goes last: bootout waits for it, and then nothing of the job is left.
        if (ownRecord) ::unlink(m_loaded.recordPath.c_str());
        _exit(0);
    }

    const Loaded& m_loaded;
    int m_sigfd;
    int m_inotify;
    std::vector<Watch> m_watches;
    Record m_record;
    pid_t m_job = 0;
    bool m_pending = false;
    int m_runs = 0;
};

void detachFromCaller(int keepFd)
{
    // The caller may read our output to its end; hold none of its descriptors open.
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keepFd) ::close(fd);
    }
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd)
        ::dup2(null, fd);
    if (null > 2) ::close(null);
}

} // namespace

void superviseJob(const Loaded& loaded, int replyFd)
{
    detachFromCaller(replyFd);
    auto reply = [&](char c) {
        if (::write(replyFd, &c, 1) != 1) {
        }
        ::close(replyFd);
    };

    sigset_t mask;
    sigemptyset(&mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&mask, s);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    const int sigfd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    const int inotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (sigfd < 0 || inotifyFd < 0) {
        reply('e');
        _exit(1);
    }

    Supervisor supervisor(loaded, sigfd, inotifyFd);
    if (!claimRecord(loaded.recordPath, supervisor.record())) {
        // A record whose supervisor died (killed outright) holds nothing; take its place.
        const auto old = readRecord(loaded.recordPath);
        const auto pid = old ? supervisorOf(*old) : std::nullopt;
        if (pid && processLives(*pid)) {
            reply('b');
            _exit(1);
        }
        ::unlink(loaded.recordPath.c_str());
        if (!claimRecord(loaded.recordPath, supervisor.record())) {
            reply('e');
            _exit(1);
        }
    }
    // The run at load has begun before bootstrap returns, so a caller sees it at once.
    ::fcntl(replyFd, F_SETFD, FD_CLOEXEC);
    supervisor.begin();
    reply('y');
    supervisor.serve();
}

} // namespace launchd
