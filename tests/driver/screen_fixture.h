// A top-level window with a child, and screens made from the driver's screen prototype, for the driver's
// tests.
#pragma once

#include "plugin/display_driver.h"
#include "screen_surface.h"
#include "win32/d3d8_testing.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <vector>

namespace driver_test {

using namespace win32;

constexpr int TopWidth = 200, TopHeight = 150;
constexpr RECT ChildRect{20, 10, 84, 58}; // 64 x 48
constexpr int ChildWidth = 64, ChildHeight = 48;

inline LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

inline HWND MakeWindow(HWND parent, const RECT& r) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"DriverTest";
    RegisterClassExW(&wc);
    const DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
    return CreateWindowExW(0, u"DriverTest", u"", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, nullptr, nullptr, nullptr);
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        top = MakeWindow(nullptr, RECT{0, 0, TopWidth, TopHeight});
        child = MakeWindow(top, ChildRect);
        ASSERT_TRUE(top && child);
        prototype = SEGetSIPrototype(4);
        ASSERT_NE(prototype, nullptr);
    }
    void TearDown() override {
        for (cD3DScreenSurface* screen : screens)
            screen->Delete();
        DestroyWindow(top);
    }
    cD3DScreenSurface* NewScreen(int width = ChildWidth, int height = ChildHeight) {
        auto* screen = static_cast<cD3DScreenSurface*>(prototype->CreateSameKind(width, height));
        if (screen) screens.push_back(screen);
        return screen;
    }
    void Forget(cD3DScreenSurface* screen) { std::erase(screens, screen); }
    // A screen bound to the child and current on this thread.
    cD3DScreenSurface* BoundScreen() {
        cD3DScreenSurface* screen = NewScreen();
        if (!screen || !screen->SetWindow(child)) return nullptr;
        screen->MakeCurrent();
        return screen;
    }
    std::vector<D3DCOLOR> BackBuffer(cD3DScreenSurface* screen, UINT* width = nullptr,
                                     UINT* height = nullptr) {
        return win32::testing::ReadBackBuffer(screen->Device(), width, height);
    }

    HWND top = nullptr;
    HWND child = nullptr;
    cSurfaceImplementation* prototype = nullptr;
    std::vector<cD3DScreenSurface*> screens;
};

} // namespace driver_test
