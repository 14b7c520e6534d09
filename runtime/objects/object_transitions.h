// The fades of objects: a transition module draws an object appearing or disappearing, from its picture to
// the background or a colour, as the sprite routine of the object's transition sprite.
#pragma once

#include "plugin/transition.h"

#include "win32/types.h"

#include <cstdint>

class cSurface;
struct Sprite;

namespace vtrrt {

struct RunObject;
struct TransitionDescriptor;

// One fading object's transition, kept in the object's appearing or disappearing slot.
struct ObjectTransitionState {
    transition::Object* transition;
    cSurface* backgroundSave; // what lay under the object (not with a display driver)
    cSurface* work;           // where each step is drawn (not in direct mode)
    cSurface* source;         // the picture the fade goes from
    cSurface* destination;    // the picture it goes to
    std::uint16_t isFadeOut;
    std::uint8_t sourceIsBackground;
    std::uint8_t destinationIsBackground;
    std::uint8_t backgroundSaved;
    std::int32_t savedX, savedY, savedWidth, savedHeight;
    std::uint8_t direct; // the module draws onto the window surface itself
    std::uint8_t transparent;
    Sprite* sprite; // the transition sprite drawing it, until the sprite goes
};

// Sets up the object's appearing (false) or disappearing (true) transition from its definition; 1 when it
// runs. The object keeps it until its transition sprite is freed.
int StartObjectTransition(RunObject* object, bool isFadeOut);
// The state over the object's picture; null when something cannot be made.
ObjectTransitionState* CreateObjectTransitionState(const TransitionDescriptor& descriptor, cSurface& picture,
                                                   bool isFadeOut, bool transparent);
// The transition sprite's routine for a command of the sprites (0 draw, 1 restore the background, 2 save
// it, 3 the sprite goes); nonzero when the state is to be freed.
int StepObjectTransition(RunObject* object, int command, ObjectTransitionState* state);
// Step the object's appearing or disappearing transition and free it when it is over.
int StepObjectFadeIn(RunObject* object, int command);
int StepObjectFadeOut(RunObject* object, int command);
void FreeObjectTransitionState(ObjectTransitionState* state);

// Frees both of the object's transitions, as its record goes; a transition sprite still waiting to be freed
// by the sprite pool lets go of the record first.
void FreeObjectTransitions(RunObject* object);

// Whether a transition sprite of the object waits for the sprite pool to free it.
bool TransitionSpriteWaiting(RunObject* object);

// Whether the object's transition of that kind has drawn its last step (or there is none), and its end.
bool ObjectTransitionDone(RunObject* object, bool isFadeOut);
void EndObjectTransition(RunObject* object, bool isFadeOut);

} // namespace vtrrt
