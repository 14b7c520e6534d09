// What tests read of the process's context itself.
#include "win32/d3d8_testing.h"

#include "gl_context.h"

namespace win32::testing {

DWORD TakeGlError() {
    d3d::GlScope gl;
    if (!gl.ok()) return 0;
    const GLenum error = glGetError();
    d3d::DrainGlErrors();
    return error;
}

} // namespace win32::testing
