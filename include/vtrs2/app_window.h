// AppWindow: a window of an AppContext with its work surface, drawing settings and list of rectangles to
// copy to the screen.
#pragma once

#include "vtrs2/app_context.h"
#include "vtrs2/export.h"
#include "win32/gdi.h"
#include "win32/user.h"

#include <cstddef>
#include <cstdint>

class cSurface;
class cSurfaceImplementation;
struct SpriteWindow; // what the sprite and collision-mask code keep per window

// What the caller fills for CreateAppWindowW.
struct AppWindowParams {
    win32::DWORD size; // bytes of this record; the existing-window field counts only when it is inside
    win32::DWORD createParam;
    win32::HINSTANCE instance;
    win32::HMENU menuOrId;
    win32::HWND parent;        // for an MDI child, the MDI frame whose client receives it
    win32::LONG height, width; // a negative width (not 0x80000000) gives the negated client size
    win32::LONG y, x;
    win32::DWORD style;
    win32::LPCWSTR title;
    win32::LPCWSTR className;
    win32::DWORD exStyle;
    win32::LONG areaWidth, areaHeight; // negative: the size itself; positive: an outer size less the frame
    win32::HCURSOR cursor;             // 1: the standard arrow
    win32::ULONG_PTR background;       // a brush (1: stock white), or for type 1 an RGB colour
    win32::DWORD windowType;           // 1 main drawing window, 3 record for the parent window
    win32::DWORD optionFlags;
    win32::HWND existingWindow; // not null: no window is created
};

// Size of the record without the existing-window field.
constexpr win32::DWORD AppWindowParamsShortSize = offsetof(AppWindowParams, existingWindow);

constexpr int MaxUpdateRects = 513;

struct UpdateRectList {
    std::int32_t count;
    win32::RECT rects[MaxUpdateRects]; // right and bottom exclusive
};

// Window types.
constexpr win32::DWORD AppWindowMain = 1;
constexpr win32::DWORD AppWindowPlain = 2; // neither a drawing window nor a record for another window
constexpr win32::DWORD AppWindowAttached = 3;

// Option flags.
constexpr win32::WORD AppWindowSizeGuard = 0x0001;
constexpr win32::WORD AppWindowStretch = 0x0002;
constexpr win32::WORD AppWindowNoPaint = 0x0008;
constexpr win32::WORD AppWindowContainment = 0x0010;
constexpr win32::WORD AppWindowWide = 0x0080;
constexpr win32::WORD AppWindowExistingRecord = 0x0100;
constexpr win32::WORD AppWindowMdiFrame = 0x0200;
constexpr win32::WORD AppWindowMdiClient = 0x0400; // an MDI client standing in for a drawing window
constexpr win32::WORD AppWindowMdiChild = 0x0800;
constexpr win32::WORD AppWindowOwnDC = 0x1000;
constexpr win32::WORD AppWindowSurfaceAttached = 0x2000;
constexpr win32::WORD AppWindowCreatedElsewhere = 0x8000;

// State flags.
constexpr win32::WORD AppWindowUpdatesSuspended = 0x0001;
constexpr win32::WORD AppWindowPaletteInFullScreen = 0x0002;
constexpr win32::WORD AppWindowWaitVBlank = 0x0008;

// CreateAppWindowW results of 32 or less are failures: null (no memory), 1 or 2.
constexpr std::uintptr_t AppWindowNoContext = 1;
constexpr std::uintptr_t AppWindowNotCreated = 2;
inline bool IsAppWindow(const AppWindow* window) {
    return reinterpret_cast<std::uintptr_t>(window) > 32;
}

struct AppWindow {
    AppContext* context;
    win32::HWND window;
    win32::HWND parent;
    win32::HWND mdiClient;
    win32::HDC dc;
    win32::HPALETTE selectedPalette;
    win32::HPALETTE previousPalette;
    win32::WORD optionFlags;
    win32::WORD stateFlags;
    win32::WORD displayMode;
    win32::HDC surfaceDC;
    std::int32_t attached; // -1 while a work surface is attached
    win32::HPALETTE surfaceDCPalette;
    cSurface* workSurface;
    cSurfaceImplementation* workImplementation;
    cSurface* backgroundCopy;
    cSurfaceImplementation* backgroundImplementation;
    SpriteWindow* sprites; // sprites and collision mask; made with the window
    UpdateRectList* redrawList;
    std::int32_t areaWidth, areaHeight;
    std::int32_t frameWidth, frameHeight;
    win32::ULONG_PTR background;
    win32::COLORREF backColor;
    win32::COLORREF penColor;
    win32::WORD backIndex;
    win32::WORD penIndex;
    std::int32_t penWidthLessOne;
    std::int32_t backMode;
    std::int32_t rop2;
    win32::HPEN pen;
    win32::HCURSOR cursor;
    win32::HCURSOR savedCursor;
    std::int32_t waitCount;
    win32::HMENU menu;
    win32::LPARAM menuValue;
    win32::DWORD reserved[5];
    win32::DWORD lastUpdateTime;
};

