// The few kernel facts and calls that differ between macOS and Linux; one file per platform.
#pragma once

#include <optional>

namespace tool::platform {

// The kernel's boot time in whole seconds since 1970, when it can be read and is not 0.
std::optional<long long> bootTimeSeconds();

// Flushes a file's data to the disk itself, not only to the drive's cache where the platform
// tells the two apart.
bool flushToDisk(int fd);

} // namespace tool::platform
