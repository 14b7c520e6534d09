// The record of one object of a running frame, as the runtime and object extensions read and write it:
// a common header, the extended header of objects that move, animate or have a sprite, then the optional
// blocks the object's flags ask for, then the kind's own data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtrrt {

struct FrameRunState;
struct FrameItemInstance;
struct ObjectInfoRunEntry;
struct RunObject;

using ObjectHandleRoutine = int (*)(RunObject*);
using ObjectDisplayRoutine = void (*)(RunObject*);
using ObjectStepRoutine = void (*)(RunObject*);

// Object flags, copied from the definition at creation.
constexpr std::uint32_t ObjectRedrawsFrame = 0x02;
// The object's background is saved before it is drawn and put back when it is erased: the window
// rectangle under it, or through the kind's own routines with ObjectOwnBackground.
constexpr std::uint32_t ObjectSavesWindowRect = 0x04;
constexpr std::uint32_t ObjectHasMovement = 0x10;
constexpr std::uint32_t ObjectHasAnimation = 0x20;
// Counted in the run state; an extension object's control windows take part in Tab focus cycling.
constexpr std::uint32_t ObjectCounted = 0x40;
constexpr std::uint32_t ObjectUncountedAtEnd = 0x80;
constexpr std::uint32_t ObjectHasValues = 0x100;
constexpr std::uint32_t ObjectHasSprite = 0x200;
constexpr std::uint32_t ObjectOwnBackground = 0x400;
constexpr std::uint32_t ObjectFollowsWindow = 0x800;
constexpr std::uint32_t ObjectSavedBackground = 0x1000;
constexpr std::uint32_t ObjectKeptOutsideZone = 0x2000;
constexpr std::uint32_t ObjectNeverTested = 0x4000;
constexpr std::uint32_t ObjectExtendedHeader = 0x230;

// Run flags of the record.
constexpr std::uint16_t ObjectDisappearing = 0x01;
constexpr std::uint16_t ObjectImageSprite = 0x04;
constexpr std::uint16_t ObjectAppearingRunning = 0x08;
constexpr std::uint16_t ObjectDisappearingRunning = 0x10;
constexpr std::uint16_t ObjectOwnerDrawn = 0x20;
constexpr std::uint16_t ObjectTextHidden = 0x2000;

constexpr std::int16_t NoInstanceLink = static_cast<std::int16_t>(0x8000);

struct RunObject {
    std::int16_t handle;
    std::int16_t nextSelected;
    std::uint32_t recordSize;
    FrameRunState* runState;
    RunObject* self;
    std::int16_t frameItem;
    std::int16_t objectInfo;
    std::int16_t previousInstance;
    std::int16_t nextInstance;
    std::int16_t objectType;
    std::uint16_t creationNumber;
    ObjectInfoRunEntry* objectInfoEntry;
    const std::int32_t* conditionEvents;
    std::uint8_t reserved1[4];
    void* collisionPartnersPrevious;
    void* collisionPartnersThis;
    std::int32_t nodeReachedStamp;
    std::int32_t pathEndStamp;
    char16_t* nodeName;
    // While an extension's condition, action or expression runs: the next of its event parameters.
    const std::uint8_t* currentParameter;
    std::uint8_t* definition;
    std::int32_t xFraction;
    std::int32_t x;
    std::int32_t yFraction;
    std::int32_t y;
    std::int32_t hotSpotX;
    std::int32_t hotSpotY;
    std::int32_t width;
    std::int32_t height;
    std::int32_t displayLeft, displayTop, displayRight, displayBottom;
    std::uint32_t objectFlags;
    std::uint16_t runFlags;
    std::uint16_t eventFlags; // how the last move met the play area's border: 1 entered, 2 left
    std::uint32_t valuesBlock;
    std::int32_t layer;
    ObjectHandleRoutine handleRoutine;
    ObjectDisplayRoutine displayRoutine;
    ObjectDisplayRoutine restoreDisplayRoutine;
    std::int16_t collisionFlags;
    std::int16_t savedBackgroundLink;
    void* savedBackground;
    // Byte offset in the record of the object's control windows: an i32 count, then that many window
    // handles; 0 = none. Extensions that make windows set it.
    std::int32_t controlWindows;
    // The own number of the extension condition, action or expression being called, and the flags an
    // expression sets to say its result is a string or a float (ExpressionResultString, ...Float).
    std::int32_t currentNumber;
    std::uint32_t resultFlags;
    std::uint8_t reserved4[12];
    std::uint32_t identifier;
};

constexpr std::uint32_t ExpressionResultString = 0x8000;
constexpr std::uint32_t ExpressionResultFloat = 0x4000;

