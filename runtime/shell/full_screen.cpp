#include "shell/full_screen.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/command_line.h"
#include "core/frame_record.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/application_menu.h"
#include "shell/frame_surfaces.h"
#include "shell/main_window.h"
#include "shell/window_placement.h"
#include "startup/display_mode.h"

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint32_t ExtendedKeepRatio = 0x1;
constexpr std::size_t RatioToleranceOffset = 4;
constexpr double LeastTolerance = 0.005;
constexpr int FullScreenSurfaceSide = 32;
constexpr int FallbackDepth = 32;
constexpr int OptionSwitching = AppWindowNoPaint;
constexpr int OptionStretch = AppWindowStretch;

bool Fading(const ApplicationRecord& app) {
    return app.runState == StateFadeIn || app.runState == StateFadeOut;
}

bool DriverKind() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

int DriverKindOfFlags() {
    if (!DriverKind()) return DriverKindNone;
    return (Services().displayFlags & DisplayDirect3D8Flag) ? DriverKindDirect3D8 : DriverKindDirect3D9;
}

// The per-cent tolerance that follows the option word in the extended options.
std::uint16_t RatioTolerance(const ApplicationRecord& app) {
    std::uint16_t tolerance = 0;
    if (app.extendedOptions.data) {
        ByteReader r({app.extendedOptions.data, app.extendedOptions.size});
        if (r.Seek(RatioToleranceOffset)) r.U16(tolerance);
    }
    return tolerance;
}

// Candidates of a pass are ordered by a key compared as a whole, so that the mode found does not depend on
// the order the display lists its modes in: pass 0 takes the smallest mode (by area, then width, then
// depth), pass 1 the nearest (by the sum of the two distances, then the width's, then depth).
using ModeKey = std::tuple<long long, long long, long long>;

ModeKey KeyOf(const ModeSearch& s, int width, int height, int depth) {
    if (s.pass == 0) return {static_cast<long long>(width) * height, width, depth};
    const long long dw = std::llabs(static_cast<long long>(width) - s.wantedWidth);
    const long long dh = std::llabs(static_cast<long long>(height) - s.wantedHeight);
    return {dw + dh, dw, depth};
}

AppWindow* FrameLibraryWindow(const ApplicationRecord& app) {
    return app.frameLibraryWindow;
}

cSurface* FrameWorkSurface(const ApplicationRecord& app) {
    return app.frameLibraryWindow ? GetWindowSurface(app.frameLibraryWindow, 0) : nullptr;
}

void CheckFullScreenItem(bool checked) {
    if (HMENU menu = CurrentMenu().menu)
        CheckMenuItem(menu, CommandFullScreen, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void InvalidateWindows(const ApplicationRecord& app) {
    if (Services().mainWindow) InvalidateRect(Services().mainWindow, nullptr, TRUE);
    if (app.frameWindow) InvalidateRect(app.frameWindow, nullptr, TRUE);
}

// Pass 0 over the modes, then pass 1 when the frame is fitted to the window; else the screen at 32 bits.
ModeSearch FindMode(cSurface& surface, const ApplicationRecord& app, const ModeSearch& start) {
    ModeSearch search = start;
    surface.EnumDisplayModes(MatchDisplayMode, &search);
    if (search.bestDepth == 0 && (app.header.flags1 & HeaderFitFrame)) {
        search = start;
        search.pass = 1;
        surface.EnumDisplayModes(MatchDisplayMode, &search);
    }
    if (search.bestDepth == 0) {
        search.bestWidth = Services().screenWidth;
        search.bestHeight = Services().screenHeight;
        search.bestDepth = FallbackDepth;
    }
    return search;
}

int DisplayCodeOfDepth(int depth) {
    switch (depth) {
    case 8:
        return 3;
    case 15:
        return 6;
    case 24:
        return 4;
    case 32:
        return 8;
    default:
        return 7;
    }
}

cSurface* MakeFullScreenSurface(const ApplicationRecord& app) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, app.surfaceDepth, DriverKind() ? PublicTypeScreen : PublicTypeDib,
                        DriverKindOfFlags());
    cSurface* surface = NewSurface();
    if (surface && prototype && surface->Create(FullScreenSurfaceSide, FullScreenSurfaceSide, prototype))
        return surface;
    DeleteSurface(surface);
    return nullptr;
}

