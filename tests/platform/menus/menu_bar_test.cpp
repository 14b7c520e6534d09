// The menu bar drawn above the client area, its popups opened with the mouse and the keyboard, owner-drawn
// items, accelerators, and the menu's life with its window.
#include "platform/windows/recorder.h"

#include "appwriter/menu_writer.h"

#include <algorithm>

namespace {

using namespace windows_test;
using appwriter::MenuItemDesc;

constexpr COLORREF kClient = RGB(0, 0, 160);
constexpr COLORREF kInvalid = 0xFFFFFFFF;
constexpr WPARAM kF5 = 0x74;

struct Key {
    SDL_Scancode scancode;
    SDL_Keycode sym;
};
constexpr Key Alt{SDL_SCANCODE_LALT, SDLK_LALT};
constexpr Key F10{SDL_SCANCODE_F10, SDLK_F10};
constexpr Key Enter{SDL_SCANCODE_RETURN, SDLK_RETURN};
constexpr Key Escape{SDL_SCANCODE_ESCAPE, SDLK_ESCAPE};
constexpr Key Up{SDL_SCANCODE_UP, SDLK_UP};
constexpr Key Down{SDL_SCANCODE_DOWN, SDLK_DOWN};
constexpr Key Right{SDL_SCANCODE_RIGHT, SDLK_RIGHT};
constexpr Key Letter(char c) {
    return Key{static_cast<SDL_Scancode>(SDL_SCANCODE_A + (c - 'a')), static_cast<SDL_Keycode>(c)};
}

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int Luminance(COLORREF c) {
    return (GetRValue(c) * 3 + GetGValue(c) * 6 + GetBValue(c)) / 10;
}

// File: Open (100), a separator, Greyed (101), More > Deep (102); Options: Sound (200, checked);
// Help (300) is a command on the bar itself.
std::vector<MenuItemDesc> SampleBar() {
    return {{u"&File",
             0,
             0,
             {{u"&Open\tCtrl+O", 100, 0, {}},
              {u"", 0, 0, {}},
              {u"&Greyed", 101, MF_GRAYED, {}},
              {u"&More", 0, 0, {{u"&Deep", 102, 0, {}}}}}},
            {u"&Options", 0, 0, {{u"&Sound", 200, MF_CHECKED, {}}}},
            {u"&Help", 300, 0, {}}};
}

class MenuBarShown : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterRecorder(u"MenuRecorder", 0);
        win32::testing::ResetInputState();
        win32::testing::UseFakeClock(true);
        top = CreateWindowExW(0, u"MenuRecorder", u"menus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 320,
                              240, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        const std::vector<std::uint8_t> bytes = appwriter::WriteMenuTemplate(SampleBar());
        bar = LoadMenuIndirectSizedW(bytes.data(), bytes.size());
        ASSERT_TRUE(SetMenu(top, bar));
        PaintClient();
        Pump();
    }
    void TearDown() override {
        DestroyWindow(top);
        Pump();
        win32::testing::AdvanceFakeClock(10000);
        win32::testing::UseFakeClock(false);
    }
    void PaintClient() {
        HDC dc = GetDC(top);
        RECT client;
        GetClientRect(top, &client);
        HBRUSH brush = CreateSolidBrush(kClient);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        ReleaseDC(top, dc);
    }
    Uint32 Id() const { return win32::testing::SdlWindowId(top); }
    void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    RECT ItemRect(HMENU menu, int position) {
        RECT r{};
        EXPECT_TRUE(win32::testing::GetShownMenuItemRect(top, menu, position, &r)) << position;
        return r;
    }
    // A click is two steps: the press opens the menu, which then reads the release.
    std::vector<Seen> Click(POINT at) {
        Push(MotionEvent(Id(), at));
        Push(ButtonEvent(SDL_MOUSEBUTTONDOWN, Id(), SDL_BUTTON_LEFT, at));
        std::vector<Seen> seen = Pump();
        Push(ButtonEvent(SDL_MOUSEBUTTONUP, Id(), SDL_BUTTON_LEFT, at));
        for (const Seen& s : Pump())
            seen.push_back(s);
        return seen;
    }
    std::vector<Seen> Tap(Key key, bool withAlt = false) {
        if (withAlt) Push(KeyEvent(SDL_KEYDOWN, Id(), Alt.scancode, Alt.sym));
        Push(KeyEvent(SDL_KEYDOWN, Id(), key.scancode, key.sym));
        std::vector<Seen> seen = Pump();
        Push(KeyEvent(SDL_KEYUP, Id(), key.scancode, key.sym));
        if (withAlt) Push(KeyEvent(SDL_KEYUP, Id(), Alt.scancode, Alt.sym));
        for (const Seen& s : Pump())
            seen.push_back(s);
        return seen;
    }
    int Bar() const { return GetSystemMetrics(SM_CYMENU); }
    bool PopupShown() const {
        return win32::testing::ReadSdlWindowPixel(top, 12, Bar() + 8) == GetSysColor(COLOR_MENU);
    }
    HMENU File() const { return GetSubMenu(bar, 0); }

