// Pixel format traits: how one depth loads, stores and converts its pixels. The pixel routines are written
// once over these traits.
#pragma once

#include "win32/types.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace surfaces {

// Pixels are moved into words with memcpy, which gives their byte order only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

using win32::BYTE;
using win32::COLORREF;
using win32::DWORD;

// COLORREF (red low) and blue-low pixel words convert into each other by exchanging bytes 0 and 2.
constexpr DWORD SwapRedBlue(DWORD v) {
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

struct Format8 {
    using Pixel = std::uint8_t;
    static constexpr int Bytes = 1;
    static constexpr int Depth = 8;
    static Pixel Load(const BYTE* p) { return *p; }
    static void Store(BYTE* p, Pixel v) { *p = v; }
    // Values of an 8-bit surface are palette indexes chosen by the caller.
    static Pixel FromValue(DWORD v) { return static_cast<Pixel>(v); }
    static bool SameColor(Pixel a, Pixel b) { return a == b; }
};

template <int RedBits, int GreenBits, int DepthBits> struct FormatPacked16 {
    using Pixel = std::uint16_t;
    static constexpr int Bytes = 2;
    static constexpr int Depth = DepthBits;
    static constexpr int GreenShift = 5;
    static constexpr int RedShift = 5 + GreenBits;
    static constexpr DWORD GreenMask = (1u << GreenBits) - 1;
    static Pixel Load(const BYTE* p) { return static_cast<Pixel>(p[0] | (p[1] << 8)); }
    static void Store(BYTE* p, Pixel v) {
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
    }
    // Channels are truncated on the way in and come back with their low bits 0.
    static Pixel FromColor(COLORREF c) {
        const DWORD r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        return static_cast<Pixel>(((r >> 3) << RedShift) | ((g >> (8 - GreenBits)) << GreenShift) | (b >> 3));
    }
    static COLORREF ToColor(Pixel v) {
        const DWORD r = ((v >> RedShift) & 0x1F) << 3;
        const DWORD g = ((v >> GreenShift) & GreenMask) << (8 - GreenBits);
        const DWORD b = (v & 0x1F) << 3;
        return r | (g << 8) | (b << 16);
    }
    // The working colour of the ink operators: blue, green, red in bytes 0-2, low bits of each channel 0.
    static DWORD ToWorking(Pixel v) { return SwapRedBlue(ToColor(v)); }
    static Pixel FromWorking(DWORD w) { return FromColor(SwapRedBlue(w)); }
    static Pixel FromValue(DWORD v) { return static_cast<Pixel>(v); }
    static bool SameColor(Pixel a, Pixel b) { return a == b; }
};
using Format15 = FormatPacked16<5, 5, 15>;
using Format16 = FormatPacked16<5, 6, 16>;

// Three bytes blue, green, red, unaligned; a pixel is read and written as exactly its three bytes, so that
// nothing past the last pixel of a row is touched.
struct Format24 {
    using Pixel = std::uint32_t;
    static constexpr int Bytes = 3;
    static constexpr int Depth = 24;
    // Two bytes and one, each moved whole: a three-byte move into a wider word would make the processor
    // wait for the word to be put together before it can read it.
    static Pixel Load(const BYTE* p) {
        std::uint16_t low;
        std::memcpy(&low, p, 2);
        return low | (static_cast<Pixel>(p[2]) << 16);
    }
    static void Store(BYTE* p, Pixel v) {
        const auto low = static_cast<std::uint16_t>(v);
        std::memcpy(p, &low, 2);
        p[2] = static_cast<BYTE>(v >> 16);
    }
    static Pixel FromColor(COLORREF c) { return SwapRedBlue(c); }
    static COLORREF ToColor(Pixel v) { return SwapRedBlue(v); }
    static Pixel FromValue(DWORD v) { return v & 0xFFFFFF; }
    static bool SameColor(Pixel a, Pixel b) { return ((a ^ b) & 0xFFFFFF) == 0; }
};

// Bytes blue, green, red and a fourth byte that the routines carry but never treat as a colour.
struct Format32 {
    using Pixel = std::uint32_t;
    static constexpr int Bytes = 4;
    static constexpr int Depth = 32;
    static Pixel Load(const BYTE* p) {
        Pixel v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Store(BYTE* p, Pixel v) { std::memcpy(p, &v, 4); }
    static Pixel FromColor(COLORREF c) { return SwapRedBlue(c); }
    static COLORREF ToColor(Pixel v) { return SwapRedBlue(v); }
    static Pixel FromValue(DWORD v) { return v; }
    // Colour keys and colour comparisons look at the three colour bytes only.
    static bool SameColor(Pixel a, Pixel b) { return ((a ^ b) & 0xFFFFFF) == 0; }
};

// Formats with a colour conversion (every depth but 8).
template <typename F>
concept ColorFormat = requires(COLORREF c, typename F::Pixel p) {
    F::FromColor(c);
    F::ToColor(p);
};

template <typename F> inline BYTE* PixelAt(BYTE* row, int x) {
    return row + static_cast<std::ptrdiff_t>(x) * F::Bytes;
}
template <typename F> inline const BYTE* PixelAt(const BYTE* row, int x) {
    return row + static_cast<std::ptrdiff_t>(x) * F::Bytes;
}

} // namespace surfaces
