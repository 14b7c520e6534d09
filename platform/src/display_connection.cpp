// The end of a run whose X display connection is lost: Xlib cannot go on once it is, so the process ends
// there, its temporary folders removed first and one line saying why on stderr.
#include "window_internal.h"

#include "kernel/owned_folders.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace win32 {

namespace {

constexpr int ExitOnLostDisplay = 1;

int OnDisplayConnectionLost(Display*) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "X connection to %s broken: the run ends\n",
                 display && *display ? display : "the display");
    std::fflush(stderr);
    detail::EndProcessAfterRemovingOwnedFolders(ExitOnLostDisplay);
}

} // namespace

void WatchDisplayConnection() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) return;
    // SDL has loaded Xlib for its X11 driver; only the one copy in the process has the connection.
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!xlib) return;
    using SetHandler = XIOErrorHandler (*)(XIOErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler")))
        set(OnDisplayConnectionLost);
    // The library stays loaded for SDL's sake; this only drops the extra reference taken here.
    dlclose(xlib);
}

} // namespace win32
