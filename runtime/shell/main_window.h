// The program's window classes, its main window (with the application's menu) and the shell's shutdown.
#pragma once

#include "core/application_record.h"

#include "win32/user.h"

namespace vtrrt {

constexpr const win32::WCHAR* MainWindowClass = u"Vt2MainClassTh";
constexpr const win32::WCHAR* FrameWindowClass = u"Vt2EditClassTh";

// Registers the main and frame window classes (registering again is as good); purges stale temporary
// folders first when no other instance of the program runs. 0, or 23 when a class was not registered.
int RegisterWindowClasses(win32::HINSTANCE instance);

// Makes the library's context of the run (RuntimeServices' library context): 0, or 23 when there is none.
int CreateLibraryContext(win32::HINSTANCE instance);

// Creates the hidden main window through the library, half the screen's size, with the application's menu
// shown when the header asks it; an MDI application's main window is an MDI frame. 0, or 2 when the window
// is not made.
int CreateMainWindow(ApplicationRecord& app);
// The application's extended option word (0 without the block).
std::uint32_t ExtendedOptionFlags(const ApplicationRecord& app);
// Sets the main window's caption, boxes and frame from the application's header: none of caption, system
// menu, thick frame and maximize box in full screen; else caption and system menu, with the minimize box,
// maximize box and thick frame unless the header turns them off. The style is written only when it changes.
void ApplyMainWindowStyle(win32::HWND window, const ApplicationRecord& app);

// Destroys the main window with its child windows and the application's menu, drains the queue up to
// WM_QUIT, and destroys the library's context.
void DestroyMainWindow();

// The end of every run, in order: the main window, the F file name.
void ShutdownApplication();

} // namespace vtrrt
