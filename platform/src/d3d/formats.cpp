#include "formats.h"

#include <array>
#include <cstring>

namespace win32::d3d {

namespace {

// In format order, 20 to 26. The 16-bit layouts are GL's packed types read with the first component in the
// low bits (the _REV types with BGRA) or, for 5-6-5, red in the high bits.
constexpr std::array<FormatInfo, 7> Formats = {{
    {D3DFMT_R8G8B8, 3, GL_BGR, GL_UNSIGNED_BYTE, false},
    {D3DFMT_A8R8G8B8, 4, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true},
    {D3DFMT_X8R8G8B8, 4, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false},
    {D3DFMT_R5G6B5, 2, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false},
    {D3DFMT_X1R5G5B5, 2, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false},
    {D3DFMT_A1R5G5B5, 2, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true},
    {D3DFMT_A4R4G4B4, 2, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, true},
}};

DWORD Widen(DWORD value, int bits) {
    switch (bits) {
    case 1:
        return value ? 0xFF : 0;
    case 4:
        return value * 0x11;
    case 5:
        return (value << 3) | (value >> 2);
    case 6:
        return (value << 2) | (value >> 4);
    default:
        return value;
    }
}

DWORD Load16(const BYTE* p) {
    return static_cast<DWORD>(p[0] | (p[1] << 8));
}

void Store16(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

D3DCOLOR Argb(DWORD a, DWORD r, DWORD g, DWORD b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

} // namespace

const FormatInfo* FormatOf(D3DFORMAT format) {
    if (format < D3DFMT_R8G8B8 || format > D3DFMT_A4R4G4B4) return nullptr;
    return &Formats[format - D3DFMT_R8G8B8];
}

D3DCOLOR DecodePixel(const FormatInfo& f, const BYTE* p) {
    switch (f.format) {
    case D3DFMT_R8G8B8:
        return Argb(0xFF, p[2], p[1], p[0]);
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: {
        D3DCOLOR c = 0;
        std::memcpy(&c, p, sizeof c);
        return f.hasAlpha ? c : (c | 0xFF000000u);
    }
    case D3DFMT_R5G6B5: {
        const DWORD v = Load16(p);
        return Argb(0xFF, Widen(v >> 11, 5), Widen((v >> 5) & 0x3F, 6), Widen(v & 0x1F, 5));
    }
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const DWORD v = Load16(p);
        const DWORD a = f.hasAlpha ? Widen(v >> 15, 1) : 0xFF;
        return Argb(a, Widen((v >> 10) & 0x1F, 5), Widen((v >> 5) & 0x1F, 5), Widen(v & 0x1F, 5));
    }
    case D3DFMT_A4R4G4B4: {
        const DWORD v = Load16(p);
        return Argb(Widen(v >> 12, 4), Widen((v >> 8) & 0xF, 4), Widen((v >> 4) & 0xF, 4), Widen(v & 0xF, 4));
    }
    default:
        return 0;
    }
}

void EncodePixel(const FormatInfo& f, D3DCOLOR c, BYTE* p) {
    const DWORD a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    switch (f.format) {
    case D3DFMT_R8G8B8:
        p[0] = static_cast<BYTE>(b);
        p[1] = static_cast<BYTE>(g);
        p[2] = static_cast<BYTE>(r);
        break;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: {
        const D3DCOLOR v = f.hasAlpha ? c : (c | 0xFF000000u);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case D3DFMT_R5G6B5:
        Store16(p, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const DWORD top = f.hasAlpha ? (a >> 7) : 1;
        Store16(p, (top << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        break;
    }
    case D3DFMT_A4R4G4B4:
        Store16(p, ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
        break;
    default:
        break;
    }
}

void MarkOpaque(const FormatInfo& f, BYTE* row, std::size_t count) {
    if (f.format == D3DFMT_X8R8G8B8) {
        for (std::size_t i = 0; i < count; ++i)
            row[i * 4 + 3] = 0xFF;
    } else if (f.format == D3DFMT_X1R5G5B5) {
        for (std::size_t i = 0; i < count; ++i)
            row[i * 2 + 1] |= 0x80;
    }
}

} // namespace win32::d3d
