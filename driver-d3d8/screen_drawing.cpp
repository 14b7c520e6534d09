// What the screen draws: textures through the sprite (axis-aligned, tiled, scaled, or turned about a hot
// spot) with the ink table's blending and colour, through the ink's effect (the built-in invert and grey,
// or an effect object's passes), and the sprite's state cache; fills, gradients and lines as pre-transformed
// vertices.
#include "ink_mapping.h"
#include "screen_surface.h"

#include "vtrs2/effect.h"
#include "win32/d3dx8.h"
#include "win32/user.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace win32;

namespace {

constexpr DWORD ScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(ScreenVertexFormat == 0x144);
constexpr D3DCOLOR White = 0xFFFFFFFFu;
constexpr float Pi = 3.1415927f;
constexpr float TwoPi = 6.2831855f;

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

} // namespace

void cD3DScreenSurface::SetSpriteState(bool blending, bool filterWanted, bool force, DWORD source,
                                       DWORD destination, DWORD op, DWORD filter) {
    if (!device_ || !sprite_) return;
    if (!spriteBatchOpen_) {
        BeginSpriteBatch();
    } else if (force || blending != blendingOn_ ||
               (blending && (source != sourceBlend_ || destination != destinationBlend_ || op != blendOp_)) ||
               (filterWanted && filter != currentFilter_)) {
        EndSpriteBatch();
        BeginSpriteBatch();
    }
    if (blending != blendingOn_) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blending ? 1 : 0);
        blendingOn_ = blending;
    }
    if (source != sourceBlend_) {
        device_->SetRenderState(D3DRS_SRCBLEND, source);
        sourceBlend_ = source;
    }
    if (destination != destinationBlend_) {
        device_->SetRenderState(D3DRS_DESTBLEND, destination);
        destinationBlend_ = destination;
    }
    if (op != blendOp_) {
        device_->SetRenderState(D3DRS_BLENDOP, op);
        blendOp_ = op;
    }
    if (filterWanted && filter != currentFilter_) {
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
        currentFilter_ = filter;
    }
}

