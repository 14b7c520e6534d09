// The software blit: clipping, ink reduction, the choice of pixel routine, cross-depth conversion and the
// alpha plane copy. Scaling, rotation by arbitrary angles, the antialiasing filter and text are drawn by
// the engine's own units.
#include "engine_common.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/surface_engine.h"
#include "vtrs2/surface_implementation.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

using engine::BlitFlagAntialias;
using engine::BlitFlagCopyAlpha;
using engine::BlitRect;
using engine::InkCodeLimit;
using engine::InkCodeMask;
using engine::PixelLock;

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

// 8-bit colour work maps its results back through the palette's 15-bit lookup table.
bool PaletteReady(const cSurfaceImplementation& s) {
    return s.depth > 8 || (s.palette && BuildPaletteLookup15(s.palette));
}

} // namespace

int cSurfaceImplementation::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                                 int w, int h, int mode, int ink, LPARAM parameter, int blitFlags) {
    if (mode < 0 || mode >= 2 || (ink & InkCodeMask) >= InkCodeLimit || !destination ||
        destination->IsDCOnly())
        return 0;
    BlitRect r{x, y, sourceX, sourceY, w, h};
    if (!r.Clip(*this, *destination)) return 0;
    const int cx = static_cast<int>(r.x), cy = static_cast<int>(r.y);
    const int csx = static_cast<int>(r.sourceX), csy = static_cast<int>(r.sourceY);
    const int cw = static_cast<int>(r.width), ch = static_cast<int>(r.height);
    if (destination->CanBlitFrom())
        return destination->BlitFrom(this, cx, cy, csx, csy, cw, ch, mode, ink, parameter, blitFlags);

    const engine::Ink reduced = engine::ReduceInk(ink, parameter);
    if (reduced.refused) return 0;
    if (!reduced.draw) return 1;
    if (destination->depth != depth)
        return BlitOtherDepth(destination, cx, cy, csx, csy, cw, ch, mode, reduced.effect,
                              reduced.coefficient, blitFlags);
    if (depth <= 8 && (reduced.effect != 0 || alphaPlane) && !PaletteReady(*destination)) return 0;
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
    if (!PaletteReady(*this) || !PaletteReady(*destination) || !routines || !routines->ConvertBlit) return 0;
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
    if (!PaletteReady(*destination)) return 0;
    BlitRect r{x, y, sourceX, sourceY, w, h};
    if (!r.Clip(*this, *destination)) return 0;
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
