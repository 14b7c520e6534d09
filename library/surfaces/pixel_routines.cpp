// The pixel routines of every depth, written once over the format traits and the ink operators, and the
// routine tables built from them.

// The inner loops are written plainly for the compiler to vectorise; ask for it also at -O2. It comes first
// so that the formats' and operators' inline functions get the same options and are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize")
#endif

#include "fast_paths.h"
#include "ink_operators.h"
#include "pixel_formats.h"
#include "rect_copy.h"
#include "vtrs2/surface_implementation.h"

#include <array>
#include <cstring>
#include <utility>

using namespace win32;

namespace surfaces {

template <typename F>
DWORD MeasureRunsT(BYTE* header, const BYTE* pixels, int width, int height, int pitch, DWORD transparent);
template <typename F>
void EncodeRunsT(BYTE* buffer, const BYTE* pixels, int width, int height, int pitch, DWORD transparent);

namespace {

template <typename F> BYTE* PixelPointer(const cSurfaceImplementation& s, int x, int y) {
    return PixelAt<F>(s.Row(y), x);
}

// A result r (a working colour) weighted by an alpha byte of 1..254 over the destination pixel.
template <typename F> typename F::Pixel AlphaMix(const InkContext& c, DWORD r, typename F::Pixel d, DWORD a) {
    using C = InkColors<F>;
    return C::Pack(c, AlphaChannels(r, C::Destination(c, d), a));
}

// The colour of a pixel as COLORREF, and a COLORREF as a pixel of the surface (8 bits: the nearest index of
// the surface's palette).
template <typename F> COLORREF ColorOf(const cSurfaceImplementation& s, typename F::Pixel v) {
    if constexpr (ColorFormat<F>)
        return F::ToColor(v) & 0xFFFFFF;
    else
        return PaletteColor((s.palette ? s.palette->palette : *GetDefaultModePalette(3)).entries[v]);
}

template <typename F> typename F::Pixel PixelOf(const cSurfaceImplementation& s, COLORREF color) {
    if constexpr (ColorFormat<F>)
        return F::FromColor(color & 0xFFFFFF);
    else
        return static_cast<typename F::Pixel>(GetNearestPaletteIndex(s.palette, color));
}

// --- single pixels, fills, mirrors, replacement --------------------------------------------------------

template <typename F> void SetPixelT(cSurfaceImplementation& s, int x, int y, COLORREF color) {
    BYTE* p = PixelPointer<F>(s, x, y);
    if constexpr (F::Depth == 32) {
        // Only the colour bytes are stored; the fourth byte stays.
        const DWORD v = F::FromColor(color);
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        p[2] = static_cast<BYTE>(v >> 16);
    } else if constexpr (F::Depth == 8) {
        // A colour in palette-index form names its index without the palette.
        *p = (color & PaletteIndexForm) ? static_cast<BYTE>(color) : PixelOf<F>(s, color);
    } else {
        F::Store(p, F::FromColor(color));
    }
}

template <typename F> DWORD GetPixelT(const cSurfaceImplementation& s, int x, int y) {
    if constexpr (ColorFormat<F>)
        return F::ToColor(F::Load(PixelPointer<F>(s, x, y))) & 0xFFFFFF;
    else
        return F::Load(PixelPointer<F>(s, x, y));
}

template <typename F> typename F::Pixel ValueOf(DWORD colorOrIndex) {
    if constexpr (ColorFormat<F>)
        return F::FromColor(colorOrIndex);
    else
        return F::FromValue(colorOrIndex);
}

// The first row is filled pixel by pixel; the others are copies of it, which the C library moves fastest.
template <typename F>
void FillRowsWith(cSurfaceImplementation& s, int x, int y, int pitch, int width, int height,
                  typename F::Pixel v) {
    if (width <= 0 || height <= 0) return;
    BYTE* first = PixelAt<F>(s.pixels + static_cast<std::ptrdiff_t>(y) * pitch, x);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * F::Bytes;
    if constexpr (F::Bytes == 1) {
        std::memset(first, v, rowBytes);
    } else if constexpr (F::Bytes == 3) {
        for (int i = 0; i < width; ++i)
            F::Store(first + 3 * i, v);
    } else {
        for (int i = 0; i < width; ++i)
            F::Store(first + static_cast<std::ptrdiff_t>(i) * F::Bytes, v);
    }
    BYTE* row = first;
    for (int j = 1; j < height; ++j) {
        row += pitch;
        std::memcpy(row, first, rowBytes);
    }
}

template <typename F>
void FillRectT(cSurfaceImplementation& s, int x, int y, int pitch, int width, int height, DWORD value) {
    FillRowsWith<F>(s, x, y, pitch, width, height, ValueOf<F>(value));
}

template <typename F>
void MirrorRowsT(cSurfaceImplementation& s, int x, int y, int pitch, int width, int height) {
    BYTE* row = s.pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    for (int j = 0; j < height; ++j, row += pitch) {
        BYTE* left = PixelAt<F>(row, x);
        BYTE* right = PixelAt<F>(row, x + width - 1);
        for (int i = 0; i < width / 2; ++i, left += F::Bytes, right -= F::Bytes) {
            const auto a = F::Load(left);
            F::Store(left, F::Load(right));
            F::Store(right, a);
        }
    }
}

template <typename F>
void ReplaceValueT(cSurfaceImplementation& s, int x, int y, int width, int height, int, DWORD newValue,
                   DWORD oldValue) {
    const auto replacement = ValueOf<F>(newValue);
    const auto old = ValueOf<F>(oldValue);
    for (int j = 0; j < height; ++j) {
        BYTE* p = PixelPointer<F>(s, x, y + j);
        for (int i = 0; i < width; ++i, p += F::Bytes)
            if (F::SameColor(F::Load(p), old)) F::Store(p, replacement);
    }
}

// --- copies ------------------------------------------------------------------------------------------

template <typename F>
void CopyTransparentT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                      int sy, int width, int height) {
    using P = typename F::Pixel;
    if (s.alphaPlane) {
        const InkContext c = MakeInkContext(d, s, 0);
        for (int j = 0; j < height; ++j) {
            const BYTE* a = s.AlphaRow(sy + j) + sx;
            const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
            BYTE* dp = PixelPointer<F>(d, dx, dy + j);
            for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes) {
                if (a[i] == 0) continue;
                if (a[i] == 255)
                    F::Store(dp, F::Load(sp));
                else
                    F::Store(dp, AlphaMix<F>(c, InkColors<F>::Source(c, F::Load(sp)), F::Load(dp), a[i]));
            }
        }
        return;
    }
    const P key = static_cast<P>(s.transparentValue);
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
        BYTE* dp = PixelPointer<F>(d, dx, dy + j);
        if constexpr (F::Bytes == 4) {
            // Kept branch-free so that the compiler turns it into vector selects.
            const P* src = reinterpret_cast<const P*>(sp);
            P* dst = reinterpret_cast<P*>(dp);
            for (int i = 0; i < width; ++i)
                dst[i] = F::SameColor(src[i], key) ? dst[i] : src[i];
        } else {
            for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes) {
                const P v = F::Load(sp);
                if (!F::SameColor(v, key)) F::Store(dp, v);
            }
        }
    }
}

