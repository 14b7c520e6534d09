// What the event engine keeps while a frame runs, beside the frame's run state: the stamps that make
// selections lapse, the per-object-info selections and action walks, the qualifiers' walks, the walk
// cursor, the scratch stack and the expression evaluator's stacks.
#pragma once

#include "events/typed_value.h"

#include <cstdint>
#include <vector>

namespace vtrrt {

struct FrameRunState;
struct FrameEvents;
struct RunObject;

constexpr int ExpressionDepth = 256;

// How an action walk moves on at the next repeat pass.
enum class WalkStep : std::uint8_t { None, SameObject, NextSelected, NextInstance };

struct ActionWalk {
    std::int32_t actionStamp = -1;
    std::int32_t repeatPass = -1;
    WalkStep step = WalkStep::None;
    std::int32_t current = -1;
    std::int32_t next = -1;
    std::uint8_t more = 0;
};

// The selection of one object info; its head is the run entry's firstSelected, the chain runs through
// each object's nextSelected.
struct SelectionEntry {
    std::int32_t stamp = -1; // the event stamp at which it was last set
    std::int32_t count = 0;
    ActionWalk walk;
    std::int32_t orStamp = -1;
};

struct QualifierWalk {
    ActionWalk walk;
    std::int32_t member = 0; // index of the member pair in the list
    std::uint8_t memberSeen = 0;
};

struct EventRunState {
    FrameRunState* run = nullptr;
    const FrameEvents* events = nullptr;       // qualifier member lists; null: no qualifiers
    std::vector<SelectionEntry> selections;    // by object-info index
    std::vector<QualifierWalk> qualifierWalks; // by member-list offset

    std::int32_t eventStamp = 0;
    std::uint32_t touchedTypes[4] = {};
    std::uint16_t emptyWhenStale = 0;
    std::uint8_t emptyMeansNone = 0;
    std::uint8_t actionPending = 0;
    std::int32_t actionStamp = 0;
    std::int32_t repeatPass = 0;
    std::uint8_t repeatRequest = 0;

    // Walk cursor of condition and type walks.
    RunObject* cursorObject = nullptr;
    std::int16_t* cursorLink = nullptr; // the link holder before the current object
    bool cursorDropped = false;
    std::int32_t cursorEntry = -1;
    const std::int16_t* cursorMember = nullptr; // in a qualifier's member list; null for one object info
    std::int32_t typeWalkEntry = -1;
    std::int16_t typeWalkType = -1;

    // Scratch stack for per-loop lists (collision partners).
    std::vector<std::int32_t> scratch = std::vector<std::int32_t>(4096);
    std::size_t scratchPosition = 0;

    // Expression evaluator.
    TypedValue values[ExpressionDepth + 2] = {};
    std::int32_t pendingOperators[ExpressionDepth + 2] = {};
    std::int32_t stackIndex = 0;
    const std::uint8_t* token = nullptr;
    const std::uint8_t* tokenEnd = nullptr;
    bool overflow = false;
    std::int32_t evaluationDepth = 0;

    TemporaryStrings temporaryStrings;
};

// Sizes the tables for the run state's object infos and makes the state current (with its temporary
// strings); null detaches.
void AttachEventState(EventRunState* state, FrameRunState* run, const FrameEvents* events);
EventRunState* CurrentEventState();

} // namespace vtrrt