int cD3DScreenSurface::DrawTexture(const TextureDraw& d) {
    if (!device_ || resetting_ || !sprite_ || !d.texture || (drawNesting_ == 0 && renderTargetCount_ == 0))
        return 0;
    const InkDrawing ink = d.drawing ? *d.drawing : MapInk(d.ink, d.parameter);
    if ((ink.colour >> 24) == 0) return 1;
    const int sw = d.source.right - d.source.left, sh = d.source.bottom - d.source.top;
    if (sw <= 0 || sh <= 0) return 1;
    const bool scaled = d.scaleX != 1.0f || d.scaleY != 1.0f;
    const bool turned = d.angle != 0.0f;
    const bool plainCopy = d.mode == 0 && (d.ink & InkCodeMask) == InkCopy && ink.colour == White;

    // Tiles of the source's size from the destination's corner, the last ones cut to the rectangle.
    struct Tile {
        RECT source;
        float x, y;
    };
    std::vector<Tile> tiles;
    if (d.tile) {
        const int columns = static_cast<int>(std::ceil(d.width / static_cast<float>(sw)));
        const int rows = static_cast<int>(std::ceil(d.height / static_cast<float>(sh)));
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i) {
                const int left = i * sw, top = j * sh;
                const int cw = std::min(sw, static_cast<int>(d.width) - left);
                const int ch = std::min(sh, static_cast<int>(d.height) - top);
                tiles.push_back({RECT{d.source.left, d.source.top, d.source.left + cw, d.source.top + ch},
                                 d.x + static_cast<float>(left), d.y + static_cast<float>(top)});
            }
    } else {
        tiles.push_back({d.source, d.x, d.y});
    }

    bool drawn = false;
    // An unscaled plain copy goes by CopyRects when it can; a copy refused falls back to the sprite.
    if (plainCopy && !scaled && !turned && !d.tile && d.x == std::floor(d.x) && d.y == std::floor(d.y)) {
        IDirect3DSurface8* level = nullptr;
        IDirect3DSurface8* target = nullptr;
        if (SUCCEEDED(d.texture->GetSurfaceLevel(0, &level)) &&
            SUCCEEDED(device_->GetRenderTarget(&target))) {
            const POINT at{static_cast<LONG>(d.x), static_cast<LONG>(d.y)};
            drawn = SUCCEEDED(device_->CopyRects(level, &d.source, 1, target, &at));
        }
        if (level) level->Release();
        if (target) target->Release();
    }
    if (!drawn) {
        const bool filterWanted = scaled || turned;
        const DWORD filter = !filterWanted                   ? currentFilter_
                             : (d.flags & DrawFlagAntialias) ? defaultFilter_
                                                             : D3DTEXF_POINT;
        DWORD source = ink.sourceBlend, destination = ink.destinationBlend, op = ink.blendOp;
        bool blending = true;
        if (d.flags & DrawFlagReplace) {
            source = D3DBLEND_ONE;
            destination = D3DBLEND_ZERO;
            op = D3DBLENDOP_ADD;
        } else if (d.mode == 0 && (d.ink & InkCodeMask) == InkCopy && (ink.colour >> 24) == 0xFF) {
            blending = false;
        }
        ID3DXEffect* effect = ink.effect != InkEffectKind::None ? EffectOf(ink) : nullptr;
        IDirect3DTexture8* drawnTexture = d.texture;
        IDirect3DTexture8* coloured = nullptr;
        D3DCOLOR colour = ink.colour;
        // The unturned destination box: what a capture of the destination covers.
        const RECT area{static_cast<LONG>(std::floor(d.x)), static_cast<LONG>(std::floor(d.y)),
                        static_cast<LONG>(std::ceil(d.x + d.width)),
                        static_cast<LONG>(std::ceil(d.y + d.height))};
        if (effect) {
            // Passes read the texel alone, so a coloured source is drawn coloured into a copy first. A
            // capture lines up with the drawn texture only when that is the source rectangle whole.
            const bool captures = ink.effect == InkEffectKind::Object && ink.object->GetOptions() > 0;
            D3DSURFACE_DESC desc{};
            const bool part = FAILED(d.texture->GetLevelDesc(0, &desc)) || d.source.left != 0 ||
                              d.source.top != 0 || static_cast<UINT>(sw) != desc.Width ||
                              static_cast<UINT>(sh) != desc.Height;
            if (colour != White || (captures && part)) {
                coloured = ColouredCopy(d.texture, d.source, colour);
                if (coloured) {
                    drawnTexture = coloured;
                    for (Tile& t : tiles)
                        OffsetRect(&t.source, -d.source.left, -d.source.top);
                }
            }
            colour = White;
        }
        const D3DXVECTOR2 scale{d.scaleX, d.scaleY}, centre{d.centreX, d.centreY};
        const auto drawTiles = [&] {
            for (const Tile& t : tiles) {
                const D3DXVECTOR2 at{t.x, t.y};
                sprite_->Draw(drawnTexture, &t.source, scaled ? &scale : nullptr, turned ? &centre : nullptr,
                              d.angle, &at, colour);
            }
        };
        SetSpriteState(blending, filterWanted, effect != nullptr, source, destination, op, filter);
        EffectRun run;
        run.effect = effect;
        if (effect && BeginEffectRun(run, ink, area, drawnTexture)) {
            for (UINT pass = 0; pass < run.passes; ++pass) {
                effect->Pass(pass);
                drawTiles();
                // The pass's program ends with these quads: they are drawn now, and the batch starts again.
                FlushBatch(0);
            }
            effect->End();
            // The batch's states again, as the state cache has them.
            FlushBatch(0);
            EndEffectRun(run);
        } else {
            drawTiles();
        }
        if (coloured) {
            DeferRelease(coloured);
            coloured->Release();
        }
    }
    if (!(d.flags & DrawFlagNoHold)) DeferRelease(d.texture);
    return 1;
}

