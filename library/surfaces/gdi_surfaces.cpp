// Surfaces over device contexts and DIB sections, and the full-screen mode change of the DIB sections.
#include "vtrs2/gdi_surfaces.h"

#include "vtrs2/palettes.h"
#include "win32/user.h"

#include <cstring>
#include <new>

using namespace win32;

namespace {

constexpr DWORD FullScreenStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD ModeFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
constexpr int UnclippedExtent = 0x7FFF;

HWND& FullScreenWindowRecord() {
    static HWND window = nullptr;
    return window;
}

// A header and a full colour table, as CreateDIBSection reads them.
struct SectionInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};
static_assert(sizeof(SectionInfo) == 1064);

int PackOrigin(int x, int y) {
    return static_cast<int>((static_cast<DWORD>(y) << 16) | (static_cast<DWORD>(x) & 0xFFFF));
}

// Runs a GDI copy from `source` (whose DC comes from slot 23) onto a DC-only destination at its origin.
template <typename Copy>
int CopyToDCOnly(HDC sourceDC, cSurfaceImplementation* destination, int x, int y, Copy&& copy) {
    if (destination->SupportsOrigin()) {
        const DWORD origin = static_cast<DWORD>(destination->GetOrigin());
        x += static_cast<SHORT>(origin & 0xFFFF);
        y += static_cast<SHORT>(origin >> 16);
    }
    HDC target = destination->GetDeviceContext();
    const int done = target && sourceDC ? (copy(target, x, y) ? 1 : 0) : 0;
    if (target) destination->ReleaseDeviceContext(target);
    return done;
}

} // namespace

HWND GetFullScreenWindow() {
    return FullScreenWindowRecord();
}

// --- cDCSurface -----------------------------------------------------------------------------------------

cDCSurface::~cDCSurface() {
    Release();
}

cSurfaceImplementation* cDCSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cDCSurface();
    return self;
}

void cDCSurface::Release() {
    if (owned && dc) ReleaseDC(window, dc);
    owned = 0;
    window = nullptr;
    dc = nullptr;
}

// The DC's extent is what it can draw into; the screen's depth is the layer's 32 bits.
void cDCSurface::TakeSize() {
    SelectDepthRoutines(32);
    RECT box{};
    GetClipBox(dc, &box);
    width = box.right;
    height = box.bottom;
    clipLeft = clipTop = 0;
    clipRight = width;
    clipBottom = height;
}

cDCSurface* cDCSurface::CreateForDC(HDC given) {
    auto* surface = new (std::nothrow) cDCSurface;
    if (!surface) return nullptr;
    surface->dc = given ? given : GetDC(nullptr);
    surface->owned = given ? 0 : 1;
    if (!surface->dc) {
        surface->owned = 0;
        delete surface;
        return nullptr;
    }
    surface->TakeSize();
    return surface;
}

cDCSurface* cDCSurface::CreateForWindow(HWND handle, int) {
    auto* surface = new (std::nothrow) cDCSurface;
    if (!surface) return nullptr;
    surface->dc = GetDC(handle);
    if (!surface->dc) {
        delete surface;
        return nullptr;
    }
    surface->owned = 1;
    surface->window = handle;
    surface->TakeSize();
    return surface;
}

void cDCSurface::SetDC(HDC given) {
    Release();
    dc = given;
    if (dc) TakeSize();
}

cSurfaceImplementation* cDCSurface::CreateSameKind(int, int) {
    return nullptr;
}

int cDCSurface::SetDepth(int) {
    return 1;
}

int cDCSurface::GetType() {
    return SurfaceTypeDC;
}

void cDCSurface::SetOrigin(int x, int y) {
    originX = x;
    originY = y;
    if (dc) SetWindowOrgEx(dc, x, y, nullptr);
}

int cDCSurface::GetOrigin() {
    return PackOrigin(originX, originY);
}

int cDCSurface::SupportsOrigin() {
    return 1;
}

int cDCSurface::IsDCOnly() {
    return 1;
}

HDC cDCSurface::GetDeviceContext() {
    return dc;
}

void cDCSurface::GetClipRect(int& x, int& y, int& w, int& h) {
    RECT box{};
    const int kind = dc ? GetClipBox(dc, &box) : 0;
    if (kind != SIMPLEREGION && kind != COMPLEXREGION) box = RECT{0, 0, UnclippedExtent, UnclippedExtent};
    x = box.left;
    y = box.top;
    w = box.right - box.left;
    h = box.bottom - box.top;
}

