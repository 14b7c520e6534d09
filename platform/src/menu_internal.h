// The layer's menu records, and what the windows, the presentation and the input code ask of the menus
// that are shown: the menu bars drawn above client areas and the popups opened from them.
#pragma once

#include "win32/menu.h"
#include "window_internal.h"

#include <functional>
#include <string>
#include <vector>

namespace win32 {

struct MenuItem {
    UINT flags = 0; // MF_ bits other than MF_BYPOSITION
    UINT id = 0;
    HMENU popup = nullptr;
    std::u16string text;
    ULONG_PTR data = 0;
    // The size an owner-drawn item's window answered to WM_MEASUREITEM; asked again when the item changes.
    bool measured = false;
    SIZE measuredSize{};
};

struct MenuObject {
    bool popup = false;
    std::vector<MenuItem> items;
};

// Rows of a top-level window's SDL window above its client area: the menu bar, or 0.
int MenuBarHeight(const WindowObject* w);

// A window's menu bar was set, removed or asked to be redrawn; it is laid out and drawn before the window
// is next presented.
void MenuBarChanged(HWND window);
// Items of a menu changed: bars and open popups that show it are drawn again.
void MenuChanged(HMENU menu);
// A menu is going away: an open menu that shows it is closed first.
void MenuDestroyed(HMENU menu);
// A window is going away: its open menu closes without messages and its bar's pixels are freed.
void ForgetMenuWindow(HWND window);
// Lays out and draws the bars that changed; run before windows are presented.
void DrawPendingMenuBars();
// The menu pictures a top-level window shows over its SDL window, bottom first, in SDL window coordinates.
void ForEachMenuLayer(HWND top, const std::function<void(const BitmapObject&, POINT)>& draw);

// Input in a top-level window's SDL window coordinates. Each answers whether the menu took the event; what
// the menu takes never reaches a window procedure.
// Down and Up are the left button's; the other buttons only close an open menu.
enum class MenuMouse { Move, Down, Up, OtherButton, Leave };
bool MenuTakesMouse(HWND top, MenuMouse kind, POINT sdlPoint);
bool MenuTakesKey(HWND top, BYTE virtualKey, bool down);
bool MenuIsOpen(HWND top);
// Closes the window's open menu, as a click elsewhere does (the window loses the activation).
void CancelMenu(HWND top);

// What default window handling does for the menu's system commands: a click on the bar at a screen point,
// or the keyboard (character 0: the bar is selected; a character: the bar item it is the mnemonic of opens).
void TrackMenuFromMouse(HWND window, POINT screenPoint);
void TrackMenuFromKey(HWND window, WCHAR mnemonic);
// Whether the last key pressed was Alt with nothing else pressed since (kept as messages are retrieved).
bool AltPressedAlone();

} // namespace win32
