#include "shell/window_procedures.h"
#include "core/upcalls.h"

#include "builtin/sound_services.h"
#include "builtin/sub_application.h"
#include "core/application_record.h"
#include "core/command_line.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "objects/display_list.h"
#include "shell/application_menu.h"
#include "shell/mdi_client.h"
#include "shell/menu_drawing.h"
#include "shell/runtime_dialogs.h"
#include "shell/shell_events.h"
#include "shell/window_hooks.h"
#include "shell/window_placement.h"
#include "startup/display_mode.h"
#include "startup/player_globals.h"
#include "startup/shell_services.h"

#include "vtrs2/app_window.h"
#include "win32/gdi.h"
#include "win32/menu.h"
#include "win32/mm.h"

#include <optional>

using namespace win32;

namespace vtrrt {

namespace {

constexpr DWORD CaptionAndFrame = 0xC40000;
constexpr UINT ModalMessage = 0x807B;
// The main window eats the modal message with this parameter; the frame window eats it whatever it holds.
constexpr WPARAM ModalMessageMainWindowParameter = 10101;
// Button presses on the window's frame and caption.
constexpr UINT NonClientRightButtonDown = 0xA4;
constexpr UINT NonClientMiddleButtonDown = 0xA7;
// Frame flag: the desktop shows behind the frame.
constexpr std::uint32_t FrameShowsDesktop = 0x2;

bool FrameRunning() {
    const ApplicationRecord* app = CurrentApplication();
    return app && CurrentRunState() && app->runState == StateRunFrame;
}

// Commands that would end or change the frame wait while its fade plays.
bool FadeRunning() {
    return up::FrameFadeRunning();
}

void EndApplication(std::int16_t code) {
    if (FrameRunState* s = CurrentRunState()) {
        s->exitCode = code;
        s->exitParameter = 1;
    } else if (ApplicationRecord* app = CurrentApplication(); app && code == ExitError) {
        app->runState = StateQuit;
    }
}

// Fills the part of `box` outside `hole` (both in the DC's coordinates).
void FillOutside(HDC dc, const RECT& box, const RECT& hole, HBRUSH brush) {
    RECT inner{};
    if (!IntersectRect(&inner, &box, &hole)) {
        FillRect(dc, &box, brush);
        return;
    }
    const RECT bands[] = {{box.left, box.top, box.right, inner.top},
                          {box.left, inner.bottom, box.right, box.bottom},
                          {box.left, inner.top, inner.left, inner.bottom},
                          {inner.right, inner.top, box.right, inner.bottom}};
    for (const RECT& band : bands)
        if (!IsRectEmpty(&band)) FillRect(dc, &band, brush);
}

// The main window around the frame window shows the application's border colour.
LRESULT EraseMainBackground(HWND window, HDC dc) {
    if (IsIconic(window)) return 1;
    const ApplicationRecord* app = CurrentApplication();
    const FrameRecord* frame = Services().frame;
    if (!app || (frame && (frame->flags & FrameShowsDesktop))) return 1;
    RECT box{};
    if (GetClipBox(dc, &box) == NULLREGION || IsRectEmpty(&box)) GetClientRect(window, &box);
    HBRUSH brush = CreateSolidBrush(app->header.borderColour);
    if (app->frameWindow && !app->parent && GetParent(app->frameWindow) == window)
        FillOutside(dc, box, RectInParent(app->frameWindow), brush);
    else
        FillRect(dc, &box, brush);
    DeleteObject(brush);
    return 1;
}

// One machine step inside a modal loop, with the frame resumed around it when it was paused.
void ModalLoopStep(ApplicationRecord& app) {
    if (app.run.inTimerStep || app.runState != StateRunFrame || !(app.header.flags2 & HeaderRunInModalLoops))
        return;
    app.run.inTimerStep = 1;
    const bool paused = up::ApplicationPaused();
    if (paused) up::ResumeApplication();
    up::RunApplicationStep(&app, 0);
    if (paused) up::PauseApplication();
    app.run.inTimerStep = 0;
}

// A maximized window loses its caption and frame; a restored one gets them back.
void RestyleOnSize(HWND window, const ApplicationRecord& app, WPARAM kind) {
    static bool restyling = false;
    if (restyling || (app.header.flags1 & (HeaderMaximizedStart | HeaderFullScreen))) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    restyling = true;
    if (kind == SIZE_MAXIMIZED && (style & CaptionAndFrame)) {
        SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style & ~CaptionAndFrame));
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(window, &placement);
        placement.showCmd = SW_RESTORE;
        SetWindowPlacement(window, &placement);
        placement.showCmd = SW_MAXIMIZE;
        SetWindowPlacement(window, &placement);
    } else if (kind == SIZE_RESTORED && !(style & (WS_CAPTION | WS_THICKFRAME))) {
        const DWORD back =
            (app.header.flags2 & HeaderNoThickFrame) ? WS_CAPTION : (WS_CAPTION | WS_THICKFRAME);
        SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style | back));
    }
    restyling = false;
}

