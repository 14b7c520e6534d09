#include "recorder.h"
#include "support/param_names.h"

#include <algorithm>
#include <cstring>

using namespace windows_test;

namespace {

struct KeyCase {
    SDL_Scancode scancode;
    SDL_Keycode sym;
    WPARAM vk;
    int scan;
    bool extended;
};

class KeyTranslation : public WindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTranslation, KeyBecomesKeyDownAndUpWithItsVirtualKeyAndScanCode) {
    const KeyCase& k = GetParam();
    Push(KeyEvent(SDL_KEYDOWN, Id(), k.scancode, k.sym));
    Push(KeyEvent(SDL_KEYUP, Id(), k.scancode, k.sym));
    auto seen = Pump();
    seen.erase(std::remove_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_CHAR; }),
               seen.end());
    ASSERT_EQ(seen.size(), 2u);
    const bool system = k.vk == VK_MENU || k.vk == VK_F10;
    EXPECT_EQ(seen[0].message, system ? WM_SYSKEYDOWN : WM_KEYDOWN);
    EXPECT_EQ(seen[0].wParam, k.vk);
    const LPARAM down = 1 | (LPARAM(k.scan) << 16) | (k.extended ? LPARAM(1) << 24 : 0);
    const LPARAM altBit = k.vk == VK_MENU ? LPARAM(1) << 29 : 0;
    EXPECT_EQ(seen[0].lParam, down | altBit);
    EXPECT_EQ(seen[1].message, system ? WM_SYSKEYUP : WM_KEYUP);
    EXPECT_EQ(seen[1].lParam, down | (LPARAM(3) << 30));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyTranslation,
    ::testing::Values(KeyCase{SDL_SCANCODE_A, SDLK_a, 'A', 0x1E, false},
                      KeyCase{SDL_SCANCODE_Z, SDLK_z, 'Z', 0x2C, false},
                      KeyCase{SDL_SCANCODE_1, SDLK_1, '1', 0x02, false},
                      KeyCase{SDL_SCANCODE_0, SDLK_0, '0', 0x0B, false},
                      KeyCase{SDL_SCANCODE_SPACE, SDLK_SPACE, VK_SPACE, 0x39, false},
                      KeyCase{SDL_SCANCODE_RETURN, SDLK_RETURN, VK_RETURN, 0x1C, false},
                      KeyCase{SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, VK_RETURN, 0x1C, true},
                      KeyCase{SDL_SCANCODE_LEFT, SDLK_LEFT, VK_LEFT, 0x4B, true},
                      KeyCase{SDL_SCANCODE_UP, SDLK_UP, VK_UP, 0x48, true},
                      KeyCase{SDL_SCANCODE_F1, SDLK_F1, VK_F1, 0x3B, false},
                      KeyCase{SDL_SCANCODE_F10, SDLK_F10, VK_F10, 0x44, false},
                      KeyCase{SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, VK_SHIFT, 0x2A, false},
                      KeyCase{SDL_SCANCODE_RCTRL, SDLK_RCTRL, VK_CONTROL, 0x1D, true},
                      KeyCase{SDL_SCANCODE_LALT, SDLK_LALT, VK_MENU, 0x38, false},
                      KeyCase{SDL_SCANCODE_KP_4, SDLK_KP_4, 0x64, 0x4B, false}),
    [](const auto& info) { return test_support::Numbered("Scancode", info.param.scancode); });

TEST_F(WindowTest, KeyStateFollowsRetrievedMessagesAndAsyncStateFollowsTheDevice) {
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_LSHIFT, SDLK_LSHIFT));
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_NULL, WM_NULL, PM_NOREMOVE); // takes the SDL event in, retrieves nothing
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "the key message has not been retrieved yet";
    Pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetKeyState(VK_LSHIFT), 0);
    EXPECT_GE(GetKeyState(VK_RSHIFT), 0);
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_LSHIFT, SDLK_LSHIFT));
    Pump();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0);
}

TEST_F(WindowTest, AltHeldMakesSystemKeysWithTheContextBit) {
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_LALT, SDLK_LALT));
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_X, SDLK_x));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_X, SDLK_x));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_LALT, SDLK_LALT));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[1].message, WM_SYSKEYDOWN);
    EXPECT_EQ(seen[1].wParam, WPARAM('X'));
    EXPECT_TRUE(seen[1].lParam & (LPARAM(1) << 29));
    EXPECT_EQ(seen[2].message, WM_SYSKEYUP);
    const auto syschar =
        std::find_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_SYSCHAR; });
    ASSERT_NE(syschar, seen.end()) << "Alt with a letter is a system character";
    EXPECT_EQ(syschar->wParam, WPARAM('x'));
}

