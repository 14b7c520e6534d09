// Direct3D render states as OpenGL state: blending, colour mask, depth and culling, set before each draw.
#pragma once

#include "win32/d3d8.h"

#include <array>

namespace win32::d3d {

using RenderStates = std::array<DWORD, D3DRS_COUNT>;

// An opaque target (no alpha) keeps its alpha at 1: draws do not write it.
void ApplyRenderStates(const RenderStates& states, bool hasDepthBuffer, bool targetHasAlpha);

// The stage-0 sampler state of a draw: filters and addressing on the bound texture.
void ApplySamplerStates(DWORD magFilter, DWORD minFilter, DWORD mipFilter, DWORD addressU, DWORD addressV,
                        DWORD maxAnisotropy);

} // namespace win32::d3d
