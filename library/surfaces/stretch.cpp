// Scaled blits: the fast nearest-neighbour stretch and the smoothed resampling with its weight tables, and
// the stretch operation that chooses between them and applies inks through a temporary surface.
#include "engine_common.h"
#include "fast_paths.h"
#include "resampling.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface_engine.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

using namespace win32;
using namespace engine;
using surfaces::FastResamplePass;
using surfaces::FastSmoothStretch;

namespace {

// ---- Fast stretch
// ------------------------------------------------------------------------------------------

constexpr std::uint32_t One = 0x10000;

void CopyPixel(BYTE* to, const BYTE* from, int bytes) {
    std::memcpy(to, from, static_cast<std::size_t>(bytes));
}

// Nearest-neighbour row stretch with a 16.16 step of destination pixels per source pixel. Columns outside
// [clipLeft, clipRight) of the destination (counted from x) are passed without being written.
void StretchRow(BYTE* to, const BYTE* from, int bytes, int destinationCount, std::uint32_t step,
                int sourceCount, int x, int clipLeft, int clipRight) {
    auto put = [&](const BYTE* pixel) {
        if (x >= clipLeft && x < clipRight)
            CopyPixel(to + static_cast<std::ptrdiff_t>(x) * bytes, pixel, bytes);
        ++x;
        --destinationCount;
    };
    std::uint32_t accumulator = step;
    if (step >= One) {
        for (int i = 0; i < sourceCount && destinationCount > 0 && x < clipRight; ++i) {
            for (std::uint32_t n = accumulator >> 16; n > 0 && destinationCount > 0; --n)
                put(from + i * bytes);
            accumulator = (accumulator & 0xFFFF) + step;
        }
        if (destinationCount > 0 && x < clipRight) put(from + (sourceCount - 1) * bytes);
        return;
    }
    int groupStart = 0;
    for (int i = 0; i < sourceCount && destinationCount > 0 && x < clipRight; ++i) {
        if (accumulator < One) {
            accumulator += step;
            continue;
        }
        put(from + groupStart * bytes);
        groupStart = i + 1;
        accumulator = (accumulator & 0xFFFF) + step;
    }
    if (destinationCount > 0 && x < clipRight) put(from + std::min(groupStart, sourceCount - 1) * bytes);
}

// Nearest-neighbour scaled copy between surfaces of one depth. Each distinct destination row is stretched
// once and repeated rows are copied. With clipped set, only rows and columns inside the destination's clip
// rectangle are written.
void StretchRect(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy,
                 int dw, int dh, int sw, int sh, bool clipped) {
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    const int bytes = s.bytesPerPixel;
    const auto h = static_cast<std::uint32_t>((static_cast<std::uint64_t>(dw) << 16) / sw);
    const auto v = static_cast<std::uint32_t>((static_cast<std::uint64_t>(dh) << 16) / sh);
    const int top = clipped ? d.clipTop : 0, bottom = clipped ? d.clipBottom : d.height;
    const int left = clipped ? d.clipLeft : 0, right = clipped ? d.clipRight : d.width;
    const int copyLeft = std::max(dx, left), copyRight = std::min(dx + dw, right);
    auto rowVisible = [&](int y) { return y >= top && y < bottom; };
    auto stretch = [&](int y, int sourceRow) {
        StretchRow(d.Row(y), s.Row(sourceRow) + static_cast<std::ptrdiff_t>(sx) * bytes, bytes, dw, h, sw, dx,
                   left, right);
    };
    auto duplicate = [&](int y, int from) {
        if (copyRight > copyLeft)
            std::memmove(d.Row(y) + static_cast<std::ptrdiff_t>(copyLeft) * bytes,
                         d.Row(from) + static_cast<std::ptrdiff_t>(copyLeft) * bytes,
                         static_cast<std::size_t>(copyRight - copyLeft) * bytes);
    };
    std::uint32_t accumulator = v;
    int produced = 0;
    int lastDrawn = INT_MIN; // the destination row written last; a repeated row right below it is a copy
    auto produce = [&](int sourceRow, bool repeat) {
        const int y = dy + produced++;
        if (!rowVisible(y)) return;
        if (repeat && lastDrawn == y - 1)
            duplicate(y, lastDrawn);
        else
            stretch(y, sourceRow);
        lastDrawn = y;
    };
    for (int j = 0; j < sh && produced < dh; ++j) {
        for (bool repeat = false; accumulator >= One && produced < dh; repeat = true) {
            produce(sy + j, repeat);
            accumulator -= One;
        }
        accumulator += v;
    }
    if (produced == 0) {
        produce(sy + sh - 1, false);
        return;
    }
    while (produced < dh)
        produce(sy + sh - 1, true);
}

// ---- Smoothed resampling
// -----------------------------------------------------------------------------------

double Kernel(double t, double a) {
    if (t >= 1) return 0;
    return (2 * (1 - t) * (1 - t) + (1 - t)) / 3 * a;
}

} // namespace

