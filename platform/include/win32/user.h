// Windows, window classes, the message queue, timers, keyboard and mouse input, cursors and rectangles.
#pragma once

#include "win32/types.h"

namespace win32 {

using ATOM = WORD;

struct MenuObject;
using HMENU = MenuObject*;
struct CursorObject;
using HCURSOR = CursorObject*;
struct BrushObject;
using HBRUSH = BrushObject*;
struct DropObject;
using HDROP = DropObject*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_RTLREADING = 0x00002000;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

// The creation block of a child of an MDI client; lParam reaches the child's creation parameter.
struct MDICREATESTRUCTW {
    LPCWSTR szClass;
    LPCWSTR szTitle;
    HANDLE hOwner;
    int x;
    int y;
    int cx;
    int cy;
    DWORD style;
    LPARAM lParam;
};

struct CLIENTCREATESTRUCT {
    HANDLE hWindowMenu;
    UINT idFirstChild;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

// Messages, with the numbers that stored data and plug-ins see.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSELAST = 0x020E;
constexpr UINT WM_MDICREATE = 0x0220;
constexpr UINT WM_MDIDESTROY = 0x0221;
constexpr UINT WM_MDIACTIVATE = 0x0222;
constexpr UINT WM_MDINEXT = 0x0224;
constexpr UINT WM_MDIMAXIMIZE = 0x0225;
constexpr UINT WM_MDITILE = 0x0226;
constexpr UINT WM_MDICASCADE = 0x0227;
constexpr UINT WM_MDIICONARRANGE = 0x0228;
constexpr UINT WM_MDIGETACTIVE = 0x0229;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
// Sent by programs that manage a palette: realise yours (WM_QUERYNEWPALETTE, answered with 1 when it did),
// and the system palette changed (wParam: the window that changed it).
constexpr UINT WM_QUERYNEWPALETTE = 0x030F;
constexpr UINT WM_PALETTECHANGED = 0x0311;
constexpr UINT WM_USER = 0x0400;

// Results of WM_MOUSEACTIVATE, and the hit-test code of the client area.
constexpr LRESULT MA_ACTIVATE = 1;
constexpr LRESULT MA_ACTIVATEANDEAT = 2;
constexpr LRESULT MA_NOACTIVATE = 3;
constexpr LRESULT MA_NOACTIVATEANDEAT = 4;
constexpr int HTCLIENT = 1;

// wParam of WM_MDITILE: side by side, or one above another.
constexpr WPARAM MDITILE_VERTICAL = 0x0000;
constexpr WPARAM MDITILE_HORIZONTAL = 0x0001;

// wParam of WM_SIZE.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// Low word of wParam of WM_ACTIVATE.
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

// wParam of WM_SETICON and WM_GETICON.
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// wParam of WM_SYSCOMMAND.
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

// Mouse key flags in wParam of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

// Virtual keys that the layer and the Parts name; letters and digits are their ASCII capitals.
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_F1 = 0x70;
constexpr int VK_F10 = 0x79;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// SetWindowPos flags and insert-after values.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<intptr_t>(1));

// GetWindowLongPtr / SetWindowLongPtr indexes; 0 and up address the window's extra bytes.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
constexpr int GCL_CBWNDEXTRA = -18;

// GetWindow relations.
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;

// A window's font, for windows that keep one (DefWindowProcW keeps none: WM_GETFONT answers 0).
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;

// GetAncestor relations.
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;

// PeekMessage options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// System metrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
// The thickness of a vertical scroll bar and the height of a horizontal one: 12 pixels.
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXMAXTRACK = 59;
constexpr int SM_CYMAXTRACK = 60;
constexpr int SM_CXMAXIMIZED = 61;
constexpr int SM_CYMAXIMIZED = 62;

// Stock cursors for LoadCursorW with a null instance.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(id));
}
constexpr WORD IDC_ARROW_ID = 32512;
constexpr WORD IDC_WAIT_ID = 32514;
inline const LPCWSTR IDC_ARROW = MAKEINTRESOURCEW(IDC_ARROW_ID);
inline const LPCWSTR IDC_WAIT = MAKEINTRESOURCEW(IDC_WAIT_ID);

constexpr SHORT GET_WHEEL_DELTA_WPARAM(WPARAM w) {
    return static_cast<SHORT>(HIWORD(w));
}
constexpr int GET_X_LPARAM(LPARAM l) {
    return static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(l)));
}
constexpr int GET_Y_LPARAM(LPARAM l) {
    return static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(l)));
}
constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(lo), static_cast<WORD>(hi)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
    return static_cast<WPARAM>(MAKELONG(static_cast<WORD>(lo), static_cast<WORD>(hi)));
}

