#include "objects/animations.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "events/event_evaluation.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "vtrs2/banks.h"
#include "vtrs2/sprite_window.h"
#include "vtrs2/sprites.h"

#include <algorithm>
#include <array>
#include <bit>

#include "vtrformat/bytes.h"

namespace vtrrt {

using namespace vtrformat;

namespace {

constexpr std::int16_t ConditionAnimationOver = -2;
constexpr std::uint16_t SubstituteWord = 0x8000;
constexpr std::uint8_t SubstituteDirection = 0x80;
constexpr std::uint8_t NearerSubstitute = 0x40;
constexpr std::uint8_t SubstituteDirectionMask = 0x1F;
constexpr std::uint8_t OptionAutomaticRotation = 0x40;
constexpr int WalkingOrRunningSpeed = 75;
constexpr std::int32_t FrameStep = 100;

// The first of its four animations that has frames stands in for an animation 0..11 without frames.
constexpr std::array<std::array<std::uint8_t, 4>, 12> AnimationSubstitutes{{{3, 1, 2, 0},
                                                                            {2, 0, 0, 0},
                                                                            {1, 0, 0, 0},
                                                                            {0, 1, 2, 0},
                                                                            {0, 0, 0, 0},
                                                                            {0, 1, 2, 0},
                                                                            {0, 1, 2, 0},
                                                                            {1, 2, 0, 0},
                                                                            {0, 1, 2, 0},
                                                                            {1, 2, 0, 0},
                                                                            {0, 1, 2, 0},
                                                                            {0, 1, 2, 0}}};
// 1: the frame rate follows the object's speed.
constexpr std::array<std::uint8_t, 16> SpeedDrivenAnimations{0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1};
// All but appearing and disappearing.
constexpr std::array<std::uint8_t, 14> NormalAnimations{0, 1, 2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// A definition's bytes, read and written with every offset checked.
class Definition {
public:
    explicit Definition(std::span<std::uint8_t> bytes) : d_(bytes) {}
    std::uint16_t U16(std::size_t at) const { return DefU16(d_, at); }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint8_t U8(std::size_t at) const { return at < d_.size() ? d_[at] : 0; }
    void Put16(std::size_t at, std::uint16_t v) {
        if (at < d_.size() && d_.size() - at >= 2) vtrformat::PutU16(d_.data() + at, v);
    }
    void Put8(std::size_t at, std::uint8_t v) {
        if (at < d_.size()) d_[at] = v;
    }
    bool Empty() const { return d_.empty(); }

    // The animation list and its parts.
    std::size_t List() const { return U16(DefAnimations); }
    int Count() const { return List() ? U16(List() + 2) : 0; }
    std::int16_t Offset(int k) const { return I16(List() + 4 + 2 * static_cast<std::size_t>(k)); }
    void SetOffset(int k, std::int16_t v) {
        Put16(List() + 4 + 2 * static_cast<std::size_t>(k), static_cast<std::uint16_t>(v));
    }
    std::size_t Record(int k) const {
        const int offset = std::abs(static_cast<int>(Offset(k)));
        return offset ? List() + static_cast<std::size_t>(offset) : 0;
    }
    std::uint16_t Word(std::size_t record, int d) const {
        return U16(record + 2 * static_cast<std::size_t>(d));
    }
    static bool Own(std::uint16_t word) { return word != 0 && !(word & SubstituteWord); }
    bool HasOwnDirection(std::size_t record) const {
        for (int d = 0; d < DirectionCount; ++d)
            if (Own(Word(record, d))) return true;
        return false;
    }
    bool HasFrames(int k) const { return k >= 0 && k < Count() && Offset(k) > 0; }

private:
    std::span<std::uint8_t> d_;
};

Definition DefinitionOf(const RunObject* o) {
    ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || info->definition.data() != o->definition) return Definition({});
    return Definition(info->definition);
}

// The substitute word of a direction without frames: the nearest defined direction upwards in the low
// byte, downwards in the high byte, each with 0x80, the nearer with 0x40.
std::uint16_t SubstituteFor(const Definition& def, std::size_t record, int d) {
    int up = -1, down = -1, upDistance = 0, downDistance = 0;
    for (int i = 1; i <= DirectionCount && up < 0; ++i)
        if (Definition::Own(def.Word(record, (d + i) % DirectionCount)))
            up = (d + i) % DirectionCount, upDistance = i;
    for (int i = 1; i <= DirectionCount && down < 0; ++i)
        if (Definition::Own(def.Word(record, (d - i + 2 * DirectionCount) % DirectionCount)))
            down = (d - i + 2 * DirectionCount) % DirectionCount, downDistance = i;
    if (up < 0 || down < 0) return 0;
    std::uint8_t low = static_cast<std::uint8_t>(up | SubstituteDirection);
    std::uint8_t high = static_cast<std::uint8_t>(down | SubstituteDirection);
    if (up == down || upDistance < downDistance)
        low |= NearerSubstitute;
    else if (downDistance < upDistance)
        high |= NearerSubstitute;
    return static_cast<std::uint16_t>(SubstituteWord | (high << 8) | low);
}

void CompleteDirections(Definition& def, int k) {
    const std::size_t record = def.Record(k);
    const bool fixedRate = k < 16 && !SpeedDrivenAnimations[static_cast<std::size_t>(k)];
    for (int d = 0; d < DirectionCount; ++d) {
        const std::uint16_t word = def.Word(record, d);
        if (!Definition::Own(word)) {
            def.Put16(record + 2 * static_cast<std::size_t>(d), SubstituteFor(def, record, d));
        } else if (fixedRate) {
            const std::size_t direction = record + word;
            def.Put8(direction, def.U8(direction + 1));
        }
    }
}

std::int16_t SubstituteOffset(const Definition& def, int k) {
    if (k < static_cast<int>(AnimationSubstitutes.size()))
        for (std::uint8_t s : AnimationSubstitutes[static_cast<std::size_t>(k)])
            if (def.HasFrames(s)) return def.Offset(s);
    for (int s = 0; s < def.Count(); ++s)
        if (def.HasFrames(s)) return def.Offset(s);
    return 0;
}

RunObjectExtended* Extended(RunObject* o) {
    return ExtendedOf(o);
}

ContextBanks* LibraryBanks() {
    ApplicationRecord* app = CurrentApplication();
    return app && app->banks ? app->banks->library : nullptr;
}

// Width, height and hot spot of the object from its image, turned and scaled.
void TakeImageInfo(RunObjectExtended* x) {
    ImageInfo info{};
    if (!x->image || !GetTransformedImageInfo(LibraryBanks(), static_cast<win32::DWORD>(x->image), x->angle,
                                              x->scaleX, x->scaleY, &info))
        return;
    x->width = info.width;
    x->height = info.height;
    x->hotSpotX = info.hotX;
    x->hotSpotY = info.hotY;
}

std::uint16_t FrameImage(const Definition& def, const ObjectAnimationBlock& a, int frame) {
    return def.U16(static_cast<std::size_t>(a.directionRecord) + 8 + 2 * static_cast<std::size_t>(frame));
}

// Steps 3 and 4: the direction record for the object's direction.
std::int32_t ChooseDirectionRecord(RunObject* o, RunObjectExtended* x, ObjectAnimationBlock& a,
                                   Definition& def, int f) {
    const std::size_t record = static_cast<std::size_t>(a.animationRecord);
    const bool rotates =
        (def.U8(DefOptions) & OptionAutomaticRotation) && Definition::Own(def.Word(record, 0));
    if (rotates) {
        x->angle = static_cast<float>(f) * 360.0f / DirectionCount;
        return static_cast<std::int32_t>(record + def.Word(record, 0));
    }
    (void)o;
    std::uint16_t word = def.Word(record, f);
    int chosen = f;
    if (word & SubstituteWord) {
        const std::uint8_t up = static_cast<std::uint8_t>(word), down = static_cast<std::uint8_t>(word >> 8);
        bool takeDown;
        if (down & NearerSubstitute)
            takeDown = true;
        else if (up & NearerSubstitute)
            takeDown = false;
        else
            takeDown = a.lastOwnDirection >= 0 &&
                       ((f - a.lastOwnDirection) % DirectionCount + DirectionCount) % DirectionCount < 16;
        chosen = (takeDown ? down : up) & SubstituteDirectionMask;
        word = def.Word(record, chosen);
    } else if (Definition::Own(word)) {
        a.lastOwnDirection = f;
    }
    return Definition::Own(word) ? static_cast<std::int32_t>(record + word) : 0;
}

std::int32_t FrameRate(const RunObjectExtended* x, const ObjectAnimationBlock& a, int v) {
    const std::int32_t min = a.minimumSpeed, max = a.maximumSpeed;
    if (max == min) return a.forcedSpeed ? a.forcedSpeed - 1 : min;
    if (x->maximumSpeed != x->minimumSpeed)
        return std::min(max, v * (max - min) / (x->maximumSpeed - x->minimumSpeed) + min);
    if (!a.forcedSpeed) return (max - min) / 2 + min;
    return std::min(max, v * (max - min) / 100 + min);
}

void SetFrameImage(RunObjectExtended* x, std::uint16_t image) {
    x->image = image;
    x->changed = x->moved = 1;
    TakeImageInfo(x);
}

// The last loop of an animation has been played.
int EndAnimation(RunObject* o, ObjectAnimationBlock& a) {
    a.frameCount = 0;
    a.forcedAnimation = a.forcedDirection = a.forcedSpeed = 0;
    FrameRunState* s = o->runState;
    if (s && (s->runFlags & RunFrameEnding)) return AnimationEndedWhileEnding;
    if (s) s->animationNumber = a.current;
    TriggerObjectCondition(o, EventCodeOf(o->objectType, ConditionAnimationOver));
    return 0;
}

// The angle too, so that a move taken back restores the angle the object had, whatever turned it.
void SaveBeforeMove(RunObjectExtended* x) {
    x->xBeforeMove = x->x;
    x->yBeforeMove = x->y;
    x->imageBeforeMove = x->image;
    x->angleBeforeMove = std::bit_cast<std::int32_t>(x->angle);
    x->boxBeforeMove[0] = x->x - x->hotSpotX;
    x->boxBeforeMove[1] = x->y - x->hotSpotY;
    x->boxBeforeMove[2] = x->boxBeforeMove[0] + x->width;
    x->boxBeforeMove[3] = x->boxBeforeMove[1] + x->height;
}

bool HasNormalAnimation(const RunObject* o) {
    return std::any_of(NormalAnimations.begin(), NormalAnimations.end(),
                       [&](std::uint8_t k) { return HasAnimation(o, k); });
}

// The object leaves the loop and is destroyed at its end.
void QueueForDestruction(RunObject* o) {
    if (FrameRunState* s = o->runState; s && s->objects && o->handle >= 0 && o->handle < s->maxObjects)
        s->objects[o->handle].routine = nullptr;
    MarkObjectForDestroy(o->handle);
}

} // namespace

void CompleteAnimationDirections(std::span<std::uint8_t> bytes) {
    Definition def(bytes);
    const int count = def.Count();
    // An animation that claims frames but has no direction with frames has none.
    for (int k = 0; k < count; ++k)
        if (def.Offset(k) > 0 && !def.HasOwnDirection(def.Record(k))) def.SetOffset(k, 0);
    for (int k = 0; k < count; ++k) {
        if (def.Offset(k) > 0)
            CompleteDirections(def, k);
        else
            def.SetOffset(k, static_cast<std::int16_t>(-SubstituteOffset(def, k)));
    }
}

ObjectAnimationBlock* AnimationOf(RunObject* o) {
    return reinterpret_cast<ObjectAnimationBlock*>(AnimationBlockOf(o));
}

bool HasAnimation(const RunObject* o, int animation) {
    return DefinitionOf(o).HasFrames(animation);
}

void ResetObjectAnimation(RunObject* o) {
    RunObjectExtended* x = Extended(o);
    ObjectAnimationBlock* a = AnimationOf(o);
    if (!x || !a) return;
    x->animationRequest = AnimationWalking;
    a->forcedAnimation = a->forcedDirection = a->forcedSpeed = 0;
    a->frameLocked = a->forcedFrame = a->speedCounter = a->frame = 0;
    a->animationRecord = a->directionRecord = 0;
    a->current = a->lastOwnDirection = a->minimumSpeed = -1;
    AnimateObject(o);
}

void InitObjectAnimation(RunObject* o) {
    RunObjectExtended* x = Extended(o);
    ObjectAnimationBlock* a = AnimationOf(o);
    if (!x || !a) return;
    x->animationRoutine = AnimateObject;
    ResetObjectAnimation(o);
    if (HasAnimation(o, AnimationAppearing)) {
        a->forcedAnimation = AnimationAppearing + 1;
        x->animationRoutine = AppearingAnimationRoutine;
    } else if (!HasNormalAnimation(o) && HasAnimation(o, AnimationDisappearing)) {
        a->forcedAnimation = AnimationDisappearing + 1;
        x->animationRoutine = DisappearingAnimationRoutine;
    } else {
        return;
    }
    StepAnimation(o, 0);
    if (a->loopsLeft == 0) a->loopsLeft = 1;
    AnimateObject(o);
}

int StepAnimation(RunObject* o, int advance) {
    RunObjectExtended* x = Extended(o);
    ObjectAnimationBlock* ap = AnimationOf(o);
    Definition def = DefinitionOf(o);
    if (!x || !ap || def.Empty() || def.Count() == 0) return 0;
    ObjectAnimationBlock& a = *ap;
    const int v = a.forcedSpeed ? a.forcedSpeed - 1 : x->speed;

    int animation = x->animationRequest;
    if (animation == AnimationWalking)
        animation = v == 0                      ? AnimationStopped
                    : v < WalkingOrRunningSpeed ? AnimationWalking
                                                : AnimationRunning;
    if (a.forcedAnimation) animation = a.forcedAnimation - 1;
    if (animation != a.current) {
        a.current = animation;
        const auto record = static_cast<std::int32_t>(def.Record(std::clamp(animation, 0, def.Count() - 1)));
        if (record != a.animationRecord) {
            a.animationRecord = record;
            a.direction = -1;
            a.frame = a.speedCounter = 0;
        }
    }
    if (a.animationRecord == 0) return 0;

    const int f = (a.forcedDirection ? a.forcedDirection - 1 : x->direction) & (DirectionCount - 1);
    const bool rotates = (def.U8(DefOptions) & OptionAutomaticRotation) &&
                         Definition::Own(def.Word(static_cast<std::size_t>(a.animationRecord), 0));
    std::int32_t directionRecord = a.directionRecord;
    if (f != a.direction || rotates) {
        a.direction = f;
        directionRecord = ChooseDirectionRecord(o, x, a, def, f);
    }
    if (directionRecord == 0) return 0;

    if (directionRecord != a.directionRecord || rotates) {
        const auto d = static_cast<std::size_t>(directionRecord);
        const bool newRecord = directionRecord != a.directionRecord;
        a.directionRecord = directionRecord;
        if (newRecord) {
            a.loopsLeft = def.U16(d + 2);
            a.loopBack = def.U16(d + 4);
            a.frameCount = def.U16(d + 6);
        }
        const std::int32_t min = def.U8(d), max = def.U8(d + 1);
        if (min != a.minimumSpeed || max != a.maximumSpeed) {
            a.minimumSpeed = min;
            a.maximumSpeed = max;
            a.speedRange = max - min;
            a.rate = min;
            a.speedUsed = -1;
        }
        if (a.forcedFrame > a.frameCount) a.forcedFrame = 0;
        if (a.frame >= a.frameCount) a.frame = 0;
        if (!a.frameLocked && a.frameCount > 0) SetFrameImage(x, FrameImage(def, a, a.frame));
        if (a.frameCount == 1) {
            if (a.minimumSpeed == 0) a.frameCount = 0;
            TakeImageInfo(x);
            return x->image;
        }
    }

    if ((advance == 0 && !a.forcedFrame) || (!rotates && a.frameCount == 0)) return 0;

    if (v != a.speedUsed) {
        a.speedUsed = v;
        a.rate = FrameRate(x, a, v);
    }
    if (a.forcedFrame) {
        a.frame = a.forcedFrame - 1;
    } else {
        if (a.rate == 0 || a.frameLocked) return 0;
        std::int32_t step = a.rate;
        FrameRunState* s = o->runState;
        if (s && (s->runFlags & RunMachineIndependent))
            step = static_cast<std::int32_t>(step * s->timeFactor);
        std::int32_t counter = a.speedCounter + step;
        while (counter > FrameStep) {
            counter -= FrameStep;
            ++a.frame;
            if (a.frame >= a.frameCount) {
                a.frame = a.loopBack < a.frameCount ? a.loopBack : 0;
                if (a.loopsLeft != 0 && --a.loopsLeft == 0) {
                    a.speedCounter = counter;
                    return EndAnimation(o, a);
                }
            }
        }
        a.speedCounter = counter;
    }
    const std::uint16_t image = FrameImage(def, a, a.frame);
    x->image = image;
    x->changed = x->moved = 1;
    if (image == 0) return 0;
    TakeImageInfo(x);
    return image;
}

void AnimateObject(RunObject* o) {
    RunObjectExtended* x = Extended(o);
    if (!x) return;
    SaveBeforeMove(x);
    StepAnimation(o, 1);
}

void SaveObjectBox(RunObject* o) {
    if (RunObjectExtended* x = Extended(o)) SaveBeforeMove(x);
}

void TakeObjectImageInfo(RunObject* o) {
    if (RunObjectExtended* x = Extended(o)) TakeImageInfo(x);
}

void SetAnimationRequest(RunObject* o, int animation) {
    RunObjectExtended* x = Extended(o);
    if (!x) return;
    x->animationRequest = animation;
    if (x->animationRoutine) x->animationRoutine(o);
}

void AppearingAnimationRoutine(RunObject* o) {
    RunObjectExtended* x = Extended(o);
    ObjectAnimationBlock* a = AnimationOf(o);
    if (!x || !a) return;
    StepAnimation(o, 1);
    if (a->forcedAnimation == AnimationAppearing + 1) return;
    if (!HasAnimation(o, AnimationStopped) && !HasAnimation(o, AnimationWalking) &&
        !HasAnimation(o, AnimationRunning)) {
        StartDisappearing(o);
        return;
    }
    x->animationRoutine = AnimateObject;
    a->forcedAnimation = a->forcedDirection = a->forcedSpeed = 0;
    StepAnimation(o, 0);
}

void StartDisappearing(RunObject* o) {
    RunObjectExtended* x = Extended(o);
    if (x && (o->runFlags & ObjectAppearingRunning)) return;
    bool disappearing = false;
    if (x && !StartObjectTransitionSprite(o, true) && (o->objectFlags & ObjectHasAnimation))
        disappearing = HasAnimation(o, AnimationDisappearing);
    if (x && (disappearing || (o->runFlags & ObjectDisappearingRunning))) {
        if (x->sprite) SetSpriteCollidable(SpritesOfFrame(), static_cast<Sprite*>(x->sprite), 0);
        FreeObjectMovement(o);
        o->runFlags |= ObjectDisappearing;
        x->movementRoutine = DisappearingAnimationRoutine;
        x->speed = 0;
        if (disappearing) {
            ObjectAnimationBlock* a = AnimationOf(o);
            a->forcedAnimation = AnimationDisappearing + 1;
            StepAnimation(o, 0);
            if (a->loopsLeft == 0) a->loopsLeft = 1;
        }
        return;
    }
    QueueForDestruction(o);
}

void DisappearingAnimationRoutine(RunObject* o) {
    ObjectAnimationBlock* a = AnimationOf(o);
    if (!a || (o->runFlags & ObjectDisappearingRunning)) return;
    StepAnimation(o, 1);
    if (a->forcedAnimation != AnimationDisappearing + 1) QueueForDestruction(o);
}

} // namespace vtrrt
