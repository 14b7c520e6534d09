// The per-layer records of a window and the draw pass of display-driver windows, which composes the
// layers drawn with an ink in a layer surface before blending them onto the window surface.
#include "sprite_drawing_internal.h"
#include "window_host.h"

#include "surfaces/engine_interface.h"

#include "vtrs2/banks.h"
#include "vtrs2/context_record.h"
#include "vtrs2/effect.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

using namespace win32;
using namespace sprites;

namespace {

constexpr DWORD InkParameterIsColour = 0x1000;
constexpr DWORD AlphaOfColour = 0xFFFFFF; // a colour parameter at most this has alpha 0
// Driver blits of sprites carry this flag beside the antialiasing bit.
constexpr int DriverSpriteBlit = 0x10;

enum class LayerDrawing { Direct, Skipped, Composed };

LayerDrawing ChooseDrawing(const SpriteWindow* window, int layer) {
    if (layer < 0 || layer >= window->layerCount || !window->layers) return LayerDrawing::Direct;
    const LayerRecord& record = window->layers[layer];
    if ((record.flags & LayerDrawnDirectly) || record.ink == 0) return LayerDrawing::Direct;
    const int code = static_cast<int>(record.ink & engine::InkCodeMask);
    if (code == surfaces::InkBlend && record.inkParam == SeeThroughBlend) return LayerDrawing::Skipped;
    // An effect object composes like a colour parameter with alpha: its RGBA coefficient is that colour.
    if (code == surfaces::InkEffectObject && record.inkParam != 0)
        return reinterpret_cast<CEffectEx*>(record.inkParam)->GetRgbaCoefficient() <= AlphaOfColour
                   ? LayerDrawing::Skipped
                   : LayerDrawing::Composed;
    if ((record.ink & InkParameterIsColour) && static_cast<DWORD>(record.inkParam) <= AlphaOfColour)
        return LayerDrawing::Skipped;
    return LayerDrawing::Composed;
}

// The layer surface at the window's size, made on demand from the render-texture prototype of the driver
// that bit 7 of the context's display mode names; a window whose driver gave none takes a surface of its
// work surface's own kind.
cSurface* BeginLayerSurface(SpriteWindow* window, cSurfaceImplementation& work) {
    cSurface*& layer = window->layerSurface;
    if (layer && (layer->GetWidth() != work.width || layer->GetHeight() != work.height)) {
        DeleteSurface(layer);
        layer = nullptr;
    }
    if (!layer) {
        const AppContext* context = HasWindow(window) ? window->host->context(window->appWindow) : nullptr;
        const bool direct3D8 = context && (context->displayMode & DisplayModeDirect3D8Flag);
        const cSurface* prototype = GetDriverPrototypeHolder(direct3D8 ? 0 : 1, PublicTypeRenderTexture);
        cSurfaceImplementation* made =
            prototype && prototype->HasImplementation()
                ? prototype->GetImplementation()->CreateSameKind(work.width, work.height)
                : work.CreateSameKind(work.width, work.height);
        if (!made) return nullptr;
        layer = NewSurface();
        if (!layer) {
            made->Delete();
            return nullptr;
        }
        layer->SetImplementation(made);
    }
    layer->BeginDraw(1, 0);
    return layer;
}

void FinishLayerSurface(SpriteWindow* window, int layer, cSurfaceImplementation& work) {
    cSurface* surface = window->layerSurface;
    surface->EndDraw();
    const LayerRecord& record = window->layers[layer];
    surface->GetImplementation()->Blit(&work, 0, 0, 0, 0, work.width, work.height, 1,
                                       static_cast<int>(record.ink & 0xFFFF), record.inkParam, 0);
}

void DrawDriverSprite(SpriteWindow* window, Sprite* s, cSurfaceImplementation& target) {
    if (s->flags & SpriteOwnerDrawn) {
        if (s->routine) s->routine(s, SpriteRoutineDraw, 0);
        return;
    }
    BlitInk ink = TranslateInk(s->ink, s->inkParam);
    ink.flags |= DriverSpriteBlit;
    const SpriteGeometry& g = s->displayed;
    if (cSurfaceImplementation* transformed = s->transformed) {
        transformed->Blit(&target, g.rect.left, g.rect.top, 0, 0, transformed->width, transformed->height,
                          ink.mode, ink.ink, ink.parameter, ink.flags);
        return;
    }
    const ImageItem* item = ImageItemOf(window, s->image);
    if (!item) return;
    // The image's texture, made on demand; the bank image itself when no texture can be made.
    cImageSurface image(item);
    cSurfaceImplementation* source = &image;
    AppContext* context = HasWindow(window) ? window->host->context(window->appWindow) : nullptr;
    if (cSurfaceImplementation* texture = context ? GetImageTexture(context, s->image, 0) : nullptr)
        source = texture;
    const int width = static_cast<int>(item->width), height = static_cast<int>(item->height);
    if (g.angle != 0 || g.scaleX != 1 || g.scaleY != 1) {
        const float scale[2] = {g.scaleX, g.scaleY};
        source->TransformBlit(&target, static_cast<float>(g.x), static_cast<float>(g.y), g.hotX, g.hotY, 0, 0,
                              width, height, scale, g.angle, ink.mode, ink.ink, ink.parameter, ink.flags);
        return;
    }
    source->Blit(&target, g.rect.left, g.rect.top, 0, 0, width, height, ink.mode, ink.ink, ink.parameter,
                 ink.flags);
}

} // namespace

namespace sprites {

void DrawDriverSprites(SpriteWindow* window, cSurfaceImplementation& work) {
    const RECT clip = ClipOf(work);
    int current = -1;
    LayerDrawing drawing = LayerDrawing::Direct;
    cSurface* composing = nullptr;
    for (Sprite* s = window->sprites->first; s; s = s->next) {
        if ((s->flags & NotDrawn) || !Meets(s->displayed.rect, clip)) continue;
        const int layer = s->layerKey >> 1;
        if (layer != current) {
            if (composing) FinishLayerSurface(window, current, work);
            current = layer;
            drawing = ChooseDrawing(window, layer);
            composing = drawing == LayerDrawing::Composed ? BeginLayerSurface(window, work) : nullptr;
        }
        if (drawing == LayerDrawing::Skipped) continue;
        DrawDriverSprite(window, s, composing ? *composing->GetImplementation() : work);
        s->flags &= ~(SpriteRedraw | SpriteChanged);
    }
    if (composing) FinishLayerSurface(window, current, work);
}

} // namespace sprites

void AllocateLayerRecords(SpriteWindow* window, int count) {
    if (!window) return;
    FreeMemory(&window->layers);
    window->layerCount = 0;
    if (count <= 0) return;
    LayerRecord* records = nullptr;
    if (!AllocZeroedMemory(static_cast<std::size_t>(count) * sizeof(LayerRecord), &records)) return;
    for (int i = 0; i < count; ++i)
        records[i].factors[0] = records[i].factors[1] = records[i].factors[2] = 1.0f;
    window->layers = records;
    window->layerCount = count;
}

LayerRecord* GetLayerRecord(SpriteWindow* window, int layer) {
    if (!window || !window->layers || layer < 0 || layer >= window->layerCount) return nullptr;
    return &window->layers[layer];
}

void SetLayerEffect(SpriteWindow* window, int layer, DWORD ink, LONG_PTR inkParam, DWORD flags) {
    if (LayerRecord* record = GetLayerRecord(window, layer)) {
        record->ink = ink;
        record->inkParam = inkParam;
        record->flags = flags;
    }
}
