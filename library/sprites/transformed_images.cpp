// The scaled and rotated image of a sprite, made once when its scale, angle or image changes.
#include "sprite_drawing_internal.h"

#include "surfaces/engine_interface.h"
#include "vtrs2/banks.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/surface_implementation.h"

#include <utility>

using namespace win32;

namespace sprites {

namespace {

// Stretch flags: the alpha plane scales along; resampled sprites are smoothed, aware of transparent pixels
// when they are drawn with their transparent colour.
int StretchFlags(const Sprite* s) {
    const bool resample = s->flags & SpriteResample;
    if (resample && (s->ink & InkTransparent))
        return engine::StretchFlagScaleAlpha | engine::StretchFlagSmooth | engine::StretchFlagSmoothAware;
    return engine::StretchFlagScaleAlpha | (resample ? engine::StretchFlagSmooth : 0);
}

int Stretch(const Sprite* s, cSurfaceImplementation& image, cSurfaceImplementation& into) {
    return image.StretchBlit(&into, 0, 0, into.width, into.height, 0, 0, image.width, image.height, 0, 0, 0,
                             StretchFlags(s));
}

int Rotate(const Sprite* s, cSurfaceImplementation& image, cSurfaceImplementation& into, COLORREF key) {
    into.FillRect(0, 0, into.width, into.height, key);
    const float angle = s->displayed.angle;
    if (angle == 90.0f) return image.RotateQuarter(&into, 0);
    if (angle == 270.0f) return image.RotateQuarter(&into, 1);
    return image.Rotate(&into, angle, (s->flags & SpriteAntialias) ? 1 : 0, key, 1);
}

cSurfaceImplementation* MakeTransformed(const Sprite* s, cImageSurface& image) {
    const SpriteGeometry& g = s->displayed;
    const int width = g.rect.right - g.rect.left, height = g.rect.bottom - g.rect.top;
    cSurfaceImplementation* out = image.CreateSameKind(width, height);
    if (!out) return nullptr;
    out->SetColorKey(image.GetColorKey());
    const bool scaled = g.scaleX != 1 || g.scaleY != 1;
    int made = 0;
    if (g.angle == 0) {
        made = Stretch(s, image, *out);
    } else if (!scaled) {
        made = Rotate(s, image, *out, image.GetColorKey());
    } else {
        // Scaled and rotated: the image is scaled first, then turned.
        engine::Temporary between(image.CreateSameKind(static_cast<int>(image.width * g.scaleX),
                                                       static_cast<int>(image.height * g.scaleY)));
        if (between) {
            between->SetColorKey(image.GetColorKey());
            made = Stretch(s, image, *between.get()) && Rotate(s, *between.get(), *out, image.GetColorKey());
        }
    }
    if (!made) DeleteOwned(out);
    return out;
}

} // namespace

void BuildTransformedImage(SpriteWindow* window, Sprite* s) {
    if (s->flags & (SpriteOwnerDrawn | SpriteUntracked)) return;
    DeleteOwned(s->transformed);
    const SpriteGeometry& g = s->displayed;
    if (g.angle == 0 && g.scaleX == 1 && g.scaleY == 1) return;
    const ImageItem* item = ImageItemOf(window, s->image);
    if (!item) return;
    // A packed image is unpacked into a surface of its size by the image surface itself.
    cImageSurface image(item);
    if (image.width <= 0) return;
    s->transformed = MakeTransformed(s, image);
}

} // namespace sprites
