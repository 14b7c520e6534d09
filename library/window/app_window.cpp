// AppWindow records: creation over a context, destruction with their children, and their settings.
#include "vtrs2/app_window.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprite_window.h"
#include "vtrs2/sprites.h"

#include "app_window_internal.h"
#include "sprites/window_host.h"
#include "vtrs2/app_palette.h"
#include "vtrs2/memory.h"
#include "vtrs2/surface.h"

#include <cstdlib>
#include <vector>

using namespace win32;

namespace {

constexpr LONG kKeepCoordinate = 0x8000;
constexpr LONG kUnsetSize = LONG(0x80000000);
constexpr ULONG_PTR kStockWhite = 1;

HCURSOR Arrow() {
    return LoadCursorW(nullptr, IDC_ARROW);
}

// Entries of the default palette of a mode less one, the index of its last colour; 0 without a palette.
WORD LastPaletteIndex(int code) {
    const int bits = DisplayModeBits(code);
    return bits > 0 && bits <= 8 ? static_cast<WORD>((1 << bits) - 1) : 0;
}

bool StoresRecord(HWND window) {
    return GetClassLongPtrW(window, GCL_CBWNDEXTRA) >= sizeof(void*);
}

void Unlist(AppWindow* window) {
    if (AppContext* context = window->context) context->windows.Remove(context->windows.Find(window));
}

void FreeRecord(AppWindow* window) {
    Unlist(window);
    FreeMemory(&window);
}

// Creates the window itself; the creation parameter leads to the record, as an MDI child's would.
HWND CreateTheWindow(AppWindow* record, const AppWindowParams& p, int width, int height) {
    if (p.optionFlags & AppWindowMdiChild) {
        AppWindow* frame = FindAppWindow(p.parent);
        if (!frame || !frame->mdiClient) return nullptr;
        MDICREATESTRUCTW mdi{p.className,   p.title,       reinterpret_cast<HANDLE>(p.instance),
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, p.style,       reinterpret_cast<LPARAM>(record)};
        return reinterpret_cast<HWND>(
            SendMessageW(frame->mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
    }
    MDICREATESTRUCTW block{};
    block.lParam = reinterpret_cast<LPARAM>(record);
    return CreateWindowExW(p.exStyle, p.className, p.title, p.style, p.x, p.y, width, height, p.parent,
                           p.menuOrId, p.instance, &block);
}

void DestroyTheWindow(AppWindow* record) {
    if (!IsWindow(record->window)) return;
    if ((record->optionFlags & AppWindowMdiChild) && IsWindow(record->mdiClient))
        SendMessageW(record->mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(record->window), 0);
    else
        DestroyWindow(record->window);
}

// Main drawing windows start with room for this many sprites.
constexpr int MainWindowSprites = 400;

// What the sprites, a lower layer, reach of the window through their record (sprites/window_host.h).
constexpr SpriteWindowHost SpriteHost{
    [](AppWindow* window, int which) { return GetWindowSurface(window, which); },
    [](AppWindow* window, cSurface* copy) {
        window->backgroundCopy = copy;
        window->backgroundImplementation = copy->GetImplementation();
    },
    [](AppWindow* window) {
        RECT area{0, 0, 0, 0};
        GetAppWindowArea(window, &area);
        return area;
    },
    [](AppWindow* window, const RECT& rect) { AddUpdateRect(window, &rect); },
    [](AppWindow* window) { return window->context; },
};

// The record the sprite and collision-mask code keep for the window: made with the window, over the
// context's banks and display mode, and drawing into the window's surfaces.
bool MakeSpriteWindow(AppWindow* record) {
    SpriteWindow* sprites = nullptr;
    if (!AllocZeroedMemory(sizeof(SpriteWindow), &sprites) || !sprites) return false;
    sprites->banks = record->context->banks;
    sprites->displayMode = record->displayMode;
    sprites->stateFlags = record->stateFlags;
    sprites->appWindow = record;
    sprites->host = &SpriteHost;
    record->sprites = sprites;
    return true;
}

// The layer surface is made of the work surface's kind: another work surface gets another one.
void DropLayerSurface(AppWindow* record) {
    if (!record->sprites || !record->sprites->layerSurface) return;
    DeleteSurface(record->sprites->layerSurface);
    record->sprites->layerSurface = nullptr;
}

void FreeSpriteWindow(AppWindow* record) {
    SpriteWindow* sprites = record->sprites;
    if (!sprites) return;
    FreeSpritePool(sprites);
    FreeCollisionMask(sprites);
    AllocateLayerRecords(sprites, 0);
    DropLayerSurface(record);
    FreeMemory(&record->sprites);
}

// The collision mask covers the window's play area.
void SyncPlayArea(AppWindow* record) {
    if (!record->sprites) return;
    record->sprites->mask.playWidth = record->areaWidth;
    record->sprites->mask.playHeight = record->areaHeight;
}

AppWindow* Fail(AppWindow* record, bool created, std::uintptr_t code) {
    if (created) {
        // The destroy message would free a record it finds; this one is freed below.
        if (StoresRecord(record->window) && RecordOfWindow(record->window) == record)
            SetWindowLongPtrW(record->window, 0, 0);
        DestroyTheWindow(record);
    }
    if (record->redrawList) FreeMemory(&record->redrawList);
    FreeSpriteWindow(record);
    FreeRecord(record);
    return reinterpret_cast<AppWindow*>(code);
}

} // namespace

AppWindow* RecordOfWindow(HWND window) {
    if (!window || !StoresRecord(window)) return nullptr;
    // The slot is trusted only when it names a record of this thread: another class may keep other data
    // there.
    auto* record = reinterpret_cast<AppWindow*>(GetWindowLongPtrW(window, 0));
    return record && FindAppWindow(window) == record ? record : nullptr;
}

AppWindow* CreateAppWindowW(AppContext* context, const AppWindowParams* params) {
    if (!context || !params) return reinterpret_cast<AppWindow*>(AppWindowNoContext);
    const AppWindowParams& p = *params;
    AppWindow* record = nullptr;
    if (!AllocZeroedMemory(sizeof(AppWindow), &record) || !record) return nullptr;
    record->context = context;
    if (!context->windows.Add(record)) {
        FreeMemory(&record);
        return nullptr;
    }
    record->penWidthLessOne = 1;
    record->backMode = OPAQUE;
    record->rop2 = R2_COPYPEN;
    record->backColor = 0xFFFFFF;
    record->displayMode = context->displayMode;

    int width = p.width, height = p.height;
    if (p.width < 0 && p.width != kUnsetSize && p.height != kUnsetSize && p.windowType != AppWindowAttached) {
        RECT r{0, 0, -p.width, -p.height};
        AdjustWindowRectEx(&r, p.style, FALSE, p.exStyle);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    if (p.windowType == AppWindowMain) {
        // Creation that cannot get its redraw list fails as a whole rather than leave a half-made window.
        if (!AllocZeroedMemory(sizeof(UpdateRectList), &record->redrawList) || !record->redrawList)
            return Fail(record, false, 0);
    }
    if (!MakeSpriteWindow(record)) return Fail(record, false, 0);
    if (p.windowType == AppWindowMain && !AllocateSpritePool(record->sprites, MainWindowSprites))
        return Fail(record, false, 0);
    record->cursor = reinterpret_cast<ULONG_PTR>(p.cursor) == 1 ? Arrow() : p.cursor;
    if (p.windowType == AppWindowMain) {
        // A colour, kept as its palette index in a mode that has a palette.
        const int index = FindColorIndex(context, context->displayMode, static_cast<COLORREF>(p.background));
        record->background = index >= 0 ? static_cast<ULONG_PTR>(index) : p.background;
    } else
        record->background = p.background == kStockWhite
                                 ? reinterpret_cast<ULONG_PTR>(GetStockObject(WHITE_BRUSH))
                                 : p.background;
    record->backIndex = LastPaletteIndex(context->displayMode);
    record->optionFlags = static_cast<WORD>(p.optionFlags | AppWindowOwnDC | AppWindowWide);
    record->parent = p.parent;

    const bool hasExisting = p.size >= sizeof(AppWindowParams) && p.existingWindow;
    bool created = false;
    if (p.windowType == AppWindowAttached) {
        record->window = p.parent;
        record->optionFlags =
            static_cast<WORD>((record->optionFlags & ~AppWindowOwnDC) | AppWindowExistingRecord);
    } else if (hasExisting) {
        record->window = p.existingWindow;
        record->optionFlags =
            static_cast<WORD>((record->optionFlags & ~AppWindowOwnDC) | AppWindowCreatedElsewhere);
    } else {
        HWND window = CreateTheWindow(record, p, width, height);
        if (!window) return Fail(record, false, AppWindowNotCreated);
        record->window = window;
        created = true;
    }
    if (!IsWindow(record->window)) return Fail(record, created, AppWindowNotCreated);

    if (created && StoresRecord(record->window))
        SetWindowLongPtrW(record->window, 0, reinterpret_cast<LONG_PTR>(record));
    RECT outer, client;
    GetWindowRect(record->window, &outer);
    GetClientRect(record->window, &client);
    record->frameWidth = (outer.right - outer.left) - client.right;
    record->frameHeight = (outer.bottom - outer.top) - client.bottom;
    if (p.windowType == AppWindowAttached) {
        record->areaWidth = outer.right - outer.left;
        record->areaHeight = outer.bottom - outer.top;
    } else {
        record->areaWidth = p.areaWidth < 0 ? -p.areaWidth : p.areaWidth - record->frameWidth;
        record->areaHeight = p.areaHeight < 0 ? -p.areaHeight : p.areaHeight - record->frameHeight;
    }
    SyncPlayArea(record);
    if (created) record->dc = GetDC(record->window);
    if (context->sharedPalette) SelectWindowPalette(record, context->sharedPalette);
    return record;
}

AppWindow* AttachAppWindowW(AppContext* context, HWND window) {
    AppWindowParams p{};
    p.size = AppWindowParamsShortSize;
    p.instance = context ? context->owner : nullptr;
    p.parent = window;
    p.cursor = reinterpret_cast<HCURSOR>(1);
    p.background = reinterpret_cast<ULONG_PTR>(GetStockObject(BLACK_BRUSH));
    p.windowType = AppWindowAttached;
    return CreateAppWindowW(context, &p);
}

void FreeAppWindow(AppWindow* window) {
    if (!window) return;
    if (window->window && StoresRecord(window->window) && RecordOfWindow(window->window) == window)
        SetWindowLongPtrW(window->window, 0, 0);
    DeleteSurface(window->backgroundCopy);
    window->backgroundCopy = nullptr;
    DeleteSurface(window->workSurface);
    window->workSurface = nullptr;
    window->workImplementation = nullptr;
    window->attached = 0;
    if (window->redrawList) FreeMemory(&window->redrawList);
    FreeSpriteWindow(window);
    if (window->pen) DeleteObject(window->pen);
    RestoreWindowPalette(window);
    if (window->dc && (window->optionFlags & AppWindowOwnDC)) ReleaseDC(window->window, window->dc);
    FreeRecord(window);
}

void DestroyAppWindow(AppWindow* window) {
    if (!window || !window->context) return;
    AppContext* context = window->context;
    // Destroying one child may destroy others, so the children are gathered first and each is checked
    // to be still alive before it is destroyed.
    std::vector<AppWindow*> children;
    int cursor = context->windows.GetHead();
    while (auto* other = static_cast<AppWindow*>(context->windows.Next(cursor)))
        if (other != window && other->parent && other->parent == window->window) children.push_back(other);
    for (AppWindow* child : children)
        if (context->windows.Find(child)) DestroyAppWindow(child);
    if (!context->windows.Find(window)) return;
    if (window->optionFlags & (AppWindowCreatedElsewhere | AppWindowExistingRecord)) {
        FreeAppWindow(window);
        return;
    }
    DestroyTheWindow(window);
    // A window whose procedure does not pass the destroy message on still loses its record.
    if (context->windows.Find(window)) FreeAppWindow(window);
}

int GetAppWindowFlags(AppWindow* window) {
    return window ? window->optionFlags : 0;
}

int SetAppWindowFlags(AppWindow* window, int flags) {
    if (!window) return 0;
    window->optionFlags = static_cast<WORD>(flags);
    return window->optionFlags;
}

HWND GetAppWindowHandle(AppWindow* window) {
    return window ? window->window : nullptr;
}
HWND GetMdiClientHandle(AppWindow* window) {
    return window ? window->mdiClient : nullptr;
}

void MoveAppWindow(AppWindow* window, int x, int y) {
    if (!window) return;
    RECT r;
    GetWindowRect(window->window, &r);
    POINT p{r.left, r.top};
    if (HWND parent = GetParent(window->window);
        parent && (GetWindowLongPtrW(window->window, GWL_STYLE) & WS_CHILD))
        ScreenToClient(parent, &p);
    SetWindowPos(window->window, nullptr, x == kKeepCoordinate ? p.x : x, y == kKeepCoordinate ? p.y : y, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResizeAppWindow(AppWindow* window, int width, int height) {
    if (!window) return;
    RECT r;
    GetWindowRect(window->window, &r);
    auto outer = [](int value, int current, int frame) {
        if (value == kKeepCoordinate) return current;
        return value <= 0 ? std::abs(value) + frame : value;
    };
    SetWindowPos(window->window, nullptr, 0, 0, outer(width, r.right - r.left, window->frameWidth),
                 outer(height, r.bottom - r.top, window->frameHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HMENU SetAppWindowMenu(AppWindow* window, HMENU menu, LPARAM value) {
    if (!window) return nullptr;
    const int bar = GetSystemMetrics(SM_CYMENU);
    if (window->menu) window->frameHeight -= bar;
    SetMenu(window->window, menu);
    if (menu) window->frameHeight += bar;
    window->menu = menu;
    window->menuValue = value;
    return menu;
}

HCURSOR SetAppWindowCursor(AppWindow* window, HCURSOR cursor) {
    if (!window) return nullptr;
    HCURSOR old = window->cursor;
    window->cursor = reinterpret_cast<ULONG_PTR>(cursor) == 1 ? Arrow() : cursor;
    window->waitCount = 0;
    SetCursor(window->cursor);
    return old;
}

void BeginWaitCursor(AppWindow* window) {
    if (!window) return;
    if (window->waitCount++ == 0) window->savedCursor = GetCursor();
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void EndWaitCursor(AppWindow* window) {
    if (!window || window->waitCount <= 0) return;
    if (--window->waitCount == 0) SetCursor(window->savedCursor);
}

HDC GetAppWindowDC(AppWindow* window) {
    if (!window) return nullptr;
    return window->dc ? window->dc : GetDC(window->window);
}

void ReleaseAppWindowDC(AppWindow* window, HDC dc) {
    if (window && dc && dc != window->dc) ReleaseDC(window->window, dc);
}

HDC GetWindowSurfaceDC(AppWindow* window) {
    return window && window->workSurface ? window->workSurface->GetDeviceContext() : nullptr;
}

void ReleaseWindowSurfaceDC(AppWindow* window, HDC dc) {
    if (window && window->workSurface) window->workSurface->ReleaseDeviceContext(dc);
}

int ControlAppWindow(AppWindow* window, int command, int value, int count) {
    if (!window) return 0;
    switch (command) {
    case 1:
        return AllocateSpritePool(window->sprites, count);
    case 2:
        if (window->context) window->context->stateFlags = static_cast<WORD>(value);
        return 1;
    case 4:
        return window->context ? window->context->stateFlags : 0;
    case 9:
        return window->stateFlags;
    case 10:
        // The layer can always wait for the vertical blank, so the wait flag is kept.
        window->stateFlags = static_cast<WORD>(value);
        if (window->sprites) window->sprites->stateFlags = window->stateFlags;
        return 1;
    default:
        return 1;
    }
}

int AttachWindowSurface(AppWindow* window, cSurface* surface) {
    if (!window || !surface || !surface->HasImplementation()) return 0;
    window->areaWidth = surface->GetWidth();
    window->areaHeight = surface->GetHeight();
    SyncPlayArea(window);
    window->optionFlags |= AppWindowSurfaceAttached;
    window->surfaceDC = nullptr;
    window->attached = -1;
    if (window->backgroundCopy && (window->backgroundCopy->GetWidth() != surface->GetWidth() ||
                                   window->backgroundCopy->GetHeight() != surface->GetHeight() ||
                                   window->backgroundCopy->GetDepth() != surface->GetDepth())) {
        DeleteSurface(window->backgroundCopy);
        window->backgroundCopy = nullptr;
        window->backgroundImplementation = nullptr;
    }
    cSurface* previous = window->workSurface;
    if (previous != surface) DropLayerSurface(window);
    window->workSurface = surface;
    window->workImplementation = surface->GetImplementation();
    surface->SetWindow(window->window);
    surface->MakeCurrent();
    // What was registered for the device's loss under the old surface now belongs to the new one.
    if (previous && previous != surface)
        surface->AddLostDeviceCallback(nullptr, reinterpret_cast<LPARAM>(previous));
    return 1;
}

void DetachWindowSurface(AppWindow* window) {
    if (!window) return;
    window->workSurface = nullptr;
    window->workImplementation = nullptr;
    DeleteSurface(window->backgroundCopy);
    window->backgroundCopy = nullptr;
    window->backgroundImplementation = nullptr;
    if (window->sprites) FreeSpritePool(window->sprites);
    DropLayerSurface(window);
    window->optionFlags &= static_cast<WORD>(~AppWindowSurfaceAttached);
    window->surfaceDC = nullptr;
    window->attached = 0;
}

cSurface* GetWindowSurface(AppWindow* window, int which) {
    if (!window) return nullptr;
    if (which == 0) return window->workSurface;
    if (which == 1) return window->backgroundCopy;
    return nullptr;
}

void SetWindowBackColor(AppWindow* window, COLORREF color) {
    if (window) window->backColor = color;
}

void SetWindowPen(AppWindow* window, COLORREF color, int style, int width) {
    if (!window) return;
    HPEN pen = CreatePen(style, width, color);
    if (!pen) return;
    if (window->pen) DeleteObject(window->pen);
    window->pen = pen;
    window->penColor = color;
    window->penWidthLessOne = width > 0 ? width - 1 : 0;
}

void SetWindowBackMode(AppWindow* window, int mode) {
    if (window) window->backMode = mode;
}

void SetWindowClipRect(AppWindow* window, int left, int top, int right, int bottom) {
    if (window && window->workSurface)
        window->workSurface->SetClipRect(left, top, right - left, bottom - top);
}

void FillWindowRect(AppWindow* window, int left, int top, int right, int bottom, COLORREF color) {
    if (!window || !window->workSurface) return;
    window->workSurface->FillRect(left, top, right - left + 1, bottom - top + 1, color);
    AddUpdateRectCoords(window, left, top, right + 1, bottom + 1);
}

int ScrollWindowSurfaceRect(AppWindow* window, int sourceX, int sourceY, int x, int y, int width,
                            int height) {
    if (!window || !window->workSurface) return 0;
    return window->workSurface->ScrollRect(sourceX, sourceY, x, y, width, height);
}

void GetAppWindowArea(AppWindow* window, RECT* area) {
    if (window && area) *area = RECT{0, 0, window->areaWidth, window->areaHeight};
}

void EnableWindowUpdate(AppWindow* window, int enable) {
    if (!window) return;
    if (enable)
        window->stateFlags &= static_cast<WORD>(~AppWindowUpdatesSuspended);
    else
        window->stateFlags |= AppWindowUpdatesSuspended;
}

void MakeWindowSurfaceCurrent(AppWindow* window) {
    if (window && window->workSurface) window->workSurface->MakeCurrent();
}

void SyncDisplaySurfaceSize(AppWindow* window) {
    if (window && window->workImplementation) window->workImplementation->SyncWindowSize();
}
