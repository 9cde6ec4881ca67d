// The set-the-clock job's side of the password-free path: it trusts nothing in the request
// file, checks the very file it reads through one descriptor, and answers each nonce once.
#include "tool/atomicfile.h"
#include "tool/clocktime.h"
#include "tool/commands.h"
#include "tool/fileops.h"
#include "tool/plumbing.h"
#include "tool/syncjob.h"
#include "tool/values.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tool {

namespace {

constexpr off_t kMaxRequestBytes = 64;

double nowSeconds()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count();
}

struct Request
{
    std::string command; // a time text or "revoke"
    std::string nonce;
    long long modifiedAt = 0; // whole seconds since 1970
};

// Opens without following a link, and without waiting for a writer should a pipe sit there.
int openRequest(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// The two words of a request line; absent unless it is exactly command and nonce.
std::optional<Request> parseRequestLine(const std::string& bytes)
{
    if (!isValidUtf8(bytes)) return std::nullopt;
    const std::string line = trimmed(bytes, " \t\r\n\v\f");
    // Nothing valid holds a control character, and the answer and the log repeat the command:
    // a line end or an escape sequence in it would forge lines in root's log.
    if (visibleText(line) != line) return std::nullopt;
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; std::getline(in, word, ' ');) {
        if (!word.empty()) words.push_back(word);
    }
    if (words.size() != 2) return std::nullopt;
    static const std::regex nonce("^[0-9a-f]{8,32}$");
    if (!std::regex_match(words[1], nonce)) return std::nullopt;
    return Request{words[0], words[1], 0};
}

// The checks of the file itself, giving its modification time when they pass.
std::optional<long long> checkRequestFile(int fd, uint64_t grantedUid)
{
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
    // A link to another file, a second name for it, or somebody else's file is not a request.
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1 || uint64_t(st.st_uid) != grantedUid ||
        st.st_size < 1 || st.st_size > kMaxRequestBytes)
        return std::nullopt;
    return static_cast<long long>(st.st_mtime);
}

// The line, read through the same descriptor.
std::optional<Request> readRequestLine(int fd)
{
    std::string bytes;
    char buf[kMaxRequestBytes];
    while (bytes.size() < size_t(kMaxRequestBytes)) {
        const ssize_t n = ::read(fd, buf, size_t(kMaxRequestBytes) - bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buf, size_t(n));
    }
    if (bytes.empty()) return std::nullopt;
    return parseRequestLine(bytes);
}

// Every check on the open descriptor and the line read through it; absent when one fails.
std::optional<Request> checkedRequest(int fd, uint64_t grantedUid)
{
    const auto modifiedAt = checkRequestFile(fd, grantedUid);
    if (!modifiedAt) return std::nullopt;
    auto request = readRequestLine(fd);
    if (request) request->modifiedAt = *modifiedAt;
    return request;
}

} // namespace

void cmdSetTimeFromRequest()
{
    requireRoot("set-time-from-request");
    const auto uid = grantedUser();
    if (!uid) return;

    const int fd = openRequest(kSetTimeRequestPath);
    if (fd < 0) return;
    const auto request = checkedRequest(fd, *uid);
    const auto answered = readWholeFile(kSetTimeResultPath, kMaxRecordBytes);
    if (!request || (answered && answered->rfind(request->nonce + " ", 0) == 0)) {
        ::close(fd);
        return;
    }

    auto answer = [&](const std::string& word, const std::string& detail) {
        // The mode is set on the new file before it takes the result's name.
        writeFileAtomically(kSetTimeResultPath, request->nonce + " " + word + " " + detail + "\n",
                            0644);
        println(isoText(std::time(nullptr)) + " tessavel-connect: set-time request from user " +
                std::to_string(*uid) + ": " + word + " " + detail);
    };
    if (std::fabs(nowSeconds() - double(request->modifiedAt)) > kRequestFreshSeconds) {
        answer("refused", "the request was not made just now.");
    } else if (request->command == "revoke") {
        answer("revoked", "this Mac asks for an administrator password again.");
        forbidSetTime(true);
    } else {
        const ClockResult r = setClock(request->command);
        answer(r.ok ? "ok" : "refused", r.words);
    }
    ::close(fd);
}

} // namespace tool
