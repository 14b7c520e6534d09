// X protocol errors reported and ignored: a request that names a window the server has already destroyed
// (an event sent on SDL's second connection while the window goes on the first) must not end the run.
#include "window_internal.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace win32 {
namespace {

// Enough lines to say what went wrong without flooding the terminal when a fault repeats.
constexpr int kReportedErrors = 8;
std::atomic<int> xErrors{0};

int ReportXError(Display* display, XErrorEvent* error) {
    const int seen = xErrors.fetch_add(1) + 1;
    if (seen > kReportedErrors) return 0;
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "vtr: X error ignored: %s (request %d.%d, resource 0x%lx)%s\n", text,
                 error->request_code, error->minor_code, error->resourceid,
                 seen == kReportedErrors ? "; further X errors are not shown" : "");
    return 0;
}

} // namespace

void IgnoreXErrors() {
    // SDL installs its own handler when its X driver starts, which ends the process on the first error.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) XSetErrorHandler(&ReportXError);
}

namespace testing {

namespace {
Display* SdlDisplay(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}
} // namespace

unsigned long XWindowOf(HWND window) {
    WindowObject* w = Win(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!w || IsChild(w) || !w->sdl || !SDL_GetWindowWMInfo(w->sdl, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

void SendXClientMessage(unsigned long xwindow) {
    Display* display = nullptr;
    for (HWND top = GetTopWindow(nullptr); top && !display; top = GetWindow(top, GW_HWNDNEXT))
        display = SdlDisplay(Win(top) ? top->sdl : nullptr);
    if (!display) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xwindow;
    event.xclient.format = 32;
    XSendEvent(display, xwindow, False, NoEventMask, &event);
    XSync(display, False);
}

int XErrorsSeen() {
    return xErrors.load();
}

} // namespace testing

} // namespace win32