// One entry per destination index of a dimension of d destination and s source pixels.
ResampleWeights engine::BuildResampleWeights(int d, int s) {
    ResampleWeights table;
    const double k = static_cast<double>(d) / s;
    const double r = k < 1 ? 1 / k : 1;
    const double a = k < 1 ? k : 1;
    const int limit = 2 * static_cast<int>(std::ceil(r)) + 1;
    // Rounding can widen a span by one more index than the limit drops; the block keeps room for it.
    const int capacity = limit + 2;
    table.capacity = capacity;
    table.first.resize(static_cast<std::size_t>(d));
    table.count.resize(static_cast<std::size_t>(d));
    table.values.resize(static_cast<std::size_t>(d) * static_cast<std::size_t>(capacity));
    std::vector<double> w(static_cast<std::size_t>(capacity));
    for (int j = 0; j < d; ++j) {
        const double m = j / k;
        int first = std::max(static_cast<int>(std::floor(m - r)), 0);
        int last = std::min(static_cast<int>(std::ceil(m + r)), s - 1);
        if (last - first + 1 > limit) {
            if (first >= s - 1)
                ++first;
            else
                --last;
        }
        std::size_t n = 0;
        for (int i = first; i <= last && n < w.size(); ++i)
            w[n++] = Kernel(std::fabs((m - i) * a), a);
        // Zero weights at either end take no part.
        std::size_t lo = 0, hi = n;
        while (lo < hi && w[lo] == 0)
            ++lo;
        while (hi > lo && w[hi - 1] == 0)
            --hi;
        const auto at = static_cast<std::size_t>(j);
        int* values = table.values.data() + at * static_cast<std::size_t>(capacity);
        double sum = 0;
        for (std::size_t i = lo; i < hi; ++i)
            sum += w[i];
        if (sum <= 0) {
            table.first[at] = std::clamp(static_cast<int>(m), 0, s - 1);
            table.count[at] = 1;
            values[0] = static_cast<int>(One);
            continue;
        }
        table.first[at] = first + static_cast<int>(lo);
        table.count[at] = static_cast<int>(hi - lo);
        for (std::size_t i = lo; i < hi; ++i)
            values[i - lo] = static_cast<int>(w[i] / sum * One);
    }
    return table;
}

