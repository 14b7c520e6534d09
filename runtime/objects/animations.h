// The animations of objects: the animation and direction chosen each loop from the movement's request and
// the speed (or forced ones), the frame rate, the frame counter and its loops, and the appearing and
// disappearing animations that open and close an object's life.
#pragma once

#include "plugin/run_object.h"

#include <cstdint>
#include <span>

namespace vtrrt {

// Animation numbers.
constexpr int AnimationStopped = 0;
constexpr int AnimationWalking = 1;
constexpr int AnimationRunning = 2;
constexpr int AnimationAppearing = 3;
constexpr int AnimationDisappearing = 4;

// The object's animation state (the record's animation block). Forced values are stored plus one (0: none);
// the records are offsets into the object's definition (0: none).
struct ObjectAnimationBlock {
    std::int32_t forcedAnimation;
    std::int32_t forcedDirection;
    std::int32_t forcedSpeed;
    std::int32_t frameLocked;
    std::int32_t current;          // -1 after a reset
    std::int32_t animationRecord;  // of the current animation
    std::int32_t direction;        // -1: not set
    std::int32_t lastOwnDirection; // the last direction that had its own frames; -1: none
    std::int32_t directionRecord;
    std::int32_t speedUsed; // the speed the rate was last worked out for; -1: none
    std::int32_t minimumSpeed;
    std::int32_t maximumSpeed;
    std::int32_t speedRange;
    std::int32_t speedCounter;
    std::int32_t rate;
    std::int32_t loopsLeft;
    std::int32_t loopBack;
    std::int32_t frame;
    std::int32_t frameCount; // 0: the animation has ended or does not animate
    std::int32_t forcedFrame;
};
static_assert(sizeof(ObjectAnimationBlock) == 80);

// StepAnimation's answer when the frame is ending and an animation has just played its last loop.
constexpr int AnimationEndedWhileEnding = 512;

// Once per loaded definition: gives each direction without frames its nearest defined directions, each
// missing animation a substitute, and each animation whose frames do not follow the speed a fixed rate. An
// animation whose directions all lack frames counts as missing.
void CompleteAnimationDirections(std::span<std::uint8_t> definition);

ObjectAnimationBlock* AnimationOf(RunObject* object);
// At creation.
void InitObjectAnimation(RunObject* object);
void ResetObjectAnimation(RunObject* object);
// One step: the image set (or 0); AnimationEndedWhileEnding as above.
int StepAnimation(RunObject* object, int advance);
// The usual animation routine: saves the position, image, angle and box as they were before the move,
// then steps.
void AnimateObject(RunObject* object);
// The animation routine of objects without animations: saves the same and animates nothing.
void SaveObjectBox(RunObject* object);
void SetAnimationRequest(RunObject* object, int animation);
// The object takes the size and hot spot of its current image as turned and scaled.
void TakeObjectImageInfo(RunObject* object);
void AppearingAnimationRoutine(RunObject* object);
void DisappearingAnimationRoutine(RunObject* object);
// The destroy action of animated objects: plays the disappearing animation or transition when there is one,
// else queues the object for destruction.
void StartDisappearing(RunObject* object);
// Whether the definition has an animation of that number with frames of its own.
bool HasAnimation(const RunObject* object, int animation);

} // namespace vtrrt
