// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrPersistUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "persist/input_recording.h"

namespace vtrrt {
namespace {

bool Install() {
    up::PlayedKeyState = &PlayedKeyState;
    up::StartInputPlayback = &StartInputPlayback;
    up::RecordMouseClick = &RecordMouseClick;
    up::FreeInputRecorder = &FreeInputRecorder;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrPersistUpcalls = vtrrt::Install();
