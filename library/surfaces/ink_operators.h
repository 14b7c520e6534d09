// Ink-effect operators for formats whose pixels hold three 8-bit channels (blue, green, red in bytes 0-2).
// Each operator is a small struct; the operator tables and the ink blits are instantiated from them.
#pragma once

#include "pixel_formats.h"

#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <array>

namespace surfaces {

// Ink codes that reach the pixel routines.
enum InkCode : int {
    InkCopy = 0,
    InkBlend = 1,
    InkInvert = 2,
    InkXor = 3,
    InkAnd = 4,
    InkOr = 5,
    InkBlendReplaceTransparent = 6,
    InkUnsupported7 = 7,
    InkAndNot = 8,
    InkAdd = 9,
    InkMono = 10,
    InkSub = 11,
    InkBlendKeyed = 12,
    InkEffectObject = 13,
    InkCodeCount = 14,
};

// The operator context an ink blit builds on its own stack.
struct InkContext {
    DWORD parameter = 0;
    COLORREF transparentColor = 0;
    DWORD transparentValue = 0;
    DWORD destinationWeight = 0;
    DWORD sourceWeight = 128;
    DWORD keyOrReplacement = 0;
};

// Coefficients run from 0 (source only) to 128 (destination only); larger ones count as 128.
inline DWORD ClampCoefficient(DWORD c) {
    return std::min<DWORD>(c, 128);
}

// Per channel (s x (128 - p) + d x p) >> 7, red and blue sharing one multiplication; fourth byte 0.
inline DWORD BlendChannels(DWORD s, DWORD d, DWORD p, DWORD q) {
    const DWORD rb = (((s & 0xFF00FF) * q + (d & 0xFF00FF) * p) >> 7) & 0xFF00FF;
    const DWORD g = (((s & 0xFF00) * q + (d & 0xFF00) * p) >> 7) & 0xFF00;
    return rb | g;
}

inline DWORD AddChannels(DWORD s, DWORD d) {
    DWORD rb = (s & 0xFF00FF) + (d & 0xFF00FF);
    DWORD g = (s & 0xFF00) + (d & 0xFF00);
    if (rb & 0x100) rb |= 0xFF;
    if (rb & 0x1000000) rb |= 0xFF0000;
    if (g & 0x10000) g |= 0xFF00;
    return (rb & 0xFF00FF) | (g & 0xFF00);
}

inline DWORD SubChannels(DWORD s, DWORD d) {
    DWORD result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int diff = static_cast<int>((d >> shift) & 0xFF) - static_cast<int>((s >> shift) & 0xFF);
        if (diff > 0) result |= static_cast<DWORD>(diff) << shift;
    }
    return result;
}

// Grey (2 x blue + 9 x green + 5 x red) >> 4 of a blue-low pixel, in all three channels.
inline DWORD MonoChannels(DWORD s) {
    const DWORD grey = (2 * (s & 0xFF) + 9 * ((s >> 8) & 0xFF) + 5 * ((s >> 16) & 0xFF)) >> 4;
    return grey * 0x010101;
}

template <typename F> struct InkOperators {
    using P = typename F::Pixel;

    struct Blend {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter);
            c.sourceWeight = 128 - c.destinationWeight;
        }
        static P Pixel(const InkContext& c, P s, P d) {
            return BlendChannels(s, d, c.destinationWeight, c.sourceWeight);
        }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) { return Pixel(c, c.transparentValue, d); }
    };
    struct Invert {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P) { return s ^ 0x00FFFFFF; }
        static P RowPixel(const InkContext&, P s, P) { return ~s; }
        static P KeyPixel(const InkContext& c, P) { return ~c.transparentValue; }
    };
    struct Xor {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return s ^ d; }
        static P RowPixel(const InkContext&, P s, P d) { return s ^ d; }
        static P KeyPixel(const InkContext& c, P d) { return d ^ c.transparentValue; }
    };
    struct And {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return s & d; }
        static P RowPixel(const InkContext&, P s, P d) { return s & d; }
        static P KeyPixel(const InkContext& c, P d) { return d & c.transparentValue; }
    };
    struct Or {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return s | d; }
        static P RowPixel(const InkContext&, P s, P d) { return s | d; }
        static P KeyPixel(const InkContext& c, P d) { return d | c.transparentValue; }
    };
    // The replacement colour is converted like every other colour argument of the depth.
    struct BlendReplaceTransparent {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter >> 24);
            c.sourceWeight = 128 - c.destinationWeight;
            c.keyOrReplacement = F::FromColor(c.parameter & 0xFFFFFF);
        }
        static P Pixel(const InkContext& c, P s, P d) {
            const P dd = F::SameColor(d, static_cast<P>(c.transparentValue)) ? c.keyOrReplacement : d;
            return BlendChannels(s, dd, c.destinationWeight, c.sourceWeight);
        }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) { return Pixel(c, c.transparentValue, d); }
    };
    struct AndNot {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return ~s & d; }
        static P RowPixel(const InkContext&, P s, P d) { return ~s & d; }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : (d & ~c.transparentValue);
        }
    };
    struct Add {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return AddChannels(s, d); }
        static P RowPixel(const InkContext&, P s, P d) { return AddChannels(s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : AddChannels(c.transparentValue, d);
        }
    };
    struct Mono {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P) { return MonoChannels(s); }
        static P RowPixel(const InkContext&, P s, P) { return MonoChannels(s); }
        static P KeyPixel(const InkContext& c, P) { return MonoChannels(c.transparentValue); }
    };
    struct Sub {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return SubChannels(s, d); }
        static P RowPixel(const InkContext&, P s, P d) { return SubChannels(s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : SubChannels(c.transparentValue, d);
        }
    };
    struct BlendKeyed {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter >> 24);
            c.sourceWeight = 128 - c.destinationWeight;
            c.keyOrReplacement = F::FromColor(c.parameter & 0xFFFFFF);
        }
        static P Pixel(const InkContext& c, P s, P d) {
            if (F::SameColor(d, static_cast<P>(c.keyOrReplacement))) return d;
            return BlendChannels(s, d, c.destinationWeight, c.sourceWeight);
        }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) { return Pixel(c, c.transparentValue, d); }
    };
};

using InkRoutine = void (*)(cSurfaceImplementation&, int, int, const cSurfaceImplementation&, int, int, int,
                            int, DWORD);

// Per ink code, the routine for one operator; code 0, 7 and 13 have none.
template <typename F, template <typename, typename> class Blit>
constexpr std::array<InkRoutine, InkCodeCount> InkRoutines() {
    using O = InkOperators<F>;
    return {nullptr,
            &Blit<F, typename O::Blend>::Run,
            &Blit<F, typename O::Invert>::Run,
            &Blit<F, typename O::Xor>::Run,
            &Blit<F, typename O::And>::Run,
            &Blit<F, typename O::Or>::Run,
            &Blit<F, typename O::BlendReplaceTransparent>::Run,
            nullptr,
            &Blit<F, typename O::AndNot>::Run,
            &Blit<F, typename O::Add>::Run,
            &Blit<F, typename O::Mono>::Run,
            &Blit<F, typename O::Sub>::Run,
            &Blit<F, typename O::BlendKeyed>::Run,
            nullptr};
}

} // namespace surfaces
