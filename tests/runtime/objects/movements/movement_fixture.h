// A written application whose frame holds objects with movements, backdrops and an event program, run in
// its windows loop by loop on a clock that moves only when the test steps, with the controls scripted by
// key events and pointer moves. Test routines stand for the objects' collision conditions (they hold for
// the raised object and log it) and for the movement actions (stop, start, bounce, set speed).
#pragma once

#include "runtime/objects/backgrounds/backgrounds_fixture.h"
#include "support/key_events.h"
#include "support/scene_fixture.h"

#include "core/frame_record.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/movement_obstacles.h"
#include "objects/movements.h"

#include "appwriter/byte_writer.h"
#include "appwriter/event_program_builder.h"

#include <SDL.h>

#include <array>
#include <optional>
#include <vector>

namespace movementtest {

using namespace backgroundstest;

// Conditions of objects and the test log of their raises.
constexpr std::int16_t LeavesPlayArea = -12;
constexpr std::int16_t MeetsBackdrop = -13;
constexpr std::int16_t MeetsObject = -14;
// Actions on objects.
constexpr std::int16_t StopAction = 4;
constexpr std::int16_t StartAction = 5;
constexpr std::int16_t SetSpeedAction = 6;
constexpr std::int16_t BounceAction = 9;

struct Raise {
    std::int16_t condition;
    std::int16_t object; // handle
    std::int64_t loop;
    std::int32_t x, y; // where the object was when it was raised
};
inline std::vector<Raise>& Raises() {
    static std::vector<Raise> raises;
    return raises;
}

namespace detail {

template <std::int16_t Number> int Raised(std::uint8_t*, RunObject* o) {
    const FrameRunState* s = o->runState;
    Raises().push_back({Number, o->handle, s ? s->loopCount : 0, o->x, o->y});
    AddObjectToSelection(o);
    return 1;
}
inline int Never(std::uint8_t*) {
    return 0;
}
template <MovementRow Row> void Movement(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) {
        const std::uint8_t* parameter = ParameterAt(record, 0);
        const std::int32_t value = parameter ? GetIntParameter(parameter) : 0;
        CallMovementAction(Row, o, value);
    }
}

} // namespace detail

inline void InstallMovementTestRoutines() {
    SetCommonConditionRoutine(LeavesPlayArea, detail::Never, detail::Raised<LeavesPlayArea>);
    SetCommonConditionRoutine(MeetsBackdrop, detail::Never, detail::Raised<MeetsBackdrop>);
    SetCommonConditionRoutine(MeetsObject, detail::Never, detail::Raised<MeetsObject>);
    SetCommonActionRoutine(StopAction, detail::Movement<MovementRow::Stop>);
    SetCommonActionRoutine(StartAction, detail::Movement<MovementRow::Start>);
    SetCommonActionRoutine(SetSpeedAction, detail::Movement<MovementRow::SetSpeed>);
    SetCommonActionRoutine(BounceAction, detail::Movement<MovementRow::Bounce>);
}

// Movement data after the common part.
inline appwriter::Bytes Words(std::initializer_list<std::uint16_t> words) {
    appwriter::ByteWriter w;
    for (std::uint16_t v : words)
        w.U16(v);
    return w.Data();
}
// The movement starts facing `direction` (its only allowed start direction).
inline appwriter::MovementDesc Movement(std::uint16_t type, std::uint32_t direction, appwriter::Bytes data,
                                        std::uint16_t player = 0) {
    appwriter::MovementDesc m;
    m.type = type;
    m.player = player;
    m.directionMask = 1u << (direction & 31);
    m.data = std::move(data);
    return m;
}
inline appwriter::MovementDesc Ball(std::uint32_t direction, std::uint16_t speed,
                                    std::uint16_t randomness = 0, std::uint16_t directions = 2,
                                    std::uint16_t security = 100, std::uint16_t deceleration = 0) {
    return Movement(MovementBall, direction, Words({speed, randomness, directions, security, deceleration}));
}
inline appwriter::MovementDesc EightDirections(std::uint16_t maximum, std::uint16_t acceleration,
                                               std::uint16_t deceleration, std::uint32_t mask = 0xFFFFFFFF,
                                               std::uint32_t direction = 0) {
    appwriter::Bytes data = Words({maximum, acceleration, deceleration, 0});
    appwriter::ByteWriter w;
    w.U32(mask);
    data.insert(data.end(), w.Data().begin(), w.Data().end());
    return Movement(MovementEightDirections, direction, data, 1);
}
inline appwriter::MovementDesc RaceCar(std::uint16_t maximum, std::uint16_t acceleration,
                                       std::uint16_t deceleration, std::uint16_t turning,
                                       std::uint16_t directions = 3, std::uint16_t reverse = 1,
                                       std::uint32_t direction = 0) {
    return Movement(MovementRaceCar, direction,
                    Words({maximum, acceleration, deceleration, turning, 0, directions, reverse}), 1);
}
inline appwriter::MovementDesc Mouse(std::int16_t minX, std::int16_t maxX, std::int16_t minY,
                                     std::int16_t maxY) {
    return Movement(MovementMouse, 0,
                    Words({static_cast<std::uint16_t>(minX), static_cast<std::uint16_t>(maxX),
                           static_cast<std::uint16_t>(minY), static_cast<std::uint16_t>(maxY)}),
                    1);
}

struct MoverDesc {
    std::uint16_t handle = 1;
    appwriter::MovementDesc movement;
    std::uint16_t image = 1; // stored image index
};