// A failed switch leaves the window as it was: its style, the header word, the menu and the frame window.
void UndoFailedSwitch(ApplicationRecord& app, int frameOptions, bool frameHidden) {
    RuntimeServices& services = Services();
    DeleteSurface(app.fullScreenSurface);
    app.fullScreenSurface = nullptr;
    if (frameHidden && app.frameWindow) ShowWindow(app.frameWindow, SW_SHOW);
    int options = frameOptions;
    if (app.savedHeaderOptions & HeaderFitFrame) options |= OptionStretch;
    SetAppWindowFlags(FrameLibraryWindow(app), options);
    app.header.flags1 = app.savedHeaderOptions;
    if (app.menuWasShown) ShowMenuBar();
    ApplyMainWindowStyle(services.mainWindow, app);
    services.fullScreen = 0;
}

// The display-mode code of the full-screen mode's depth, with the driver the full-screen surface is made by.
void TakeDisplayModeOfDepth(const cSurface& surface, int depth) {
    RuntimeServices& services = Services();
    int code = DisplayCodeOfDepth(depth);
    if (surface.GetDriverKind() == DriverKindDirect3D9)
        code |= DisplayDriverFlag;
    else if (surface.GetDriverKind() == DriverKindDirect3D8)
        code |= DisplayDriverFlag | DisplayDirect3D8Flag;
    if (code == services.displayFlags) return;
    const int answer = SetAppDisplayMode(services.libraryContext, code);
    services.displayFlags = static_cast<WORD>(answer);
    services.displayType = static_cast<WORD>(answer & 0xF);
}

} // namespace

int MatchDisplayMode(const DisplayModeInfo* mode, void* argument) {
    auto* s = static_cast<ModeSearch*>(argument);
    if (!mode || !s) return 0;
    if (s->keepRatio && mode->width > 0) {
        const double d =
            static_cast<double>(mode->height) / static_cast<double>(mode->width) - s->targetRatio;
        if (d < -s->tolerance || d > s->tolerance) return 1;
    }
    if (mode->width == s->wantedWidth && mode->height == s->wantedHeight &&
        mode->bitsPerPixel == s->wantedDepth) {
        s->bestWidth = mode->width;
        s->bestHeight = mode->height;
        s->bestDepth = mode->bitsPerPixel;
        return 0;
    }
    if (mode->bitsPerPixel < s->wantedDepth) return 1;
    if (s->pass == 0 && (mode->width < s->wantedWidth || mode->height < s->wantedHeight)) return 1;
    if (s->bestDepth != 0 && KeyOf(*s, mode->width, mode->height, mode->bitsPerPixel) >=
                                 KeyOf(*s, s->bestWidth, s->bestHeight, s->bestDepth))
        return 1;
    s->bestWidth = mode->width;
    s->bestHeight = mode->height;
    s->bestDepth = mode->bitsPerPixel;
    return 1;
}

