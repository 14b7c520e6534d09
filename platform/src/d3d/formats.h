// The pixel formats of textures and surfaces: their sizes, how the context takes them, and their pixels as
// 0xAARRGGBB. Every format is kept in the context as 8 bits a channel; memory copies keep the format's
// own layout.
#pragma once

#include "win32/d3d8.h"

#include <epoxy/gl.h>

#include <cstddef>

namespace win32::d3d {

struct FormatInfo {
    D3DFORMAT format;
    UINT bytes; // per pixel
    GLenum glFormat;
    GLenum glType;
    bool hasAlpha; // false: the pixels read as opaque, whatever their unused bits hold
};

// The formats 20 to 26; null for any other.
const FormatInfo* FormatOf(D3DFORMAT format);
inline bool IsTextureFormat(D3DFORMAT format) {
    return FormatOf(format) != nullptr;
}
// What render targets and back buffers are kept in.
inline bool IsTargetFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// One pixel of a format as 0xAARRGGBB (channels of fewer bits widened by repeating their top bits) and back
// (channels cut to their top bits).
D3DCOLOR DecodePixel(const FormatInfo& format, const BYTE* pixel);
void EncodePixel(const FormatInfo& format, D3DCOLOR colour, BYTE* pixel);

// Sets the unused bits of an opaque format's pixels, so that the context reads them as opaque.
void MarkOpaque(const FormatInfo& format, BYTE* row, std::size_t count);

} // namespace win32::d3d
