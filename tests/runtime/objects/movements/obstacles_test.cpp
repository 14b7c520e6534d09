// Free positions and the way out of obstacles, over the play-area mask of a frame's walls: the test of one
// position (borders, backdrops, objects taken as obstacles), the halving search along a segment, and the
// recovery a stop or bounce makes inside the object's own move.
#include "movement_fixture.h"

#include "objects/object_moved.h"

#include <bit>

using namespace movementtest;

namespace {

constexpr std::uint16_t BordersAreObstacles = 0x0F;
constexpr std::uint16_t BackdropsAreObstacles = 0x10;

// An 8 by 8 object at (40, 100), a wall from x = 100 to 119 over the whole height and a block from (200, 0)
// to (259, 59).
class Obstacles : public MovementTest {
protected:
    void SetUp() override {
        Stage stage;
        stage.movers = {{1, Ball(0, 0, 0, 2, 0)}, {2, Ball(0, 0, 0, 2, 0)}};
        AddWall(stage, 100, 0, 20, 240);
        AddWall(stage, 200, 0, 60, 60);
        stage.placed.push_back({1, 40, 100});
        stage.placed.push_back({2, 200, 100});
        // Object 2 is one of object 1's obstacles: a collision with it stops object 1.
        stage.events = {When(MeetsObject, 1, {StopAction}, {appwriter::ObjectParameter(2, 2)})};
        StartStage(stage);
        o_ = Slot(0);
        o_->objectInfoEntry->collisionFlags |= BackdropsAreObstacles;
    }
    void Handling(std::int16_t condition) { CurrentEventState()->eventCode = EventCodeOf(2, condition); }
    // As the animation routine leaves it before a move: where the object was.
    void MovedFrom(std::int32_t x, std::int32_t y) {
        RunObjectExtended* ext = ExtendedOf(o_);
        o_->x = x;
        o_->y = y;
        ext->animationRoutine(o_);
    }
    RunObject* o_ = nullptr;
};

TEST_F(Obstacles, APositionIsBlockedByTheWallsBackdropsOnlyWhenTheyAreObstacles) {
    EXPECT_EQ(TestObjectPosition(o_, 92, 100, 0), 1) << "touching the wall";
    EXPECT_EQ(TestObjectPosition(o_, 93, 100, 0), 0);
    EXPECT_EQ(TestObjectPosition(o_, 119, 100, 0), 0);
    EXPECT_EQ(TestObjectPosition(o_, 120, 100, 0), 1);
    o_->objectInfoEntry->collisionFlags &= static_cast<std::uint16_t>(~BackdropsAreObstacles);
    EXPECT_EQ(TestObjectPosition(o_, 110, 100, 0), 1);
}

TEST_F(Obstacles, TheBordersBlockByTheirBitsAndTwoOppositeOnesBlockNothing) {
    EXPECT_EQ(TestObjectPosition(o_, -1, 100, 0), 1) << "the borders are not obstacles";
    o_->objectInfoEntry->collisionFlags |= BorderLeft | BorderBottom;
    EXPECT_EQ(TestObjectPosition(o_, -1, 100, 0), 0);
    EXPECT_EQ(TestObjectPosition(o_, 0, 100, 0), 1);
    EXPECT_EQ(TestObjectPosition(o_, 40, 233, 0), 0);
    EXPECT_EQ(TestObjectPosition(o_, 40, -1, 0), 1) << "the top is not one of them";
    o_->objectInfoEntry->collisionFlags |= BordersAreObstacles;
    o_->width = 400;
    EXPECT_EQ(TestObjectPosition(o_, -10, 100, 0), 1) << "beyond left and right at once";
}

TEST_F(Obstacles, ObjectsOfTheObstacleListBlockUnlessTheyAreOfTheObjectsOwnInfo) {
    RunObject* other = Slot(1);
    EXPECT_EQ(TestObjectPosition(o_, 196, 100, 0), 0);
    EXPECT_EQ(TestObjectPosition(o_, 191, 100, 0), 1);
    // Object 2 meets object 1 but has no obstacles of its own.
    EXPECT_EQ(TestObjectPosition(other, 40, 100, 0), 1);
    // An object of the same info as the one tested does not block it when its own info is left out.
    other->objectInfo = o_->objectInfo;
    EXPECT_EQ(TestObjectPosition(o_, 196, 100, 1), 1);
}

TEST_F(Obstacles, TheSearchFindsTheFreePositionNearestTheNearEnd) {
    std::int32_t x = 0, y = 0;
    EXPECT_EQ(FindFreePositionOnPath(o_, 105, 100, 60, 100, 0, &x, &y), 1);
    EXPECT_EQ(x, 92);
    EXPECT_EQ(y, 100);
    // Diagonally: the wall's left side still decides.
    EXPECT_EQ(FindFreePositionOnPath(o_, 110, 120, 30, 40, 0, &x, &y), 1);
    EXPECT_EQ(x, 92);
    EXPECT_EQ(y, 102);
    // A free near end is the answer.
    EXPECT_EQ(FindFreePositionOnPath(o_, 50, 100, 110, 100, 0, &x, &y), 1);
    EXPECT_EQ(x, 50);
    // Both ends the same free point.
    EXPECT_EQ(FindFreePositionOnPath(o_, 70, 80, 70, 80, 0, &x, &y), 1);
    EXPECT_EQ(x, 70);
    EXPECT_EQ(y, 80);
    // The scroll-relative form agrees while the frame is not scrolled; the service form too.
    EXPECT_EQ(FindFreePosition(o_, 105, 100, 60, 100, 0, 1, &x, &y), 1);
    EXPECT_EQ(x, 92);
    EXPECT_EQ(FindFreePositionService(o_, 105, 100, 60, 100, 0, 1, &x, &y), 1);
    EXPECT_EQ(x, 92);
}

TEST_F(Obstacles, AnExhaustedSearchAnswersNoneWithTheLastMidpoint) {
    std::int32_t x = 0, y = 0;
    EXPECT_EQ(FindFreePositionOnPath(o_, 100, 100, 110, 100, 0, &x, &y), 0);
    EXPECT_EQ(x, 109);
    EXPECT_EQ(y, 100);
    // The far end, free, is found when the whole chain before it is blocked.
    EXPECT_EQ(FindFreePositionOnPath(o_, 100, 100, 120, 100, 0, &x, &y), 1);
    EXPECT_EQ(x, 120);
}

TEST_F(Obstacles, OnlyTheBottomRowsAreTestedWhenAHeightIsGiven) {
    // The top two rows under the block.
    EXPECT_EQ(TestObjectPositionAt(o_, 220, 58, 0, 1, 0), 0);
    EXPECT_EQ(TestObjectPositionAt(o_, 220, 58, 6, 1, 0), 1);
    EXPECT_EQ(TestObjectPositionAt(o_, 220, 58, 7, 1, 0), 0);
    std::int32_t x = 0, y = 0;
    EXPECT_EQ(FindFreePosition(o_, 220, 50, 220, 60, 6, 1, &x, &y), 1);
    EXPECT_EQ(y, 58);
}

TEST_F(Obstacles, ABackdropHitIsLeftByTheFirstFreeEscapeOffsetOfTheDirection) {
    Handling(MeetsBackdrop);
    ExtendedOf(o_)->direction = 0;
    // 3 pixels into the wall: up and down stay in it, 4 back to the left is free.
    MovedFrom(80, 100);
    o_->x = 95;
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, 91);
    EXPECT_EQ(o_->y, 100);
    // Facing down, it is the sides that are tried first.
    ExtendedOf(o_)->direction = 24;
    MovedFrom(80, 100);
    o_->x = 94;
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, 92);
}

