// A module that reaches the library through a lazy import stub of its own, as the program does, and also
// calls the layer's LoadStringW: the stub's slots are no import of the layer and must stay as they are.
#include "module_resources.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

namespace {
int binds = 0;
}

// The stub's resolver calls this on the first call through any of its slots: every slot is bound by name.
extern "C" __attribute__((visibility("hidden"))) void
BindDelayLoadedImports(const char* const* names, void** slots, std::size_t count) {
    HMODULE library = GetModuleHandleW(u"vtrs2.dll");
    for (std::size_t i = 0; i < count; ++i)
        slots[i] = library ? GetProcAddress(library, names[i]) : nullptr;
    ++binds;
}

MODULE_EXPORT int ModuleLoadStringW(HMODULE self, UINT id, LPWSTR buffer, int size) {
    return LoadStringW(self, id, buffer, size);
}
// A block allocated and freed through the library: 1 when it worked.
MODULE_EXPORT int ModuleUseLibrary() {
    void* block = nullptr;
    if (!AllocMemory(16, &block) || !block) return 0;
    FreeMemory(&block);
    return 1;
}
MODULE_EXPORT int ModuleLibraryBinds() {
    return binds;
}
