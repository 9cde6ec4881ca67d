// Small file operations the commands share; none of them throws, and the ones whose failure
// a command reports give the system's description of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tool {

// Follows links, as the platform's own test for a file does.
bool pathExists(const std::string& path);
// Creates the folder and the ones above it; true when it exists afterwards.
bool makeDirs(const std::string& path, std::string* error = nullptr);
std::string parentDir(const std::string& path);

// Bounds on what the tool reads, far above anything it writes itself.
inline constexpr std::size_t kMaxRecordBytes = 1024; // a one-line record or answer
inline constexpr std::size_t kMaxLogTailBytes = 64 * 1024;
inline constexpr std::size_t kMaxProgramBytes = 256 * 1024 * 1024;

// The bytes of a regular file, read without ever waiting: a pipe, a device or a folder at the
// path gives none, and so does a file longer than maxBytes, unless keepEnd asks for its last
// maxBytes instead, starting at the first line that begins within them.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes,
                                         bool keepEnd = false);
// Deletes a file or link (never what a link points at); failures are the caller's to ignore.
void removeFile(const std::string& path);
// Deletes a folder with all it holds, without following links inside it.
void removeTree(const std::string& path);

} // namespace tool
