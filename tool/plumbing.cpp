#include "tool/plumbing.h"

#include "tool/fileops.h"
#include "tool/values.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unistr.h>

extern char** environ;

namespace tool {

namespace {

const char* const kUsage =
    "Tessavel Veridir \xE2\x80\x94 point this Mac at a Tessavel time server.\n"
    "\n"
    "This tool is not on the PATH. Run it by its full path:\n"
    "  in the app      /Applications/Tessavel Veridir.app/Contents/Helpers/tessavel-connect\n"
    "  after setup     /Library/PrivilegedHelperTools/com.tessavel.connect\n"
    "\n"
    "Usage:\n"
    "  tessavel-connect discover [--json]\n"
    "  sudo tessavel-connect install [--server <ip>] [--interval <sec>]\n"
    "  sudo tessavel-connect remove\n"
    "  sudo tessavel-connect sync --server <ip>\n"
    "  sudo tessavel-connect set-time <2026-10-09T21:07:38Z> [--allow-user <id>]\n"
    "  sudo tessavel-connect allow-set-time --user <id>\n"
    "  sudo tessavel-connect forbid-set-time\n"
    "  tessavel-connect status [--json]\n"
    "  tessavel-connect history [--json] [--since <2026-10-09T21:07:38Z>]\n"
    "  tessavel-connect check\n"
    "\n"
    "set-time sets this Mac's clock by hand (the time in UTC), never earlier than its\n"
    "last sync. allow-set-time lets one user do that from the Veridir app without a\n"
    "password; forbid-set-time takes that away.\n"
    "\n"
    "history lists the sync job's runs from its log. check prints one line for a\n"
    "monitoring system and exits 0 when the last sync is recent, else 1.\n";

} // namespace

std::string standardisedPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string selfPath()
{
    const auto& args = values().args;
    std::string first = args.empty() ? std::string() : args[0];
    if (!first.empty() && first[0] == '/') return first;
    char cwd[4096];
    std::string dir = getcwd(cwd, sizeof cwd) ? cwd : "/";
    return standardisedPath(dir + "/" + first);
}

std::optional<std::string> optValue(const std::string& name)
{
    const auto& args = values().args;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == name) return i + 1 < args.size() ? std::optional(args[i + 1]) : std::nullopt;
    }
    return std::nullopt;
}

void println(const std::string& text)
{
    std::cout << text << '\n' << std::flush;
}

void errln(const std::string& text)
{
    std::cerr << text << '\n' << std::flush;
}

void usage()
{
    std::cerr << kUsage << std::flush;
}

int usageError(const char* text)
{
    std::fputs(text, stderr);
    return 2;
}

void requireRoot(const std::string& commandText)
{
    if (isRoot()) return;
    fail("This needs root. Re-run with sudo, e.g.:\n  sudo \"" + selfPath() + "\" " + commandText);
}

void fail(const std::string& text)
{
    errln(text);
    std::exit(1);
}

std::string visibleText(const std::string& text)
{
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    std::string out;
    for (size_t i = 0; i < text.size();) {
        ucs4_t c = 0;
        const int n = u8_mbtouc(&c, s + i, text.size() - i); // U+FFFD for a malformed byte
        const bool control = c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
        if (control || c == 0xFFFD)
            out += "\xEF\xBF\xBD";
        else
            out.append(text, i, size_t(n));
        i += size_t(n);
    }
    return out;
}

bool isValidUtf8(const std::string& bytes)
{
    return u8_check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) == nullptr;
}

std::string trimmed(const std::string& text, const char* blanks)
{
    size_t b = text.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(blanks);
    return text.substr(b, e - b + 1);
}

std::optional<long long> parseDecimal(const std::string& text)
{
    const std::string t = trimmed(text, " \t\r\n\v\f");
    const size_t digits = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (digits == t.size() || t.find_first_not_of("0123456789", digits) != std::string::npos)
        return std::nullopt;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return v;
}

RunResult run(const std::string& path, const std::vector<std::string>& args)
{
    int fds[2];
    // No pipe2 on macOS; the tool has one thread, so nothing can fork in between.
    if (pipe(fds) != 0) return {-1, "could not run " + path + ": " + std::strerror(errno)};
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    int err = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (err != 0) {
        close(fds[0]);
        return {-1, "could not run " + path + ": " + std::strerror(err)};
    }

    std::string out;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            out.append(buf, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // Like the platform's task status: the exit code, or the signal that ended the program.
    int code = WIFEXITED(status)     ? WEXITSTATUS(status)
               : WIFSIGNALED(status) ? WTERMSIG(status)
                                     : -1;
    return {code, isValidUtf8(out) ? out : std::string()};
}

void ensureStateDir()
{
    // An error shows up later, where the folder is used.
    makeDirs(kStateDir);
    if (!selfTestMode() && ::chown(kStateDir.c_str(), 0, 0) != 0) {
    }
    ::chmod(kStateDir.c_str(), 0755);
}

} // namespace tool
