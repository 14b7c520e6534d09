// The program's main window as far as running frames needs it: it shows the current frame's background
// colour and turns a close request into the end of the application.
#pragma once

#include "startup/application_record.h"

#include "win32/user.h"

namespace vtrrt {

// Creates the hidden main window at the application's window size and makes it the one frames show in.
win32::HWND CreateMainWindow(ApplicationRecord& app, win32::HINSTANCE instance);
void DestroyMainWindow();

} // namespace vtrrt
