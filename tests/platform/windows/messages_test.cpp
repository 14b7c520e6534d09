#include "recorder.h"
#include "win32/kernel.h"

#include <algorithm>

using namespace windows_test;

namespace {

TEST_F(WindowTest, PostedMessagesReachTheirWindowsInPostingOrder) {
    HWND child = Child(10, 10, 20, 20);
    PostMessageW(child, WM_USER + 1, 1, 2);
    PostMessageW(top, WM_USER + 2, 3, 4);
    PostMessageW(child, WM_USER + 3, 5, 6);
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].window, child);
    EXPECT_EQ(seen[0].message, WM_USER + 1);
    EXPECT_EQ(seen[0].lParam, 2);
    EXPECT_EQ(seen[1].window, top);
    EXPECT_EQ(seen[1].message, WM_USER + 2);
    EXPECT_EQ(seen[2].window, child);
}

TEST_F(WindowTest, PeekFiltersByWindowAndRangeAndLeavesTheRest) {
    HWND child = Child(0, 0, 5, 5);
    PostMessageW(top, WM_USER + 1, 0, 0);
    PostMessageW(child, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, child, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);
    EXPECT_EQ(Messages(Pump()), std::vector<UINT>{WM_USER + 1});
}

TEST_F(WindowTest, SentMessageRunsAtOnceAndReturnsTheProcedureResult) {
    static LRESULT answer = 0;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_USER ? static_cast<LRESULT>(wp + lp) : DefWindowProcW(w, m, wp, lp);
    };
    wc.lpszClassName = u"Adder";
    RegisterClassExW(&wc);
    HWND adder = CreateWindowExW(0, u"adder", nullptr, WS_CHILD, 0, 0, 1, 1, top, nullptr, nullptr, nullptr);
    ASSERT_NE(adder, nullptr) << "class names compare without case";
    answer = SendMessageW(adder, WM_USER, 40, 2);
    EXPECT_EQ(answer, 42);
}

