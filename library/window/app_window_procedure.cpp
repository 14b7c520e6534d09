// The default window procedure of AppWindows: creation, destruction, size limits, painting from the work
// surface, and the default handling of MDI frames and children.
#include "app_window_internal.h"

#include <algorithm>

using namespace win32;

namespace {

constexpr DWORD kMdiClientStyle = 0x52300000;
constexpr int kMdiClientWidth = 600;
constexpr int kMdiClientHeight = 400;
constexpr UINT kMdiFirstChild = 50;
constexpr LONG_PTR kMdiClientId = 1;
constexpr int kClassNameCompare = 15;

bool IsMdiFrame(const AppWindow* w) {
    return (w->optionFlags & AppWindowMdiFrame) && !(w->optionFlags & AppWindowMdiChild);
}

// The record that a creation message carries: its parameter leads to a block whose application value
// (an MDI create block's lParam) holds the record.
AppWindow* RecordOfCreation(LPARAM lParam) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (!cs || !cs->lpCreateParams) return nullptr;
    return reinterpret_cast<AppWindow*>(static_cast<const MDICREATESTRUCTW*>(cs->lpCreateParams)->lParam);
}

bool ParentIsMdiClient(HWND window) {
    HWND parent = GetParent(window);
    WCHAR name[kClassNameCompare + 1] = {};
    if (!parent || !GetClassNameW(parent, name, kClassNameCompare + 1)) return false;
    const char16_t* expected = u"mdiclient";
    for (int i = 0; i < kClassNameCompare; ++i) {
        const char16_t c =
            (name[i] >= u'A' && name[i] <= u'Z') ? static_cast<char16_t>(name[i] + 32) : name[i];
        if (c != expected[i]) return false;
        if (!c) return true;
    }
    return true;
}

LRESULT DefaultHandling(AppWindow* record, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (record && IsMdiFrame(record))
        return DefFrameProcW(window, record->mdiClient, message, wParam, lParam);
    if ((record && (record->optionFlags & AppWindowMdiChild)) || (!record && ParentIsMdiClient(window)))
        return DefMDIChildProcW(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void OnCreate(HWND window, LPARAM lParam) {
    AppWindow* record = RecordOfCreation(lParam);
    if (!record) return;
    record->window = window;
    if (IsMdiFrame(record) && !record->mdiClient) {
        CLIENTCREATESTRUCT ccs{nullptr, kMdiFirstChild};
        record->mdiClient = CreateWindowExW(0, u"mdiclient", nullptr, kMdiClientStyle, 0, 0, kMdiClientWidth,
                                            kMdiClientHeight, window, reinterpret_cast<HMENU>(kMdiClientId),
                                            record->context ? record->context->owner : nullptr, &ccs);
    }
}

// Keeps the client no larger than the drawing area unless the surface is stretched; 0 when it resized.
bool LimitSize(AppWindow* record, HWND window, LPARAM lParam) {
    if (record->optionFlags & (AppWindowSizeGuard | AppWindowStretch)) {
        record->optionFlags &= static_cast<WORD>(~AppWindowSizeGuard);
        return false;
    }
    record->optionFlags |= AppWindowSizeGuard;
    const int width = LOWORD(static_cast<DWORD_PTR>(lParam));
    const int height = HIWORD(static_cast<DWORD_PTR>(lParam));
    if (width > record->areaWidth || height > record->areaHeight) {
        SetWindowPos(window, nullptr, 0, 0, std::min(width, record->areaWidth) + record->frameWidth,
                     std::min(height, record->areaHeight) + record->frameHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    record->optionFlags &= static_cast<WORD>(~AppWindowSizeGuard);
    return false;
}

LRESULT OnEraseBackground(AppWindow* record, HWND window, HDC dc) {
    RECT box;
    if (IsIconic(window) || GetClipBox(dc, &box) == NULLREGION || IsRectEmpty(&box)) return 1;
    if (record->attached) {
        if (record->displayMode & DisplayModeDriverFlag) return 0;
        RECT client;
        GetClientRect(window, &client);
        const RECT area{0, 0, record->areaWidth, record->areaHeight};
        IntersectRect(&box, &box, &client);
        if (IntersectRect(&box, &box, &area))
            PaintWindowFromSurface(record, box.left, box.top, box.right - box.left, box.bottom - box.top);
        return 1;
    }
    // Main drawing windows keep a colour there rather than a brush.
    if (!record->redrawList && record->background)
        FillRect(dc, &box, reinterpret_cast<HBRUSH>(record->background));
    return 1;
}

void OnMinMaxInfo(AppWindow* record, MINMAXINFO* info) {
    if (!info) return;
    const LONG width =
        std::min<LONG>(record->frameWidth + record->areaWidth, GetSystemMetrics(SM_CXMAXTRACK));
    const LONG height =
        std::min<LONG>(record->frameHeight + record->areaHeight, GetSystemMetrics(SM_CYMAXTRACK));
    info->ptMaxSize = POINT{width, height};
    info->ptMaxTrackSize = POINT{width, height};
}

} // namespace

LRESULT AppWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppWindow* record = RecordOfWindow(window);
    switch (message) {
    case WM_NCCREATE:
        if (AppWindow* created = RecordOfCreation(lParam)) created->window = window;
        break;
    case WM_CREATE:
        OnCreate(window, lParam);
        break;
    case WM_DESTROY:
        if (record) {
            FreeAppWindow(record);
            return 0;
        }
        break;
    case WM_SIZE:
        if (record && LimitSize(record, window, lParam)) return 0;
        break;
    case WM_PAINT:
        if (record && !(record->optionFlags & AppWindowNoPaint) &&
            (record->displayMode & DisplayModeDriverFlag) && record->attached) {
            PAINTSTRUCT ps;
            BeginPaint(window, &ps);
            EndPaint(window, &ps);
            const RECT& r = ps.rcPaint;
            PaintWindowFromSurface(record, r.left, r.top, r.right - r.left, r.bottom - r.top);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        if (record && !(record->optionFlags & AppWindowNoPaint))
            return OnEraseBackground(record, window, reinterpret_cast<HDC>(wParam));
        break;
    case WM_GETMINMAXINFO:
        if (record) {
            OnMinMaxInfo(record, reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (record) {
            SetCursor(record->cursor);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefaultHandling(record, window, message, wParam, lParam);
}
