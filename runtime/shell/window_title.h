// The main window's caption: the application's name (with the frame's when the frame asks), and with the
// DEBUG switch the display mode and the library's build.
#pragma once

#include "win32/types.h"

namespace vtrrt {

void SetWindowTitleWithMode(const win32::WCHAR* text);
// The current application's caption; a sub-application titles its frame window with its frame's name.
void UpdateWindowTitle();

} // namespace vtrrt