TEST_F(Obstacles, WhenNoOffsetIsFreeTheMoveIsTakenBackWithItsImageAndAngle) {
    Handling(MeetsObject);
    RunObjectExtended* x = ExtendedOf(o_);
    x->angle = 30.0f;
    MovedFrom(80, 100);
    o_->x = 108;
    x->angle = 45.0f;
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, 80);
    EXPECT_EQ(o_->y, 100);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(x->angle), std::bit_cast<std::uint32_t>(30.0f));
}

TEST_F(Obstacles, SearchingBackFindsTheNearestFreePositionOnTheWay) {
    Handling(MeetsBackdrop);
    MovedFrom(60, 80);
    o_->x = 110;
    o_->y = 130;
    ResolveObstacle(o_, 1);
    EXPECT_EQ(o_->x, 92);
    EXPECT_EQ(o_->y, 112);
}

TEST_F(Obstacles, LeavingOutItsOwnInfoAnExhaustedRecoveryLeavesTheObjectWhereItIs) {
    Handling(MeetsBackdrop);
    MovedFrom(104, 100);
    o_->x = 110;
    EXPECT_EQ(ResolveObstacleEx(o_, 1), 0);
    EXPECT_EQ(o_->x, 110);
    EXPECT_EQ(ResolveObstacleEx(o_, 0), 1);
    EXPECT_EQ(o_->x, 104) << "taken back";
}

TEST_F(Obstacles, ThePlayAreaRecoveryPutsTheBoxBackInsideButNotAcrossOppositeBorders) {
    Handling(LeavesPlayArea);
    o_->hotSpotX = o_->hotSpotY = 2;
    o_->x = -5;
    o_->y = 300;
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, 2);
    EXPECT_EQ(o_->y, 240 - 8 + 2);
    // Beyond left and right at once: not moved at all, though it is beyond the top too.
    o_->width = 400;
    o_->x = -10;
    o_->y = -20;
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, -10);
    EXPECT_EQ(o_->y, -20);
    // Another event leaves the object alone.
    o_->width = 8;
    Handling(-33);
    ResolveObstacle(o_, 0);
    EXPECT_EQ(o_->x, -10);
    EXPECT_EQ(o_->y, -20);
}

} // namespace
