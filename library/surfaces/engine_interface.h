// What the library's layers above the surfaces may use of the software engine beside the public surface
// classes: the ink codes and the flag bits of Blit and Stretch, and a surface made for one operation. The
// engine's other headers are its own.
#pragma once

#include "vtrs2/surface_implementation.h"

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

} // namespace surfaces

namespace engine {

// The ink code in the low bits of an ink word.
constexpr int InkCodeMask = 0xFFF;
constexpr int BlitFlagAntialias = 1;
constexpr int BlitFlagCopyAlpha = 2;
constexpr int StretchFlagSmooth = 1;
constexpr int StretchFlagSmoothAware = 2;
constexpr int StretchFlagScaleAlpha = 4;

// Surfaces of a display driver answer these implementation types: they redraw the whole scene each frame.
constexpr bool IsDriverSurfaceType(int type) {
    return type >= 9 && type <= 16;
}

// A surface made for the length of one operation.
class Temporary {
public:
    explicit Temporary(cSurfaceImplementation* s) : surface_(s) {}
    ~Temporary() {
        if (surface_) surface_->Delete();
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    cSurfaceImplementation* get() const { return surface_; }
    cSurfaceImplementation* operator->() const { return surface_; }
    explicit operator bool() const { return surface_ != nullptr; }

private:
    cSurfaceImplementation* surface_;
};

} // namespace engine
