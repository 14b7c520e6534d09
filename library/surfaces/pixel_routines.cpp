// The pixel routines of every depth, written once over the format traits and the ink operators, and the
// routine tables built from them.
#include "fast_paths.h"
#include "ink_operators.h"
#include "pixel_formats.h"
#include "vtrs2/surface_implementation.h"

#include <array>
#include <cstring>
#include <utility>

using namespace win32;

// The inner loops are written plainly for the compiler to vectorise; ask for it also at -O2.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize")
#endif

namespace surfaces {

template <typename F>
DWORD MeasureRunsT(BYTE* header, const BYTE* pixels, int width, int height, int pitch, DWORD transparent);
template <typename F>
void EncodeRunsT(BYTE* buffer, const BYTE* pixels, int width, int height, int pitch, DWORD transparent);

namespace {

template <typename F> BYTE* PixelPointer(const cSurfaceImplementation& s, int x, int y) {
    return PixelAt<F>(s.Row(y), x);
}

// Per channel (s x a + d x (256 - a)) >> 8 for an alpha byte a of 1..254; fourth byte 0.
template <typename F> typename F::Pixel AlphaMix(typename F::Pixel s, typename F::Pixel d, DWORD a) {
    if constexpr (F::Bytes >= 3) {
        const DWORD b = 256 - a;
        const DWORD rb = (((s & 0xFF00FF) * a + (d & 0xFF00FF) * b) >> 8) & 0xFF00FF;
        const DWORD g = (((s & 0xFF00) * a + (d & 0xFF00) * b) >> 8) & 0xFF00;
        return static_cast<typename F::Pixel>(rb | g);
    } else {
        const DWORD sc = F::ToColor(s), dc = F::ToColor(d), b = 256 - a;
        const DWORD rb = (((sc & 0xFF00FF) * a + (dc & 0xFF00FF) * b) >> 8) & 0xFF00FF;
        const DWORD g = (((sc & 0xFF00) * a + (dc & 0xFF00) * b) >> 8) & 0xFF00;
        return F::FromColor(rb | g);
    }
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
    } else {
        F::Store(p, F::FromColor(color));
    }
}

// At 8 bits only a colour in palette-index form (0x01000000 | index) names its index without a palette.
void SetPixel8(cSurfaceImplementation& s, int x, int y, COLORREF color) {
    if (color & 0x01000000) *PixelPointer<Format8>(s, x, y) = static_cast<BYTE>(color);
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
        typename F::Pixel* q = reinterpret_cast<typename F::Pixel*>(first);
        for (int i = 0; i < width; ++i)
            q[i] = v;
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

// One opaque copy for every depth; rows are moved so that a copy inside one surface stays right.
void CopyOpaqueRows(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * s.bytesPerPixel;
    const bool upwards = d.pixels == s.pixels && d.Row(dy) > s.Row(sy);
    for (int k = 0; k < height; ++k) {
        const int j = upwards ? height - 1 - k : k;
        std::memmove(d.Row(dy + j) + static_cast<std::ptrdiff_t>(dx) * d.bytesPerPixel,
                     s.Row(sy + j) + static_cast<std::ptrdiff_t>(sx) * s.bytesPerPixel, rowBytes);
    }
}

template <typename F>
void CopyTransparentT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                      int sy, int width, int height) {
    using P = typename F::Pixel;
    // An 8-bit source with an alpha plane needs palettes and never reaches this routine.
    if (ColorFormat<F> && s.alphaPlane) {
        for (int j = 0; j < height; ++j) {
            const BYTE* a = s.AlphaRow(sy + j) + sx;
            const BYTE* sp = PixelPointer<F>(s, sx, sy + j);
            BYTE* dp = PixelPointer<F>(d, dx, dy + j);
            for (int i = 0; i < width; ++i, sp += F::Bytes, dp += F::Bytes) {
                if (a[i] == 0) continue;
                if (a[i] == 255)
                    F::Store(dp, F::Load(sp));
                else if constexpr (ColorFormat<F>)
                    F::Store(dp, AlphaMix<F>(F::Load(sp), F::Load(dp), a[i]));
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
    InkContext c;
    c.parameter = parameter;
    c.transparentColor = s.transparentColor;
    c.transparentValue = s.transparentValue;
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
                F::Store(dp, a[i] == 255 ? r : AlphaMix<F>(r, dv, a[i]));
            } else if (!F::SameColor(sv, key)) {
                F::Store(dp, Op::Pixel(c, sv, dv));
            }
        }
    }
}

template <typename F, typename Op>
void InkOpaqueT(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                int width, int height, DWORD parameter) {
    InkContext c;
    c.parameter = parameter;
    c.transparentColor = s.transparentColor;
    c.transparentValue = s.transparentValue;
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
            const COLORREF result =
                callback(F::ToColor(F::Load(dp)) & 0xFFFFFF, F::ToColor(sv) & 0xFFFFFF, argument);
            F::Store(dp, F::FromColor(result & 0xFFFFFF));
        }
    }
}

