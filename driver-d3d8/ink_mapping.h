// The library's ink word as the driver draws it: blend factors and operation, the colour texels are
// modulated by, and the effect it draws through (the built-in invert or grey, or an application's effect
// object). Codes the table lacks draw as a copy.
#pragma once

#include "win32/d3d8.h"
#include "win32/types.h"

class CEffectEx;

// Blit flags as the drawing workers take them.
constexpr int DrawFlagAntialias = 0x3; // either bit: scaled draws take the screen's default filter
constexpr int DrawFlagReplace = 0x4;   // blend ONE, ZERO: the source's alpha is copied
constexpr int DrawFlagNoHold = 0x10;   // the scene need not hold the source texture
constexpr int DrawFlagTile = 0x20;     // the source repeats over the destination rectangle
// The library's blit flag that copies the alpha plane; the workers' replace.
constexpr int BlitFlagCopyAlpha = 2;

constexpr int InkCodeMask = 0xFFF;
constexpr int InkColourParameter = 0x1000;
constexpr int InkCopy = 0;
constexpr int InkBlend = 1;
constexpr int InkInvert = 2;
constexpr int InkAdd = 9;
constexpr int InkGrey = 10;
constexpr int InkSubtract = 11;
constexpr int InkEffect = 13;
// Ink 1's parameter that draws nothing.
constexpr win32::LPARAM InkBlendInvisible = 128;

enum class InkEffectKind { None, Invert, Grey, Object };

struct InkDrawing {
    win32::DWORD sourceBlend;
    win32::DWORD destinationBlend;
    win32::DWORD blendOp;
    win32::D3DCOLOR colour; // 0xAARRGGBB; alpha 0 draws nothing
    InkEffectKind effect;
    CEffectEx* object; // the effect object of kind Object
};

InkDrawing MapInk(int ink, win32::LPARAM parameter);

// The invisible-ink rule of the screen's BlitFrom slots: ink 1 with parameter 128, an effect object whose
// RGBA coefficient has alpha 0, or a colour parameter of alpha 0 draw nothing.
bool IsInvisibleInk(int ink, win32::LPARAM parameter);

// A COLORREF (red in the low byte) as an opaque device colour (red in the third byte).
constexpr win32::D3DCOLOR OpaqueColour(win32::COLORREF c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
