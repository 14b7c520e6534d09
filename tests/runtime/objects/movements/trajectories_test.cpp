// Objects moved by their movements loop by loop, against the numbers the movements promise: distances in
// fixed point, sub-steps, acceleration, bounces, the mouse's directions, the ball's reflections and the race
// car's turning and reverse gear.
#include "movement_fixture.h"

using namespace movementtest;

namespace {

TEST_F(MovementTest, Speed100MovesTwelveAndAHalfPixelsALoopAndExactlyTwentyFiveInTwo) {
    Stage stage;
    stage.movers = {{1, Ball(0, 100, 0, 2, 0)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    EXPECT_DOUBLE_EQ(X(Slot(0)), 32.5);
    EXPECT_EQ(Slot(0)->y, 100);
    Ticks(1);
    EXPECT_EQ(Slot(0)->x, 45);
    EXPECT_EQ(Slot(0)->xFraction, 0);
    EXPECT_EQ(Slot(0)->y, 100);
}

TEST_F(MovementTest, DiagonalUnitsAreTheTruncatedCosinesInThirtyTwoThirtyTwo) {
    Stage stage;
    // Direction 1 at speed 64: one sub-step of 2048 units, 251 and -49 per unit in 1/256ths of 1/8 pixel.
    stage.movers = {{1, Ball(1, 64, 0, 2, 0)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    EXPECT_DOUBLE_EQ(X(Slot(0)), 20 + 7.84375);
    EXPECT_DOUBLE_EQ(Y(Slot(0)), 100 - 1.53125);
}

// Inside a backdrop every sub-step of the move is reported; a stop in the first cancels the rest.
struct SubStepCase {
    const char* name;
    std::uint16_t speed;
    bool stops;
    std::size_t reports;
    std::int32_t x; // after the loop
    friend void PrintTo(const SubStepCase& c, std::ostream* os) { *os << c.name; }
};

class SubSteps : public MovementTest, public ::testing::WithParamInterface<SubStepCase> {};

TEST_P(SubSteps, AreReportedAfterEachAndEndAtAStop) {
    const SubStepCase& c = GetParam();
    Stage stage;
    stage.movers = {{1, Ball(0, c.speed, 0, 2, 0)}};
    AddWall(stage, 0, 90, 320, 40);
    stage.placed.push_back({1, 20, 100});
    stage.events = {When(MeetsBackdrop, 1,
                         c.stops ? std::vector<std::int16_t>{StopAction} : std::vector<std::int16_t>{})};
    StartStage(stage);
    EXPECT_EQ(RaisesOf(MeetsBackdrop).size(), c.reports);
    EXPECT_EQ(Slot(0)->x, c.x);
}

INSTANTIATE_TEST_SUITE_P(Movements, SubSteps,
                         ::testing::Values(SubStepCase{"Speed64IsOneSubStep", 64, false, 1, 28},
                                           SubStepCase{"Speed80IsTwo", 80, false, 2, 30},
                                           SubStepCase{"Speed100IsTwo", 100, false, 2, 32},
                                           SubStepCase{"AStopInTheFirstCancelsTheSecond", 80, true, 1, 28}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Eight directions steered with the arrow keys: the speed x 256 grows by the acceleration setting's step
// each loop the key is held (setting 81's step is larger than setting 82's).
struct AccelerationCase {
    const char* name;
    std::uint16_t setting;
    std::int32_t step;
    friend void PrintTo(const AccelerationCase& c, std::ostream* os) { *os << c.name; }
};

class EightDirectionAcceleration : public MovementTest,
                                   public ::testing::WithParamInterface<AccelerationCase> {};

TEST_P(EightDirectionAcceleration, AddsTheTablesStepEachLoopUpToTheMaximum) {
    const AccelerationCase& c = GetParam();
    Stage stage;
    stage.movers = {{1, EightDirections(100, c.setting, 10)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    Hold(SDL_SCANCODE_RIGHT);
    std::int32_t speed256 = 0;
    double x = X(Slot(0));
    for (int loop = 0; loop < 3; ++loop) {
        Ticks(1);
        speed256 = std::min(speed256 + c.step, 100 * 256);
        EXPECT_EQ(Block().speed256, speed256) << "loop " << loop;
        EXPECT_EQ(Mover()->speed, speed256 / 256);
        // Speed s moves s x 32 units of 1/256 pixel: s / 8 pixels.
        EXPECT_DOUBLE_EQ(X(Slot(0)) - x, (speed256 / 256) / 8.0);
        x = X(Slot(0));
    }
    EXPECT_EQ(Mover()->direction, 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, EightDirectionAcceleration,
                         ::testing::Values(AccelerationCase{"Setting0", 0, 2},
                                           AccelerationCase{"Setting50", 50, 768},
                                           AccelerationCase{"Setting81", 81, 6544},
                                           AccelerationCase{"Setting82", 82, 4914},
                                           AccelerationCase{"Setting100", 100, 25600}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MovementTest, EightDirectionsOnlyTurnWhereTheMaskAllowsAndSlowDownOtherwise) {
    Stage stage;
    // Right and left only.
    stage.movers = {{1, EightDirections(50, 100, 50, (1u << 0) | (1u << 16))}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(2);
    ASSERT_EQ(Mover()->speed, 50);
    Release(SDL_SCANCODE_RIGHT);
    Hold(SDL_SCANCODE_UP);
    Ticks(1);
    EXPECT_EQ(Mover()->direction, 0) << "up is not allowed: the old direction stays";
    EXPECT_EQ(Block().speed256, 50 * 256 - 768);
    // Up and down together, or left and right together, are no direction at all.
    Release(SDL_SCANCODE_UP);
    Hold(SDL_SCANCODE_LEFT);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(1);
    EXPECT_EQ(Mover()->direction, 0);
    EXPECT_EQ(Block().speed256, 50 * 256 - 2 * 768);
    Release(SDL_SCANCODE_RIGHT);
    Ticks(1);
    EXPECT_EQ(Mover()->direction, 16);
}

TEST_F(MovementTest, AnEightDirectionObjectBouncingTwelveTimesInOneSeriesStops) {
    Stage stage;
    stage.movers = {{1, EightDirections(50, 100, 0)}};
    AddWall(stage, 110, 0, 20, 240);
    stage.placed.push_back({1, 100, 100});
    stage.events = {When(MeetsBackdrop, 1, {BounceAction})};
    StartStage(stage);
    Hold(SDL_SCANCODE_RIGHT);
    int bounces = 0;
    for (int loop = 0; loop < 40 && bounces < 12; ++loop) {
        Raises().clear();
        Ticks(1);
        if (RaisesOf(MeetsBackdrop).empty()) continue;
        ++bounces;
        EXPECT_LT(Slot(0)->x + 8, 111) << "taken out of the wall";
        if (bounces < 12) {
            EXPECT_EQ(Block().bounceCount, bounces);
            EXPECT_GT(Mover()->speed, 0);
        }
    }
    ASSERT_EQ(bounces, 12);
    EXPECT_EQ(Mover()->speed, 0);
    EXPECT_EQ(Block().speed256, 0);
    EXPECT_EQ(Block().bounceCount, 0);
    // The series is over: the stick steers again.
    Release(SDL_SCANCODE_RIGHT);
    Hold(SDL_SCANCODE_LEFT);
    Ticks(2);
    EXPECT_EQ(Mover()->direction, 16);
    EXPECT_GT(Mover()->speed, 0);
}

} // namespace

namespace {

// The mouse movement follows the pointer's movement of each loop inside its box; the direction comes from
// the ratio of the movement's sides.
struct MouseCase {
    const char* name;
    std::int32_t dx, dy;
    std::int32_t direction, speed;
    friend void PrintTo(const MouseCase& c, std::ostream* os) { *os << c.name; }
};

class MouseDirections : public MovementTest, public ::testing::WithParamInterface<MouseCase> {};

TEST_P(MouseDirections, ComeFromThePointersMovement) {
    const MouseCase& c = GetParam();
    Stage stage;
    stage.movers = {{1, Mouse(-50, 50, -50, 50)}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    const FrameRunState& s = *CurrentRunState();
    ASSERT_NE(s.mousePlayers, 0);
    win32::SetCursorPos(s.cursorCentreX + c.dx, s.cursorCentreY + c.dy);
    Ticks(1);
    EXPECT_EQ(Slot(0)->x, 100 + c.dx);
    EXPECT_EQ(Slot(0)->y, 100 + c.dy);
    EXPECT_EQ(Mover()->direction, c.direction);
    EXPECT_EQ(Mover()->speed, c.speed);
    win32::POINT at{};
    win32::GetCursorPos(&at);
    EXPECT_EQ(at.x, s.cursorCentreX) << "the pointer goes back to the centre";
}

INSTANTIATE_TEST_SUITE_P(Quadrants, MouseDirections,
                         ::testing::Values(MouseCase{"DownRight", 10, 10, 28, 80},
                                           MouseCase{"UpRight", 10, -10, 4, 80},
                                           MouseCase{"DownLeft", -10, 10, 20, 80},
                                           MouseCase{"UpLeft", -10, -10, 12, 80},
                                           MouseCase{"Right", 20, 0, 0, 80}, MouseCase{"Up", 0, -20, 8, 80},
                                           MouseCase{"SteepUpRight", 6, -40, 7, 184},
                                           MouseCase{"FarIsCappedAt250", 40, 40, 28, 250}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MovementTest, TheMouseStaysInItsBoxAndWalksOnForTenLoops) {
    Stage stage;
    stage.movers = {{1, Mouse(-5, 20, 0, 0)}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    const FrameRunState& s = *CurrentRunState();
    win32::SetCursorPos(s.cursorCentreX - 30, s.cursorCentreY + 30);
    Ticks(1);
    EXPECT_EQ(Slot(0)->x, 95);
    EXPECT_EQ(Slot(0)->y, 100) << "a box of no height";
    EXPECT_EQ(Mover()->speed, 20);
    for (int loop = 1; loop < 10; ++loop) {
        Ticks(1);
        EXPECT_EQ(Mover()->speed, 20) << loop;
    }
    Ticks(1);
    EXPECT_EQ(Mover()->speed, 0);
}

// The ball leaves a floor, a ceiling and the walls by the reflection of its table.
struct ReflectionCase {
    const char* name;
    std::uint32_t direction;
    std::int32_t x, y;
    std::int32_t after;
    friend void PrintTo(const ReflectionCase& c, std::ostream* os) { *os << c.name; }
};

class BallReflections : public MovementTest, public ::testing::WithParamInterface<ReflectionCase> {};

TEST_P(BallReflections, FollowTheBounceTable) {
    const ReflectionCase& c = GetParam();
    Stage stage;
    stage.movers = {{1, Ball(c.direction, 40, 0, 2, 0)}};
    AddWall(stage, 0, 0, 320, 8);
    AddWall(stage, 0, 232, 320, 8);
    AddWall(stage, 0, 0, 8, 240);
    AddWall(stage, 312, 0, 8, 240);
    stage.placed.push_back({1, c.x, c.y});
    stage.events = {When(MeetsBackdrop, 1, {BounceAction})};
    StartStage(stage);
    for (int loop = 0; loop < 20 && RaisesOf(MeetsBackdrop).empty(); ++loop)
        Ticks(1);
    ASSERT_EQ(RaisesOf(MeetsBackdrop).size(), 1u);
    EXPECT_EQ(Mover()->direction, c.after);
    EXPECT_TRUE(TestObjectPosition(Slot(0), Slot(0)->x, Slot(0)->y, 0)) << "taken out of the wall";
    EXPECT_EQ(Mover()->speed, 40);
    EXPECT_EQ(Block().bounced, 1);
    Ticks(1);
    EXPECT_EQ(Block().bounced, 0);
}

INSTANTIATE_TEST_SUITE_P(Walls, BallReflections,
                         ::testing::Values(ReflectionCase{"Floor", 24, 156, 200, 8},
                                           ReflectionCase{"Ceiling", 8, 156, 30, 24},
                                           ReflectionCase{"RightWall", 0, 280, 116, 16},
                                           ReflectionCase{"LeftWall", 16, 30, 116, 0},
                                           ReflectionCase{"FloorFromTheSide", 28, 156, 200, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// A ball boxed in so closely that 8 pixels in any direction meet a wall: after the bounce's own way and
// those 4, 8, 12 and 16 directions to either side, it takes a direction at random from the frame's seed.
TEST_F(MovementTest, ABallInADeadEndTakesARandomDirectionFromTheSeed) {
    Stage stage;
    stage.movers = {{1, Ball(24, 10, 0, 2, 0)}};
    AddWall(stage, 90, 90, 30, 8);  // above
    AddWall(stage, 90, 112, 30, 8); // below
    AddWall(stage, 90, 90, 8, 30);  // left
    AddWall(stage, 112, 90, 8, 30); // right
    stage.placed.push_back({1, 100, 100});
    stage.events = {When(MeetsBackdrop, 1, {BounceAction})};
    stage.randomSeed = 4321;
    StartStage(stage);
    std::uint16_t seed = CurrentRunState()->randomSeed;
    for (int loop = 0; loop < 20 && RaisesOf(MeetsBackdrop).empty(); ++loop) {
        seed = CurrentRunState()->randomSeed;
        Ticks(1);
    }
    ASSERT_EQ(RaisesOf(MeetsBackdrop).size(), 1u);
    const std::uint16_t next = static_cast<std::uint16_t>(seed * 31415u + 1u);
    EXPECT_EQ(Mover()->direction, static_cast<std::int32_t>((next * 32u) >> 16));
    EXPECT_EQ(CurrentRunState()->randomSeed, next) << "one draw";
    EXPECT_EQ(Block().ball.blocked, 1);
}

TEST_F(MovementTest, ABallInAPocketLeavesByTheFirstFreeWayBesideTheBounce) {
    Stage stage;
    stage.movers = {{1, Ball(24, 10, 0, 2, 0)}};
    AddWall(stage, 90, 90, 30, 8);  // above
    AddWall(stage, 90, 112, 40, 8); // below, reaching on to the right
    AddWall(stage, 90, 90, 8, 30);  // left; the right is open
    stage.placed.push_back({1, 100, 100});
    stage.events = {When(MeetsBackdrop, 1, {BounceAction})};
    StartStage(stage);
    for (int loop = 0; loop < 20 && RaisesOf(MeetsBackdrop).empty(); ++loop)
        Ticks(1);
    ASSERT_EQ(RaisesOf(MeetsBackdrop).size(), 1u);
    // Down into the floor gives up (8); up, up-right (4) and up-left (12) meet walls; right (0) is free.
    EXPECT_EQ(Mover()->direction, 0);
    EXPECT_EQ(Block().ball.blocked, 0);
}

TEST_F(MovementTest, StoppingAndStartingABallKeepsItsSpeed) {
    Stage stage;
    stage.movers = {{1, Ball(0, 40, 0, 2, 0)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    CallMovementAction(MovementRow::Stop, Slot(0), 0);
    EXPECT_EQ(Mover()->speed, 0);
    const std::int32_t x = Slot(0)->x;
    Ticks(3);
    EXPECT_EQ(Slot(0)->x, x);
    CallMovementAction(MovementRow::Stop, Slot(0), 0);
    CallMovementAction(MovementRow::Start, Slot(0), 0);
    EXPECT_EQ(Mover()->speed, 40) << "a second stop does not forget the speed";
    Ticks(1);
    EXPECT_EQ(Slot(0)->x, x + 5);
    CallMovementAction(MovementRow::SetSpeed, Slot(0), 300);
    EXPECT_EQ(Mover()->speed, 250);
    CallMovementAction(MovementRow::SetSpeed, Slot(0), -3);
    EXPECT_EQ(Mover()->speed, 0);
}

TEST_F(MovementTest, ABallSlowsDownByItsDeceleration) {
    Stage stage;
    stage.movers = {{1, Ball(0, 10, 0, 2, 0, 27)}};
    stage.placed = {{1, 20, 100}};
    StartStage(stage);
    // Setting 27 takes 256 (one speed unit) a loop; the first loop has run.
    EXPECT_EQ(Mover()->speed, 9);
    Ticks(9);
    EXPECT_EQ(Mover()->speed, 0);
    const std::int32_t x = Slot(0)->x;
    Ticks(2);
    EXPECT_EQ(Slot(0)->x, x);
}

// The race car turns by its turning speed: each time its counter passes 100 (100 itself does not) the
// direction steps by one.
TEST_F(MovementTest, TheRaceCarTurnsWhenItsCounterPassesAHundred) {
    Stage stage;
    stage.movers = {{1, RaceCar(50, 20, 20, 50)}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    Hold(SDL_SCANCODE_LEFT);
    std::vector<std::int32_t> directions;
    for (int loop = 0; loop < 5; ++loop) {
        Ticks(1);
        directions.push_back(Mover()->direction);
    }
    EXPECT_EQ(directions, (std::vector<std::int32_t>{0, 0, 1, 1, 2}));
    Release(SDL_SCANCODE_LEFT);
    Hold(SDL_SCANCODE_RIGHT);
    Ticks(2);
    EXPECT_EQ(Mover()->direction, 1);
}

TEST_F(MovementTest, ACarOfFourDirectionsTurnsInQuarters) {
    Stage stage;
    stage.movers = {{1, RaceCar(50, 20, 20, 100, 0)}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    Hold(SDL_SCANCODE_RIGHT);
    std::vector<std::int32_t> directions;
    for (int loop = 0; loop < 10; ++loop) {
        Ticks(1);
        directions.push_back(Mover()->direction);
    }
    // From the second loop the turning direction goes 31, 30, ... one a loop; the car faces it masked to a
    // quarter.
    EXPECT_EQ(directions, (std::vector<std::int32_t>{0, 24, 24, 24, 24, 24, 24, 24, 24, 16}));
    EXPECT_EQ(Block().turningDirection, 23);
}

TEST_F(MovementTest, ACarAtRestReversesOnTheFirstBrakeAfterALoopWithoutPedals) {
    Stage stage;
    stage.movers = {{1, RaceCar(40, 50, 50, 0)}};
    stage.placed = {{1, 100, 100}};
    StartStage(stage);
    Hold(SDL_SCANCODE_UP);
    Ticks(2);
    ASSERT_GT(Mover()->speed, 0);
    // Braking from forward slows the car and keeps it in its gear, even at rest while the brake stays held.
    Release(SDL_SCANCODE_UP);
    Hold(SDL_SCANCODE_DOWN);
    Ticks(3);
    EXPECT_EQ(Block().speed256, 0);
    EXPECT_FALSE(MovementReversing(Slot(0)));
    Ticks(1);
    EXPECT_FALSE(MovementReversing(Slot(0))) << "the brake was held in the loop before";
    Release(SDL_SCANCODE_DOWN);
    Ticks(1);
    Hold(SDL_SCANCODE_DOWN);
    const std::int32_t x = Slot(0)->x;
    Ticks(1);
    EXPECT_TRUE(MovementReversing(Slot(0)));
    EXPECT_EQ(Block().speed256, 768);
    Ticks(2);
    EXPECT_LT(Slot(0)->x, x) << "backwards, facing right";
    EXPECT_EQ(Mover()->direction, 0);
    // In reverse, up brakes.
    Release(SDL_SCANCODE_DOWN);
    Hold(SDL_SCANCODE_UP);
    Ticks(1);
    EXPECT_EQ(Block().speed256, 3 * 768 - 768);
}

} // namespace
