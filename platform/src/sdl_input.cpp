// SDL events turned into window messages: keys, characters, mouse, wheel, window changes and dropped files;
// the keyboard state, focus, capture and cursors that go with them.
#include "handle_storage.h"
#include "kernel/console_control.h"
#include "menu_internal.h"
#include "win32/kernel.h"
#include "win32/window_testing.h"
#include "window_internal.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace win32 {

struct CursorObject {
    SDL_SystemCursor kind;
    SDL_Cursor* sdl = nullptr;
};

struct DropObject {
    std::vector<std::u16string> files;
    POINT point{};
};

namespace {

struct KeyInfo {
    SDL_Scancode scancode;
    BYTE vk;
    BYTE scan;
    bool extended;
};

// Virtual key and PC scan code of each key; letters and digits are added from their ranges below.
constexpr KeyInfo kKeys[] = {
    {SDL_SCANCODE_ESCAPE, 0x1B, 0x01, false},       {SDL_SCANCODE_MINUS, 0xBD, 0x0C, false},
    {SDL_SCANCODE_EQUALS, 0xBB, 0x0D, false},       {SDL_SCANCODE_BACKSPACE, 0x08, 0x0E, false},
    {SDL_SCANCODE_TAB, 0x09, 0x0F, false},          {SDL_SCANCODE_LEFTBRACKET, 0xDB, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, 0xDD, 0x1B, false}, {SDL_SCANCODE_RETURN, 0x0D, 0x1C, false},
    {SDL_SCANCODE_LCTRL, 0xA2, 0x1D, false},        {SDL_SCANCODE_SEMICOLON, 0xBA, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, 0xDE, 0x28, false},   {SDL_SCANCODE_GRAVE, 0xC0, 0x29, false},
    {SDL_SCANCODE_LSHIFT, 0xA0, 0x2A, false},       {SDL_SCANCODE_BACKSLASH, 0xDC, 0x2B, false},
    {SDL_SCANCODE_COMMA, 0xBC, 0x33, false},        {SDL_SCANCODE_PERIOD, 0xBE, 0x34, false},
    {SDL_SCANCODE_SLASH, 0xBF, 0x35, false},        {SDL_SCANCODE_RSHIFT, 0xA1, 0x36, false},
    {SDL_SCANCODE_KP_MULTIPLY, 0x6A, 0x37, false},  {SDL_SCANCODE_LALT, 0xA4, 0x38, false},
    {SDL_SCANCODE_SPACE, 0x20, 0x39, false},        {SDL_SCANCODE_CAPSLOCK, 0x14, 0x3A, false},
    {SDL_SCANCODE_F1, 0x70, 0x3B, false},           {SDL_SCANCODE_F2, 0x71, 0x3C, false},
    {SDL_SCANCODE_F3, 0x72, 0x3D, false},           {SDL_SCANCODE_F4, 0x73, 0x3E, false},
    {SDL_SCANCODE_F5, 0x74, 0x3F, false},           {SDL_SCANCODE_F6, 0x75, 0x40, false},
    {SDL_SCANCODE_F7, 0x76, 0x41, false},           {SDL_SCANCODE_F8, 0x77, 0x42, false},
    {SDL_SCANCODE_F9, 0x78, 0x43, false},           {SDL_SCANCODE_F10, 0x79, 0x44, false},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x90, 0x45, false}, {SDL_SCANCODE_SCROLLLOCK, 0x91, 0x46, false},
    {SDL_SCANCODE_KP_7, 0x67, 0x47, false},         {SDL_SCANCODE_KP_8, 0x68, 0x48, false},
    {SDL_SCANCODE_KP_9, 0x69, 0x49, false},         {SDL_SCANCODE_KP_MINUS, 0x6D, 0x4A, false},
    {SDL_SCANCODE_KP_4, 0x64, 0x4B, false},         {SDL_SCANCODE_KP_5, 0x65, 0x4C, false},
    {SDL_SCANCODE_KP_6, 0x66, 0x4D, false},         {SDL_SCANCODE_KP_PLUS, 0x6B, 0x4E, false},
    {SDL_SCANCODE_KP_1, 0x61, 0x4F, false},         {SDL_SCANCODE_KP_2, 0x62, 0x50, false},
    {SDL_SCANCODE_KP_3, 0x63, 0x51, false},         {SDL_SCANCODE_KP_0, 0x60, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, 0x6E, 0x53, false},    {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x56, false},
    {SDL_SCANCODE_F11, 0x7A, 0x57, false},          {SDL_SCANCODE_F12, 0x7B, 0x58, false},
    {SDL_SCANCODE_PAUSE, 0x13, 0x45, false},        {SDL_SCANCODE_KP_ENTER, 0x0D, 0x1C, true},
    {SDL_SCANCODE_RCTRL, 0xA3, 0x1D, true},         {SDL_SCANCODE_KP_DIVIDE, 0x6F, 0x35, true},
    {SDL_SCANCODE_PRINTSCREEN, 0x2C, 0x37, true},   {SDL_SCANCODE_RALT, 0xA5, 0x38, true},
    {SDL_SCANCODE_HOME, 0x24, 0x47, true},          {SDL_SCANCODE_UP, 0x26, 0x48, true},
    {SDL_SCANCODE_PAGEUP, 0x21, 0x49, true},        {SDL_SCANCODE_LEFT, 0x25, 0x4B, true},
    {SDL_SCANCODE_RIGHT, 0x27, 0x4D, true},         {SDL_SCANCODE_END, 0x23, 0x4F, true},
    {SDL_SCANCODE_DOWN, 0x28, 0x50, true},          {SDL_SCANCODE_PAGEDOWN, 0x22, 0x51, true},
    {SDL_SCANCODE_INSERT, 0x2D, 0x52, true},        {SDL_SCANCODE_DELETE, 0x2E, 0x53, true},
    {SDL_SCANCODE_LGUI, 0x5B, 0x5B, true},          {SDL_SCANCODE_RGUI, 0x5C, 0x5C, true},
    {SDL_SCANCODE_APPLICATION, 0x5D, 0x5D, true},
};