// --- ink blits ---------------------------------------------------------------------------------------

template <typename F, typename Op>
void InkTransparentT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                     int sy, int width, int height, DWORD parameter) {
    using P = typename F::Pixel;
    InkContext c = MakeInkContext(d, s, parameter);
    Op::Prepare(c);
    const P key = static_cast<P>(s.transparentValue);
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
        BYTE* dp = PixelPointer<F>(d, dx, dy + j);
        const BYTE* a = s.alphaPlane ? s.AlphaRow(sy + j) + sx : nullptr;
        for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes) {
            const P sv = F::Load(sp);
            const P dv = F::Load(dp);
            if (a) {
                if (a[i] == 0) continue;
                const P r = Op::Pixel(c, sv, dv);
                F::Store(dp, a[i] == 255 ? r : AlphaMix<F>(c, InkColors<F>::Destination(c, r), dv, a[i]));
            } else if (!F::SameColor(sv, key)) {
                F::Store(dp, Op::Pixel(c, sv, dv));
            }
        }
    }
}

template <typename F, typename Op>
void InkOpaqueT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                int width, int height, DWORD parameter) {
    InkContext c = MakeInkContext(d, s, parameter);
    Op::Prepare(c);
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
        BYTE* dp = PixelPointer<F>(d, dx, dy + j);
        for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes)
            F::Store(dp, Op::RowPixel(c, F::Load(sp), F::Load(dp)));
    }
}

template <typename F, typename Op> struct TransparentInk {
    static void Run(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int w, int h, DWORD p) {
        InkTransparentT<F, Op>(d, dx, dy, s, sx, sy, w, h, p);
    }
};
template <typename F, typename Op> struct OpaqueInk {
    static void Run(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int w, int h, DWORD p) {
        InkOpaqueT<F, Op>(d, dx, dy, s, sx, sy, w, h, p);
    }
};

template <typename F>
void InkBlitTransparentT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                         int sy, int width, int height, int ink, DWORD parameter) {
    static constexpr auto routines = InkRoutines<F, TransparentInk>();
    if (ink > 0 && ink < InkCodeCount && routines[ink])
        routines[ink](d, dx, dy, s, sx, sy, width, height, parameter);
}

