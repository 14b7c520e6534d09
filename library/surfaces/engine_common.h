// Helpers shared by the software engine's units: ink reduction, blit clipping and pixel locks (with the
// flags and temporary surfaces of engine_interface.h, which the higher layers may use too).
#pragma once

#include "engine_interface.h"
#include "vtrs2/effect.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <cstdint>

namespace engine {

using win32::COLORREF;
using win32::DWORD;
using win32::LPARAM;

constexpr int InkParameterIsRgba = 0x1000;
constexpr int InkCodeLimit = surfaces::InkCodeCount;

// (ink word, parameter) reduced to (effect, coefficient); draw is false when there is nothing to draw,
// refused when the ink cannot be drawn at all.
struct Ink {
    bool draw = true;
    int effect = 0;
    DWORD coefficient = 0;
    bool refused = false;
};

inline Ink ReduceInk(int ink, LPARAM parameter) {
    const int code = ink & InkCodeMask;
    const auto value = static_cast<DWORD>(parameter);
    switch (code) {
    case 0:
        if (!(ink & InkParameterIsRgba)) return {};
        if ((value >> 24) == 0) return {false, 0, 0};
        return {true, 1, (255 - (value >> 24)) >> 1};
    case 1:
        if (value == 0) return {};
        if (value == 128) return {false, 0, 0};
        return {true, 1, value};
    case surfaces::InkEffectObject: {
        // Software surfaces apply an effect object by the alpha of its RGBA coefficient only.
        if (parameter == 0) return {};
        const DWORD alpha = reinterpret_cast<CEffectEx*>(parameter)->GetRgbaCoefficient() >> 24;
        if (alpha == 0) return {false, 0, 0};
        if (alpha == 255) return {};
        return {true, 1, (255 - alpha) >> 1};
    }
    case 7:
        return {false, 0, 0, true};
    default:
        return {true, code, value};
    }
}

// A blit rectangle; Clip cuts it to the source's size and the destination's clip rectangle.
struct BlitRect {
    long long x, y, sourceX, sourceY, width, height;
    bool Clip(const cSurfaceImplementation& source, const cSurfaceImplementation& destination) {
        if (sourceX < 0) {
            x -= sourceX;
            width += sourceX;
            sourceX = 0;
        }
        if (sourceY < 0) {
            y -= sourceY;
            height += sourceY;
            sourceY = 0;
        }
        width = std::min<long long>(width, source.width - sourceX);
        height = std::min<long long>(height, source.height - sourceY);
        if (x < destination.clipLeft) {
            sourceX += destination.clipLeft - x;
            width -= destination.clipLeft - x;
            x = destination.clipLeft;
        }
        if (y < destination.clipTop) {
            sourceY += destination.clipTop - y;
            height -= destination.clipTop - y;
            y = destination.clipTop;
        }
        width = std::min<long long>(width, destination.clipRight - x);
        height = std::min<long long>(height, destination.clipBottom - y);
        return width > 0 && height > 0;
    }
};

class PixelLock {
public:
    explicit PixelLock(cSurfaceImplementation& s) : surface_(s), locked_(s.LockPixels() != 0) {}
    ~PixelLock() {
        if (locked_) surface_.UnlockPixels();
    }
    PixelLock(const PixelLock&) = delete;
    PixelLock& operator=(const PixelLock&) = delete;
    explicit operator bool() const { return locked_ && surface_.pixels; }

private:
    cSurfaceImplementation& surface_;
    bool locked_;
};

// Only the colour bytes take part in colour comparisons.
inline bool SameColor(COLORREF a, COLORREF b) {
    return ((a ^ b) & 0xFFFFFF) == 0;
}

} // namespace engine
