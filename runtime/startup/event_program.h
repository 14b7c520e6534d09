// A frame's event program: the events chunk read into memory, 8-bit programs rebuilt in UTF-16, a checked
// walk over groups, records and parameters, and the lists the preparation builds for the evaluation.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "vtrformat/event_records.h"

namespace vtrrt {

using namespace vtrformat;

// Collision flags of an object-info run entry.
constexpr std::uint16_t CollisionWithObjects = 0x0080;
constexpr std::uint16_t CollisionOverlap = 0x0100;
constexpr std::uint16_t CollisionBackdrop = 0x0200;
constexpr std::uint16_t CollisionBorder = 0x0400;
constexpr std::uint16_t CollisionNoSprite = 0x1000;
constexpr std::uint16_t CauseBackdrop = 0x8010;

bool IsExpressionCode(std::int16_t code);
bool IsPositionCode(std::int16_t code);

// Reading and walking results.
constexpr int EventsOk = 0;
constexpr int EventsDamaged = 0x40000009; // as the streams' data error
constexpr int EventsEndOfData = 0x40000002;
constexpr int EventsOutOfMemory = 0x40000000;

struct EventQualifier {
    std::uint16_t qualifier;
    std::int16_t objectType;
    std::uint16_t listOffset; // index of its first member pair, set by the preparation
};

struct EventProgramHeader {
    std::uint16_t maxObjects = MinFrameObjects;
    std::uint16_t objectInfoCount = 0;
    std::uint16_t runtimeCount = 0;
    std::int16_t conditionCounts[EventObjectTypeCount] = {};
    std::vector<EventQualifier> qualifiers;
};

struct EventListPair {
    std::int32_t group;     // offset from the program's start
    std::int32_t condition; // offset from the program's start
};

// A named loop whose name is a literal: the groups it runs (offsets, in program order) and its place in the
// run's named-loop table once known.
struct PreparedLoop {
    std::vector<std::int32_t> groups;
    std::u16string name;
    std::uint16_t hasAlternatives = 0; // a group holds an or: the loop runs through the triggered lists
    std::int32_t position = -1;
};

// The events data of one frame. The program keeps run-time state in its own bytes, so `stored` keeps the
// bytes as read (and converted) and `program` is the working copy rebuilt from it at each preparation.
struct FrameEvents {
    EventProgramHeader header;
    bool hasHeader = false;
    std::vector<std::uint8_t> stored;  // groups and terminator; empty when the chunk held none
    std::vector<std::uint8_t> program; // working copy

    // Built by PrepareFrameEvents.
    std::vector<std::int16_t> qualifierMembers; // {handle, index} pairs, each list ended by {-1, -1}
    std::vector<std::int32_t> conditionSlots;   // index into conditionLists, -1 = empty
    std::vector<std::int32_t> conditionLists;   // {group, condition} pairs, each list ended by -1
    std::int32_t systemSlotBase[7] = {};        // first slot of each system type -7 to -1
    std::vector<std::int32_t> infoSlotBase;     // first slot of each object-info run entry
    std::vector<EventListPair> everyLoop;
    std::vector<std::int32_t> everyLoopList;                  // the same pairs, ended by -1
    std::vector<std::vector<std::int16_t>> collisionPairs;    // per run entry: object-info indexes
    std::vector<std::vector<std::int16_t>> collisionPartners; // per run entry, from create/destroy causes
    std::vector<std::u16string> loopNames;
    std::vector<PreparedLoop> preparedLoops;
    std::uint16_t computedLoopNames = 0; // an on-loop condition names its loop by more than a literal
    std::uint32_t obstacleKinds = 0;
    std::int32_t prepared = 0;
};

// The frame record holds its events through a pointer: made and freed here (null when memory runs out).
FrameEvents* NewFrameEvents();
void DeleteFrameEvents(FrameEvents*& events);

// Clears the program and every list (before a frame's chunks are read).
void ResetFrameEventData(FrameEvents& events);
// Reads an events chunk's payload. 8-bit programs (`unicode` false) are converted with `codePage` whatever
// the outcome. Returns 0, or the end-of-data or data-error code; the program is then terminated after the
// last whole group read, or absent.
int ReadFrameEvents(FrameEvents& events, std::span<const std::uint8_t> payload, bool unicode,
                    std::uint32_t codePage);
// Rebuilds `events.stored` with UTF-16 strings; EventsDamaged leaves no program.
int ConvertEventsToUnicode(FrameEvents& events, std::uint32_t codePage);

// What the walk hands to its visitors; offsets are from the program's start.
struct EventGroupView {
    std::size_t offset;
    std::size_t size;
    int conditions;
    int actions;
};
struct EventRecordView {
    std::size_t offset;
    std::size_t size;
    int index; // within the group: conditions first
    bool isCondition;
    std::int16_t type;
    std::int16_t number;
};
struct EventParameterView {
    std::size_t offset;
    std::size_t size;
    std::int16_t code;
};

// The visitor's three calls return false to stop the walk with EventsDamaged.
class EventVisitor {
public:
    virtual ~EventVisitor() = default;
    virtual bool Group(const EventGroupView&) { return true; }
    virtual bool Record(const EventGroupView&, const EventRecordView&) { return true; }
    virtual bool Parameter(const EventRecordView&, const EventParameterView&) { return true; }
};

// Walks every group, record and parameter, checking each size against its container. A size of 0 where a
// group, record or parameter must be, a negative record or parameter size, a positive group size, or a
// program without its terminator gives EventsDamaged.
int WalkEventProgram(std::span<std::uint8_t> program, EventVisitor& visitor);
// The offset just past the last whole group of `bytes`, walking group sizes only.
std::size_t WholeGroupsLength(std::span<const std::uint8_t> bytes);

// Each expression token of a parameter of an expression code; false when a token does not fit.
template <typename F> bool ForEachToken(std::uint8_t* param, std::size_t size, F&& f) {
    std::size_t pos = TokenHeaderBytes;
    for (;;) {
        if (pos + 4 > size) return false;
        const std::int32_t code = GetI32(param + pos);
        if (code == TokenEnd) return true;
        if (pos + TokenHeaderBytes > size) return false;
        const std::int16_t tokenSize = GetI16(param + pos + 4);
        if (tokenSize < static_cast<std::int16_t>(TokenHeaderBytes) ||
            pos + static_cast<std::size_t>(tokenSize) > size)
            return false;
        if (!f(code, param + pos, static_cast<std::size_t>(tokenSize))) return false;
        pos += static_cast<std::size_t>(tokenSize);
    }
}

// Calls callback(0, path) for the path of each code-33 parameter and the name of each code-40 and 63.
int ForEachEventFileParameter(std::span<std::uint8_t> program,
                              void (*callback)(int, char16_t* text, std::size_t units, void* user),
                              void* user);
// Calls callback(payload, bank) with bank 2 for codes 6 and 35 and bank 3 for codes 7 and 36.
int ForEachEventSoundParameter(std::span<std::uint8_t> program,
                               void (*callback)(std::uint8_t* payload, int bank, void* user), void* user);
// Bits 0 and 1 for obstacle types 1 and 2 named by code-43 parameters.
std::uint32_t ScanEventsForObstacleTypes(std::span<std::uint8_t> program);

} // namespace vtrrt
