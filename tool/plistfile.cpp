#include "tool/plistfile.h"

#include "tool/atomicfile.h"
#include "tool/fileops.h"

namespace tool {

Plist newDict()
{
    return Plist(plist_new_dict());
}

Plist readPlistDict(const std::string& path)
{
    const auto text = readWholeFile(path, contract::kMaxPlistBytes);
    return text ? contract::parsePlistDict(*text) : nullptr;
}

std::optional<std::string> plistXml(plist_t node)
{
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    if (!xml) return std::nullopt;
    std::string text(xml, length);
    plist_to_xml_free(xml);
    return text;
}

bool writePlistAtomically(const std::string& path, plist_t node, mode_t mode, std::string* error)
{
    const auto xml = plistXml(node);
    if (!xml) {
        if (error) *error = "the property list could not be serialised";
        return false;
    }
    return writeFileAtomically(path, *xml, mode, error);
}

void setString(plist_t dict, const char* key, const std::string& value)
{
    plist_dict_set_item(dict, key, plist_new_string(value.c_str()));
}

void setBool(plist_t dict, const char* key, bool value)
{
    plist_dict_set_item(dict, key, plist_new_bool(value ? 1 : 0));
}

void setInteger(plist_t dict, const char* key, uint64_t value)
{
    plist_dict_set_item(dict, key, plist_new_uint(value));
}

void setStrings(plist_t dict, const char* key, const std::vector<std::string>& values)
{
    plist_t array = plist_new_array();
    for (const auto& v : values)
        plist_array_append_item(array, plist_new_string(v.c_str()));
    plist_dict_set_item(dict, key, array);
}

void setStringMap(plist_t dict, const char* key, const std::map<std::string, std::string>& map)
{
    plist_t inner = plist_new_dict();
    for (const auto& [k, v] : map)
        plist_dict_set_item(inner, k.c_str(), plist_new_string(v.c_str()));
    plist_dict_set_item(dict, key, inner);
}

} // namespace tool