LRESULT OnMainSize(HWND window, WPARAM kind) {
    ApplicationRecord* app = CurrentApplication();
    if (!app) return 1;
    RestyleOnSize(window, *app, kind);
    // Nested sizes (from the restyle, the fitting or a step) do not step again.
    const bool nested = app->run.inTimerStep != 0;
    app->run.inTimerStep = 1;
    if (app->header.flags2 & HeaderMdi)
        LayoutDockedSubApps();
    else if (app->frameWindow && !IsIconic(window))
        FitFrameWindow();
    app->run.inTimerStep = nested ? 1 : 0;
    if (!nested && app->run.stepTimerActive) ModalLoopStep(*app);
    return 1;
}

// Before a maximize, the play area is put where it will be centred on the screen.
void CentreForMaximize(HWND window, const ApplicationRecord& app) {
    if ((app.header.flags2 & HeaderNoCentring) || (app.header.flags1 & HeaderFitFrame) || IsZoomed(window))
        return;
    const RuntimeServices& services = Services();
    int height = services.screenHeight;
    if (app.header.flags1 & HeaderMaximizedStart) height -= GetSystemMetrics(SM_CYCAPTION);
    RECT client{};
    if (app.frameWindow) {
        GetClientRect(app.frameWindow, &client);
        SetWindowPos(app.frameWindow, nullptr, (services.screenWidth - client.right) / 2,
                     (height - client.bottom) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    GetClientRect(window, &client);
    RECT outer = client;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                       GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, (services.screenWidth - client.right) / 2 + outer.left,
                 (height - client.bottom) / 2 + outer.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT OnSysCommand(HWND window, WPARAM command, LPARAM lParam) {
    const ApplicationRecord* app = CurrentApplication();
    const bool keepRunning = app && (app->header.flags2 & HeaderRunWhileMinimized);
    switch (command & 0xFFF0) {
    case SC_MINIMIZE:
        if (!keepRunning) up::PauseApplication();
        break;
    case SC_MAXIMIZE:
        if (IsIconic(window) && !keepRunning) up::ResumeApplication();
        if (app) CentreForMaximize(window, *app);
        break;
    case SC_RESTORE:
        if (IsIconic(window) && !keepRunning) up::ResumeApplication();
        break;
    case SC_CLOSE:
        if (!GetCommandLineOptions().noCloseCommand) PostMessageW(window, WM_COMMAND, CommandQuit, 0);
        return 0;
    default:
        break;
    }
    return AppWindowProcW(window, WM_SYSCOMMAND, command, lParam);
}

LRESULT OnKeyDown(HWND window, UINT message, WPARAM key, LPARAM lParam) {
    if (message == WM_KEYDOWN && FrameRunning() && EventRaisers().keyDown)
        EventRaisers().keyDown(static_cast<int>(key));
    const bool alt = message == WM_SYSKEYDOWN || (lParam & (1 << 29));
    const HWND main = Services().mainWindow ? Services().mainWindow : window;
    if (ShortcutToMenuCommand(main, alt, static_cast<int>(key), CurrentMenu().keyTable)) return 0;
    // Other system keys (Alt+F4) keep their default meaning.
    return message == WM_SYSKEYDOWN ? AppWindowProcW(window, message, key, lParam) : 0;
}

void RaiseMouseWheel(WPARAM wParam) {
    if (FrameRunning() && EventRaisers().mouseWheel)
        EventRaisers().mouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
}

// A click on a sub-application drawn into the frame is its own; 1 when one took it.
bool ClickEmbeddedSubApp(UINT message, int x, int y) {
    RunObject* o = EmbeddedSubAppAt(x, y);
    ApplicationRecord* child = SubApplicationChild(o);
    if (!child) return false;
    const CurrentApplicationScope scope(child);
    const FrameRunState* s = o->runState;
    if (FrameRunning() && EventRaisers().mouseClick)
        EventRaisers().mouseClick(message, x - (o->x - s->scrollX), y - (o->y - s->scrollY));
    return true;
}

void OnMouseButton(UINT message, LPARAM lParam) {
    if (!FrameRunning()) return;
    up::RecordMouseClick(message);
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (ClickEmbeddedSubApp(message, x, y)) return;
    if (EventRaisers().mouseClick) EventRaisers().mouseClick(message, x, y);
}

LRESULT OnGetMinMaxInfo(LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (!info) return 0;
    const RuntimeServices& services = Services();
    info->ptMaxSize = POINT{services.screenWidth, services.screenHeight};
    info->ptMaxTrackSize = info->ptMaxSize;
    info->ptMaxPosition = POINT{0, 0};
    return 0;
}

// The runtime's dialogs do not open while a frame fades, nor over a display driver's full screen.
bool DialogsHeldBack() {
    const ApplicationRecord* app = CurrentApplication();
    if (Services().fullScreen && (Services().displayFlags & DisplayDriverFlag)) return true;
    return app && (app->runState == StateFadeIn || app->runState == StateFadeOut);
}

// A dialog of the runtime, with the application paused around it.
template <typename Dialog> void RunWhilePaused(Dialog&& dialog) {
    up::PauseApplication();
    dialog();
    up::ResumeApplication();
}

void RunPasswordDialog() {
    RunWhilePaused([] {
        const int frame = AskFramePassword(Services().mainWindow);
        FrameRunState* s = CurrentRunState();
        if (frame < 0 || !s) return;
        s->exitCode = ExitJumpToFrame;
        s->exitParameter = frame + 0x8000;
    });
}

// After the paused dialog the application goes on as after a resume by key: the events hear of it.
void RunPausedDialog() {
    RunWhilePaused([] { ShowPausedDialog(Services().mainWindow); });
    if (EventRaisers().resumed) EventRaisers().resumed();
}

void ToggleSound(std::uint16_t bit) {
    // Turning a kind of sound off stops what plays of it; the flag decides what later plays.
    up::PauseApplication();
    Services().flags ^= bit;
    if (!(Services().flags & bit)) {
        if (bit == RuntimeSamplesOn)
            StopAllSamples();
        else
            StopMusic();
    }
    if (HMENU menu = up::CurrentMenuHandle())
        if (const ApplicationRecord* app = CurrentApplication()) UpdateMenuStates(menu, *app);
    up::ResumeApplication();
}

// Back to a full-screen application: its whole frame is drawn again, in its own colours.
void OnFullScreenActivation(HWND window) {
    RuntimeServices& services = Services();
    if (!services.fullScreen) return;
    if (AppWindow* frame = services.frameLibraryWindow) {
        RECT area{};
        GetAppWindowArea(frame, &area);
        AddUpdateRect(frame, &area);
    }
    SendMessageW(window, WM_QUERYNEWPALETTE, 0, 0);
    if (FrameRunState* s = CurrentRunState()) s->redrawRequest |= RedrawRequestFrame;
    InvalidateRect(window, nullptr, TRUE);
    if (services.frameWindow) InvalidateRect(services.frameWindow, nullptr, TRUE);
}

LRESULT MainWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        DragAcceptFiles(window, TRUE);
        break;
    case WM_DESTROY:
        if (ApplicationRecord* app = CurrentApplication(); app && app->run.stepTimerActive)
            KillTimer(window, ModalStepTimer);
        if (FrameRunState* s = CurrentRunState()) {
            s->exitCode = ExitError;
            s->exitParameter = 1;
            s->frameWindow = s->mainWindow = s->topWindow = nullptr;
            s->frameLibraryWindow = s->mainLibraryWindow = nullptr;
        }
        break;
    case WM_SIZE:
        return OnMainSize(window, wParam);
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return EraseMainBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_DISPLAYCHANGE:
        KeepMainWindowOnScreen();
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        break;
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(lParam);
    case WM_MEASUREITEM:
        if (auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam); item && item->CtlType == ODT_MENU) {
            MeasureMenuItem(*item);
            return 1;
        }
        break;
    case WM_DRAWITEM:
        if (auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam); item && item->CtlType == ODT_MENU) {
            DrawMenuItem(*item);
            return 0;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyDown(window, message, wParam, lParam);
    case WM_COMMAND:
        if (lParam == 0) ForwardCommandToSubApps(wParam, lParam);
        if (lParam == 0 && FrameRunning() && RunMenuCommand(window, LOWORD(wParam))) return 0;
        break;
    case WM_CLOSE:
        // The close box arrives as SC_CLOSE; a bare WM_CLOSE asks the same and never destroys the window.
        return OnSysCommand(window, SC_CLOSE, 0);
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam, lParam);
    case WM_TIMER:
        if (wParam == ModalStepTimer)
            if (ApplicationRecord* app = CurrentApplication()) ModalLoopStep(*app);
        return 0;
    case WM_INITMENU:
        if (const ApplicationRecord* app = CurrentApplication())
            UpdateMenuStates(reinterpret_cast<HMENU>(wParam), *app);
        return 0;
    case WM_MOUSEMOVE:
        if (EventRaisers().resetUserIdleTime) EventRaisers().resetUserIdleTime();
        break;
    case WM_MOUSEWHEEL:
        RaiseMouseWheel(wParam);
        return 0;
    case WM_DROPFILES:
        RaiseFilesDropped(wParam);
        return 0;
    case WM_ACTIVATEAPP:
        if (wParam) OnFullScreenActivation(window);
        break;
    case WM_QUERYNEWPALETTE:
        SendMessageToDescendants(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    case WM_PALETTECHANGED:
        SendMessageToDescendants(window, message, wParam, lParam);
        break;
    case MM_MCINOTIFY:
        return OnMusicNotice(wParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        // In full screen with the frame window hidden the main window takes the frame's clicks.
        if (Services().fullScreen && Services().frameWindow && !IsWindowVisible(Services().frameWindow))
            OnMouseButton(message, lParam);
        break;
    default:
        break;
    }
    return AppWindowProcW(window, message, wParam, lParam);
}

// The application's colours realised in the DC of the frame window's top-level window, as a background
// palette when the change came from this window; 1 when there was a palette to realise.
LRESULT RealizeFramePalette(HWND window, UINT message, WPARAM wParam) {
    const HPALETTE palette = Services().palette;
    if (!palette || !FindAppWindow(window)) return 0;
    const HWND top = GetAncestor(window, GA_ROOT);
    HDC dc = GetDC(top ? top : window);
    if (!dc) return 0;
    const BOOL background = message == WM_PALETTECHANGED && reinterpret_cast<HWND>(wParam) == window;
    const HPALETTE previous = SelectPalette(dc, palette, background);
    const UINT changed = RealizePalette(dc);
    // The window's own DC does not keep the palette: it stays free to be replaced with the next frame's.
    SelectPalette(dc, previous ? previous : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)),
                  background);
    ReleaseDC(top ? top : window, dc);
    if (changed != 0 && changed != GDI_ERROR) InvalidateRect(window, nullptr, TRUE);
    return 1;
}