void cDCSurface::SetClipRect(int x, int y, int w, int h) {
    if (dc) IntersectClipRect(dc, x, y, x + w, y + h);
}

void cDCSurface::ResetClipRect() {}

void cDCSurface::SetPixelIndex(int x, int y, int index) {
    if (dc) ::win32::SetPixel(dc, x, y, static_cast<COLORREF>(index));
}

void cDCSurface::SetPixel(int x, int y, COLORREF color) {
    if (dc) ::win32::SetPixel(dc, x, y, color);
}

int cDCSurface::GetPixelValue(int, int, DWORD&) {
    return 0;
}

int cDCSurface::GetPixel(int, int, COLORREF&) {
    return 0;
}

int cDCSurface::BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int w, int h, int, int, int) {
    if (!source || !dc) return 0;
    return BitBlt(dc, x, y, w, h, source, sourceX, sourceY, SRCCOPY) ? 1 : 0;
}

int cDCSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int w,
                     int h, int, int, LPARAM, int) {
    if (!destination || !dc) return 0;
    if (!destination->IsDCOnly()) return destination->BlitFromDC(x, y, dc, sourceX, sourceY, w, h, 0, 0, 0);
    return CopyToDCOnly(dc, destination, x, y, [&](HDC target, int dx, int dy) {
        return BitBlt(target, dx, dy, w, h, dc, sourceX + originX, sourceY + originY, SRCCOPY);
    });
}

int cDCSurface::BlitSameDepth(cSurfaceImplementation*, int, int, int, int, int, int, int, PixelCallback,
                              LPARAM) {
    return 0;
}

int cDCSurface::StretchBlitFromDC(int x, int y, int w, int h, HDC source, int sourceX, int sourceY,
                                  int sourceWidth, int sourceHeight, int, int, int) {
    if (!source || !dc) return 0;
    return StretchBlt(dc, x, y, w, h, source, sourceX, sourceY, sourceWidth, sourceHeight, SRCCOPY) ? 1 : 0;
}

int cDCSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h, int sourceX,
                            int sourceY, int sourceWidth, int sourceHeight, int, int, LPARAM, int) {
    if (!destination || !dc) return 0;
    if (!destination->IsDCOnly())
        return destination->StretchBlitFromDC(x, y, w, h, dc, sourceX, sourceY, sourceWidth, sourceHeight, 0,
                                              0, 0);
    return CopyToDCOnly(dc, destination, x, y, [&](HDC target, int dx, int dy) {
        return StretchBlt(target, dx, dy, w, h, dc, sourceX + originX, sourceY + originY, sourceWidth,
                          sourceHeight, SRCCOPY);
    });
}

int cDCSurface::MirrorHorizontal(int, int, int, int) {
    return 0;
}
int cDCSurface::MirrorVertical(int, int, int, int) {
    return 0;
}
int cDCSurface::FillRectValue(int, int, int, int, DWORD) {
    return 0;
}
int cDCSurface::FillRect(int, int, int, int, COLORREF) {
    return 0;
}
int cDCSurface::TextOutWide(LPCWSTR, int, int, int, UINT, RECT*, COLORREF, HFONT, LPARAM, int, LPARAM, int) {
    return 0;
}
int cDCSurface::TextOutAnsi(LPCSTR, int, int, int, UINT, RECT*, COLORREF, HFONT, LPARAM, int, LPARAM, int) {
    return 0;
}
int cDCSurface::DrawTextWide(LPCWSTR, int, RECT*, UINT, COLORREF, HFONT, LPARAM, int, LPARAM, int, int, int,
                             int) {
    return 0;
}
int cDCSurface::DrawTextAnsi(LPCSTR, int, RECT*, UINT, COLORREF, HFONT, LPARAM, int, LPARAM, int, int, int,
                             int) {
    return 0;
}
int cDCSurface::ReplaceColor(COLORREF, COLORREF) {
    return 0;
}
int cDCSurface::SetLogPalette(const LOGPALETTE*, int) {
    return 0;
}
int cDCSurface::GetLogPalette(LOGPALETTE*) {
    return 0;
}

// --- cDIBSectionSurface ---------------------------------------------------------------------------------

