// The process's command line, in the form Windows programs read it.
#include "win32/kernel.h"

#include <fstream>
#include <iterator>

namespace win32 {

namespace {

// Quotes one argument so that the usual Windows splitting gives it back: backslashes are doubled only where
// a quote follows them.
std::u16string Quote(const std::u16string& argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos) return argument;
    std::u16string quoted = u"\"";
    size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, u'\\');
    quoted.push_back(u'"');
    return quoted;
}

std::u16string BuildCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::u16string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        if (!line.empty()) line.push_back(u' ');
        line += Quote(FromUtf8(std::string_view(raw).substr(start, end - start)));
        start = end + 1;
    }
    return line;
}

} // namespace

LPWSTR GetCommandLineW() {
    static std::u16string line = BuildCommandLine();
    return line.data();
}

} // namespace win32
