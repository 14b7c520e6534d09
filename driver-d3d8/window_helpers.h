// Small window questions the screen asks.
#pragma once

#include "win32/d3d8.h"
#include "win32/user.h"

// The top-level window above a window (the window itself when it has no parent).
inline win32::HWND TopLevelWindowOf(win32::HWND window) {
    for (win32::HWND parent = window ? win32::GetParent(window) : nullptr; parent;
         parent = win32::GetParent(parent))
        window = parent;
    return window;
}

// The size of a window's window rectangle; 0 x 0 for no window.
inline win32::SIZE WindowRectSize(win32::HWND window) {
    win32::RECT r{};
    if (!window || !win32::GetWindowRect(window, &r)) return {0, 0};
    return {r.right - r.left, r.bottom - r.top};
}

// Bits per pixel of a display format: 24, 16 or 15 for those formats, 32 for the others.
int DisplayFormatDepth(win32::D3DFORMAT format);