    HWND top = nullptr;
    HMENU bar = nullptr;
};

std::vector<UINT> MenuMessages(const std::vector<Seen>& seen) {
    std::vector<UINT> out;
    for (const Seen& s : seen)
        if (s.message == WM_ENTERMENULOOP || s.message == WM_EXITMENULOOP || s.message == WM_INITMENU ||
            s.message == WM_INITMENUPOPUP || s.message == WM_COMMAND)
            out.push_back(s.message);
    return out;
}

// The command posted from a menu, or -1.
int Command(const std::vector<Seen>& seen) {
    for (const Seen& s : seen)
        if (s.message == WM_COMMAND && s.lParam == 0 && HIWORD(s.wParam) == 0) return LOWORD(s.wParam);
    return -1;
}

bool Has(const std::vector<Seen>& seen, UINT message) {
    return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.message == message; });
}

TEST_F(MenuBarShown, BarIsDrawnAboveTheClientWhichStaysInPlace) {
    RECT client;
    GetClientRect(top, &client);
    const int barHeight = Bar();
    // The SDL window holds the bar and the client area; the client area starts right below the bar.
    EXPECT_NE(win32::testing::ReadSdlWindowPixel(top, 0, barHeight + client.bottom - 1), kInvalid);
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, 0, barHeight + client.bottom), kInvalid);
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, 5, barHeight), kClient);
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, client.right - 1, barHeight + client.bottom - 1),
              kClient);
    SDL_Window* sdl = SDL_GetWindowFromID(Id());
    int x = 0, y = 0;
    SDL_GetWindowPosition(sdl, &x, &y);
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    EXPECT_EQ(x, origin.x);
    EXPECT_EQ(y + barHeight, origin.y);

    // Each bar item shows dark text inside its rectangle over the bar's colour, and nothing is drawn past
    // the last item.
    for (int item = 0; item < GetMenuItemCount(bar); ++item) {
        const RECT r = ItemRect(bar, item);
        EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, r.left, r.top), GetSysColor(COLOR_MENUBAR));
        int darkest = 255;
        for (int py = r.top; py < r.bottom; ++py)
            for (int px = r.left; px < r.right; ++px)
                darkest = std::min(darkest, Luminance(win32::testing::ReadSdlWindowPixel(top, px, py)));
        EXPECT_LT(darkest, 100) << "item " << item;
    }
    const RECT last = ItemRect(bar, GetMenuItemCount(bar) - 1);
    for (int px = last.right; px < client.right; px += 7)
        EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, px, barHeight / 2), GetSysColor(COLOR_MENUBAR));

    // Without its menu the window shows its client area from the top.
    SetMenu(top, nullptr);
    PaintClient();
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, 5, 2), kClient);
    SDL_GetWindowPosition(sdl, &x, &y);
    origin = POINT{0, 0};
    ClientToScreen(top, &origin);
    EXPECT_EQ(y, origin.y);
    DestroyMenu(bar);
}