// The application whose frames show in a frame window.
ApplicationRecord* OwnerOfFrameWindow(HWND window) {
    ApplicationRecord* owner = FindApplicationOfWindow(window);
    return owner ? owner : CurrentApplication();
}

void ForgetFrameWindow(HWND window) {
    RuntimeServices& services = Services();
    // The window deletes the surface attached to it: whoever held it forgets it.
    if (services.frameWindow == window && services.frameLibraryWindow) {
        cSurface* attached = GetWindowSurface(services.frameLibraryWindow, 0);
        if (ApplicationRecord* app = CurrentApplication(); app && attached) {
            if (app->frameSurface == attached) app->frameSurface = nullptr;
            if (app->run.frame && app->run.frame->surface == attached) app->run.frame->surface = nullptr;
        }
    }
    if (services.frameWindow == window) {
        services.frameWindow = nullptr;
        services.frameLibraryWindow = nullptr;
    }
    if (ApplicationRecord* app = CurrentApplication(); app && app->frameWindow == window) {
        app->frameWindow = nullptr;
        app->frameLibraryWindow = nullptr;
    }
    // The running frame's copies go with it: its library window is freed with the window.
    if (FrameRunState* s = CurrentRunState(); s && s->frameWindow == window) {
        s->frameWindow = nullptr;
        s->frameLibraryWindow = nullptr;
    }
}

