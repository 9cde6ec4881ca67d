#include "tool/plistfile.h"

#include "tool/atomicfile.h"
#include "tool/fileops.h"

#include <cstdlib>

namespace tool {

Plist newDict()
{
    return Plist(plist_new_dict());
}

Plist readPlistDict(const std::string& path)
{
    const auto text = readWholeFile(path);
    if (!text || text->empty() || text->size() > UINT32_MAX) return nullptr;
    plist_t node = nullptr;
    plist_from_xml(text->data(), uint32_t(text->size()), &node);
    Plist owned(node);
    if (!node || plist_get_node_type(node) != PLIST_DICT) return nullptr;
    return owned;
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

std::optional<std::string> dictString(plist_t dict, const char* key)
{
    plist_t item = plist_dict_get_item(dict, key);
    if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(item, &length);
    return text ? std::optional(std::string(text, length)) : std::nullopt;
}

std::optional<bool> dictBool(plist_t dict, const char* key)
{
    plist_t item = plist_dict_get_item(dict, key);
    if (!item || plist_get_node_type(item) != PLIST_BOOLEAN) return std::nullopt;
    uint8_t value = 0;
    plist_get_bool_val(item, &value);
    return value != 0;
}

std::optional<uint64_t> dictInteger(plist_t dict, const char* key)
{
    plist_t item = plist_dict_get_item(dict, key);
    if (!item || plist_get_node_type(item) != PLIST_UINT) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(item, &value);
    return value;
}

std::optional<std::vector<std::string>> dictStrings(plist_t dict, const char* key)
{
    plist_t array = plist_dict_get_item(dict, key);
    if (!array || plist_get_node_type(array) != PLIST_ARRAY) return std::nullopt;
    std::vector<std::string> out;
    for (uint32_t i = 0, n = plist_array_get_size(array); i < n; ++i) {
        plist_t item = plist_array_get_item(array, i);
        if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        out.emplace_back(text ? std::string(text, length) : std::string());
    }
    return out;
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