// Object-info handles of backdrops start at 20.
struct Stage {
    std::int32_t width = 320, height = 240;
    std::int32_t frameWidth = 0, frameHeight = 0; // 0: the window's size
    std::vector<Picture> pictures{Picture{}};     // image 1: 8 by 8, hot spot at its top left
    std::vector<BackdropDesc> backdrops;
    std::vector<MoverDesc> movers;
    std::vector<Placed> placed;
    std::vector<appwriter::EventGroupDesc> events;
    std::optional<std::uint16_t> randomSeed;
    bool machineIndependent = false;
    std::optional<std::u16string> recordTo;         // the frame records its input into that file
    std::array<std::int16_t, 17> conditionCounts{}; // of the system types, as the program builder takes them
    std::vector<appwriter::LayerDesc> layers{appwriter::LayerDesc{0x10}};
};

// A rectangle of obstacle: a backdrop of its own object info, placed.
inline void AddWall(Stage& stage, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    BackdropDesc b;
    b.handle = static_cast<std::uint16_t>(20 + stage.backdrops.size());
    b.width = width;
    b.height = height;
    b.obstacle = 1;
    stage.backdrops.push_back(b);
    stage.placed.push_back({b.handle, x, y, 0});
}

inline appwriter::EventRecordDesc ObjectRecord(std::int16_t number, std::uint16_t handle,
                                               std::vector<appwriter::EventParameterDesc> parameters = {}) {
    appwriter::EventRecordDesc r;
    r.type = 2;
    r.number = number;
    r.objectInfo = handle;
    r.parameters = std::move(parameters);
    return r;
}
// When the object meets what `condition` says, the actions run on it.
inline appwriter::EventGroupDesc When(std::int16_t condition, std::uint16_t handle,
                                      std::vector<std::int16_t> actions,
                                      std::vector<appwriter::EventParameterDesc> parameters = {}) {
    appwriter::EventGroupDesc g;
    g.conditions.push_back(ObjectRecord(condition, handle, std::move(parameters)));
    for (std::int16_t a : actions)
        g.actions.push_back(ObjectRecord(a, handle));
    return g;
}

inline appwriter::ApplicationDescription DescribeStage(const Stage& stage) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = static_cast<std::uint16_t>(stage.width);
    d.header->windowHeight = static_cast<std::uint16_t>(stage.height);
    d.header->graphicMode = 8;
    d.header->frameRate = 50;
    if (stage.machineIndependent) d.header->flags1 |= 0x8;
    // Player 1 steers with the arrow keys and fires with Control and Space.
    d.header->controlKeys[0] = {0x26, 0x28, 0x25, 0x27, 0x11, 0x20, 0, 0};
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (const MoverDesc& m : stage.movers) {
        ActiveDesc a = MakeActive(m.handle, {m.image}, KeyedInk);
        appwriter::ObjectInfoDesc o = ObjectOf(a);
        o.definition.movements = {m.movement};
        objects.push_back(o);
    }
    for (const BackdropDesc& b : stage.backdrops)
        objects.push_back(BackdropObject(b));
    scene::AddObjectsAndImages(d, objects, ImagesOf(stage.pictures));
    appwriter::FrameContents contents;
    contents.layers = stage.layers;
    contents.instances = InstancesOf(stage.placed);
    contents.randomSeed = stage.randomSeed;
    contents.string3343 = stage.recordTo;
    appwriter::EventProgramBuilder events;
    events.objectInfoCount = static_cast<std::uint16_t>(objects.size());
    events.conditionCounts = stage.conditionCounts;
    for (const appwriter::EventGroupDesc& g : stage.events)
        events.AddGroup(g);
    contents.events = events.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(stage.frameWidth ? stage.frameWidth : stage.width,
                                                stage.frameHeight ? stage.frameHeight : stage.height,
                                                Background, contents, appwriter::StringForm::Wide,
                                                stage.recordTo ? FrameRecordInput : 0));
    return d;
}

class MovementTest : public DisplayTest {
protected:
    // The frame's first loop has run when it returns.
    void StartStage(const Stage& stage) { StartData(appwriter::WriteApplication(DescribeStage(stage))); }
    // An application's data as written. The test's routines replace the system's own before the first loop,
    // unless `testRoutines` is false.
    void StartData(const std::vector<std::uint8_t>& data, bool testRoutines = true) {
        win32::testing::ResetInputState();
        Raises().clear();
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
        bytes_ = data;
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        if (testRoutines) InstallMovementTestRoutines();
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    }
    void TearDown() override {
        win32::testing::ResetInputState();
        DisplayTest::TearDown();
    }
    // The object placed n-th (from 0) among the objects with records.
    RunObjectExtended* Mover(int slot = 0) { return Active(slot); }
    ObjectMovementBlock& Block(int slot = 0) { return *MovementOf(Slot(slot)); }
    // The 32.32 X and Y of an object, in pixels.
    static double X(const RunObject* o) {
        return o->x + static_cast<std::uint32_t>(o->xFraction) / 4294967296.0;
    }
    static double Y(const RunObject* o) {
        return o->y + static_cast<std::uint32_t>(o->yFraction) / 4294967296.0;
    }

    // Arrow keys and the others of player 1, pressed and let go.
    static void Key(bool down, SDL_Scancode scancode) {
        ASSERT_TRUE(test_support::PushKey(Services().mainWindow, scancode, down));
    }
    static void Hold(SDL_Scancode scancode) { Key(true, scancode); }
    static void Release(SDL_Scancode scancode) { Key(false, scancode); }
    // Runs n loops.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_NO_FATAL_FAILURE(Tick());
    }
    std::vector<Raise> RaisesOf(std::int16_t condition) {
        std::vector<Raise> out;
        for (const Raise& r : Raises())
            if (r.condition == condition) out.push_back(r);
        return out;
    }
};

} // namespace movementtest
