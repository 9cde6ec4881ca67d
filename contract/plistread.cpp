#include "contract/plistread.h"

namespace contract {

namespace {

// More nodes than any list the tool or the platform writes for it.
constexpr size_t kMaxBinaryNodes = 1024;

uint64_t bigEndian(const unsigned char* p, size_t width)
{
    uint64_t v = 0;
    while (width--)
        v = v << 8 | *p++;
    return v;
}

// A binary list names its objects by number, and libplist makes a fresh copy of an object for
// every reference to it: a few hundred bytes of arrays that each name the one below twice
// unfold into millions of nodes, and a loop never ends. Count the nodes first, as libplist
// would make them, and stop at the bound.
struct BinaryWalk
{
    const unsigned char* s;
    size_t offsetWidth, refWidth;
    uint64_t objects, table;
    size_t budget = kMaxBinaryNodes;

    bool walk(uint64_t index)
    {
        if (index >= objects || budget-- == 0) return false;
        const uint64_t at = bigEndian(s + table + index * offsetWidth, offsetWidth);
        if (at < 8 || at >= table) return false;
        const unsigned kind = s[at] >> 4; // arrays, sets and dictionaries refer to others
        if (kind != 0xA && kind != 0xC && kind != 0xD) return true;
        uint64_t count = s[at] & 0xF, refs = at + 1;
        if (count == 0xF) { // a longer count follows as an integer object
            if (refs >= table || s[refs] >> 4 != 1 || (s[refs] & 0xF) > 3) return false;
            const size_t width = size_t(1) << (s[refs] & 0xF);
            if (refs + 1 + width > table) return false;
            count = bigEndian(s + refs + 1, width);
            refs += 1 + width;
        }
        const uint64_t per = kind == 0xD ? 2 : 1; // keys, then values
        if (count > (table - refs) / refWidth / per) return false;
        for (uint64_t i = 0; i < count * per; ++i) {
            if (!walk(bigEndian(s + refs + i * refWidth, refWidth))) return false;
        }
        return true;
    }
};

bool unfoldsSmall(const std::string& b)
{
    constexpr size_t kTrailer = 32;
    if (b.size() < 8 + kTrailer) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(b.data());
    const unsigned char* t = s + b.size() - kTrailer;
    BinaryWalk w{s, t[6], t[7], bigEndian(t + 8, 8), bigEndian(t + 24, 8)};
    if (w.offsetWidth < 1 || w.offsetWidth > 8 || w.refWidth < 1 || w.refWidth > 8 || w.table < 8 ||
        w.table > b.size() - kTrailer ||
        w.objects > (b.size() - kTrailer - w.table) / w.offsetWidth)
        return false;
    return w.walk(bigEndian(t + 16, 8));
}

} // namespace

Plist parsePlistDict(const std::string& bytes)
{
    if (bytes.empty() || bytes.size() > kMaxPlistBytes) return nullptr;
    plist_t node = nullptr;
    // The platform itself rewrites lists in binary at times. Only the two forms it writes,
    // where newer libplists would also take JSON and OpenStep text.
    if (bytes.rfind("bplist00", 0) == 0) {
        if (unfoldsSmall(bytes)) plist_from_bin(bytes.data(), uint32_t(bytes.size()), &node);
    } else {
        plist_from_xml(bytes.data(), uint32_t(bytes.size()), &node);
    }
    Plist owned(node);
    if (!node || plist_get_node_type(node) != PLIST_DICT) return nullptr;
    return owned;
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

std::optional<std::string> jobServer(plist_t job)
{
    const auto args = dictStrings(job, "ProgramArguments");
    if (!args) return std::nullopt;
    for (size_t i = 0; i + 1 < args->size(); ++i)
        if ((*args)[i] == kServerOption) return (*args)[i + 1];
    return std::nullopt;
}

} // namespace contract
