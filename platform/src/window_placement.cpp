// Window placement: the restored rectangle and show state, the one monitor, and batched moves.
#include "handle_storage.h"
#include "window_internal.h"

#include <vector>

namespace win32 {

struct MonitorObject {};

struct DeferObject {
    std::vector<WINDOWPOS> moves;
};

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
    WindowObject* w = Win(window);
    if (!w || !placement) return FALSE;
    const bool changed = (w->style & (WS_MAXIMIZE | WS_MINIMIZE)) != 0;
    placement->flags = 0;
    placement->showCmd = (w->style & WS_MAXIMIZE)   ? SW_SHOWMAXIMIZED
                         : (w->style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                                                    : SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    placement->rcNormalPosition = changed ? w->normal : w->rect;
    return TRUE;
}

BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement) {
    WindowObject* w = Win(window);
    if (!w || !placement || placement->length != sizeof(WINDOWPLACEMENT)) return FALSE;
    const RECT& n = placement->rcNormalPosition;
    if (w->style & (WS_MAXIMIZE | WS_MINIMIZE))
        w->normal = n;
    else
        SetWindowPos(window, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window, static_cast<int>(placement->showCmd));
    return TRUE;
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
    static MonitorObject primary;
    if (!Win(window) && flags == MONITOR_DEFAULTTONULL) return nullptr;
    return &primary;
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
    if (!monitor || !info || info->cbSize < sizeof(MONITORINFO)) return FALSE;
    info->rcMonitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    info->rcWork = info->rcMonitor;
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

HDWP BeginDeferWindowPos(int count) {
    if (count < 0) return nullptr;
    auto* batch = detail::NewHandleObject<DeferObject>();
    batch->moves.reserve(static_cast<std::size_t>(count));
    return batch;
}

HDWP DeferWindowPos(HDWP batch, HWND window, HWND insertAfter, int x, int y, int width, int height,
                    UINT flags) {
    if (!batch) return nullptr;
    if (!Win(window)) {
        // A failed step ends the batch, as the caller may not use the handle any more.
        detail::DeleteHandleObject(batch);
        return nullptr;
    }
    batch->moves.push_back(WINDOWPOS{window, insertAfter, x, y, width, height, flags});
    return batch;
}

BOOL EndDeferWindowPos(HDWP batch) {
    if (!batch) return FALSE;
    for (const WINDOWPOS& m : batch->moves)
        SetWindowPos(m.hwnd, m.hwndInsertAfter, m.x, m.y, m.cx, m.cy, m.flags);
    detail::DeleteHandleObject(batch);
    return TRUE;
}

} // namespace win32
