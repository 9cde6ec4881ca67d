#include "tool/fileops.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tool {

bool pathExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool makeDirs(const std::string& path, std::string* error)
{
    std::error_code ec;
    fs::create_directories(path, ec);
    if (fs::is_directory(path)) return true;
    if (error) *error = ec ? ec.message() : "not a folder";
    return false;
}

std::string parentDir(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::string> readWholeFile(const std::string& path, size_t maxBytes, bool keepEnd)
{
    // O_NONBLOCK: opening a pipe for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    const bool tail = keepEnd && size_t(st.st_size) > maxBytes;
    // The tail starts one byte early: that byte tells whether its first line is whole.
    if (tail) ::lseek(fd, st.st_size - off_t(maxBytes) - 1, SEEK_SET);
    // One byte past the limit shows a file too long, or grown past it while being read.
    const size_t most = maxBytes + 1;
    std::string text;
    char buf[8192];
    while (text.size() < most) {
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, most - text.size()));
        if (n > 0) {
            text.append(buf, size_t(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    if (tail) {
        const size_t lineEnd = text.find('\n');
        text.erase(0, lineEnd == std::string::npos ? text.size() : lineEnd + 1);
    } else if (text.size() > maxBytes) {
        return std::nullopt;
    }
    return text;
}

void removeFile(const std::string& path)
{
    ::unlink(path.c_str());
}

void removeTree(const std::string& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

} // namespace tool