// Without a screen surface of its own (a frame that asks for none, or before its surface is made) the frame
// window shows the frame's background colour; with one, the library repaints from it.
LRESULT EraseFrameBackground(HWND window, HDC dc) {
    const FrameRecord* frame = Services().frame;
    if (!frame || (!(frame->flags & FrameNoScreenSurface) && GetWindowSurface(FindAppWindow(window), 0)))
        return AppWindowProcW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    if (IsIconic(Services().mainWindow)) return 1;
    RECT box{};
    if (GetClipBox(dc, &box) == NULLREGION || IsRectEmpty(&box)) return 1;
    HBRUSH brush = CreateSolidBrush(frame->background);
    FillRect(dc, &box, brush);
    DeleteObject(brush);
    return 1;
}

// A sub-application's record follows its window: its size, and for a docked one the band it takes.
void SubApplicationSized(ApplicationRecord& app, LPARAM size) {
    const std::int32_t width = LOWORD(size), height = HIWORD(size);
    if (!(app.subAppOptions & SubAppDocked)) {
        app.subAppWidth = width;
        app.subAppHeight = height;
        return;
    }
    const std::uint32_t side = app.subAppOptions & SubAppDockSides;
    std::int32_t& band =
        (side == SubAppDockTop || side == SubAppDockBottom) ? app.subAppHeight : app.subAppWidth;
    const std::int32_t now = (side == SubAppDockTop || side == SubAppDockBottom) ? height : width;
    if (band == now) return;
    band = now;
    LayoutDockedSubApps();
}

