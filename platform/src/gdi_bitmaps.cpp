// Bitmap pixel formats and DIB sections: raw pixel access and conversion between colours and pixels.
#include "gdi_internal.h"
#include "handle_storage.h"

#include <algorithm>
#include <bit>
#include <climits>

namespace win32 {
namespace {

// A 5- or 6-bit component of a 16-bit pixel, widened to 8 bits.
BYTE Widen(std::uint32_t value, DWORD mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    std::uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return static_cast<BYTE>(v >> (bits - 8));
    return static_cast<BYTE>((v << (8 - bits)) | (v >> (2 * bits - 8 > 0 ? 2 * bits - 8 : 0)));
}

std::uint32_t Narrow(BYTE component, DWORD mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t v =
        bits >= 8 ? static_cast<std::uint32_t>(component) << (bits - 8) : component >> (8 - bits);
    return (v << shift) & mask;
}

} // namespace

std::uint32_t BitmapObject::LoadRaw(int x, int y) const {
    const BYTE* p = Row(y);
    switch (bpp) {
    case 1: // the leftmost pixel in the highest bit
        return (p[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (p[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8:
        return p[x];
    case 16:
        return static_cast<std::uint32_t>(p[2 * x] | (p[2 * x + 1] << 8));
    case 24:
        return static_cast<std::uint32_t>(p[3 * x] | (p[3 * x + 1] << 8) | (p[3 * x + 2] << 16));
    default:
        return static_cast<std::uint32_t>(p[4 * x] | (p[4 * x + 1] << 8) | (p[4 * x + 2] << 16)) |
               (static_cast<std::uint32_t>(p[4 * x + 3]) << 24);
    }
}

void BitmapObject::StoreRaw(int x, int y, std::uint32_t raw) {
    BYTE* p = Row(y);
    switch (bpp) {
    case 8:
        p[x] = static_cast<BYTE>(raw);
        break;
    case 16:
        p[2 * x] = static_cast<BYTE>(raw);
        p[2 * x + 1] = static_cast<BYTE>(raw >> 8);
        break;
    case 24:
        p[3 * x] = static_cast<BYTE>(raw);
        p[3 * x + 1] = static_cast<BYTE>(raw >> 8);
        p[3 * x + 2] = static_cast<BYTE>(raw >> 16);
        break;
    default:
        p[4 * x] = static_cast<BYTE>(raw);
        p[4 * x + 1] = static_cast<BYTE>(raw >> 8);
        p[4 * x + 2] = static_cast<BYTE>(raw >> 16);
        p[4 * x + 3] = static_cast<BYTE>(raw >> 24);
        break;
    }
}

std::uint32_t BitmapObject::Encode(COLORREF color) const {
    const BYTE r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (bpp) {
    case 8: {
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < 256; ++i) {
            const int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
                if (distance == 0) break;
            }
        }
        return static_cast<std::uint32_t>(best);
    }
    case 16:
        return Narrow(r, masks[0]) | Narrow(g, masks[1]) | Narrow(b, masks[2]);
    default:
        return static_cast<std::uint32_t>(b) | (static_cast<std::uint32_t>(g) << 8) |
               (static_cast<std::uint32_t>(r) << 16);
    }
}

COLORREF BitmapObject::Decode(std::uint32_t raw) const {
    switch (bpp) {
    case 1:
    case 4:
    case 8: {
        const RGBQUAD& q = colors[raw & 0xFF];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case 16:
        return RGB(Widen(raw, masks[0]), Widen(raw, masks[1]), Widen(raw, masks[2]));
    default:
        return RGB(static_cast<BYTE>(raw >> 16), static_cast<BYTE>(raw >> 8), static_cast<BYTE>(raw));
    }
}

bool BitmapObject::SameFormat(const BitmapObject& other) const {
    if (bpp != other.bpp) return false;
    if (bpp == 16)
        return masks[0] == other.masks[0] && masks[1] == other.masks[1] && masks[2] == other.masks[2];
    if (bpp == 8) {
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD &a = colors[i], &b = other.colors[i];
            if (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue) return false;
        }
    }
    return true;
}

BitmapObject* NewBitmap(int width, int height, int bpp, bool topDown) {
    constexpr long long kMaxBytes = 1LL << 30;
    if (width <= 0 || height <= 0) return nullptr;
    const long long stride = ((static_cast<long long>(width) * bpp + 31) / 32) * 4;
    if (stride * height > kMaxBytes) return nullptr;
    auto* bitmap = detail::NewHandleObject<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bpp = bpp;
    bitmap->stride = static_cast<int>(stride);
    bitmap->topDown = topDown;
    bitmap->storage.assign(static_cast<std::size_t>(stride * height), 0);
    bitmap->bits = bitmap->storage.data();
    return bitmap;
}

void FreeBitmap(BitmapObject* bitmap) {
    detail::DeleteHandleObject(bitmap);
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    BitmapObject format;
    if (!IsLiveDc(dc) || !IsGdiObject(bitmap, GdiKind::Bitmap) || usage != DIB_RGB_COLORS ||
        !ReadDibHeader(info, &format) || (bitmap->selectedInto && bitmap->selectedInto != dc))
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    h.biSizeImage = static_cast<DWORD>(format.stride) * static_cast<DWORD>(format.height);
    if (format.bpp == 8) {
        auto* table = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(info) + h.biSize);
        const DWORD used = (h.biClrUsed == 0 || h.biClrUsed > 256) ? 256 : h.biClrUsed;
        for (DWORD i = 0; i < used; ++i)
            table[i] = bitmap->bpp == 8 ? bitmap->colors[i] : RGBQUAD{};
        format.colors = bitmap->colors;
    }
    if (!bits) return 1;
    // The buffer's first row is scan line `start`; a bottom-up image counts its scan lines from the bottom.
    const long long first = start, last = std::min<long long>(first + lines, format.height);
    if (first >= last) return 0;
    const bool same = format.SameFormat(*bitmap);
    for (long long scan = first; scan < last; ++scan) {
        const int row = static_cast<int>(format.topDown ? scan : format.height - 1 - scan);
        BYTE* target = static_cast<BYTE*>(bits) + (scan - first) * format.stride;
        format.bits = target - static_cast<std::ptrdiff_t>(format.topDown ? row : format.height - 1 - row) *
                                   format.stride;
        if (row >= bitmap->height) continue;
        for (int x = 0; x < std::min(format.width, bitmap->width); ++x) {
            const std::uint32_t raw = bitmap->LoadRaw(x, row);
            format.StoreRaw(x, row, same ? raw : format.Encode(bitmap->Decode(raw)));
        }
    }
    return static_cast<int>(last - first);
}

} // namespace win32
