// The runtime's entry sequence, from the process entry to the exit code.
#pragma once

#include "win32/kernel.h"

namespace vtrrt {

// Always returns 0: every failure has been reported (or deliberately not) before it returns.
int WinMain(win32::HINSTANCE instance, win32::HINSTANCE previous, win32::LPWSTR commandLine, int showCommand);

} // namespace vtrrt
