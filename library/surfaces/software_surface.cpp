// The software bodies of the base class for surfaces whose pixels are addressable after LockPixels:
// pixels, clipping, fills, colour keys, palettes, mirrors, scrolling, quarter turns and collision masks.
#include "engine_common.h"
#include "rect_copy.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace win32;

namespace {

using engine::PixelLock;

bool InsideClip(const cSurfaceImplementation& s, int x, int y) {
    return x >= s.clipLeft && x < s.clipRight && y >= s.clipTop && y < s.clipBottom;
}

// Cuts (x, y, width, height) to the clip rectangle; false when nothing is left.
bool ClipToClipRect(const cSurfaceImplementation& s, int& x, int& y, int& w, int& h) {
    const long long left = std::max<long long>(x, s.clipLeft);
    const long long top = std::max<long long>(y, s.clipTop);
    const long long right = std::min<long long>(static_cast<long long>(x) + w, s.clipRight);
    const long long bottom = std::min<long long>(static_cast<long long>(y) + h, s.clipBottom);
    if (right <= left || bottom <= top) return false;
    x = static_cast<int>(left);
    y = static_cast<int>(top);
    w = static_cast<int>(right - left);
    h = static_cast<int>(bottom - top);
    return true;
}

DWORD LoadValue(const cSurfaceImplementation& s, int x, int y) {
    DWORD v = 0;
    std::memcpy(&v, s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel,
                static_cast<std::size_t>(s.bytesPerPixel));
    return v;
}

void StoreValue(cSurfaceImplementation& s, int x, int y, DWORD v) {
    std::memcpy(s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel, &v,
                static_cast<std::size_t>(s.bytesPerPixel));
}

// Whether a pixel counts as transparent for the scans and masks (32 bits: the colour bytes only).
bool IsTransparentPixel(const cSurfaceImplementation& s, int x, int y) {
    if (s.alphaPlane) return s.AlphaRow(y)[x] == 0;
    const DWORD mask = s.bytesPerPixel >= 3 ? 0xFFFFFF : (s.bytesPerPixel == 2 ? 0xFFFF : 0xFF);
    return ((LoadValue(s, x, y) ^ s.transparentValue) & mask) == 0;
}

// A grey view of a surface's alpha plane, in which 0 is the transparent value.
cAlphaBufferSurface AlphaViewOf(const cSurfaceImplementation& s) {
    return cAlphaBufferSurface(s.alphaPlane, s.width, s.height, s.signedAlphaPitch);
}

} // namespace

void cSurfaceImplementation::GetClipRect(int& x, int& y, int& w, int& h) {
    x = clipLeft;
    y = clipTop;
    w = clipRight - clipLeft;
    h = clipBottom - clipTop;
}

void cSurfaceImplementation::SetClipRect(int x, int y, int w, int h) {
    clipLeft = std::max(x, 0);
    clipTop = std::max(y, 0);
    clipRight = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, width));
    clipBottom = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, height));
}

void cSurfaceImplementation::ResetClipRect() {
    SetClipRect(0, 0, width, height);
}

void cSurfaceImplementation::SetPixelIndex(int x, int y, int index) {
    if (!InsideClip(*this, x, y)) return;
    PixelLock lock(*this);
    if (lock) Row(y)[x] = static_cast<BYTE>(index);
}

void cSurfaceImplementation::SetPixel(int x, int y, COLORREF color) {
    if (!InsideClip(*this, x, y) || !routines || !routines->SetPixel) return;
    PixelLock lock(*this);
    if (lock) routines->SetPixel(*this, x, y, color);
}

int cSurfaceImplementation::GetPixelValue(int x, int y, DWORD& value) {
    if (!InsideClip(*this, x, y) || !routines) return 0;
    PixelLock lock(*this);
    if (!lock) return 0;
    value = routines->GetPixel(*this, x, y);
    return 1;
}

