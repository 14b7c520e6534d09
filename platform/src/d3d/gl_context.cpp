// One EGL display and one OpenGL core context per process, never on an SDL window: the window layer
// presents through SDL's software surfaces, and devices draw into framebuffer objects of this context.
#include "gl_context.h"

#include <epoxy/egl.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace win32::d3d {

namespace {

struct GlContext {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE; // the 1 x 1 pbuffer of the default display, else none
    GLint maxTextureSize = 0;
    GLfloat maxAnisotropy = 0;
};

std::recursive_mutex& ContextLock() {
    static std::recursive_mutex lock;
    return lock;
}

bool HasClientExtension(const char* name) {
    return epoxy_has_egl_extension(EGL_NO_DISPLAY, name);
}

EGLDisplay SurfacelessDisplay() {
    if (!HasClientExtension("EGL_MESA_platform_surfaceless") || !HasClientExtension("EGL_EXT_platform_base"))
        return EGL_NO_DISPLAY;
    return eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

EGLDisplay DeviceDisplay() {
    if (!HasClientExtension("EGL_EXT_platform_device") || !HasClientExtension("EGL_EXT_device_enumeration"))
        return EGL_NO_DISPLAY;
    EGLint count = 0;
    if (!eglQueryDevicesEXT(0, nullptr, &count) || count <= 0) return EGL_NO_DISPLAY;
    std::vector<EGLDeviceEXT> devices(static_cast<std::size_t>(count));
    if (!eglQueryDevicesEXT(count, devices.data(), &count) || count <= 0) return EGL_NO_DISPLAY;
    return eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
}

// A core context of 3.3 or later on an initialised display; with a pbuffer when asked or when the display
// cannot make a context current without a surface.
bool MakeContext(EGLDisplay display, bool wantPbuffer, GlContext& out) {
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) return false;
    const bool surfaceless = !wantPbuffer && epoxy_has_egl_extension(display, "EGL_KHR_surfaceless_context");
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(display, configAttributes, &config, 1, &found) ||
        found < 1) {
        eglTerminate(display);
        return false;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        eglTerminate(display);
        return false;
    }
    EGLSurface surface = EGL_NO_SURFACE;
    if (!surfaceless) {
        const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    }
    if ((!surfaceless && surface == EGL_NO_SURFACE) || !eglMakeCurrent(display, surface, surface, context) ||
        epoxy_gl_version() < 33) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
        eglDestroyContext(display, context);
        eglTerminate(display);
        return false;
    }
    out.display = display;
    out.context = context;
    out.surface = surface;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &out.maxTextureSize);
    if (epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
        epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic"))
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &out.maxAnisotropy);
    DrainGlErrors();
    return true;
}

// libepoxy ends the process when a library it needs cannot be opened; without them there is simply no
// context. The handles stay open for the process's life, as libepoxy's own do.
bool LibrariesPresent() {
    if (!dlopen("libEGL.so.1", RTLD_LAZY | RTLD_GLOBAL)) return false;
    return dlopen("libOpenGL.so.0", RTLD_LAZY | RTLD_GLOBAL) || dlopen("libGL.so.1", RTLD_LAZY | RTLD_GLOBAL);
}

const GlContext* MadeContext() {
    static const GlContext* made = []() -> const GlContext* {
        static GlContext context;
        if (!LibrariesPresent()) {
            std::fprintf(stderr,
                         "3D device: no OpenGL 3.3 core context could be made (no EGL or OpenGL library)\n");
            return nullptr;
        }
        if (MakeContext(SurfacelessDisplay(), false, context) ||
            MakeContext(DeviceDisplay(), false, context) ||
            MakeContext(eglGetDisplay(EGL_DEFAULT_DISPLAY), true, context))
            return &context;
        std::fprintf(stderr, "3D device: no OpenGL 3.3 core context could be made (EGL error 0x%x)\n",
                     static_cast<unsigned>(eglGetError()));
        return nullptr;
    }();
    return made;
}

} // namespace

bool EnsureGlContext() {
    std::lock_guard<std::recursive_mutex> hold(ContextLock());
    return MadeContext() != nullptr;
}

GlScope::GlScope() : lock_(ContextLock()) {
    const GlContext* made = MadeContext();
    if (!made) return;
    ok_ = eglGetCurrentContext() == made->context ||
          eglMakeCurrent(made->display, made->surface, made->surface, made->context);
}

namespace {
// A smaller limit that tests ask for, 0 for none.
GLint testingLimit = 0;
} // namespace

GLint MaxTextureSize() {
    const GlContext* made = MadeContext();
    if (!made) return 0;
    return testingLimit > 0 ? std::min(testingLimit, made->maxTextureSize) : made->maxTextureSize;
}

void LimitTextureSizeForTesting(GLint limit) {
    testingLimit = limit;
}

GLfloat MaxAnisotropy() {
    const GlContext* made = MadeContext();
    return made ? made->maxAnisotropy : 0;
}

void DrainGlErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace win32::d3d