void SwitchToFullScreen(int setDisplayMode) {
    ApplicationRecord* top = TopApplication();
    RuntimeServices& services = Services();
    if (!top || !services.mainWindow) return;
    ApplicationRecord& app = *top;
    app.fullScreenDepth = -1;
    if (services.fullScreen || Fading(app) || GetCommandLineOptions().noFullScreen) return;
    const HWND main = services.mainWindow;
    const bool driver = DriverKind();
    app.savedHeaderOptions = app.header.flags1;
    app.menuWasShown = GetMenu(main) != nullptr ? 1 : 0;
    const int frameOptions = GetAppWindowFlags(FrameLibraryWindow(app));

    ModeSearch start;
    start.wantedWidth = app.header.windowWidth;
    start.wantedHeight = app.header.windowHeight;
    start.wantedDepth = app.surfaceDepth;
    if (!GetCommandLineOptions().noKeepRatio && (ExtendedOptionFlags(app) & ExtendedKeepRatio) &&
        services.screenWidth > 0) {
        start.keepRatio = 1;
        start.targetRatio = static_cast<double>(services.screenHeight) / services.screenWidth;
        start.tolerance = std::max(LeastTolerance, RatioTolerance(app) * start.targetRatio / 100.0);
    }
    if (driver && services.libraryContext) FreeBank(services.libraryContext->banks, BankTextures);

    if (!IsWindowVisible(main)) {
        if ((app.header.flags1 & HeaderMenuBar) && !(app.header.flags1 & HeaderNoMenuBar)) {
            ShowMenuBar();
            if (driver) app.menuWasShown = 1;
        }
        CenterMainWindow(app);
        if (driver) {
            app.header.flags1 |= HeaderFullScreen;
            ApplyMainWindowStyle(main, app);
        }
        ShowWindow(main, (app.header.flags1 & HeaderStartMaximized) ? SW_SHOWMAXIMIZED : SW_SHOW);
    }
    app.savedPlacement = WINDOWPLACEMENT{};
    app.savedPlacement.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(main, &app.savedPlacement);
    bool frameHidden = false;
    // The running state: the main window keeps no caption or frame while it covers the screen.
    app.header.flags1 |= HeaderFullScreen;
    if (driver) {
        app.header.flags1 =
            static_cast<std::uint16_t>((app.header.flags1 & ~HeaderMenuBar) | HeaderNoMenuBar);
        ApplyMainWindowStyle(main, app);
        CenterMainWindow(app);
        HideMenuBar();
        if (app.frameWindow && IsWindowVisible(app.frameWindow)) {
            ShowWindow(app.frameWindow, SW_HIDE);
            frameHidden = true;
        }
    }
    AppWindow* mainWindow = services.mainLibraryWindow;
    app.savedAreaWidth = mainWindow ? mainWindow->areaWidth : 0;
    app.savedAreaHeight = mainWindow ? mainWindow->areaHeight : 0;
    const int oldScreenWidth = services.screenWidth, oldScreenHeight = services.screenHeight;
    SetAppWindowFlags(FrameLibraryWindow(app), frameOptions | OptionSwitching);

    if (!app.fullScreenSurface) app.fullScreenSurface = MakeFullScreenSurface(app);
    if (!app.fullScreenSurface) {
        UndoFailedSwitch(app, frameOptions, frameHidden);
        return;
    }
    const ModeSearch found = FindMode(*app.fullScreenSurface, app, start);
    if (services.vsync) app.fullScreenSurface->NotifyScreenModeChange(1);
    const HWND target = driver ? app.frameWindow : main;
    if (!app.fullScreenSurface->EnterFullScreen(target, found.bestWidth, found.bestHeight, found.bestDepth)) {
        UndoFailedSwitch(app, frameOptions, frameHidden);
        return;
    }
    services.fullScreen = 1;
    app.fullScreenDepth = found.bestDepth;
    if (app.run.frame)
        if (cSurface* work = FrameWorkSurface(app)) work->CopyFullScreenState(*app.fullScreenSurface);
    if (setDisplayMode) TakeDisplayModeOfDepth(*app.fullScreenSurface, found.bestDepth);

    UpdateScreenSize();
    if (mainWindow) {
        mainWindow->areaWidth = app.savedAreaWidth + services.screenWidth - oldScreenWidth;
        mainWindow->areaHeight = app.savedAreaHeight + services.screenHeight - oldScreenHeight;
    }
    SetAppWindowFlags(FrameLibraryWindow(app), frameOptions);
    SetWindowPos(main, nullptr, 0, 0, services.screenWidth, services.screenHeight, SWP_NOZORDER);
    if (!driver && !IsZoomed(main)) {
        ShowWindow(main, SW_SHOWMAXIMIZED);
        ShowWindow(main, SW_SHOWNORMAL);
    }
    CheckFullScreenItem(true);
    InvalidateWindows(app);
}