namespace {

// Pixels in the working form: blue, green, red in bytes 0, 1, 2 (8-bit surfaces carry their byte in 0).
struct RowCodec {
    const cSurfaceImplementation& surface;
    DWORD Read(const BYTE* row, int x) const {
        const BYTE* p = row + static_cast<std::ptrdiff_t>(x) * surface.bytesPerPixel;
        switch (surface.depth) {
        case 8:
            return p[0];
        case 15:
        case 16: {
            const unsigned v = p[0] | (p[1] << 8);
            const bool six = surface.depth == 16;
            const unsigned r = six ? (v >> 11) << 3 : ((v >> 10) & 0x1F) << 3;
            const unsigned g = six ? ((v >> 5) & 0x3F) << 2 : ((v >> 5) & 0x1F) << 3;
            return ((v & 0x1F) << 3) | (g << 8) | (r << 16);
        }
        default:
            return p[0] | (p[1] << 8) | (static_cast<DWORD>(p[2]) << 16);
        }
    }
    void Write(BYTE* row, int x, DWORD v) const {
        BYTE* p = row + static_cast<std::ptrdiff_t>(x) * surface.bytesPerPixel;
        const unsigned b = v & 0xFF, g = (v >> 8) & 0xFF, r = (v >> 16) & 0xFF;
        switch (surface.depth) {
        case 8:
            p[0] = static_cast<BYTE>(b);
            break;
        case 15:
        case 16: {
            const unsigned w = surface.depth == 16 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                                   : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            p[0] = static_cast<BYTE>(w);
            p[1] = static_cast<BYTE>(w >> 8);
            break;
        }
        default:
            p[0] = static_cast<BYTE>(b);
            p[1] = static_cast<BYTE>(g);
            p[2] = static_cast<BYTE>(r);
            break;
        }
    }
    int Channels() const { return surface.depth == 8 ? 1 : 3; }
};

DWORD WorkingTransparent(const cSurfaceImplementation& s, COLORREF transparent) {
    if (s.depth == 8) return s.transparentValue & 0xFF;
    DWORD bgr = ((transparent & 0xFF) << 16) | (transparent & 0xFF00) | ((transparent >> 16) & 0xFF);
    // Packed depths compare what a pixel of that colour reads back as.
    if (s.depth == 15) bgr &= 0xF8F8F8;
    if (s.depth == 16) bgr &= 0xF8FCF8;
    return bgr;
}

// A source row decoded into working pixels, with its transparency when asked.
struct DecodedRow {
    std::vector<DWORD> pixels;
    std::vector<BYTE> clear;
};

void DecodeRow(const cSurfaceImplementation& s, const RowCodec& codec, int sx, int sw, int y, bool aware,
               DWORD key, DecodedRow& row) {
    row.pixels.resize(static_cast<std::size_t>(sw));
    const BYTE* in = s.Row(y);
    if (s.depth == 32) {
        // The common case without a per-pixel format switch: the colour bytes of each 32-bit word.
        const BYTE* p = in + static_cast<std::ptrdiff_t>(sx) * 4;
        for (int i = 0; i < sw; ++i, p += 4) {
            DWORD v;
            std::memcpy(&v, p, 4);
            row.pixels[static_cast<std::size_t>(i)] = v & 0xFFFFFF;
        }
    } else {
        for (int i = 0; i < sw; ++i)
            row.pixels[static_cast<std::size_t>(i)] = codec.Read(in, sx + i);
    }
    if (!aware) return;
    row.clear.resize(static_cast<std::size_t>(sw));
    const DWORD mask = s.depth == 8 ? 0xFF : 0xFFFFFF;
    for (int i = 0; i < sw; ++i)
        row.clear[static_cast<std::size_t>(i)] =
            s.alphaPlane ? s.AlphaRow(y)[sx + i] == 0
                         : ((row.pixels[static_cast<std::size_t>(i)] ^ key) & mask) == 0;
}

bool Resample(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
              cSurfaceImplementation* destination, int dw, int dh, bool aware, COLORREF transparent,
              bool horizontal) {
    if (!source || !destination || sw <= 0 || sh <= 0) return false;
    dw = std::max(dw, 1);
    dh = std::max(dh, 1);
    if (sx < 0 || sy < 0 || sx + sw > source->width || sy + sh > source->height) return false;
    const int outWidth = horizontal ? dw : sw, outHeight = horizontal ? sh : dh;
    if (outWidth > destination->width || outHeight > destination->height) return false;
    if ((source->depth == 8) != (destination->depth == 8)) return false;
    PixelLock sourceLock(*source);
    PixelLock destinationLock(*destination);
    if (!sourceLock || !destinationLock) return false;
    if (FastResamplePass(*source, sx, sy, sw, sh, *destination, dw, dh, horizontal, aware, transparent))
        return true;
    const RowCodec in{*source}, out{*destination};
    const DWORD key = WorkingTransparent(*source, transparent);
    const DWORD keyOut = WorkingTransparent(*destination, transparent);
    auto store = [&](BYTE* row, int x, DWORD v) {
        if (aware && v == key) v = keyOut;
        if (destination->depth == 32) {
            // The fourth byte is written too (as 0), so that nothing left in a new surface's memory shows.
            std::memcpy(row + static_cast<std::ptrdiff_t>(x) * 4, &v, 4);
            return;
        }
        out.Write(row, x, v);
    };
    DecodedRow row;
    if (horizontal) {
        const auto table = BuildResampleWeights(dw, sw);
        for (int y = 0; y < sh; ++y) {
            DecodeRow(*source, in, sx, sw, sy + y, aware, key, row);
            BYTE* target = destination->Row(y);
            for (int j = 0; j < dw; ++j) {
                const int* weights = table.Values(j);
                const auto first = static_cast<std::size_t>(table.first[static_cast<std::size_t>(j)]);
                Accumulator acc;
                for (int k = 0; k < table.count[static_cast<std::size_t>(j)]; ++k) {
                    const auto i = first + static_cast<std::size_t>(k);
                    const auto w = static_cast<std::uint32_t>(weights[k]);
                    if (aware && row.clear[i])
                        acc.clear += w;
                    else
                        acc.Add(w, row.pixels[i]);
                }
                store(target, j, acc.Result(aware, key));
            }
        }
        return true;
    }
    // Down the columns, a whole row at a time so that memory is read in order; every source row is decoded
    // once.
    const auto table = BuildResampleWeights(dh, sh);
    const auto width = static_cast<std::size_t>(sw);
    std::vector<DWORD> decoded(width * static_cast<std::size_t>(sh));
    std::vector<BYTE> clear(aware ? decoded.size() : 0);
    for (int y = 0; y < sh; ++y) {
        DecodeRow(*source, in, sx, sw, sy + y, aware, key, row);
        std::copy(row.pixels.begin(), row.pixels.end(),
                  decoded.begin() + static_cast<std::ptrdiff_t>(y * width));
        if (aware)
            std::copy(row.clear.begin(), row.clear.end(),
                      clear.begin() + static_cast<std::ptrdiff_t>(y * width));
    }
    std::vector<std::uint32_t> sums(3 * width), opaque(aware ? width : 0), clearWeight(aware ? width : 0);
    for (int j = 0; j < dh; ++j) {
        std::fill(sums.begin(), sums.end(), 0x8000u);
        std::fill(opaque.begin(), opaque.end(), 0u);
        std::fill(clearWeight.begin(), clearWeight.end(), 0u);
        const int* weights = table.Values(j);
        for (int k = 0; k < table.count[static_cast<std::size_t>(j)]; ++k) {
            const std::size_t base = (static_cast<std::size_t>(table.first[static_cast<std::size_t>(j)]) +
                                      static_cast<std::size_t>(k)) *
                                     width;
            const DWORD* pixels = decoded.data() + base;
            const auto w = static_cast<std::uint32_t>(weights[k]);
            if (!aware) {
                for (std::size_t x = 0; x < width; ++x) {
                    sums[x] += w * (pixels[x] & 0xFF);
                    sums[width + x] += w * ((pixels[x] >> 8) & 0xFF);
                    sums[2 * width + x] += w * ((pixels[x] >> 16) & 0xFF);
                }
                continue;
            }
            for (std::size_t x = 0; x < width; ++x) {
                if (clear[base + x]) {
                    clearWeight[x] += w;
                    continue;
                }
                opaque[x] += w;
                sums[x] += w * (pixels[x] & 0xFF);
                sums[width + x] += w * ((pixels[x] >> 8) & 0xFF);
                sums[2 * width + x] += w * ((pixels[x] >> 16) & 0xFF);
            }
        }
        BYTE* target = destination->Row(j);
        for (std::size_t x = 0; x < width; ++x) {
            Accumulator acc;
            acc.sums[0] = sums[x];
            acc.sums[1] = sums[width + x];
            acc.sums[2] = sums[2 * width + x];
            if (aware) {
                acc.opaque = opaque[x];
                acc.clear = clearWeight[x];
            }
            store(target, static_cast<int>(x), acc.Result(aware, key));
        }
    }
    return true;
}

// A grey view over a surface's alpha plane, for operations that treat the plane as an 8-bit image.
class AlphaView {
public:
    explicit AlphaView(cSurfaceImplementation& s)
        : view_(s.alphaPlane ? new cAlphaBufferSurface(s.alphaPlane, s.width, s.height, s.signedAlphaPitch)
                             : nullptr) {
        if (view_)
            view_->SetClipRect(s.clipLeft, s.clipTop, s.clipRight - s.clipLeft, s.clipBottom - s.clipTop);
    }
    ~AlphaView() {
        if (view_) view_->Delete();
    }
    AlphaView(const AlphaView&) = delete;
    AlphaView& operator=(const AlphaView&) = delete;
    cSurfaceImplementation* get() const { return view_; }

private:
    cSurfaceImplementation* view_;
};

} // namespace