// A render texture of the source rectangle's size holding the source modulated by the colour, blended ONE,
// ZERO so that its alpha is kept; null when one cannot be made.
IDirect3DTexture8* cD3DScreenSurface::ColouredCopy(IDirect3DTexture8* texture, const RECT& source,
                                                   D3DCOLOR colour) {
    const UINT w = static_cast<UINT>(source.right - source.left),
               h = static_cast<UINT>(source.bottom - source.top);
    IDirect3DTexture8* copy = nullptr;
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* saved = nullptr;
    if (FAILED(
            device_->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy)))
        return nullptr;
    EndSpriteBatch();
    copy->GetSurfaceLevel(0, &level);
    device_->GetRenderTarget(&saved);
    device_->SetRenderTarget(level, nullptr);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    SetSpriteState(true, true, true, D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, D3DTEXF_POINT);
    const D3DXVECTOR2 at{0, 0};
    sprite_->Draw(texture, &source, nullptr, nullptr, 0.0f, &at, colour);
    EndSpriteBatch();
    device_->SetRenderTarget(saved, nullptr);
    saved->Release();
    level->Release();
    return copy;
}

int cD3DScreenSurface::DrawTextureRect(int x, int y, int w, int h, IDirect3DTexture8* texture, int sourceX,
                                       int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                                       LPARAM parameter, int flags) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || w <= 0 || h <= 0) return device_ ? 1 : 0;
    const bool tile = (flags & DrawFlagTile) != 0;
    TextureDraw d{};
    d.texture = texture;
    d.source = RECT{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight};
    d.x = static_cast<float>(x);
    d.y = static_cast<float>(y);
    d.width = static_cast<float>(w);
    d.height = static_cast<float>(h);
    d.scaleX = tile ? 1.0f : static_cast<float>(w) / static_cast<float>(sourceWidth);
    d.scaleY = tile ? 1.0f : static_cast<float>(h) / static_cast<float>(sourceHeight);
    d.tile = tile;
    d.mode = mode;
    d.ink = ink;
    d.parameter = parameter;
    d.flags = flags;
    return DrawTexture(d);
}

int cD3DScreenSurface::DrawTextureTransformed(float x, float y, float scaleX, float scaleY,
                                              IDirect3DTexture8* texture, int sourceX, int sourceY,
                                              int sourceWidth, int sourceHeight, int hotSpotX, int hotSpotY,
                                              float angle, int mode, int ink, LPARAM parameter, int flags) {
    float radians = std::fmod(angle * Pi / 180.0f, TwoPi);
    if (radians < 0) radians += TwoPi;
    TextureDraw d{};
    d.texture = texture;
    d.source = RECT{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight};
    d.scaleX = scaleX;
    d.scaleY = scaleY;
    d.width = static_cast<float>(sourceWidth) * scaleX;
    d.height = static_cast<float>(sourceHeight) * scaleY;
    d.angle = radians;
    // The hot spot lands on (x, y).
    d.centreX = static_cast<float>(hotSpotX) * scaleX;
    d.centreY = static_cast<float>(hotSpotY) * scaleY;
    d.x = x - d.centreX;
    d.y = y - d.centreY;
    d.mode = mode;
    d.ink = ink;
    d.parameter = parameter;
    d.flags = flags & ~DrawFlagTile;
    return DrawTexture(d);
}

// Quads and lines of one colour each vertex: stage 0 selects the diffuse colour, blending as the cache has
// it with the factors 5 and 6.
int cD3DScreenSurface::DrawPlainQuads(D3DPRIMITIVETYPE type, const void* vertices, int count) {
    FlushBatch(0);
    if (blendingOn_ && (sourceBlend_ != D3DBLEND_SRCALPHA || destinationBlend_ != D3DBLEND_INVSRCALPHA ||
                        blendOp_ != D3DBLENDOP_ADD)) {
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        sourceBlend_ = D3DBLEND_SRCALPHA;
        destinationBlend_ = D3DBLEND_INVSRCALPHA;
        blendOp_ = D3DBLENDOP_ADD;
    }
    DWORD shader = 0;
    device_->GetVertexShader(&shader);
    device_->SetVertexShader(ScreenVertexFormat);
    device_->SetTexture(0, nullptr);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    const UINT primitives =
        type == D3DPT_LINELIST ? static_cast<UINT>(count / 2) : static_cast<UINT>(count - 2);
    const HRESULT drawn = device_->DrawPrimitiveUP(type, primitives, vertices, sizeof(ScreenVertex));
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetVertexShader(shader);
    return SUCCEEDED(drawn) ? 1 : 0;
}