void SwitchToWindow() {
    ApplicationRecord* top = TopApplication();
    RuntimeServices& services = Services();
    if (!top || Fading(*top) || !services.fullScreen) return;
    ApplicationRecord& app = *top;
    const HWND main = services.mainWindow;
    const bool driver = DriverKind();
    if (driver && services.libraryContext) FreeBank(services.libraryContext->banks, BankTextures);
    int frameOptions = GetAppWindowFlags(FrameLibraryWindow(app));
    SetAppWindowFlags(FrameLibraryWindow(app), frameOptions | OptionSwitching);
    if (app.savedHeaderOptions & HeaderFitFrame) {
        app.header.flags1 |= HeaderFitFrame;
        SetAppWindowFlags(FrameLibraryWindow(app), frameOptions | OptionSwitching | OptionStretch);
        frameOptions |= OptionStretch;
    }
    if (app.fullScreenSurface) {
        cSurface* work = FrameWorkSurface(app);
        if (driver) {
            if (work) work->LeaveFullScreen(app.frameWindow);
        } else {
            app.fullScreenSurface->LeaveFullScreen(main);
            if (work) work->CopyFullScreenState(*app.fullScreenSurface);
        }
        DeleteSurface(app.fullScreenSurface);
        app.fullScreenSurface = nullptr;
    }
    services.fullScreen = 0;
    app.fullScreenDepth = -1;
    if (AppWindow* mainWindow = services.mainLibraryWindow) {
        mainWindow->areaWidth = app.savedAreaWidth;
        mainWindow->areaHeight = app.savedAreaHeight;
    }
    if (driver && app.menuWasShown) ShowMenuBar();
    app.header.flags1 = app.savedHeaderOptions;
    if (main) {
        ApplyMainWindowStyle(main, app);
        CenterMainWindow(app);
        SetWindowPlacement(main, &app.savedPlacement);
    }
    UpdateScreenSize();
    SetAppWindowFlags(FrameLibraryWindow(app), frameOptions);
    if (app.frameWindow && !IsWindowVisible(app.frameWindow)) ShowWindow(app.frameWindow, SW_SHOW);
    if (driver && app.run.frame && app.run.frame->surface)
        AttachWindowSurface(FrameLibraryWindow(app), app.run.frame->surface);
    if (app.run.frame) DestroyWindowSurface(*app.run.frame);
    SyncDisplaySurfaceSize(FrameLibraryWindow(app));
    InvalidateWindows(app);
    if (main) SendMessageW(main, WM_QUERYNEWPALETTE, 0, 0);
    CheckFullScreenItem(false);
}

void RestoreDisplayModeOnClose(ApplicationRecord& app) {
    if (app.parent || !app.fullScreenSurface) return;
    app.fullScreenSurface->LeaveFullScreen(Services().mainWindow);
    DeleteSurface(app.fullScreenSurface);
    app.fullScreenSurface = nullptr;
    Services().fullScreen = 0;
    app.fullScreenDepth = -1;
}

void ShowMenuBar() {
    RuntimeServices& services = Services();
    const HWND window = services.mainWindow;
    const HMENU menu = CurrentMenu().menu;
    if (!window || !menu || GetMenu(window) == menu) return;
    if (!services.fullScreen && !GetMenu(window) && !IsZoomed(window)) {
        RECT outer{};
        GetWindowRect(window, &outer);
        const int grow = GetSystemMetrics(SM_CYMENU);
        MoveWindow(window, outer.left, outer.top - grow / 2, outer.right - outer.left,
                   outer.bottom - outer.top + grow, TRUE);
    }
    const ApplicationRecord* app = CurrentApplication();
    if (app) UpdateMenuStates(menu, *app);
    if (services.mainLibraryWindow)
        SetAppWindowMenu(services.mainLibraryWindow, menu, 0);
    else
        SetMenu(window, menu);
    // An MDI application's window menu is handed to its client by the MDI services once they keep one.
    DrawMenuBar(window);
    if (app && app->run.frame && app->run.frame->surface && app->frameLibraryWindow &&
        GetWindowSurface(app->frameLibraryWindow, 0) == app->run.frame->surface) {
        AttachWindowSurface(app->frameLibraryWindow, app->run.frame->surface);
        if (app->frameWindow) InvalidateRect(app->frameWindow, nullptr, TRUE);
    }
}

void HideMenuBar() {
    RuntimeServices& services = Services();
    const HWND window = services.mainWindow;
    if (!window || !GetMenu(window)) return;
    if (services.mainLibraryWindow)
        SetAppWindowMenu(services.mainLibraryWindow, nullptr, 0);
    else
        SetMenu(window, nullptr);
    if (services.fullScreen || IsZoomed(window)) return;
    RECT outer{};
    GetWindowRect(window, &outer);
    const int shrink = GetSystemMetrics(SM_CYMENU);
    MoveWindow(window, outer.left, outer.top + shrink / 2, outer.right - outer.left,
               outer.bottom - outer.top - shrink, TRUE);
}

} // namespace vtrrt