// Window classes.
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
int GetClassNameW(HWND window, LPWSTR buffer, int capacity);
ULONG_PTR GetClassLongPtrW(HWND window, int index);

// Windows.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
BOOL IsZoomed(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Moves points from one window's client coordinates to another's (null: the screen). The result packs the
// horizontal shift in the low word and the vertical one in the high word; 0 when a window is not there.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
HWND GetParent(HWND window);
HWND GetWindow(HWND window, UINT relation);
HWND GetTopWindow(HWND window);
HWND GetAncestor(HWND window, UINT flags);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
// The menu bar of a top-level window: attaching one takes its height from the client area.
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int capacity);
int GetWindowTextLengthW(HWND window);
int GetSystemMetrics(int index);

// Window properties: values kept on a window under a name or its atom (MAKEINTATOM), the two being the same
// key; names compare without regard to case. A window's properties go with it.
inline LPCWSTR MAKEINTATOM(ATOM atom) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom));
}
BOOL SetPropW(HWND window, LPCWSTR name, HANDLE value);
// Null when the window has no such property.
HANDLE GetPropW(HWND window, LPCWSTR name);
// The value the property had (null when there was none); the property is gone.
HANDLE RemovePropW(HWND window, LPCWSTR name);

// System settings: SPI_GETFLATMENU (a BOOL, always TRUE: menus are drawn flat) and SPI_GETWORKAREA (a RECT,
// the whole screen). Other actions answer FALSE.
constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_GETFLATMENU = 0x1022;
BOOL SystemParametersInfoW(UINT action, UINT param, void* value, UINT update);

// Display modes. The layer lists SDL's modes of the first display at 32 bits per pixel; a change accepts
// any of their sizes (or the desktop's) at 8, 15, 16, 24 or 32 bits, which the library draws in memory and
// converts. While a mode is set, the screen metrics are the mode's, and a top-level pop-up window that
// covers exactly that screen is shown in SDL's desktop full screen, scaled into it keeping its ratio.
struct DEVMODEW {
    WORD dmSize;
    DWORD dmFields;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFrequency;
};
constexpr DWORD ENUM_CURRENT_SETTINGS = 0xFFFFFFFF;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD CDS_TEST = 0x2;
constexpr DWORD CDS_FULLSCREEN = 0x4;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_BADMODE = -2;
// Mode number n of the list, or ENUM_CURRENT_SETTINGS; FALSE past the end. Only the primary display (a null
// device name) is known.
BOOL EnumDisplaySettingsW(LPCWSTR device, DWORD modeNumber, DEVMODEW* mode);
// A null mode (or one without fields) puts the desktop's mode back. Top-level windows are sent
// WM_DISPLAYCHANGE (bits per pixel, MAKELPARAM(width, height)) when the mode changes.
LONG ChangeDisplaySettingsW(DEVMODEW* mode, DWORD flags);

// Placement: restored rectangle and show state, monitors, and several moves made together.
struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};
struct MonitorObject;
using HMONITOR = MonitorObject*;
struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
constexpr DWORD MONITORINFOF_PRIMARY = 1;
struct DeferObject;
using HDWP = DeferObject*;

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement);
HMONITOR MonitorFromWindow(HWND window, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
HDWP BeginDeferWindowPos(int count);
HDWP DeferWindowPos(HDWP batch, HWND window, HWND insertAfter, int x, int y, int width, int height,
                    UINT flags);
BOOL EndDeferWindowPos(HDWP batch);

// Painting.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Blocks until the display's next vertical blank; 0 when it waited.
LONG DwmFlush();

// Messages.
BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// Whether keyboard or mouse-button messages wait in the thread's queue.
BOOL GetInputState();
// Waits until one of the processes ends (WAIT_OBJECT_0 + its index), a message waits in the queue
// (WAIT_OBJECT_0 + count) or the time is up (WAIT_TIMEOUT). The handles are process handles.
constexpr DWORD QS_ALLINPUT = 0x04FF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD INFINITE = 0xFFFFFFFF;
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);
BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefFrameProcW(HWND window, HWND mdiClient, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefMDIChildProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The MDI keys of a key message for the client's active child: Ctrl+F4 closes it, Ctrl+F6 (with Shift,
// backwards) activates the next child. TRUE when the message was one of them (it is then not to be
// dispatched).
BOOL TranslateMDISysAccel(HWND client, MSG* msg);
DWORD GetMessageTime();

// Timers.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Keyboard and mouse.
SHORT GetKeyState(int virtualKey);
// The 256 keys as GetKeyState sees them: 0x80 down, 0x01 toggled.
BOOL GetKeyboardState(BYTE* keys);
SHORT GetAsyncKeyState(int virtualKey);
HWND SetFocus(HWND window);
HWND GetFocus();
HWND GetActiveWindow();
// Activates the window's top-level window (the one before loses it); the previously active window.
HWND SetActiveWindow(HWND window);
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// An icon from a packed bitmap of `size` bytes: the header, its colour table, the colour rows (1, 4, 8, 16,
// 24 or 32 bits per pixel, bottom-up or top-down), then a 1-bit mask of as many rows whose set bits leave
// the picture out there. A height of twice the width counts the mask's rows too, as icons store them. Null
// when a part runs past the bytes, the header is refused, or a side is over MaxIconSide.
constexpr int MaxIconSide = 256;
HICON CreateIconFromDib(const void* dib, std::size_t size);
BOOL DestroyIcon(HICON icon);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
int ShowCursor(BOOL show);
// Mode 2 (MAPVK_VK_TO_CHAR): the character a virtual key types without Shift (a capital for letters); 0
// for keys that type none. Other modes answer 0.
constexpr UINT MAPVK_VK_TO_CHAR = 2;
UINT MapVirtualKeyW(UINT code, UINT mapType);
void DragAcceptFiles(HWND window, BOOL accept);
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT capacity);
BOOL DragQueryPoint(HDROP drop, POINT* point);
void DragFinish(HDROP drop);