TEST_F(MenuBarShown, GreyedBarItemIsDrawnGrey) {
    EnableMenuItem(bar, 2, MF_BYPOSITION | MF_GRAYED);
    const RECT r = ItemRect(bar, 2);
    int darkest = 255;
    for (int py = r.top; py < r.bottom; ++py)
        for (int px = r.left; px < r.right; ++px)
            darkest = std::min(darkest, Luminance(win32::testing::ReadSdlWindowPixel(top, px, py)));
    EXPECT_GE(darkest, Luminance(GetSysColor(COLOR_GRAYTEXT)) - 10);
    EXPECT_LT(darkest, Luminance(GetSysColor(COLOR_MENUBAR)));
}

TEST_F(MenuBarShown, ClickOnBarItemRunsTheMenuLoopAndOpensItsPopup) {
    EXPECT_FALSE(PopupShown());
    const std::vector<Seen> seen = Click(Centre(ItemRect(bar, 0)));
    EXPECT_EQ(MenuMessages(seen), (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENU, WM_INITMENUPOPUP}));
    for (const Seen& s : seen) {
        if (s.message == WM_INITMENU) {
            EXPECT_EQ(s.wParam, reinterpret_cast<WPARAM>(bar));
        }
        if (s.message == WM_INITMENUPOPUP) {
            EXPECT_EQ(s.wParam, reinterpret_cast<WPARAM>(File()));
            EXPECT_EQ(s.lParam, MAKELPARAM(0, FALSE));
        }
    }
    EXPECT_FALSE(Has(seen, WM_LBUTTONDOWN) || Has(seen, WM_LBUTTONUP)) << "the bar is not the client area";
    EXPECT_TRUE(PopupShown());
    // The popup's items lie inside it, under the bar item.
    const RECT open = ItemRect(File(), 0);
    EXPECT_GE(open.top, Bar());

    // Moving onto the next bar item opens its popup instead.
    Push(MotionEvent(Id(), Centre(ItemRect(bar, 1))));
    const std::vector<Seen> moved = Pump();
    EXPECT_EQ(MenuMessages(moved), (std::vector<UINT>{WM_INITMENUPOPUP}));
    RECT r;
    EXPECT_FALSE(win32::testing::GetShownMenuItemRect(top, File(), 0, &r));
    EXPECT_TRUE(win32::testing::GetShownMenuItemRect(top, GetSubMenu(bar, 1), 0, &r));

    // A click outside closes the menu and reaches no window.
    const std::vector<Seen> outside = Click(POINT{300, 200});
    EXPECT_EQ(MenuMessages(outside), (std::vector<UINT>{WM_EXITMENULOOP}));
    EXPECT_FALSE(Has(outside, WM_LBUTTONDOWN));
    EXPECT_FALSE(PopupShown());
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(top, 12, Bar() + 8), kClient);
}

TEST_F(MenuBarShown, ClickOnEnabledItemPostsItsCommandAndGreyedOneNothing) {
    Click(Centre(ItemRect(bar, 0)));
    const std::vector<Seen> greyed = Click(Centre(ItemRect(File(), 2)));
    EXPECT_EQ(Command(greyed), -1);
    EXPECT_FALSE(Has(greyed, WM_EXITMENULOOP)) << "the menu stays open";
    const std::vector<Seen> separator = Click(Centre(ItemRect(File(), 1)));
    EXPECT_EQ(MenuMessages(separator), std::vector<UINT>{});

    // Hovering over a popup item opens its submenu; its item is chosen like any other.
    Push(MotionEvent(Id(), Centre(ItemRect(File(), 3))));
    EXPECT_EQ(MenuMessages(Pump()), (std::vector<UINT>{WM_INITMENUPOPUP}));
    const std::vector<Seen> deep = Click(Centre(ItemRect(GetSubMenu(File(), 3), 0)));
    EXPECT_EQ(MenuMessages(deep), (std::vector<UINT>{WM_EXITMENULOOP, WM_COMMAND}));
    EXPECT_EQ(Command(deep), 102);
    EXPECT_FALSE(PopupShown());

    Click(Centre(ItemRect(bar, 0)));
    EXPECT_EQ(Command(Click(Centre(ItemRect(File(), 0)))), 100);
    // A command on the bar itself is chosen by its click.
    EXPECT_EQ(MenuMessages(Click(Centre(ItemRect(bar, 2)))),
              (std::vector<UINT>{WM_ENTERMENULOOP, WM_INITMENU, WM_EXITMENULOOP, WM_COMMAND}));
}

