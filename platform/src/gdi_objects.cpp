// GDI objects and device contexts: creation, selection, deletion, stock objects and device queries.
#include "gdi_internal.h"
#include "handle_storage.h"
#include "text_dc.h"
#include "win32/font.h"
#include "window_internal.h"

#include "vtrformat/bytes.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace win32 {
namespace {

std::mutex objectLock;
std::unordered_set<const void*>& LiveObjects() {
    static std::unordered_set<const void*> live;
    return live;
}

template <typename T> T* Register(T* object) {
    std::lock_guard guard(objectLock);
    LiveObjects().insert(object);
    return object;
}

void Unregister(const void* object) {
    std::lock_guard guard(objectLock);
    LiveObjects().erase(object);
}

GdiKind KindOf(const void* handle) {
    return static_cast<const GdiHeader*>(handle)->kind;
}

BrushObject* StockBrush(COLORREF color, bool null) {
    auto* b = detail::NewHandleObject<BrushObject>();
    b->header.stock = true;
    b->color = color;
    b->null = null;
    return Register(b);
}

PenObject* StockPen(COLORREF color, int style) {
    auto* p = detail::NewHandleObject<PenObject>();
    p->header.stock = true;
    p->color = color;
    p->style = style;
    return Register(p);
}

BitmapObject* DefaultBitmap() {
    static BitmapObject* bitmap = [] {
        BitmapObject* b = NewBitmap(1, 1, 32, true);
        b->header.stock = true;
        return Register(b);
    }();
    return bitmap;
}

void ReleaseSelection(DeviceContextObject* dc) {
    if (dc->bitmap && dc->bitmap->selectedInto == dc) dc->bitmap->selectedInto = nullptr;
}
} // namespace

void DropDcSelections(DeviceContextObject* dc) {
    // The DC's font and alignment go with it.
    ForgetTextState(dc);
    ReleaseSelection(dc);
    if (dc->pen) dc->pen->header.selections--;
    if (dc->brush) dc->brush->header.selections--;
    if (dc->palette) dc->palette->header.selections--;
    dc->pen = nullptr;
    dc->brush = nullptr;
    dc->palette = nullptr;
    dc->bitmap = nullptr;
}

namespace {

std::unordered_set<const DeviceContextObject*>& LiveDcs() {
    static std::unordered_set<const DeviceContextObject*> dcs;
    return dcs;
}

} // namespace

void RegisterGdiObject(const void* object) {
    std::lock_guard guard(objectLock);
    LiveObjects().insert(object);
}

void UnregisterGdiObject(const void* object) {
    Unregister(object);
}

DeviceContextObject* NewDc(DcKind kind, HWND window) {
    auto* dc = detail::NewHandleObject<DeviceContextObject>();
    dc->kind = kind;
    dc->window = window;
    dc->pen = static_cast<PenObject*>(GetStockObject(BLACK_PEN));
    dc->brush = static_cast<BrushObject*>(GetStockObject(WHITE_BRUSH));
    std::lock_guard guard(objectLock);
    LiveDcs().insert(dc);
    return dc;
}

bool IsLiveDc(const DeviceContextObject* dc) {
    if (!dc) return false;
    std::lock_guard guard(objectLock);
    return LiveDcs().count(dc) != 0;
}

void FreeDc(DeviceContextObject* dc) {
    if (!dc) return;
    {
        std::lock_guard guard(objectLock);
        if (!LiveDcs().erase(dc)) return;
    }
    DropDcSelections(dc);
    detail::DeleteHandleObject(dc);
}

BrushObject* MakeStockBrush(COLORREF color) {
    return StockBrush(color, false);
}

bool IsGdiObject(const void* handle, GdiKind kind) {
    if (!handle) return false;
    std::lock_guard guard(objectLock);
    return LiveObjects().count(handle) && KindOf(handle) == kind;
}

