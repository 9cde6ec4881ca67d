// Property lists through libplist: the job files, the before-setup record, the grant file
// and the self-test settings file. Written as XML; read as XML or binary.
#pragma once

#include "contract/plistread.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tool {

using contract::dictBool;
using contract::dictInteger;
using contract::dictString;
using contract::dictStrings;
using contract::Plist;

Plist newDict();
// The file parsed as a property list whose top level is a dictionary; null for anything else,
// and for a file that could stop or crash the parser (see readWholeFile's bounds).
Plist readPlistDict(const std::string& path);
std::optional<std::string> plistXml(plist_t node);
bool writePlistAtomically(const std::string& path, plist_t node, mode_t mode,
                          std::string* error = nullptr);

void setString(plist_t dict, const char* key, const std::string& value);
void setBool(plist_t dict, const char* key, bool value);
void setInteger(plist_t dict, const char* key, uint64_t value);
void setStrings(plist_t dict, const char* key, const std::vector<std::string>& values);
void setStringMap(plist_t dict, const char* key, const std::map<std::string, std::string>& map);

} // namespace tool
