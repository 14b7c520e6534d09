// The driver's entry points and its statics: the registry first, then the four prototype holders, so that
// at unload the holders go first (types 7, 6, 5, then 4, each deleting its prototype, which may still use
// the registry) and the registry and its lock last.
#include "plugin/display_driver.h"
#include "render_texture.h"
#include "screen_registry.h"
#include "screen_surface.h"
#include "texture_surfaces.h"

#include "vtrs2/surface.h"

#include <array>
#include <cstdio>
#include <new>

using namespace win32;

namespace {

constexpr int PrototypeDepth = 32;
constexpr std::size_t PrototypeKinds = display_driver::LastDriverType - display_driver::FirstDriverType + 1;

struct DriverStatics {
    ScreenRegistry registry;
    std::array<cSurface, PrototypeKinds> holders;
};

DriverStatics statics;

cSurfaceImplementation* NewPrototype(unsigned type) {
    switch (type) {
    case 4:
        return new (std::nothrow) cD3DScreenSurface;
    case 5:
        return new (std::nothrow) cD3DRenderTextureSurface;
    case 6:
        return new (std::nothrow) cD3DUnmanagedTextureSurface;
    case 7:
        return new (std::nothrow) cD3DManagedTextureSurface;
    default:
        return nullptr;
    }
}

} // namespace

ScreenRegistry& Registry() {
    return statics.registry;
}

#define DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

DRIVER_EXPORT int SEInitialize() {
    IDirect3D8* direct3D = Direct3DCreate8(D3D_SDK_VERSION);
    if (!direct3D) {
        std::fputs("vtr2d3d8: no 3D device, the library's own surfaces are used\n", stderr);
        return 0;
    }
    direct3D->Release();
    return 1;
}

DRIVER_EXPORT cSurfaceImplementation* SEGetSIPrototype(unsigned type) {
    if (type < display_driver::FirstDriverType || type > display_driver::LastDriverType) return nullptr;
    cSurface& holder = statics.holders[type - display_driver::FirstDriverType];
    if (holder.HasImplementation()) return holder.GetImplementation();
    cSurfaceImplementation* prototype = NewPrototype(type);
    if (!prototype) return nullptr;
    prototype->SetDepth(PrototypeDepth);
    holder.SetImplementation(prototype);
    return holder.GetImplementation();
}

DRIVER_EXPORT void SEFree() {}
