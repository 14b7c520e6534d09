// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrAppUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "app/application_loader.h"
#include "app/sub_applications.h"

namespace vtrrt {
namespace {

bool Install() {
    up::LoadSubApplication = &LoadSubApplication;
    up::CloseApplication = &CloseApplication;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrAppUpcalls = vtrrt::Install();
