#include "core/command_line.h"

#include "core/runtime_services.h"

#include "win32/kernel.h"

#include <array>
#include <cstdio>

namespace vtrrt {

using win32::FoldCase;

namespace {

bool IsSwitchStart(char16_t c) {
    return c == u'-' || c == u'/';
}
bool IsSwitchEnd(std::u16string_view text, std::size_t pos) {
    return pos >= text.size() || text[pos] == u' ';
}
char16_t At(std::u16string_view text, std::size_t pos) {
    return pos < text.size() ? text[pos] : u'\0';
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
        if (FoldCase(text[pos + i]) != FoldCase(name[i])) return false;
    return true;
}

// The F argument: a quoted one up to its closing quote; an unquoted one up to the next blank that is
// followed by another switch (or the end), so that a name with spaces needs no quotes and a name with '-' or
// '/' inside it never starts switches. Returns the position after it.
std::size_t ReadFileArgument(std::u16string_view text, std::size_t pos, std::u16string& out) {
    pos = SkipSpaces(text, pos);
    if (At(text, pos) == u'"') return ReadSwitchArgument(text, pos, out);
    out.clear();
    std::size_t end = pos;
    while (end < text.size()) {
        const std::size_t space = text.find(u' ', end);
        if (space == std::u16string_view::npos) {
            end = text.size();
            break;
        }
        const std::size_t next = SkipSpaces(text, space);
        if (next >= text.size() || IsSwitchStart(text[next])) {
            end = space;
            break;
        }
        end = next;
    }
    out.assign(text.substr(pos, end - pos));
    return end;
}

std::size_t WordEnd(std::u16string_view text, std::size_t pos) {
    const std::size_t end = text.find(u' ', pos);
    return end == std::u16string_view::npos ? text.size() : end;
}

// An argument that names an existing file is the application data, whatever it begins with: on this system a
// path begins with the switch character. The argument is one word, or a quoted one; `end` is the position
// behind it.
bool NamesExistingFile(std::u16string_view text, std::size_t pos, std::u16string& name, std::size_t& end) {
    if (At(text, pos) == u'"') {
        end = ReadSwitchArgument(text, pos, name);
    } else {
        end = WordEnd(text, pos);
        name.assign(text.substr(pos, end - pos));
    }
    if (name.empty()) return false;
    const win32::DWORD attributes = win32::GetFileAttributesW(name.c_str());
    return attributes != win32::INVALID_FILE_ATTRIBUTES && !(attributes & win32::FILE_ATTRIBUTE_DIRECTORY);
}

// Switches that begin with NO must end behind their name: a blank, the end, or the next switch.
bool EndsAt(std::u16string_view text, std::size_t pos) {
    return IsSwitchEnd(text, pos) || IsSwitchStart(text[pos]);
}

using SwitchAction = void (*)(CommandLineOptions&, std::u16string_view text, std::size_t pos);

struct SwitchEntry {
    std::u16string_view name; // upper case, matched at the switch's start
    bool exact;               // the name must end there
    SwitchAction apply;       // pos is the switch's first letter
};

void Direct3D(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.displayKindRequest = 1;
    o.displayModeRequest = 0x10;
}
void Direct3D8(CommandLineOptions& o, std::u16string_view text, std::size_t pos) {
    Direct3D(o, text, pos);
    o.displayModeRequest |= 0x80;
}
void SoftwareSurfaces(CommandLineOptions& o, std::u16string_view text, std::size_t pos) {
    o.displayKindRequest = 1;
    o.displayModeRequest = 0;
    const char16_t digit = At(text, pos + 3);
    if (digit == u'3' || digit == u'4' || digit == u'6' || digit == u'7' || digit == u'8')
        o.displayModeRequest = static_cast<win32::WORD>(digit - u'0');
}
void Debug(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.debugTitle = 1;
}
void MachineIndependentSpeed(CommandLineOptions& o, std::u16string_view text, std::size_t pos) {
    const char16_t value = At(text, pos + 3);
    if (value != u'0' && value != u'1') return;
    o.speedOverride = 1;
    o.machineIndependentSpeed = value == u'1' ? 1 : 0;
}
void KeepRunning(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.keepRunningInModalLoops = 1;
}
void NoFullScreen(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.noFullScreen = 1;
}
void NoKeepRatio(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.noKeepRatio = 1;
}
void NoImageOption(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.noImageOption = 1;
}
void NoDirectSound(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.noDirectSoundOption = 1;
}
void NoClose(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.noCloseCommand = 1;
}
// R0 turns error boxes off; R followed by anything else turns them on.
void ErrorBoxes(CommandLineOptions& o, std::u16string_view text, std::size_t pos) {
    if (At(text, pos + 1) == u'0')
        o.errorBoxes &= static_cast<win32::WORD>(~1u);
    else
        o.errorBoxes |= 1;
}
void VSync(CommandLineOptions& o, std::u16string_view, std::size_t) {
    o.vsync = true;
}

// Longer names first where one begins another.
constexpr std::array Switches{
    SwitchEntry{u"D3D8", false, Direct3D8},
    SwitchEntry{u"D3D", false, Direct3D},
    SwitchEntry{u"DIB", false, SoftwareSurfaces},
    SwitchEntry{u"DEBUG", false, Debug},
    SwitchEntry{u"MIS", false, MachineIndependentSpeed},
    SwitchEntry{u"MAC", false, KeepRunning},
    SwitchEntry{u"NOF", true, NoFullScreen},
    SwitchEntry{u"NOK", true, NoKeepRatio},
    SwitchEntry{u"NOC", true, NoImageOption},
    SwitchEntry{u"NODS", true, NoDirectSound},
    SwitchEntry{u"NOX", true, NoClose},
    SwitchEntry{u"VSYNC", false, VSync},
    SwitchEntry{u"R", false, ErrorBoxes},
};

const SwitchEntry* FindSwitch(std::u16string_view text, std::size_t pos) {
    for (const SwitchEntry& entry : Switches) {
        if (!StartsWithName(text, pos, entry.name)) continue;
        if (entry.exact && !EndsAt(text, pos + entry.name.size())) continue;
        return &entry;
    }
    return nullptr;
}

// --help, -help, /help, -? and /? (pos is behind the first '-' or '/').
bool IsHelp(std::u16string_view text, std::size_t pos, std::size_t& end) {
    if (At(text, pos) == u'-') ++pos;
    end = pos;
    while (!IsSwitchEnd(text, end))
        ++end;
    const std::u16string_view word = text.substr(pos, end - pos);
    return word == u"?" || (word.size() == 4 && StartsWithName(text, pos, u"HELP"));
}

// A switch written the long way ("--name", pos behind the first dash) is one word up to the next blank: no
// dash inside it starts another switch.
bool IsLongSwitch(std::u16string_view text, std::size_t pos) {
    return At(text, pos) == u'-';
}

std::u16string SwitchToken(std::u16string_view text, std::size_t start) {
    if (IsLongSwitch(text, start + 1))
        return std::u16string(text.substr(start, WordEnd(text, start) - start));
    std::size_t end = start + 1;
    while (end < text.size() && text[end] != u' ' && !IsSwitchStart(text[end]))
        ++end;
    return std::u16string(text.substr(start, end - start));
}

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

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
    out.assign(text.substr(pos, end - pos));
    return next;
}

void ReadFileSwitch(std::u16string_view text) {
    CommandLineOptions& options = GetCommandLineOptions();
    std::size_t pos = SkipSpaces(text, 0);
    while (pos < text.size()) {
        std::u16string file;
        std::size_t fileEnd = 0;
        if (NamesExistingFile(text, pos, file, fileEnd)) {
            options.applicationFileName = file;
            pos = SkipSpaces(text, fileEnd);
            continue;
        }
        if (!IsSwitchStart(text[pos])) break;
        ++pos;
        const char32_t letter = FoldCase(At(text, pos));
        if (IsLongSwitch(text, pos)) {
            pos = SkipSpaces(text, WordEnd(text, pos));
            continue;
        }
        if (letter == U'f') {
            std::u16string name;
            pos = ReadFileArgument(text, pos + 1, name);
            if (!name.empty())
                options.applicationFileName = name;
            else
                options.fileSwitchWithoutName = true;
        } else if (letter != U's' && letter != U'\0') {
            pos = SkipQuotedArgument(text, pos + 1);
        }
        pos = NextSwitch(text, pos);
    }
}

void ParseCommandLine(std::u16string_view text) {
    CommandLineOptions& options = GetCommandLineOptions();
    options.errorBoxes = 1;
    options.fileSwitchWithoutName = false;
    options.unknownSwitches.clear();
    if (text.empty()) return;
    ReadFileSwitch(text);
    std::size_t pos = SkipSpaces(text, 0);
    while (pos < text.size()) {
        // Read as the application data by ReadFileSwitch.
        std::u16string file;
        std::size_t fileEnd = 0;
        if (NamesExistingFile(text, pos, file, fileEnd)) {
            pos = SkipSpaces(text, fileEnd);
            continue;
        }
        if (!IsSwitchStart(text[pos])) break;
        const std::size_t start = pos++;
        std::size_t helpEnd = 0;
        if (IsHelp(text, pos, helpEnd)) {
            options.helpRequested = true;
            pos = SkipSpaces(text, helpEnd);
            continue;
        }
        const char32_t letter = FoldCase(At(text, pos));
        if (letter == U'f') {
            std::u16string ignored;
            pos = NextSwitch(text, ReadFileArgument(text, pos + 1, ignored));
            continue;
        }
        if (const SwitchEntry* found = FindSwitch(text, pos)) {
            found->apply(options, text, pos);
            pos = NextSwitch(text, pos + 1);
            continue;
        }
        if (letter != U's') options.unknownSwitches.push_back(SwitchToken(text, start));
        if (IsLongSwitch(text, pos)) {
            pos = SkipSpaces(text, WordEnd(text, pos));
            continue;
        }
        if (letter != U's' && letter != U'\0') pos = SkipQuotedArgument(text, pos + 1);
        pos = NextSwitch(text, pos);
    }
    RuntimeServices& services = Services();
    services.speedOverride = options.speedOverride != 0;
    services.machineIndependentSpeed = static_cast<std::int32_t>(options.machineIndependentSpeed);
    services.keepRunningInModalLoops = options.keepRunningInModalLoops != 0;
}

const char* CommandLineHelp() {
    return "Usage: vtrrt [switches] [file]\n"
           "An argument that names an existing file is the application data file to run (as -F names it).\n"
           "Switches begin with '-' or '/' and are matched without regard to case:\n"
           "  -F <file>   run this application data file when none is packed behind the program\n"
           "              (quote a name that has a ' -' or ' /' in it)\n"
           "  -D3D        Direct3D 9 display driver      -D3D8      Direct3D 8 display driver\n"
           "  -DIB<n>     software surfaces of display mode n (3: 8 bits, 6: 15, 7: 16, 4: 24, 8: 32)\n"
           "  -DEBUG      display mode and build number in the window title\n"
           "  -MIS0/-MIS1 machine-independent speed off or on\n"
           "  -MAC        keep running while windows are moved or sized\n"
           "  -NOF        never full screen              -NOK       full-screen modes of any aspect ratio\n"
           "  -NOC        images without image option 0x80\n"
           "  -NODS       samples without play option 0x100\n"
           "  -NOX        the close box does not quit\n"
           "  -R0/-R1     error message boxes off or on  -VSYNC     wait for the vertical blank\n"
           "  --help      this text\n";
}

bool ReportCommandLine() {
    const CommandLineOptions& options = GetCommandLineOptions();
    if (options.helpRequested) {
        std::fputs(CommandLineHelp(), stdout);
        std::fflush(stdout);
        return false;
    }
    for (const std::u16string& unknown : options.unknownSwitches)
        std::fprintf(stderr, "vtrrt: unknown switch %s ignored (--help lists the switches)\n",
                     Narrow(unknown).c_str());
    if (options.fileSwitchWithoutName) std::fprintf(stderr, "vtrrt: the F switch needs a file name\n");
    std::fflush(stderr);
    return true;
}

} // namespace vtrrt
