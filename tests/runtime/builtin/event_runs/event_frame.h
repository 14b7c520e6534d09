// A headless running frame for event programs written with the event program builder: object infos and
// objects (some with the header and movement block of moving objects), the program read and prepared over
// them, a fake clock moved by the test, and test routines that record what the events do.
#pragma once

#include "builtin/system_objects.h"
#include "core/event_state.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/event_preparation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/movements.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "appwriter/event_program_builder.h"
#include "vtrs2/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace eventruns {

using namespace vtrrt;
using appwriter::EventGroupDesc;
using appwriter::EventParameterDesc;
using appwriter::EventProgramBuilder;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;

// What a test routine saw when it ran.
struct Seen {
    std::int32_t value;  // the recording action's parameter, or the object's handle
    std::int64_t loop;   // the loop counter
    std::u16string name; // the loop being run
    std::int32_t param1; // the event's first parameter
};

inline std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}
inline std::vector<std::int32_t> Values() {
    std::vector<std::int32_t> out;
    for (const Seen& s : Log())
        out.push_back(s.value);
    return out;
}

// The loops on which the recording action recorded `value`.
inline std::vector<std::int64_t> LoopsOf(std::int32_t value) {
    std::vector<std::int64_t> loops;
    for (const Seen& s : Log())
        if (s.value == value) loops.push_back(s.loop);
    return loops;
}

// Test routines: a special action that records its expression's value, a special condition that is true
// while its switch is on, an object action that records each object it acts on, object conditions on X
// and Y, and raised object conditions that hold.
constexpr std::int16_t RecordAction = 100;
constexpr std::int16_t SwitchCondition = -100;
constexpr std::int16_t PushSelfAction = 101;
constexpr std::int16_t PushOtherAction = 102;
// The object actions are own actions of the kinds 2 to 7, past the common numbers.
constexpr std::int16_t RecordObjectAction = 100;
constexpr std::int16_t RecordObjectOrNoneAction = 101; // records -1 when it finds no object
constexpr std::int16_t XBelow = -80;
constexpr std::int16_t XAtLeast = -79;
constexpr std::int16_t YBelow = -78;
constexpr std::int16_t ImmediateOnlyCondition = -77;

inline bool switches[8] = {};

void InstallTestRoutines();

inline EventParameterDesc Number(std::int32_t n) {
    return appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(n));
}
inline EventParameterDesc Text(std::u16string text, std::int16_t code = 45) {
    return appwriter::ExpressionParameter(code, ExpressionBuilder().String(std::move(text)));
}
inline EventParameterDesc Expression(ExpressionBuilder e, std::int16_t code = 22) {
    return appwriter::ExpressionParameter(code, std::move(e));
}

inline EventRecordDesc Record(std::int16_t type, std::int16_t number,
                              std::vector<EventParameterDesc> params = {}, std::uint16_t objectInfo = 0,
                              std::uint8_t runFlags = 0, bool negated = false) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.runFlags = runFlags;
    r.negation = negated ? 1 : 0;
    r.parameters = std::move(params);
    return r;
}
// A condition evaluated every loop.
inline EventRecordDesc EveryLoop(EventRecordDesc r) {
    r.runFlags |= RecordEveryLoop;
    return r;
}
inline EventRecordDesc Always() {
    return EveryLoop(Record(TypeSpecial, -1));
}
inline EventRecordDesc Switch(int n) {
    return Record(TypeSpecial, SwitchCondition, {Number(n)});
}
inline EventRecordDesc Recorder(std::int32_t value) {
    return Record(TypeSpecial, RecordAction, {Number(value)});
}
inline EventRecordDesc RecorderOf(ExpressionBuilder e) {
    return Record(TypeSpecial, RecordAction, {Expression(std::move(e))});
}
inline EventGroupDesc Group(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions) {
    EventGroupDesc g;
    g.conditions = std::move(conditions);
    g.actions = std::move(actions);
    return g;
}
// An expression token of a system object's expression, without arguments.
inline ExpressionBuilder& SystemExpression(ExpressionBuilder& e, std::int16_t type, std::int16_t number) {
    return e.Raw(EventCodeOf(type, number), {});
}

class EventFrame {
public:
    static constexpr int MaxInfos = 8;

    explicit EventFrame(int maxObjects = 64) : slots_(static_cast<std::size_t>(maxObjects)) {
        std::memset(&run_, 0, sizeof(run_));
        std::memset(&frame_, 0, sizeof(frame_));
        std::memset(entries_, 0, sizeof(entries_));
        entries_[0].handle = -1;
        frame_.width = 640;
        frame_.height = 480;
        run_.frame = &frame_;
        run_.objects = slots_.data();
        run_.maxObjects = maxObjects;
        run_.objectInfos = entries_;
        run_.objectBitBytes = static_cast<std::size_t>((maxObjects / 8) & ~7) + 16;
        bits_.assign(run_.objectBitBytes / 4 + 1, 0);
        run_.objectBits = bits_.data();
        run_.eventBufferStart = run_.eventBufferCurrent = scratch_.data();
        run_.eventBufferLimit = scratch_.data() + scratch_.size();
        run_.virtualWidth = frame_.width;
        run_.virtualHeight = frame_.height;
        run_.windowAreaWidth = 320;
        run_.windowAreaHeight = 200;
        run_.playerCount = 1;
        savedRun_ = Services().runState;
        savedFrame_ = Services().frame;
        Services().runState = &run_;
        Services().frame = &frame_;
        state_ = std::make_unique<EventRunState>();
        ResetRoutineTables();
        InstallSystemObjectRoutines();
        InstallTestRoutines();
        Log().clear();
        std::fill(std::begin(switches), std::end(switches), false);
    }
    ~EventFrame() {
        DestroyAllObjects();
        ReleaseTemporaryStrings(state_->temporaryStrings);
        AttachEventState(nullptr, nullptr, nullptr);
        ResetRoutineTables();
        Services().runState = savedRun_;
        Services().frame = savedFrame_;
    }
    EventFrame(const EventFrame&) = delete;
    EventFrame& operator=(const EventFrame&) = delete;