template <typename F>
void InkBlitOpaqueT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int width, int height, int ink, DWORD parameter) {
    static constexpr auto routines = InkRoutines<F, OpaqueInk>();
    if (ink > 0 && ink < InkCodeCount && routines[ink])
        routines[ink](d, dx, dy, s, sx, sy, width, height, parameter);
}

// The 15- and 16-bit tables share their ink blits: the operators follow the source's depth.
template <bool Opaque>
void InkBlit16(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
               int width, int height, int ink, DWORD parameter) {
    const auto blit = s.depth == 16 ? (Opaque ? &InkBlitOpaqueT<Format16> : &InkBlitTransparentT<Format16>)
                                    : (Opaque ? &InkBlitOpaqueT<Format15> : &InkBlitTransparentT<Format15>);
    blit(d, dx, dy, s, sx, sy, width, height, ink, parameter);
}

// --- callback blits and conversions -------------------------------------------------------------------

template <typename F, bool Keyed>
void CallbackBlitT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                   int width, int height, PixelCallback callback, LPARAM argument) {
    using P = typename F::Pixel;
    const P key = static_cast<P>(s.transparentValue);
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
        BYTE* dp = PixelPointer<F>(d, dx, dy + j);
        for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes) {
            const P sv = F::Load(sp);
            if (Keyed && F::SameColor(sv, key)) continue;
            const COLORREF result = callback(ColorOf<F>(d, F::Load(dp)), ColorOf<F>(s, sv), argument);
            F::Store(dp, PixelOf<F>(d, result));
        }
    }
}

// The destination pixel of a colour; only black becomes the 0 pixel of a packed format, so that colour keys
// of 0 stay black.
template <typename D> typename D::Pixel ConvertedPixel(const cSurfaceImplementation& d, COLORREF color) {
    auto v = PixelOf<D>(d, color);
    if constexpr (D::Bytes == 2)
        if (v == 0 && color != 0) v = 1;
    return v;
}

template <typename S, typename D>
void ConvertRows(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                 int width, int height) {
    if constexpr (S::Depth == 8) {
        // Every index converts the same way: once each, then by table.
        std::array<typename D::Pixel, PaletteSize> table;
        for (int i = 0; i < PaletteSize; ++i)
            table[static_cast<std::size_t>(i)] = ConvertedPixel<D>(d, ColorOf<S>(s, static_cast<BYTE>(i)));
        for (int j = 0; j < height; ++j) {
            const BYTE* sp = PixelPointer<S>(s, sx, sy + j);
            BYTE* dp = PixelPointer<D>(d, dx, dy + j);
            for (int i = 0; i < width; ++i, dp += D::Bytes)
                D::Store(dp, table[sp[i]]);
        }
        return;
    }
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<S>(s, sx, sy + j);
        BYTE* dp = PixelPointer<D>(d, dx, dy + j);
        for (int i = 0; i < width; ++i, sp += S::Bytes, dp += D::Bytes) {
            D::Store(dp, ConvertedPixel<D>(d, ColorOf<S>(s, S::Load(sp))));
        }
    }
}

template <typename S>
void ConvertBlitT(cSurfaceImplementation& d, int dx, int dy, int, const cSurfaceImplementation& s, int sx,
                  int sy, int width, int height) {
    switch (d.depthIndex) {
    case 0:
        if constexpr (S::Depth != 8) ConvertRows<S, Format8>(d, dx, dy, s, sx, sy, width, height);
        break;
    case 1:
        if constexpr (S::Depth != 15) ConvertRows<S, Format15>(d, dx, dy, s, sx, sy, width, height);
        break;
    case 2:
        if constexpr (S::Depth != 16) ConvertRows<S, Format16>(d, dx, dy, s, sx, sy, width, height);
        break;
    case 3:
        if constexpr (S::Depth != 24) ConvertRows<S, Format24>(d, dx, dy, s, sx, sy, width, height);
        break;
    case 4:
        if constexpr (S::Depth != 32) ConvertRows<S, Format32>(d, dx, dy, s, sx, sy, width, height);
        break;
    default:
        break;
    }
}

// The 15- and 16-bit tables share their conversion: the inner routines follow the source's depth.
void ConvertBlit16(cSurfaceImplementation& d, int dx, int dy, int rowBytes, const cSurfaceImplementation& s,
                   int sx, int sy, int width, int height) {
    if (s.depth == 16)
        ConvertBlitT<Format16>(d, dx, dy, rowBytes, s, sx, sy, width, height);
    else
        ConvertBlitT<Format15>(d, dx, dy, rowBytes, s, sx, sy, width, height);
}