// PC scan codes of the letters A..Z and of the digits 1..9, 0.
constexpr BYTE kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                  0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                  0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

KeyInfo Lookup(const SDL_Keysym& key) {
    // Letters follow the keyboard layout, as virtual keys do; everything else follows the key's position.
    if (key.sym >= SDLK_a && key.sym <= SDLK_z)
        return {key.scancode, static_cast<BYTE>('A' + (key.sym - SDLK_a)), kLetterScan[key.sym - SDLK_a],
                false};
    if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z) {
        const int i = key.scancode - SDL_SCANCODE_A;
        return {key.scancode, static_cast<BYTE>('A' + i), kLetterScan[i], false};
    }
    if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_0) {
        const int i = key.scancode - SDL_SCANCODE_1; // 1..9 then 0
        return {key.scancode, static_cast<BYTE>(i == 9 ? '0' : '1' + i), static_cast<BYTE>(0x02 + i), false};
    }
    for (const KeyInfo& k : kKeys)
        if (k.scancode == key.scancode) return k;
    return {key.scancode, 0, 0, false};
}

// The generic key that messages carry for a left or right modifier.
BYTE Generic(BYTE vk) {
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) return VK_SHIFT;
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) return VK_CONTROL;
    if (vk == VK_LMENU || vk == VK_RMENU) return VK_MENU;
    return vk;
}

struct InputState {
    std::array<BYTE, 256> async{};
    std::array<BYTE, 256> sync{};
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursor{0, 0};
    int showCount = 0;
    HCURSOR current = nullptr;
    // The last button press, for double clicks.
    HWND clickWindow = nullptr;
    UINT clickButton = 0;
    DWORD clickTime = 0;
    POINT clickPoint{};
    bool clickWasDouble = false;
    std::map<std::uint32_t, std::vector<std::u16string>> drops;
    // Alt went down and no other key or button since, as the retrieved messages tell.
    bool altAlone = false;
};

InputState& State() {
    static InputState state;
    return state;
}