TEST_F(WindowTest, RepeatedKeyDownHasThePreviousStateBit) {
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_B, SDLK_b));
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_B, SDLK_b));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_B, SDLK_b));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_FALSE(seen[0].lParam & (LPARAM(1) << 30));
    EXPECT_TRUE(seen[1].lParam & (LPARAM(1) << 30));
}

TEST_F(WindowTest, TextAndControlKeysBecomeCharacters) {
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    text.text.windowID = Id();
    std::strcpy(text.text.text, "a\xC3\xA9"); // "aé"
    Push(text);
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_RETURN, SDLK_RETURN));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_RETURN, SDLK_RETURN));
    auto seen = Pump();
    std::vector<WPARAM> chars;
    for (const Seen& s : seen)
        if (s.message == WM_CHAR) chars.push_back(s.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 0xE9, '\r'}));
}

TEST_F(WindowTest, KeysGoToTheFocusWindow) {
    HWND child = Child(0, 0, 10, 10);
    SetFocus(child);
    EXPECT_EQ(GetFocus(), child);
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_C, SDLK_c));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_C, SDLK_c));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, child);
}

// A dialog closed by a key's press (Escape) goes before the key is let go: the release, which names the
// dialog's window or no window at all, reaches the owner the keyboard went back to, and the key is up again
// for the program (else its next frame would see Escape held). Hiding the dialog hands over the same way.
class DialogClosedByAKey : public WindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DialogClosedByAKey, ItsReleaseReachesTheOwnerAndTheKeyIsUpAgain) {
    const bool destroyed = GetParam();
    HWND dialog = CreateWindowExW(0, u"Recorder", u"dialog", WS_POPUP | WS_VISIBLE, 20, 20, 80, 60, top,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    const Uint32 dialogId = win32::testing::SdlWindowId(dialog);
    SetActiveWindow(dialog);
    Pump();
    Push(KeyEvent(SDL_KEYDOWN, dialogId, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    auto seen = Pump();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].window, dialog);
    EXPECT_LT(GetKeyState(VK_ESCAPE), 0);
    if (destroyed)
        DestroyWindow(dialog);
    else
        ShowWindow(dialog, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(GetFocus(), top);
    Push(KeyEvent(SDL_KEYUP, destroyed ? dialogId : 0, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, top);
    EXPECT_EQ(seen[0].message, UINT(WM_KEYUP));
    EXPECT_EQ(seen[0].wParam, WPARAM(VK_ESCAPE));
    EXPECT_GE(GetKeyState(VK_ESCAPE), 0);
    EXPECT_GE(GetAsyncKeyState(VK_ESCAPE), 0);
    // The next key, still given no window by the window system, reaches the owner too.
    Push(KeyEvent(SDL_KEYDOWN, 0, SDL_SCANCODE_A, SDLK_a));
    seen = Pump();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].window, top);
    EXPECT_EQ(seen[0].wParam, WPARAM('A'));
    Push(KeyEvent(SDL_KEYUP, 0, SDL_SCANCODE_A, SDLK_a));
    Pump();
    if (!destroyed) DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(Keys, DialogClosedByAKey, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Destroyed" : "Hidden"; });

// The release may already wait for a control of the dialog when the dialog goes: it reaches the owner
// instead of going with the dialog.
TEST_F(WindowTest, AKeyReleaseWaitingForADestroyedDialogReachesTheOwner) {
    HWND dialog = CreateWindowExW(0, u"Recorder", u"dialog", WS_POPUP | WS_VISIBLE, 20, 20, 80, 60, top,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND button = CreateWindowExW(0, u"Recorder", u"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 10, dialog, nullptr,
                                  nullptr, nullptr);
    const Uint32 dialogId = win32::testing::SdlWindowId(dialog);
    SetActiveWindow(dialog);
    SetFocus(button);
    Pump();
    Push(KeyEvent(SDL_KEYDOWN, dialogId, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    Push(KeyEvent(SDL_KEYUP, dialogId, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, button);
    DestroyWindow(dialog);
    const auto seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, top);
    EXPECT_EQ(seen[0].message, UINT(WM_KEYUP));
    EXPECT_GE(GetKeyState(VK_ESCAPE), 0);
}

TEST_F(WindowTest, MouseMessagesGoToTheChildUnderThePointInItsClientCoordinates) {
    HWND child = Child(30, 40, 50, 20, WS_BORDER);
    Push(MotionEvent(Id(), POINT{36, 45}));
    Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_RIGHT, POINT{36, 45}));
    Push(ButtonEvent(SDL_MOUSEBUTTONUP, Id(), SDL_BUTTON_RIGHT, POINT{36, 45}));
    Push(MotionEvent(Id(), POINT{5, 6}));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].window, child);
    EXPECT_EQ(seen[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(5, 4)) << "inside the one-pixel border";
    EXPECT_EQ(seen[1].message, WM_RBUTTONDOWN);
    EXPECT_EQ(seen[1].wParam, MK_RBUTTON);
    EXPECT_EQ(seen[2].message, WM_RBUTTONUP);
    EXPECT_EQ(seen[2].wParam, 0u);
    EXPECT_EQ(seen[3].window, top);
    EXPECT_EQ(seen[3].lParam, MAKELPARAM(5, 6));
}

TEST_F(WindowTest, CaptureSendsTheMouseToItsWindowWithCoordinatesOutsideIt) {
    HWND child = Child(100, 100, 20, 20);
    SetCapture(child);
    Push(MotionEvent(Id(), POINT{90, 95}));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, child);
    EXPECT_EQ(GET_X_LPARAM(seen[0].lParam), -10);
    EXPECT_EQ(GET_Y_LPARAM(seen[0].lParam), -5);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
}

struct ClickCase {
    const char16_t* cls;
    DWORD gap;
    int dx;
    UINT second;
};

class DoubleClick : public WindowTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(DoubleClick, SecondPressIsADoubleClickOnlyForItsClassQuicklyAndNearby) {
    const ClickCase& c = GetParam();
    HWND child = Child(0, 0, 100, 100, 0, c.cls);
    Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_LEFT, POINT{10, 10}));
    Push(ButtonEvent(SDL_MOUSEBUTTONUP, Id(), SDL_BUTTON_LEFT, POINT{10, 10}));
    Pump();
    win32::testing::AdvanceFakeClock(c.gap);
    Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_LEFT, POINT{10 + c.dx, 10}));
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, child);
    EXPECT_EQ(seen[0].message, c.second);
}

