#include "tool/platform/platform.h"

#include <fstream>
#include <string>
#include <unistd.h>

namespace tool::platform {

std::optional<long long> bootTimeSeconds()
{
    std::ifstream stat("/proc/stat");
    std::string key;
    while (stat >> key) {
        if (key == "btime") {
            long long seconds = 0;
            if (stat >> seconds && seconds != 0) return seconds;
            return std::nullopt;
        }
        stat.ignore(1 << 20, '\n');
    }
    return std::nullopt;
}

bool flushToDisk(int fd)
{
    return fsync(fd) == 0;
}

} // namespace tool::platform