TEST_F(WindowTest, QuitEndsGetMessageAfterWaitingMessages) {
    PostMessageW(top, WM_USER, 0, 0);
    PostQuitMessage(7);
    MSG msg;
    EXPECT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(WindowTest, CreationSendsCreationMessagesInOrderWithTheParameter) {
    Log().clear();
    int token = 0;
    HWND w = CreateWindowExW(0, u"Recorder", u"t", WS_CHILD, 1, 2, 30, 40, top, nullptr, nullptr, &token);
    ASSERT_NE(w, nullptr);
    ASSERT_GE(Log().size(), 3u);
    EXPECT_EQ(Log()[0].message, WM_NCCREATE);
    EXPECT_EQ(Log()[1].message, WM_CREATE);
    EXPECT_EQ(Log()[1].createParam, &token);
    EXPECT_EQ(Log()[2].message, WM_SIZE);
    EXPECT_EQ(Log()[2].lParam, MAKELPARAM(30, 40));
}

TEST_F(WindowTest, CreationRefusedByTheProcedureGivesNoWindow) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcW(w, m, wp, lp);
    };
    wc.lpszClassName = u"Refuser";
    RegisterClassExW(&wc);
    EXPECT_EQ(CreateWindowExW(0, u"Refuser", nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(
        CreateWindowExW(0, u"NoSuchClass", nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(
        CreateWindowExW(0, u"Recorder", nullptr, WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr)
        << "a child needs a parent";
}

TEST_F(WindowTest, DestroyingAParentDestroysItsChildrenAfterIt) {
    HWND parent = Child(0, 0, 50, 50);
    HWND a =
        CreateWindowExW(0, u"Recorder", nullptr, WS_CHILD, 0, 0, 5, 5, parent, nullptr, nullptr, nullptr);
    HWND b = CreateWindowExW(0, u"Recorder", nullptr, WS_CHILD, 0, 0, 5, 5, a, nullptr, nullptr, nullptr);
    Log().clear();
    EXPECT_TRUE(DestroyWindow(parent));
    std::vector<HWND> destroyed;
    for (const Seen& s : Log())
        if (s.message == WM_DESTROY) destroyed.push_back(s.window);
    EXPECT_EQ(destroyed, (std::vector<HWND>{parent, a, b}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(GetWindow(top, GW_CHILD), nullptr);
}

TEST_F(WindowTest, MessagesPostedToADestroyedWindowAreDropped) {
    HWND child = Child(0, 0, 5, 5);
    PostMessageW(child, WM_USER, 0, 0);
    DestroyWindow(child);
    EXPECT_TRUE(Pump().empty());
    EXPECT_FALSE(PostMessageW(child, WM_USER, 0, 0));
}

TEST_F(WindowTest, TimerFiresAtItsPeriodOnceEvenWhenLate) {
    EXPECT_EQ(SetTimer(top, 11, 100, nullptr), 11u);
    win32::testing::AdvanceFakeClock(99);
    EXPECT_TRUE(Pump().empty());
    win32::testing::AdvanceFakeClock(1);
    auto seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, WM_TIMER);
    EXPECT_EQ(seen[0].wParam, 11u);
    win32::testing::AdvanceFakeClock(350);
    EXPECT_EQ(Pump().size(), 1u) << "missed periods do not pile up";
    win32::testing::AdvanceFakeClock(100);
    EXPECT_EQ(Pump().size(), 1u);
    EXPECT_TRUE(KillTimer(top, 11));
    win32::testing::AdvanceFakeClock(1000);
    EXPECT_TRUE(Pump().empty());
    EXPECT_FALSE(KillTimer(top, 11));
}

TEST_F(WindowTest, TimerWithAProcedureCallsItInsteadOfTheWindow) {
    static int calls = 0;
    calls = 0;
    SetTimer(top, 3, 10, [](HWND, UINT message, UINT_PTR id, DWORD) {
        if (message == WM_TIMER && id == 3) ++calls;
    });
    win32::testing::AdvanceFakeClock(10);
    EXPECT_TRUE(Pump().empty());
    EXPECT_EQ(calls, 1);
    KillTimer(top, 3);
}

TEST_F(WindowTest, TimersOfADestroyedWindowStop) {
    HWND child = Child(0, 0, 5, 5);
    SetTimer(child, 1, 10, nullptr);
    DestroyWindow(child);
    win32::testing::AdvanceFakeClock(50);
    EXPECT_TRUE(Pump().empty());
}

TEST_F(WindowTest, InvalidatedWindowGetsOnePaintWithTheUnitedRectangle) {
    RECT a{1, 1, 5, 5}, b{10, 10, 20, 12};
    InvalidateRect(top, &a, FALSE);
    InvalidateRect(top, &b, TRUE);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(top, &update, FALSE));
    const RECT expected{1, 1, 20, 12};
    EXPECT_TRUE(EqualRect(&update, &expected));
    auto seen = Pump(true);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_PAINT; }),
              1);
    EXPECT_EQ(
        std::count_if(seen.begin(), seen.end(), [](const Seen& s) { return s.message == WM_ERASEBKGND; }), 1);
    EXPECT_FALSE(GetUpdateRect(top, &update, FALSE));
}

TEST_F(WindowTest, CloseBoxBecomesCloseCommandAndDefaultHandlingDestroys) {
    HWND other = CreateWindowExW(0, u"Recorder", u"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    Pump();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = win32::testing::SdlWindowId(other);
    Push(e);
    auto seen = Messages(Pump());
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], WM_SYSCOMMAND);
    EXPECT_EQ(seen[1], WM_CLOSE);
    EXPECT_EQ(seen[2], WM_DESTROY);
    EXPECT_FALSE(IsWindow(other));
}

