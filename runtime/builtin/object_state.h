// What the conditions, actions and expressions of objects of type 2 and up read and change in an object:
// its position and direction, the redisplay request, its movement through the movement action table, and
// its alterable values, flags and strings.
#pragma once

#include "core/event_state.h"
#include "core/typed_value.h"
#include "objects/movements.h"
#include "plugin/run_object.h"

#include <cstdint>
#include <string_view>

namespace vtrrt {

// Flags the object for redisplay: the extended header's changed field, or, for an object without one, its
// display routine at once.
void MarkObjectChanged(RunObject* object);
// Sets the direction when it differs (the movement told through its set-direction row, the object
// changed); true when it changed.
bool SetObjectDirection(RunObject* object, std::int32_t direction);
// Steps the object's animation after a change of direction or a forced animation: the active object's
// animation is stepped, other kinds have their animation routine called.
void RefreshObjectAnimation(RunObject* object);

// The object kept for later, when it still lives (the same object in its slot).
RunObject* KeptObjectAlive(const KeptObject& kept);

// Inks: the code bits of an object's ink word, the flag that makes its parameter an RGBA coefficient, and
// the semi-transparent ink, whose parameter is a ratio from 0 (opaque) to 128 (unseen).
constexpr std::uint32_t InkCodeBits = 0xFFF;
constexpr std::uint32_t InkRgbaCoefficient = 0x1000;
constexpr std::uint32_t NoInkCoefficient = 0xFFFFFFFF;
// The alpha byte a semi-transparency ratio stands for.
std::uint32_t AlphaOfRatio(std::int32_t ratio);
// The RGBA coefficient the object's ink stands for: a ratio's alpha over white, an effect object's
// coefficient, or the parameter of an ink with the coefficient flag; NoInkCoefficient when it has none.
std::uint32_t InkCoefficientOf(RunObject* object);

// Alterable values: the growth an index taken from event data may ask for stops at this count.
constexpr std::int32_t MaxAlterableValues = 1024;
// Value n of the object, or null (no values, n negative or at or beyond the count).
TypedValue* AlterableValue(RunObject* object, std::int32_t n);
// Value n, the array grown to n + 10 values (new ones integer 0) when n lies beyond it; null for a
// negative n, an object without values, an n at or beyond MaxAlterableValues or a growth that failed.
TypedValue* GrowAlterableValue(RunObject* object, std::int32_t n);
// Value n as it reads: integer 0 where `AlterableValue` has none.
TypedValue ReadAlterableValue(RunObject* object, std::int32_t n);
// Stores `value` into a slot of the object's values: a string is copied into memory the object owns (the
// slot's former string freed); false when the copy cannot be made (the slot is then left as it was).
bool StoreAlterableValue(TypedValue& slot, const TypedValue& value);
// The 32 alterable flags, or null for an object without values.
std::uint32_t* AlterableFlags(RunObject* object);
// Alterable string n (0 to 9); the empty string when unset or out of range.
std::u16string_view AlterableString(RunObject* object, std::int32_t n);

} // namespace vtrrt