INSTANTIATE_TEST_SUITE_P(Clicks, DoubleClick,
                         ::testing::Values(ClickCase{u"Recorder", 100, 0, WM_LBUTTONDBLCLK},
                                           ClickCase{u"Recorder", 100, 1, WM_LBUTTONDBLCLK},
                                           ClickCase{u"Recorder", 600, 0, WM_LBUTTONDOWN},
                                           ClickCase{u"Recorder", 100, 10, WM_LBUTTONDOWN},
                                           ClickCase{u"PlainRecorder", 100, 0, WM_LBUTTONDOWN}));

TEST_F(WindowTest, ThirdQuickPressStartsAFreshClick) {
    for (int i = 0; i < 3; ++i)
        Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_MIDDLE, POINT{10, 10}));
    EXPECT_EQ(Messages(Pump()), (std::vector<UINT>{WM_MBUTTONDOWN, WM_MBUTTONDBLCLK, WM_MBUTTONDOWN}));
}

TEST_F(WindowTest, WheelGivesDeltaInTheHighWordOfWParam) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = Id();
    e.wheel.y = -2;
    Push(e);
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, WM_MOUSEWHEEL);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(seen[0].wParam), -240);
}

TEST_F(WindowTest, ResizeOfTheSdlWindowSendsSizeWithTheClientSize) {
    SDL_SetWindowSize(SDL_GetWindowFromID(Id()), 300, 120); // as the window manager would
    auto seen = Pump(true);
    auto size = std::find_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_SIZE; });
    ASSERT_NE(size, seen.end());
    EXPECT_EQ(size->lParam, MAKELPARAM(300, 120));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 299, 119), RGB(0, 0, 0)) << "the backing bitmap grew";
}

TEST_F(WindowTest, StaleSizeEventsOfTheSdlWindowAreIgnored) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = Id();
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 300; // not the window's size any more
    e.window.data2 = 120;
    Push(e);
    Pump();
    RECT client;
    GetClientRect(top, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 150);
}

TEST_F(WindowTest, FocusGainedActivatesAndFocusesTheWindow) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = Id();
    e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    Push(e);
    auto seen = Messages(Pump(true));
    std::vector<UINT> activation;
    for (UINT m : seen)
        if (m == WM_ACTIVATEAPP || m == WM_ACTIVATE || m == WM_SETFOCUS) activation.push_back(m);
    EXPECT_EQ(activation, (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS}));
    EXPECT_EQ(GetActiveWindow(), top);
}

