#include "support/reference_model.h"

#include <algorithm>

namespace reference {
namespace {

std::uint32_t Mask(int depth) {
    switch (depth) {
    case 8:
        return 0xFF;
    case 15:
    case 16:
        return 0xFFFF;
    case 24:
        return 0xFFFFFF;
    default:
        return 0xFFFFFFFF;
    }
}

// Colour keys compare the stored value; at 32 bits only the three colour bytes.
bool IsKey(const Surface& s, std::uint32_t v) {
    const std::uint32_t mask = s.depth == 32 ? 0xFFFFFF : Mask(s.depth);
    return ((v ^ s.key) & mask) == 0;
}

Colour FromRgb(std::uint32_t colorref) {
    return Colour{static_cast<int>(colorref & 0xFF), static_cast<int>((colorref >> 8) & 0xFF),
                  static_cast<int>((colorref >> 16) & 0xFF)};
}

std::uint32_t ToRgb(const Colour& c) {
    return static_cast<std::uint32_t>(c.red | (c.green << 8) | (c.blue << 16));
}

int Distance(const Colour& a, const Colour& b) {
    const int r = a.red - b.red, g = a.green - b.green, bl = a.blue - b.blue;
    return r * r + g * g + bl * bl;
}

std::size_t Key15(const Colour& c) {
    return static_cast<std::size_t>(((c.red >> 3) << 10) | ((c.green >> 3) << 5) | (c.blue >> 3));
}

// The result of a colour operator mapped into the destination: 8 bits through the lookup table.
std::uint32_t MapToIndex(Palette& p, const Colour& c) {
    if (p.lookup.empty()) return static_cast<std::uint32_t>(Nearest(p, c));
    std::uint8_t& cached = p.lookup[Key15(c)];
    if (cached == 0) cached = static_cast<std::uint8_t>(Nearest(p, c));
    return cached;
}

Colour PerChannel(const Colour& s, const Colour& d, int (*f)(int, int)) {
    return Colour{f(s.red, d.red), f(s.green, d.green), f(s.blue, d.blue)};
}

Colour BlendOf(const Colour& s, const Colour& d, int weightOfDestination) {
    auto mix = [weightOfDestination](int a, int b) {
        return (a * (128 - weightOfDestination) + b * weightOfDestination) / 128;
    };
    return Colour{mix(s.red, d.red), mix(s.green, d.green), mix(s.blue, d.blue)};
}

Colour AlphaWeighted(const Colour& r, const Colour& d, int a) {
    auto mix = [a](int x, int y) { return (x * a + y * (256 - a)) / 256; };
    return Colour{mix(r.red, d.red), mix(r.green, d.green), mix(r.blue, d.blue)};
}

int Coefficient(std::uint32_t p) {
    return static_cast<int>(std::min<std::uint32_t>(p, 128));
}

std::uint32_t Invert(int depth, std::uint32_t s, bool wholeRow) {
    switch (depth) {
    case 8:
        return s ^ 0xFF;
    case 15:
    case 16:
        return s ^ 0xFFFF;
    case 24:
        return ~s & 0xFFFFFF;
    default:
        // The opaque form turns the fourth byte over too; the keyed form keeps the source's.
        return wholeRow ? ~s : s ^ 0xFFFFFF;
    }
}

// Code 6 replaces the destination colour where the destination counts as transparent.
bool Replaced(const Surface& source, const Surface& destination, std::uint32_t d) {
    if (destination.depth == 8) return d == 0;
    return IsKey(source, d);
}

// Code 12 leaves destination pixels of its key colour alone.
bool IsBlendKey(Surface& destination, std::uint32_t d, std::uint32_t key) {
    if (destination.depth == 8) return destination.palette->entries[d] == FromRgb(key);
    const std::uint32_t packed = Encode(destination, FromRgb(key));
    const std::uint32_t mask = destination.depth == 32 ? 0xFFFFFF : Mask(destination.depth);
    return ((d ^ packed) & mask) == 0;
}

// One ink operator. `wholeRow` is the form used by opaque blits (it differs for Invert only).
std::uint32_t Ink(int code, std::uint32_t parameter, const Surface& source, Surface& destination,
                  std::uint32_t s, std::uint32_t d, bool wholeRow) {
    const std::uint32_t mask = Mask(destination.depth);
    auto S = [&] { return Decode(source, s); };
    auto D = [&] { return Decode(destination, d); };
    switch (code) {
    case 1:
        return Encode(destination, BlendOf(S(), D(), Coefficient(parameter)));
    case 2:
        return Invert(destination.depth, s, wholeRow);
    case 3:
        return (s ^ d) & mask;
    case 4:
        return (s & d) & mask;
    case 5:
        return (s | d) & mask;
    case 6: {
        const Colour under = Replaced(source, destination, d) ? FromRgb(parameter & 0xFFFFFF) : D();
        return Encode(destination, BlendOf(S(), under, Coefficient(parameter >> 24)));
    }
    case 8:
        return (~s & d) & mask;
    case 9:
        return Encode(destination, PerChannel(S(), D(), [](int a, int b) { return std::min(255, a + b); }));
    case 10: {
        const Colour c = S();
        const int grey = (5 * c.red + 9 * c.green + 2 * c.blue) / 16;
        return Encode(destination, Colour{grey, grey, grey});
    }
    case 11:
        return Encode(destination, PerChannel(S(), D(), [](int a, int b) { return std::max(0, b - a); }));
    case 12:
        if (IsBlendKey(destination, d, parameter & 0xFFFFFF)) return d;
        return Encode(destination, BlendOf(S(), D(), Coefficient(parameter >> 24)));
    default:
        return s;
    }
}

} // namespace

Colour Decode(const Surface& s, std::uint32_t v) {
    switch (s.depth) {
    case 8:
        return s.palette->entries[v & 0xFF];
    case 15:
        return Colour{static_cast<int>((v >> 10) & 31) << 3, static_cast<int>((v >> 5) & 31) << 3,
                      static_cast<int>(v & 31) << 3};
    case 16:
        return Colour{static_cast<int>((v >> 11) & 31) << 3, static_cast<int>((v >> 5) & 63) << 2,
                      static_cast<int>(v & 31) << 3};
    default:
        return Colour{static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                      static_cast<int>(v & 0xFF)};
    }
}

std::uint32_t Encode(Surface& s, const Colour& c) {
    switch (s.depth) {
    case 8:
        return MapToIndex(*s.palette, c);
    case 15:
        return static_cast<std::uint32_t>(((c.red >> 3) << 10) | ((c.green >> 3) << 5) | (c.blue >> 3));
    case 16:
        return static_cast<std::uint32_t>(((c.red >> 3) << 11) | ((c.green >> 2) << 5) | (c.blue >> 3));
    default:
        return static_cast<std::uint32_t>(c.blue | (c.green << 8) | (c.red << 16));
    }
}

int Nearest(const Palette& p, const Colour& c) {
    if (c == Colour{}) return 0;
    int best = 1;
    for (int i = 2; i < 256; ++i)
        if (Distance(p.entries[static_cast<std::size_t>(i)], c) <
            Distance(p.entries[static_cast<std::size_t>(best)], c))
            best = i;
    return best;
}

int NearestIndex(Palette& p, const Colour& c) {
    if (c == Colour{}) return 0;
    if (p.entries[static_cast<std::size_t>(c.red)] == c) return c.red;
    return static_cast<int>(MapToIndex(p, c));
}

std::uint32_t FromColorref(Surface& s, std::uint32_t colorref) {
    if (s.depth == 8) return static_cast<std::uint32_t>(NearestIndex(*s.palette, FromRgb(colorref)));
    return Encode(s, FromRgb(colorref));
}

int Blit(const Surface& source, Surface& destination, const BlitCall& call) {
    int code = call.ink & 0xFFF;
    std::uint32_t parameter = call.parameter;
    if (call.mode < 0 || call.mode > 1 || code >= 14) return 0;
    // Which pixels the call covers: inside the requested rectangle, the source and the destination's clip.
    auto covered = [&](int X, int Y, int& u, int& v) {
        if (X < call.x || Y < call.y || X - call.x >= call.width || Y - call.y >= call.height) return false;
        if (X < destination.clipLeft || X >= destination.clipRight || Y < destination.clipTop ||
            Y >= destination.clipBottom)
            return false;
        u = X - call.x + call.sourceX;
        v = Y - call.y + call.sourceY;
        return u >= 0 && v >= 0 && u < source.width && v < source.height;
    };
    bool any = false;
    for (int Y = 0; Y < destination.height; ++Y)
        for (int X = 0; X < destination.width; ++X) {
            int u = 0, v = 0;
            any = any || covered(X, Y, u, v);
        }
    if (!any) return 0;

    // The ink word reduced to one operator and its parameter.
    int effect = code;
    if (code == 0) {
        if (call.ink & 0x1000) {
            const std::uint32_t alpha = parameter >> 24;
            if (alpha == 0) return 1;
            effect = 1;
            parameter = (255 - alpha) / 2;
        }
    } else if (code == 1) {
        if (parameter == 0) effect = 0;
        if (parameter == 128) return 1;
    } else if (code == 13) {
        // The parameter stands for the effect object's RGBA coefficient; 0 for no effect object.
        const std::uint32_t alpha = parameter >> 24;
        if (parameter != 0 && alpha == 0) return 1;
        effect = parameter == 0 || alpha == 255 ? 0 : 1;
        parameter = (255 - alpha) / 2;
    } else if (code == 7) {
        return 0;
    }

    const bool copyAlpha = call.mode == 0 && (call.flags & 2) && !source.alpha.empty();
    if (copyAlpha && destination.alpha.empty())
        destination.alpha.assign(static_cast<std::size_t>(destination.width * destination.height), 0);
    for (int Y = 0; Y < destination.height; ++Y)
        for (int X = 0; X < destination.width; ++X) {
            int u = 0, v = 0;
            if (!covered(X, Y, u, v)) continue;
            const std::uint32_t s = source.At(u, v);
            std::uint32_t& d = destination.At(X, Y);
            if (call.mode == 0) {
                d = effect == 0 ? s : Ink(effect, parameter, source, destination, s, d, true);
            } else if (!source.alpha.empty()) {
                const int a = source.alpha[static_cast<std::size_t>(v * source.width + u)];
                if (a == 0) continue;
                const std::uint32_t r =
                    effect == 0 ? s : Ink(effect, parameter, source, destination, s, d, false);
                if (a == 255) {
                    d = r;
                    continue;
                }
                const Colour rc = effect == 0 ? Decode(source, r) : Decode(destination, r);
                d = Encode(destination, AlphaWeighted(rc, Decode(destination, d), a));
            } else if (!IsKey(source, s)) {
                d = effect == 0 ? s : Ink(effect, parameter, source, destination, s, d, false);
            }
            if (copyAlpha)
                destination.alpha[static_cast<std::size_t>(Y * destination.width + X)] =
                    source.alpha[static_cast<std::size_t>(v * source.width + u)];
        }
    return 1;
}

void CallbackBlit(const Surface& source, Surface& destination, int x, int y, int sourceX, int sourceY,
                  int width, int height, bool keyed, Callback callback, std::intptr_t argument) {
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const std::uint32_t s = source.At(sourceX + i, sourceY + j);
            if (keyed && IsKey(source, s)) continue;
            std::uint32_t& d = destination.At(x + i, y + j);
            const std::uint32_t result =
                callback(ToRgb(Decode(destination, d)), ToRgb(Decode(source, s)), argument);
            d = FromColorref(destination, result & 0xFFFFFF);
        }
}

