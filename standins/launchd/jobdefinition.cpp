#include "standins/launchd/jobdefinition.h"

#include <plist/plist.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace launchd {

namespace {

struct Free
{
    void operator()(plist_t p) const { plist_free(p); }
};

std::optional<std::string> stringOf(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return std::string(text ? text : "", text ? length : 0);
}

bool stringsOf(plist_t node, std::vector<std::string>& out)
{
    if (!node || plist_get_node_type(node) != PLIST_ARRAY) return false;
    for (uint32_t i = 0, n = plist_array_get_size(node); i < n; ++i) {
        const auto s = stringOf(plist_array_get_item(node, i));
        if (!s) return false;
        out.push_back(*s);
    }
    return true;
}

} // namespace

std::optional<JobDefinition> readJobDefinition(const std::string& path, std::string& error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "no such file: " + path;
        return std::nullopt;
    }
    // launchd refuses a job file that others could rewrite.
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        error = "dubious permissions on " + path;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    plist_t raw = nullptr;
    if (!text.empty()) plist_from_xml(text.data(), uint32_t(text.size()), &raw);
    std::unique_ptr<void, Free> root(raw);
    if (!raw || plist_get_node_type(raw) != PLIST_DICT) {
        error = "not a property list dictionary: " + path;
        return std::nullopt;
    }

    JobDefinition job;
    const auto label = stringOf(plist_dict_get_item(raw, "Label"));
    if (!label || label->empty() || label->find('/') != std::string::npos) {
        error = "no usable Label in " + path;
        return std::nullopt;
    }
    job.label = *label;
    if (!stringsOf(plist_dict_get_item(raw, "ProgramArguments"), job.programArguments) ||
        job.programArguments.empty()) {
        error = "no ProgramArguments in " + path;
        return std::nullopt;
    }
    if (plist_t env = plist_dict_get_item(raw, "EnvironmentVariables")) {
        if (plist_get_node_type(env) != PLIST_DICT) {
            error = "EnvironmentVariables is not a dictionary";
            return std::nullopt;
        }
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(env, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(env, it, &key, &value);
            if (!key) break;
            const auto s = stringOf(value);
            if (s) job.environment[key] = *s;
            free(key);
        }
        free(it);
    }
    if (plist_t run = plist_dict_get_item(raw, "RunAtLoad");
        run && plist_get_node_type(run) == PLIST_BOOLEAN) {
        uint8_t on = 0;
        plist_get_bool_val(run, &on);
        job.runAtLoad = on != 0;
    }
    if (plist_t every = plist_dict_get_item(raw, "StartInterval");
        every && plist_get_node_type(every) == PLIST_UINT) {
        uint64_t seconds = 0;
        plist_get_uint_val(every, &seconds);
        if (seconds > 0 && seconds < (1ull << 31)) job.startInterval = (long long)seconds;
    }
    stringsOf(plist_dict_get_item(raw, "WatchPaths"), job.watchPaths);
    job.standardOutPath = stringOf(plist_dict_get_item(raw, "StandardOutPath"));
    job.standardErrorPath = stringOf(plist_dict_get_item(raw, "StandardErrorPath"));
    return job;
}

} // namespace launchd
