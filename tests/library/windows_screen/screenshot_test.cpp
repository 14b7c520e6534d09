// End to end: a real window made through the library on an X server, checked by a screenshot of the display.
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"
#include "win32/kernel.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include "support/x_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace win32;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

COLORREF Pattern(int x, int y) {
    return RGB(static_cast<BYTE>(x * 4), static_cast<BYTE>(y * 5),
               static_cast<BYTE>((x / 8 + y / 8) % 2 ? 255 : 0));
}

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AppWindowProcW(window, message, wParam, lParam);
}

void PumpFor(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
}

COLORREF Colour(const vtrtest::Screenshot& shot, int x, int y) {
    const auto rgb = shot.Rgb(x, y);
    return rgb ? RGB((*rgb)[0], (*rgb)[1], (*rgb)[2]) : 0xFFFFFFFFu;
}

int Mismatches(const vtrtest::Screenshot& shot, POINT origin) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (Colour(shot, origin.x + x, origin.y + y) != Pattern(x, y)) ++wrong;
    return wrong;
}

// One X server for the process: SDL keeps its connection to the first display it opened.
vtrtest::VirtualDisplay* Display() {
    static vtrtest::VirtualDisplay display;
    static const bool started = display.Start(320, 240);
    return started ? &display : nullptr;
}

TEST(Screen, WindowDrawnThroughTheLibraryShowsThePatternOnTheDisplay) {
    if (!Display()) GTEST_SKIP() << "no X server could be started";
    vtrtest::VirtualDisplay& display = *Display();
    setenv("DISPLAY", display.Name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = Procedure;
    wc.cbWndExtra = 12;
    wc.lpszClassName = u"ScreenTest";
    UnregisterClassW(wc.lpszClassName, nullptr); // registered by an earlier run of the test
    ASSERT_NE(RegisterClassExW(&wc), 0);
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    SetAppDisplayMode(context, 8);
    AppWindowParams p{};
    p.size = sizeof p;
    p.x = 16;
    p.y = 24;
    p.width = -kWidth;
    p.height = -kHeight;
    p.style = WS_POPUP | WS_VISIBLE;
    p.className = u"ScreenTest";
    p.title = u"screen";
    p.areaWidth = -kWidth;
    p.areaHeight = -kHeight;
    p.cursor = reinterpret_cast<HCURSOR>(1);
    p.windowType = AppWindowMain;
    AppWindow* window = CreateAppWindowW(context, &p);
    ASSERT_TRUE(IsAppWindow(window));
    if (!win32::testing::SdlWindowId(GetAppWindowHandle(window))) {
        DestroyAppContext(context);
        GTEST_SKIP() << "SDL cannot open windows on the X server";
    }

    cSurface prototype;
    auto* model = new cBufferSurface;
    model->SetDepth(32);
    prototype.SetImplementation(model);
    cSurface* surface = NewSurface();
    ASSERT_TRUE(surface->Create(kWidth, kHeight, &prototype));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            surface->SetPixel(x, y, Pattern(x, y));
    ASSERT_TRUE(AttachWindowSurface(window, surface));

    POINT origin{0, 0};
    ClientToScreen(GetAppWindowHandle(window), &origin);
    const std::string path = "/tmp/vtr-screen-" + std::to_string(getpid()) + ".xwd";
    int wrong = kWidth * kHeight;
    // The server maps the window in its own time: draw and look again until the picture is there.
    for (int attempt = 0; attempt < 20 && wrong; ++attempt) {
        AddUpdateRect(window, nullptr);
        UpdateWindowFromSurface(window);
        PumpFor(5);
        vtrtest::Screenshot shot;
        if (!vtrtest::TakeScreenshot(display.Name(), path) || !shot.Read(path)) {
            std::remove(path.c_str());
            DestroyAppContext(context);
            GTEST_SKIP() << "no screenshot of the X display could be taken";
        }
        ASSERT_GE(shot.width, static_cast<std::uint32_t>(origin.x + kWidth));
        ASSERT_GE(shot.height, static_cast<std::uint32_t>(origin.y + kHeight));
        wrong = Mismatches(shot, origin);
    }
    std::remove(path.c_str());
    EXPECT_EQ(wrong, 0) << "pixels of the window that differ from the pattern";
    DestroyAppContext(context);
}

} // namespace
