#include "tool/synclog.h"

#include "tool/clocktime.h"
#include "tool/plumbing.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <string_view>

namespace tool {

namespace {

constexpr std::string_view kSelf = "tessavel-connect: ";
constexpr std::string_view kRunWords = "sync against ";
constexpr std::string_view kExitWords = " (exit ";
constexpr size_t kStampLength = 20; // 2026-10-09T21:07:38Z

bool allDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Digits, a point and digits, with a sign where one may stand: how the client writes
// seconds. Nothing else passes, not even what strtod would take.
std::optional<double> seconds(std::string_view text, bool withSign)
{
    const bool minus = withSign && text.starts_with('-');
    if (minus || (withSign && text.starts_with('+'))) text.remove_prefix(1);
    const size_t point = text.find('.');
    if (point == std::string_view::npos || !allDigits(text.substr(0, point)) ||
        !allDigits(text.substr(point + 1)))
        return std::nullopt;
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return minus ? -value : value;
}

// "sync against " + server + " (exit " + status + ")", as the sync job writes it.
std::optional<SyncRun> runLine(std::string_view what)
{
    const size_t exit = what.rfind(kExitWords);
    if (!what.starts_with(kRunWords) || exit == std::string_view::npos ||
        exit <= kRunWords.size() || !what.ends_with(")"))
        return std::nullopt;
    const size_t from = exit + kExitWords.size();
    const auto status = parseDecimal(std::string(what.substr(from, what.size() - 1 - from)));
    if (!status || *status < INT32_MIN || *status > INT32_MAX) return std::nullopt;
    SyncRun run;
    run.server = what.substr(kRunWords.size(), exit - kRunWords.size());
    run.exitStatus = int(*status);
    return run;
}

// The job's own lines that are no run: the boot retries, unstamped, and the set-the-clock
// job's lines, stamped.
bool otherOwnLine(std::string_view what, bool stamped)
{
    return stamped || what.starts_with("fresh boot \xE2\x80\x94 ") ||
           what.starts_with("boot retry ");
}

class Reader
{
public:
    SyncLog log;

    void take(const std::string& line)
    {
        const auto stamp = line.size() > kStampLength && line[kStampLength] == ' '
                               ? parseTimeText(line.substr(0, kStampLength))
                               : std::nullopt;
        const std::string_view rest = std::string_view(line).substr(stamp ? kStampLength + 1 : 0);
        if (!isValidUtf8(line)) return skip();
        // The job's own lines; any other of them may come between a run's lines when the
        // set-the-clock job writes at the same moment, so only a new run ends the last one.
        if (rest.starts_with(kSelf)) {
            const std::string_view what = rest.substr(kSelf.size());
            if (!what.starts_with(kRunWords))
                return otherOwnLine(what, bool(stamp)) ? void() : skip();
            auto run = stamp ? runLine(what) : std::nullopt;
            if (!run) return skip();
            run->at = *stamp;
            log.runs.push_back(std::move(*run));
            m_open = true;
            return;
        }
        // Somebody else's stamp: no client's line begins that way.
        if (stamp) return skip();
        if (const auto result = parseSntpResult(line)) {
            // A second result, or one before any run, belongs to no run that is known.
            if (!m_open || log.runs.back().offset) return void(++log.skipped);
            log.runs.back().offset = result->offset;
            log.runs.back().error = result->error;
            return;
        }
        if (!m_open) return void(++log.skipped);
        log.runs.back().messages.push_back(line);
    }

private:
    // What follows a line not understood may be the output of a run whose line was lost.
    void skip()
    {
        ++log.skipped;
        m_open = false;
    }
    bool m_open = false;
};

} // namespace

std::optional<SntpResult> parseSntpResult(const std::string& line)
{
    std::vector<std::string> w;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        w.push_back(word);
    // Offset, "+/-", error bound, then at least the server's name; Debian's client writes its
    // local time in three words in front.
    const size_t at = w.size() > 4 && w[4] == "+/-" ? 3 : 0;
    if (w.size() < at + 4 || w[at + 1] != "+/-") return std::nullopt;
    const auto offset = seconds(w[at], true), error = seconds(w[at + 2], false);
    if (!offset || !error) return std::nullopt;
    return SntpResult{*offset, *error};
}

SyncLog parseSyncLog(const std::string& text)
{
    Reader reader;
    size_t from = 0;
    for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        if (end > from) reader.take(text.substr(from, end - from));
    }
    if (from < text.size()) ++reader.log.skipped;
    return std::move(reader.log);
}

} // namespace tool
