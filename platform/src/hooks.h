// What the message code asks of the hook chains.
#pragma once

#include "win32/user.h"

namespace win32 {

// Runs the thread's WH_CALLWNDPROC hooks for a message about to be sent to a window procedure.
void CallWindowProcHooks(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32
