// A frame's event program: the events chunk read into memory, 8-bit programs rebuilt in UTF-16, a checked
// walk over groups, records and parameters, and the lists the preparation builds for the evaluation.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace vtrrt {

// Item tags of the events chunk.
constexpr std::uint32_t EventTagHeader = 0x3E3E5245; // "ER>>"
constexpr std::uint32_t EventTagSize = 0x73655245;   // "ERes"
constexpr std::uint32_t EventTagGroups = 0x76655245; // "ERev"
constexpr std::uint32_t EventTagEnd = 0x52453C3C;    // "<<ER"

constexpr int EventObjectTypeCount = 17; // -7 to 9
constexpr std::uint16_t MinFrameObjects = 300;
constexpr std::size_t EventHeaderBytes = 42;

constexpr std::size_t GroupHeaderBytes = 16;
constexpr std::size_t ConditionHeaderBytes = 16;
constexpr std::size_t ActionHeaderBytes = 14;
constexpr std::size_t ParameterHeaderBytes = 4;
constexpr std::size_t TokenHeaderBytes = 6;
constexpr std::size_t TerminatorBytes = 4;

// Offsets inside a group.
constexpr std::size_t GroupConditionCount = 2;
constexpr std::size_t GroupActionCount = 3;
constexpr std::size_t GroupFlags = 4;
constexpr std::size_t GroupCounterA = 8;
constexpr std::size_t GroupCounterB = 12;

// Offsets inside a record.
constexpr std::size_t RecordType = 2;
constexpr std::size_t RecordNumber = 4;
constexpr std::size_t RecordObjectInfo = 6;
constexpr std::size_t RecordResolved = 8;
constexpr std::size_t RecordRunFlags = 10;
constexpr std::size_t RecordNegation = 11;
constexpr std::size_t RecordParameterCount = 12;

// Group flags.
constexpr std::uint16_t GroupKeepFlag1 = 0x0001;
constexpr std::uint16_t GroupOnlyOnce = 0x0002;
constexpr std::uint16_t GroupCounted = 0x0004;
constexpr std::uint16_t GroupTimed = 0x0008;
constexpr std::uint16_t GroupHasAction25 = 0x0010;
constexpr std::uint16_t GroupHasOr = 0x0400;
constexpr std::uint16_t GroupHasCreateOrDestroy = 0x0800;
constexpr std::uint16_t GroupLogicalOr = 0x1000;
constexpr std::uint16_t GroupInactive = 0x4000;
constexpr std::uint16_t GroupPreparedClear = 0x081F;

// Record run flags.
constexpr std::uint8_t RecordRepeat = 0x01;
constexpr std::uint8_t RecordSkipInRestart = 0x08;
constexpr std::uint8_t RecordNoObjectFound = 0x10;
constexpr std::uint8_t RecordEveryLoop = 0x20;
constexpr std::uint8_t RecordDisabled = 0x80;

// System object types.
constexpr std::int16_t TypePlayer = -7;
constexpr std::int16_t TypeKeyboardMouse = -6;
constexpr std::int16_t TypeCreate = -5;
constexpr std::int16_t TypeTimer = -4;
constexpr std::int16_t TypeStoryboard = -3;
constexpr std::int16_t TypeSpeaker = -2;
constexpr std::int16_t TypeSpecial = -1;
constexpr std::int16_t FirstExtensionType = 32;

// Conditions and actions the preparation looks at.
constexpr std::int16_t ConditionKeepGroupFlag = -6; // of the special object
constexpr std::int16_t ConditionNamedLoop = -16;    // of the special object
constexpr std::int16_t ConditionFilteredOr = -24;   // of the special object
constexpr std::int16_t ConditionLogicalOr = -25;    // of the special object
constexpr std::int16_t ConditionOverlap = -4;       // of an object; of the keyboard and mouse: pointer over
constexpr std::int16_t ConditionClickOnObject = -7; // of the keyboard and mouse
constexpr std::int16_t ConditionCollision = -14;    // two objects collide
constexpr std::int16_t ConditionLeavesArea = -11;
constexpr std::int16_t ConditionBorder = -12;
constexpr std::int16_t ConditionBackdrop = -13;
constexpr std::int16_t ActionCreate4 = 4;
constexpr std::int16_t ActionCreate9 = 9;
constexpr std::int16_t ActionStartLoop = 14; // of the special object
constexpr std::int16_t Action25 = 25;
constexpr int CommonConditionSlots = 81;

// Collision flags of an object-info run entry.
constexpr std::uint16_t CollisionWithObjects = 0x0080;
constexpr std::uint16_t CollisionOverlap = 0x0100;
constexpr std::uint16_t CollisionBackdrop = 0x0200;
constexpr std::uint16_t CollisionBorder = 0x0400;
constexpr std::uint16_t CollisionNoSprite = 0x1000;
constexpr std::uint16_t CauseBackdrop = 0x8010;

// Parameter codes.
enum EventParameterCode : std::int16_t {
    ParamObject = 1,
    ParamTime = 2,
    ParamPosition = 9,
    ParamShort10 = 10,
    ParamCreate = 16,
    ParamShoot = 18,
    ParamCreateInstance = 21,
    ParamExpression = 22,
    ParamSample = 6,
    ParamMusic = 7,
    ParamZeroed = 25,
    ParamProgram = 33,
    ParamSample2 = 35,
    ParamMusic2 = 36,
    ParamGroup = 38,
    ParamGroupPointer = 39,
    ParamFile = 40,
    ParamObstacle = 43,
    ParamNamed57 = 57,
    ParamFile2 = 63,
    ParamString = 64,
};

bool IsExpressionCode(std::int16_t code);
bool IsPositionCode(std::int16_t code);

// Token codes: object type in the low half, number in the high half.
constexpr std::int32_t TokenEnd = 0;
constexpr std::int32_t TokenString = 0x0003FFFF;

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

// Little-endian access to program bytes whose bounds the walk has checked.
inline std::int16_t GetI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int32_t GetI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutI32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

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
