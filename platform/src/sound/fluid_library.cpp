#include "sound/fluid_library.h"

#include <dlfcn.h>

namespace win32::detail {

namespace {

constexpr const char* FluidSoname = "libfluidsynth.so.3";

FluidLibrary* Load() {
    void* module = dlopen(FluidSoname, RTLD_NOW | RTLD_LOCAL);
    if (!module) return nullptr;
    static FluidLibrary library;
    bool complete = true;
#define VTR_FLUID_BIND(name)                                                                                 \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(module, #name));                                \
    complete = complete && library.name != nullptr;
    VTR_FLUID_FUNCTIONS(VTR_FLUID_BIND)
#undef VTR_FLUID_BIND
    // The module stays mapped for the rest of the run: synthesizers made from it may live that long.
    return complete ? &library : nullptr;
}

} // namespace

const FluidLibrary* Fluid() {
    static const FluidLibrary* library = Load();
    return library;
}

} // namespace win32::detail
