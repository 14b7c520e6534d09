// The 32-bit fast paths: fills, keyed copies, copies through the alpha plane, every ink keyed, opaque and
// through the alpha plane, and the row kernels of the smoothed stretch. Each is vectorised once with
// Highway and compiled for every instruction set it knows; the first call picks the best one the
// processor has. They compute exactly what the generic routines compute, lane by lane.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "surfaces/fast_paths_32.cpp"
// SSE4 is the oldest instruction set worth its own copy; processors without it keep the generic routines.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SSSE3
#endif
#include <hwy/foreach_target.h> // before highway.h
#include <hwy/highway.h>

#include "fast_paths.h"
#include "ink_operators.h"
#include "pixel_formats.h"
#include "resampling.h"
#include "vtrs2/pixel_kernels_testing.h"

#include <algorithm>
#include <cstring>

#ifndef VTR_FAST_PATHS_32_SHARED
#define VTR_FAST_PATHS_32_SHARED
namespace surfaces::fast32 {

using win32::BYTE;

// The rows of one blit: destination, source and the source's alpha plane, each with its row step.
struct Rows {
    BYTE* destination;
    std::ptrdiff_t destinationStep;
    const BYTE* source;
    std::ptrdiff_t sourceStep;
    const BYTE* alpha;
    std::ptrdiff_t alphaStep;
    int width;
    int height;
};

// The per-blit values of an ink, as the generic operators prepare them.
struct InkConstants {
    std::uint32_t destinationWeight;
    std::uint32_t sourceWeight;
    std::uint32_t keyOrReplacement;
    std::uint32_t sourceKey;
};

// Which source pixels an ink blit draws: all of them, those that differ from the key, or by alpha.
enum Coverage : int { CoverAll, CoverKeyed, CoverAlpha };

inline std::uint32_t LoadWord(const BYTE* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// One output pixel of a resampling pass from its taps, for the last pixels of a row: tap(t, weight, pixel)
// answers whether the pixel is transparent.
template <typename Tap> std::uint32_t ResamplePixel(int taps, bool aware, std::uint32_t key, Tap&& tap) {
    engine::Accumulator sums;
    for (int t = 0; t < taps; ++t) {
        std::uint32_t weight = 0, pixel = 0;
        if (tap(t, weight, pixel))
            sums.clear += weight;
        else
            sums.Add(weight, pixel);
    }
    return sums.Result(aware, key);
}

} // namespace surfaces::fast32
#endif

HWY_BEFORE_NAMESPACE();
namespace surfaces {
namespace fast32 {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR
// One-lane vectors cannot be split into bytes; this copy is never installed (see VectorTarget).
void InkRows(const Rows&, int, int, const InkConstants&) {}
void FillRows(BYTE*, std::ptrdiff_t, int, int, std::uint32_t) {}
void HorizontalRow(const BYTE*, const std::uint32_t*, BYTE*, const TapTable&, int, int, std::uint32_t) {}
void VerticalRow(const BYTE* const*, const BYTE* const*, const std::uint32_t*, int, BYTE*, int,
                 std::uint32_t) {}
#else

using D = hn::ScalableTag<std::uint32_t>;
using V = hn::Vec<D>;
using D16 = hn::Repartition<std::uint16_t, D>;
using V16 = hn::Vec<D16>;
using D8 = hn::Repartition<std::uint8_t, D>;
using DI = hn::Rebind<std::int32_t, D>;

HWY_INLINE V Load(D d, const BYTE* p) {
    return hn::LoadU(d, reinterpret_cast<const std::uint32_t*>(p));
}
HWY_INLINE void Store(D d, V v, BYTE* p) {
    hn::StoreU(v, d, reinterpret_cast<std::uint32_t*>(p));
}
HWY_INLINE V LoadAlpha(D d, const BYTE* p) {
    return hn::PromoteTo(d, hn::LoadU(hn::Rebind<std::uint8_t, D>(), p));
}
HWY_INLINE V Low24(D d, V v) {
    return hn::And(v, hn::Set(d, 0x00FFFFFFu));
}

// Per channel (a x wa + b x wb) >> Shift, in 16-bit lanes: blue with red, green with the fourth byte,
// which comes out 0. Every product and sum stays below 65536 for the weights the operators use.
template <int Shift> HWY_INLINE V Mix(D d, V a, V b, V16 wa, V16 wb) {
    const D16 d16;
    const V m = hn::Set(d, 0x00FF00FFu);
    const V16 aLow = hn::BitCast(d16, hn::And(a, m)),
              aHigh = hn::BitCast(d16, hn::And(hn::ShiftRight<8>(a), m));
    const V16 bLow = hn::BitCast(d16, hn::And(b, m)),
              bHigh = hn::BitCast(d16, hn::And(hn::ShiftRight<8>(b), m));
    const V16 low = hn::ShiftRight<Shift>(hn::Add(hn::Mul(aLow, wa), hn::Mul(bLow, wb)));
    const V16 high = hn::ShiftRight<Shift>(hn::Add(hn::Mul(aHigh, wa), hn::Mul(bHigh, wb)));
    return Low24(d, hn::Or(hn::BitCast(d, low), hn::ShiftLeft<8>(hn::BitCast(d, high))));
}

// The operators, each in its keyed form (Pixel) and its opaque form (Row); they differ only for Invert.
struct CopyOp {
    static constexpr bool IgnoresDestination = true;
    CopyOp(D, const InkConstants&) {}
    V Pixel(D, V s, V) const { return s; }
    V Row(D, V s, V) const { return s; }
};
struct BlendOp {
    static constexpr bool IgnoresDestination = false;
    V16 destinationWeight, sourceWeight;
    BlendOp(D, const InkConstants& k)
        : destinationWeight(hn::Set(D16(), static_cast<std::uint16_t>(k.destinationWeight))),
          sourceWeight(hn::Set(D16(), static_cast<std::uint16_t>(k.sourceWeight))) {}
    V Pixel(D d, V s, V t) const { return Mix<7>(d, s, t, sourceWeight, destinationWeight); }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};
struct InvertOp {
    static constexpr bool IgnoresDestination = true;
    InvertOp(D, const InkConstants&) {}
    V Pixel(D d, V s, V) const { return hn::Xor(s, hn::Set(d, 0x00FFFFFFu)); }
    V Row(D, V s, V) const { return hn::Not(s); }
};
struct XorOp {
    static constexpr bool IgnoresDestination = false;
    XorOp(D, const InkConstants&) {}
    V Pixel(D, V s, V t) const { return hn::Xor(s, t); }
    V Row(D, V s, V t) const { return hn::Xor(s, t); }
};
struct AndOp {
    static constexpr bool IgnoresDestination = false;
    AndOp(D, const InkConstants&) {}
    V Pixel(D, V s, V t) const { return hn::And(s, t); }
    V Row(D, V s, V t) const { return hn::And(s, t); }
};
struct OrOp {
    static constexpr bool IgnoresDestination = false;
    OrOp(D, const InkConstants&) {}
    V Pixel(D, V s, V t) const { return hn::Or(s, t); }
    V Row(D, V s, V t) const { return hn::Or(s, t); }
};
struct BlendReplaceTransparentOp {
    static constexpr bool IgnoresDestination = false;
    BlendOp blend;
    V replacement, transparent;
    BlendReplaceTransparentOp(D d, const InkConstants& k)
        : blend(d, k), replacement(hn::Set(d, k.keyOrReplacement)), transparent(hn::Set(d, k.sourceKey)) {}
    V Pixel(D d, V s, V t) const {
        return blend.Pixel(d, s, hn::IfThenElse(hn::Eq(Low24(d, t), transparent), replacement, t));
    }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};
struct AndNotOp {
    static constexpr bool IgnoresDestination = false;
    AndNotOp(D, const InkConstants&) {}
    V Pixel(D, V s, V t) const { return hn::AndNot(s, t); }
    V Row(D, V s, V t) const { return hn::AndNot(s, t); }
};
struct AddOp {
    static constexpr bool IgnoresDestination = false;
    AddOp(D, const InkConstants&) {}
    V Pixel(D d, V s, V t) const {
        const D8 d8;
        return Low24(d, hn::BitCast(d, hn::SaturatedAdd(hn::BitCast(d8, s), hn::BitCast(d8, t))));
    }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};
struct MonoOp {
    static constexpr bool IgnoresDestination = true;
    MonoOp(D, const InkConstants&) {}
    V Pixel(D d, V s, V) const {
        const V byte = hn::Set(d, 0xFFu);
        const V blue = hn::And(s, byte), green = hn::And(hn::ShiftRight<8>(s), byte),
                red = hn::And(hn::ShiftRight<16>(s), byte);
        // 2 x blue + 9 x green + 5 x red
        const V sum = hn::Add(hn::Add(hn::ShiftLeft<1>(blue), hn::Add(hn::ShiftLeft<3>(green), green)),
                              hn::Add(hn::ShiftLeft<2>(red), red));
        const V grey = hn::ShiftRight<4>(sum);
        return hn::Or(grey, hn::Or(hn::ShiftLeft<8>(grey), hn::ShiftLeft<16>(grey)));
    }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};
struct SubOp {
    static constexpr bool IgnoresDestination = false;
    SubOp(D, const InkConstants&) {}
    V Pixel(D d, V s, V t) const {
        const D8 d8;
        return Low24(d, hn::BitCast(d, hn::SaturatedSub(hn::BitCast(d8, t), hn::BitCast(d8, s))));
    }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};
struct BlendKeyedOp {
    static constexpr bool IgnoresDestination = false;
    BlendOp blend;
    V key;
    BlendKeyedOp(D d, const InkConstants& k) : blend(d, k), key(hn::Set(d, k.keyOrReplacement & 0xFFFFFF)) {}
    V Pixel(D d, V s, V t) const { return hn::IfThenElse(hn::Eq(Low24(d, t), key), t, blend.Pixel(d, s, t)); }
    V Row(D d, V s, V t) const { return Pixel(d, s, t); }
};

// What the operator's result does to the destination, by coverage: operator() for a vector of values,
// Draw for a vector of pixels in place, which may skip what it need not read or write.
template <class Op> struct AllPixels {
    static constexpr bool UsesAlpha = false;
    Op op;
    V operator()(D d, V s, V t, V) const { return op.Row(d, s, t); }
    HWY_INLINE void Draw(D d, const BYTE* s, const BYTE*, BYTE* out) const {
        Store(d, op.Row(d, Load(d, s), Load(d, out)), out);
    }
};
template <class Op> struct KeyedPixels {
    static constexpr bool UsesAlpha = false;
    Op op;
    V key;
    V operator()(D d, V s, V t, V) const {
        return hn::IfThenElse(hn::Eq(Low24(d, s), key), t, op.Pixel(d, s, t));
    }
    // Masked stores measure slower than a load and a select here; vectors wholly of the key are skipped.
    HWY_INLINE void Draw(D d, const BYTE* s, const BYTE*, BYTE* out) const {
        const V sv = Load(d, s);
        const auto drawn = hn::Ne(Low24(d, sv), key);
        if (hn::AllFalse(d, drawn)) return;
        const V t = Load(d, out);
        Store(d, hn::IfThenElse(drawn, op.Pixel(d, sv, t), t), out);
    }
};
template <class Op> struct AlphaPixels {
    static constexpr bool UsesAlpha = true;
    Op op;
    V operator()(D d, V s, V t, V a) const {
        const D16 d16;
        const V r = op.Pixel(d, s, t);
        const V16 weight = hn::BitCast(d16, hn::Or(a, hn::ShiftLeft<16>(a)));
        const V mixed = Mix<8>(d, r, t, weight, hn::Sub(hn::Set(d16, 256), weight));
        const V drawn = hn::IfThenElse(hn::Eq(a, hn::Set(d, 255u)), r, mixed);
        return hn::IfThenElse(hn::Eq(a, hn::Zero(d)), t, drawn);
    }
    // Alpha planes are mostly 0 and 255: such vectors are skipped, or drawn without mixing.
    HWY_INLINE void Draw(D d, const BYTE* s, const BYTE* a, BYTE* out) const {
        const V alpha = LoadAlpha(d, a);
        const auto clear = hn::Eq(alpha, hn::Zero(d));
        if (hn::AllTrue(d, clear)) return;
        const V sv = Load(d, s), t = Load(d, out);
        if constexpr (Op::IgnoresDestination) {
            const auto opaque = hn::Eq(alpha, hn::Set(d, 255u));
            if (hn::AllTrue(d, hn::Or(clear, opaque))) {
                Store(d, hn::IfThenElse(opaque, op.Pixel(d, sv, t), t), out);
                return;
            }
        }
        Store(d, (*this)(d, sv, t, alpha), out);
    }
};

// The last pixels of a row, fewer than a vector. AVX2 and AVX-512 load and store 32-bit lanes under a mask
// that touches no byte outside it; SSE4 goes through a buffer. Alpha bytes always go through a buffer.
template <class Pixels>
HWY_INLINE void DrawPartial(D d, const Pixels& pixels, const BYTE* s, const BYTE* a, BYTE* out,
                            std::size_t count) {
    constexpr std::size_t lanes = HWY_LANES(std::uint32_t);
    V alpha = hn::Zero(d);
    if (Pixels::UsesAlpha) {
        HWY_ALIGN BYTE bytes[lanes] = {};
        std::memcpy(bytes, a, count);
        alpha = LoadAlpha(d, bytes);
    }
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL || HWY_TARGET == HWY_AVX2
    const auto used = hn::FirstN(d, count);
    auto* target = reinterpret_cast<std::uint32_t*>(out);
    const V drawn = pixels(d, hn::MaskedLoad(used, d, reinterpret_cast<const std::uint32_t*>(s)),
                           hn::MaskedLoad(used, d, target), alpha);
    hn::BlendedStore(drawn, used, d, target);
#else
    HWY_ALIGN std::uint32_t source[lanes] = {}, target[lanes] = {};
    std::memcpy(source, s, 4 * count);
    std::memcpy(target, out, 4 * count);
    hn::Store(pixels(d, hn::Load(d, source), hn::Load(d, target), alpha), d, target);
    std::memcpy(out, target, 4 * count);
#endif
}

// Pixels before the first address that is a multiple of the vector size, so that no store of a fill
// straddles two cache lines.
HWY_INLINE int HeadBeforeAlignment(D d, const BYTE* out, int width) {
    const auto vectorBytes = 4 * hn::Lanes(d);
    const auto offset = reinterpret_cast<std::uintptr_t>(out) % vectorBytes;
    if (offset == 0 || offset % 4 != 0) return 0;
    return std::min(width, static_cast<int>((vectorBytes - offset) / 4));
}

template <class Pixels>
HWY_INLINE void DrawRow(D d, const Pixels& pixels, const BYTE* s, const BYTE* a, BYTE* out, int width) {
    const int lanes = static_cast<int>(hn::Lanes(d));
    int i = 0;
    for (; i + lanes <= width; i += lanes)
        pixels.Draw(d, s + 4 * i, Pixels::UsesAlpha ? a + i : nullptr, out + 4 * i);
    if (i < width)
        DrawPartial(d, pixels, s + 4 * i, Pixels::UsesAlpha ? a + i : nullptr, out + 4 * i,
                    static_cast<std::size_t>(width - i));
}

template <class Pixels> void DrawRows(const Rows& r, const Pixels& pixels) {
    const D d;
    BYTE* out = r.destination;
    const BYTE* s = r.source;
    const BYTE* a = r.alpha;
    for (int j = 0; j < r.height; ++j) {
        DrawRow(d, pixels, s, a, out, r.width);
        out += r.destinationStep;
        s += r.sourceStep;
        if (a) a += r.alphaStep;
    }
}

template <class Op> void DrawWith(const Rows& r, int coverage, const InkConstants& k) {
    const D d;
    const Op op(d, k);
    switch (coverage) {
    case CoverKeyed:
        DrawRows(r, KeyedPixels<Op>{op, hn::Set(d, k.sourceKey)});
        break;
    case CoverAlpha:
        DrawRows(r, AlphaPixels<Op>{op});
        break;
    default:
        DrawRows(r, AllPixels<Op>{op});
        break;
    }
}

// Ink code 0 is the copy; codes without an operator draw nothing, as in the generic tables.
void InkRows(const Rows& r, int ink, int coverage, const InkConstants& k) {
    switch (ink) {
    case InkCopy:
        return DrawWith<CopyOp>(r, coverage, k);
    case InkBlend:
        return DrawWith<BlendOp>(r, coverage, k);
    case InkInvert:
        return DrawWith<InvertOp>(r, coverage, k);
    case InkXor:
        return DrawWith<XorOp>(r, coverage, k);
    case InkAnd:
        return DrawWith<AndOp>(r, coverage, k);
    case InkOr:
        return DrawWith<OrOp>(r, coverage, k);
    case InkBlendReplaceTransparent:
        return DrawWith<BlendReplaceTransparentOp>(r, coverage, k);
    case InkAndNot:
        return DrawWith<AndNotOp>(r, coverage, k);
    case InkAdd:
        return DrawWith<AddOp>(r, coverage, k);
    case InkMono:
        return DrawWith<MonoOp>(r, coverage, k);
    case InkSub:
        return DrawWith<SubOp>(r, coverage, k);
    case InkBlendKeyed:
        return DrawWith<BlendKeyedOp>(r, coverage, k);
    default:
        return;
    }
}

void FillRows(BYTE* row, std::ptrdiff_t step, int width, int height, std::uint32_t value) {
    const D d;
    const V v = hn::Set(d, value);
    const int lanes = static_cast<int>(hn::Lanes(d));
    for (int j = 0; j < height; ++j, row += step) {
        const int head = HeadBeforeAlignment(d, row, width);
        int i = 0;
        for (; i < head; ++i)
            std::memcpy(row + 4 * i, &value, 4);
        for (; i + lanes <= width; i += lanes)
            Store(d, v, row + 4 * i);
        for (; i < width; ++i)
            std::memcpy(row + 4 * i, &value, 4);
    }
}

// min(sum / divisor, 255) per lane. The sums stay below 2^24 (0x8000 + 255 x weights adding up to at most
// 65536), so both operands are exact in single precision and a quotient that is not a whole number lies at
// least 1 / divisor from one, more than the division's rounding error: truncating it gives the integer
// quotient exactly.
HWY_INLINE V Quotient(D d, V sum, V divisor) {
    const DI di;
    const hn::Rebind<float, D> df;
    const auto quotient =
        hn::Div(hn::ConvertTo(df, hn::BitCast(di, sum)), hn::ConvertTo(df, hn::BitCast(di, divisor)));
    return hn::Min(hn::BitCast(d, hn::ConvertTo(di, quotient)), hn::Set(d, 255u));
}

HWY_INLINE V PackChannels(V b, V g, V r) {
    return hn::Or(b, hn::Or(hn::ShiftLeft<8>(g), hn::ShiftLeft<16>(r)));
}

// Sums of weight x channel for the three colour channels, and (transparency-aware) the weights of the opaque
// and of the transparent inputs, then packed back into a word as the generic accumulator does.
struct ChannelSums {
    V blue, green, red, opaque, clear;
    explicit ChannelSums(D d)
        : blue(hn::Set(d, 0x8000u)), green(blue), red(blue), opaque(hn::Zero(d)), clear(hn::Zero(d)) {}
    void Add(D d, V weight, V pixel) {
        const V byte = hn::Set(d, 0xFFu);
        blue = hn::Add(blue, hn::Mul(weight, hn::And(pixel, byte)));
        green = hn::Add(green, hn::Mul(weight, hn::And(hn::ShiftRight<8>(pixel), byte)));
        red = hn::Add(red, hn::Mul(weight, hn::And(hn::ShiftRight<16>(pixel), byte)));
    }
    void Add(D d, V weight, V pixel, V transparent) {
        const auto isClear = hn::Ne(transparent, hn::Zero(d));
        const V drawn = hn::IfThenZeroElse(isClear, weight);
        clear = hn::Add(clear, hn::IfThenElseZero(isClear, weight));
        opaque = hn::Add(opaque, drawn);
        Add(d, drawn, pixel);
    }
    V Packed(D d) const {
        const V top = hn::Set(d, 0xFF0000u);
        return PackChannels(hn::ShiftRight<16>(hn::Min(blue, top)), hn::ShiftRight<16>(hn::Min(green, top)),
                            hn::ShiftRight<16>(hn::Min(red, top)));
    }
    // Inputs without transparency: as Packed; transparent ones outweighing the rest: the key; else the
    // opaque inputs' mean.
    V PackedAware(D d, V key) const {
        const V divisor = hn::Max(opaque, hn::Set(d, 1u));
        const V mean =
            PackChannels(Quotient(d, blue, divisor), Quotient(d, green, divisor), Quotient(d, red, divisor));
        const V mixed = hn::IfThenElse(hn::Lt(opaque, clear), key, mean);
        return hn::IfThenElse(hn::Eq(clear, hn::Zero(d)), Packed(d), mixed);
    }
};

template <bool Aware>
void HorizontalRows(const BYTE* source, const std::uint32_t* transparent, BYTE* out, const TapTable& columns,
                    int first, int count, std::uint32_t key) {
    const D d;
    const DI di;
    const auto* words = reinterpret_cast<const std::uint32_t*>(source);
    const int lanes = static_cast<int>(hn::Lanes(d));
    int j = 0;
    for (; j + lanes <= count; j += lanes) {
        ChannelSums sums(d);
        for (int t = 0; t < columns.taps; ++t) {
            const std::ptrdiff_t at = t * columns.stride + first + j;
            const auto index = hn::LoadU(di, columns.index + at);
            const V weight = hn::LoadU(d, columns.weight + at), pixel = hn::GatherIndex(d, words, index);
            if constexpr (Aware)
                sums.Add(d, weight, pixel, hn::GatherIndex(d, transparent, index));
            else
                sums.Add(d, weight, pixel);
        }
        Store(d, Aware ? sums.PackedAware(d, hn::Set(d, key)) : sums.Packed(d), out + 4 * j);
    }
    for (; j < count; ++j) {
        const std::uint32_t word =
            ResamplePixel(columns.taps, Aware, key, [&](int t, std::uint32_t& w, std::uint32_t& p) {
                const std::ptrdiff_t at = t * columns.stride + first + j;
                w = columns.weight[at];
                p = LoadWord(source + 4 * static_cast<std::ptrdiff_t>(columns.index[at]));
                return Aware && transparent[columns.index[at]] != 0;
            });
        std::memcpy(out + 4 * j, &word, 4);
    }
}

void HorizontalRow(const BYTE* source, const std::uint32_t* transparent, BYTE* out, const TapTable& columns,
                   int first, int count, std::uint32_t key) {
    if (transparent)
        HorizontalRows<true>(source, transparent, out, columns, first, count, key);
    else
        HorizontalRows<false>(source, nullptr, out, columns, first, count, key);
}

template <bool Aware>
void VerticalRows(const BYTE* const* rows, const BYTE* const* transparent, const std::uint32_t* weights,
                  int taps, BYTE* out, int count, std::uint32_t key) {
    const D d;
    const int lanes = static_cast<int>(hn::Lanes(d));
    int x = 0;
    for (; x + lanes <= count; x += lanes) {
        ChannelSums sums(d);
        for (int t = 0; t < taps; ++t) {
            const V weight = hn::Set(d, weights[t]), pixel = Load(d, rows[t] + 4 * x);
            if constexpr (Aware)
                sums.Add(d, weight, pixel, LoadAlpha(d, transparent[t] + x));
            else
                sums.Add(d, weight, pixel);
        }
        Store(d, Aware ? sums.PackedAware(d, hn::Set(d, key)) : sums.Packed(d), out + 4 * x);
    }
    for (; x < count; ++x) {
        const std::uint32_t word =
            ResamplePixel(taps, Aware, key, [&](int t, std::uint32_t& w, std::uint32_t& p) {
                w = weights[t];
                p = LoadWord(rows[t] + 4 * x);
                return Aware && transparent[t][x] != 0;
            });
        std::memcpy(out + 4 * x, &word, 4);
    }
}

void VerticalRow(const BYTE* const* rows, const BYTE* const* transparent, const std::uint32_t* weights,
                 int taps, BYTE* out, int count, std::uint32_t key) {
    if (transparent)
        VerticalRows<true>(rows, transparent, weights, taps, out, count, key);
    else
        VerticalRows<false>(rows, nullptr, weights, taps, out, count, key);
}

#endif // HWY_TARGET == HWY_SCALAR
} // namespace HWY_NAMESPACE
} // namespace fast32
} // namespace surfaces
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace surfaces {
namespace fast32 {

HWY_EXPORT(InkRows);
HWY_EXPORT(FillRows);
HWY_EXPORT(HorizontalRow);
HWY_EXPORT(VerticalRow);

namespace {

using win32::COLORREF;
using win32::DWORD;

// Whether the processor runs one of the vector copies; the scalar target has none.
bool VectorTarget() {
    static const bool available = (hwy::SupportedTargets() & HWY_TARGETS & ~HWY_SCALAR) != 0;
    return available;
}

const PixelRoutineTable& Generic() {
    return *GenericPixelRoutineTable(4);
}

Rows RowsOf(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy, int w,
            int h) {
    return {d.Row(dy) + 4 * static_cast<std::ptrdiff_t>(dx),
            d.signedPitch,
            s.Row(sy) + 4 * static_cast<std::ptrdiff_t>(sx),
            s.signedPitch,
            s.alphaPlane ? s.AlphaRow(sy) + sx : nullptr,
            s.signedAlphaPitch,
            w,
            h};
}

// The operator constants of an ink, prepared by the generic operators themselves.
InkConstants ConstantsOf(int ink, DWORD parameter, const cSurfaceImplementation& s) {
    using O = InkOperators<Format32>;
    InkContext c;
    c.parameter = parameter;
    c.transparentColor = s.transparentColor;
    c.transparentValue = s.transparentValue;
    if (ink == InkBlend) O::Blend::Prepare(c);
    if (ink == InkBlendReplaceTransparent) O::BlendReplaceTransparent::Prepare(c);
    if (ink == InkBlendKeyed) O::BlendKeyed::Prepare(c);
    return {c.destinationWeight, c.sourceWeight, c.keyOrReplacement, c.transparentValue & 0xFFFFFF};
}

bool HasOperator(int ink) {
    return ink > InkCopy && ink < InkEffectObject && ink != InkUnsupported7;
}

void Draw(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx, int sy, int w,
          int h, int ink, int coverage, DWORD parameter) {
    HWY_DYNAMIC_DISPATCH(InkRows)
    (RowsOf(d, dx, dy, s, sx, sy, w, h), ink, coverage, ConstantsOf(ink, parameter, s));
}

void CopyTransparent32(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                       int sy, int w, int h) {
    if (w <= 0 || h <= 0) return;
    if (RectanglesOverlap(d, dx, dy, s, sx, sy, w, h))
        return Generic().CopyTransparent(d, dx, dy, s, sx, sy, w, h);
    Draw(d, dx, dy, s, sx, sy, w, h, InkCopy, s.alphaPlane ? CoverAlpha : CoverKeyed, 0);
}

void InkBlitTransparent32(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                          int sy, int w, int h, int ink, DWORD parameter) {
    if (w <= 0 || h <= 0) return;
    if (!HasOperator(ink) || RectanglesOverlap(d, dx, dy, s, sx, sy, w, h))
        return Generic().InkBlitTransparent(d, dx, dy, s, sx, sy, w, h, ink, parameter);
    Draw(d, dx, dy, s, sx, sy, w, h, ink, s.alphaPlane ? CoverAlpha : CoverKeyed, parameter);
}

void InkBlitOpaque32(cSurfaceImplementation& d, int dx, int dy, const cSurfaceImplementation& s, int sx,
                     int sy, int w, int h, int ink, DWORD parameter) {
    if (w <= 0 || h <= 0) return;
    if (!HasOperator(ink) || RectanglesOverlap(d, dx, dy, s, sx, sy, w, h))
        return Generic().InkBlitOpaque(d, dx, dy, s, sx, sy, w, h, ink, parameter);
    Draw(d, dx, dy, s, sx, sy, w, h, ink, CoverAll, parameter);
}

void FillRect32(cSurfaceImplementation& s, int x, int y, int pitch, int w, int h, DWORD color) {
    if (w <= 0 || h <= 0) return;
    HWY_DYNAMIC_DISPATCH(FillRows)
    (s.pixels + static_cast<std::ptrdiff_t>(y) * pitch + 4 * static_cast<std::ptrdiff_t>(x), pitch, w, h,
     Format32::FromColor(color));
}

void HorizontalRow32(const BYTE* source, const std::uint32_t* transparent, BYTE* out, const TapTable& columns,
                     int first, int count, std::uint32_t key) {
    HWY_DYNAMIC_DISPATCH(HorizontalRow)(source, transparent, out, columns, first, count, key);
}

void VerticalRow32(const BYTE* const* rows, const BYTE* const* transparent, const std::uint32_t* weights,
                   int taps, BYTE* out, int count, std::uint32_t key) {
    HWY_DYNAMIC_DISPATCH(VerticalRow)(rows, transparent, weights, taps, out, count, key);
}

} // namespace
} // namespace fast32

void AddFastPaths32(PixelRoutineTable& table) {
    if (!fast32::VectorTarget()) return;
    table.FillRect = &fast32::FillRect32;
    table.CopyTransparent = &fast32::CopyTransparent32;
    table.InkBlitTransparent = &fast32::InkBlitTransparent32;
    table.CopyOpaque = &FastCopyOpaque;
    table.InkBlitOpaque = &fast32::InkBlitOpaque32;
}

const ScaleKernels* ScaleKernels32() {
    static constexpr ScaleKernels kernels{&fast32::HorizontalRow32, &fast32::VerticalRow32};
    return fast32::VectorTarget() ? &kernels : nullptr;
}

} // namespace surfaces

std::int64_t GetFastPathTargetsForTest() {
    return HWY_TARGETS & ~HWY_SCALAR;
}
#endif
