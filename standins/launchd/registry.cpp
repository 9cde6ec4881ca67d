#include "standins/launchd/registry.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace launchd {

namespace {

// Domains such as gui/501 hold a slash; keep one folder name per domain.
std::string escaped(const std::string& domain)
{
    std::string out = "domain-";
    for (unsigned char c : domain) {
        if (std::isalnum(c) || c == '.' || c == '-') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "_%02x", c);
            out += hex;
        }
    }
    return out;
}

bool ownFolder(const std::string& path, bool create, std::string* error)
{
    if (create) ::mkdir(path.c_str(), 0700);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (error) *error = "no folder " + path;
        return false;
    }
    // Another user's folder, or a link planted in its place, would let them steer our jobs.
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 022)) {
        if (error) *error = path + " is not a private folder of this user";
        return false;
    }
    return true;
}

std::string text(const Record& record)
{
    std::string out;
    for (const auto& [k, v] : record)
        out += k + " = " + v + "\n";
    return out;
}

std::optional<std::string> writeTemp(const std::string& path, const Record& record)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return std::nullopt;
    const std::string bytes = text(record);
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    ::close(fd);
    if (!ok) {
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return temp;
}

} // namespace

std::string runtimeDir()
{
    if (const char* dir = std::getenv("TESSAVEL_LAUNCHD_DIR"); dir && *dir) return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/tessavel-launchd";
    return "/tmp/tessavel-launchd-" + std::to_string(geteuid());
}

Access domainAccess(const std::string& domain)
{
    const uid_t me = geteuid();
    if (domain == "system") return me == 0 ? Access::Allowed : Access::NotPermitted;
    for (const char* kind : {"gui/", "user/"}) {
        const std::string prefix = kind;
        if (domain.rfind(prefix, 0) != 0) continue;
        const std::string id = domain.substr(prefix.size());
        if (id.empty() || id.size() > 10 || id.find_first_not_of("0123456789") != std::string::npos)
            return Access::UnknownDomain;
        const unsigned long uid = std::stoul(id);
        return me == 0 || uid == me ? Access::Allowed : Access::NotPermitted;
    }
    return Access::UnknownDomain;
}

std::optional<std::string> recordPath(const std::string& domain, const std::string& label,
                                      bool create, std::string* error)
{
    const std::string top = runtimeDir();
    const std::string dir = top + "/" + escaped(domain);
    if (!ownFolder(top, create, error) || !ownFolder(dir, create, error)) return std::nullopt;
    return dir + "/" + label + ".job";
}

std::optional<Record> readRecord(const std::string& path)
{
    std::ifstream in(path);
    if (!in) return std::nullopt;
    Record record;
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find(" = ");
        if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 3);
    }
    return record;
}

bool writeRecord(const std::string& path, const Record& record)
{
    const auto temp = writeTemp(path, record);
    if (!temp) return false;
    if (::rename(temp->c_str(), path.c_str()) == 0) return true;
    ::unlink(temp->c_str());
    return false;
}

bool claimRecord(const std::string& path, const Record& record)
{
    const auto temp = writeTemp(path, record);
    if (!temp) return false;
    // link refuses an existing name, so exactly one of two racing bootstraps wins.
    const bool won = ::link(temp->c_str(), path.c_str()) == 0;
    ::unlink(temp->c_str());
    return won;
}

bool processLives(pid_t pid)
{
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    return close != std::string::npos && close + 2 < all.size() && all[close + 2] != 'Z';
}

std::optional<pid_t> supervisorOf(const Record& record)
{
    const auto it = record.find("supervisor");
    if (it == record.end()) return std::nullopt;
    const long pid = std::strtol(it->second.c_str(), nullptr, 10);
    return pid > 0 ? std::optional(pid_t(pid)) : std::nullopt;
}

} // namespace launchd
