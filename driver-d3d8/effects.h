// Effect objects on a screen's device: compiled from their text, their parameters set by type, their texture
// parameters bound to stages and the size of one source pixel given to those that read it.
#pragma once

#include "win32/d3d8.h"
#include "win32/d3dx8.h"

class CEffectEx;
class cD3DScreenSurface;

// The technique every effect draws with.
inline constexpr const char* EffectTechnique = "tech_main";
// Flag of an effect object: its text declares fPixelWidth or fPixelHeight.
constexpr win32::DWORD EffectReadsPixelSize = 0x1;
// Texture parameters below this value are image numbers of the effect's context.
constexpr win32::DWORD EffectImageNumberLimit = 0x10000;

// Compiles the effect object's text for the screen's device, keeps the handle in the object, selects the
// technique and sets every parameter but the textures; null (the object unchanged) without a text, a
// screen or a device, or when the text does not compile.
win32::ID3DXEffect* CreateEffectFromEffectEx(cD3DScreenSurface* screen, CEffectEx* effect);

// The size of one source pixel in texture coordinates, for a compiled effect and sizes other than 0.
void SetEffectPixelSize(CEffectEx* effect, int width, int height);

// Binds the effect object's texture parameters, in order, to the stages after `stage`, skipping the capture
// stage (0: none): an image number through the context's texture cache, a texture surface's own texture;
// anything else leaves its stage empty. Answers the last stage bound (`stage` when there was none).
win32::DWORD BindEffectTextures(win32::IDirect3DDevice8* device, CEffectEx* effect, win32::DWORD stage,
                                win32::DWORD captureStage);
