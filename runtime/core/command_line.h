// The command-line switches of the program and the options they set.
#pragma once

#include "win32/types.h"

#include <string>
#include <string_view>
#include <vector>

namespace vtrrt {

struct CommandLineOptions {
    // 1 when DIB or D3D asked a display kind; the display-mode code asked (a depth code, 0x10 or 0x90).
    win32::WORD displayKindRequest = 0;
    win32::WORD displayModeRequest = 0;
    win32::WORD noFullScreen = 0;        // NOF
    win32::WORD noDirectSoundOption = 0; // NODS
    win32::WORD debugTitle = 0;          // DEBUG
    win32::WORD noImageOption = 0;       // NOC
    // The closing box does not quit (NOX, or the application's header).
    win32::WORD noCloseCommand = 0;
    // Bit 0: loader and start-up errors are shown in message boxes (R0 clears it, R1 sets it).
    win32::WORD errorBoxes = 1;
    win32::DWORD noKeepRatio = 0; // NOK
    win32::DWORD speedOverride = 0;
    win32::DWORD machineIndependentSpeed = 0;
    win32::DWORD keepRunningInModalLoops = 0; // MAC
    bool vsync = false;                       // VSYNC: added to the pack header's option bit 0
    // The application data file to run when nothing is packed behind the program (F); empty when none.
    std::u16string applicationFileName;
    // What the user is told about, not acted on: --help, switches that match nothing, an F without a name.
    bool helpRequested = false;
    bool fileSwitchWithoutName = false;
    std::vector<std::u16string> unknownSwitches;
};

CommandLineOptions& GetCommandLineOptions();

// Reads one argument at `pos` (leading spaces skipped; quoted up to the closing quote, which is passed over;
// else up to the next space or the end) into `out`, of any length. Returns the position after it.
std::size_t ReadSwitchArgument(std::u16string_view text, std::size_t pos, std::u16string& out);

// Reads the F switch: the last non-empty F argument becomes the application file name. An unquoted name runs
// up to the next blank that is followed by a switch, so that it may hold spaces.
void ReadFileSwitch(std::u16string_view text);

// Reads the switches of the text behind the program name into the options (and the speed and modal-loop
// choices into the runtime's block).
void ParseCommandLine(std::u16string_view text);

// The switches and what they do, for --help.
const char* CommandLineHelp();

// Tells on stderr about unknown switches and an F without a file name; prints the help for --help.
// Returns false when the program should end at once (after --help).
bool ReportCommandLine();

} // namespace vtrrt
