// What the event engine keeps while a frame runs, beside the frame's run state: the stamps that make
// selections lapse, the per-object-info selections and action walks, the qualifiers' walks, the walk
// cursor, the scratch stack and the expression evaluator's stacks.
#pragma once

#include "core/typed_value.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
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
    std::int32_t nextIndex = -1; // where the next object lies in its entry's selection or instances
    std::uint8_t more = 0;
};

// A handle left in a selection where a condition walk dropped an object; the walk closes the gaps when it
// ends, and readers pass over them meanwhile.
constexpr std::int16_t DroppedObject = -1;

// The selection of one object info: the handles of its selected objects, in order, in one array that the
// walks go through without following links from object to object.
struct SelectionEntry {
    std::int32_t stamp = -1; // the event stamp at which it was last set
    std::int32_t count = 0;  // handles in `objects` that were not dropped
    std::vector<std::int16_t> objects;
    bool gaps = false; // `objects` holds dropped handles
    ActionWalk walk;
    std::int32_t orStamp = -1;
    // The entry's instance chain as an array, valid while the entry's count of chain changes is `chainAt`.
    std::vector<std::int16_t> instances;
    std::uint32_t chainAt = 0;
    std::int16_t chainHead = 0;
    bool chainKnown = false;
};

struct QualifierWalk {
    ActionWalk walk;
    std::int32_t member = 0; // index of the member pair in the list
    std::uint8_t memberSeen = 0;
};

// A routine run later in the loop with the object and the event code it was pushed with.
using PushedRoutine = void (*)(RunObject* object, std::int32_t code);

struct PushedEvent {
    PushedRoutine routine;
    std::int32_t code; // 0 once run
    std::int32_t parameter;
    RunObject* object;
    std::int16_t handle; // of the object, and its creation number, to find it still alive
    std::uint16_t creationNumber;
    std::int16_t value;
    // How many pushes led to this one within one flush: an event that keeps pushing itself waits for the
    // next loop once the chain is too long.
    std::int32_t generation;
};

// A named event of the timer object, fired once or a number of times.
struct TimedEvent {
    bool repeating = false;
    std::u16string name;
    std::uint32_t due = 0;
    std::int32_t interval = 0;
    std::uint32_t next = 0; // 0: not started
    std::int32_t remaining = 0;
    std::int32_t runIndex = 0;
    bool done = false;
};

// An object kept across an event for later: its handle and creation number, so that a destroyed object
// (or another in its slot) is not taken for it.
struct KeptObject {
    std::int16_t handle;
    std::uint16_t creationNumber;
};

// An object loop of the common object actions: the objects of one object info gathered under a name by
// an event, run one after the other once the event's actions are done.
struct ObjectLoop {
    std::u16string name;
    std::int32_t objectInfo = -1; // index in the run table
    std::int32_t index = -1;      // -1 until run
    bool stop = false;
    std::vector<KeptObject> objects;
};

// A named fast loop; entries are reached by their position in the table, which only grows.
struct NamedLoop {
    std::u16string name;
    std::uint16_t flags = 0; // bit 0: stop requested
    std::int32_t index = 0;
};

struct EventRunState {
    FrameRunState* run = nullptr;
    FrameEvents* events = nullptr;             // the prepared program; null: the frame has none
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
    std::int32_t cursorIndex = -1; // of the current object in its entry's selection
    bool cursorDropped = false;
    std::int32_t cursorEntry = -1;
    const std::int16_t* cursorMember = nullptr; // in a qualifier's member list; null for one object info
    std::int32_t typeWalkEntry = -1;
    std::int16_t typeWalkType = -1;