VTRS2_API AppWindow* CreateAppWindowW(AppContext* context, const AppWindowParams* params);
VTRS2_API AppWindow* AttachAppWindowW(AppContext* context, win32::HWND window);
VTRS2_API void DestroyAppWindow(AppWindow* window);
VTRS2_API int GetAppWindowFlags(AppWindow* window);
VTRS2_API int SetAppWindowFlags(AppWindow* window, int flags);
VTRS2_API win32::HWND GetAppWindowHandle(AppWindow* window);
VTRS2_API win32::HWND GetMdiClientHandle(AppWindow* window);
VTRS2_API void MoveAppWindow(AppWindow* window, int x, int y);
VTRS2_API void ResizeAppWindow(AppWindow* window, int width, int height);
VTRS2_API win32::LRESULT AppWindowProcW(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                        win32::LPARAM lParam);
VTRS2_API win32::HMENU SetAppWindowMenu(AppWindow* window, win32::HMENU menu, win32::LPARAM value);
VTRS2_API win32::HCURSOR SetAppWindowCursor(AppWindow* window, win32::HCURSOR cursor);
VTRS2_API void BeginWaitCursor(AppWindow* window);
VTRS2_API void EndWaitCursor(AppWindow* window);
VTRS2_API win32::HDC GetAppWindowDC(AppWindow* window);
VTRS2_API void ReleaseAppWindowDC(AppWindow* window, win32::HDC dc);
VTRS2_API win32::HDC GetWindowSurfaceDC(AppWindow* window);
VTRS2_API void ReleaseWindowSurfaceDC(AppWindow* window, win32::HDC dc);
VTRS2_API int ControlAppWindow(AppWindow* window, int command, int value, int count);
VTRS2_API int AttachWindowSurface(AppWindow* window, cSurface* surface);
VTRS2_API void DetachWindowSurface(AppWindow* window);
VTRS2_API cSurface* GetWindowSurface(AppWindow* window, int which);
VTRS2_API void CopyWindowSurfaceToScreen(AppWindow* window);
VTRS2_API void SetWindowBackColor(AppWindow* window, win32::COLORREF color);
VTRS2_API void SetWindowPen(AppWindow* window, win32::COLORREF color, int style, int width);
VTRS2_API void SetWindowBackMode(AppWindow* window, int mode);
VTRS2_API void SetWindowClipRect(AppWindow* window, int left, int top, int right, int bottom);
VTRS2_API void FillWindowRect(AppWindow* window, int left, int top, int right, int bottom,
                              win32::COLORREF color);
VTRS2_API void FillWindowRectBrush(AppWindow* window, int left, int top, int right, int bottom,
                                   win32::HBRUSH brush);
VTRS2_API void DrawWindowRect(AppWindow* window, const win32::RECT* rect);
VTRS2_API void DrawWindowRect16(AppWindow* window, const win32::SHORT* edges);
VTRS2_API void DrawWindowPolyline(AppWindow* window, const win32::POINT* points, int lastIndex);
// DrawText flags of DrawWindowText that measure instead of drawing (the second keeps prefix processing).
constexpr win32::UINT DrawWindowTextMeasure = 0x8000;
constexpr win32::UINT DrawWindowTextMeasurePrefixes = 0x4000;
// Draws a terminated text into the work surface and adds the rectangle to the redraw list; measuring, the
// rectangle's bottom follows the text and nothing is added. Returns the height of the text.
VTRS2_API int DrawWindowText(AppWindow* window, win32::HFONT font, win32::RECT* rect,
                             const win32::WCHAR* text, win32::COLORREF color, win32::UINT flags);
VTRS2_API int ScrollWindowSurfaceRect(AppWindow* window, int sourceX, int sourceY, int x, int y, int width,
                                      int height);
VTRS2_API void GetAppWindowArea(AppWindow* window, win32::RECT* area);
VTRS2_API void ClearUpdateRects(AppWindow* window);
VTRS2_API void AddUpdateRect(AppWindow* window, const win32::RECT* rect);
VTRS2_API void AddUpdateRectCoords(AppWindow* window, int left, int top, int right, int bottom);
VTRS2_API UpdateRectList* GetUpdateRectList(AppWindow* window);
VTRS2_API void UpdateWindowFromSurface(AppWindow* window);
VTRS2_API void EnableWindowUpdate(AppWindow* window, int enable);

// While the message-filter hook is installed, a key pressed in a dialog reaches the dialog as this message,
// with the key's wParam and lParam, instead of the dialog's controls.
constexpr win32::UINT DialogKeyMessage = 0x8005;
VTRS2_API win32::LRESULT MessageFilterProc(int code, win32::WPARAM wParam, win32::LPARAM lParam);
// One hook per thread, however often it is installed; 0 when it cannot be.
VTRS2_API int InstallMessageFilterHook();
// Counts one installation down and removes the hook with the last; 0 when none is installed.
VTRS2_API int RemoveMessageFilterHook();
VTRS2_API void MakeWindowSurfaceCurrent(AppWindow* window);
VTRS2_API void SyncDisplaySurfaceSize(AppWindow* window);