TEST_F(WindowTest, InterruptSignalClosesEveryShownTopLevelWindow) {
    HWND shown = CreateWindowExW(0, u"Recorder", u"shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowExW(0, u"Recorder", u"hidden", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    Pump();
    SDL_Event e{};
    e.type = SDL_QUIT;
    Push(e);
    Pump();
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_TRUE(IsWindow(hidden));
    DestroyWindow(hidden);
}

TEST_F(WindowTest, SetWindowPosReportsTheChangeAndTheNewClientSize) {
    HWND child = Child(0, 0, 40, 30, WS_BORDER);
    Log().clear();
    SetWindowPos(child, nullptr, 5, 6, 52, 42, SWP_NOZORDER);
    auto seen = Messages(Log());
    EXPECT_EQ(seen, (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
    EXPECT_EQ(Log().back().lParam, MAKELPARAM(50, 40)) << "one-pixel border on each side";
    RECT client, window;
    GetClientRect(child, &client);
    GetWindowRect(child, &window);
    EXPECT_EQ(client.right, 50);
    EXPECT_EQ(window.right - window.left, 52);
}

TEST(WindowGeometry, AdjustWindowRectMatchesTheClientOfACreatedWindow) {
    RegisterRecorder(u"Recorder", CS_DBLCLKS);
    for (DWORD style : {WS_OVERLAPPEDWINDOW, WS_POPUP | WS_BORDER, WS_POPUP | WS_CAPTION, WS_POPUP}) {
        RECT r{0, 0, 320, 240};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        HWND w = CreateWindowExW(0, u"Recorder", nullptr, style, 0, 0, r.right - r.left, r.bottom - r.top,
                                 nullptr, nullptr, nullptr, nullptr);
        RECT client;
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 320) << style;
        EXPECT_EQ(client.bottom, 240) << style;
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        RECT outer;
        GetWindowRect(w, &outer);
        EXPECT_EQ(origin.x - outer.left, -r.left);
        DestroyWindow(w);
    }
}

TEST_F(WindowTest, WindowDataSlotsHoldPointersWithinTheExtraBytes) {
    int value = 0;
    EXPECT_EQ(SetWindowLongPtrW(top, 0, reinterpret_cast<LONG_PTR>(&value)), 0);
    EXPECT_EQ(GetWindowLongPtrW(top, 0), reinterpret_cast<LONG_PTR>(&value));
    EXPECT_EQ(SetWindowLongPtrW(top, 8, 5), 0);
    EXPECT_EQ(GetWindowLongPtrW(top, 8), 5);
    EXPECT_EQ(SetWindowLongPtrW(top, 12, 5), 0) << "past the 16 extra bytes";
    EXPECT_EQ(GetWindowLongPtrW(top, 12), 0);
    SetWindowLongPtrW(top, GWLP_USERDATA, 99);
    EXPECT_EQ(GetWindowLongPtrW(top, GWLP_USERDATA), 99);
}

TEST_F(WindowTest, SubclassedProcedureReceivesMessagesAndCanCallTheOldOne) {
    static WNDPROC old = nullptr;
    static int seen = 0;
    seen = 0;
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_USER) ++seen;
            return CallWindowProcW(old, w, m, wp, lp);
        })));
    PostMessageW(top, WM_USER, 0, 0);
    EXPECT_EQ(Messages(Pump()), std::vector<UINT>{WM_USER});
    EXPECT_EQ(seen, 1);
    SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
}

TEST_F(WindowTest, MdiClientCreatesAndDestroysChildrenWithTheCreateBlockAsParameter) {
    CLIENTCREATESTRUCT ccs{nullptr, 50};
    HWND client = CreateWindowExW(0, u"MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 100, 80, top,
                                  nullptr, nullptr, &ccs);
    ASSERT_NE(client, nullptr);
    MDICREATESTRUCTW mdi{u"Recorder",   u"child",      nullptr,    CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, WS_CAPTION, 1234};
    Log().clear();
    auto child =
        reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), client);
    auto create =
        std::find_if(Log().begin(), Log().end(), [](const Seen& s) { return s.message == WM_CREATE; });
    ASSERT_NE(create, Log().end());
    EXPECT_EQ(static_cast<const MDICREATESTRUCTW*>(create->createParam)->lParam, 1234);
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 100) << "no MDI chrome: the child fills the client";
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)), child);
    SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0);
    EXPECT_FALSE(IsWindow(child));
}

} // namespace

