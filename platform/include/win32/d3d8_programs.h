// The platform's own pixel programs for the two built-in inks, invert and grey: they stand in for the
// built-in effects until effect texts are compiled. While one is set, draws take their colour from stage
// 0's texel alone (inverted, or its luminance by the weights 0.299, 0.587 and 0.114), keeping its alpha.
#pragma once

#include "win32/d3d8.h"

namespace win32 {

constexpr DWORD D3DBUILTIN_NONE = 0;
constexpr DWORD D3DBUILTIN_INVERT = 1;
constexpr DWORD D3DBUILTIN_GREY = 2;

// D3DERR_INVALIDCALL for another device or program; a reset sets D3DBUILTIN_NONE again.
HRESULT SetBuiltInPixelProgram(IDirect3DDevice8* device, DWORD program);

} // namespace win32
