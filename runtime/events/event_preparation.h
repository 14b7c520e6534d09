// Preparing a frame's event program once its objects are known: references resolved, group flags and
// collision flags computed, and the lists the evaluation and the selection walk built.
#pragma once

#include "startup/event_program.h"

#include <cstdint>

namespace vtrrt {

struct FrameRunState;

constexpr std::uint16_t NoObjectInfoIndex = 0xFFFF;
constexpr std::int32_t PrepareFailed = -1;

// A qualifier (bit 15) gives its member list's offset with bit 15 set; any other handle the index of its
// run entry, or 0xFFFF.
std::uint16_t GetObjectInfoIndex(const FrameEvents& events, const FrameRunState& state, std::uint16_t handle,
                                 std::int16_t type);

// Rebuilds the working program from the stored one (unless `fromStored` is false and there is a working
// program, whose run flags then carry over) and prepares it over the run state's object-info run entries and
// objects. 0, or -1 when memory ran out or the program is damaged (every list freed, the prepared flag left
// 0).
int PrepareFrameEvents(FrameEvents& events, FrameRunState& state, bool fromStored = true);
// Frees the lists when they are prepared.
void ReleaseFrameEventLists(FrameEvents& events);

// The list of {group, condition} pairs of a condition of a system type (-7..-1), or of an object info's
// run entry; null when no group listens.
const std::int32_t* SystemConditionList(const FrameEvents& events, std::int16_t type, std::int16_t number);
const std::int32_t* ObjectConditionList(const FrameEvents& events, std::int32_t entryIndex,
                                        std::int16_t number);
// The members of a qualifier list ({handle, index} pairs ended by -1), from its offset.
const std::int16_t* QualifierMembers(const FrameEvents& events, std::uint16_t listOffset);

} // namespace vtrrt
