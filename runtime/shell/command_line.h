// The command-line switches of the program and the options they set.
#pragma once

#include "win32/types.h"

#include <string>
#include <string_view>

namespace vtrrt {

struct CommandLineOptions {
    // Bit 0: loader and start-up errors are shown in message boxes (R0 clears it, R1 sets it).
    win32::WORD errorBoxes = 1;
    // The closing box does not quit (NOX, or the application's header).
    win32::WORD noCloseCommand = 0;
    // The application data file to run when nothing is packed behind the program (F); empty when none.
    std::u16string applicationFileName;
};

CommandLineOptions& GetCommandLineOptions();

// The argument buffer's size: an argument must fit in it with its terminator.
constexpr std::size_t SwitchArgumentUnits = 520;

// Reads one argument at `pos` (leading spaces skipped; quoted up to the closing quote, which is passed over;
// else up to the next space or the end) into `out`. Returns the position after it. An argument that does
// not fit the buffer is refused: `out` is left empty.
std::size_t ReadSwitchArgument(std::u16string_view text, std::size_t pos, std::u16string& out);

// Reads the F switch: the last non-empty F argument becomes the application file name.
void ReadFileSwitch(std::u16string_view text);

// Reads the switches of the text behind the program name into the options.
void ParseCommandLine(std::u16string_view text);

} // namespace vtrrt
