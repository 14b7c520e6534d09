// Copies and ink blits whose source holds transparent-run packed pixels instead of plain rows. Only the
// four blit slots are filled; every other operation unpacks such a surface first.
#include "ink_operators.h"
#include "pixel_formats.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <array>

using namespace win32;

namespace surfaces {
namespace {

DWORD Get32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Walks the runs of the rows sy .. sy + height - 1 and hands every part that falls inside the columns
// sx .. sx + width - 1 to the visitor: transparent(destination, count) and opaque(destination, source,
// count). Reads stop at the end of the encoding, whatever its run bytes say.
template <typename F, typename Transparent, typename Opaque>
void WalkPacked(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                int width, int height, Transparent&& transparent, Opaque&& opaque) {
    const BYTE* encoding = s.pixels;
    const DWORD total = Get32(encoding);
    const BYTE* end = encoding + total;
    const BYTE* base = encoding + 4;
    if (static_cast<DWORD>(4 + 8 * (sy + 1)) > total) return;
    const BYTE* runs = base + Get32(base + 8 * sy);
    const BYTE* pixels = base + Get32(base + 8 * sy + 4);
    const int right = sx + width;
    for (int row = 0; row < height; ++row) {
        BYTE* out = d.Row(dy + row);
        int x = 0;
        bool opaqueRun = false;
        while (x < s.width) {
            if (runs >= end) return;
            const int count = *runs++;
            const int from = std::max(x, sx), to = std::min(x + count, right);
            if (opaqueRun) {
                if (pixels + static_cast<std::ptrdiff_t>(count) * F::Bytes > end) return;
                if (from < to)
                    opaque(PixelAt<F>(out, dx + from - sx), PixelAt<F>(pixels, from - x), to - from);
                pixels += static_cast<std::ptrdiff_t>(count) * F::Bytes;
            } else if (from < to) {
                transparent(PixelAt<F>(out, dx + from - sx), to - from);
            }
            x += count;
            opaqueRun = !opaqueRun;
        }
        // A row that ends on a transparent run still has its closing opaque count.
        if (opaqueRun && runs < end) ++runs;
    }
}

template <typename F> void CopyRun(BYTE* d, const BYTE* s, int n) {
    std::copy(s, s + static_cast<std::ptrdiff_t>(n) * F::Bytes, d);
}

template <typename F>
void PackedCopyTransparent(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                           int sy, int w, int h) {
    WalkPacked<F>(
        d, dx, dy, s, sx, sy, w, h, [](BYTE*, int) {}, &CopyRun<F>);
}

// The opaque copy writes the transparent value under transparent runs.
template <typename F>
void PackedCopyOpaque(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                      int sy, int w, int h) {
    const auto key = static_cast<typename F::Pixel>(s.transparentValue);
    WalkPacked<F>(
        d, dx, dy, s, sx, sy, w, h,
        [key](BYTE* out, int n) {
            for (int i = 0; i < n; ++i)
                F::Store(out + static_cast<std::ptrdiff_t>(i) * F::Bytes, key);
        },
        &CopyRun<F>);
}

template <typename F, typename Op> struct PackedInkTransparent {
    static void Run(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int w, int h, DWORD parameter) {
        InkContext c = MakeInkContext(d, s, parameter);
        Op::Prepare(c);
        WalkPacked<F>(
            d, dx, dy, s, sx, sy, w, h, [](BYTE*, int) {},
            [&c](BYTE* out, const BYTE* in, int n) {
                for (int i = 0; i < n; ++i, out += F::Bytes, in += F::Bytes)
                    F::Store(out, Op::Pixel(c, F::Load(in), F::Load(out)));
            });
    }
};

template <typename F, typename Op> struct PackedInkOpaque {
    static void Run(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                    int sy, int w, int h, DWORD parameter) {
        InkContext c = MakeInkContext(d, s, parameter);
        Op::Prepare(c);
        WalkPacked<F>(
            d, dx, dy, s, sx, sy, w, h,
            [&c](BYTE* out, int n) {
                for (int i = 0; i < n; ++i, out += F::Bytes)
                    F::Store(out, Op::KeyPixel(c, F::Load(out)));
            },
            [&c](BYTE* out, const BYTE* in, int n) {
                for (int i = 0; i < n; ++i, out += F::Bytes, in += F::Bytes)
                    F::Store(out, Op::RowPixel(c, F::Load(in), F::Load(out)));
            });
    }
};

template <typename F>
void PackedInkBlitTransparent(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s,
                              int sx, int sy, int w, int h, int ink, DWORD parameter) {
    static constexpr auto routines = InkRoutines<F, PackedInkTransparent>();
    if (ink > 0 && ink < InkCodeCount && routines[ink]) routines[ink](d, dx, dy, s, sx, sy, w, h, parameter);
}

template <typename F>
void PackedInkBlitOpaque(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                         int sy, int w, int h, int ink, DWORD parameter) {
    static constexpr auto routines = InkRoutines<F, PackedInkOpaque>();
    if (ink > 0 && ink < InkCodeCount && routines[ink]) routines[ink](d, dx, dy, s, sx, sy, w, h, parameter);
}

template <typename F> constexpr PixelRoutineTable PackedTable() {
    PixelRoutineTable t{};
    t.CopyTransparent = &PackedCopyTransparent<F>;
    t.InkBlitTransparent = &PackedInkBlitTransparent<F>;
    t.CopyOpaque = &PackedCopyOpaque<F>;
    t.InkBlitOpaque = &PackedInkBlitOpaque<F>;
    return t;
}

constexpr std::array<PixelRoutineTable, 5> packedTables = {PackedTable<Format8>(), PackedTable<Format15>(),
                                                           PackedTable<Format16>(), PackedTable<Format24>(),
                                                           PackedTable<Format32>()};

} // namespace
} // namespace surfaces

const PixelRoutineTable* GetPackedSourceRoutineTable(int depthIndex) {
    if (depthIndex < 0 || depthIndex > 4) return nullptr;
    return &surfaces::packedTables[static_cast<std::size_t>(depthIndex)];
}
