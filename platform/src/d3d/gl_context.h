// The process's one OpenGL context, made off screen through EGL, and the lock under which it is used.
#pragma once

#include <epoxy/gl.h>

#include <mutex>

namespace win32::d3d {

// Makes the context on first use; false (with a line on stderr, once) when none can be made.
bool EnsureGlContext();

// Holds the context's lock and makes the context current on the calling thread; ok() is false when it
// could not be made current.
class GlScope {
public:
    GlScope();
    GlScope(const GlScope&) = delete;
    GlScope& operator=(const GlScope&) = delete;
    bool ok() const { return ok_; }

private:
    std::unique_lock<std::recursive_mutex> lock_;
    bool ok_ = false;
};

// GL_MAX_TEXTURE_SIZE, read once; and whether anisotropic filtering is there (with its largest degree).
GLint MaxTextureSize();
// Tests: devices made after this take a smaller limit (0: the context's own again).
void LimitTextureSizeForTesting(GLint limit);
GLfloat MaxAnisotropy();

// Drops every error the context holds, so that a refused call leaves none pending for the next.
void DrainGlErrors();

} // namespace win32::d3d