    // Evaluation of the program.
    std::uint8_t* currentGroup = nullptr;
    std::uint8_t* currentAction = nullptr;
    std::int32_t eventCode = 0;
    std::int32_t eventParameter1 = 0;
    std::int32_t eventParameter2 = 0;
    std::int16_t eventObjectInfo = 0;
    std::int16_t otherObject = -1; // the other object of a collision
    std::int32_t orCounter = 0;
    std::vector<std::uint8_t> orFlags; // by object handle
    std::uint8_t immediateOnly = 0;
    std::uint8_t startRanEarly = 0;
    bool startOfFrameDone = false; // the start-of-frame list ran for this preparation
    std::uint8_t handled = 0;      // an event took the menu command or close request
    std::int32_t actionStampCounter = 0;
    // The object of one repeat pass of an action run whose passes are driven over one object info's walk:
    // the object info's index (-1: none), the action stamp and pass it holds for, and the pass's object
    // and more-follow flag, as the walk gives them.
    std::int32_t passEntry = -1;
    std::int32_t passStamp = 0, passNumber = 0;
    std::int16_t passObject = -1;
    bool passMore = false;
    void (*afterActions)() = nullptr;
    std::deque<PushedEvent> pushed;
    std::int32_t flushGeneration = -1; // of the pushed event being run; -1 outside a flush
    // The value-snapshot area of the group whose actions run (null when the scratch stack had no room).
    std::int32_t* snapshotBase = nullptr;
    std::int32_t* snapshotCursor = nullptr;
    std::int32_t snapshotCount = 0;

    // Input raised by the window procedures.
    std::int32_t menuCommand = 0; // identifier of the last menu command
    std::int32_t menuValue = 0;
    std::int64_t quitLoop = -1;
    std::int64_t resumeLoop = -1;
    std::int64_t wheelLoop = -1;
    std::int16_t wheelDelta = 0;
    std::int64_t idleBase = 0;   // frame time of the last key or mouse input
    std::int32_t resumeKey = 0;  // the key that ends a pause; -1 any key
    std::int32_t clickCode = -1; // of the click being raised
    std::int32_t lastClick = -1;
    RunObject* clickedObject = nullptr;
    std::int16_t clickedHandle = -1;
    std::uint8_t mouseDisabled = 0;
    std::vector<std::u16string> droppedFiles;
    std::uint8_t filesDropped = 0;
    // Loop counters of the last position load and save (kept by the saved-position services).
    std::int64_t positionLoadLoop = -1;
    std::int64_t positionSaveLoop = -1;
    // The player whose controls are raised, and the control bits raised.
    std::int32_t raisedPlayer = 0;
    std::uint32_t raisedControls = 0;

    // Timer object.
    std::vector<TimedEvent> timedEvents;
    const std::u16string* timedEventName = nullptr; // of the timed event being raised
    std::int32_t timedEventIndex = 0;

    // Fast loops.
    std::vector<NamedLoop> loops;
    std::int32_t currentLoop = -1; // the loop being run, by its place in the table
    std::int32_t loopDepth = 0;

    // Common object actions: objects waiting to swap positions once the event's actions are done, the object
    // loops gathered by the event, and the loop (with its partner of a pair loop) being run.
    std::vector<KeptObject> swapList;
    std::vector<ObjectLoop> objectLoops;
    const ObjectLoop* currentObjectLoop = nullptr;
    // The running value of each spreading action (by its record) through its repeat passes.
    std::vector<std::pair<const std::uint8_t*, std::int32_t>> spreadValues;
    const ObjectLoop* secondObjectLoop = nullptr;
    // A condition that evaluates its expression once for each object it walks: an expression naming that
    // object's object info (or a qualifier it belongs to) answers with it.
    RunObject* conditionObject = nullptr;

    // Storyboard: the display position asked for (bit 0 of scrollPending: X and Y are pending).
    std::int32_t pendingScrollX = 0, pendingScrollY = 0;
    std::uint8_t scrollPending = 0;

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

// The event engine's own (events/event_state.cpp), for the layers from events up:
// Sizes the tables for the run state's object infos and makes the state current (with its temporary
// strings); null detaches. The state's timers, loops and input survive a second attachment to new lists.
void AttachEventState(EventRunState* state, FrameRunState* run, FrameEvents* events);
// Read on every step of the event engine, so kept where the compiler sees it. SetCurrentApplication
// (core) makes the state of the current application's run the attached one.
extern EventRunState* attachedEventState;
inline EventRunState* CurrentEventState() {
    return attachedEventState;
}
// The attached event state while it runs over a frame's run state, or null: what the engine works on.
inline EventRunState* State() {
    EventRunState* s = CurrentEventState();
    return s && s->run ? s : nullptr;
}

// Takes `bytes` (a multiple of 4) from this loop's half of the run state's event buffer; null when there is
// no room. What is taken lives through the next loop (the buffer's two halves take turns).
void* TakeScratch(std::size_t bytes);

} // namespace vtrrt
