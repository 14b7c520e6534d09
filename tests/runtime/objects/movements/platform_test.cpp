// The platform movement over a frame of walls, a step, a ladder, a platform to jump through and a moving
// object to ride: jump arcs worked out from the gravity and the jump strength, landings, steps, edges,
// ladder tops, riding, and the steering rules. Every case runs on the frame unscrolled and scrolled.
#include "movement_fixture.h"

#include "objects/display_list.h"
#include "objects/platform_movement.h"

#include <cstdlib>

using namespace movementtest;

namespace {

constexpr std::uint16_t BackdropsAreObstacles = 0x10;
constexpr std::int32_t Gravity = 10, Strength = 40;
constexpr std::int32_t Floor = 220;
// The player is 8 by 16 with its hot spot at its top left: its foot zone is 6 rows high.
constexpr std::int32_t PlayerHeight = 16;
constexpr std::int32_t Standing = Floor - PlayerHeight;

appwriter::MovementDesc Platform(std::uint16_t maximum = 16, std::uint16_t jumpControl = 3,
                                 std::uint16_t acceleration = 50, std::uint16_t deceleration = 50) {
    return Movement(MovementPlatform, 0,
                    Words({maximum, acceleration, deceleration, jumpControl, Gravity, Strength}), 1);
}

// An 8 by 8 block at (150, 180) that moves one pixel a loop to the right on a path, and is one of the
// player's obstacles.
void AddMovingBlock(Stage& stage) {
    appwriter::ByteWriter w;
    for (std::uint16_t v : {1, 0, 100})
        w.U16(v);
    w.U32(0);
    // One node: 200 pixels to the right at speed 8, without pause or name.
    for (std::uint8_t v : {0, 18, 8, 0})
        w.U8(v);
    for (std::uint16_t v : {200, 0, 16384, 0, 200, 0, 0})
        w.U16(v);
    stage.movers.push_back({2, Movement(MovementPath, 0, w.Data())});
    stage.placed.push_back({2, 150, 180});
    stage.events.push_back(When(MeetsObject, 1, {StopAction}, {appwriter::ObjectParameter(2, 2)}));
}

struct Scroll {
    const char* name;
    std::int32_t x, y;
};

// A 640 by 480 frame seen through a 320 by 240 window, scrolled or not; what the tests use lies inside the
// window either way.
class PlatformMovement : public MovementTest, public ::testing::WithParamInterface<Scroll> {
protected:
    Stage Scene() {
        Stage stage;
        stage.frameWidth = 640;
        stage.frameHeight = 480;
        stage.pictures.push_back(Picture{8, PlayerHeight});
        AddWall(stage, 110, Floor, 200, 15);
        stage.events = {When(MeetsBackdrop, 1, {StopAction})};
        return stage;
    }
    void Start(Stage stage, appwriter::MovementDesc movement, std::int32_t x, std::int32_t y,
               std::int16_t layer = 0) {
        stage.movers.insert(stage.movers.begin(), MoverDesc{1, std::move(movement), 2});
        stage.placed.insert(stage.placed.begin(), Placed{1, x, y, layer});
        StartStage(stage);
        o_ = Slot(0);
        o_->objectInfoEntry->collisionFlags |= BackdropsAreObstacles;
        if (GetParam().x || GetParam().y) {
            Services().frame->scrollX = GetParam().x;
            Services().frame->scrollY = GetParam().y;
            CurrentRunState()->redrawRequest |= RedrawRequestScrolled;
        }
        Tick();
        ASSERT_EQ(CurrentRunState()->scrollX, GetParam().x);
    }
    std::int32_t State() { return PlatformState(o_); }
    RunObject* o_ = nullptr;
};

TEST_P(PlatformMovement, AJumpRisesAndFallsAsGravityAndStrengthGiveAndLandsOnTheFloor) {
    Start(Scene(), Platform(), 150, Standing);
    ASSERT_EQ(o_->y, Standing);
    Hold(SDL_SCANCODE_SPACE);
    Tick();
    Release(SDL_SCANCODE_SPACE);
    ASSERT_EQ(State(), PlatformJumping);
    // Each loop adds gravity x 32 to the vertical speed x 256 and moves speed / 8 pixels.
    std::int64_t v = -Strength * 256, eighths = std::int64_t{Standing} * 8, top = eighths;
    int loops = 0;
    for (; loops < 200; ++loops) {
        v = std::min<std::int64_t>(v + Gravity * 32, 64000);
        const std::int64_t step = std::llabs(v) / 256;
        eighths += v < 0 ? -step : step;
        if (eighths / 8 > Standing) break;
        top = std::min(top, eighths);
        Tick();
        ASSERT_EQ(o_->y, eighths / 8) << "loop " << loops;
    }
    EXPECT_LT(top / 8, Standing - 60);
    Tick();
    EXPECT_EQ(o_->y, Standing);
    EXPECT_EQ(State(), PlatformWalking);
    Ticks(5);
    EXPECT_EQ(o_->y, Standing);
}

// A shape backdrop on a layer above the first is a sprite drawn by its backdrop, which has no mask of its
// own: its box is the obstacle of the objects of its layer.
TEST_P(PlatformMovement, ThePlayerLandsOnAFloorOfASecondLayer) {
    Stage stage = Scene();
    stage.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10}};
    stage.placed.back().layer = 1;
    Start(stage, Platform(), 150, Standing - 30, 1);
    for (int i = 0; i < 60 && o_->y != Standing; ++i)
        Tick();
    EXPECT_EQ(o_->y, Standing);
    Ticks(5);
    EXPECT_EQ(o_->y, Standing) << "stands on it";
    EXPECT_EQ(State(), PlatformWalking);
}