constexpr DWORD kDoubleClickTime = 500;
constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;

void SetKey(std::array<BYTE, 256>& keys, BYTE vk, bool down) {
    if (down && !(keys[vk] & kDown)) keys[vk] ^= kToggled;
    keys[vk] = static_cast<BYTE>(down ? (keys[vk] | kDown) : (keys[vk] & ~kDown));
}

void SetModifier(std::array<BYTE, 256>& keys, BYTE vk, bool down) {
    SetKey(keys, vk, down);
    const BYTE generic = Generic(vk);
    if (generic == vk) return;
    const BYTE left = generic == VK_SHIFT ? VK_LSHIFT : generic == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
    const bool either = (keys[left] & kDown) || (keys[left + 1] & kDown);
    SetKey(keys, generic, either);
}

WPARAM MouseKeys(const std::array<BYTE, 256>& keys) {
    WPARAM mk = 0;
    if (keys[VK_LBUTTON] & kDown) mk |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & kDown) mk |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & kDown) mk |= MK_MBUTTON;
    if (keys[VK_SHIFT] & kDown) mk |= MK_SHIFT;
    if (keys[VK_CONTROL] & kDown) mk |= MK_CONTROL;
    return mk;
}

// The deepest visible, enabled window under a point of a top-level window's client area.
HWND HitTest(HWND window, POINT clientPoint) {
    for (HWND child : window->children) {
        if (!(child->style & WS_VISIBLE) || !child->enabled || child->mouseTransparent ||
            !PtInRect(&child->rect, clientPoint))
            continue;
        const RECT in = FrameInsets(child->style, child->exStyle, false);
        POINT inner{clientPoint.x - child->rect.left - in.left, clientPoint.y - child->rect.top - in.top};
        RECT client;
        GetClientRect(child, &client);
        if (!PtInRect(&client, inner)) return child;
        return HitTest(child, inner);
    }
    return window;
}

// A point of a top-level window's SDL window in its client coordinates: the menu bar is above the client.
POINT FromSdl(HWND top, int x, int y) {
    return POINT{x, y - MenuBarHeight(top)};
}

POINT ToClient(HWND window, POINT topPoint) {
    const RECT client = ClientInTopLevel(window);
    return POINT{topPoint.x - client.left, topPoint.y - client.top};
}

HWND KeyTarget(HWND top) {
    InputState& s = State();
    if (Win(s.focus) && TopLevelOf(s.focus) == top) return s.focus;
    return top;
}

void TrackCursor(HWND top, int x, int y) {
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    State().cursor = POINT{origin.x + x, origin.y + y};
}

// The top-level window that holds the keyboard in the layer: the focus's, or the active one, or else the
// first shown window that takes input (SDL reports keys only for the program's own windows).
HWND KeyboardTopLevel() {
    InputState& s = State();
    if (Win(s.focus)) return TopLevelOf(s.focus);
    if (Win(s.active)) return s.active;
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT))
        if (IsWindowVisible(top) && IsWindowEnabled(top)) return top;
    return nullptr;
}

void OnKey(const SDL_KeyboardEvent& e) {
    const KeyInfo key = Lookup(e.keysym);
    if (!key.vk) return;
    InputState& s = State();
    const bool down = e.type == SDL_KEYDOWN;
    const bool wasDown = (s.async[key.vk] & kDown) != 0;
    SetModifier(s.async, key.vk, down);
    // A key let go after the window it went down in has gone (a dialog closed by that very key) and a key
    // the window system gives no window (no window manager moved the focus) reach the window that holds
    // the keyboard here: otherwise the key would stay down for the program.
    HWND top = WindowFromSdlId(e.windowID);
    if (!top) top = KeyboardTopLevel();
    if (!top) return;
    const BYTE vk = Generic(key.vk);
    const bool alt = (s.async[VK_MENU] & kDown) != 0;
    const bool control = (s.async[VK_CONTROL] & kDown) != 0;
    LPARAM lParam = 1 | (static_cast<LPARAM>(key.scan) << 16);
    if (key.extended) lParam |= LPARAM(1) << 24;
    if (alt) lParam |= LPARAM(1) << 29;
    if (!down || wasDown) lParam |= LPARAM(1) << 30;
    if (!down) lParam |= LPARAM(1) << 31;
    const bool system = (alt && !control) || vk == VK_F10 || (vk == VK_MENU && !control);
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    if (MenuIsOpen(top)) {
        // The open menu reads the key as its own message loop would: the key state still follows it.
        UpdateSyncKeyState(MSG{top, message, vk, lParam, LayerTime(), s.cursor});
        s.altAlone = false; // an Alt that closes the menu does not open it again when released
        MenuTakesKey(top, vk, down);
        return;
    }
    PostMessageW(KeyTarget(top), message, vk, lParam);
}

