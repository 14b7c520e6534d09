// The score (type 5), lives (type 6) and counter (type 7) objects: their record, creation, refresh from the
// players, size and display (digit images, bars, animation frames, text), fonts and destruction, and the
// counter's own condition, actions and expressions on its value within its limits.
#pragma once

#include "core/typed_value.h"
#include "plugin/run_object.h"
#include "startup/counter_definition.h"

#include "win32/font.h"

#include <cstdint>
#include <span>

namespace vtrrt {


struct CounterLimits {
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t reserved[2];
    std::int32_t shown;
    std::int32_t width, height; // of the definition
    double minimumReal;
    double maximumReal;
};

// The kind's own part of a score, lives or counter record.
struct CounterPart {
    std::int16_t player; // 1-based; score and lives displays
    std::uint16_t font;  // set at run time; 0: the definition's
    std::int32_t frame;  // bar length or animation frame; -1 at creation
    // An integer is held as the complement of the number, a double as itself.
    TypedValue value;
    CounterLimits limits;
    std::uint32_t colour1, colour2;
};

// The counter part of a score, lives or counter object, or null.
CounterPart* CounterOf(RunObject* object);

// The value as a number (the complement undone), integer or double.
TypedValue CounterValue(const CounterPart& counter);
// The value rules: the type follow-up (a double makes the counter a double counter for good), the limits,
// and nothing when the value does not change; otherwise the value is stored, the object displayed again
// and flagged as changed.
void SetCounterValue(RunObject* object, TypedValue value);
void AddToCounter(RunObject* object, const TypedValue& value);
void SubtractFromCounter(RunObject* object, const TypedValue& value);
void SetCounterMinimum(RunObject* object, const TypedValue& value);
void SetCounterMaximum(RunObject* object, const TypedValue& value);

// The length of a bar between the limits for a full size, in 64 bits and clamped to 0..full; 0 when the
// maximum is not above the minimum.
std::int32_t CounterBarLength(const CounterPart& counter, std::int32_t full);
// The animation frame for a count of frames, clamped to 0..count - 1.
std::int32_t CounterFrameIndex(const CounterPart& counter, std::int32_t frames);

// Sets the stored score or lives word of every score (type 5) or lives (type 6) display of the player
// (0-based) in the running frame, displaying again those whose value changed.
void RefreshPlayerCounters(std::int16_t type, int player, std::int32_t storedWord);

// The common objects' font routines reach counters through these two.
// The font description of a counter's font (its own, else the definition's, else zeros).
void GetCounterFont(RunObject* object, win32::LOGFONTW* font);
// Text counters only: the font goes into the font bank and replaces the counter's own; a rectangle given
// becomes the counter's size.
void SetCounterFont(RunObject* object, const win32::LOGFONTW* font, const win32::RECT* size);

// The kind routines of types 5 to 7, with their font and colour routines.
void InstallCounterKinds();
// Those, and the counter's own condition, actions and expressions in the dispatch tables.
void InstallCounterRoutines();

} // namespace vtrrt
