// Property lists as both programs read them: XML or binary through libplist, with bounds that
// keep a hostile file from stopping or crashing the parser.
#pragma once

#include "contract/contract.h"

#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace contract {

// Larger than any list the tool or the platform writes for it. A property list of 64 KiB nests
// at most about 9,400 levels, which libplist parses in under 1 MiB of stack.
inline constexpr std::size_t kMaxPlistBytes = 64 * 1024;

struct PlistFree
{
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// The bytes parsed as a property list whose top level is a dictionary; null for anything else.
Plist parsePlistDict(const std::string& bytes);

// Typed reads of one key of a dictionary; absent when missing or of another type.
std::optional<std::string> dictString(plist_t dict, const char* key);
std::optional<bool> dictBool(plist_t dict, const char* key);
std::optional<uint64_t> dictInteger(plist_t dict, const char* key);
// Absent unless the key holds an array of strings only.
std::optional<std::vector<std::string>> dictStrings(plist_t dict, const char* key);

// The address that follows the server option in a sync job's arguments.
std::optional<std::string> jobServer(plist_t job);

} // namespace contract
