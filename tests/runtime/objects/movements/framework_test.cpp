// The movement framework: choosing a movement, the move step's limits and what events do inside it, the
// action table, and movements made by movement modules.
#include "movement_fixture.h"

#include "objects/object_moved.h"
#include "startup/event_program.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include <cmath>

using namespace movementtest;

namespace {

// A wall that covers the whole frame: every sub-step of a move is reported.
Stage Covered(appwriter::MovementDesc movement) {
    Stage stage;
    stage.width = 640;
    stage.movers = {{1, std::move(movement)}};
    AddWall(stage, 0, 0, 640, 240);
    stage.placed.push_back({1, 20, 100});
    stage.events = {When(MeetsBackdrop, 1, {})};
    return stage;
}

TEST_F(MovementTest, DirectionUnitsAreTheTruncatedCosinesAndSines) {
    const double pi = std::acos(-1.0);
    for (int d = 0; d < 32; ++d) {
        EXPECT_EQ(DirectionUnitX(d),
                  static_cast<std::int32_t>(std::trunc(256 * std::cos(d * 11.25 * pi / 180))));
        EXPECT_EQ(DirectionUnitY(d),
                  -static_cast<std::int32_t>(std::trunc(256 * std::sin(d * 11.25 * pi / 180))));
    }
}

TEST_F(MovementTest, ADirectionBeyond31MovesAsItsLowFiveBits) {
    StartStage(Covered(Ball(0, 0, 0, 2, 0)));
    RunObject* o = Slot(0);
    EXPECT_EQ(MoveObjectStep(o, 64, 40), 0);
    EXPECT_EQ(o->x, 20);
    EXPECT_EQ(o->y, 92);
    MoveObjectStep(o, 64, -8);
    EXPECT_EQ(o->y, 100);
}

TEST_F(MovementTest, TheSubStepsOfOneMoveAreBoundedWhateverTheSpeedFactor) {
    StartStage(Covered(Ball(0, 0, 0, 2, 0)));
    RunObject* o = Slot(0);
    FrameRunState& s = *CurrentRunState();
    s.runFlags |= RunMachineIndependent;
    s.timeFactor = 1e12;
    Raises().clear();
    MoveObjectStep(o, 100, 0);
    EXPECT_EQ(Raises().size(), 64u);
    EXPECT_EQ(o->x, 20 + 64 * 8);
    s.timeFactor = std::nan("");
    Raises().clear();
    MoveObjectStep(o, 100, 0);
    EXPECT_EQ(Raises().size(), 1u);
    EXPECT_EQ(o->x, 20 + 64 * 8);
    // At half the frame's rate a loop moves twice as far.
    s.timeFactor = 2.0;
    MoveObjectStep(o, 100, 16);
    EXPECT_EQ(o->x, 20 + 64 * 8 - 25);
    s.runFlags &= static_cast<std::uint16_t>(~RunMachineIndependent);
}

TEST_F(MovementTest, SpeedZeroReportsOnceWithoutMovingOrChanging) {
    StartStage(Covered(Ball(0, 0, 0, 2, 0)));
    RunObject* o = Slot(0);
    Mover()->changed = 0;
    Raises().clear();
    EXPECT_EQ(MoveObjectStep(o, 0, 0), 0);
    EXPECT_EQ(Raises().size(), 1u);
    EXPECT_EQ(o->x, 20);
    EXPECT_EQ(Mover()->changed, 0);
    MoveObjectStep(o, 8, 0);
    EXPECT_EQ(Mover()->changed, 1);
}

// An event inside the move puts the object elsewhere without stopping it: the rest of the move goes on
// from where the event put it.
constexpr std::int16_t PushAction = 70;

void PushRight(std::uint8_t* record) {
    if (RunObject* o = ActionObjectOf(record)) o->x += 100;
}

TEST_F(MovementTest, TheMoveGoesOnFromWhereAnEventPutTheObject) {
    Stage stage;
    stage.movers = {{1, Ball(0, 80, 0, 2, 0)}};
    AddWall(stage, 20, 0, 12, 240);
    stage.placed.push_back({1, 0, 100});
    stage.events = {When(MeetsBackdrop, 1, {PushAction})};
    SetCommonActionRoutine(PushAction, PushRight);
    StartStage(stage);
    SetCommonActionRoutine(PushAction, PushRight);
    // The first loop: 8 and 2 pixels, clear of the wall. The second: into it after 8, out by 100, then 2.
    EXPECT_EQ(Slot(0)->x, 10);
    Ticks(1);
    EXPECT_EQ(RaisesOf(MeetsBackdrop).size(), 1u);
    EXPECT_EQ(Slot(0)->x, 10 + 8 + 100 + 2);
    SetCommonActionRoutine(PushAction, nullptr);
}

TEST_F(MovementTest, APositionSetByAnActionEndsTheMoveAndIsReportedByTheStaticMovement) {
    Stage stage;
    stage.movers = {{1, Movement(MovementStatic, 0, {})}};
    AddWall(stage, 200, 0, 20, 240);
    stage.placed.push_back({1, 20, 100});
    stage.events = {When(MeetsBackdrop, 1, {})};
    StartStage(stage);
    SetObjectPosition(Slot(0), 205, 100);
    EXPECT_EQ(Block().stopRequest, -1);
    Ticks(1);
    ASSERT_FALSE(RaisesOf(MeetsBackdrop).empty());
    EXPECT_EQ(RaisesOf(MeetsBackdrop)[0].x, 205);
}

TEST_F(MovementTest, AStopAtThePlayAreasBorderPutsTheObjectBackInside) {
    Stage stage;
    stage.movers = {{1, EightDirections(40, 100, 100)}};
    stage.placed = {{1, 10, 100}};
    stage.events = {When(LeavesPlayArea, 1, {StopAction}, {appwriter::ShortParameter(44, 0xF)})};
    StartStage(stage);
    Hold(SDL_SCANCODE_LEFT);
    Ticks(3);
    EXPECT_EQ(RaisesOf(LeavesPlayArea).size(), 1u);
    EXPECT_EQ(Slot(0)->x, 0);
    EXPECT_EQ(Mover()->speed, 0);
}

TEST_F(MovementTest, SelectingAMovementOutsideTheListLeavesTheObjectStillAndItsIndex) {
    Stage stage;
    appwriter::MovementDesc second = EightDirections(30, 10, 10);
    stage.movers = {{1, Ball(0, 40, 0, 2, 0)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    RunObject* o = Slot(0);
    EXPECT_EQ(Mover()->movementType, MovementBall);
    EXPECT_EQ(CurrentMovementIndex(o), 0);
    InitObjectMovement(3, o, o->definition, nullptr);
    EXPECT_EQ(Mover()->movementType, MovementNone);
    EXPECT_EQ(Mover()->movementRoutine, &StaticMovementHandler);
    EXPECT_EQ(Mover()->speed, 0);
    EXPECT_EQ(Mover()->direction, 0);
    EXPECT_EQ(CurrentMovementIndex(o), 0);
    InitObjectMovement(0, o, o->definition, nullptr);
    EXPECT_EQ(Mover()->movementType, MovementBall);
    EXPECT_EQ(Mover()->speed, 40);
}

TEST_F(MovementTest, AMovementThatDoesNotMoveAtStartIsStoppedByItsOwnStop) {
    Stage stage;
    appwriter::MovementDesc ball = Ball(0, 40, 0, 2, 0);
    ball.movingAtStart = 0;
    stage.movers = {{1, ball}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    EXPECT_EQ(Slot(0)->x, 20);
    EXPECT_EQ(Block().stopped, 40 | 0x8000);
    CallMovementAction(MovementRow::Start, Slot(0), 0);
    Ticks(1);
    EXPECT_EQ(Slot(0)->x, 25);
}

TEST_F(MovementTest, ARandomDirectionComesFromTheMasksBitsAndTheSeed) {
    Stage stage;
    stage.movers = {{1, Ball(0, 0, 0, 2, 0)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    FrameRunState& s = *CurrentRunState();
    EXPECT_EQ(RandomDirectionInMask(0), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(RandomDirectionInMask(1u << 13), 13);
    s.randomSeed = 1000;
    const std::uint16_t next = static_cast<std::uint16_t>(1000 * 31415u + 1u);
    // Three bits: the n-th set bit, n = seed x 3 >> 16.
    const std::int32_t wanted = std::array{2, 9, 30}[(next * 3u) >> 16];
    EXPECT_EQ(RandomDirectionInMask((1u << 2) | (1u << 9) | (1u << 30)), wanted);
}

TEST_F(MovementTest, TheActionTableReachesEachMovementByItsType) {
    Stage stage;
    stage.movers = {{1, RaceCar(50, 20, 20, 10, 1)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    RunObject* o = Slot(0);
    CallMovementAction(MovementRow::SetDirection, o, 37);
    EXPECT_EQ(Block().turningDirection, 5);
    EXPECT_EQ(Mover()->direction, 4) << "eight directions";
    CallMovementAction(MovementRow::SetSpeed, o, 80);
    EXPECT_EQ(Block().speed256, 50 * 256) << "no more than the maximum";
    CallMovementAction(MovementRow::SetMaxSpeed, o, 20);
    EXPECT_EQ(Block().speed256, 20 * 256);
    // Rows without a routine for the type, and rows or types out of range, do nothing.
    CallMovementAction(MovementRow::Reverse, o, 0);
    CallMovementAction(static_cast<MovementRow>(MovementActionRows), o, 0);
    CallMovementAction(static_cast<MovementRow>(-1), o, 0);
    Mover()->movementType = 99;
    CallMovementAction(MovementRow::Stop, o, 0);
    EXPECT_EQ(Block().speed256, 20 * 256);
}

// A movement module of the test: counts its calls.
struct FakeModule {
    static inline int handled = 0, stopped = 0, freed = 0, released = 0, started = 0;
    static inline std::int32_t stopDuringOwnMove = -1, direction = 0, version = 2;
    static inline std::int32_t acceleration = 0, gravity = 0, x = 0, y = 0;
    static inline RunObject* initialisedWith = nullptr;
    static void Reset() {
        handled = stopped = freed = released = started = 0;
        stopDuringOwnMove = -1;
        acceleration = gravity = x = y = 0;
        initialisedWith = nullptr;
    }
};

movement::InstanceOperations FakeInstanceOperations() {
    movement::InstanceOperations ops{};
    ops.size = sizeof(ops);
    ops.slots = movement::InstanceOperationSlots;
    ops.initialise = [](movement::Instance*, movement::Plugin*, RunObject* o) {
        FakeModule::initialisedWith = o;
    };
    ops.free = [](movement::Instance*) { ++FakeModule::freed; };
    ops.interfaceVersion = [](movement::Instance*) { return FakeModule::version; };
    ops.handle = [](movement::Instance*, RunObject* o) {
        ++FakeModule::handled;
        o->x += 3;
        return 1;
    };
    ops.stop = [](movement::Instance*, RunObject*, std::int32_t during) {
        ++FakeModule::stopped;
        FakeModule::stopDuringOwnMove = during;
    };
    ops.start = [](movement::Instance*, RunObject*) { ++FakeModule::started; };
    ops.setDirection = [](movement::Instance*, RunObject*, std::int32_t d) { FakeModule::direction = d; };
    ops.getDirection = [](movement::Instance*, RunObject*) { return FakeModule::direction; };
    ops.setAcceleration = [](movement::Instance*, RunObject*, std::int32_t a) {
        FakeModule::acceleration = a;
    };
    ops.getAcceleration = [](movement::Instance*, RunObject*) { return FakeModule::acceleration; };
    ops.getSpeed = [](movement::Instance*, RunObject*) { return 42; };
    ops.setGravity = [](movement::Instance*, RunObject*, std::int32_t g) { FakeModule::gravity = g; };
    ops.getGravity = [](movement::Instance*, RunObject*) { return FakeModule::gravity; };
    ops.setX = [](movement::Instance*, RunObject*, std::int32_t x) { FakeModule::x = x; };
    ops.setY = [](movement::Instance*, RunObject*, std::int32_t y) { FakeModule::y = y; };
    return ops;
}

class ExtensionMovements : public MovementTest {
protected:
    void SetUp() override {
        FakeModule::Reset();
        instanceOps_ = FakeInstanceOperations();
        instance_.operations = &instanceOps_;
        pluginOps_.size = sizeof(pluginOps_);
        pluginOps_.slots = movement::PluginOperationSlots;
        pluginOps_.release = [](movement::Plugin*) { ++FakeModule::released; };
        pluginOps_.createInstance = [](movement::Plugin* p) { return static_cast<Module*>(p)->instance; };
        plugin_.operations = &pluginOps_;
        plugin_.instance = &instance_;
        Stage stage;
        stage.movers = {{1, Movement(MovementExtension, 0, appwriter::Bytes(20, 0))}};
        stage.placed = {{1, 20, 100}};
        StartStage(stage);
        o_ = Slot(0);
        // The module's plugin for the stored movement, as the extension host registers it when it reads
        // the definition.
        ObjectInfo* info = GetObjectInfoByHandle(1);
        const std::span<const std::uint8_t> def(info->definition);
        const std::size_t list = DefU16(def, DefMovements);
        data_ = info->definition.data() + list + DefU32(def, list + 4 + 8);
        RegisterMovementPlugin(data_, &plugin_);
        InitObjectMovement(0, o_, o_->definition, nullptr);
    }
    void TearDown() override {
        ObjectInfo* info = GetObjectInfoByHandle(1);
        ReleaseMovementPlugins(info->definition.data(), info->definition.size());
        MovementTest::TearDown();
    }
    struct Module : movement::Plugin {
        movement::Instance* instance;
    };
    movement::InstanceOperations instanceOps_{};
    movement::Instance instance_{};
    movement::PluginOperations pluginOps_{};
    Module plugin_{};
    const std::uint8_t* data_ = nullptr;
    RunObject* o_ = nullptr;
};

TEST_F(ExtensionMovements, AreMadeByTheirPluginAndDrivenThroughTheirInstance) {
    EXPECT_EQ(MovementInstanceOf(o_), &instance_);
    EXPECT_EQ(FakeModule::initialisedWith, o_);
    EXPECT_EQ(Mover()->movementRoutine, &ExtensionMovementHandler);
    const std::int32_t x = o_->x;
    Ticks(2);
    EXPECT_EQ(FakeModule::handled, 2);
    EXPECT_EQ(o_->x, x + 6);
    CallMovementAction(MovementRow::Stop, o_, 0);
    EXPECT_EQ(FakeModule::stopped, 1);
    EXPECT_EQ(FakeModule::stopDuringOwnMove, 0);
    CallMovementAction(MovementRow::SetDirection, o_, 11);
    EXPECT_EQ(GetObjectDirection(o_), 11) << "asked of an instance of version 2";
    FakeModule::version = 1;
    EXPECT_EQ(GetObjectDirection(o_), 0) << "a version 1 instance is not asked";
    FakeModule::version = 2;
}

// The module keeps its own settings and position: actions hand them over and expressions ask it back.
TEST_F(ExtensionMovements, KeepTheirOwnSettingsAndCoordinates) {
    const std::int32_t x = o_->x, y = o_->y;
    SetMovementAcceleration(o_, 70);
    EXPECT_EQ(MovementAcceleration(o_), 70);
    EXPECT_EQ(MovementSpeed(o_), 42);
    EXPECT_EQ(MovementDeceleration(o_), 0) << "the block's, without the module's reader";
    SetMovementGravity(o_, 300);
    EXPECT_EQ(MovementGravity(o_), 300) << "the module keeps its own gravity and its own limits";
    SetObjectX(o_, 300);
    SetObjectY(o_, 200);
    EXPECT_EQ(FakeModule::x, 300);
    EXPECT_EQ(FakeModule::y, 200);
    EXPECT_EQ(o_->x, x);
    EXPECT_EQ(o_->y, y);
    instanceOps_.slots = 6; // up to setX
    SetObjectY(o_, 210);
    EXPECT_EQ(FakeModule::y, 200);
    EXPECT_EQ(o_->y, 210) << "a module without the operation has the object placed as any other";
    instanceOps_.slots = movement::InstanceOperationSlots;
}

// A wrap across the play area's left border hands the module the new X; the object's own stays as the
// module left it.
TEST_F(ExtensionMovements, AreHandedTheWrappedCoordinate) {
    RunObjectExtended* x = ExtendedOf(o_);
    x->boxBeforeMove[0] = o_->x - o_->hotSpotX;
    x->boxBeforeMove[1] = o_->y - o_->hotSpotY;
    x->boxBeforeMove[2] = x->boxBeforeMove[0] + o_->width;
    x->boxBeforeMove[3] = x->boxBeforeMove[1] + o_->height;
    SetMovementField(o_, MovementBlockWrapMask, BorderLeft);
    o_->collisionFlags |= CollisionBorder;
    const std::int32_t y = o_->y, out = -100;
    o_->x = out;
    HandleObjectMoved(o_);
    EXPECT_EQ(FakeModule::x, out + Services().frame->width);
    EXPECT_EQ(FakeModule::y, 0) << "no wrap along Y";
    EXPECT_EQ(o_->x, out);
    EXPECT_EQ(o_->y, y);
}

TEST_F(ExtensionMovements, OperationsBeyondTheModulesTableAreNotCalled) {
    instanceOps_.slots = 9; // up to stop
    CallMovementAction(MovementRow::Stop, o_, 0);
    CallMovementAction(MovementRow::Start, o_, 0);
    EXPECT_EQ(FakeModule::stopped, 1);
    EXPECT_EQ(FakeModule::started, 0);
    FakeModule::gravity = 5;
    EXPECT_EQ(MovementGravity(o_), 0);
    instanceOps_.slots = movement::InstanceOperationSlots;
}

TEST_F(ExtensionMovements, AreFreedWithTheObjectsMovementAndReleasedWithTheDefinition) {
    FreeObjectMovement(o_);
    EXPECT_EQ(FakeModule::freed, 1);
    EXPECT_EQ(MovementInstanceOf(o_), nullptr);
    CallMovementAction(MovementRow::Stop, o_, 0);
    EXPECT_EQ(FakeModule::stopped, 0);
    ObjectInfo* info = GetObjectInfoByHandle(1);
    ReleaseMovementPlugins(info->definition.data(), info->definition.size());
    EXPECT_EQ(FakeModule::released, 1);
    // Without its plugin the movement stands still as a static object of its type.
    InitObjectMovement(0, o_, o_->definition, nullptr);
    EXPECT_EQ(Mover()->movementType, MovementExtension);
    EXPECT_EQ(Mover()->movementRoutine, &StaticMovementHandler);
}

} // namespace