TEST_P(PlatformMovement, JumpControlsAboveThreeJumpWithUpAndASide) {
    Start(Scene(), Platform(16, 7), 150, Standing);
    Hold(SDL_SCANCODE_UP);
    Tick();
    EXPECT_EQ(State(), PlatformWalking);
    Hold(SDL_SCANCODE_RIGHT);
    Tick();
    Release(SDL_SCANCODE_UP);
    Release(SDL_SCANCODE_RIGHT);
    EXPECT_EQ(State(), PlatformJumping);
}

TEST_P(PlatformMovement, AStepNoHigherThanTheFootZoneIsClimbedAtSpeed) {
    Stage stage = Scene();
    AddWall(stage, 200, Floor - 6, 40, 6);
    Start(stage, Platform(), 170, Standing);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(20);
    EXPECT_GT(o_->x, 200);
    EXPECT_EQ(o_->y, Standing - 6);
    EXPECT_EQ(Mover()->speed, 16);
    Release(SDL_SCANCODE_RIGHT);
}

TEST_P(PlatformMovement, AHigherStepStopsTheWalk) {
    Stage stage = Scene();
    AddWall(stage, 200, Floor - 7, 40, 7);
    Start(stage, Platform(), 170, Standing);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(20);
    EXPECT_LE(o_->x, 192);
    EXPECT_EQ(o_->y, Standing);
    Release(SDL_SCANCODE_RIGHT);
}

TEST_P(PlatformMovement, WalkingOffAnEdgeFalls) {
    Start(Scene(), Platform(), 290, Standing);
    Hold(SDL_SCANCODE_RIGHT);
    int loops = 0;
    while (o_->x < 310 && loops++ < 60)
        Tick();
    Release(SDL_SCANCODE_RIGHT);
    Ticks(2);
    EXPECT_EQ(State(), PlatformFalling);
    Ticks(10);
    EXPECT_GT(o_->y, Standing + 4);
}

TEST_P(PlatformMovement, AClimberPastALaddersTopIsPutBackOnIt) {
    Stage stage = Scene();
    BackdropDesc ladder;
    ladder.handle = static_cast<std::uint16_t>(20 + stage.backdrops.size());
    ladder.width = 16;
    ladder.height = 80;
    ladder.obstacle = 3;
    stage.backdrops.push_back(ladder);
    stage.placed.push_back({ladder.handle, 180, Floor - 80});
    Start(stage, Platform(), 184, Standing);
    Hold(SDL_SCANCODE_UP);
    Tick();
    EXPECT_EQ(State(), PlatformClimbing);
    Ticks(80);
    // The feet stay on the ladder's top row, wherever the last loop's climb took them.
    EXPECT_EQ(o_->y, Floor - 80 - PlayerHeight);
    EXPECT_EQ(State(), PlatformClimbing);
    Release(SDL_SCANCODE_UP);
    Ticks(3);
    EXPECT_EQ(o_->y, Floor - 80 - PlayerHeight);
}

TEST_P(PlatformMovement, APlatformIsJumpedThroughFromBelowAndLandedOn) {
    Stage stage = Scene();
    BackdropDesc platform;
    platform.handle = static_cast<std::uint16_t>(20 + stage.backdrops.size());
    platform.width = 40;
    platform.height = 10;
    platform.obstacle = 2;
    stage.backdrops.push_back(platform);
    stage.placed.push_back({platform.handle, 140, 180});
    Start(stage, Platform(), 150, Standing);
    Hold(SDL_SCANCODE_SPACE);
    Tick();
    Release(SDL_SCANCODE_SPACE);
    std::int32_t highest = o_->y;
    for (int i = 0; i < 100; ++i) {
        Tick();
        highest = std::min(highest, o_->y);
    }
    EXPECT_LT(highest + PlayerHeight, 180) << "rose past the platform";
    EXPECT_EQ(o_->y, 180 - PlayerHeight);
    EXPECT_EQ(State(), PlatformWalking);
}