// Hooks: procedures that see messages before their windows do, per thread (thread id 0: every thread);
// the hook installed last is called first and passes the message on with CallNextHookEx.
struct HookObject;
using HHOOK = HookObject*;
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
constexpr int WH_MSGFILTER = -1;
constexpr int WH_CALLWNDPROC = 4;
constexpr int HC_ACTION = 0;
// Codes of WH_MSGFILTER: the modal loop the message arrived in.
constexpr int MSGF_DIALOGBOX = 0;
constexpr int MSGF_MENU = 2;
// What a WH_CALLWNDPROC hook sees (lParam) of each sent message, before the window procedure runs; wParam
// is nonzero when the current thread sent it.
struct CWPSTRUCT {
    LPARAM lParam;
    WPARAM wParam;
    UINT message;
    HWND hwnd;
};
HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
// What a modal loop does with each message: offers it to the thread's WH_MSGFILTER hooks with the loop's
// code; TRUE when a hook took it (the loop then does not process it).
BOOL CallMsgFilterW(MSG* msg, int code);

// Scroll bars and the move-or-size loop, which the menu-pause hooks watch.
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
constexpr UINT WM_EXITSIZEMOVE = 0x0232;

// Scroll-bar controls: windows of the class "ScrollBar" (SBS_VERT, else horizontal), two arrows, the track
// and the thumb. The arrows scroll by lines and the track by pages, again and again while the button is
// held; dragging the thumb tracks it. The parent hears each step as WM_VSCROLL (or WM_HSCROLL) with the code
// in the low word of wParam, the thumb's position in the high word for the thumb codes, and the bar in
// lParam; SB_ENDSCROLL follows when the button is let go. The position does not move by itself: the parent
// sets it (while the thumb is dragged, it is drawn where the pointer holds it).
constexpr DWORD SBS_HORZ = 0x0000;
constexpr DWORD SBS_VERT = 0x0001;
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_ENDSCROLL = 8;
// Which bar the scroll functions address: only a scroll-bar control (SB_CTL) is known.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr UINT SIF_RANGE = 0x1;
constexpr UINT SIF_PAGE = 0x2;
constexpr UINT SIF_POS = 0x4;
constexpr UINT SIF_DISABLENOSCROLL = 0x8;
constexpr UINT SIF_TRACKPOS = 0x10;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
// The range runs from nMin to nMax; with a page, the thumb is as long as the page is in the range, and the
// position goes up to nMax - nPage + 1. nTrackPos is where the thumb is held while it is dragged (its last
// position once let go), in 32 bits.
struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};
constexpr UINT SBM_SETPOS = 0x00E0;
constexpr UINT SBM_GETPOS = 0x00E1;
constexpr UINT SBM_SETRANGE = 0x00E2;
constexpr UINT SBM_GETRANGE = 0x00E3;
constexpr UINT SBM_SETSCROLLINFO = 0x00E9;
constexpr UINT SBM_GETSCROLLINFO = 0x00EA;
// The position set is kept within the range; each answers the previous position (SetScrollInfo the new one).
int SetScrollPos(HWND window, int bar, int position, BOOL redraw);
int GetScrollPos(HWND window, int bar);
BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw);
BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum);
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);

// OEM text (code page 437) to the ANSI code page, through iconv, up to and with the terminating 0; the two
// may be the same buffer. Characters the ANSI code page lacks become "?".
BOOL OemToCharA(LPCSTR source, LPSTR out);

// Rectangles.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL PtInRect(const RECT* rect, POINT point);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

} // namespace win32
#include "win32/menu.h" // IWYU pragma: export
