// Text on the screen through its cached D3DX fonts: TextOut lays out in its clip rectangle, DrawText in its
// box with the ink's colour and blending; measuring outside a scene goes through the layer's GDI.
#include "ink_mapping.h"
#include "screen_surface.h"

#include "win32/font.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <string>

using namespace win32;

namespace {

constexpr UINT TextOutFormat = DT_NOPREFIX | DT_SINGLELINE | DT_WORDBREAK; // 0x830
constexpr UINT DrawTextFormatMask = 0x20D7F;
constexpr UINT AlignRight = 2;  // TA_RIGHT
constexpr UINT AlignCentre = 6; // TA_CENTER
constexpr UINT AlignBottom = 8; // TA_BOTTOM
constexpr D3DCOLOR White = 0xFFFFFFFFu;

// The DrawText format of a TextOut alignment: centred, right or bottom as the alignment says.
UINT FormatOfAlignment(UINT align) {
    UINT format = TextOutFormat;
    if ((align & AlignCentre) == AlignCentre)
        format |= DT_CENTER;
    else if (align & AlignRight)
        format |= DT_RIGHT;
    return format | (align & AlignBottom);
}

// The text's colour: each channel of the COLORREF scaled by the ink colour's (unless that is white), with
// the ink colour's alpha.
D3DCOLOR TextColour(COLORREF color, D3DCOLOR ink) {
    const D3DCOLOR text = OpaqueColour(color);
    if ((ink & 0xFFFFFFu) == 0xFFFFFFu) return (text & 0xFFFFFFu) | (ink & 0xFF000000u);
    const auto channel = [&](int shift) {
        return (((text >> shift) & 0xFFu) * (((ink >> shift) & 0xFFu) + 1) / 256) << shift;
    };
    return (ink & 0xFF000000u) | channel(16) | channel(8) | channel(0);
}

std::u16string Widen(LPCSTR text, int length) {
    if (!text) return {};
    const int bytes = length < 0 ? static_cast<int>(std::char_traits<char>::length(text)) : length;
    if (bytes <= 0) return {};
    const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (units <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, bytes, wide.data(), units);
    return wide;
}

} // namespace

int cD3DScreenSurface::TextOutWide(LPCWSTR text, int length, int x, int y, UINT align, RECT* clip,
                                   COLORREF color, HFONT font, LPARAM, int, LPARAM, int) {
    if (!device_ || resetting_ || !text) return 0;
    // Without a clip rectangle the text lays out from (x, y) to the surface's clip edges.
    RECT box = clip ? *clip : RECT{x, y, clipRight + originX_, clipBottom + originY_};
    OffsetRect(&box, -originX_, -originY_);
    ID3DXFont* d3dFont = FontFor(font);
    if (!d3dFont) return 0;
    SetSpriteState(true, false, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD,
                   currentFilter_);
    return d3dFont->DrawTextW(text, length, &box, FormatOfAlignment(align), OpaqueColour(color));
}

int cD3DScreenSurface::TextOutAnsi(LPCSTR text, int length, int x, int y, UINT align, RECT* clip,
                                   COLORREF color, HFONT font, LPARAM reserved, int ink, LPARAM parameter,
                                   int flags) {
    const std::u16string wide = Widen(text, length);
    if (wide.empty()) return 0;
    return TextOutWide(wide.c_str(), static_cast<int>(wide.size()), x, y, align, clip, color, font, reserved,
                       ink, parameter, flags);
}