TEST_F(MenuBarShown, PopupsStayInsideANarrowWindowAndBarItemsPastItsEdgeAreNotShown) {
    RECT outer, client;
    GetWindowRect(top, &outer);
    MoveWindow(top, outer.left, outer.top, 190, 200, TRUE);
    GetClientRect(top, &client);
    Click(Centre(ItemRect(bar, 0)));
    Push(MotionEvent(Id(), Centre(ItemRect(File(), 3))));
    Pump();
    const RECT parent = ItemRect(File(), 3), deep = ItemRect(GetSubMenu(File(), 3), 0);
    ASSERT_GT(parent.right + (deep.right - deep.left), client.right)
        << "the submenu cannot open to the right";
    for (const RECT& r : {parent, deep}) {
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, client.right);
    }
    Tap(Escape);

    MoveWindow(top, outer.left, outer.top, 60, 200, TRUE);
    PaintClient();
    GetClientRect(top, &client);
    const RECT help = ItemRect(bar, 2);
    EXPECT_GE(help.left, client.right);
    EXPECT_EQ(Command(Tap(Letter('h'), true)), -1) << "an item past the edge cannot be chosen";
}

TEST_F(MenuBarShown, EscapeClosesAndKeysDoNotReachTheWindowMeanwhile) {
    Click(Centre(ItemRect(bar, 0)));
    const std::vector<Seen> down = Tap(Down);
    EXPECT_FALSE(Has(down, WM_KEYDOWN) || Has(down, WM_KEYUP));
    const std::vector<Seen> escape = Tap(Escape);
    EXPECT_EQ(MenuMessages(escape), (std::vector<UINT>{WM_EXITMENULOOP}));
    EXPECT_FALSE(Has(escape, WM_KEYDOWN));
    EXPECT_FALSE(PopupShown());
    EXPECT_TRUE(Has(Tap(Escape), WM_KEYDOWN)) << "closed: keys go to the window again";
}

// Closed however it closes, the menu says so as the system's does: a selection of no menu, then the loop's
// end.
TEST_F(MenuBarShown, ClosingSelectsNoMenuBeforeTheLoopEnds) {
    for (bool choose : {false, true}) {
        Click(Centre(ItemRect(bar, 0)));
        const std::vector<Seen> closing = choose ? Click(Centre(ItemRect(File(), 0))) : Tap(Escape);
        std::vector<Seen> ends;
        for (const Seen& s : closing)
            if (s.message == WM_MENUSELECT || s.message == WM_EXITMENULOOP) ends.push_back(s);
        ASSERT_EQ(ends.size(), 2u) << (choose ? "chosen" : "escaped");
        EXPECT_EQ(ends[0].message, WM_MENUSELECT);
        EXPECT_EQ(HIWORD(ends[0].wParam), 0xFFFF);
        EXPECT_EQ(ends[0].lParam, 0);
        EXPECT_EQ(ends[1].message, WM_EXITMENULOOP);
    }
}

TEST_F(MenuBarShown, TimersGoOnWhileTheMenuIsOpen) {
    Click(Centre(ItemRect(bar, 0)));
    SetTimer(top, 7, 50, nullptr);
    win32::testing::AdvanceFakeClock(60);
    EXPECT_TRUE(Has(Pump(), WM_TIMER));
    KillTimer(top, 7);
}

