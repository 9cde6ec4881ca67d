#include "tool/platform/platform.h"

#include <fcntl.h>
#include <sys/sysctl.h>
#include <sys/time.h>
#include <unistd.h>

namespace tool::platform {

std::optional<long long> bootTimeSeconds()
{
    struct timeval boot = {};
    size_t size = sizeof boot;
    int mib[2] = {CTL_KERN, KERN_BOOTTIME};
    if (sysctl(mib, 2, &boot, &size, nullptr, 0) != 0 || boot.tv_sec == 0) return std::nullopt;
    return boot.tv_sec;
}

bool flushToDisk(int fd)
{
    // fsync only reaches the drive's cache on macOS; F_FULLFSYNC asks the drive to commit.
    // Some file systems refuse it, and fsync is the best they offer.
    return fcntl(fd, F_FULLFSYNC) == 0 || fsync(fd) == 0;
}

} // namespace tool::platform
