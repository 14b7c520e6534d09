// Objects of a running frame: their records, creation and destruction, instance chains, the per-object
// routine of each list slot and the object pass of the game loop.
#pragma once

#include "core/frame_run_state.h"
#include "plugin/run_object.h"

#include <array>
#include <cstdint>
#include <span>

#include "vtrformat/codes.h"

namespace vtrrt {

using namespace vtrformat;

constexpr std::int32_t PositionFromFrameItem = static_cast<std::int32_t>(0x80000000u);
// Run flags of an object its sprite draws: an image or transition sprite, or an owner-drawn one.
constexpr std::uint16_t DrawnBySprite = ObjectImageSprite | ObjectOwnerDrawn;

// The routines of one built-in kind; the kinds' own services fill them in. A kind without a record size
// routine cannot be created.
struct ObjectKindRoutines {
    std::uint16_t (*recordSize)(const std::uint8_t* definition);
    int (*create)(RunObject*, const std::uint8_t* definition, const ObjectCreationParams*);
    ObjectHandleRoutine handle;
    ObjectDisplayRoutine display;
    void (*destroy)(RunObject*, int mode);
    ObjectDisplayRoutine zone; // sets the object's size before its display rectangle is worked out
};

// Indexed by object type 0 to 9.
std::array<ObjectKindRoutines, LastKindType + 1>& KindRoutines();

// The record sizes the kinds give, as 64-bit records: the header and blocks have grown with their
// pointers, and the kind keeps the room its data needs.
std::uint16_t KindRecordSize(std::int16_t type);

// A kind's record size that leaves room for `kindBytes` of its own after whatever blocks its flags ask for.
std::uint16_t KindRecordSizeWith(std::int16_t type, std::size_t kindBytes);

std::uint16_t GetObjectStructSize(std::int16_t type, const std::uint8_t* definition);
int CreateObject(std::int32_t frameItem, std::int32_t objectInfo, std::int32_t x, std::int32_t y,
                 std::int32_t direction, std::uint16_t creationFlags, std::int32_t layer, std::int32_t slot);
void DestroyObject(std::int32_t slot, int mode);
void SelectObjectRoutine(RunObject* object);
void LinkObjectInstance(RunObject* object);
void UnlinkObjectInstance(RunObject* object);
void AllocAlterableData(RunObject* object, const std::uint8_t* definition, std::size_t definitionSize);
void FreeAlterableData(RunObject* object);
void SetAlterableString(RunObject* object, int index, const char16_t* text);

// Where a kind's own data starts in a record of these object flags: after the header and the blocks the
// flags ask for.
std::size_t KindDataOffset(std::uint32_t objectFlags);
// The loaded definition the object was made from (its object info's), or an empty span.
std::span<const std::uint8_t> ObjectDefinitionOf(RunObject* object);
// The kind's own data of an object, when `bytes` of it fit in its record; else null.
std::uint8_t* KindDataOf(RunObject* object, std::size_t bytes);

// The blocks of a record; null when the object has none.
ObjectValuesBlock* ValuesBlockOf(RunObject* object);
// (Inline: the object pass and the movements ask for them many times an object.)
inline RunObjectExtended* ExtendedOf(RunObject* object) {
    if (!object || !(object->objectFlags & ObjectExtendedHeader)) return nullptr;
    return static_cast<RunObjectExtended*>(object);
}
inline ObjectSpriteBlock* SpriteBlockOf(RunObject* object) {
    RunObjectExtended* x = ExtendedOf(object);
    if (!x || !(object->objectFlags & ObjectHasSprite) || x->spriteBlock == 0) return nullptr;
    return reinterpret_cast<ObjectSpriteBlock*>(reinterpret_cast<std::uint8_t*>(object) + x->spriteBlock);
}
inline std::uint8_t* AnimationBlockOf(RunObject* object) {
    RunObjectExtended* x = ExtendedOf(object);
    if (!x || !(object->objectFlags & ObjectHasAnimation) || x->animationBlock == 0) return nullptr;
    return reinterpret_cast<std::uint8_t*>(object) + x->animationBlock;
}
inline std::uint8_t* MovementBlockOf(RunObject* object) {
    if (!ExtendedOf(object) || !(object->objectFlags & ObjectHasMovement)) return nullptr;
    return reinterpret_cast<std::uint8_t*>(object) + RunObjectExtendedBlocksStart;
}

// Sets the object's bit in the destroy-request bitmap.
void MarkObjectForDestroy(std::int32_t slot);
// Destroys every marked object (mode 0) and clears the marks.
void DestroyMarkedObjects();
// Runs each slot's per-object routine in slot order; objects created behind the pass's position run in
// the same pass.
void RunObjectPass();
// Destroys every object now (mode 1), at frame end.
void DestroyAllObjects();

} // namespace vtrrt
