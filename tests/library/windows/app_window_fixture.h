// A context, a window class whose procedure defers to the library's, and work surfaces for the tests.
#pragma once

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"
#include "win32/gdi.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace app_window_test {

using namespace win32;

inline void RegisterAppClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC | CS_DBLCLKS;
    wc.lpfnWndProc = AppWindowProcW;
    wc.cbWndExtra = 12;
    wc.lpszClassName = u"AppTestClass";
    RegisterClassExW(&wc);
}

// Dispatches everything waiting.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

inline COLORREF PatternColour(int x, int y) {
    return RGB(static_cast<BYTE>(x * 8), static_cast<BYTE>(y * 8),
               static_cast<BYTE>(0x80 | ((x + y) & 1) * 0x78));
}

// A memory surface of a depth, each pixel coloured from its position; the window that it is attached to
// deletes it.
inline cSurface* PatternSurface(int width, int height, int depth) {
    cSurface prototype;
    auto* model = new cBufferSurface;
    model->SetDepth(depth);
    prototype.SetImplementation(model);
    cSurface* surface = NewSurface();
    if (!surface->Create(width, height, &prototype)) {
        DeleteSurface(surface);
        return nullptr;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            surface->SetPixel(x, y, PatternColour(x, y));
    return surface;
}

class AppWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterAppClass();
        win32::testing::UseFakeClock(true);
        context = CreateAppContext(nullptr, nullptr);
        ASSERT_NE(context, nullptr);
        SetAppDisplayMode(context, 8);
    }
    void TearDown() override {
        DestroyAppContext(context);
        Pump();
        win32::testing::UseFakeClock(false);
    }
    AppWindowParams Params(DWORD type, int clientWidth, int clientHeight) const {
        AppWindowParams p{};
        p.size = sizeof p;
        p.width = -clientWidth;
        p.height = -clientHeight;
        p.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
        p.title = u"test";
        p.className = u"AppTestClass";
        p.areaWidth = -640;
        p.areaHeight = -480;
        p.cursor = reinterpret_cast<HCURSOR>(1);
        p.background = 0x808080;
        p.windowType = type;
        return p;
    }
    AppWindow* Create(const AppWindowParams& p) {
        AppWindow* w = CreateAppWindowW(context, &p);
        EXPECT_TRUE(IsAppWindow(w));
        return IsAppWindow(w) ? w : nullptr;
    }
    AppContext* context = nullptr;
};

} // namespace app_window_test