void OnFrameSize(HWND window, LPARAM size) {
    UpdateScreenSize();
    if (!Services().fullScreen) SyncDisplaySurfaceSize(FindAppWindow(window));
    ApplicationRecord* app = CurrentApplication();
    if (app && app->parent && app->frameWindow == window) SubApplicationSized(*app, size);
    if (app) ModalLoopStep(*app);
}

// A sub-application's record takes its window's place, in its parent's frame unless it is a popup.
void OnFramePlaced(HWND window, LPARAM lParam) {
    UpdateScreenSize();
    ApplicationRecord* app = CurrentApplication();
    const auto* place = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (!app || !app->parent || app->frameWindow != window || !place || (place->flags & SWP_NOMOVE)) return;
    const FrameRunState* parent = app->parent->run.frame ? app->parent->run.frame->runState : nullptr;
    const bool popup = app->subAppOptions & SubAppPopup;
    app->subAppX = place->x + (popup || !parent ? 0 : parent->scrollX);
    app->subAppY = place->y + (popup || !parent ? 0 : parent->scrollY);
}

// The close box of a sub-application's window: ignored, hides it, or ends it.
LRESULT OnSubApplicationClose(ApplicationRecord& app, HWND window) {
    if ((GetAppWindowFlags(FindAppWindow(window)) & AppWindowMdiChild) && EventRaisers().quitRequest &&
        EventRaisers().quitRequest())
        return 0;
    if (app.subAppOptions & SubAppCloseIgnored) return 0;
    if (app.subAppOptions & SubAppCloseHides) {
        ShowWindow(window, SW_HIDE);
        app.subAppVisible = 0;
    } else if (FrameRunState* s = CurrentRunState()) {
        s->exitCode = ExitError;
    }
    return 0;
}