void OnText(const SDL_TextInputEvent& e) {
    HWND top = WindowFromSdlId(e.windowID);
    if (!top || MenuIsOpen(top)) return;
    for (char16_t c : FromUtf8(e.text))
        PostMessageW(KeyTarget(top), WM_CHAR, c, 1);
}

HWND MouseTarget(HWND top, POINT topPoint) {
    InputState& s = State();
    if (Win(s.capture) && TopLevelOf(s.capture) == top) return s.capture;
    return HitTest(top, topPoint);
}

// Whether the menu takes a mouse event: always while it is open, and on the bar unless a window holds the
// capture.
bool ForMenu(HWND top, MenuMouse kind, int x, int y) {
    const bool onBar =
        y < MenuBarHeight(top) && !(Win(State().capture) && TopLevelOf(State().capture) == top);
    if (!onBar && !MenuIsOpen(top)) {
        if (kind == MenuMouse::Move) MenuTakesMouse(top, MenuMouse::Leave, POINT{x, y});
        return false;
    }
    return MenuTakesMouse(top, kind, POINT{x, y});
}

// Events carry the SDL window's coordinates: in full screen the scaling is undone first.
template <typename Event> Event InLayout(HWND top, const Event& raw) {
    Event e = raw;
    const POINT p = FromSdlWindow(Win(top), raw.x, raw.y);
    e.x = p.x;
    e.y = p.y;
    return e;
}

void OnMotion(const SDL_MouseMotionEvent& raw) {
    HWND top = WindowFromSdlId(raw.windowID);
    if (!top) return;
    const SDL_MouseMotionEvent e = InLayout(top, raw);
    const POINT at = FromSdl(top, e.x, e.y);
    TrackCursor(top, at.x, at.y);
    if (ForMenu(top, MenuMouse::Move, e.x, e.y)) return;
    HWND target = MouseTarget(top, at);
    const POINT p = ToClient(target, at);
    PostMessageW(target, WM_MOUSEMOVE, MouseKeys(State().async), MAKELPARAM(p.x, p.y));
}

void Activate(HWND top, bool active);

