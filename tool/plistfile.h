// Property lists through libplist: the job files, the before-setup record, the grant file
// and the self-test settings file. Written as XML; read as XML or binary.
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tool {

struct PlistFree
{
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

Plist newDict();
// The file parsed as a property list whose top level is a dictionary; null for anything else,
// and for a file that could stop or crash the parser (see readWholeFile's bounds).
Plist readPlistDict(const std::string& path);
std::optional<std::string> plistXml(plist_t node);
bool writePlistAtomically(const std::string& path, plist_t node, mode_t mode,
                          std::string* error = nullptr);

// Typed reads of one key of a dictionary; absent when missing or of another type.
std::optional<std::string> dictString(plist_t dict, const char* key);
std::optional<bool> dictBool(plist_t dict, const char* key);
std::optional<uint64_t> dictInteger(plist_t dict, const char* key);
// Absent unless the key holds an array of strings only.
std::optional<std::vector<std::string>> dictStrings(plist_t dict, const char* key);

void setString(plist_t dict, const char* key, const std::string& value);
void setBool(plist_t dict, const char* key, bool value);
void setInteger(plist_t dict, const char* key, uint64_t value);
void setStrings(plist_t dict, const char* key, const std::vector<std::string>& values);
void setStringMap(plist_t dict, const char* key, const std::map<std::string, std::string>& map);

} // namespace tool