int ResampleHorizontal(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                       cSurfaceImplementation* destination, int dw, int dh, int aware, COLORREF transparent) {
    return Resample(source, sx, sy, sw, sh, destination, dw, dh, aware != 0, transparent, true) ? 1 : 0;
}

int ResampleVertical(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                     cSurfaceImplementation* destination, int dw, int dh, int aware, COLORREF transparent) {
    return Resample(source, sx, sy, sw, sh, destination, dw, dh, aware != 0, transparent, false) ? 1 : 0;
}

int ResampleRect(cSurfaceImplementation* source, int sx, int sy, int sw, int sh,
                 cSurfaceImplementation* destination, int dw, int dh, int aware, COLORREF transparent) {
    if (!source || !destination) return 0;
    dw = std::max(dw, 1);
    dh = std::max(dh, 1);
    if (dw == sw) {
        if (dh == sh) return source->Blit(destination, 0, 0, sx, sy, sw, sh, 0, 0, 0, 0);
        return ResampleVertical(source, sx, sy, sw, sh, destination, dw, dh, aware, transparent);
    }
    if (dh == sh) return ResampleHorizontal(source, sx, sy, sw, sh, destination, dw, dh, aware, transparent);
    Temporary across(source->CreateSameKind(dw, sh));
    if (!across) return 0;
    if (!ResampleHorizontal(source, sx, sy, sw, sh, across.get(), dw, sh, aware, transparent)) return 0;
    return ResampleVertical(across.get(), 0, 0, dw, sh, destination, dw, dh, aware, transparent);
}