void OnButton(const SDL_MouseButtonEvent& raw) {
    HWND top = WindowFromSdlId(raw.windowID);
    if (!top) return;
    const SDL_MouseButtonEvent e = InLayout(top, raw);
    static constexpr struct {
        Uint8 sdl;
        int vk;
        UINT down;
    } kButtons[] = {{SDL_BUTTON_LEFT, VK_LBUTTON, WM_LBUTTONDOWN},
                    {SDL_BUTTON_RIGHT, VK_RBUTTON, WM_RBUTTONDOWN},
                    {SDL_BUTTON_MIDDLE, VK_MBUTTON, WM_MBUTTONDOWN}};
    const auto* button = std::find_if(std::begin(kButtons), std::end(kButtons),
                                      [&](const auto& b) { return b.sdl == e.button; });
    if (button == std::end(kButtons)) return;
    InputState& s = State();
    const POINT at = FromSdl(top, e.x, e.y);
    TrackCursor(top, at.x, at.y);
    const bool down = e.type == SDL_MOUSEBUTTONDOWN;
    SetKey(s.async, static_cast<BYTE>(button->vk), down);
    const MenuMouse menuKind = button->vk != VK_LBUTTON ? MenuMouse::OtherButton
                               : down                   ? MenuMouse::Down
                                                        : MenuMouse::Up;
    if (MenuIsOpen(top)) {
        MenuTakesMouse(top, menuKind, POINT{e.x, e.y});
        return;
    }
    const bool onBar = at.y < 0 && !(Win(s.capture) && TopLevelOf(s.capture) == top);
    HWND target = onBar ? top : MouseTarget(top, at);
    const POINT p = ToClient(target, at);
    UINT message = down ? button->down : button->down + 1;
    if (down && Win(s.active) != top) {
        // A press in a window that is not active asks it first; it may refuse the activation or the click.
        const LRESULT answer = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                            MAKELPARAM(onBar ? HTMENU : HTCLIENT, message));
        if (!Win(target) || !Win(top)) return;
        if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) {
            if (HWND previous = Win(s.active)) Activate(previous, false);
            Activate(top, true);
            // The window manager's click-to-focus, done here when there is none.
            if (Win(top) && top->sdl && SDL_GetKeyboardFocus() != top->sdl) SDL_SetWindowInputFocus(top->sdl);
        }
        if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return;
    }
    if (onBar) {
        ForMenu(top, menuKind, e.x, e.y);
        return;
    }
    if (down) {
        const DWORD now = LayerTime();
        const int slop = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
        const bool isDouble = !s.clickWasDouble && s.clickWindow == target && s.clickButton == button->down &&
                              now - s.clickTime <= kDoubleClickTime &&
                              std::abs(p.x - s.clickPoint.x) <= slop &&
                              std::abs(p.y - s.clickPoint.y) <= slop && (target->cls->wc.style & CS_DBLCLKS);
        if (isDouble) message = button->down + 2;
        s.clickWasDouble = isDouble;
        s.clickWindow = target;
        s.clickButton = button->down;
        s.clickTime = now;
        s.clickPoint = p;
    }
    PostMessageW(target, message, MouseKeys(s.async), MAKELPARAM(p.x, p.y));
}

void OnWheel(const SDL_MouseWheelEvent& e) {
    HWND top = WindowFromSdlId(e.windowID);
    if (!top || e.y == 0 || MenuIsOpen(top)) return;
    const int notches = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y;
    const POINT& c = State().cursor;
    PostMessageW(KeyTarget(top), WM_MOUSEWHEEL, MAKEWPARAM(MouseKeys(State().async), notches * WHEEL_DELTA),
                 MAKELPARAM(c.x, c.y));
}

void Activate(HWND top, bool active) {
    InputState& s = State();
    if (active) {
        s.active = top;
        SendMessageW(top, WM_ACTIVATEAPP, TRUE, 0);
        SendMessageW(top, WM_ACTIVATE, WA_ACTIVE, 0);
        if (Win(top) && !(Win(s.focus) && TopLevelOf(s.focus) == top)) SetFocus(top);
    } else {
        // Told while its focus is still there: a dialog keeps the control that had it for its return.
        SendMessageW(top, WM_ACTIVATE, WA_INACTIVE, 0);
        if (Win(s.focus) && TopLevelOf(s.focus) == top) SetFocus(nullptr);
        SendMessageW(top, WM_ACTIVATEAPP, FALSE, 0);
        if (s.active == top) s.active = nullptr;
    }
}

