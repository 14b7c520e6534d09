// What the device needs of every surface: its size, and either a framebuffer it can be read and drawn
// through (surfaces in the context) or its pixels in memory (image surfaces).
#pragma once

#include "win32/d3d8.h"

#include <epoxy/gl.h>

namespace win32::d3d {

class Device;

// The formats surfaces and textures are kept in: 32 bits a pixel.
inline bool IsColourFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

class Surface : public IDirect3DSurface8 {
public:
    virtual UINT Width() const = 0;
    virtual UINT Height() const = 0;
    virtual Device* Owner() const = 0;
    // 0 for a surface in memory.
    virtual GLuint Framebuffer() = 0;
    // Rows top first, Width() pixels a row; null for a surface in the context.
    virtual D3DCOLOR* Pixels() { return nullptr; }
    // Called after the context wrote into the surface, so that a later lock reads it back.
    virtual void ContextWrote() {}
    virtual bool IsRenderTarget() const { return false; }
    virtual bool HasDepth() const { return false; }

protected:
    ~Surface() = default;
};

} // namespace win32::d3d