// An MDI child stands still while another child is active.
void OnMdiActivate(HWND window, LPARAM activated) {
    if (!(GetAppWindowFlags(FindAppWindow(window)) & AppWindowMdiChild)) return;
    if (reinterpret_cast<HWND>(activated) == window)
        up::ResumeApplication();
    else
        up::PauseApplication();
}

LRESULT FrameWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        ForgetFrameWindow(window);
        break;
    case WM_SIZE:
        OnFrameSize(window, lParam);
        return 0;
    case WM_ERASEBKGND:
        return EraseFrameBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_WINDOWPOSCHANGED:
        OnFramePlaced(window, lParam);
        break;
    case WM_COMMAND:
        if (ApplicationRecord* app = CurrentApplication();
            app && app->parent && lParam == 0 && FrameRunning() && !FadeRunning() &&
            EventRaisers().menuCommand && EventRaisers().menuCommand(LOWORD(wParam)))
            return 0;
        break;
    case WM_CLOSE:
    case WM_SYSCOMMAND:
        if (ApplicationRecord* app = CurrentApplication();
            app && app->parent && (message == WM_CLOSE || (wParam & 0xFFF0) == SC_CLOSE))
            return OnSubApplicationClose(*app, window);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyDown(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
        ResetUserIdleTimeUnlessPaused();
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        OnMouseButton(message, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        RaiseMouseWheel(wParam);
        return 0;
    case WM_MDIACTIVATE:
        OnMdiActivate(window, lParam);
        break;
    case WM_DROPFILES:
        RaiseFilesDropped(wParam);
        return 0;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        return RealizeFramePalette(window, message, wParam);
    case MM_MCINOTIFY:
        return OnMusicNotice(wParam);
    default:
        break;
    }
    return AppWindowProcW(window, message, wParam, lParam);
}

// What the frame's window-message hooks make of a message; nothing when the procedure is to handle it.
std::optional<LRESULT> HookedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FrameRunState* s = CurrentRunState();
    if (!s) return std::nullopt;
    const std::uint16_t result = CallWindowHooks(s->frameWindow, message, wParam, lParam);
    if (result & HookHandled) return 0;
    if (result & HookDefaultOnly) {
        if (message == WM_NCCREATE || message == WM_CREATE) return 0;
        return AppWindowProcW(window, message, wParam, lParam);
    }
    if (result & HookStoredResult) return CurrentRunState() ? CurrentRunState()->hookResult : 0;
    return std::nullopt;
}

// While a modal sub-application runs the main window takes no input: it is not activated, and its clicks,
// commands and system commands (other than a restore) go nowhere. The quit commands still arrive, so that
// closing the window ends the run and the child's loop with it.
std::optional<LRESULT> RefusedWhileModal(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATEANDEAT;
    case WM_NCLBUTTONDOWN:
    case NonClientRightButtonDown:
    case NonClientMiddleButtonDown:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (lParam == 0 && (id == CommandQuit || id == CommandQuitToo)) return std::nullopt;
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE) return std::nullopt;
        return 0;
    default:
        return std::nullopt;
    }
}

} // namespace

void ForwardCommandToSubApps(WPARAM id, LPARAM lParam) {
    const HWND client = GetMdiClientHandle(Services().mainLibraryWindow);
    const auto active =
        client ? reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)) : nullptr;
    for (ApplicationRecord* app : RunningApplications()) {
        if (!app->parent || !app->frameWindow) continue;
        const bool mdiChild = GetAppWindowFlags(app->frameLibraryWindow) & AppWindowMdiChild;
        if (!active || active == app->frameWindow || (app->subAppOptions & SubAppOwnActivation) || !mdiChild)
            PostMessageW(app->frameWindow, WM_COMMAND, id, lParam);
    }
}