int cSurfaceImplementation::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                        int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                                        int ink, LPARAM parameter, int stretchFlags) {
    if (w == sourceWidth && h == sourceHeight)
        return Blit(destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter,
                    (stretchFlags & StretchFlagScaleAlpha) ? BlitFlagCopyAlpha : 0);
    if (mode < 0 || mode >= 2 || (ink & InkCodeMask) >= InkCodeLimit || !destination ||
        destination->IsDCOnly())
        return 0;
    if (sourceX < 0 || sourceWidth < 1 || sourceX + sourceWidth > width || sourceY < 0 || sourceHeight < 1 ||
        sourceY + sourceHeight > height || w < 1 || h < 1)
        return 0;
    const int left = std::max(x, destination->clipLeft), top = std::max(y, destination->clipTop);
    const int right =
        static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, destination->clipRight));
    const int bottom =
        static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, destination->clipBottom));
    if (right <= left || bottom <= top) return 0;
    const bool cut = left != x || top != y || right - left != w || bottom - top != h;
    if (destination->CanStretchBlitFrom())
        return destination->StretchBlitFrom(this, x, y, w, h, sourceX, sourceY, sourceWidth, sourceHeight,
                                            mode, ink, parameter, stretchFlags);
    const Ink reduced = ReduceInk(ink, parameter);
    if (reduced.refused) return 0;
    if (!reduced.draw) return 1;
    const int copyAlpha = (stretchFlags & StretchFlagScaleAlpha) ? BlitFlagCopyAlpha : 0;
    const bool smooth = stretchFlags & (StretchFlagSmooth | StretchFlagSmoothAware);

    if (smooth) {
        const bool aware = (stretchFlags & StretchFlagSmoothAware) || alphaPlane;
        if (mode == 0 && reduced.effect == 0 && !aware &&
            FastSmoothStretch(*this, sourceX, sourceY, sourceWidth, sourceHeight, *destination, x, y, w, h,
                              left, top, right, bottom))
            return 1;
        Temporary scaled(CreateSameKind(w, h));
        if (!scaled) return 0;
        if (!ResampleRect(this, sourceX, sourceY, sourceWidth, sourceHeight, scaled.get(), w, h, aware,
                          transparentColor))
            return 0;
        if (alphaPlane && (mode == 1 || (stretchFlags & StretchFlagScaleAlpha)) &&
            scaled->AllocateAlphaPlane()) {
            AlphaView from(*this), to(*scaled.get());
            if (from.get() && to.get())
                from.get()->StretchBlit(to.get(), 0, 0, w, h, sourceX, sourceY, sourceWidth, sourceHeight, 0,
                                        0, 0, StretchFlagSmooth);
        }
        scaled->Blit(destination, x, y, 0, 0, w, h, mode, reduced.effect, reduced.coefficient, copyAlpha);
        return 1;
    }
    if (destination->depth == depth && mode == 0 && reduced.effect == 0) {
        PixelLock sourceLock(*this);
        PixelLock destinationLock(*destination);
        if (!sourceLock || !destinationLock) return 0;
        StretchRect(*destination, x, y, *this, sourceX, sourceY, w, h, sourceWidth, sourceHeight, cut);
        if ((stretchFlags & StretchFlagScaleAlpha) && alphaPlane &&
            (destination->alphaPlane || destination->AllocateAlphaPlane())) {
            AlphaView from(*this), to(*destination);
            StretchRect(*to.get(), x, y, *from.get(), sourceX, sourceY, w, h, sourceWidth, sourceHeight, cut);
        }
        return 1;
    }
    // Other depths and inks: stretch into a temporary of this kind, then blit it with the ink.
    Temporary scaled(CreateSameKind(right - left, bottom - top));
    if (!scaled) return 0;
    scaled->FillRect(0, 0, right - left, bottom - top, transparentColor);
    StretchBlit(scaled.get(), x - left, y - top, w, h, sourceX, sourceY, sourceWidth, sourceHeight, 0, 0, 0,
                (mode == 1 || (stretchFlags & StretchFlagScaleAlpha)) ? StretchFlagScaleAlpha : 0);
    scaled->Blit(destination, left, top, 0, 0, right - left, bottom - top, mode, reduced.effect,
                 reduced.coefficient, copyAlpha);
    return 1;
}
