// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrEventsUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "events/event_preparation.h"
#include "events/extension_host.h"

namespace vtrrt {
namespace {

bool Install() {
    up::PrepareExtensionDefinition = &PrepareExtensionDefinition;
    up::ReleaseExtensionDefinition = &ReleaseExtensionDefinition;
    up::EnumExtensionReferences = &EnumExtensionReferences;
    up::ReleaseFrameEventLists = &ReleaseFrameEventLists;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrEventsUpcalls = vtrrt::Install();
