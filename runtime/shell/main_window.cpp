#include "shell/main_window.h"

#include "shell/frame_run_state.h"
#include "shell/runtime_services.h"
#include "startup/frame_record.h"

#include "win32/gdi.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr const WCHAR* MainClassName = u"Vt2MainClassTh";

void PaintFrame(HWND window) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (dc) {
        // Objects and backdrops are drawn by the sprite services, not part of this build: the frame shows
        // its background colour.
        const FrameRecord* frame = Services().frame;
        RECT client{};
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(frame ? frame->background : 0);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    }
    EndPaint(window, &paint);
}

// A close request ends the application at the end of the current tick.
void RequestEnd() {
    if (FrameRunState* s = CurrentRunState()) {
        s->exitCode = ExitEndApplication;
        return;
    }
    if (ApplicationRecord* app = CurrentApplication()) app->runState = StateQuit;
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintFrame(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:
        RequestEnd();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

HWND CreateMainWindow(ApplicationRecord& app, HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = MainClassName;
    RegisterClassExW(&wc); // already registered is as good
    RECT rect{0, 0, app.header.windowWidth ? app.header.windowWidth : 640,
              app.header.windowHeight ? app.header.windowHeight : 480};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExW(0, MainClassName, app.name ? app.name : u"", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    Services().mainWindow = window;
    return window;
}

void DestroyMainWindow() {
    RuntimeServices& services = Services();
    if (services.mainWindow) DestroyWindow(services.mainWindow);
    services.mainWindow = nullptr;
}

} // namespace vtrrt