// 8-bit colours are palette entries; a surface without a palette answers its index.
int cSurfaceImplementation::GetPixel(int x, int y, COLORREF& color) {
    DWORD value = 0;
    if (!GetPixelValue(x, y, value)) return 0;
    if (depth > 8 || !palette)
        color = value;
    else
        color = value < palette->palette.count ? PaletteWord(palette->palette.entries[value]) : 0;
    return 1;
}

// Fills with a raw pixel value of the surface's own format.
int cSurfaceImplementation::FillRectValue(int x, int y, int w, int h, DWORD value) {
    if (!ClipToClipRect(*this, x, y, w, h)) return 0;
    PixelLock lock(*this);
    if (!lock) return 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            StoreValue(*this, x + i, y + j, value);
    return 1;
}

int cSurfaceImplementation::FillRect(int x, int y, int w, int h, COLORREF color) {
    if (!routines || !ClipToClipRect(*this, x, y, w, h)) return 0;
    PixelLock lock(*this);
    if (!lock) return 0;
    const DWORD value = depth <= 8 ? static_cast<DWORD>(GetNearestIndex(color)) : color;
    routines->FillRect(*this, x, y, signedPitch, w, h, value);
    return 1;
}

int cSurfaceImplementation::ScrollRect(int sx, int sy, int dx, int dy, int w, int h) {
    auto inside = [&](int x, int y) {
        return x >= 0 && y >= 0 && w >= 0 && h >= 0 && x <= width - w && y <= height - h;
    };
    if (!inside(sx, sy) || !inside(dx, dy)) return 0;
    PixelLock lock(*this);
    if (!lock) return 0;
    surfaces::MoveRectInSurface(*this, dx, dy, sx, sy, w, h);
    return 1;
}

namespace {
bool WhollyOutside(const cSurfaceImplementation& s, int x, int y, int w, int h) {
    return x >= s.width || y >= s.height || static_cast<long long>(x) + w <= 0 ||
           static_cast<long long>(y) + h <= 0;
}
} // namespace

int cSurfaceImplementation::MirrorHorizontal(int x, int y, int w, int h) {
    if (WhollyOutside(*this, x, y, w, h) || !ClipToClipRect(*this, x, y, w, h)) return 0;
    if (w == 1) return 1;
    PixelLock lock(*this);
    if (!lock || !routines) return 0;
    routines->MirrorRows(*this, x, y, signedPitch, w, h);
    if (alphaPlane) {
        cAlphaBufferSurface view(alphaPlane, width, height, signedAlphaPitch);
        view.routines->MirrorRows(view, x, y, view.signedPitch, w, h);
    }
    return 1;
}

int cSurfaceImplementation::MirrorVertical(int x, int y, int w, int h) {
    if (WhollyOutside(*this, x, y, w, h) || !ClipToClipRect(*this, x, y, w, h)) return 0;
    if (h == 1) return 1;
    PixelLock lock(*this);
    if (!lock) return 0;
    surfaces::FlipRowsVertical(*this, x, y, signedPitch, w, h, w * bytesPerPixel);
    if (alphaPlane) {
        cAlphaBufferSurface view = AlphaViewOf(*this);
        surfaces::FlipRowsVertical(view, x, y, view.signedPitch, w, h, w);
    }
    return 1;
}

// The destination must hold height x width; a smaller one is refused rather than overrun.
int cSurfaceImplementation::RotateQuarter(cSurfaceImplementation* destination, int direction) {
    if (!destination || destination->IsDCOnly() || destination->depth != depth) return 0;
    if (destination->width < height || destination->height < width) return 0;
    PixelLock source(*this);
    if (!source) return 0;
    PixelLock target(*destination);
    if (!target) return 0;
    cSurfaceImplementation& d = *destination;
    auto place = [&](int x, int y, int& tx, int& ty) {
        if (direction) {
            tx = d.width - 1 - y;
            ty = x;
        } else {
            tx = y;
            ty = d.height - 1 - x;
        }
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int tx = 0, ty = 0;
            place(x, y, tx, ty);
            StoreValue(d, tx, ty, LoadValue(*this, x, y));
        }
    if (alphaPlane && (d.alphaPlane || d.AllocateAlphaPlane()))
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int tx = 0, ty = 0;
                place(x, y, tx, ty);
                d.AlphaRow(ty)[tx] = AlphaRow(y)[x];
            }
    return 1;
}