struct KeyRun {
    const char* name;
    std::vector<std::pair<Key, bool>> keys; // key, with Alt held
    int command;
};

class MenuKeys : public MenuBarShown, public ::testing::WithParamInterface<KeyRun> {};

TEST_P(MenuKeys, ChooseFromTheKeyboard) {
    std::vector<Seen> seen;
    for (const auto& [key, withAlt] : GetParam().keys)
        for (const Seen& s : Tap(key, withAlt))
            seen.push_back(s);
    EXPECT_EQ(Command(seen), GetParam().command);
    const auto count = [&](UINT m) {
        return std::count_if(seen.begin(), seen.end(), [&](auto& s) { return s.message == m; });
    };
    EXPECT_EQ(count(WM_ENTERMENULOOP), 1);
    EXPECT_EQ(count(WM_EXITMENULOOP), 1);
    EXPECT_FALSE(PopupShown());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MenuKeys,
    ::testing::Values(KeyRun{"AltMnemonicThenEnter", {{Letter('f'), true}, {Enter, false}}, 100},
                      KeyRun{"UpWrapsToSubmenuAndRightOpensIt",
                             {{Letter('f'), true}, {Up, false}, {Right, false}, {Enter, false}},
                             102},
                      KeyRun{"GreyedItemIsNotChosen",
                             {{Letter('f'), true}, {Letter('g'), false}, {Escape, false}, {Escape, false}},
                             -1},
                      KeyRun{"F10SelectsTheBarAndArrowsWalkIt",
                             {{F10, false}, {Right, false}, {Down, false}, {Enter, false}},
                             200},
                      KeyRun{"AltAloneThenBarMnemonic", {{Alt, false}, {Letter('h'), false}}, 300},
                      KeyRun{"AltClosesTheBarAgain", {{Alt, false}, {Alt, false}}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Owner-drawn items: what the window is asked and told, in order.
struct OwnerCall {
    UINT message;
    UINT itemID;
    ULONG_PTR itemData;
    UINT itemState;
    HWND hwndItem;
    RECT rcItem;
};

std::vector<OwnerCall>& OwnerCalls() {
    static std::vector<OwnerCall> calls;
    return calls;
}

constexpr COLORREF kOwnerInk = RGB(200, 20, 20);

LRESULT OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MEASUREITEM) {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        EXPECT_EQ(m->CtlType, ODT_MENU);
        m->itemWidth = 50;
        m->itemHeight = 20;
        OwnerCalls().push_back({message, m->itemID, m->itemData, 0, nullptr, {}});
        return TRUE;
    }
    if (message == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        EXPECT_EQ(d->CtlType, ODT_MENU);
        HBRUSH brush = CreateSolidBrush(kOwnerInk);
        FillRect(d->hDC, &d->rcItem, brush);
        DeleteObject(brush);
        OwnerCalls().push_back({message, d->itemID, d->itemData, d->itemState, d->hwndItem, d->rcItem});
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<OwnerCall> CallsFor(ULONG_PTR data) {
    std::vector<OwnerCall> out;
    for (const OwnerCall& c : OwnerCalls())
        if (c.itemData == data) out.push_back(c);
    return out;
}

TEST(OwnerDrawnMenu, ItemsAreMeasuredOnceThenDrawnWithTheirState) {
    HWND window = MakeTopWindow(u"OwnerMenu", OwnerProc, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 300, 200);
    HMENU menu = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_OWNERDRAW | MF_CHECKED, 11, reinterpret_cast<LPCWSTR>(0xC1));
    AppendMenuW(popup, MF_OWNERDRAW | MF_GRAYED, 12, reinterpret_cast<LPCWSTR>(0xC2));
    AppendMenuW(menu, MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                reinterpret_cast<LPCWSTR>(0xB1));
    OwnerCalls().clear();
    SetMenu(window, menu);
    Pump();

    const std::vector<OwnerCall> barCalls = CallsFor(0xB1);
    ASSERT_EQ(barCalls.size(), 2u);
    EXPECT_EQ(barCalls[0].message, static_cast<UINT>(WM_MEASUREITEM));
    EXPECT_EQ(barCalls[1].message, static_cast<UINT>(WM_DRAWITEM));
    EXPECT_EQ(barCalls[1].hwndItem, reinterpret_cast<HWND>(menu));
    EXPECT_EQ(barCalls[1].itemState, 0u);
    const RECT item = barCalls[1].rcItem;
    EXPECT_EQ(item.right - item.left, 50);
    EXPECT_EQ(item.bottom - item.top, GetSystemMetrics(SM_CYMENU));
    // The DC drew onto the bar's pixels.
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(window, item.left + 2, item.top + 2), kOwnerInk);

    // Hovering shows the item hot; it is drawn again, not measured again.
    OwnerCalls().clear();
    const Uint32 id = win32::testing::SdlWindowId(window);
    SDL_Event move = MotionEvent(id, POINT{item.left + 5, item.top + 5});
    SDL_PushEvent(&move);
    Pump();
    ASSERT_EQ(CallsFor(0xB1).size(), 1u);
    EXPECT_EQ(CallsFor(0xB1)[0].itemState, static_cast<UINT>(ODS_HOTLIGHT));

    // Opened, the bar item is selected and the popup's items are measured, then drawn with their states.
    OwnerCalls().clear();
    SDL_Event press =
        ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_LEFT, POINT{item.left + 5, item.top + 5});
    SDL_PushEvent(&press);
    Pump();
    EXPECT_EQ(CallsFor(0xB1).back().itemState, static_cast<UINT>(ODS_SELECTED));
    for (const auto& [data, state] : {std::pair<ULONG_PTR, UINT>{0xC1, ODS_CHECKED}, {0xC2, ODS_GRAYED}}) {
        const std::vector<OwnerCall> calls = CallsFor(data);
        ASSERT_EQ(calls.size(), 2u) << data;
        EXPECT_EQ(calls[0].message, static_cast<UINT>(WM_MEASUREITEM));
        EXPECT_EQ(calls[1].message, static_cast<UINT>(WM_DRAWITEM));
        EXPECT_EQ(calls[1].itemState, state);
        EXPECT_EQ(calls[1].hwndItem, reinterpret_cast<HWND>(popup));
        EXPECT_EQ(calls[1].itemID, data == 0xC1 ? 11u : 12u);
    }
    RECT first{};
    ASSERT_TRUE(win32::testing::GetShownMenuItemRect(window, popup, 0, &first));
    EXPECT_EQ(first.bottom - first.top, 20);
    EXPECT_EQ(win32::testing::ReadSdlWindowPixel(window, first.left + 3, first.top + 3), kOwnerInk);

    // Hovering over a popup item draws it selected.
    OwnerCalls().clear();
    SDL_Event over = MotionEvent(id, POINT{first.left + 3, first.top + 3});
    SDL_PushEvent(&over);
    Pump();
    ASSERT_FALSE(CallsFor(0xC1).empty());
    EXPECT_EQ(CallsFor(0xC1).back().itemState, static_cast<UINT>(ODS_SELECTED | ODS_CHECKED));
    EXPECT_TRUE(CallsFor(0xB1).empty()) << "nothing is measured again";

    DestroyWindow(window);
    Pump();
    EXPECT_FALSE(IsMenu(menu)) << "the window took its menu with it";
    EXPECT_FALSE(IsMenu(popup));
}

