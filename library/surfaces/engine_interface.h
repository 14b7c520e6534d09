// What the library's layers above the surfaces may use of the software engine beside the public surface
// classes: the flag bits of Blit and Stretch, and a surface made for one operation. The engine's other
// headers are its own.
#pragma once

#include "vtrs2/surface_implementation.h"

namespace engine {

constexpr int BlitFlagAntialias = 1;
constexpr int BlitFlagCopyAlpha = 2;
constexpr int StretchFlagSmooth = 1;
constexpr int StretchFlagSmoothAware = 2;
constexpr int StretchFlagScaleAlpha = 4;

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