TEST_P(PlatformMovement, AnObjectStoodOnCarriesThePlayerFromTheSecondLoop) {
    Stage stage = Scene();
    AddMovingBlock(stage);
    Start(stage, Platform(), 150, 180 - PlayerHeight);
    RunObject* block = Slot(1);
    // The loop after a scroll tests objects against sprites the display has not moved yet: the player may
    // drop onto the block again first.
    Ticks(6);
    const std::int32_t apart = block->x - o_->x;
    std::vector<std::int32_t> gaps;
    for (int i = 0; i < 6; ++i) {
        const std::int32_t before = o_->x;
        Tick();
        gaps.push_back(o_->x - before);
    }
    // Carried by the block's move of the loop before.
    EXPECT_EQ(gaps, (std::vector<std::int32_t>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(block->x - o_->x, apart);
    EXPECT_EQ(o_->y, 180 - PlayerHeight);
}

TEST_P(PlatformMovement, ANewPlatformDoesNotCarryInItsFirstLoop) {
    Stage stage = Scene();
    AddMovingBlock(stage);
    // The player starts beside the block and is put on it.
    Start(stage, Platform(), 120, Standing);
    Tick();
    RunObject* block = Slot(1);
    SetObjectPosition(o_, block->x, 180 - PlayerHeight);
    const std::int32_t x = o_->x;
    Tick();
    EXPECT_EQ(o_->x, x);
    Tick();
    EXPECT_EQ(o_->x, x + 1);
    // A platform that goes is forgotten, never read again.
    DestroyObject(1, 1);
    Ticks(2);
    EXPECT_EQ(o_->x, x + 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, PlatformMovement,
                         ::testing::Values(Scroll{"Unscrolled", 0, 0}, Scroll{"Scrolled", 100, 60}),
                         [](const auto& info) { return std::string(info.param.name); });

// The steering rules, over a floor, without scrolling.
class PlatformSteering : public MovementTest {
protected:
    void SetUp() override {
        Stage stage;
        stage.pictures.push_back(Picture{8, PlayerHeight});
        AddWall(stage, 0, Floor, 320, 20);
        stage.movers = {{1, Platform(40, 3, 60, 10), 2}};
        stage.placed.push_back({1, 150, Standing});
        stage.events = {When(MeetsBackdrop, 1, {StopAction})};
        StartStage(stage);
        o_ = Slot(0);
        o_->objectInfoEntry->collisionFlags |= BackdropsAreObstacles;
        // The collision mask is written by the first display: the player lands in the loops after it.
        Ticks(4);
        ASSERT_EQ(o_->y, Standing);
        ASSERT_EQ(PlatformState(o_), PlatformWalking);
    }
    RunObject* o_ = nullptr;
};

// What the gravity expression reads: the stored gravity, then what the action set, kept within 0..250.
TEST_F(PlatformSteering, GravityReadsBackAsStoredAndAsSetWithinItsLimits) {
    EXPECT_EQ(MovementGravity(o_), Gravity);
    for (const auto& [set, kept] : {std::pair{120, 120}, {300, 250}, {-5, 0}}) {
        SetMovementGravity(o_, set);
        EXPECT_EQ(MovementGravity(o_), kept) << set;
    }
}

TEST_F(PlatformSteering, LeftAndRightTogetherGainUpToTwiceTheStepToTheLeft) {
    const std::int32_t a = AccelerationRate(60);
    Hold(SDL_SCANCODE_LEFT);
    Hold(SDL_SCANCODE_RIGHT);
    Tick();
    EXPECT_EQ(Mover()->speed, 2 * a / 256);
    EXPECT_EQ(Mover()->direction, 16);
    Ticks(6);
    EXPECT_EQ(Mover()->speed, 40);
    Release(SDL_SCANCODE_LEFT);
    Release(SDL_SCANCODE_RIGHT);
}

TEST_F(PlatformSteering, RightWhileMovingLeftMirrorsTheSpeedLessTheDecelerationPlusTheAcceleration) {
    const std::int32_t a = AccelerationRate(60), d = AccelerationRate(10);
    // One loop to the left gives a speed of a / 256, x 256.
    Hold(SDL_SCANCODE_LEFT);
    Tick();
    Release(SDL_SCANCODE_LEFT);
    Hold(SDL_SCANCODE_RIGHT);
    Tick();
    Release(SDL_SCANCODE_RIGHT);
    EXPECT_EQ(Mover()->speed, (a - d + a) / 256);
    EXPECT_EQ(Mover()->direction, 0);
}

TEST_F(PlatformSteering, AStopOutsideTheOwnMoveOnlyClearsTheSpeeds) {
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(10);
    Release(SDL_SCANCODE_RIGHT);
    const std::int32_t x = o_->x, y = o_->y;
    // Another object has moved since the player's move step.
    ++CurrentRunState()->moveCounter;
    CallMovementAction(MovementRow::Stop, o_, 0);
    EXPECT_EQ(Mover()->speed, 0);
    EXPECT_EQ(o_->x, x);
    EXPECT_EQ(o_->y, y);
    Tick();
    EXPECT_EQ(o_->x, x);
}

} // namespace
