// Stand-in for /usr/bin/osascript on Linux. It takes exactly the one statement form the
// application builds,
//   osascript -e 'do shell script "CMD" with prompt "PROMPT" with administrator privileges'
// undoes the AppleScript string escaping and runs CMD with /bin/sh -c as the calling user (a
// test host has no password step). Like the real one it prints the command's output when it
// succeeds, and on failure writes "0:N: execution error: TEXT (STATUS)" and exits 1.
// For tests: TESSAVEL_OSASCRIPT_CANCEL=1 answers as a cancelled password dialog does, and
// TESSAVEL_OSASCRIPT_PROMPT_FILE names a file that receives the prompt as decoded.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads one AppleScript string literal body from s at i (just after its opening quote).
std::optional<std::string> literal(std::string_view s, size_t& i)
{
    std::string out;
    for (; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (++i == s.size()) return std::nullopt;
            out.push_back(s[i]);
        } else if (s[i] == '"') {
            ++i;
            return out;
        } else {
            out.push_back(s[i]);
        }
    }
    return std::nullopt;
}

bool expect(std::string_view s, size_t& i, std::string_view text)
{
    if (s.substr(i, text.size()) != text) return false;
    i += text.size();
    return true;
}

int syntaxError()
{
    std::fputs("0:0: syntax error: not the statement form of this stand-in (-2741)\n", stderr);
    return 1;
}

// Runs the command with its standard error into errFd; returns its standard output.
std::string runShell(const std::string& command, int errFd, int& status)
{
    int out[2];
    if (pipe(out) != 0) {
        status = 127;
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, size_t(n));
    close(out[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::string_view(argv[1]) != "-e") return syntaxError();
    const std::string_view s = argv[2];
    size_t i = 0;
    if (!expect(s, i, "do shell script \"")) return syntaxError();
    const auto command = literal(s, i);
    if (!command || !expect(s, i, " with prompt \"")) return syntaxError();
    const auto prompt = literal(s, i);
    if (!prompt || !expect(s, i, " with administrator privileges") || i != s.size())
        return syntaxError();

    if (const char* f = std::getenv("TESSAVEL_OSASCRIPT_PROMPT_FILE"))
        std::ofstream(f, std::ios::binary | std::ios::trunc) << *prompt;
    if (const char* c = std::getenv("TESSAVEL_OSASCRIPT_CANCEL"); c && std::string_view(c) == "1") {
        std::fputs("0:0: execution error: User canceled. (-128)\n", stderr);
        return 1;
    }

    // The command's standard error goes where the real one puts it: into the error message.
    char errName[] = "/tmp/osascript-standin.XXXXXX";
    const int errFd = mkstemp(errName);
    if (errFd < 0) return syntaxError();
    unlink(errName);
    int status = 0;
    const std::string out = runShell(*command, errFd, status);
    std::string err;
    lseek(errFd, 0, SEEK_SET);
    char buf[4096];
    for (ssize_t n; (n = read(errFd, buf, sizeof buf)) > 0;)
        err.append(buf, size_t(n));
    close(errFd);
    if (status != 0) {
        std::string text = err.empty() ? out : err;
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        std::fprintf(stderr, "0:%zu: execution error: %s (%d)\n", s.size(), text.c_str(), status);
        return 1;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