void Convert(const Surface& source, Surface& destination, int x, int y, int sourceX, int sourceY, int width,
             int height) {
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const Colour c = Decode(source, source.At(sourceX + i, sourceY + j));
            std::uint32_t v = FromColorref(destination, ToRgb(c));
            // Packed depths keep the 0 pixel for black alone.
            if ((destination.depth == 15 || destination.depth == 16) && v == 0 && !(c == Colour{})) v = 1;
            destination.At(x + i, y + j) = v;
        }
}

namespace {
Surface AsSurface(const Image& image) {
    Surface s;
    s.depth = 32;
    s.width = image.width;
    s.height = image.height;
    auto raw = [](const Pixel& p) {
        return static_cast<std::uint32_t>(p.blue | (p.green << 8) | (p.red << 16)) |
               (static_cast<std::uint32_t>(p.fourth) << 24);
    };
    for (const Pixel& p : image.pixels)
        s.values.push_back(raw(p));
    s.alpha = image.alpha;
    s.key = raw(image.key);
    s.clipLeft = image.clipLeft;
    s.clipTop = image.clipTop;
    s.clipRight = image.clipRight;
    s.clipBottom = image.clipBottom;
    return s;
}
} // namespace

int Blit(const Image& source, Image& destination, const BlitCall& call) {
    const Surface from = AsSurface(source);
    Surface to = AsSurface(destination);
    const int result = Blit(from, to, call);
    for (std::size_t i = 0; i < to.values.size(); ++i) {
        const std::uint32_t v = to.values[i];
        destination.pixels[i] = Pixel{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                      static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    }
    destination.alpha = to.alpha;
    return result;
}

} // namespace reference
