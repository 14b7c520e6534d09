#include "shell/mdi_client.h"

#include "core/runtime_services.h"
#include "shell/application_menu.h"
#include "shell/shell_events.h"
#include "shell/window_placement.h"

#include "vtrs2/app_window.h"

namespace vtrrt {

using namespace win32;

namespace {

WNDPROC& ReplacedProc() {
    static WNDPROC proc = nullptr;
    return proc;
}

HWND MdiClient() {
    return GetMdiClientHandle(Services().mainLibraryWindow);
}

// The main window's client area less the bands of docked sub-applications (none here).
RECT ClientArea() {
    RECT area{};
    GetClientRect(Services().mainWindow, &area);
    return area;
}

} // namespace

LRESULT MdiClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC replaced = ReplacedProc();
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        if (auto* pos = reinterpret_cast<WINDOWPOS*>(lParam); pos && Services().mainWindow) {
            const RECT area = ClientArea();
            pos->x = area.left;
            pos->y = area.top;
            pos->cx = area.right - area.left;
            pos->cy = area.bottom - area.top;
            pos->flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replaced));
        ReplacedProc() = nullptr;
        break;
    case WM_MOUSEMOVE:
        ResetUserIdleTimeUnlessPaused();
        break;
    case WM_DROPFILES:
        RaiseFilesDropped(wParam);
        break;
    default:
        break;
    }
    return replaced ? CallWindowProcW(replaced, window, message, wParam, lParam)
                    : DefWindowProcW(window, message, wParam, lParam);
}

void SubclassMdiClient(HWND client) {
    if (!client || ReplacedProc()) return;
    ReplacedProc() = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MdiClientWindowProc)));
    DragAcceptFiles(client, TRUE);
}

void PlaceMdiClient() {
    const HWND client = MdiClient();
    if (!client) return;
    const RECT area = ClientArea();
    const RECT now = RectInParent(client);
    if (!EqualRect(&now, &area))
        MoveWindow(client, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

bool RunMdiCommand(int id) {
    if (id < CommandMdiCascade || id > CommandMdiClose) return false;
    const HWND client = MdiClient();
    if (!client) return true;
    switch (id) {
    case CommandMdiCascade:
        SendMessageW(client, WM_MDICASCADE, 0, 0);
        break;
    case CommandMdiTileHorizontally:
        SendMessageW(client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
        break;
    case CommandMdiTileVertically:
        SendMessageW(client, WM_MDITILE, MDITILE_VERTICAL, 0);
        break;
    case CommandMdiArrangeIcons:
        SendMessageW(client, WM_MDIICONARRANGE, 0, 0);
        break;
    case CommandMdiNext:
        SendMessageW(client, WM_MDINEXT, 0, 0);
        break;
    case CommandMdiPrevious:
        SendMessageW(client, WM_MDINEXT, 0, 1);
        break;
    case CommandMdiClose:
        if (const auto active = reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)))
            SendMessageW(active, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        break;
    }
    return true;
}

} // namespace vtrrt