bool& MainWindowClosing() {
    static bool closing = false;
    return closing;
}

bool RunMenuCommand(HWND window, int id) {
    if (!FadeRunning() && EventRaisers().menuCommand && EventRaisers().menuCommand(id)) return true;
    const ApplicationRecord* app = CurrentApplication();
    switch (id) {
    case CommandQuit:
    case CommandQuitToo:
        if (FadeRunning()) return true;
        if (EventRaisers().quitRequest && EventRaisers().quitRequest()) return true;
        EndApplication(ExitError);
        return false;
    case CommandRestart:
        if (!FadeRunning()) EndApplication(ExitRestartApplication);
        return true;
    case CommandPassword:
        if (!DialogsHeldBack() && app && app->framePasswords) RunPasswordDialog();
        return true;
    case CommandPause:
        if (!DialogsHeldBack()) RunPausedDialog();
        return true;
    case CommandPlayerControls:
        if (!DialogsHeldBack() && app)
            RunWhilePaused([] {
                ApplicationRecord* owner = GetControlsOwner(CurrentApplication());
                if (owner) ShowPlayerControlsDialog(Services().mainWindow, owner->globals.controls);
            });
        return true;
    case CommandHelp:
        if (app && app->helpFile && app->helpFile[0])
            RunWhilePaused([] { ShowHelpLaunchDialog(Services().mainWindow); });
        return true;
    case CommandAbout:
        if (!DialogsHeldBack()) RunWhilePaused([] { ShowAboutDialog(Services().mainWindow); });
        return true;
    case CommandSamples:
        ToggleSound(RuntimeSamplesOn);
        return true;
    case CommandMusic:
        ToggleSound(RuntimeMusicOn);
        return true;
    case CommandFullScreen:
        if (app && (app->header.flags1 & HeaderFullScreenSwitching)) {
            if (Services().fullScreen)
                SwitchToWindow();
            else
                SwitchToFullScreen(0);
        }
        return true;
    case CommandMenuBar:
        if (app && (app->header.flags1 & HeaderMenuBar)) {
            if (GetMenu(window))
                HideMenuBar();
            else
                ShowMenuBar();
            FitFrameWindow();
        }
        return true;
    default:
        RunMdiCommand(id);
        return true;
    }
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (MainWindowClosing()) {
        if (message == WM_DESTROY) KillTimer(window, ModalStepTimer);
        return AppWindowProcW(window, message, wParam, lParam);
    }
    CurrentApplicationScope scope(TopApplication());
    if (Services().modalSubApplications > 0)
        if (const std::optional<LRESULT> refused = RefusedWhileModal(message, wParam, lParam))
            return *refused;
    if (const std::optional<LRESULT> hooked = HookedMessage(window, message, wParam, lParam)) return *hooked;
    if (message == ModalMessage && wParam == ModalMessageMainWindowParameter) return 0;
    return MainWindowMessage(window, message, wParam, lParam);
}

LRESULT FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ModalMessage) return 0;
    CurrentApplicationScope scope(OwnerOfFrameWindow(window));
    if (const std::optional<LRESULT> hooked = HookedMessage(window, message, wParam, lParam)) return *hooked;
    return FrameWindowMessage(window, message, wParam, lParam);
}

ShellEventRaisers& EventRaisers() {
    static ShellEventRaisers raisers;
    return raisers;
}

void RaiseFilesDropped(WPARAM drop) {
    if (EventRaisers().filesDropped) EventRaisers().filesDropped(reinterpret_cast<HDROP>(drop));
}

void ResetUserIdleTimeUnlessPaused() {
    if (!up::ApplicationPaused() && EventRaisers().resetUserIdleTime) EventRaisers().resetUserIdleTime();
}

} // namespace vtrrt