// The scans look at the alpha plane when there is one, else at the pixels.
int cSurfaceImplementation::GetOpaqueBounds(RECT* bounds) {
    if (!bounds || (width <= 2 && height <= 2)) return 0;
    PixelLock lock(*this);
    if (!lock) return 0;
    if (alphaPlane) return surfaces::ScanOpaqueBounds(AlphaViewOf(*this), bounds);
    return surfaces::ScanOpaqueBounds(*this, bounds);
}

int cSurfaceImplementation::IsFullyTransparent() {
    PixelLock lock(*this);
    if (!lock) return 0;
    if (alphaPlane) return surfaces::ScanAllTransparent(AlphaViewOf(*this));
    return surfaces::ScanAllTransparent(*this);
}

int cSurfaceImplementation::IsOpaque() {
    PixelLock lock(*this);
    if (!lock) return 0;
    if (alphaPlane) return surfaces::ScanNoTransparent(AlphaViewOf(*this));
    return surfaces::ScanNoTransparent(*this);
}

int cSurfaceImplementation::ReplaceColor(COLORREF newColor, COLORREF oldColor) {
    PixelLock lock(*this);
    if (!lock || !routines) return 0;
    if (depth <= 8) {
        newColor = static_cast<COLORREF>(GetNearestIndex(newColor));
        oldColor = static_cast<COLORREF>(GetNearestIndex(oldColor));
    }
    routines->ReplaceValue(*this, 0, 0, width, height, width * bytesPerPixel, newColor, oldColor);
    return 1;
}

// Palettes: 8-bit surfaces hold one reference to their shared palette.
void cSurfaceImplementation::RemapToPalette(SharedPalette* given) {
    if (depth > 8 || !palette || !given || given == palette) return;
    BYTE table[PaletteSize];
    if (!RemapPalette(table, palette->palette.Log(), given->palette.Log(), 1)) return;
    RemapPixels(table);
}

void cSurfaceImplementation::RemapPixels(const BYTE* table) {
    if (depth > 8 || !table) return;
    PixelLock lock(*this);
    if (!lock) return;
    for (int y = 0; y < height; ++y) {
        BYTE* row = Row(y);
        for (int x = 0; x < width; ++x)
            row[x] = table[row[x]];
    }
}

int cSurfaceImplementation::SetPalette(SharedPalette* newPalette, int remap) {
    if (newPalette == palette) return 1;
    if (depth > 8) return 0;
    if (remap && width > 0 && height > 0 && newPalette) {
        if (!palette) return 0;
        BYTE table[PaletteSize];
        if (RemapPalette(table, newPalette->palette.Log(), palette->palette.Log(), 1)) RemapPixels(table);
    }
    AddRefSharedPalette(newPalette);
    ReleaseSharedPalette(palette);
    palette = newPalette;
    return 1;
}

int cSurfaceImplementation::SetLogPalette(const LOGPALETTE* log, int remap) {
    SharedPalette* shared = GetSharedPalette(log);
    if (!shared) return 0;
    const int result = SetPalette(shared, remap);
    ReleaseSharedPalette(shared);
    return result;
}

int cSurfaceImplementation::CopyPalette(cSurfaceImplementation* other, int remap) {
    if (!other || other->depth > 8 || !other->palette) return 0;
    return SetPalette(other->palette, remap);
}

int cSurfaceImplementation::GetPaletteEntries(PALETTEENTRY* entries, int first, int count) {
    if (depth > 8 || !palette) return 0;
    const int size = palette->palette.count;
    if (!entries) return size;
    if (first < 0 || first >= size || count <= 0) return 0;
    std::copy_n(palette->palette.entries + first, std::min(count, size - first), entries);
    return count;
}

SharedPalette* cSurfaceImplementation::GetPalette() {
    return palette;
}

