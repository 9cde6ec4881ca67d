// Small file operations the commands share; none of them throws, and the ones whose failure
// a command reports give the system's description of it.
#pragma once

#include <optional>
#include <string>

namespace tool {

// Follows links, as the platform's own test for a file does.
bool pathExists(const std::string& path);
// Creates the folder and the ones above it; true when it exists afterwards.
bool makeDirs(const std::string& path, std::string* error = nullptr);
std::string parentDir(const std::string& path);
std::optional<std::string> readWholeFile(const std::string& path);
// Deletes a file or link (never what a link points at); failures are the caller's to ignore.
void removeFile(const std::string& path);
// Deletes a folder with all it holds, without following links inside it.
void removeTree(const std::string& path);

} // namespace tool
