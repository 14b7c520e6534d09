#include "shell/mdi_client.h"

#include "shell/pause.h"
#include "shell/runtime_services.h"
#include "shell/shell_events.h"

#include "vtrs2/app_window.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr int CommandCascade = 1026;
constexpr int CommandTileHorizontally = 1027;
constexpr int CommandTileVertically = 1028;
constexpr int CommandArrangeIcons = 1029;
constexpr int CommandNextChild = 1030;
constexpr int CommandPreviousChild = 1031;
constexpr int CommandCloseChild = 1032;

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
        if (!ApplicationPaused() && EventRaisers().resetUserIdleTime) EventRaisers().resetUserIdleTime();
        break;
    case WM_DROPFILES:
        if (EventRaisers().filesDropped) EventRaisers().filesDropped(reinterpret_cast<HDROP>(wParam));
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
    RECT now{};
    GetWindowRect(client, &now);
    POINT origin{0, 0};
    ClientToScreen(Services().mainWindow, &origin);
    OffsetRect(&now, -origin.x, -origin.y);
    if (!EqualRect(&now, &area))
        MoveWindow(client, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

bool RunMdiCommand(int id) {
    if (id < CommandCascade || id > CommandCloseChild) return false;
    const HWND client = MdiClient();
    if (!client) return true;
    switch (id) {
    case CommandCascade:
        SendMessageW(client, WM_MDICASCADE, 0, 0);
        break;
    case CommandTileHorizontally:
        SendMessageW(client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
        break;
    case CommandTileVertically:
        SendMessageW(client, WM_MDITILE, MDITILE_VERTICAL, 0);
        break;
    case CommandArrangeIcons:
        SendMessageW(client, WM_MDIICONARRANGE, 0, 0);
        break;
    case CommandNextChild:
        SendMessageW(client, WM_MDINEXT, 0, 0);
        break;
    case CommandPreviousChild:
        SendMessageW(client, WM_MDINEXT, 0, 1);
        break;
    case CommandCloseChild:
        if (const auto active = reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)))
            SendMessageW(active, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        break;
    }
    return true;
}

} // namespace vtrrt