HGDIOBJ GetStockObject(int index) {
    static BrushObject* brushes[] = {
        StockBrush(RGB(255, 255, 255), false), StockBrush(RGB(192, 192, 192), false),
        StockBrush(RGB(128, 128, 128), false), StockBrush(RGB(64, 64, 64), false),
        StockBrush(RGB(0, 0, 0), false),       StockBrush(0, true)};
    static PenObject* pens[] = {StockPen(RGB(255, 255, 255), PS_SOLID), StockPen(0, PS_SOLID),
                                StockPen(0, PS_NULL)};
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return brushes[index];
    if (index >= WHITE_PEN && index <= NULL_PEN) return pens[index - WHITE_PEN];
    if (index == DEFAULT_PALETTE) return StockPalette();
    return GetStockFont(index);
}

HDC CreateCompatibleDC(HDC) {
    DeviceContextObject* dc = NewDc(DcKind::Memory, nullptr);
    dc->bitmap = DefaultBitmap();
    return dc;
}

BOOL DeleteDC(HDC dc) {
    // A window's own DC goes with its window.
    if (!IsLiveDc(dc) || dc->ownDc) return FALSE;
    FreeDc(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!IsLiveDc(dc) || !object) return nullptr;
    if (IsFont(object)) return SelectFont(dc, static_cast<HFONT>(object));
    if (IsGdiObject(object, GdiKind::Pen)) {
        PenObject* old = dc->pen;
        dc->pen = static_cast<PenObject*>(object);
        dc->pen->header.selections++;
        if (old) old->header.selections--;
        return old;
    }
    if (IsGdiObject(object, GdiKind::Brush)) {
        BrushObject* old = dc->brush;
        dc->brush = static_cast<BrushObject*>(object);
        dc->brush->header.selections++;
        if (old) old->header.selections--;
        return old;
    }
    if (IsGdiObject(object, GdiKind::Bitmap)) {
        auto* bitmap = static_cast<BitmapObject*>(object);
        if (dc->kind != DcKind::Memory || (bitmap->selectedInto && bitmap->selectedInto != dc))
            return nullptr;
        BitmapObject* old = dc->bitmap;
        ReleaseSelection(dc);
        dc->bitmap = bitmap;
        if (!bitmap->header.stock) bitmap->selectedInto = dc;
        return old;
    }
    return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    if (!IsLiveDc(dc)) return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->pen;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_BITMAP:
        return dc->bitmap;
    case OBJ_PAL:
        return dc->palette;
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    // A live font that DeleteFont keeps is a stock font: it stays, and that is no error, as with the other
    // stock objects.
    if (IsFont(object)) {
        DeleteFont(static_cast<HFONT>(object));
        return TRUE;
    }
    {
        std::lock_guard guard(objectLock);
        if (!LiveObjects().count(object)) return FALSE;
    }
    auto* header = static_cast<GdiHeader*>(object);
    if (header->stock) return TRUE;
    // A pen or brush still selected into a DC stays: the DC would otherwise draw with freed memory.
    if (header->selections > 0) return FALSE;
    switch (header->kind) {
    case GdiKind::Bitmap: {
        auto* bitmap = static_cast<BitmapObject*>(object);
        if (bitmap->selectedInto) return FALSE;
        Unregister(object);
        FreeBitmap(bitmap);
        return TRUE;
    }
    case GdiKind::Pen:
        Unregister(object);
        detail::DeleteHandleObject(static_cast<PenObject*>(object));
        return TRUE;
    case GdiKind::Brush:
        Unregister(object);
        detail::DeleteHandleObject(static_cast<BrushObject*>(object));
        return TRUE;
    case GdiKind::Palette:
        Unregister(object);
        detail::DeleteHandleObject(static_cast<PaletteObject*>(object));
        return TRUE;
    case GdiKind::Region:
        Unregister(object);
        detail::DeleteHandleObject(static_cast<RegionObject*>(object));
        return TRUE;
    }
    return FALSE;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out) {
    if (IsFont(object)) return GetFontObjectW(static_cast<HFONT>(object), size, static_cast<LOGFONTW*>(out));
    if (!IsGdiObject(object, GdiKind::Bitmap)) return 0;
    const auto* b = static_cast<const BitmapObject*>(object);
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{0, b->width, b->height, b->stride, 1, static_cast<WORD>(b->bpp), b->bits};
    std::memcpy(out, &info, sizeof info);
    return sizeof(BITMAP);
}

