// Menus: menu bars and popups built by calls or from menu templates, their items' states, and the messages
// that go with them.
#pragma once

#include "win32/user.h"

#include <cstddef>

namespace win32 {

// Item flags (the MF_ words of AppendMenuW, ModifyMenuW and GetMenuState, and of template items).
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_BITMAP = 0x0004;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_END = 0x0080; // template items only: the last item of its menu
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_HELP = 0x4000;

constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;

// The menu's part of default window handling: a press on the bar arrives as a non-client button-down on
// HTMENU and becomes SC_MOUSEMENU; Alt, F10 and Alt with a mnemonic become SC_KEYMENU (lParam: the
// character, 0 for the bar alone). Both run the menu.
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr int HTMENU = 5;
constexpr WPARAM SC_MOUSEMENU = 0xF090;
constexpr WPARAM SC_KEYMENU = 0xF100;

constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_STATIC = 5; // an SS_OWNERDRAW static of a dialog
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_HOTLIGHT = 0x0040;

struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem; // the menu, for menus
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its popups; a menu still set on a window is taken off it first.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// With MF_POPUP, `item` is the popup's handle; with MF_OWNERDRAW, `content` is the item's data word.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR content);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR content);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR content);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags); // destroys a popup it removes
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags); // keeps it

// The previous MF_CHECKED or MF_GRAYED|MF_DISABLED bits, or -1 (0xFFFFFFFF) when the item is not there.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The item's flags (for a popup, its item count in the high byte), or 0xFFFFFFFF when it is not there.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position); // 0xFFFFFFFF for popups and missing items
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int capacity, UINT flags);
// The data word given with MF_OWNERDRAW; 0 when none.
ULONG_PTR GetMenuItemData(HMENU menu, UINT item, UINT flags);

// SetMenu and GetMenu are declared with the windows.
BOOL DrawMenuBar(HWND window);

// Builds a menu from a menu template (header version 0, items ending their level with MF_END). The template
// is trusted to be well formed; LoadMenuIndirectSizedW reads at most `size` bytes and refuses anything
// malformed (null result).
HMENU LoadMenuIndirectW(const void* menuTemplate);
HMENU LoadMenuIndirectSizedW(const void* menuTemplate, std::size_t size);
// The menu of a module's RT_MENU resource of that number (MAKEINTRESOURCE), read no further than the
// resource's size; null when the module has no such menu or it is malformed. C link names, as the resource
// functions have (win32/resource.h).
extern "C" HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
extern "C" HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);

// What a window does when the user opens its menu bar: WM_ENTERMENULOOP, WM_INITMENU with the bar, then the
// popup's WM_INITMENUPOPUP; ends with WM_MENUSELECT (0xFFFF in the high word of wParam, no menu) and
// WM_EXITMENULOOP. A chosen item arrives as WM_COMMAND (id, 0).
// The layer calls these itself when it runs a menu; they are here so that the menu loop has one definition.
void EnterMenuLoop(HWND window);
void ExitMenuLoop(HWND window);
// Chooses an item as a click would: enabled items post WM_COMMAND to the window; returns whether one did.
BOOL ChooseMenuItem(HWND window, HMENU menu, UINT position);

// Accelerator tables: keys that send WM_COMMAND (id, 1) to a window.
struct ACCEL {
    BYTE fVirt; // FVIRTKEY: key is a virtual key; else a character. FSHIFT, FCONTROL, FALT: modifiers
    WORD key;
    WORD cmd;
};
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;

struct AccelObject;
using HACCEL = AccelObject*;

// Null for no entries or a negative count.
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// For WM_KEYDOWN and WM_SYSKEYDOWN (virtual-key entries, whose Shift, Control and Alt must match the keys'
// state) and WM_CHAR and WM_SYSCHAR (character entries): the first matching entry sends WM_COMMAND with
// HIWORD(wParam) = 1 to the window, unless its command is an item greyed or disabled in the window's menu.
// Answers whether an entry matched; a matched key is not to be translated or dispatched.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg);

} // namespace win32
