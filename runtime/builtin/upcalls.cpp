// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrBuiltinUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "builtin/position_parameter.h"
#include "builtin/sub_application.h"

namespace vtrrt {
namespace {

bool Install() {
    up::ResolvePositionParameter = &ResolvePositionParameter;
    up::DrawEmbeddedSubApps = &DrawEmbeddedSubApps;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrBuiltinUpcalls = vtrrt::Install();