int GetDeviceCaps(HDC dc, int index) {
    switch (index) {
    case BITSPIXEL:
        return IsLiveDc(dc) && dc->kind == DcKind::Memory && dc->bitmap ? dc->bitmap->bpp : 32;
    case PLANES:
        return 1;
    case RASTERCAPS:
        return 0;
    case HORZRES:
        return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES:
        return GetSystemMetrics(SM_CYSCREEN);
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

HWND WindowFromDC(HDC dc) {
    return IsLiveDc(dc) && dc->kind == DcKind::Window ? Win(dc->window) : nullptr;
}

namespace {

// The format a bitmap header gives (its depth, 1 and 4 bits only where `lowDepths`, its compression and
// sizes); false when it is refused.
bool ReadDibFormat(const BITMAPINFOHEADER& h, bool lowDepths, BitmapObject* out) {
    const int bpp = h.biBitCount;
    const bool depth =
        bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32 || (lowDepths && (bpp == 1 || bpp == 4));
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == LONG(0x80000000) || !depth)
        return false;
    if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
        return false;
    const long long stride = ((static_cast<long long>(h.biWidth) * bpp + 31) / 32) * 4;
    const long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (stride * height > (1LL << 30)) return false;
    out->width = h.biWidth;
    out->height = static_cast<int>(height);
    out->bpp = bpp;
    out->stride = static_cast<int>(stride);
    out->topDown = h.biHeight < 0;
    return true;
}

} // namespace

bool ReadDibHeader(const BITMAPINFO* info, BitmapObject* out) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (!ReadDibFormat(h, false, out)) return false;
    const auto* table = reinterpret_cast<const BYTE*>(info) + h.biSize;
    if (out->bpp == 8) {
        const DWORD used = (h.biClrUsed == 0 || h.biClrUsed > 256) ? 256 : h.biClrUsed;
        std::memcpy(out->colors.data(), table, used * sizeof(RGBQUAD));
    } else if (out->bpp == 16 && h.biCompression == BI_BITFIELDS) {
        std::memcpy(out->masks, table, sizeof out->masks);
        if (!out->masks[0] || !out->masks[1] || !out->masks[2]) return false;
    }
    return true;
}