cDIBSectionSurface::~cDIBSectionSurface() {
    FreeSection();
}

void cDIBSectionSurface::FreeSection() {
    if (memoryDC) {
        if (previousBitmap) SelectObject(memoryDC, previousBitmap);
        DeleteDC(memoryDC);
    }
    memoryDC = nullptr;
    previousBitmap = nullptr;
    dcUseCount = 0;
    if (section) DeleteObject(section);
    section = nullptr;
    pixelAllocation = nullptr;
    pixels = nullptr;
}

cSurfaceImplementation* cDIBSectionSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cDIBSectionSurface();
    return self;
}

void cDIBSectionSurface::SetColorTable(HDC dc) const {
    if (depth > 8 || !palette || !dc) return;
    RGBQUAD table[256] = {};
    PaletteToRgbQuads(table, palette->palette.entries, 256);
    SetDIBColorTable(dc, 0, 1u << header.biBitCount, table);
}

bool cDIBSectionSurface::MakeSection(cDIBSectionSurface& created, int w, int h, bool keepDC) const {
    const int rowBytes = ((w * header.biBitCount + 31) >> 5) * 4;
    created.InitSize(*this, w, h, rowBytes);
    created.header = header;
    created.header.biWidth = w;
    created.header.biHeight = h;
    created.header.biSizeImage = static_cast<DWORD>(rowBytes) * static_cast<DWORD>(h);
    created.window = window;
    HDC windowDC = GetDC(window);
    created.memoryDC = windowDC ? CreateCompatibleDC(windowDC) : nullptr;
    SectionInfo info{};
    info.header = created.header;
    UINT usage = DIB_RGB_COLORS;
    if (depth > 8) {
        if (depth == 16) {
            info.header.biCompression = BI_BITFIELDS;
            const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(info.colors, masks, sizeof masks);
        }
    } else if (palette) {
        PaletteToRgbQuads(info.colors, palette->palette.entries, 256);
    } else {
        usage = DIB_PAL_COLORS;
        auto* indexes = reinterpret_cast<WORD*>(info.colors);
        for (int i = 0; i < (1 << info.header.biBitCount) && i < 512; ++i)
            indexes[i] = static_cast<WORD>(i);
    }
    created.header.biCompression = info.header.biCompression;
    void* bits = nullptr;
    if (created.memoryDC)
        created.section = CreateDIBSection(created.memoryDC, reinterpret_cast<BITMAPINFO*>(&info), usage,
                                           &bits, nullptr, 0);
    const bool made = created.section && bits;
    if (made) {
        created.pixelAllocation = bits;
        // A bottom-up section: the top row is the last in memory.
        created.pixels = static_cast<BYTE*>(bits) + static_cast<std::ptrdiff_t>(h - 1) * rowBytes;
        created.signedPitch = -rowBytes;
        if (keepDC) {
            created.previousBitmap = SelectObject(created.memoryDC, created.section);
            created.SetColorTable(created.memoryDC);
        } else {
            DeleteDC(created.memoryDC);
            created.memoryDC = nullptr;
        }
    }
    if (windowDC) ReleaseDC(window, windowDC);
    return made;
}

cSurfaceImplementation* cDIBSectionSurface::CreateSameKind(int w, int h) {
    if (w <= 0 || h <= 0 || w > 0x7FFF || h > 0x7FFF) return nullptr;
    auto* created = new (std::nothrow) cDIBSectionSurface;
    if (!created) return nullptr;
    if (!MakeSection(*created, w, h, false)) {
        created->Delete();
        return nullptr;
    }
    return created;
}

int cDIBSectionSurface::SetDepth(int newDepth) {
    const int result = cSurfaceImplementation::SetDepth(newDepth);
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(newDepth == 15 ? 16 : newDepth);
    header.biCompression = newDepth == 16 ? BI_BITFIELDS : BI_RGB;
    bottomUp = -1;
    return result ? 1 : 0;
}

int cDIBSectionSurface::GetType() {
    return SurfaceTypeDIBSection;
}

void cDIBSectionSurface::SetOrigin(int x, int y) {
    originX = x;
    originY = y;
    if (memoryDC) SetWindowOrgEx(memoryDC, x, y, nullptr);
}

int cDIBSectionSurface::GetOrigin() {
    return PackOrigin(originX, originY);
}

