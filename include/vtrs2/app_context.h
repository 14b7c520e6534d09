// The library's application context: one per running application, first argument of most plain exports.
// Its record is vtrs2/context_record.h; here the window layer makes, changes and destroys it.
#pragma once

#include "vtrs2/context_record.h"
#include "vtrs2/export.h"
#include "win32/types.h"

struct AppWindow;

constexpr win32::DWORD LibraryVersion = 0x00030118;

// The display-mode code of the desktop.
VTRS2_API int GetScreenModeCode();

VTRS2_API AppContext* CreateAppContext(win32::HINSTANCE owner, win32::HPALETTE palette);
VTRS2_API int SetAppDisplayMode(AppContext* context, int mode);
// Only the thread that created a context destroys it; from another thread the call does nothing.
VTRS2_API void DestroyAppContext(AppContext* context);
VTRS2_API win32::DWORD GetLibraryVersion();
// The record of a window among all contexts of the calling thread, or null.
VTRS2_API AppWindow* FindAppWindow(win32::HWND window);
