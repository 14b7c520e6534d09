// The runtime's entry sequence, from the process entry to the exit code.
#pragma once

#include "win32/kernel.h"

namespace vtrrt {

// The process exit status: 1 when the run ended on an error it reported (on stderr, and in a box unless R0
// turned them off), 0 otherwise.
int WinMain(win32::HINSTANCE instance, win32::HINSTANCE previous, win32::LPWSTR commandLine, int showCommand);

} // namespace vtrrt
