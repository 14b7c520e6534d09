#include "shell/mdi_client.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "shell/application_menu.h"
#include "shell/shell_events.h"
#include "shell/window_placement.h"

#include "vtrs2/app_window.h"

#include <algorithm>
#include <vector>

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

RECT& Margins() {
    static RECT margins{};
    return margins;
}

// The main window's client area less the bands of docked sub-applications.
RECT ClientArea() {
    RECT area{};
    GetClientRect(Services().mainWindow, &area);
    const RECT& m = Margins();
    area.left += m.left;
    area.top += m.top;
    area.right = std::max(area.left, area.right - m.right);
    area.bottom = std::max(area.top, area.bottom - m.bottom);
    return area;
}

struct DockedPlace {
    HWND window;
    RECT rect;
};

bool Docked(const ApplicationRecord* app) {
    return app && app->parent && (app->subAppOptions & SubAppDocked) && app->frameWindow;
}

bool AcrossTheWidth(const ApplicationRecord& app) {
    const std::uint32_t side = app.subAppOptions & SubAppDockSides;
    return side == SubAppDockTop || side == SubAppDockBottom;
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

void LayoutDockedSubApps() {
    const HWND main = Services().mainWindow;
    if (!main) return;
    RECT client{};
    GetClientRect(main, &client);
    const LONG width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    RECT m{};
    std::vector<DockedPlace> places;
    std::vector<ApplicationRecord*> bottoms, rights;
    for (ApplicationRecord* app : RunningApplications()) {
        if (!Docked(app) || !AcrossTheWidth(*app)) continue;
        const bool bottom = (app->subAppOptions & SubAppDockSides) == SubAppDockBottom;
        if (app->subAppVisible)
            (bottom ? m.bottom : m.top) = std::max<LONG>(bottom ? m.bottom : m.top, app->subAppHeight);
        if (bottom)
            bottoms.push_back(app);
        else
            places.push_back({app->frameWindow, {0, 0, width, app->subAppHeight}});
    }
    for (ApplicationRecord* app : bottoms)
        places.push_back(
            {app->frameWindow, {0, height - m.bottom, width, height - m.bottom + app->subAppHeight}});
    const LONG between = std::max<LONG>(0, height - m.top - m.bottom);
    for (ApplicationRecord* app : RunningApplications()) {
        if (!Docked(app) || AcrossTheWidth(*app)) continue;
        const bool right = (app->subAppOptions & SubAppDockSides) == SubAppDockRight;
        if (app->subAppVisible)
            (right ? m.right : m.left) = std::max<LONG>(right ? m.right : m.left, app->subAppWidth);
        if (right)
            rights.push_back(app);
        else
            places.push_back({app->frameWindow, {0, m.top, app->subAppWidth, m.top + between}});
    }
    for (ApplicationRecord* app : rights)
        places.push_back({app->frameWindow,
                          {width - m.right, m.top, width - m.right + app->subAppWidth, m.top + between}});
    Margins() = m;
    for (const DockedPlace& place : places) {
        if (IsZoomed(place.window)) continue;
        SetWindowPos(place.window, nullptr, place.rect.left, place.rect.top,
                     place.rect.right - place.rect.left, place.rect.bottom - place.rect.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(place.window, nullptr, TRUE);
    }
    PlaceMdiClient();
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
