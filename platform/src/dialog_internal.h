// What the dialog manager and the control classes share.
#pragma once

#include "win32/dialog.h"

namespace win32 {

// The window procedure of the dialog class ("#32770").
LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
constexpr int DialogExtraBytes = 4 * sizeof(LONG_PTR); // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER, state

// The window procedure of list boxes ("ListBox").
LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The procedure of a control that keeps its state behind its first extra word: the state is made at
// WM_NCCREATE and deleted at WM_NCDESTROY, and every other message goes to `handle` with it.
template <typename State, typename Handle>
LRESULT WithControlState(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Handle&& handle) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(new State));
        return TRUE;
    }
    auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(window, 0));
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        delete state;
        SetWindowLongPtrW(window, 0, 0);
        return 0;
    }
    return handle(*state);
}

// Whether `window` is `ancestor` or lies inside it.
bool IsWithin(HWND ancestor, HWND window);

} // namespace win32
