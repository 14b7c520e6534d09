#include "shell/main_window.h"

#include "shell/extension_services.h"

#include "builtin/sound_services.h"
#include "core/byte_reader.h"
#include "core/command_line.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "objects/transition_modules.h"
#include "shell/application_menu.h"
#include "shell/runtime_dialogs.h"
#include "shell/window_procedures.h"
#include "startup/build_palette.h"
#include "startup/font_cache.h"
#include "startup/runtime_files.h"
#include "startup/shell_services.h"

#include "vtrs2/app_window.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/gdi.h"
#include "win32/kernel.h"

#include <cstdio>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int ClassExtraBytes = 12;
constexpr int StringClassNotRegistered = 23;
constexpr int StringCannotInitialize = 23;
constexpr int StringWindowInit = 2;
constexpr DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// Window type of a library window that is neither a drawing window nor a record for another window.
// Extended options: right-to-left reading and layout.
// Right-to-left layout that child windows do not inherit.
constexpr DWORD RtlLayoutNoInherit = 0x500000;

HCURSOR StandardArrow() {
    return reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(1));
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
    // Each run folder says whether its run still lives, so the purge needs no other instance to be absent.
    static bool purged = false;
    if (!purged) PurgeStaleTempFolders();
    purged = true;
    if (!Register(instance, MainWindowClass, MainWindowProc) ||
        !Register(instance, FrameWindowClass, FrameWindowProc))
        return StringClassNotRegistered;
    Services().flags = RuntimeSamplesOn | RuntimeMusicOn;
    return 0;
}

int CreateLibraryContext(HINSTANCE instance) {
    RuntimeServices& services = Services();
    if (!services.libraryContext) services.libraryContext = CreateAppContext(instance, nullptr);
    return services.libraryContext ? 0 : StringCannotInitialize;
}

std::uint32_t ExtendedOptionFlags(const ApplicationRecord& app) {
    const KeptChunk& block = app.extendedOptions;
    std::uint32_t word = 0;
    if (block.data) ByteReader({block.data, block.size}).U32(word);
    return word;
}

int CreateMainWindow(ApplicationRecord& app) {
    RuntimeServices& services = Services();
    const HINSTANCE instance = GetRuntimeFiles().instance;
    if (RegisterWindowClasses(instance) != 0) return StringWindowInit;
    MainWindowClosing() = false;
    const std::uint32_t extended = ExtendedOptionFlags(app);
    AppWindowParams p{};
    p.size = AppWindowParamsShortSize;
    p.instance = instance;
    p.width = services.screenWidth / 2;
    p.height = services.screenHeight / 2;
    p.x = services.screenWidth / 4;
    p.y = services.screenHeight / 4;
    p.style = MainWindowStyle;
    // The application's name stands in the caption until something else is shown there.
    p.title = app.name ? app.name : u"";
    p.className = MainWindowClass;
    p.exStyle = ((extended & ExtendedRtlReading) ? WS_EX_RTLREADING : 0) |
                ((extended & ExtendedRtlLayout) ? RtlLayoutNoInherit : 0);
    p.areaWidth = services.screenWidth + 16;
    p.areaHeight =
        services.screenHeight + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME) + 16;
    p.cursor = StandardArrow();
    p.background = reinterpret_cast<ULONG_PTR>(GetStockObject(BLACK_BRUSH));
    p.windowType = AppWindowPlain;
    p.optionFlags = (app.header.flags2 & HeaderMdi) ? AppWindowMdiFrame : 0;
    AppWindow* window = CreateAppWindowW(services.libraryContext, &p);
    if (!IsAppWindow(window)) {
        services.mainWindow = nullptr;
        services.mainLibraryWindow = nullptr;
        return StringWindowInit;
    }
    services.mainWindow = GetAppWindowHandle(window);
    services.mainLibraryWindow = window;
    ApplyMainWindowStyle(services.mainWindow, app);
    const std::span<const std::uint8_t> menuData(app.menuData.data,
                                                 app.menuData.data ? app.menuData.size : 0);
    const std::span<const std::uint8_t> icons(app.imageList.data,
                                              app.imageList.data ? app.imageList.size : 0);
    if (LoadApplicationMenu(menuData, icons) == MenuLoad::Loaded) ShowMenuWhenWanted(app);
    return 0;
}

void DestroyMainWindow() {
    RuntimeServices& services = Services();
    MainWindowClosing() = true;
    if (services.mainWindow) {
        SetMenu(services.mainWindow, nullptr);
        // The library window takes the frame window with it; its record is gone when the window already had
        // a destroy message.
        if (services.mainLibraryWindow && FindAppWindow(services.mainWindow) == services.mainLibraryWindow)
            DestroyAppWindow(services.mainLibraryWindow);
        else
            DestroyWindow(services.mainWindow);
        services.mainWindow = nullptr;
        services.mainLibraryWindow = nullptr;
        PostQuitMessage(0);
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) break;
    }
    FreeApplicationMenu(nullptr);
    MainWindowClosing() = false;
    // A run that ended before it made a context must not reach the library: it may have none to bind.
    if (services.libraryContext) DestroyAppContext(services.libraryContext);
    services.libraryContext = nullptr;
    DeleteRuntimePalette();
}

void ShutdownApplication() {
    FreeTransitionModules();
    DeleteExtractedFiles();
    ShutdownSound();
    ClearFontCache();
    FreeRuntimeDialogFonts();
    DestroyMainWindow();
    FreeRunningApplications();
    DeleteShellAtoms();
    GetCommandLineOptions().applicationFileName.clear();
    FreeShellResources();
    GetRuntimeFiles().languageFolder.reset();
    // Drivers are loaded by the library: a run that never bound it has none, and must not bind it now.
    if (GetRuntimeFiles().library) UnloadDisplayDrivers();
}

} // namespace vtrrt
