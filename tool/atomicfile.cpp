#include "tool/atomicfile.h"

#include "tool/fileops.h"

#include "tool/platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

// The temporary beside a target: ".<name>." and six letters or digits that mkostemp picks.
constexpr char kTemporarySuffix[] = "XXXXXX";

std::string temporaryPrefix(const std::string& path)
{
    return "." + path.substr(path.rfind('/') + 1) + "."; // npos + 1 is 0
}

bool fail(std::string* error, const std::string& what)
{
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

void syncFolder(const std::string& dir)
{
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode,
                         std::string* error)
{
    const std::string dir = parentDir(path);

    // mkostemp opens with O_CREAT|O_EXCL, which refuses an existing name and never follows a
    // link planted there.
    std::string temp = dir + "/" + temporaryPrefix(path) + kTemporarySuffix;
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return fail(error, "could not create a file in " + dir);
    auto abandon = [&](const std::string& what) {
        int saved = errno;
        close(fd);
        unlink(temp.c_str());
        errno = saved;
        return fail(error, what);
    };
    if (fchmod(fd, mode) != 0) return abandon("could not set the mode of " + temp);
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon("could not write " + temp);
        done += size_t(n);
    }
    if (!platform::flushToDisk(fd)) return abandon("could not flush " + temp);
    if (close(fd) != 0) {
        unlink(temp.c_str());
        return fail(error, "could not write " + temp);
    }
    // rename replaces a link at the target itself; it never writes through it.
    if (rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        return fail(error, "could not move " + temp + " to " + path);
    }
    syncFolder(dir);
    return true;
}

void removeLeftoverTemporaries(const std::string& path)
{
    const std::string dir = parentDir(path);
    const std::string prefix = temporaryPrefix(path);
    const size_t length = prefix.size() + sizeof kTemporarySuffix - 1;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() == length && name.rfind(prefix, 0) == 0 &&
            std::all_of(name.begin() + prefix.size(), name.end(),
                        [](unsigned char c) { return std::isalnum(c); }))
            unlink((dir + "/" + name).c_str()); // a link goes itself, never what it names
    }
    closedir(d);
}

} // namespace tool