int cD3DScreenSurface::DrawTextWide(LPCWSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                    HFONT font, LPARAM, int ink, LPARAM parameter, int, int leftMargin,
                                    int rightMargin, int tabLength) {
    if (!text || !rect) return 0;
    const bool measuring = (format & DT_CALCRECT) != 0;
    RECT box = *rect;
    OffsetRect(&box, -originX_, -originY_);
    if (drawNesting_ == 0 && renderTargetCount_ == 0) {
        if (!measuring) return 0;
        HDC dc = GetDC(nullptr);
        if (!dc) return 0;
        HFONT previous = SelectFont(dc, font);
        DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), tabLength, leftMargin, rightMargin, 0};
        const int height = DrawTextExW(dc, text, length, rect, format, &params);
        SelectFont(dc, previous);
        ReleaseDC(nullptr, dc);
        return height;
    }
    if (!device_ || resetting_) return 0;
    const InkDrawing drawing = MapInk(ink, parameter);
    if (!measuring && (ink & InkCodeMask) == InkBlend && parameter == InkBlendInvisible) return 1;
    if (!measuring && (drawing.colour >> 24) == 0) return 0;
    ID3DXFont* d3dFont = FontFor(font);
    if (!d3dFont) return 0;
    const UINT drawFormat = format & DrawTextFormatMask;
    const D3DCOLOR colour = TextColour(color, drawing.colour);
    int height = 0;
    ID3DXEffect* effect = measuring || drawing.effect == InkEffectKind::None ? nullptr : EffectOf(drawing);
    if (!effect) {
        SetSpriteState(true, false, false, drawing.sourceBlend, drawing.destinationBlend, drawing.blendOp,
                       currentFilter_);
        height = d3dFont->DrawTextW(text, length, &box, drawFormat, colour);
    } else {
        height = DrawTextThroughEffect(d3dFont, text, length, box, drawFormat, colour, drawing, effect);
    }
    // A measure gives its width too, as the one outside a scene does.
    if (measuring) {
        rect->left = box.left + originX_;
        rect->right = box.right + originX_;
    }
    rect->top = box.top + originY_;
    rect->bottom = box.bottom + originY_;
    return height;
}

// Text through an effect: a coloured text is drawn into a render texture of the box's size first and that
// is drawn through the effect's passes; white text, or text whose texture cannot be made, goes through each
// pass as it is.
int cD3DScreenSurface::DrawTextThroughEffect(ID3DXFont* font, LPCWSTR text, int length, RECT& box,
                                             UINT format, D3DCOLOR colour, const InkDrawing& drawing,
                                             ID3DXEffect* effect) {
    const int w = box.right - box.left, h = box.bottom - box.top;
    IDirect3DTexture8* texture = nullptr;
    if (colour != White && w > 0 && h > 0 &&
        SUCCEEDED(device_->CreateTexture(static_cast<UINT>(w), static_cast<UINT>(h), 1, D3DUSAGE_RENDERTARGET,
                                         D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture))) {
        IDirect3DSurface8* level = nullptr;
        IDirect3DSurface8* saved = nullptr;
        EndSpriteBatch();
        texture->GetSurfaceLevel(0, &level);
        device_->GetRenderTarget(&saved);
        device_->SetRenderTarget(level, nullptr);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        // Glyphs overlap only where one has no coverage, which the alpha test leaves out: a copy keeps each.
        SetSpriteState(true, false, true, D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, currentFilter_);
        RECT inside{0, 0, w, h};
        const int height = font->DrawTextW(text, length, &inside, format, colour);
        EndSpriteBatch();
        device_->SetRenderTarget(saved, nullptr);
        saved->Release();
        level->Release();
        // The colour is in the texture now: it is drawn white through the effect.
        InkDrawing white = drawing;
        white.colour = White;
        TextureDraw d{};
        d.texture = texture;
        d.source = RECT{0, 0, w, h};
        d.x = static_cast<float>(box.left);
        d.y = static_cast<float>(box.top);
        d.width = static_cast<float>(w);
        d.height = static_cast<float>(h);
        d.scaleX = d.scaleY = 1.0f;
        d.mode = 1;
        d.drawing = &white;
        DrawTexture(d);
        texture->Release();
        return height;
    }
    SetSpriteState(true, false, true, drawing.sourceBlend, drawing.destinationBlend, drawing.blendOp,
                   currentFilter_);
    EffectRun run;
    run.effect = effect;
    if (!BeginEffectRun(run, drawing, box, nullptr))
        return font->DrawTextW(text, length, &box, format, colour);
    int height = 0;
    for (UINT pass = 0; pass < run.passes; ++pass) {
        effect->Pass(pass);
        RECT passBox = box;
        height = font->DrawTextW(text, length, &passBox, format, colour);
        FlushBatch(0);
        if (pass + 1 == run.passes) box = passBox;
    }
    effect->End();
    FlushBatch(0);
    EndEffectRun(run);
    return height;
}

int cD3DScreenSurface::DrawTextAnsi(LPCSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                    HFONT font, LPARAM reserved, int ink, LPARAM parameter, int flags,
                                    int leftMargin, int rightMargin, int tabLength) {
    const std::u16string wide = Widen(text, length);
    if (wide.empty()) return 0;
    return DrawTextWide(wide.c_str(), static_cast<int>(wide.size()), rect, format, color, font, reserved, ink,
                        parameter, flags, leftMargin, rightMargin, tabLength);
}
