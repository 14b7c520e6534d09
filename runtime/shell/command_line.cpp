#include "shell/command_line.h"

#include <array>

namespace vtrrt {

namespace {

bool IsSwitchStart(char16_t c) {
    return c == u'-' || c == u'/';
}
bool IsSwitchEnd(std::u16string_view text, std::size_t pos) {
    return pos >= text.size() || text[pos] == u' ';
}
char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

std::size_t SkipSpaces(std::u16string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] == u' ')
        ++pos;
    return pos;
}

// Passes over a switch's spaces and quoted argument, so that a quoted name with spaces or dashes in it does
// not start switches.
std::size_t SkipQuotedArgument(std::u16string_view text, std::size_t pos) {
    pos = SkipSpaces(text, pos);
    if (pos < text.size() && text[pos] == u'"') {
        const std::size_t close = text.find(u'"', pos + 1);
        pos = close == std::u16string_view::npos ? text.size() : close + 1;
    }
    return pos;
}

// Moves to the next switch: up to a space (then past all spaces), or to the end, a '-' or a '/'.
std::size_t NextSwitch(std::u16string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] != u' ' && !IsSwitchStart(text[pos]))
        ++pos;
    return SkipSpaces(text, pos);
}

bool StartsWithName(std::u16string_view text, std::size_t pos, std::u16string_view name) {
    if (pos + name.size() > text.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (Upper(text[pos + i]) != name[i]) return false;
    return true;
}

// R0 turns error boxes off; R followed by anything else turns them on.
void ErrorBoxSwitch(std::u16string_view text, std::size_t pos) {
    CommandLineOptions& options = GetCommandLineOptions();
    if (pos + 1 < text.size() && text[pos + 1] == u'0')
        options.errorBoxes &= static_cast<win32::WORD>(~1u);
    else
        options.errorBoxes |= 1;
}

// NOX must end behind its name.
void NoCloseSwitch(std::u16string_view text, std::size_t pos) {
    if (IsSwitchEnd(text, pos + 3) || IsSwitchStart(text[pos + 3]))
        GetCommandLineOptions().noCloseCommand = 1;
}

struct SwitchEntry {
    std::u16string_view name; // upper case, matched at the switch's start
    void (*apply)(std::u16string_view text, std::size_t pos);
};

constexpr std::array Switches{
    SwitchEntry{u"NOX", NoCloseSwitch},
    SwitchEntry{u"R", ErrorBoxSwitch},
};

} // namespace

CommandLineOptions& GetCommandLineOptions() {
    static CommandLineOptions options;
    return options;
}

std::size_t ReadSwitchArgument(std::u16string_view text, std::size_t pos, std::u16string& out) {
    out.clear();
    pos = SkipSpaces(text, pos);
    std::size_t end;
    std::size_t next;
    if (pos < text.size() && text[pos] == u'"') {
        ++pos;
        end = text.find(u'"', pos);
        if (end == std::u16string_view::npos) end = text.size();
        next = end < text.size() ? end + 1 : end;
    } else {
        end = text.find(u' ', pos);
        if (end == std::u16string_view::npos) end = text.size();
        next = end;
    }
    if (end - pos < SwitchArgumentUnits) out.assign(text.substr(pos, end - pos));
    return next;
}

void ReadFileSwitch(std::u16string_view text) {
    std::size_t pos = SkipSpaces(text, 0);
    while (pos < text.size() && IsSwitchStart(text[pos])) {
        ++pos;
        const char16_t letter = pos < text.size() ? Upper(text[pos]) : u'\0';
        if (letter == u'F') {
            std::u16string name;
            pos = ReadSwitchArgument(text, pos + 1, name);
            if (!name.empty()) GetCommandLineOptions().applicationFileName = name;
        } else if (letter != u'S' && letter != u'\0') {
            pos = SkipQuotedArgument(text, pos + 1);
        }
        pos = NextSwitch(text, pos);
    }
}

void ParseCommandLine(std::u16string_view text) {
    GetCommandLineOptions().errorBoxes = 1;
    if (text.empty()) return;
    ReadFileSwitch(text);
    std::size_t pos = SkipSpaces(text, 0);
    while (pos < text.size() && IsSwitchStart(text[pos])) {
        ++pos;
        const SwitchEntry* found = nullptr;
        for (const SwitchEntry& entry : Switches) {
            if (StartsWithName(text, pos, entry.name)) {
                found = &entry;
                break;
            }
        }
        if (found)
            found->apply(text, pos);
        else if (pos < text.size())
            pos = SkipQuotedArgument(text, pos + 1);
        pos = NextSwitch(text, pos + (found ? 1 : 0));
    }
}

} // namespace vtrrt