// Accelerators: each case is a key message with the Control and Shift keys' state.
struct AccelCase {
    const char* name;
    UINT message;
    WPARAM key;
    bool alt, control, shift;
    int command; // -1: nothing sent
    int result;
};

class Accelerators : public ::testing::TestWithParam<AccelCase> {
protected:
    static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_COMMAND) commands.push_back(static_cast<int>(wp));
        return DefWindowProcW(w, m, wp, lp);
    }
    void SetUp() override {
        window = MakeTopWindow(u"AccelWindow", Proc, WS_OVERLAPPEDWINDOW, 0, 100, 100);
        HMENU menu = CreateMenu();
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 5, u"Greyed");
        SetMenu(window, menu);
        commands.clear();
    }
    void TearDown() override {
        SetKeys(false, false);
        DestroyWindow(window);
    }
    // The keys' state as the queue sees it once their messages are retrieved.
    void SetKeys(bool control, bool shift) {
        PostMessageW(window, control ? WM_KEYDOWN : WM_KEYUP, VK_CONTROL, 0);
        PostMessageW(window, shift ? WM_KEYDOWN : WM_KEYUP, VK_SHIFT, 0x2A << 16);
        MSG msg{};
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        }
    }
    static inline std::vector<int> commands;
    HWND window = nullptr;
};

