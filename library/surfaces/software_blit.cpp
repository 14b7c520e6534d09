// The software blit: clipping, ink reduction, the choice of pixel routine, cross-depth conversion and the
// alpha plane copy. Scaling, rotation by arbitrary angles, the antialiasing filter and text are drawn by
// the engine's own units.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface_engine.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

constexpr int InkCodeMask = 0xFFF;
constexpr int InkParameterIsRgba = 0x1000;
constexpr int InkCodeLimit = 14;
constexpr int InkUnsupported = 7;
constexpr int InkEffectObject = 13;
constexpr int BlitFlagAntialias = 1;
constexpr int BlitFlagCopyAlpha = 2;

// A blit rectangle after clipping.
struct BlitRect {
    long long x, y, sourceX, sourceY, width, height;
};

// Cuts the rectangle to the source's remaining width and height from the source position, then to the
// destination's clip rectangle. False when nothing is left.
bool ClipBlit(const cSurfaceImplementation& source, const cSurfaceImplementation& destination, BlitRect& r) {
    if (r.sourceX < 0) {
        r.x -= r.sourceX;
        r.width += r.sourceX;
        r.sourceX = 0;
    }
    if (r.sourceY < 0) {
        r.y -= r.sourceY;
        r.height += r.sourceY;
        r.sourceY = 0;
    }
    r.width = std::min<long long>(r.width, source.width - r.sourceX);
    r.height = std::min<long long>(r.height, source.height - r.sourceY);
    if (r.x < destination.clipLeft) {
        const long long cut = destination.clipLeft - r.x;
        r.sourceX += cut;
        r.width -= cut;
        r.x = destination.clipLeft;
    }
    if (r.y < destination.clipTop) {
        const long long cut = destination.clipTop - r.y;
        r.sourceY += cut;
        r.height -= cut;
        r.y = destination.clipTop;
    }
    r.width = std::min<long long>(r.width, destination.clipRight - r.x);
    r.height = std::min<long long>(r.height, destination.clipBottom - r.y);
    return r.width > 0 && r.height > 0;
}

// The ink word and parameter reduced to an effect code and a coefficient.
struct ReducedInk {
    enum Outcome { Draw, NothingToDraw, Refused } outcome;
    int effect;
    DWORD coefficient;
};

ReducedInk ReduceInk(int ink, LPARAM parameter) {
    const int code = ink & InkCodeMask;
    const auto value = static_cast<DWORD>(parameter);
    switch (code) {
    case 0:
        if (!(ink & InkParameterIsRgba)) return {ReducedInk::Draw, 0, 0};
        if ((value >> 24) == 0) return {ReducedInk::NothingToDraw, 0, 0};
        return {ReducedInk::Draw, 1, (255 - (value >> 24)) >> 1};
    case 1:
        if (value == 0) return {ReducedInk::Draw, 0, 0};
        if (value == 128) return {ReducedInk::NothingToDraw, 0, 0};
        return {ReducedInk::Draw, 1, value};
    case InkEffectObject:
        // The effect object's colour is read once effect objects exist; without one it is a copy.
        if (parameter == 0) return {ReducedInk::Draw, 0, 0};
        return {ReducedInk::Refused, 0, 0};
    case InkUnsupported:
        return {ReducedInk::Refused, 0, 0};
    default:
        return {ReducedInk::Draw, code, value};
    }
}

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

// Copies the same rectangle of the source's alpha plane into the destination's, creating it when missing.
void CopyAlphaRect(const cSurfaceImplementation& source, cSurfaceImplementation& destination,
                   const BlitRect& r) {
    if (!source.alphaPlane) return;
    if (!destination.alphaPlane && !destination.AllocateAlphaPlane()) return;
    for (long long j = 0; j < r.height; ++j)
        std::memmove(destination.AlphaRow(static_cast<int>(r.y + j)) + r.x,
                     source.AlphaRow(static_cast<int>(r.sourceY + j)) + r.sourceX,
                     static_cast<std::size_t>(r.width));
}

void DeleteTemporary(cSurfaceImplementation* t) {
    if (t) t->Delete();
}

} // namespace

