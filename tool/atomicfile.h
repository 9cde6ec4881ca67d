// Writes a file so that no reader ever sees it half-written: a new file beside the target,
// flushed to disk, then renamed over it.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace tool {

bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode,
                         std::string* error = nullptr);

// Deletes the new files that a writer of path stopped mid-way (killed, or the machine off)
// left beside it; only names the writer makes for path.
void removeLeftoverTemporaries(const std::string& path);

} // namespace tool