int cSurfaceImplementation::GetLogPalette(LOGPALETTE* log) {
    if (depth > 8 || !palette || !log) return 0;
    log->palVersion = palette->palette.version;
    log->palNumEntries = palette->palette.count;
    return GetPaletteEntries(log->palPalEntry, 0, palette->palette.count);
}

// A colour in palette-index form (0x0100iiii) names its index.
int cSurfaceImplementation::GetNearestIndex(COLORREF color) {
    if ((color & 0xFF000000) == PaletteIndexForm) return static_cast<int>(color & 0xFF);
    return palette ? GetNearestPaletteIndex(palette, color) : 0;
}

COLORREF cSurfaceImplementation::GetPaletteColor(int index) {
    if (!palette || index < 0 || index >= palette->palette.count) return 0;
    return PaletteColor(palette->palette.entries[index]);
}

int cSurfaceImplementation::GetBlackIndex() {
    return palette ? static_cast<int>(palette->blackIndex) : 4;
}

void cSurfaceImplementation::SetColorKey(COLORREF color) {
    if (color == 0) {
        transparentColor = transparentValue = 0;
        return;
    }
    const DWORD r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (DepthIndexOf(depth)) {
    case 0: {
        const int index = GetNearestIndex(color);
        transparentValue = static_cast<DWORD>(index);
        transparentColor = GetPaletteColor(index);
        break;
    }
    case 1:
        transparentValue = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        transparentColor =
            RGB(static_cast<BYTE>(r & 0xF8), static_cast<BYTE>(g & 0xF8), static_cast<BYTE>(b & 0xF8));
        break;
    case 2:
        transparentValue = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        transparentColor =
            RGB(static_cast<BYTE>(r & 0xF8), static_cast<BYTE>(g & 0xFC), static_cast<BYTE>(b & 0xF8));
        break;
    default:
        transparentValue = r << 16 | g << 8 | b;
        transparentColor = color;
        break;
    }
}

COLORREF cSurfaceImplementation::GetColorKey() {
    return transparentColor;
}
DWORD cSurfaceImplementation::GetColorKeyValue() {
    return transparentValue;
}

namespace {
constexpr int MaskHeaderBytes = 44;
constexpr int PlatformMaskDepth = 6;
int MaskRowBytes(int w) {
    return ((w + 15) >> 4) * 2;
}
} // namespace

// The 1-bit mask of the solid pixels: bit x & 7 of byte x >> 3 is pixel x, bit 0 the leftmost.
int cSurfaceImplementation::CreateCollisionMask(void* buffer, int maskFlags) {
    if (width < 0 || height < 0) return 0;
    const int rowBytes = MaskRowBytes(width);
    const int total = MaskHeaderBytes + height * rowBytes;
    if (!buffer) return total;
    if (IsPacked()) return 0; // packed image data is read by its own surface class
    PixelLock lock(*this);
    if (!lock) return 0;
    auto* out = static_cast<BYTE*>(buffer);
    const DWORD header[11] = {MaskHeaderBytes,
                              static_cast<DWORD>(width),
                              static_cast<DWORD>(height),
                              static_cast<DWORD>(rowBytes),
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0};
    for (int i = 0; i < 11; ++i)
        for (int b = 0; b < 4; ++b)
            out[4 * i + b] = static_cast<BYTE>(header[i] >> (8 * b));
    BYTE* bits = out + MaskHeaderBytes;
    std::memset(bits, 0, static_cast<std::size_t>(height) * rowBytes);
    std::vector<int> remaining;
    if (maskFlags & 1) remaining.assign(static_cast<std::size_t>(width), PlatformMaskDepth);
    for (int y = 0; y < height; ++y) {
        BYTE* row = bits + static_cast<std::ptrdiff_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            if (IsTransparentPixel(*this, x, y)) continue;
            if (maskFlags & 1) {
                if (remaining[static_cast<std::size_t>(x)] <= 0) continue;
                --remaining[static_cast<std::size_t>(x)];
            }
            row[x >> 3] |= static_cast<BYTE>(1u << (x & 7));
        }
    }
    return total;
}