bool ReadPackedDib(std::span<const BYTE> bytes, BitmapObject* out, std::size_t* bitsAt) {
    vtrformat::ByteReader r(bytes);
    BITMAPINFOHEADER h{};
    std::uint32_t compression = 0, used = 0;
    if (!r.U32(h.biSize) || !r.I32(h.biWidth) || !r.I32(h.biHeight) || !r.U16(h.biPlanes) ||
        !r.U16(h.biBitCount) || !r.U32(compression) || !r.Skip(12) || !r.U32(used) || !r.Seek(h.biSize))
        return false;
    h.biCompression = compression;
    h.biClrUsed = used;
    if (!ReadDibFormat(h, true, out)) return false;
    if (out->bpp <= 8) {
        // As many entries as the header says, never more than the depth can index.
        const DWORD full = 1u << out->bpp;
        if (used > full) return false;
        for (DWORD i = 0; i < (used ? used : full); ++i) {
            RGBQUAD& q = out->colors[i];
            if (!r.U8(q.rgbBlue) || !r.U8(q.rgbGreen) || !r.U8(q.rgbRed) || !r.U8(q.rgbReserved))
                return false;
        }
    } else if (compression == BI_BITFIELDS) {
        // The three masks follow the basic header, inside a longer one.
        std::uint32_t masks[3];
        if (!r.Seek(sizeof(BITMAPINFOHEADER)) || !r.U32(masks[0]) || !r.U32(masks[1]) || !r.U32(masks[2]) ||
            !r.Seek(std::max<std::size_t>(h.biSize, r.Position())))
            return false;
        if (out->bpp == 16) {
            if (!masks[0] || !masks[1] || !masks[2]) return false;
            std::copy(masks, masks + 3, out->masks);
        }
    }
    *bitsAt = r.Position();
    return true;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
    if (bits) *bits = nullptr;
    BitmapObject format;
    if ((usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) || section || !ReadDibHeader(info, &format))
        return nullptr;
    BitmapObject* bitmap = NewBitmap(format.width, format.height, format.bpp, format.topDown);
    if (!bitmap) return nullptr;
    if (usage == DIB_RGB_COLORS) bitmap->colors = format.colors;
    std::memcpy(bitmap->masks, format.masks, sizeof bitmap->masks);
    if (bits) *bits = bitmap->bits;
    return Register(bitmap);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (width <= 0 || height <= 0) return Register(NewBitmap(1, 1, 32, true));
    const BitmapObject* model = dc && dc->kind == DcKind::Memory ? dc->bitmap : nullptr;
    BitmapObject* bitmap = NewBitmap(width, height, model ? model->bpp : 32, true);
    if (!bitmap) return nullptr;
    if (model) {
        bitmap->colors = model->colors;
        std::memcpy(bitmap->masks, model->masks, sizeof bitmap->masks);
    }
    return Register(bitmap);
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    if (!dc || !dc->bitmap || dc->bitmap->bpp != 8 || !colors || start >= 256) return 0;
    const UINT n = std::min<UINT>(count, 256 - start);
    std::memcpy(dc->bitmap->colors.data() + start, colors, n * sizeof(RGBQUAD));
    return n;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    if (!dc || !dc->bitmap || dc->bitmap->bpp != 8 || !colors || start >= 256) return 0;
    const UINT n = std::min<UINT>(count, 256 - start);
    std::memcpy(colors, dc->bitmap->colors.data() + start, n * sizeof(RGBQUAD));
    return n;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* b = detail::NewHandleObject<BrushObject>();
    b->color = color & 0xFFFFFF;
    return Register(b);
}

HBRUSH CreateHatchBrush(int style, COLORREF color) {
    if (style != HS_BDIAGONAL) return nullptr;
    HBRUSH brush = CreateSolidBrush(color);
    brush->hatch = style;
    return brush;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto* r = detail::NewHandleObject<RegionObject>();
    r->rect =
        RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return Register(r);
}

int GetClipRgn(HDC dc, HRGN region) {
    if (!IsLiveDc(dc) || !IsGdiObject(region, GdiKind::Region)) return -1;
    if (!dc->clipped) return 0;
    region->rect = dc->clipRect;
    return 1;
}

int SelectClipRgn(HDC dc, HRGN region) {
    if (!IsLiveDc(dc)) return 0;
    if (!region) {
        dc->clipped = false;
        return SIMPLEREGION;
    }
    if (!IsGdiObject(region, GdiKind::Region)) return 0;
    dc->clipped = true;
    dc->clipRect = region->rect;
    return IsRectEmpty(&region->rect) ? NULLREGION : SIMPLEREGION;
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto* p = detail::NewHandleObject<PenObject>();
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->color = color & 0xFFFFFF;
    return Register(p);
}

int SetROP2(HDC dc, int mode) {
    if (!dc || mode < R2_BLACK || mode > R2_WHITE) return 0;
    const int old = dc->rop2;
    dc->rop2 = mode;
    return old;
}

int GetROP2(HDC dc) {
    return dc ? dc->rop2 : 0;
}

int SetBkMode(HDC dc, int mode) {
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    const COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    const COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

} // namespace win32
