// A window class whose procedure records every message it receives, for the window layer's tests.
#pragma once

#include "win32/gdi.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace windows_test {

using namespace win32;

// SDL input events as the devices would queue them for a window.
inline SDL_Event KeyEvent(Uint32 type, Uint32 window, SDL_Scancode scancode, SDL_Keycode sym) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = window;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = sym;
    return e;
}

inline SDL_Event ButtonEvent(Uint32 type, Uint32 window, Uint8 button, POINT at) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = window;
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = at.x;
    e.button.y = at.y;
    return e;
}

inline SDL_Event MotionEvent(Uint32 window, POINT at) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = window;
    e.motion.x = at.x;
    e.motion.y = at.y;
    return e;
}

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LPVOID createParam; // read while the creation block is alive
};

inline std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}

// Messages that the layer generates on its own and that most tests do not look at.
inline bool Noise(UINT m) {
    return m == WM_PAINT || m == WM_ERASEBKGND || m == WM_SETCURSOR || m == WM_MOUSEACTIVATE ||
           m == WM_GETMINMAXINFO || m == WM_ACTIVATE || m == WM_ACTIVATEAPP || m == WM_SETFOCUS ||
           m == WM_KILLFOCUS || m == WM_SHOWWINDOW || m == WM_WINDOWPOSCHANGING || m == WM_WINDOWPOSCHANGED ||
           m == WM_MOVE || m == WM_NCCREATE || m == WM_CREATE || m == WM_NCDESTROY || m == WM_SIZE;
}

inline LRESULT RecordProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    LPVOID param =
        (m == WM_CREATE || m == WM_NCCREATE) ? reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams : nullptr;
    Log().push_back(Seen{w, m, wp, lp, param});
    return DefWindowProcW(w, m, wp, lp);
}

// A top-level window of a class of its own with the given procedure (registering the class again is
// harmless).
inline HWND MakeTopWindow(const char16_t* cls, WNDPROC proc, DWORD style, int x, int width, int height) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = cls;
    RegisterClassExW(&wc);
    return CreateWindowExW(0, cls, u"", style, x, 0, width, height, nullptr, nullptr, nullptr, nullptr);
}

inline void RegisterRecorder(const char16_t* name, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = RecordProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

// Dispatches everything waiting, as a message loop would, and returns what the procedures saw, less noise.
inline std::vector<Seen> Pump(bool keepNoise = false) {
    Log().clear();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::vector<Seen> out;
    for (const Seen& s : Log())
        if (keepNoise || !Noise(s.message)) out.push_back(s);
    return out;
}

inline std::vector<UINT> Messages(const std::vector<Seen>& seen) {
    std::vector<UINT> out;
    for (const Seen& s : seen)
        out.push_back(s.message);
    return out;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterRecorder(u"Recorder", CS_DBLCLKS);
        RegisterRecorder(u"PlainRecorder", 0);
        win32::testing::ResetInputState();
        win32::testing::UseFakeClock(true);
        top = CreateWindowExW(0, u"Recorder", u"top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                              nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        Pump();
    }
    void TearDown() override {
        DestroyWindow(top);
        Pump();
        win32::testing::AdvanceFakeClock(10000); // no double click spans two tests
        win32::testing::UseFakeClock(false);
    }
    HWND Child(int x, int y, int w, int h, DWORD style = 0, const char16_t* cls = u"Recorder") {
        return CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, top, nullptr, nullptr,
                               nullptr);
    }
    void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    Uint32 Id() const { return win32::testing::SdlWindowId(top); }
    HWND top = nullptr;
};

} // namespace windows_test