int cSurfaceImplementation::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                                 int w, int h, int mode, int ink, LPARAM parameter, int blitFlags) {
    if (mode < 0 || mode >= 2 || (ink & InkCodeMask) >= InkCodeLimit || !destination ||
        destination->IsDCOnly())
        return 0;
    BlitRect r{x, y, sourceX, sourceY, w, h};
    if (!ClipBlit(*this, *destination, r)) return 0;
    const int cx = static_cast<int>(r.x), cy = static_cast<int>(r.y);
    const int csx = static_cast<int>(r.sourceX), csy = static_cast<int>(r.sourceY);
    const int cw = static_cast<int>(r.width), ch = static_cast<int>(r.height);
    if (destination->CanBlitFrom())
        return destination->BlitFrom(this, cx, cy, csx, csy, cw, ch, mode, ink, parameter, blitFlags);

    const ReducedInk reduced = ReduceInk(ink, parameter);
    if (reduced.outcome == ReducedInk::NothingToDraw) return 1;
    if (reduced.outcome == ReducedInk::Refused) return 0;
    if (destination->depth != depth)
        return BlitOtherDepth(destination, cx, cy, csx, csy, cw, ch, mode, reduced.effect,
                              reduced.coefficient, blitFlags);
    // 8-bit colour work needs the palettes' lookup tables.
    if (depth <= 8 && (reduced.effect != 0 || (mode == 1 && alphaPlane))) return 0;
    if (!routines) return 0;
    auto copy = mode == 1 ? routines->CopyTransparent : routines->CopyOpaque;
    auto inkBlit = mode == 1 ? routines->InkBlitTransparent : routines->InkBlitOpaque;
    if (reduced.effect == 0 ? !copy : !inkBlit) return 0;

    PixelLock source(*this);
    if (!source) return 0;
    PixelLock target(*destination);
    if (!target) return 0;
    if (reduced.effect == 0)
        copy(*destination, cx, cy, *this, csx, csy, cw, ch);
    else
        inkBlit(*destination, cx, cy, *this, csx, csy, cw, ch, reduced.effect, reduced.coefficient);
    if (mode == 0 && (blitFlags & BlitFlagCopyAlpha)) CopyAlphaRect(*this, *destination, r);
    if (blitFlags & BlitFlagAntialias)
        AntialiasBlitEdges(*this, *destination, x, y, reduced.effect, reduced.coefficient);
    return 1;
}

int cSurfaceImplementation::BlitOtherDepth(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                           int sourceY, int w, int h, int mode, int effect, DWORD coefficient,
                                           int blitFlags) {
    if (!destination) return 0;
    if (IsPacked()) {
        cSurfaceImplementation* t = CreateSameKind(w, h);
        if (!t) return 0;
        Blit(t, 0, 0, sourceX, sourceY, w, h, 0, 0, 0, BlitFlagCopyAlpha);
        t->Blit(destination, x, y, 0, 0, w, h, mode, effect, coefficient, blitFlags);
        DeleteTemporary(t);
        return 1;
    }
    if (mode != 0 || effect != 0 || (blitFlags & BlitFlagAntialias)) {
        cSurfaceImplementation* t = destination->CreateSameKind(w, h);
        if (!t) return 0;
        t->SetColorKey(GetColorKey());
        const int converted = BlitOtherDepth(t, 0, 0, sourceX, sourceY, w, h, 0, 0, 0, BlitFlagCopyAlpha);
        const int drawn =
            converted && t->Blit(destination, x, y, 0, 0, w, h, mode, effect, coefficient, blitFlags);
        DeleteTemporary(t);
        return drawn ? 1 : 0;
    }
    // Conversions from and to 8 bits go through palettes.
    if (depth <= 8 || destination->depth <= 8 || !routines || !routines->ConvertBlit) return 0;
    PixelLock source(*this);
    if (!source) return 0;
    PixelLock target(*destination);
    if (!target) return 0;
    routines->ConvertBlit(*destination, x, y, w * destination->bytesPerPixel, *this, sourceX, sourceY, w, h);
    if (blitFlags & BlitFlagCopyAlpha)
        CopyAlphaRect(*this, *destination, BlitRect{x, y, sourceX, sourceY, w, h});
    return 1;
}

int cSurfaceImplementation::BlitSameDepth(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                          int sourceY, int w, int h, int mode, PixelCallback callback,
                                          LPARAM argument) {
    if (!destination || destination->IsDCOnly() || destination->depth != depth || !callback) return 0;
    BlitRect r{x, y, sourceX, sourceY, w, h};
    if (!ClipBlit(*this, *destination, r)) return 0;
    auto routine =
        routines ? (mode == 1 ? routines->CallbackBlitTransparent : routines->CallbackBlitOpaque) : nullptr;
    if (!routine) return 0;
    PixelLock source(*this);
    if (!source) return 1;
    PixelLock target(*destination);
    if (!target) return 0;
    routine(*destination, static_cast<int>(r.x), static_cast<int>(r.y), *this, static_cast<int>(r.sourceX),
            static_cast<int>(r.sourceY), static_cast<int>(r.width), static_cast<int>(r.height), callback,
            argument);
    return 1;
}

int cSurfaceImplementation::TransformBlit(cSurfaceImplementation* destination, float x, float y, int hotSpotX,
                                          int hotSpotY, int sourceX, int sourceY, int w, int h,
                                          const float* scale, float angle, int mode, int ink,
                                          LPARAM parameter, int blitFlags) {
    if (!destination) return 0;
    return destination->TransformBlitFrom(this, x, y, hotSpotX, hotSpotY, sourceX, sourceY, w, h, scale,
                                          angle, mode, ink, parameter, blitFlags);
}