TEST_P(Accelerators, MatchingKeysSendTheirCommand) {
    const ACCEL entries[] = {{FVIRTKEY | FCONTROL, 'Q', 1},
                             {FVIRTKEY, kF5, 2},
                             {FVIRTKEY | FSHIFT | FALT, 'X', 3},
                             {0, 'a', 4},
                             {FVIRTKEY, 'G', 5}};
    HACCEL table = CreateAcceleratorTableW(entries, 5);
    ASSERT_NE(table, nullptr);
    const AccelCase& c = GetParam();
    SetKeys(c.control, c.shift);
    MSG msg{window, c.message, c.key, c.alt ? LPARAM(1) << 29 : 0, 0, {}};
    EXPECT_EQ(TranslateAcceleratorW(window, table, &msg), c.result);
    if (c.command < 0)
        EXPECT_TRUE(commands.empty());
    else
        EXPECT_EQ(commands, (std::vector<int>{static_cast<int>(MAKEWPARAM(c.command, 1))}));
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    EXPECT_FALSE(DestroyAcceleratorTable(table));
    EXPECT_EQ(TranslateAcceleratorW(window, table, &msg), 0) << "a destroyed table translates nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Accelerators,
    ::testing::Values(AccelCase{"ControlQ", WM_KEYDOWN, 'Q', false, true, false, 1, 1},
                      AccelCase{"QWithoutControl", WM_KEYDOWN, 'Q', false, false, false, -1, 0},
                      AccelCase{"F5", WM_KEYDOWN, kF5, false, false, false, 2, 1},
                      AccelCase{"F5WithShiftIsAnotherKey", WM_KEYDOWN, kF5, false, false, true, -1, 0},
                      AccelCase{"ShiftAltX", WM_SYSKEYDOWN, 'X', true, false, true, 3, 1},
                      AccelCase{"ShiftXWithoutAlt", WM_KEYDOWN, 'X', false, false, true, -1, 0},
                      AccelCase{"Character", WM_CHAR, 'a', false, false, false, 4, 1},
                      AccelCase{"KeyUpIsNoAccelerator", WM_KEYUP, kF5, false, false, false, -1, 0},
                      AccelCase{"GreyedItemSendsNothing", WM_KEYDOWN, 'G', false, false, false, -1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MenuLife, SetMenuRefusesADeadMenuAndDestroyWindowTakesTheSetOne) {
    HWND window = MakeTopWindow(u"MenuLife", DefWindowProcW, WS_OVERLAPPEDWINDOW, 0, 200, 100);
    HMENU dead = CreateMenu();
    DestroyMenu(dead);
    EXPECT_FALSE(SetMenu(window, dead));
    EXPECT_EQ(GetMenu(window), nullptr);

    HMENU kept = CreateMenu();
    HMENU set = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(set, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"P");
    ASSERT_TRUE(SetMenu(window, kept));
    ASSERT_TRUE(SetMenu(window, set)); // the menu taken off stays its owner's
    DestroyWindow(window);
    EXPECT_FALSE(IsMenu(set));
    EXPECT_FALSE(IsMenu(popup));
    EXPECT_TRUE(IsMenu(kept));
    DestroyMenu(kept);
}

} // namespace