int cD3DScreenSurface::FillRectClipped(int x, int y, int w, int h, COLORREF color, const RECT& clip) {
    if (!device_ || resetting_) return 0;
    const int left = std::max<int>(x, clip.left), top = std::max<int>(y, clip.top);
    const int right = std::min<int>(x + w, clip.right), bottom = std::min<int>(y + h, clip.bottom);
    if (left >= right || top >= bottom) return 1;
    const D3DCOLOR colour = OpaqueColour(color);
    if (drawNesting_ == 0 && renderTargetCount_ == 0) {
        const D3DRECT r{left, top, right, bottom};
        const DWORD targets = D3DCLEAR_TARGET | (depthBuffer_ ? D3DCLEAR_ZBUFFER : 0);
        return SUCCEEDED(device_->Clear(1, &r, targets, colour, 0.0f, 0)) ? 1 : 0;
    }
    const auto l = static_cast<float>(left), t = static_cast<float>(top);
    const auto r = static_cast<float>(right), b = static_cast<float>(bottom);
    const ScreenVertex quad[4] = {{l, t, vertexDepth_, 1.0f, colour, 0, 0},
                                  {r, t, vertexDepth_, 1.0f, colour, 0, 0},
                                  {r, b, vertexDepth_, 1.0f, colour, 0, 0},
                                  {l, b, vertexDepth_, 1.0f, colour, 0, 0}};
    DrawPlainQuads(D3DPT_TRIANGLEFAN, quad, 4);
    return 1;
}

int cD3DScreenSurface::FillRect(int x, int y, int w, int h, COLORREF color) {
    return FillRectClipped(x, y, w, h, color, RECT{clipLeft, clipTop, clipRight, clipBottom});
}

int cD3DScreenSurface::FillGradient(int x, int y, int w, int h, const COLORREF* corners) {
    if (!device_ || resetting_ || !corners || (drawNesting_ == 0 && renderTargetCount_ == 0)) return 0;
    const auto l = static_cast<float>(x), t = static_cast<float>(y);
    const auto r = static_cast<float>(x + w), b = static_cast<float>(y + h);
    const ScreenVertex quad[4] = {{l, t, vertexDepth_, 1.0f, OpaqueColour(corners[0]), 0, 0},
                                  {r, t, vertexDepth_, 1.0f, OpaqueColour(corners[1]), 0, 0},
                                  {r, b, vertexDepth_, 1.0f, OpaqueColour(corners[2]), 0, 0},
                                  {l, b, vertexDepth_, 1.0f, OpaqueColour(corners[3]), 0, 0}};
    DrawPlainQuads(D3DPT_TRIANGLEFAN, quad, 4);
    return 1;
}

int cD3DScreenSurface::FillRectGradient(int x, int y, int w, int h, const COLORREF* corners, int) {
    return FillGradient(x, y, w, h, corners);
}

int cD3DScreenSurface::DrawLine(int x1, int y1, int x2, int y2, int, COLORREF color) {
    if (!device_ || resetting_ || (drawNesting_ == 0 && renderTargetCount_ == 0)) return 1;
    const D3DCOLOR colour = OpaqueColour(color);
    const ScreenVertex line[2] = {{static_cast<float>(x1 - originX_), static_cast<float>(y1 - originY_),
                                   vertexDepth_, 1.0f, colour, 0, 0},
                                  {static_cast<float>(x2 - originX_), static_cast<float>(y2 - originY_),
                                   vertexDepth_, 1.0f, colour, 0, 0}};
    DrawPlainQuads(D3DPT_LINELIST, line, 2);
    return 1;
}