void OnWindowEvent(const SDL_WindowEvent& e) {
    HWND top = WindowFromSdlId(e.windowID);
    if (!top) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
        top->dirty = true;
        InvalidateRect(top, nullptr, TRUE);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        // In full screen the SDL window is the desktop's size, whatever the window's own; one that the
        // window system leaves smaller covers the display by itself.
        if (top->fullScreen) {
            if (!top->coversDisplay) CoverDisplayWhenNotFull(top);
            break;
        }
        // Events queued before a later size change of our own are stale: only the current size counts.
        int width = 0, height = 0;
        SDL_GetWindowSize(top->sdl, &width, &height);
        RECT client;
        GetClientRect(top, &client);
        const int bar = MenuBarHeight(top);
        if (width != e.data1 || height != e.data2 ||
            (client.right == e.data1 && client.bottom + bar == e.data2))
            break;
        RECT r{0, 0, e.data1, std::max(0, e.data2 - bar)};
        AdjustWindowRectEx(&r, top->style, top->menu != nullptr, top->exStyle);
        // A size the window does not accept is brought back within its limits.
        const MINMAXINFO limits = MinMaxOf(top);
        if (!Win(top)) break;
        const LONG outerWidth = std::clamp<LONG>(r.right - r.left, limits.ptMinTrackSize.x,
                                                 std::max(limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x));
        const LONG outerHeight = std::clamp<LONG>(r.bottom - r.top, limits.ptMinTrackSize.y,
                                                  std::max(limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y));
        SetWindowPos(top, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case SDL_WINDOWEVENT_MOVED: {
        if (top->fullScreen) break;
        const RECT in = FrameInsets(top->style, top->exStyle, top->menu != nullptr);
        int x = 0, y = 0;
        SDL_GetWindowPosition(top->sdl, &x, &y);
        if (x != e.data1 || y != e.data2) break;
        const int bar = MenuBarHeight(top);
        if (top->rect.left + in.left != e.data1 || top->rect.top + in.top != e.data2 + bar)
            SetWindowPos(top, nullptr, e.data1 - in.left, e.data2 + bar - in.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    // The window manager's minimize, maximize and restore come as the system commands that the window
    // procedure may act on or refuse; changes the layer made itself are already in the style.
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!(top->style & WS_MINIMIZE)) SendMessageW(top, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        if (!(top->style & WS_MAXIMIZE)) SendMessageW(top, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (top->style & (WS_MINIMIZE | WS_MAXIMIZE)) SendMessageW(top, WM_SYSCOMMAND, SC_RESTORE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (HWND previous = Win(State().active); previous && previous != top) Activate(previous, false);
        if (Win(top)) Activate(top, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        CancelMenu(top);
        if (Win(top)) Activate(top, false);
        break;
    case SDL_WINDOWEVENT_LEAVE:
        if (!MenuIsOpen(top)) MenuTakesMouse(top, MenuMouse::Leave, POINT{-1, -1});
        break;
    case SDL_WINDOWEVENT_CLOSE:
        PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        break;
    }
}

HWND DropTarget(HWND top) {
    POINT p = State().cursor;
    ScreenToClient(top, &p);
    for (HWND w = HitTest(top, p); w; w = IsChild(w) ? Win(w->parent) : nullptr)
        if (w->exStyle & WS_EX_ACCEPTFILES) return w;
    return nullptr;
}

void OnDrop(const SDL_DropEvent& e) {
    InputState& s = State();
    if (e.type == SDL_DROPBEGIN) {
        s.drops[e.windowID].clear();
        return;
    }
    if (e.type == SDL_DROPFILE && e.file) {
        s.drops[e.windowID].push_back(FromUtf8(e.file ? e.file : ""));
        return;
    }
    if (e.type != SDL_DROPCOMPLETE) return;
    auto files = std::move(s.drops[e.windowID]);
    s.drops.erase(e.windowID);
    HWND top = WindowFromSdlId(e.windowID);
    HWND target = top ? DropTarget(top) : nullptr;
    if (!target || files.empty()) return;
    auto* drop = detail::NewHandleObject<DropObject>(std::move(files), State().cursor);
    ScreenToClient(target, &drop->point);
    PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

} // namespace

void PumpSdlEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            OnKey(e.key);
            break;
        case SDL_TEXTINPUT:
            OnText(e.text);
            break;
        case SDL_MOUSEMOTION:
            OnMotion(e.motion);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            OnButton(e.button);
            break;
        case SDL_MOUSEWHEEL:
            OnWheel(e.wheel);
            break;
        case SDL_WINDOWEVENT:
            OnWindowEvent(e.window);
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPCOMPLETE:
            OnDrop(e.drop);
            if (e.type == SDL_DROPFILE) SDL_free(e.drop.file);
            break;
        case SDL_QUIT:
            // SDL's own signal handler, there when no console control routine took the signals first: the
            // routines get an interrupt; without any, the windows close as their close boxes would.
            if (detail::QueueConsoleInterrupt()) break;
            for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT))
                if (IsWindowVisible(top)) PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default:
            break;
        }
    }
}