template <typename S, typename D>
void ConvertRows(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                 int width, int height) {
    for (int j = 0; j < height; ++j) {
        const BYTE* sp = PixelPointer<S>(s, sx, sy + j);
        BYTE* dp = PixelPointer<D>(d, dx, dy + j);
        for (int i = 0; i < width; ++i, sp += S::Bytes, dp += D::Bytes) {
            const COLORREF color = S::ToColor(S::Load(sp)) & 0xFFFFFF;
            auto v = D::FromColor(color);
            // Only black becomes the 0 pixel of a packed format, so that colour keys of 0 stay black.
            if constexpr (D::Bytes == 2)
                if (v == 0 && color != 0) v = 1;
            D::Store(dp, v);
        }
    }
}

template <typename S>
void ConvertBlitT(cSurfaceImplementation& d, int dx, int dy, int, const cSurfaceImplementation& s, int sx,
                  int sy, int width, int height) {
    switch (d.depthIndex) {
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
        // An 8-bit destination needs its palette's nearest-colour search.
        break;
    }
}

template <typename F, bool WithInk> constexpr PixelRoutineTable ColorTable() {
    PixelRoutineTable t{};
    t.SetPixel = &SetPixelT<F>;
    t.GetPixel = &GetPixelT<F>;
    t.FillRect = &FillRectT<F>;
    t.CopyTransparent = &CopyTransparentT<F>;
    t.CopyOpaque = &CopyOpaqueRows;
    t.MirrorRows = &MirrorRowsT<F>;
    t.ReplaceValue = &ReplaceValueT<F>;
    t.ConvertBlit = &ConvertBlitT<F>;
    if constexpr (WithInk) {
        t.InkBlitTransparent = &InkBlitTransparentT<F>;
        t.InkBlitOpaque = &InkBlitOpaqueT<F>;
        t.CallbackBlitTransparent = &CallbackBlitT<F, true>;
        t.CallbackBlitOpaque = &CallbackBlitT<F, false>;
    }
    t.MeasureRuns = &MeasureRunsT<F>;
    t.EncodeRuns = &EncodeRunsT<F>;
    return t;
}

constexpr PixelRoutineTable Table8() {
    PixelRoutineTable t{};
    t.SetPixel = &SetPixel8;
    t.GetPixel = &GetPixelT<Format8>;
    t.FillRect = &FillRectT<Format8>;
    t.CopyTransparent = &CopyTransparentT<Format8>;
    t.CopyOpaque = &CopyOpaqueRows;
    t.MirrorRows = &MirrorRowsT<Format8>;
    t.ReplaceValue = &ReplaceValueT<Format8>;
    t.MeasureRuns = &MeasureRunsT<Format8>;
    t.EncodeRuns = &EncodeRunsT<Format8>;
    return t;
}

// Ink operators and callbacks exist so far for the 32-bit format; the other depths add theirs.
constexpr std::array<PixelRoutineTable, 5> plainTables = {
    Table8(), ColorTable<Format15, false>(), ColorTable<Format16, false>(), ColorTable<Format24, false>(),
    ColorTable<Format32, true>()};

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
