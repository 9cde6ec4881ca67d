#include "tool/fileops.h"

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

std::optional<std::string> readWholeFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, size_t(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd); // a folder, for one, opens but does not read
            return std::nullopt;
        }
    }
    ::close(fd);
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