int cDIBSectionSurface::SupportsOrigin() {
    return 1;
}

HDC cDIBSectionSurface::GetDeviceContext() {
    if (memoryDC) {
        ++dcUseCount;
        return memoryDC;
    }
    if (!section) return nullptr;
    HDC windowDC = GetDC(window);
    if (!windowDC) return nullptr;
    memoryDC = CreateCompatibleDC(windowDC);
    if (memoryDC) previousBitmap = SelectObject(memoryDC, section);
    if (memoryDC && !previousBitmap) {
        DeleteDC(memoryDC);
        memoryDC = nullptr;
    }
    if (memoryDC) {
        SetColorTable(memoryDC);
        SetWindowOrgEx(memoryDC, originX, originY, nullptr);
        dcUseCount = 1;
    }
    ReleaseDC(window, windowDC);
    return memoryDC;
}

void cDIBSectionSurface::ReleaseDeviceContext(HDC) {
    if (dcUseCount > 0 && --dcUseCount > 0) return;
    dcUseCount = 0;
    if (!memoryDC) return;
    if (previousBitmap) SelectObject(memoryDC, previousBitmap);
    DeleteDC(memoryDC);
    memoryDC = nullptr;
    previousBitmap = nullptr;
}

int cDIBSectionSurface::BlitFromDC(int x, int y, HDC source, int sourceX, int sourceY, int w, int h, int, int,
                                   int) {
    if (!source) return 0;
    HDC own = GetDeviceContext();
    if (!own) return 0;
    const BOOL done = BitBlt(own, x, y, w, h, source, sourceX, sourceY, SRCCOPY);
    ReleaseDeviceContext(own);
    return done ? 1 : 0;
}

int cDIBSectionSurface::StretchBlitFromDC(int x, int y, int w, int h, HDC source, int sourceX, int sourceY,
                                          int sourceWidth, int sourceHeight, int, int, int) {
    if (!source) return 0;
    HDC own = GetDeviceContext();
    if (!own) return 0;
    const BOOL done =
        StretchBlt(own, x, y, w, h, source, sourceX, sourceY, sourceWidth, sourceHeight, SRCCOPY);
    ReleaseDeviceContext(own);
    return done ? 1 : 0;
}

int cDIBSectionSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                             int w, int h, int mode, int ink, LPARAM parameter, int flags) {
    if (!destination) return 0;
    if (!destination->IsDCOnly())
        return cSurfaceImplementation::Blit(destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter,
                                            flags);
    HDC own = GetDeviceContext();
    const int done = CopyToDCOnly(own, destination, x, y, [&](HDC target, int dx, int dy) {
        return BitBlt(target, dx, dy, w, h, own, sourceX + originX, sourceY + originY, SRCCOPY);
    });
    if (own) ReleaseDeviceContext(own);
    return done;
}

int cDIBSectionSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                    int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                                    int ink, LPARAM parameter, int flags) {
    if (!destination) return 0;
    if (!destination->IsDCOnly())
        return cSurfaceImplementation::StretchBlit(destination, x, y, w, h, sourceX, sourceY, sourceWidth,
                                                   sourceHeight, mode, ink, parameter, flags);
    // A reduction is made in software first, where it can be smoothed, and copied 1:1.
    if (w < sourceWidth && h < sourceHeight && w > 0 && h > 0) {
        cSurfaceImplementation* reduced = CreateSameKind(w, h);
        if (!reduced) return 0;
        int done = cSurfaceImplementation::StretchBlit(reduced, 0, 0, w, h, sourceX, sourceY, sourceWidth,
                                                       sourceHeight, mode, ink, parameter, flags);
        if (done) done = reduced->Blit(destination, x, y, 0, 0, w, h, 0, 0, 0, 0);
        reduced->Delete();
        return done;
    }
    HDC own = GetDeviceContext();
    const int done = CopyToDCOnly(own, destination, x, y, [&](HDC target, int dx, int dy) {
        return StretchBlt(target, dx, dy, w, h, own, sourceX + originX, sourceY + originY, sourceWidth,
                          sourceHeight, SRCCOPY);
    });
    if (own) ReleaseDeviceContext(own);
    return done;
}

