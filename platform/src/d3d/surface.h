// What the device needs of every surface: its size and format, and either a framebuffer it can be read and
// drawn through (surfaces in the context) or its pixels in memory (image surfaces, system-memory textures).
#pragma once

#include "formats.h"

#include <epoxy/gl.h>

namespace win32::d3d {

class Device;

class Surface : public IDirect3DSurface8 {
public:
    virtual UINT Width() const = 0;
    virtual UINT Height() const = 0;
    virtual const FormatInfo& Format() const = 0;
    // Null once the device went.
    virtual Device* Owner() const = 0;
    // 0 for a surface in memory.
    virtual GLuint Framebuffer() = 0;
    // Rows top first, Width() pixels of Format() a row, packed; null for a surface in the context.
    virtual BYTE* Pixels() { return nullptr; }
    // Called before the context writes into the surface (so that a batch of draws that reads it goes
    // first) and after (so that a later lock reads it back).
    virtual void ContextWillWrite() {}
    virtual void ContextWrote() {}
    // Called after its memory pixels changed, so that the context takes them.
    virtual void MemoryWrote() {}
    virtual bool IsRenderTarget() const { return false; }
    // Whether draws and clears write alpha: an opaque texture keeps alpha 1 in its unused bits, the back
    // buffer keeps what is drawn (its alpha is never read as such).
    virtual bool WritesAlpha() const { return Format().hasAlpha; }
    virtual bool HasDepth() const { return false; }

protected:
    ~Surface() = default;
};

} // namespace win32::d3d
