// The program's window classes, its main window (with the application's menu) and the shell's shutdown.
#pragma once

#include "startup/application_record.h"

#include "win32/user.h"

namespace vtrrt {

constexpr const win32::WCHAR* MainWindowClass = u"Vt2MainClassTh";
constexpr const win32::WCHAR* FrameWindowClass = u"Vt2EditClassTh";

// Registers the main and frame window classes (registering again is as good); purges stale temporary
// folders first when no other instance of the program runs. 0, or 23 when a class was not registered.
int RegisterWindowClasses(win32::HINSTANCE instance);

// Creates the hidden main window at the application's window size, with the application's menu shown when
// the header asks it; it becomes the window frames show in. Null when it cannot be made (string 2).
win32::HWND CreateMainWindow(ApplicationRecord& app, win32::HINSTANCE instance);
// Sets the main window's caption, boxes and frame from the application's header: none of caption, system
// menu, thick frame and maximize box in full screen; else caption and system menu, with the minimize box,
// maximize box and thick frame unless the header turns them off. The style is written only when it changes.
void ApplyMainWindowStyle(win32::HWND window, const ApplicationRecord& app);

// Destroys the main window and the application's menu, and drains the queue up to WM_QUIT.
void DestroyMainWindow();

// The end of every run, in order: the main window, the F file name.
void ShutdownApplication();

} // namespace vtrrt