template <typename F> constexpr PixelRoutineTable DepthTable() {
    PixelRoutineTable t{};
    t.SetPixel = &SetPixelT<F>;
    t.GetPixel = &GetPixelT<F>;
    t.FillRect = &FillRectT<F>;
    t.CopyTransparent = &CopyTransparentT<F>;
    t.InkBlitTransparent = &InkBlitTransparentT<F>;
    t.CopyOpaque = &CopyOpaque;
    t.InkBlitOpaque = &InkBlitOpaqueT<F>;
    t.CallbackBlitTransparent = &CallbackBlitT<F, true>;
    t.CallbackBlitOpaque = &CallbackBlitT<F, false>;
    t.MirrorRows = &MirrorRowsT<F>;
    t.ReplaceValue = &ReplaceValueT<F>;
    t.ConvertBlit = &ConvertBlitT<F>;
    t.MeasureRuns = &MeasureRunsT<F>;
    t.EncodeRuns = &EncodeRunsT<F>;
    if constexpr (F::Bytes == 2) {
        t.InkBlitTransparent = &InkBlit16<false>;
        t.InkBlitOpaque = &InkBlit16<true>;
        t.ConvertBlit = &ConvertBlit16;
    }
    return t;
}

constexpr std::array<PixelRoutineTable, 5> plainTables = {DepthTable<Format8>(), DepthTable<Format15>(),
                                                          DepthTable<Format16>(), DepthTable<Format24>(),
                                                          DepthTable<Format32>()};

} // namespace

// --- transparent-run packing ------------------------------------------------------------------------------

namespace {
constexpr int MaxRun = 255;

// Count bytes of one run: one byte, plus a (255, 0) pair for every 255 pixels split off a long run.
DWORD RunCountBytes(int run) {
    DWORD bytes = 1;
    while (run > MaxRun) {
        bytes += 2;
        run -= MaxRun;
    }
    return bytes;
}

BYTE* WriteRun(BYTE* out, int run) {
    while (run > MaxRun) {
        *out++ = MaxRun;
        *out++ = 0;
        run -= MaxRun;
    }
    *out++ = static_cast<BYTE>(run);
    return out;
}

void Put32(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}
DWORD Get32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Walks one row's alternating transparent and opaque runs.
template <typename F, typename Visit>
void WalkRow(const BYTE* row, int width, typename F::Pixel key, Visit&& visit) {
    int x = 0;
    while (x < width) {
        int start = x;
        while (x < width && F::SameColor(F::Load(PixelAt<F>(row, x)), key))
            ++x;
        const int transparent = x - start;
        start = x;
        while (x < width && !F::SameColor(F::Load(PixelAt<F>(row, x)), key))
            ++x;
        visit(transparent, start, x - start);
    }
}
} // namespace

template <typename F>
DWORD MeasureRunsT(BYTE* header, const BYTE* pixels, int width, int height, int pitch, DWORD transparent) {
    const auto key = static_cast<typename F::Pixel>(transparent);
    DWORD runBytes = 0, pixelBytes = 0;
    for (int y = 0; y < height; ++y)
        WalkRow<F>(pixels + static_cast<std::ptrdiff_t>(y) * pitch, width, key, [&](int t, int, int o) {
            runBytes += RunCountBytes(t) + RunCountBytes(o);
            pixelBytes += static_cast<DWORD>(o) * F::Bytes;
        });
    const DWORD table = 8 * static_cast<DWORD>(height);
    const DWORD total = 4 + table + runBytes + pixelBytes;
    Put32(header, total);
    Put32(header + 4, table);
    Put32(header + 8, table + runBytes);
    return total;
}

template <typename F>
void EncodeRunsT(BYTE* buffer, const BYTE* pixels, int width, int height, int pitch, DWORD transparent) {
    const auto key = static_cast<typename F::Pixel>(transparent);
    BYTE* base = buffer + 4;
    DWORD runOffset = Get32(buffer + 4), pixelOffset = Get32(buffer + 8);
    for (int y = 0; y < height; ++y) {
        Put32(base + 8 * y, runOffset);
        Put32(base + 8 * y + 4, pixelOffset);
        const BYTE* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        BYTE* runs = base + runOffset;
        BYTE* out = base + pixelOffset;
        WalkRow<F>(row, width, key, [&](int t, int start, int o) {
            runs = WriteRun(runs, t);
            runs = WriteRun(runs, o);
            const std::size_t bytes = static_cast<std::size_t>(o) * F::Bytes;
            std::memcpy(out, PixelAt<F>(row, start), bytes);
            out += bytes;
        });
        runOffset = static_cast<DWORD>(runs - base);
        pixelOffset = static_cast<DWORD>(out - base);
    }
}

const PixelRoutineTable* GenericPixelRoutineTable(int depthIndex) {
    if (depthIndex < 0 || depthIndex > 4) return nullptr;
    return &plainTables[static_cast<std::size_t>(depthIndex)];
}

} // namespace surfaces