    // Object infos first, then objects, then the program.
    std::uint16_t AddInfo(std::int16_t handle, std::int16_t type = 2) {
        const int i = run_.objectInfoCount++;
        ObjectInfoRunEntry& e = entries_[i];
        e.handle = handle;
        e.objectType = type;
        e.firstSelected = -1;
        e.firstInstance = NoInstanceLink;
        e.rememberedFrameItem = -1;
        std::fill(std::begin(e.qualifiers), std::end(e.qualifiers), std::int16_t{-1});
        entries_[i + 1].handle = -1;
        return static_cast<std::uint16_t>(i);
    }

    // An object; a moving one has the extended header and a movement block (its box before the move is its
    // box where it is placed).
    RunObject* AddObject(std::uint16_t info, std::int32_t x, std::int32_t y, bool moving = false,
                         std::int32_t w = 10, std::int32_t h = 10) {
        const std::size_t size = moving ? RunObjectExtendedBlocksStart + 160 : sizeof(RunObject);
        RunObject* o = nullptr;
        EXPECT_TRUE(AllocZeroedMemory(size, &o));
        const int slot = next_++;
        o->handle = static_cast<std::int16_t>(slot);
        o->recordSize = static_cast<std::uint32_t>(size);
        o->runState = &run_;
        o->self = o;
        o->objectInfo = entries_[info].handle;
        o->objectType = entries_[info].objectType;
        o->creationNumber = static_cast<std::uint16_t>(100 + slot);
        o->nextSelected = -1;
        o->frameItem = -1;
        o->layer = 0;
        o->x = x;
        o->y = y;
        o->width = w;
        o->height = h;
        if (moving) {
            o->objectFlags = ObjectHasMovement;
            auto* x1 = static_cast<RunObjectExtended*>(o);
            x1->scaleX = x1->scaleY = 1.0f;
            SaveBox(o);
        }
        slots_[static_cast<std::size_t>(slot)].object = o;
        ++run_.objectCount;
        LinkObjectInstance(o);
        return o;
    }
    static void SaveBox(RunObject* o) {
        auto* x = static_cast<RunObjectExtended*>(o);
        x->boxBeforeMove[0] = o->x - o->hotSpotX;
        x->boxBeforeMove[1] = o->y - o->hotSpotY;
        x->boxBeforeMove[2] = x->boxBeforeMove[0] + o->width;
        x->boxBeforeMove[3] = x->boxBeforeMove[1] + o->height;
    }

    // Reads and prepares the program; the system types get room for the conditions the tests use.
    void Prepare(EventProgramBuilder& b) {
        b.objectInfoCount = static_cast<std::uint16_t>(run_.objectInfoCount);
        b.conditionCounts[TypePlayer + 7] = 6;
        b.conditionCounts[TypeKeyboardMouse + 7] = 12;
        b.conditionCounts[TypeTimer + 7] = 8;
        b.conditionCounts[TypeStoryboard + 7] = 10;
        b.conditionCounts[TypeSpecial + 7] = 110;
        ASSERT_EQ(ReadFrameEvents(events_, b.ChunkPayload(), true, 1252), EventsOk);
        ASSERT_EQ(PrepareFrameEvents(events_, run_), 0);
        AttachEventState(state_.get(), &run_, &events_);
    }

    // One loop of the events as the game loop runs them, the clock moved on by `ms`.
    void Loop(std::int64_t ms = 20) {
        ++run_.loopCount;
        run_.frameClock += ms;
        run_.loopTime = ms;
        RaiseEventStamp();
        RunTimeBasedEvents();
        FireScheduledTimers();
        RunEveryLoopEvents();
        if (HasPushedEvents()) FlushPushedEvents();
        DestroyMarkedObjects();
    }

    FrameRunState& Run() { return run_; }
    FrameRecord& Frame() { return frame_; }
    EventRunState& State() { return *state_; }
    FrameEvents& Events() { return events_; }
    ObjectInfoRunEntry& Entry(std::uint16_t info) { return entries_[info]; }
    RunObject* Object(int slot) { return slots_[static_cast<std::size_t>(slot)].object; }
    // The group's bytes in the working program.
    std::uint8_t* GroupBytes(const EventProgramBuilder& b, int group) {
        return events_.program.data() + b.GroupOffsets()[static_cast<std::size_t>(group)];
    }

private:
    FrameRunState run_;
    FrameRecord frame_;
    ObjectInfoRunEntry entries_[MaxInfos + 1];
    std::vector<ObjectListEntry> slots_;
    std::vector<std::uint32_t> bits_;
    std::vector<std::uint8_t> scratch_ = std::vector<std::uint8_t>(16384);
    FrameEvents events_;
    std::unique_ptr<EventRunState> state_;
    int next_ = 0;
    FrameRunState* savedRun_ = nullptr;
    FrameRecord* savedFrame_ = nullptr;
};

} // namespace eventruns
