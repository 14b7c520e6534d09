#include "shell/main_window.h"

#include "shell/application_menu.h"
#include "shell/command_line.h"
#include "shell/runtime_services.h"
#include "shell/window_procedures.h"
#include "startup/runtime_files.h"

#include "win32/instance.h"

#include <cstdio>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int ClassExtraBytes = 12;
constexpr int ClassNameUnits = 64;
constexpr std::uint16_t SoundFlagsOn = 0xC000;
constexpr int StringClassNotRegistered = 23;
// Header word at offset 4: the menu bar is wanted (with 0x80 it is not).
constexpr std::uint16_t HeaderMenuBar = 0x100;
constexpr std::uint16_t HeaderNoMenuBar = 0x80;

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Another instance shows itself by a main window of ours (or a screen saver's) in this process, or by its
// hold on the instance lock.
bool OtherInstanceRuns() {
    const bool alone = RegisterProgramInstance(u"vtrrt-instance") != FALSE;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        WCHAR name[ClassNameUnits]{};
        const int n = GetClassNameW(w, name, ClassNameUnits);
        const std::u16string_view cls(name, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (EqualNoCase(cls, MainWindowClass) || EqualNoCase(cls, u"WindowsScreenSaverClass")) return true;
    }
    return !alone;
}

bool Register(HINSTANCE instance, const WCHAR* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_OWNDC | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = ClassExtraBytes;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    // With these arguments a registration fails only when an earlier run of this process made the class.
    RegisterClassExW(&wc);
    return true;
}

void ShowMenuWhenWanted(const ApplicationRecord& app) {
    const std::uint16_t flags = app.header.flags1;
    if ((flags & HeaderMenuBar) && !(flags & HeaderNoMenuBar)) ShowMenuBar();
}

constexpr DWORD FullScreenRemoved = 0xCD0000;
constexpr DWORD WindowedBits = 0xCF0000;
constexpr std::uint16_t HeaderFullScreen = 0x2;
constexpr std::uint16_t HeaderNoMinimizeBox = 0x10;
constexpr std::uint16_t HeaderNoMaximizeBox = 0x20;
constexpr std::uint16_t HeaderNoThickFrame = 0x40;

} // namespace

void ApplyMainWindowStyle(HWND window, const ApplicationRecord& app) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    DWORD wanted = style;
    if (app.header.flags1 & HeaderFullScreen) {
        wanted = style & ~FullScreenRemoved;
    } else {
        const std::uint16_t f = app.header.flags2;
        DWORD bits = WS_CAPTION | WS_SYSMENU;
        if (!(f & HeaderNoMinimizeBox)) bits |= WS_MINIMIZEBOX;
        if (!(f & HeaderNoMaximizeBox)) bits |= WS_MAXIMIZEBOX;
        if (!(f & HeaderNoThickFrame)) bits |= WS_THICKFRAME;
        wanted = (style & ~WindowedBits) | bits;
    }
    if (wanted == style) return;
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(wanted));
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

int RegisterWindowClasses(HINSTANCE instance) {
    static bool purged = false;
    if (!purged && !OtherInstanceRuns()) PurgeStaleTempFolders();
    purged = true;
    if (!Register(instance, MainWindowClass, MainWindowProc) ||
        !Register(instance, FrameWindowClass, FrameWindowProc))
        return StringClassNotRegistered;
    Services().flags = SoundFlagsOn;
    return 0;
}

HWND CreateMainWindow(ApplicationRecord& app, HINSTANCE instance) {
    if (RegisterWindowClasses(instance) != 0) return nullptr;
    MainWindowClosing() = false;
    const int width = app.header.windowWidth ? app.header.windowWidth : 640;
    const int height = app.header.windowHeight ? app.header.windowHeight : 480;
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, FALSE, 0);
    HWND window = CreateWindowExW(
        0, MainWindowClass, app.name ? app.name : u"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    Services().mainWindow = window;
    if (!window) return nullptr;
    ApplyMainWindowStyle(window, app);
    const std::span<const std::uint8_t> menuData(app.menuData.data,
                                                 app.menuData.data ? app.menuData.size : 0);
    const std::span<const std::uint8_t> icons(app.imageList.data,
                                              app.imageList.data ? app.imageList.size : 0);
    if (LoadApplicationMenu(menuData, icons) == MenuLoad::Loaded) ShowMenuWhenWanted(app);
    return window;
}

void DestroyMainWindow() {
    RuntimeServices& services = Services();
    MainWindowClosing() = true;
    if (services.mainWindow) {
        SetMenu(services.mainWindow, nullptr);
        DestroyWindow(services.mainWindow);
        services.mainWindow = nullptr;
        PostQuitMessage(0);
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) break;
    }
    FreeApplicationMenu(nullptr);
    MainWindowClosing() = false;
}

void ShutdownApplication() {
    DestroyMainWindow();
    GetCommandLineOptions().applicationFileName.clear();
}

} // namespace vtrrt
