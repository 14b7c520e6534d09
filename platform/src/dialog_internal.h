// What the dialog manager and the control classes share.
#pragma once

#include "win32/dialog.h"

namespace win32 {

// The window procedure of the dialog class ("#32770").
LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
constexpr int DialogExtraBytes = 4 * sizeof(LONG_PTR); // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER, state

// The window procedure of list boxes ("ListBox").
LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether `window` is `ancestor` or lies inside it.
bool IsWithin(HWND ancestor, HWND window);

} // namespace win32
