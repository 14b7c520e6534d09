// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrObjectsUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "objects/backgrounds.h"
#include "objects/frame_run_state_setup.h"
#include "objects/movement_modules.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"

namespace vtrrt {
namespace {

bool Install() {
    up::CreateDefinitionMovements = &CreateDefinitionMovements;
    up::ReleaseMovementPlugins = &ReleaseMovementPlugins;
    up::RandomDirectionInMask = &RandomDirectionInMask;
    up::SetMovementWrapMask = [](RunObject* o, std::int32_t mask) {
        SetMovementField(o, MovementBlockWrapMask, mask);
    };
    up::ExtendedOf = &ExtendedOf;
    up::SpriteBlockOf = &SpriteBlockOf;
    up::SpritesOfFrame = &SpritesOfFrame;
    up::FreeLayerBackdrops = &FreeLayerBackdrops;
    up::FreeBackdropGrid = &FreeBackdropGrid;
    up::FreeFrameRunState = &FreeFrameRunState;
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrObjectsUpcalls = vtrrt::Install();
