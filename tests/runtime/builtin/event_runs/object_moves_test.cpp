// What a move meets: the play area's borders (entering, leaving, wrapping round) and other objects.
#include "event_frame.h"
#include "objects/object_moved.h"

#include <ostream>

using namespace eventruns;

namespace {

// One moving object of A (10 by 10, hot spot at its top left) in a 640 by 480 play area, with the groups of
// its border conditions.
class BorderMoves : public ::testing::Test {
protected:
    RunObject* Place(std::int32_t x, std::int32_t y, std::int8_t wrapMask = 0) {
        const std::uint16_t a = frame_.AddInfo(10);
        frame_.Entry(a).wrapMask = wrapMask;
        RunObject* o = frame_.AddObject(a, x, y, true);
        EventProgramBuilder b;
        b.AddGroup(Group({Record(2, -11, {}, 10)}, {}));
        b.AddGroup(Group({Record(2, -12, {}, 10)}, {}));
        frame_.Prepare(b);
        return o;
    }
    void MoveTo(RunObject* o, std::int32_t x, std::int32_t y) {
        EventFrame::SaveBox(o);
        o->x = x;
        o->y = y;
        HandleObjectMoved(o);
    }
    EventFrame frame_;
};

struct BorderCase {
    const char* name;
    std::int32_t fromX, fromY, toX, toY;
    std::int32_t condition; // raised, or 0
    std::int32_t borders;
    std::uint16_t eventFlags;
};

// Shown by its name: the bytes after its last field are no part of what it is.
void PrintTo(const BorderCase& c, std::ostream* out) {
    *out << c.name;
}

class BorderCrossings : public BorderMoves, public ::testing::WithParamInterface<BorderCase> {};

TEST_P(BorderCrossings, RaiseTheirConditionWithTheBorders) {
    const BorderCase& c = GetParam();
    RunObject* o = Place(c.fromX, c.fromY);
    MoveTo(o, c.toX, c.toY);
    if (c.condition == 0) {
        EXPECT_TRUE(Log().empty());
        return;
    }
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].value, -c.condition * 1000 + o->handle);
    EXPECT_EQ(Log()[0].param1, c.borders);
    EXPECT_EQ(o->eventFlags, c.eventFlags);
}

INSTANTIATE_TEST_SUITE_P(Moves, BorderCrossings,
                         ::testing::Values(BorderCase{"EntersFromTheLeft", -30, 100, -5, 100, -11, 1, 1},
                                           BorderCase{"EntersFromBelow", 100, 500, 100, 475, -11, 8, 1},
                                           BorderCase{"LeavesByTheRight", 620, 100, 635, 100, -12, 2, 2},
                                           BorderCase{"LeavesByTheTop", 100, 5, 100, -3, -12, 4, 2},
                                           BorderCase{"StaysInside", 100, 100, 200, 200, 0, 0, 0},
                                           BorderCase{"AlreadyAcrossGoesFurther", 635, 100, 638, 100, 0, 0,
                                                      0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BorderMoves, AnObjectLeavingWhollyLeftReappearsAPlayAreaWidthRight) {
    RunObject* o = Place(5, 100, 1);
    MoveTo(o, -20, 100);
    EXPECT_EQ(o->x, 620);
    EXPECT_EQ(o->y, 100);
    // It crossed the left border on its way out: in the same move it is back inside, and no leave is told.
    EXPECT_TRUE(Log().empty());
}

TEST_F(BorderMoves, TheWrapMaskChoosesTheBorders) {
    RunObject* o = Place(100, 5, 1);
    MoveTo(o, 100, -20);
    EXPECT_EQ(o->y, -20);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].param1, 4);
}

TEST_F(BorderMoves, ABoxAcrossTwoOppositeBordersIsAcrossNone) {
    RunObject* o = Place(100, 100);
    o->width = 700;
    MoveTo(o, -10, 100);
    EXPECT_TRUE(Log().empty());
}

// Objects drawn without sprites collide by their boxes, edges included.
class ObjectCollisions : public ::testing::Test {
protected:
    void Prepare(std::int16_t typeA, std::int16_t typeB) {
        a_ = frame_.AddInfo(10, typeA);
        b_ = frame_.AddInfo(11, typeB);
        mover_ = frame_.AddObject(a_, 0, 0, true);
        still_ = frame_.AddObject(b_, 50, 50, true);
        frame_.AddObject(b_, 300, 300, true);
        EventProgramBuilder b;
        // The collision of the lower type's object info with the other.
        if (typeA <= typeB)
            b.AddGroup(Group({Record(typeA, -14, {appwriter::ObjectParameter(11, typeB)}, 10)}, {}));
        else
            b.AddGroup(Group({Record(typeB, -14, {appwriter::ObjectParameter(10, typeA)}, 11)}, {}));
        frame_.Prepare(b);
    }
    void MoveMoverTo(std::int32_t x, std::int32_t y) {
        EventFrame::SaveBox(mover_);
        mover_->x = x;
        mover_->y = y;
        HandleObjectMoved(mover_);
    }
    EventFrame frame_;
    std::uint16_t a_ = 0, b_ = 0;
    RunObject* mover_ = nullptr;
    RunObject* still_ = nullptr;
};

TEST_F(ObjectCollisions, TheMovingObjectRaisesTheCollisionWithObjectsOfItsType) {
    Prepare(2, 2);
    MoveMoverTo(20, 20);
    EXPECT_TRUE(Log().empty());
    // Edges touching count.
    MoveMoverTo(40, 40);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].value, 14000 + mover_->handle);
    EXPECT_EQ(Log()[0].param1, 11 * 1000 + still_->handle);
}

TEST_F(ObjectCollisions, TheObjectOfTheLowerTypeRaisesTheCollisionOnce) {
    Prepare(3, 2);
    MoveMoverTo(45, 45);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].value, 14000 + still_->handle);
    EXPECT_EQ(Log()[0].param1, 10 * 1000 + mover_->handle);
}

TEST_F(ObjectCollisions, DisappearingObjectsDoNotCollide) {
    Prepare(2, 2);
    still_->runFlags |= ObjectDisappearing;
    MoveMoverTo(45, 45);
    EXPECT_TRUE(Log().empty());
}

TEST(BorderFlags, CrossingFlagsOfABox) {
    EXPECT_EQ(GetBorderFlags(-1, 0, 5, 5, 10, 10), BorderLeft);
    EXPECT_EQ(GetBorderFlags(0, 0, 11, 5, 10, 10), BorderRight);
    EXPECT_EQ(GetBorderFlags(0, -1, 5, 11, 10, 10), BorderTop | BorderBottom);
    EXPECT_EQ(GetBorderFlags(0, 0, 10, 10, 10, 10), 0u);
}

} // namespace
