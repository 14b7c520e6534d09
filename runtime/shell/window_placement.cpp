#include "shell/window_placement.h"

#include "builtin/sub_application.h"

#include "shell/extension_services.h"

#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/main_window.h"

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/surface.h"
#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

RECT RectInParent(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

namespace {

RECT MonitorRect(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (window && GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcMonitor;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

// The part of a window's client area that is on the screen, in client coordinates; the whole client area
// when none of it is.
RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT onScreen = client;
    OffsetRect(&onScreen, origin.x, origin.y);
    const RECT screen{0, 0, Services().screenWidth, Services().screenHeight};
    if (!IntersectRect(&onScreen, &onScreen, &screen)) return client;
    OffsetRect(&onScreen, -origin.x, -origin.y);
    return onScreen;
}

// The display size of the current frame, or the application's window size before a frame is loaded.
SIZE FrameSize(const ApplicationRecord& app) {
    if (const FrameRecord* frame = app.run.frame) return SIZE{frame->displayWidth, frame->displayHeight};
    return SIZE{app.header.windowWidth, app.header.windowHeight};
}

// Where the top application's frame goes in the main window's client area.
RECT WantedFrameRect(const ApplicationRecord& app, HWND main, const RECT& current) {
    RECT client{};
    GetClientRect(main, &client);
    const SIZE frame = FrameSize(app);
    if (!(app.header.flags1 & HeaderFitFrame)) {
        if (app.header.flags2 & HeaderNoCentring)
            return RECT{current.left, current.top, current.left + frame.cx, current.top + frame.cy};
        const RECT area = ClientOnScreen(main);
        const LONG x = area.left + (Width(area) - frame.cx) / 2;
        const LONG y = area.top + (Height(area) - frame.cy) / 2;
        return RECT{x, y, x + frame.cx, y + frame.cy};
    }
    if (!(app.header.flags1 & HeaderKeepRatio) || frame.cx <= 0 || frame.cy <= 0 || client.right <= 0 ||
        client.bottom <= 0)
        return client;
    // The side whose ratio to the client area is the larger fills it; the other follows the frame's ratio.
    LONG width = client.right, height = client.bottom;
    if (static_cast<long long>(frame.cx) * client.bottom >= static_cast<long long>(frame.cy) * client.right)
        height =
            std::max<LONG>(1, static_cast<LONG>(static_cast<long long>(frame.cy) * client.right / frame.cx));
    else
        width =
            std::max<LONG>(1, static_cast<LONG>(static_cast<long long>(frame.cx) * client.bottom / frame.cy));
    const LONG x = (client.right - width) / 2, y = (client.bottom - height) / 2;
    return RECT{x, y, x + width, y + height};
}

} // namespace

int InitSystemInfo() {
    UpdateScreenSize();
    InitExtensionServices();
    return 0;
}

void UpdateScreenSize() {
    RuntimeServices& services = Services();
    const RECT screen = MonitorRect(services.mainWindow);
    services.screenWidth = Width(screen);
    services.screenHeight = Height(screen);
}

void CenterMainWindow(const ApplicationRecord& app) {
    const HWND main = Services().mainWindow;
    if (!main) return;
    RECT r{0, 0, app.header.windowWidth, app.header.windowHeight};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), GetMenu(main) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
    const RECT monitor = MonitorRect(main);
    const LONG width = std::min(Width(r), Width(monitor));
    const LONG height = std::min(Height(r), Height(monitor));
    const LONG x = std::max<LONG>(0, monitor.left + (Width(monitor) - width) / 2);
    const LONG y = std::max<LONG>(0, monitor.top + (Height(monitor) - height) / 2);
    SetWindowPos(main, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT FitFrameRect(const ApplicationRecord& app) {
    const HWND main = app.frameWindow ? GetParent(app.frameWindow) : nullptr;
    if (!main) return RECT{0, 0, 0, 0};
    return WantedFrameRect(app, main, RectInParent(app.frameWindow));
}

void FitFrameWindow() {
    const ApplicationRecord* app = CurrentApplication();
    if (!app || !app->frameWindow || (GetAppWindowFlags(app->frameLibraryWindow) & AppWindowMdiClient))
        return;
    // Sub-applications keep the size their object gives them (the sub-application object sizes them).
    if (app->parent || (app->header.flags2 & HeaderMdi)) return;
    const HWND main = GetParent(app->frameWindow);
    if (!main) return;
    const RECT current = RectInParent(app->frameWindow);
    const RECT wanted = WantedFrameRect(*app, main, current);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (wanted.left == current.left && wanted.top == current.top) flags |= SWP_NOMOVE;
    if (Width(wanted) == Width(current) && Height(wanted) == Height(current)) flags |= SWP_NOSIZE;
    if ((flags & SWP_NOMOVE) && (flags & SWP_NOSIZE)) return;
    if (!IsZoomed(app->frameWindow))
        SetWindowPos(app->frameWindow, nullptr, wanted.left, wanted.top, Width(wanted), Height(wanted),
                     flags);
    InvalidateRect(app->frameWindow, nullptr, TRUE);
    SyncDisplaySurfaceSize(app->frameLibraryWindow);
}

void KeepMainWindowOnScreen() {
    UpdateScreenSize();
    const HWND main = Services().mainWindow;
    if (!main || IsZoomed(main)) return;
    const RuntimeServices& services = Services();
    RECT r{};
    GetWindowRect(main, &r);
    const LONG width = std::min(Width(r), services.screenWidth);
    const LONG height = std::min(Height(r), services.screenHeight);
    const LONG x = std::min(r.left, services.screenWidth - width);
    const LONG y = std::min(r.top, services.screenHeight - height);
    if (x != r.left || y != r.top || width != Width(r) || height != Height(r))
        SetWindowPos(main, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceWindowsForFrame(ApplicationRecord& app) {
    if (app.parent) return;
    const HWND main = Services().mainWindow;
    if (main && !IsWindowVisible(main)) {
        // The menu bar is already on the window, so that centring counts it.
        ApplyMainWindowStyle(main, app);
        CenterMainWindow(app);
    }
    if (app.frameWindow && !(GetWindowLongPtrW(app.frameWindow, GWL_STYLE) & WS_VISIBLE)) FitFrameWindow();
}

namespace {

// A sub-application's window takes its stored size and shows unless it is drawn into its parent, is hidden
// by its object, or full screen is on.
void ShowSubApplicationWindow(ApplicationRecord& app) {
    const HWND window = app.frameWindow;
    if (!window) return;
    SizeSubApplicationWindow(app);
    if (app.subAppVisible && !(app.subAppOptions & SubAppInParentSurface) && !Services().fullScreen)
        ShowWindow(window, SW_SHOW);
}

} // namespace

void ShowWindowsForFrame(ApplicationRecord& app) {
    if (app.parent) {
        ShowSubApplicationWindow(app);
        return;
    }
    const HWND main = Services().mainWindow;
    if (app.frameWindow) {
        ShowWindow(app.frameWindow, SW_SHOW);
        InvalidateRect(app.frameWindow, nullptr, TRUE);
    }
    if (main && !IsWindowVisible(main)) {
        const bool maximized =
            (app.header.flags1 & HeaderStartMaximized) && !(app.header.flags2 & HeaderNeverMaximize);
        ShowWindow(main, maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
        SendMessageW(main, WM_QUERYNEWPALETTE, 0, 0);
    }
    if (main) InvalidateRect(main, nullptr, TRUE);
}

void CaptureScreenBehindWindow() {
    const RuntimeServices& services = Services();
    AppWindow* window = services.frameLibraryWindow;
    if (!window || !FindAppWindow(services.frameWindow) || !window->workSurface || !services.frame) return;
    window->workSurface->Fill(services.frame->background);
}

void ShowDesktopBehindFrame(ApplicationRecord& app) {
    const FrameRecord* frame = Services().frame;
    if (!frame || !(frame->flags & FrameShowDesktop)) return;
    const HWND main = Services().mainWindow;
    if (!app.parent && main && !IsWindowVisible(main) && (app.header.flags1 & HeaderStartMaximized) &&
        !(app.header.flags2 & HeaderNeverMaximize))
        ShowWindow(main, SW_SHOWMAXIMIZED);
    FitFrameWindow();
    CaptureScreenBehindWindow();
}

} // namespace vtrrt
