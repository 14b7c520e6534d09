// The layer's window records, class table and per-thread message queues.
#pragma once

#include "gdi_internal.h"
#include "win32/user.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Surface;

namespace win32 {

struct ClassObject {
    std::u16string name;
    ATOM atom = 0; // the class's own from registration to unregistration
    WNDCLASSEXW wc{};
    bool system = false;
};

struct MessageQueue;

struct WindowObject {
    ClassObject* cls = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children; // front = top of the z-order
    RECT rect{}; // in the parent's client coordinates; screen coordinates for top-level windows
    LONG_PTR id = 0;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    std::u16string title;
    struct Property {
        ATOM atom;
        bool ownsAtom; // named by a string: the property added the atom and deletes it again
        HANDLE value;
    };
    std::vector<Property> properties;
    bool destroying = false;
    // Mouse input passes through it to the window below (statics and group boxes).
    bool mouseTransparent = false;
    bool enabled = true;
    int showState = SIZE_RESTORED;
    RECT normal{}; // the restored rectangle while maximized
    bool hasUpdate = false;
    bool updateErase = false;
    RECT update{}; // client coordinates
    MessageQueue* queue = nullptr;
    DeviceContextObject* ownDc = nullptr;
    // Top-level windows only: the SDL window and the backing bitmap of the client area.
    SDL_Window* sdl = nullptr;
    BitmapObject* backing = nullptr;
    bool dirty = false;
    // The areas of the backing drawing changed since the last present, while not the whole of it (`dirty`).
    std::vector<RECT> drawn;
    // The SDL surface last presented to, with its pixels and size: a surface SDL made again (the window's
    // size changed) holds nothing yet, and is presented whole.
    SDL_Surface* shownSurface = nullptr;
    void* shownPixels = nullptr;
    SIZE shownSize{};
    bool presented = false;
    bool fullScreen = false; // shown in SDL's desktop full screen
    // Full screen without a window manager to give it: the window covers the display itself, without the
    // border it had (which it gets back when it leaves).
    bool coversDisplay = false;
    bool borderedBeforeCover = false;
    // WM_SETICON's small and big icons; not owned.
    HICON icons[2] = {};
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    DWORD due;
};

struct MessageQueue {
    std::mutex lock;
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    DWORD lastMessageTime = 0;
};

MessageQueue& ThreadQueue();
WindowObject* Win(HWND window); // null when the handle is not a live window
bool IsChild(const WindowObject* w);
HWND TopLevelOf(HWND window);
// Client rectangle of a window in its top-level window's backing coordinates.
RECT ClientInTopLevel(HWND window);
// Insets of the non-client area that a style gives: left, top, right, bottom.
RECT FrameInsets(DWORD style, DWORD exStyle, bool menu);
// The sizes a window accepts, as its procedure answers WM_GETMINMAXINFO.
MINMAXINFO MinMaxOf(HWND window);
DWORD LayerTime();
bool EnsureVideo();
// Has a lost X display connection end the run with its temporary folders removed (after video starts).
void WatchDisplayConnection();
// Once SDL's X driver runs: X errors are reported on stderr and the run goes on (x_errors.cpp).
void IgnoreXErrors();
// The desktop's size, and the screen's: the set display mode's while one is set, else the desktop's.
SIZE DesktopSize();
SIZE ScreenSize();
bool DisplayModeSet();
// Whether a top-level window is shown in desktop full screen: a pop-up covering the set mode's screen.
bool CoversSetScreen(const WindowObject* w);
// A point of an SDL window (full-screen scaling undone) in the window's own layout: menu bar rows first.
POINT FromSdlWindow(WindowObject* w, int x, int y);
bool UsingFakeClock();
void PumpSdlEvents();
void PresentDirtyWindows();
void ResizeBacking(WindowObject* w);
void CreateSdlWindow(WindowObject* w);
void DestroySdlWindow(WindowObject* w);
void SyncSdlWindow(WindowObject* w);
// A window in desktop full screen that the window system left smaller than the display covers the display
// itself.
void CoverDisplayWhenNotFull(WindowObject* w);
HWND WindowFromSdlId(std::uint32_t id);
// A top-level window going out of sight or away while active hands the activation and the keyboard to
// its owner, as a closed dialog gives them back to the window it was opened over.
void PassActivationFrom(HWND top);
void ForgetInputWindow(HWND window);
// The window the keys go to now: the focus, or the top-level window that holds the keyboard; or none.
HWND KeyboardWindow();
void RemoveWindowTimers(HWND window);
void UpdateSyncKeyState(const MSG& msg);
// A class of the layer itself, made when the first class is looked up.
void AddSystemClass(const WCHAR* name, WNDPROC proc, int extraBytes);
// The dialog and control classes (dialog_controls.cpp).
void RegisterDialogClasses();
// Scroll bars (scroll_bar.cpp): their thickness, the system metric of both kinds.
constexpr int ScrollBarThickness = 12;
LRESULT ScrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_SETICON and WM_GETICON of the default window procedure (icons.cpp).
LRESULT SetWindowIcon(WindowObject* w, WPARAM kind, HICON icon);
HICON WindowIcon(const WindowObject* w, WPARAM kind);

} // namespace win32
