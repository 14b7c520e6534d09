#include "shell/frame_window.h"

#include "core/application_record.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/main_window.h"
#include "shell/mdi_client.h"
#include "startup/runtime_files.h"

#include "vtrs2/app_window.h"
#include "win32/gdi.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr int StringWindowInit = 2;
constexpr COLORREF FrameWindowBackground = 0x808080;
// A sub-application shown as an MDI child has a caption and a system menu.
constexpr DWORD MdiChildStyle = 0xC80000;

} // namespace

int CreateFrameWindow(HWND parent, DWORD style, DWORD exStyle) {
    RuntimeServices& services = Services();
    ApplicationRecord* app = CurrentApplication();
    if (!app) return StringWindowInit;
    AppWindowParams p{};
    p.size = sizeof(AppWindowParams);
    p.instance = GetRuntimeFiles().instance;
    if (style & WS_CHILD) p.menuOrId = reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(FrameWindowId));
    p.parent = parent;
    p.width = services.screenWidth / 2;
    p.height = services.screenHeight / 2;
    p.style = style;
    p.title = u"";
    p.className = FrameWindowClass;
    p.exStyle = exStyle | ((ExtendedOptionFlags(*app) & ExtendedRtlReading) ? WS_EX_RTLREADING : 0);
    p.areaWidth = -services.screenWidth;
    p.areaHeight = -services.screenHeight;
    p.cursor = reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(1));
    p.background = FrameWindowBackground;
    p.windowType = AppWindowMain;
    p.optionFlags = (app->header.flags1 & HeaderFitFrame) ? AppWindowStretch : 0;
    const bool mdi = !app->parent && (app->header.flags2 & HeaderMdi);
    if (app->parent && (app->subAppOptions & SubAppMdiChild) && TopApplication() &&
        (TopApplication()->header.flags2 & HeaderMdi)) {
        p.style |= MdiChildStyle;
        p.optionFlags |= AppWindowMdiChild;
    }
    if (mdi) {
        p.existingWindow = GetMdiClientHandle(services.mainLibraryWindow);
        if (!p.existingWindow) return StringWindowInit;
        p.windowType = AppWindowPlain;
        p.optionFlags = AppWindowMdiClient;
        p.background = reinterpret_cast<ULONG_PTR>(GetSysColorBrush(COLOR_WINDOWFRAME));
    }
    AppWindow* window = CreateAppWindowW(services.libraryContext, &p);
    if (!IsAppWindow(window)) {
        app->frameLibraryWindow = nullptr;
        return StringWindowInit;
    }
    const HWND handle = GetAppWindowHandle(window);
    if (mdi) SubclassMdiClient(handle);
    app->frameWindow = services.frameWindow = handle;
    app->frameLibraryWindow = services.frameLibraryWindow = window;
    // The keys go to the top application's play area; a sub-application's window takes them when clicked.
    if (!app->parent) SetFocus(handle);
    return 0;
}

} // namespace vtrrt
