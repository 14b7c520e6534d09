// Ink-effect operators, written once for every depth. Each operator is a small struct; the operator tables
// and the ink blits are instantiated from them. The channel operators work on a working colour (blue,
// green, red in bytes 0-2) that each format reaches through its InkColors: 24- and 32-bit pixels are their
// own working colour, 15- and 16-bit pixels are unpacked and packed again, and 8-bit indexes are looked up
// in their palettes and mapped back to the destination's palette.
#pragma once

#include "engine_interface.h"
#include "pixel_formats.h"

#include "vtrs2/palette_matching.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <array>

namespace surfaces {

// The operator context an ink blit builds on its own stack.
struct InkContext {
    DWORD parameter = 0;
    COLORREF transparentColor = 0;
    DWORD transparentValue = 0;
    DWORD destinationWeight = 0;
    DWORD sourceWeight = 128;
    DWORD keyOrReplacement = 0;
    // 8 bits: the colours of the source's and the destination's indexes, and the destination palette's
    // 15-bit lookup table that results are mapped back through (null: every result is searched).
    const win32::PALETTEENTRY* sourceEntries = nullptr;
    const win32::PALETTEENTRY* destinationEntries = nullptr;
    int destinationCount = PaletteSize;
    BYTE* lookup = nullptr;
};

// The context of a blit from s onto d. An 8-bit surface without a palette counts as having the default one.
inline InkContext MakeInkContext(const cSurfaceImplementation& d, const cSurfaceImplementation& s,
                                 DWORD parameter) {
    InkContext c;
    c.parameter = parameter;
    c.transparentColor = s.transparentColor;
    c.transparentValue = s.transparentValue;
    if (d.depth <= 8 || s.depth <= 8) {
        const LogPalette256* fallback = GetDefaultModePalette(3);
        const LogPalette256& to = d.palette ? d.palette->palette : *fallback;
        c.destinationEntries = to.entries;
        c.destinationCount = to.count;
        c.lookup = d.palette ? d.palette->lookup15 : nullptr;
        c.sourceEntries = s.palette ? s.palette->palette.entries : to.entries;
    }
    return c;
}

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

// Per channel (s x a + d x (256 - a)) >> 8 for an alpha byte a of 1..254; fourth byte 0.
inline DWORD AlphaChannels(DWORD s, DWORD d, DWORD a) {
    const DWORD b = 256 - a;
    const DWORD rb = (((s & 0xFF00FF) * a + (d & 0xFF00FF) * b) >> 8) & 0xFF00FF;
    const DWORD g = (((s & 0xFF00) * a + (d & 0xFF00) * b) >> 8) & 0xFF00;
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

// Grey (2 x blue + 9 x green + 5 x red) >> 4 of a working colour, in all three channels.
inline DWORD MonoChannels(DWORD s) {
    const DWORD grey = (2 * (s & 0xFF) + 9 * ((s >> 8) & 0xFF) + 5 * ((s >> 16) & 0xFF)) >> 4;
    return grey * 0x010101;
}

// The 8-bit destination index of a working colour: the palette's lookup table, a miss searched over the
// palette's entries and remembered in the table.
inline BYTE MapToIndex(const InkContext& c, DWORD working) {
    const COLORREF colour = SwapRedBlue(working);
    if (!c.lookup)
        return static_cast<BYTE>(FindNearestColor(c.destinationEntries, c.destinationCount, colour));
    BYTE& cached = c.lookup[Lookup15Key(colour)];
    if (cached == 0)
        cached = static_cast<BYTE>(FindNearestColor(c.destinationEntries, c.destinationCount, colour));
    return cached;
}

// How one format's operators see its pixels. The primary form serves the 24- and 32-bit formats, whose
// pixel values are working colours already.
template <typename F> struct InkColors {
    using P = typename F::Pixel;
    static DWORD Source(const InkContext&, P v) { return v; }
    static DWORD Destination(const InkContext&, P v) { return v; }
    static P Pack(const InkContext&, DWORD w) { return w; }
    static P InvertPixel(P s) { return s ^ 0x00FFFFFF; }
    static P InvertRow(P s) { return ~s; }
    // Code 6 replaces destination pixels of the source's transparent value.
    static bool Replaced(const InkContext& c, P d) {
        return F::SameColor(d, static_cast<P>(c.transparentValue));
    }
    // Code 12's key, and whether a destination pixel is it.
    static DWORD Key(COLORREF key) { return F::FromColor(key); }
    static bool IsKey(const InkContext& c, P d) {
        return F::SameColor(d, static_cast<P>(c.keyOrReplacement));
    }
    static P Add(const InkContext&, P s, P d) { return AddChannels(s, d); }
    static P Sub(const InkContext&, P s, P d) { return SubChannels(s, d); }
    static P Blend(const InkContext& c, P s, P d) {
        return BlendChannels(s, d, c.destinationWeight, c.sourceWeight);
    }
};

// 15 and 16 bits: Add and Sub work on the packed fields, the other channel operators on unpacked colours.
template <int RedBits, int GreenBits, int DepthBits>
struct InkColors<FormatPacked16<RedBits, GreenBits, DepthBits>> {
    using F = FormatPacked16<RedBits, GreenBits, DepthBits>;
    using P = typename F::Pixel;
    static constexpr DWORD RedBlueMask = (0x1Fu << F::RedShift) | 0x1F;
    static constexpr DWORD GreenFieldMask = F::GreenMask << F::GreenShift;
    static constexpr DWORD RedCarry = 1u << (F::RedShift + 5);
    static constexpr DWORD GreenCarry = 1u << (F::GreenShift + GreenBits);
    static DWORD Source(const InkContext&, P v) { return F::ToWorking(v); }
    static DWORD Destination(const InkContext&, P v) { return F::ToWorking(v); }
    static P Pack(const InkContext&, DWORD w) { return F::FromWorking(w); }
    static P InvertPixel(P s) { return static_cast<P>(s ^ 0xFFFF); }
    static P InvertRow(P s) { return static_cast<P>(s ^ 0xFFFF); }
    static bool Replaced(const InkContext& c, P d) { return d == static_cast<P>(c.transparentValue); }
    static DWORD Key(COLORREF key) { return F::FromColor(key); }
    static bool IsKey(const InkContext& c, P d) { return d == static_cast<P>(c.keyOrReplacement); }
    static P Add(const InkContext&, P s, P d) {
        DWORD rb = (s & RedBlueMask) + (d & RedBlueMask);
        if (rb & 0x20) rb |= 0x1F;
        if (rb & RedCarry) rb |= 0x1Fu << F::RedShift;
        DWORD g = (s & GreenFieldMask) + (d & GreenFieldMask);
        if (g & GreenCarry) g = GreenFieldMask;
        return static_cast<P>((rb & RedBlueMask) | (g & GreenFieldMask));
    }
    static P Sub(const InkContext&, P s, P d) {
        DWORD result = 0;
        for (const DWORD field : {0x1Fu << F::RedShift, GreenFieldMask, 0x1Fu}) {
            const DWORD a = d & field, b = s & field;
            if (a > b) result |= a - b;
        }
        return static_cast<P>(result);
    }
    // The fields blended where they lie, each in a 16-bit lane of one word: the same result as blending the
    // unpacked colours, since their low bits are 0.
    static std::uint64_t Lanes(P v) {
        return (v & 0x1Fu) | (static_cast<std::uint64_t>(v & GreenFieldMask) << (16 - F::GreenShift)) |
               (static_cast<std::uint64_t>((v >> F::RedShift) & 0x1F) << 32);
    }
    static P Blend(const InkContext& c, P s, P d) {
        const std::uint64_t mixed = (Lanes(s) * c.sourceWeight + Lanes(d) * c.destinationWeight) >> 7;
        return static_cast<P>((mixed & 0x1F) | ((mixed >> (16 - F::GreenShift)) & GreenFieldMask) |
                              (((mixed >> 32) & 0x1F) << F::RedShift));
    }
};

// 8 bits: bitwise codes work on indexes, colour codes on the palettes' colours.
template <> struct InkColors<Format8> {
    using P = Format8::Pixel;
    static DWORD Source(const InkContext& c, P v) { return SwapRedBlue(PaletteColor(c.sourceEntries[v])); }
    static DWORD Destination(const InkContext& c, P v) {
        return SwapRedBlue(PaletteColor(c.destinationEntries[v]));
    }
    static P Pack(const InkContext& c, DWORD w) { return MapToIndex(c, w); }
    static P InvertPixel(P s) { return static_cast<P>(s ^ 0xFF); }
    static P InvertRow(P s) { return static_cast<P>(s ^ 0xFF); }
    // Index 0 is the transparent colour of palette images.
    static bool Replaced(const InkContext&, P d) { return d == 0; }
    static DWORD Key(COLORREF key) { return key; }
    static bool IsKey(const InkContext& c, P d) {
        return PaletteWord(c.destinationEntries[d]) == c.keyOrReplacement;
    }
    static P Add(const InkContext& c, P s, P d) {
        return Pack(c, AddChannels(Source(c, s), Destination(c, d)));
    }
    static P Sub(const InkContext& c, P s, P d) {
        return Pack(c, SubChannels(Source(c, s), Destination(c, d)));
    }
    static P Blend(const InkContext& c, P s, P d) {
        return Pack(c, BlendChannels(Source(c, s), Destination(c, d), c.destinationWeight, c.sourceWeight));
    }
};

template <typename F> struct InkOperators {
    using P = typename F::Pixel;
    using C = InkColors<F>;

    static P BlendOf(const InkContext& c, DWORD s, DWORD d) {
        return C::Pack(c, BlendChannels(s, d, c.destinationWeight, c.sourceWeight));
    }

    struct Blend {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter);
            c.sourceWeight = 128 - c.destinationWeight;
        }
        static P Pixel(const InkContext& c, P s, P d) { return C::Blend(c, s, d); }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return Pixel(c, static_cast<P>(c.transparentValue), d);
        }
    };
    struct Invert {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P) { return C::InvertPixel(s); }
        static P RowPixel(const InkContext&, P s, P) { return C::InvertRow(s); }
        static P KeyPixel(const InkContext& c, P) { return C::InvertRow(static_cast<P>(c.transparentValue)); }
    };
    struct Xor {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return static_cast<P>(s ^ d); }
        static P RowPixel(const InkContext&, P s, P d) { return static_cast<P>(s ^ d); }
        static P KeyPixel(const InkContext& c, P d) { return static_cast<P>(d ^ c.transparentValue); }
    };
    struct And {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return static_cast<P>(s & d); }
        static P RowPixel(const InkContext&, P s, P d) { return static_cast<P>(s & d); }
        static P KeyPixel(const InkContext& c, P d) { return static_cast<P>(d & c.transparentValue); }
    };
    struct Or {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return static_cast<P>(s | d); }
        static P RowPixel(const InkContext&, P s, P d) { return static_cast<P>(s | d); }
        static P KeyPixel(const InkContext& c, P d) { return static_cast<P>(d | c.transparentValue); }
    };
    // The replacement colour is converted like every other colour argument of the depth.
    struct BlendReplaceTransparent {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter >> 24);
            c.sourceWeight = 128 - c.destinationWeight;
            c.keyOrReplacement = SwapRedBlue(c.parameter & 0xFFFFFF);
        }
        static P Pixel(const InkContext& c, P s, P d) {
            const DWORD under = C::Replaced(c, d) ? c.keyOrReplacement : C::Destination(c, d);
            return BlendOf(c, C::Source(c, s), under);
        }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return Pixel(c, static_cast<P>(c.transparentValue), d);
        }
    };
    struct AndNot {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext&, P s, P d) { return static_cast<P>(~s & d); }
        static P RowPixel(const InkContext&, P s, P d) { return static_cast<P>(~s & d); }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : static_cast<P>(d & ~c.transparentValue);
        }
    };
    struct Add {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext& c, P s, P d) { return C::Add(c, s, d); }
        static P RowPixel(const InkContext& c, P s, P d) { return C::Add(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : C::Add(c, static_cast<P>(c.transparentValue), d);
        }
    };
    struct Mono {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext& c, P s, P) { return C::Pack(c, MonoChannels(C::Source(c, s))); }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return Pixel(c, static_cast<P>(c.transparentValue), d);
        }
    };
    struct Sub {
        static void Prepare(InkContext&) {}
        static P Pixel(const InkContext& c, P s, P d) { return C::Sub(c, s, d); }
        static P RowPixel(const InkContext& c, P s, P d) { return C::Sub(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return c.transparentValue == 0 ? d : C::Sub(c, static_cast<P>(c.transparentValue), d);
        }
    };
    struct BlendKeyed {
        static void Prepare(InkContext& c) {
            c.destinationWeight = ClampCoefficient(c.parameter >> 24);
            c.sourceWeight = 128 - c.destinationWeight;
            c.keyOrReplacement = C::Key(c.parameter & 0xFFFFFF);
        }
        static P Pixel(const InkContext& c, P s, P d) {
            if (C::IsKey(c, d)) return d;
            return BlendOf(c, C::Source(c, s), C::Destination(c, d));
        }
        static P RowPixel(const InkContext& c, P s, P d) { return Pixel(c, s, d); }
        static P KeyPixel(const InkContext& c, P d) {
            return Pixel(c, static_cast<P>(c.transparentValue), d);
        }
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