TEST_F(WindowTest, DroppedFilesReachTheAcceptingWindowWithTheirNames) {
    HWND child = Child(0, 0, 100, 100);
    DragAcceptFiles(child, TRUE);
    Push(MotionEvent(Id(), POINT{20, 30}));
    SDL_Event e{};
    e.drop.windowID = Id();
    e.type = SDL_DROPBEGIN;
    Push(e);
    e.type = SDL_DROPFILE;
    e.drop.file = SDL_strdup("/tmp/one.txt");
    Push(e);
    e.drop.file = SDL_strdup("/tmp/tw\xC3\xB6.txt");
    Push(e);
    e.type = SDL_DROPCOMPLETE;
    e.drop.file = nullptr;
    Push(e);
    auto seen = Pump();
    auto drop =
        std::find_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_DROPFILES; });
    ASSERT_NE(drop, seen.end());
    EXPECT_EQ(drop->window, child);
    auto handle = reinterpret_cast<HDROP>(drop->wParam);
    EXPECT_EQ(DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0), 2u);
    char16_t name[32];
    EXPECT_EQ(DragQueryFileW(handle, 1, name, 32), 12u);
    EXPECT_EQ(std::u16string(name), u"/tmp/tw\u00F6.txt");
    POINT p;
    DragQueryPoint(handle, &p);
    EXPECT_EQ(p.x, 20);
    EXPECT_EQ(p.y, 30);
    DragFinish(handle);
}

TEST(Cursor, ShowCursorCountsAndLoadsStockCursors) {
    const int base = ShowCursor(TRUE) - 1;
    EXPECT_EQ(ShowCursor(FALSE), base);
    EXPECT_EQ(ShowCursor(FALSE), base - 1);
    EXPECT_EQ(ShowCursor(TRUE), base);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
    EXPECT_NE(LoadCursorW(nullptr, IDC_WAIT), LoadCursorW(nullptr, IDC_ARROW));
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    SetCursor(wait);
    EXPECT_EQ(GetCursor(), wait);
}

} // namespace

namespace {

LRESULT RefusesClicks(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_MOUSEACTIVATE) return MA_NOACTIVATEANDEAT;
    return RecordProc(w, m, wp, lp);
}

TEST_F(WindowTest, InactiveWindowThatRefusesActivationEatsTheClick) {
    HWND other = MakeTopWindow(u"ClickRefuser", RefusesClicks, WS_POPUP | WS_VISIBLE, 300, 50, 50);
    Pump();
    SDL_Event e =
        ButtonEvent(SDL_MOUSEBUTTONDOWN, win32::testing::SdlWindowId(other), SDL_BUTTON_LEFT, POINT{5, 5});
    Push(e);
    EXPECT_TRUE(Pump().empty());
    EXPECT_NE(GetActiveWindow(), other);
    Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_LEFT, POINT{5, 5}));
    EXPECT_EQ(Messages(Pump()), std::vector<UINT>{WM_LBUTTONDOWN});
    EXPECT_EQ(GetActiveWindow(), top) << "a click activates the window that accepts it";
    DestroyWindow(other);
}

TEST_F(WindowTest, WindowManagerMinimizeAndRestoreComeAsSystemCommands) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = Id();
    e.window.event = SDL_WINDOWEVENT_MINIMIZED;
    Push(e);
    auto seen = Pump(true);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].message, WM_SYSCOMMAND);
    EXPECT_EQ(seen[0].wParam, SC_MINIMIZE);
    EXPECT_TRUE(IsIconic(top));
    e.window.event = SDL_WINDOWEVENT_RESTORED;
    Push(e);
    seen = Pump(true);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].wParam, SC_RESTORE);
    EXPECT_FALSE(IsIconic(top));
}

LRESULT SmallMaximum(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_GETMINMAXINFO) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMaxSize = POINT{300, 200};
        info->ptMaxPosition = POINT{7, 8};
        info->ptMaxTrackSize = POINT{320, 240};
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

TEST_F(WindowTest, MaximizeAndUserSizingKeepTheSizesTheWindowAccepts) {
    HWND w = MakeTopWindow(u"SmallMaximum", SmallMaximum, WS_POPUP | WS_VISIBLE, 0, 100, 100);
    SDL_SetWindowSize(SDL_GetWindowFromID(win32::testing::SdlWindowId(w)), 500, 400);
    Pump();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 240);
    ShowWindow(w, SW_MAXIMIZE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.right - r.left, 300);
    DestroyWindow(w);
}

TEST_F(WindowTest, MdiChildrenAreToldWhenTheyGainOrLoseTheActivation) {
    HWND client = CreateWindowExW(0, u"mdiclient", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 100, 80, top,
                                  nullptr, nullptr, nullptr);
    MDICREATESTRUCTW mdi{u"Recorder",   u"", nullptr, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, 0,   0};
    auto first =
        reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
    Log().clear();
    auto second =
        reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
    std::vector<HWND> told;
    for (const Seen& s : Log())
        if (s.message == WM_MDIACTIVATE) {
            told.push_back(s.window);
            EXPECT_EQ(reinterpret_cast<HWND>(s.lParam), second);
        }
    EXPECT_EQ(told, (std::vector<HWND>{first, second}));
    SendMessageW(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(first), 0);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)), first);
    SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(first), 0);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)), second);
}

} // namespace