void UpdateSyncKeyState(const MSG& msg) {
    InputState& s = State();
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        BYTE vk = static_cast<BYTE>(msg.wParam);
        const BYTE scan = static_cast<BYTE>(msg.lParam >> 16);
        const bool extended = (msg.lParam >> 24) & 1;
        if (vk == VK_SHIFT)
            vk = scan == 0x36 ? VK_RSHIFT : VK_LSHIFT;
        else if (vk == VK_CONTROL)
            vk = extended ? VK_RCONTROL : VK_LCONTROL;
        else if (vk == VK_MENU)
            vk = extended ? VK_RMENU : VK_LMENU;
        SetModifier(s.sync, vk, down);
        const bool repeat = (msg.lParam & (LPARAM(1) << 30)) != 0;
        if (down && (vk == VK_LMENU || vk == VK_RMENU))
            s.altAlone = s.altAlone || !repeat;
        else if (down)
            s.altAlone = false;
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
        SetKey(s.sync, VK_LBUTTON, msg.message != WM_LBUTTONUP);
        s.altAlone = false;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        SetKey(s.sync, VK_RBUTTON, msg.message != WM_RBUTTONUP);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
        SetKey(s.sync, VK_MBUTTON, msg.message != WM_MBUTTONUP);
        break;
    default:
        break;
    }
}

bool AltPressedAlone() {
    return State().altAlone;
}

void PassActivationFrom(HWND top) {
    InputState& s = State();
    WindowObject* w = Win(top);
    if (!w || IsChild(w) || Win(s.active) != top) return;
    Activate(top, false);
    HWND owner = Win(Win(top) ? Win(top)->owner : nullptr);
    if (!owner || !IsWindowVisible(owner) || !IsWindowEnabled(owner) || Win(s.active)) return;
    Activate(owner, true);
    // Without a window manager nobody else gives the X focus back to the owner.
    if (Win(owner) && owner->sdl) SDL_SetWindowInputFocus(owner->sdl);
}

HWND KeyboardWindow() {
    if (HWND focus = Win(State().focus)) return focus;
    HWND top = KeyboardTopLevel();
    return top && !top->destroying ? top : nullptr;
}

void ForgetInputWindow(HWND window) {
    InputState& s = State();
    if (s.focus == window) s.focus = nullptr;
    if (s.active == window) s.active = nullptr;
    if (s.capture == window) s.capture = nullptr;
    if (s.clickWindow == window) s.clickWindow = nullptr;
}

UINT MapVirtualKeyW(UINT code, UINT mapType) {
    // The characters of the keys that are not letters or digits, as a US keyboard types them.
    static constexpr std::pair<UINT, WCHAR> kOther[] = {
        {VK_SPACE, u' '}, {0x6A, u'*'},   {0x6B, u'+'},      {0x6D, u'-'},      {0x6E, u'.'},  {0x6F, u'/'},
        {0xBA, u';'},     {0xBB, u'='},   {0xBC, u','},      {0xBD, u'-'},      {0xBE, u'.'},  {0xBF, u'/'},
        {0xC0, u'`'},     {0xDB, u'['},   {0xDC, u'\\'},     {0xDD, u']'},      {0xDE, u'\''}, {0xE2, u'\\'},
        {VK_BACK, 0x08},  {VK_TAB, 0x09}, {VK_RETURN, 0x0D}, {VK_ESCAPE, 0x1B},
    };
    if (mapType != MAPVK_VK_TO_CHAR) return 0;
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return code;
    if (code >= VK_NUMPAD0 && code <= VK_NUMPAD0 + 9) return u'0' + (code - VK_NUMPAD0);
    for (const auto& [key, c] : kOther)
        if (key == code) return c;
    return 0;
}

SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    const BYTE k = State().sync[static_cast<std::size_t>(virtualKey)];
    return static_cast<SHORT>(((k & kDown) ? 0xFF80 : 0) | (k & kToggled));
}

BOOL GetKeyboardState(BYTE* keys) {
    if (!keys) return FALSE;
    const auto& sync = State().sync;
    std::copy(sync.begin(), sync.end(), keys);
    return TRUE;
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return (State().async[static_cast<std::size_t>(virtualKey)] & kDown) ? static_cast<SHORT>(0x8000) : 0;
}

HWND SetFocus(HWND window) {
    InputState& s = State();
    if (window && !Win(window)) return nullptr;
    HWND old = Win(s.focus);
    if (old == window) return old;
    s.focus = window;
    if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (Win(window) && s.focus == window) {
        s.active = TopLevelOf(window);
        SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetFocus() {
    return Win(State().focus);
}
HWND GetActiveWindow() {
    return Win(State().active);
}

HWND SetActiveWindow(HWND window) {
    const HWND previous = GetActiveWindow();
    const HWND top = Win(window) ? TopLevelOf(window) : nullptr;
    if (!top || top == previous) return previous;
    if (previous) Activate(previous, false);
    Activate(top, true);
    return previous;
}

HWND SetCapture(HWND window) {
    InputState& s = State();
    HWND old = Win(s.capture);
    if (!Win(window)) return old;
    s.capture = window;
    if (old && old != window) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_CaptureMouse(SDL_TRUE);
    return old;
}

BOOL ReleaseCapture() {
    InputState& s = State();
    HWND old = Win(s.capture);
    s.capture = nullptr;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_CaptureMouse(SDL_FALSE);
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return Win(State().capture);
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = State().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    State().cursor = POINT{x, y};
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_WarpMouseGlobal(x, y);
    return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    static CursorObject arrow{SDL_SYSTEM_CURSOR_ARROW};
    static CursorObject wait{SDL_SYSTEM_CURSOR_WAIT};
    if (instance) return nullptr;
    const auto id = reinterpret_cast<ULONG_PTR>(name);
    if (id == IDC_ARROW_ID) return &arrow;
    if (id == IDC_WAIT_ID) return &wait;
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    InputState& s = State();
    HCURSOR old = s.current;
    s.current = cursor;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return old;
    if (cursor) {
        if (!cursor->sdl) cursor->sdl = SDL_CreateSystemCursor(cursor->kind);
        if (cursor->sdl) SDL_SetCursor(cursor->sdl);
    }
    SDL_ShowCursor(cursor && s.showCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return old;
}

HCURSOR GetCursor() {
    return State().current;
}

int ShowCursor(BOOL show) {
    InputState& s = State();
    s.showCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(s.showCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return s.showCount;
}

void DragAcceptFiles(HWND window, BOOL accept) {
    if (WindowObject* w = Win(window))
        w->exStyle = accept ? (w->exStyle | WS_EX_ACCEPTFILES) : (w->exStyle & ~WS_EX_ACCEPTFILES);
}

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT capacity) {
    if (!drop) return 0;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(drop->files.size());
    if (index >= drop->files.size()) return 0;
    const std::u16string& name = drop->files[index];
    if (!buffer) return static_cast<UINT>(name.size());
    if (capacity == 0) return 0;
    const UINT n = std::min<UINT>(capacity - 1, static_cast<UINT>(name.size()));
    std::copy_n(name.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

BOOL DragQueryPoint(HDROP drop, POINT* point) {
    if (!drop || !point) return FALSE;
    *point = drop->point;
    return TRUE;
}

void DragFinish(HDROP drop) {
    detail::DeleteHandleObject(drop);
}

namespace testing {
void ResetInputState() {
    InputState& s = State();
    s.async.fill(0);
    s.sync.fill(0);
    s.capture = nullptr;
    s.clickWindow = nullptr;
    s.clickButton = 0;
    s.clickTime = 0;
    s.clickPoint = POINT{};
    s.clickWasDouble = false;
    s.altAlone = false;
}
} // namespace testing

} // namespace win32
