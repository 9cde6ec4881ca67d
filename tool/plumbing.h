// What every command of the tool shares: its own path, options, messages, the usage text,
// the root check and running other programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tool {

std::string selfPath();
std::optional<std::string> optValue(const std::string& name);

// A line on standard output, flushed at once: the jobs' output is appended to a log, and a
// run that is stopped mid-way must not lose what it already said.
void println(const std::string& text);
void errln(const std::string& text);
void usage();
// Writes text, which ends in a line break, to standard error; gives the usage error's status.
int usageError(const char* text);
// Says text on standard error and ends the process with status 1.
[[noreturn]] void fail(const std::string& text);

// Ends the process with status 1 unless isRoot().
void requireRoot(const std::string& commandText);

struct RunResult
{
    int code = -1;
    std::string out; // standard output and error together
};
RunResult run(const std::string& path, const std::vector<std::string>& args);

void ensureStateDir();

// Pure helpers, exposed for tests.
std::string standardisedPath(const std::string& path);
bool isValidUtf8(const std::string& bytes);
// The text with every control character, C0, DEL, C1 and the line and paragraph separators,
// as U+FFFD: what others send must not move a terminal's cursor, start an escape sequence or
// break a line of root's log. Malformed UTF-8 shows as U+FFFD as well.
std::string visibleText(const std::string& text);
std::string trimmed(const std::string& text, const char* blanks = " \t");
// A decimal integer with an optional sign, white space around it allowed; nothing else.
std::optional<long long> parseDecimal(const std::string& text);

} // namespace tool
