#include "reference_model.h"

#include <algorithm>

namespace reference {
namespace {

bool SameColour(const Pixel& a, const Pixel& b) {
    return a.blue == b.blue && a.green == b.green && a.red == b.red;
}

Pixel FromColorref(std::uint32_t c) {
    return Pixel{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                 static_cast<std::uint8_t>(c), 0};
}

std::uint8_t Mix(int s, int d, int weightOfDestination) {
    return static_cast<std::uint8_t>((s * (128 - weightOfDestination) + d * weightOfDestination) / 128);
}

Pixel BlendOf(const Pixel& s, const Pixel& d, int p) {
    return Pixel{Mix(s.blue, d.blue, p), Mix(s.green, d.green, p), Mix(s.red, d.red, p), 0};
}

int Coefficient(std::uint32_t p) {
    return static_cast<int>(std::min<std::uint32_t>(p, 128));
}

Pixel Bytewise(const Pixel& s, const Pixel& d, int op) {
    auto f = [op](std::uint8_t a, std::uint8_t b) -> std::uint8_t {
        switch (op) {
        case 3:
            return a ^ b;
        case 4:
            return a & b;
        case 5:
            return a | b;
        default:
            return static_cast<std::uint8_t>(~a & b);
        }
    };
    return Pixel{f(s.blue, d.blue), f(s.green, d.green), f(s.red, d.red), f(s.fourth, d.fourth)};
}

// One ink operator. `wholeRow` is the form used by opaque blits (it differs for Invert only).
Pixel Ink(int code, std::uint32_t parameter, const Pixel& s, const Pixel& d, const Pixel& key,
          bool wholeRow) {
    switch (code) {
    case 1:
        return BlendOf(s, d, Coefficient(parameter));
    case 2:
        if (wholeRow)
            return Pixel{static_cast<std::uint8_t>(~s.blue), static_cast<std::uint8_t>(~s.green),
                         static_cast<std::uint8_t>(~s.red), static_cast<std::uint8_t>(~s.fourth)};
        return Pixel{static_cast<std::uint8_t>(~s.blue), static_cast<std::uint8_t>(~s.green),
                     static_cast<std::uint8_t>(~s.red), s.fourth};
    case 3:
    case 4:
    case 5:
    case 8:
        return Bytewise(s, d, code);
    case 6: {
        const Pixel under = SameColour(d, key) ? FromColorref(parameter & 0xFFFFFF) : d;
        return BlendOf(s, under, Coefficient(parameter >> 24));
    }
    case 9:
        return Pixel{static_cast<std::uint8_t>(std::min(255, s.blue + d.blue)),
                     static_cast<std::uint8_t>(std::min(255, s.green + d.green)),
                     static_cast<std::uint8_t>(std::min(255, s.red + d.red)), 0};
    case 10: {
        const auto grey = static_cast<std::uint8_t>((2 * s.blue + 9 * s.green + 5 * s.red) / 16);
        return Pixel{grey, grey, grey, 0};
    }
    case 11:
        return Pixel{static_cast<std::uint8_t>(std::max(0, d.blue - s.blue)),
                     static_cast<std::uint8_t>(std::max(0, d.green - s.green)),
                     static_cast<std::uint8_t>(std::max(0, d.red - s.red)), 0};
    case 12:
        if (SameColour(d, FromColorref(parameter & 0xFFFFFF))) return d;
        return BlendOf(s, d, Coefficient(parameter >> 24));
    default:
        return s;
    }
}

Pixel AlphaWeighted(const Pixel& r, const Pixel& d, int a) {
    auto f = [a](int rc, int dc) { return static_cast<std::uint8_t>((rc * a + dc * (256 - a)) / 256); };
    return Pixel{f(r.blue, d.blue), f(r.green, d.green), f(r.red, d.red), 0};
}

} // namespace

int Blit(const Image& source, Image& destination, const BlitCall& call) {
    int code = call.ink & 0xFFF;
    std::uint32_t parameter = call.parameter;
    if (call.mode < 0 || call.mode > 1 || code >= 14) return 0;
    // Which pixels the call covers: inside the requested rectangle, the source and the destination's clip.
    bool any = false;
    auto covered = [&](int X, int Y, int& u, int& v) {
        if (X < call.x || Y < call.y || X - call.x >= call.width || Y - call.y >= call.height) return false;
        if (X < destination.clipLeft || X >= destination.clipRight || Y < destination.clipTop ||
            Y >= destination.clipBottom)
            return false;
        u = X - call.x + call.sourceX;
        v = Y - call.y + call.sourceY;
        return u >= 0 && v >= 0 && u < source.width && v < source.height;
    };
    for (int Y = 0; Y < destination.height; ++Y)
        for (int X = 0; X < destination.width; ++X) {
            int u = 0, v = 0;
            any = any || covered(X, Y, u, v);
        }
    if (!any) return 0;

    // The ink word reduced to one operator and its parameter.
    int effect = code;
    if (code == 0) {
        effect = 0;
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
        if (parameter != 0) return 0;
        effect = 0;
    } else if (code == 7) {
        return 0;
    }

    bool copyAlpha = call.mode == 0 && (call.flags & 2) && !source.alpha.empty();
    if (copyAlpha && destination.alpha.empty())
        destination.alpha.assign(static_cast<std::size_t>(destination.width * destination.height), 0);
    for (int Y = 0; Y < destination.height; ++Y)
        for (int X = 0; X < destination.width; ++X) {
            int u = 0, v = 0;
            if (!covered(X, Y, u, v)) continue;
            const Pixel s = source.At(u, v);
            Pixel& d = destination.At(X, Y);
            if (call.mode == 0) {
                d = effect == 0 ? s : Ink(effect, parameter, s, d, source.key, true);
            } else if (!source.alpha.empty()) {
                const int a = source.alpha[static_cast<std::size_t>(v * source.width + u)];
                if (a == 0) continue;
                const Pixel r = effect == 0 ? s : Ink(effect, parameter, s, d, source.key, false);
                d = a == 255 ? r : AlphaWeighted(r, d, a);
            } else if (!SameColour(s, source.key)) {
                d = effect == 0 ? s : Ink(effect, parameter, s, d, source.key, false);
            }
            if (copyAlpha)
                destination.alpha[static_cast<std::size_t>(Y * destination.width + X)] =
                    source.alpha[static_cast<std::size_t>(v * source.width + u)];
        }
    return 1;
}

} // namespace reference