int cDIBSectionSurface::SetPalette(SharedPalette* given, int remap) {
    const int result = cSurfaceImplementation::SetPalette(given, remap);
    if (depth == 8 && memoryDC && palette)
        if (RGBQUAD table[256] = {}; palette->palette.count > 0) {
            PaletteToRgbQuads(table, palette->palette.entries, palette->palette.count);
            SetDIBColorTable(memoryDC, 0, palette->palette.count, table);
        }
    return result;
}

int cDIBSectionSurface::SetWindow(HWND handle) {
    window = handle;
    return 1;
}

void cDIBSectionSurface::EnumDisplayModes(EnumDisplayModesCallback callback, void* argument) {
    if (!callback) return;
    for (DWORD number = 0;; ++number) {
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsW(nullptr, number, &mode)) return;
        const DisplayModeInfo info{static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                                   static_cast<int>(mode.dmBitsPerPel)};
        if (!callback(&info, argument)) return;
    }
}

int cDIBSectionSurface::EnterFullScreen(HWND target, int w, int h, int bits) {
    const bool first = !fullScreen.active;
    FullScreenState saved = fullScreen;
    if (first) {
        saved.savedRect = RECT{};
        if (target) GetWindowRect(target, &saved.savedRect);
        saved.savedMode = DEVMODEW{};
        saved.savedMode.dmSize = sizeof(DEVMODEW);
        EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &saved.savedMode);
    }
    DEVMODEW wanted{};
    wanted.dmSize = sizeof(wanted);
    wanted.dmFields = ModeFields;
    wanted.dmPelsWidth = static_cast<DWORD>(w);
    wanted.dmPelsHeight = static_cast<DWORD>(h);
    wanted.dmBitsPerPel = static_cast<DWORD>(bits);
    if (ChangeDisplaySettingsW(&wanted, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return 0;
    if (target) {
        // Entering again keeps the window's own style, not the pop-up style it has now.
        if (first) saved.savedStyle = static_cast<DWORD>(GetWindowLongPtrW(target, GWL_STYLE));
        SetWindowLongPtrW(target, GWL_STYLE, static_cast<LONG_PTR>(FullScreenStyle));
        SetWindowPos(target, nullptr, 0, 0, w, h, SWP_SHOWWINDOW | SWP_NOZORDER);
        FullScreenWindowRecord() = target;
    }
    saved.active = 1;
    fullScreen = saved;
    return 1;
}

void cDIBSectionSurface::LeaveFullScreen(HWND target) {
    if (!fullScreen.active) return;
    if (ChangeDisplaySettingsW(&fullScreen.savedMode, 0) != DISP_CHANGE_SUCCESSFUL) return;
    if (target) {
        SetWindowLongPtrW(target, GWL_STYLE, static_cast<LONG_PTR>(fullScreen.savedStyle));
        const RECT& r = fullScreen.savedRect;
        SetWindowPos(target, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_SHOWWINDOW | SWP_NOZORDER);
        if (FullScreenWindowRecord() == target) FullScreenWindowRecord() = nullptr;
    }
    fullScreen.active = 0;
}

void cDIBSectionSurface::CopyFullScreenState(cSurfaceImplementation* other) {
    if (!other) return;
    const int type = other->GetType();
    if (type != SurfaceTypeDIBSection && type != SurfaceTypeDIBDC) return;
    fullScreen = static_cast<cDIBSectionSurface*>(other)->fullScreen;
}

// --- cDIBDCSurface --------------------------------------------------------------------------------------

cSurfaceImplementation* cDIBDCSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cDIBDCSurface();
    return self;
}

cSurfaceImplementation* cDIBDCSurface::CreateSameKind(int w, int h) {
    if (w <= 0 || h <= 0 || w > 0x7FFF || h > 0x7FFF) return nullptr;
    auto* created = new (std::nothrow) cDIBDCSurface;
    if (!created) return nullptr;
    if (!MakeSection(*created, w, h, true)) {
        created->Delete();
        return nullptr;
    }
    return created;
}

int cDIBDCSurface::GetType() {
    return SurfaceTypeDIBDC;
}

void cDIBDCSurface::SetOrigin(int x, int y) {
    originX = x;
    originY = y;
    SetWindowOrgEx(memoryDC, x, y, nullptr);
}

HDC cDIBDCSurface::GetDeviceContext() {
    return memoryDC;
}

void cDIBDCSurface::ReleaseDeviceContext(HDC) {}