namespace {

TEST_F(WindowTest, MaximizeFillsTheScreenAndRestoreGivesTheRectangleBack) {
    HWND w = CreateWindowExW(0, u"Recorder", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 20, 300, 200,
                             nullptr, nullptr, nullptr, nullptr);
    Log().clear();
    ShowWindow(w, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(w));
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, GetSystemMetrics(SM_CXSCREEN));
    auto size =
        std::find_if(Log().rbegin(), Log().rend(), [](const Seen& s) { return s.message == WM_SIZE; });
    ASSERT_NE(size, Log().rend());
    EXPECT_EQ(size->wParam, SIZE_MAXIMIZED);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ASSERT_TRUE(GetWindowPlacement(w, &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(placement.rcNormalPosition.left, 10);
    ShowWindow(w, SW_RESTORE);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 310);
    EXPECT_FALSE(IsZoomed(w));
    placement.showCmd = SW_SHOWMAXIMIZED;
    placement.rcNormalPosition = RECT{0, 0, 100, 100};
    ASSERT_TRUE(SetWindowPlacement(w, &placement));
    EXPECT_TRUE(IsZoomed(w));
    ShowWindow(w, SW_RESTORE);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right, 100);
    DestroyWindow(w);
}

TEST_F(WindowTest, DeferredMovesAreMadeTogetherAtTheEnd) {
    HWND a = Child(0, 0, 10, 10);
    HWND b = Child(0, 0, 10, 10);
    HDWP batch = BeginDeferWindowPos(2);
    batch = DeferWindowPos(batch, a, nullptr, 5, 6, 20, 20, SWP_NOZORDER);
    batch = DeferWindowPos(batch, b, nullptr, 50, 60, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    RECT r;
    GetWindowRect(a, &r);
    EXPECT_EQ(r.left, 0) << "nothing moves before the end";
    EXPECT_TRUE(EndDeferWindowPos(batch));
    GetWindowRect(a, &r);
    EXPECT_EQ(r.right - r.left, 20);
    GetWindowRect(b, &r);
    EXPECT_EQ(r.top, 60);
}

TEST_F(WindowTest, TheMonitorOfAWindowIsTheScreen) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(top, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_EQ(info.rcMonitor.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(info.rcMonitor.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(info.dwFlags & MONITORINFOF_PRIMARY);
}

} // namespace

namespace {

TEST_F(WindowTest, MenuBarTakesItsHeightFromTheClientArea) {
    HMENU menu = CreateMenu();
    Log().clear();
    EXPECT_TRUE(SetMenu(top, menu));
    EXPECT_EQ(GetMenu(top), menu);
    RECT client, outer;
    GetClientRect(top, &client);
    GetWindowRect(top, &outer);
    EXPECT_EQ(client.bottom, 150 - GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(outer.bottom - outer.top, 150) << "the window keeps its size";
    auto size = std::find_if(Log().begin(), Log().end(), [](const Seen& s) { return s.message == WM_SIZE; });
    ASSERT_NE(size, Log().end());
    SetMenu(top, nullptr);
    GetClientRect(top, &client);
    EXPECT_EQ(client.bottom, 150);
    EXPECT_FALSE(SetMenu(Child(0, 0, 5, 5), menu)) << "children have no menu bar";
    DestroyMenu(menu);
}

} // namespace

TEST_F(WindowTest, MapWindowPointsMovesBetweenClientAreasAndTheScreen) {
    HWND child = Child(7, 9, 40, 30, WS_BORDER);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 7);
    EXPECT_EQ(r.top, 9);
    EXPECT_EQ(r.right, 47);
    POINT p{1, 2};
    POINT screen = p;
    ClientToScreen(child, &screen);
    MapWindowPoints(child, nullptr, &p, 1);
    EXPECT_EQ(p.x, screen.x);
    EXPECT_EQ(p.y, screen.y);
    DestroyWindow(child);
    EXPECT_EQ(MapWindowPoints(child, nullptr, &p, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}