// The header's continuation for objects with any of the flags 0x230.
struct RunObjectExtended : RunObject {
    std::uint32_t animationBlock;
    std::uint32_t spriteBlock;
    ObjectStepRoutine movementRoutine;
    ObjectStepRoutine animationRoutine;
    std::int32_t player;
    std::int32_t movementType;
    void* movementInstance;
    void* sprite;
    std::int32_t animationRequest;
    std::int32_t image;
    float scaleX, scaleY;
    float angle;
    std::int32_t direction;
    std::int32_t speed;
    std::int32_t minimumSpeed;
    std::int32_t maximumSpeed;
    std::int32_t changed;
    std::int32_t moved;
    std::int32_t xBeforeMove;
    std::int32_t yBeforeMove;
    std::int32_t imageBeforeMove;
    std::int32_t angleBeforeMove;
    std::int32_t previousDirection;
    std::int32_t boxBeforeMove[4];
    void* appearingTransition;
    void* disappearingTransition;
};

constexpr int AlterableValueCount = 26;
constexpr int AlterableStringCount = 10;

struct ObjectValuesBlock {
    void* values; // 26 TypedValues
    std::int32_t count;
    std::uint8_t reserved1[96];
    std::uint32_t flags;
    std::uint8_t reserved2[26];
    char16_t* strings[AlterableStringCount];
};

struct ObjectSpriteBlock {
    std::int32_t flashInterval;
    std::int32_t flashCountdown;
    std::int32_t layerKey;
    std::int32_t zOrder;
    std::uint32_t spriteFlags;
    std::uint32_t eraseColour;
    std::uint32_t inkEffect;
    void* inkParameter; // the parameter, or the CEffectEx of ink effect 13
    std::uint16_t displayFlags;
    std::uint16_t firstSpriteFlags;
};

// Block sizes whose contents belong to the movement and animation services.
constexpr std::size_t ObjectMovementBlockBytes = 158;
constexpr std::size_t ObjectAnimationBlockBytes = 80;

// Where the optional blocks start.
constexpr std::size_t RunObjectBlocksStart = (sizeof(RunObject) + 7) & ~std::size_t{7};
constexpr std::size_t RunObjectExtendedBlocksStart = (sizeof(RunObjectExtended) + 7) & ~std::size_t{7};

// Where each optional block lies in the record of an object with these object flags, and where the kind's
// own data starts (an extension's record size adds its data's size to `kindData`). 0 = no such block.
struct RunObjectLayout {
    std::size_t movement = 0, animation = 0, sprite = 0, values = 0, kindData = 0;
};
constexpr std::size_t AlignRecordBlock(std::size_t n) {
    return (n + 7) & ~std::size_t{7};
}
constexpr RunObjectLayout LayoutOfRunObject(std::uint32_t objectFlags) {
    RunObjectLayout l;
    std::size_t at =
        (objectFlags & ObjectExtendedHeader) ? RunObjectExtendedBlocksStart : RunObjectBlocksStart;
    const auto take = [&](std::uint32_t flag, std::size_t& field, std::size_t bytes) {
        if (!(objectFlags & flag)) return;
        field = at;
        at += AlignRecordBlock(bytes);
    };
    take(ObjectHasMovement, l.movement, ObjectMovementBlockBytes);
    take(ObjectHasAnimation, l.animation, ObjectAnimationBlockBytes);
    take(ObjectHasSprite, l.sprite, sizeof(ObjectSpriteBlock));
    take(ObjectHasValues, l.values, sizeof(ObjectValuesBlock));
    l.kindData = at;
    return l;
}

// The room before a kind's own data whatever optional blocks its objects have; an extension that sizes its
// records with it can find its data at LayoutOfRunObject(object->objectFlags).kindData.
constexpr std::size_t MaxKindDataOffset =
    LayoutOfRunObject(ObjectHasMovement | ObjectHasAnimation | ObjectHasSprite | ObjectHasValues).kindData;
template <typename T> T* KindDataOf(RunObject* object) {
    return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(object) +
                                LayoutOfRunObject(object->objectFlags).kindData);
}

// What CreateObject hands to every initialiser and to the kind's (or extension's) create routine.
struct ObjectCreationParams {
    const FrameItemInstance* frameItem; // null for objects created at run time
    std::uint16_t reserved;
    std::uint16_t creationFlags; // bit 0: no movement set-up; bit 1: hidden
    std::int32_t x, y;
    std::int32_t direction;
    std::int32_t layer;
    std::int32_t order;
};

constexpr std::uint16_t CreateNoMovement = 0x1;
constexpr std::uint16_t CreateHidden = 0x2;

static_assert(offsetof(RunObject, runState) == 8);
static_assert(offsetof(RunObject, currentParameter) % sizeof(void*) == 0);
static_assert(offsetof(RunObject, identifier) == offsetof(RunObject, controlWindows) + 24);
static_assert(sizeof(ObjectValuesBlock) == 8 + 4 + 96 + 4 + 26 + 6 + 80);

} // namespace vtrrt
