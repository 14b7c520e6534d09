// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrTranslatorUpcalls as undefined), so they are set before
// main.
#include "core/upcalls.h"

#include "translator/resource_translator.h"

namespace vtrrt {
namespace {

int LoadModuleTranslation(win32::HMODULE module, const std::u16string& path) {
    return ResourceTranslator().LoadModule(module, path, 0);
}

void ReleaseModuleTranslation(win32::HMODULE module) {
    ResourceTranslator().ReleaseModule(module);
}

bool Install() {
    up::LoadModuleTranslation = &LoadModuleTranslation;
    up::ReleaseModuleTranslation = &ReleaseModuleTranslation;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrTranslatorUpcalls = vtrrt::Install();
