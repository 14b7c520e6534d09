// The common conditions as a frame's events run them over several instances of several object infos and a
// qualifier: each leaves selected the objects it holds for (negated where it honours negation), which a
// marking action then acts on; and the conditions raised by moves (collisions, the play area's borders,
// backdrops) and by destruction.
#include "common_objects_fixture.h"
#include "events/event_evaluation.h"
#include "objects/object_moved.h"

#include <functional>

using namespace commontest;

namespace {

constexpr int Lower = 3, Greater = 5, Equal = 0, Different = 1;

ExpressionBuilder Int(std::int32_t n) {
    return ExpressionBuilder().Integer(n);
}

// Selects the objects of `info` at X = x.
EventRecordDesc AtX(std::uint16_t info, std::int32_t x) {
    return Rec(Active, -17, {Compare(Equal, Int(x))}, info);
}

EventRecordDesc Action(std::int16_t number, std::vector<EventParameterDesc> parameters,
                       std::uint16_t info = A) {
    return Rec(Active, number, std::move(parameters), info);
}

struct ConditionCase {
    const char* name;
    // Groups run in the first loop before the tested one.
    std::vector<EventGroupDesc> before;
    EventRecordDesc condition;
    std::vector<bool> a;
};

std::vector<ConditionCase> Cases() {
    const EventRecordDesc hideThird = Action(26, {});
    return {
        {"CompareXWithAConstant", {}, Rec(Active, -17, {Compare(Lower, Int(50))}, A), {true, false, false}},
        {"ComparisonsAreNeverNegated",
         {},
         Rec(Active, -17, {Compare(Lower, Int(50))}, A, true),
         {true, false, false}},
        {"CompareXWithAnExpressionOfEachObject",
         {},
         Rec(Active, -17, {Compare(Equal, Of(11, A))}, A),
         {true, true, true}},
        {"CompareY", {}, Rec(Active, -16, {Compare(Greater, Int(20))}, A), {false, false, false}},
        {"AlterableValueOfEachObject",
         {Once({}, {SetValue(A, 1, Of(11, A))})},
         Rec(Active, -27, {Expr(Int(1), 53), Compare(Greater, Int(50))}, A),
         {false, true, true}},
        {"AlterableValueBeyondTheCountComparesZero",
         {},
         Rec(Active, -27, {Expr(Int(30), 53), Compare(Equal, Int(0))}, A),
         {true, true, true}},
        {"NegativeAlterableValueKeepsEveryObject",
         {},
         Rec(Active, -27, {Expr(Int(-1), 53), Compare(Equal, Int(99))}, A),
         {true, true, true}},
        {"AlterableValueWithAConstant",
         {},
         Rec(Active, -42, {Expr(Int(1), 53), appwriter::ConstantComparisonParameter(7, Equal)}, A),
         {true, true, true}},
        {"AlterableString",
         {},
         Rec(Active, -36,
             {Expr(Int(0), 62), appwriter::ExpressionParameter(46, ExpressionBuilder().String(u"alpha"))}, A),
         {true, true, true}},
        {"AlterableStringBeyondNineDropsEveryObject",
         {},
         Rec(Active, -36,
             {Expr(Int(10), 62), appwriter::ExpressionParameter(46, ExpressionBuilder().String(u""))}, A),
         {false, false, false}},
        {"FlagOn",
         {Once({AtX(A, 60)}, {Action(35, {Num(3)})})},
         Rec(Active, -25, {Num(3)}, A),
         {false, true, false}},
        {"FlagOff",
         {Once({AtX(A, 60)}, {Action(35, {Num(3)})})},
         Rec(Active, -24, {Num(3)}, A),
         {true, false, true}},
        {"FlagOnNegated",
         {Once({AtX(A, 60)}, {Action(35, {Num(3)})})},
         Rec(Active, -25, {Num(3)}, A, true),
         {true, false, true}},
        {"Invisible", {Once({AtX(A, 100)}, {hideThird})}, Rec(Active, -28, {}, A), {false, false, true}},
        {"Visible", {Once({AtX(A, 100)}, {hideThird})}, Rec(Active, -29, {}, A), {true, true, false}},
        {"VisibilityIsNeverNegated",
         {Once({AtX(A, 100)}, {hideThird})},
         Rec(Active, -29, {}, A, true),
         {true, true, false}},
        // A box ending exactly on the left edge is out of the play area; one pixel in, it is in.
        {"OutOfThePlayArea",
         {Once({AtX(A, 100)}, {Action(2, {Num(-8)})})},
         Rec(Active, -10, {}, A),
         {false, false, true}},
        {"InThePlayArea",
         {Once({AtX(A, 100)}, {Action(2, {Num(-8)})})},
         Rec(Active, -9, {}, A),
         {true, true, false}},
        {"OnePixelInIsInThePlayArea",
         {Once({AtX(A, 100)}, {Action(2, {Num(-7)})})},
         Rec(Active, -9, {}, A),
         {true, true, true}},
        {"Stopped", {}, Rec(Active, -7, {}, A), {true, true, true}},
        {"StoppedNegated", {}, Rec(Active, -7, {}, A, true), {false, false, false}},
        {"FacingADirectionOfAMask",
         {},
         Rec(Active, -8, {appwriter::IntParameter(ParamDirections, 1)}, A),
         {true, true, true}},
        {"FacingADirectionNotInTheMask",
         {},
         Rec(Active, -8, {appwriter::IntParameter(ParamDirections, 1 << 8)}, A),
         {false, false, false}},
        {"FacingAnExpressionsDirection",
         {Once({AtX(A, 60)}, {Action(23, {Num(8)})})},
         Rec(Active, -8, {Num(40)}, A),
         {false, true, false}},
        {"AnimationPlaying", {}, Rec(Active, -3, {appwriter::ShortParameter(10, 0)}, A), {true, true, true}},
        {"AnimationNotPlaying",
         {},
         Rec(Active, -3, {appwriter::ShortParameter(10, 2)}, A),
         {false, false, false}},
        {"AnimationPlayingNegated",
         {},
         Rec(Active, -3, {appwriter::ShortParameter(10, 2)}, A, true),
         {true, true, true}},
        {"AnimationFrame",
         {Once({AtX(A, 20)}, {Action(40, {Num(1)})})},
         Rec(Active, -1, {Compare(Equal, Int(1))}, A),
         {true, false, false}},
        {"Speed", {}, Rec(Active, -15, {Compare(Equal, Int(0))}, A), {true, true, true}},
        {"OutsideTheWindowByAWideMargin", {}, Rec(Active, -22, {Num(30)}, A), {true, true, true}},
        {"InsideTheWindowByANarrowMargin", {}, Rec(Active, -22, {Num(10)}, A), {false, false, false}},
        {"OverlappingABackdrop",
         {Once({AtX(A, 100)}, {Action(3, {Num(160)}), Action(2, {Num(160)})})},
         Rec(Active, -23, {}, A),
         {false, false, true}},
        {"NotOverlappingABackdrop",
         {Once({AtX(A, 100)}, {Action(3, {Num(160)}), Action(2, {Num(160)})})},
         Rec(Active, -23, {}, A, true),
         {true, true, false}},
        // Creation numbers and slots follow the placements: the second object is (2 << 16) | 1.
        {"FixedValue", {}, Rec(Active, -26, {Compare(Equal, Int((2 << 16) | 1))}, A), {false, true, false}},
        {"CountInAZoneHolds",
         {},
         Rec(Active, -30, {appwriter::ZoneParameter(0, 0, 70, 50), Compare(Equal, Int(2))}, A),
         {true, true, true}},
        {"CountInAZoneFails",
         {},
         Rec(Active, -30, {appwriter::ZoneParameter(0, 0, 70, 50), Compare(Equal, Int(3))}, A),
         {false, false, false}},
        {"NoObjectInAZone",
         {},
         Rec(Active, -31, {appwriter::ZoneParameter(0, 100, 10, 110)}, A),
         {true, true, true}},
        {"NoObjectInAZoneNegated",
         {},
         Rec(Active, -31, {appwriter::ZoneParameter(0, 0, 70, 50)}, A, true),
         {true, true, true}},
        {"NumberOfObjects", {}, Rec(Active, -32, {Compare(Equal, Int(3))}, A), {true, true, true}},
        {"NumberOfAQualifiersObjects",
         {},
         Rec(Active, -32, {Compare(Equal, Int(5))}, Both),
         {true, true, true}},
        {"ConditionOnAQualifier", {}, Rec(Active, -16, {Compare(Lower, Int(50))}, Both), {true, true, true}},
        {"NoMoreObjectsWhileSomeAreLeft", {}, Rec(Active, -33, {}, A), {false, false, false}},
    };
}

class CommonConditions : public CommonObjectsTest, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(CommonConditions, SelectTheObjectsTheyHoldFor) {
    const ConditionCase& c = GetParam();
    EventProgramBuilder b;
    for (const EventGroupDesc& g : c.before)
        b.AddGroup(g);
    b.AddGroup(Once({c.condition}, {Mark(c.condition.objectInfo == Both ? Both : A)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    Tick();
    EXPECT_EQ(Marked(A), c.a);
}

INSTANTIATE_TEST_SUITE_P(Conditions, CommonConditions, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A qualifier's condition thins its members' selections: the action on the qualifier then acts on what
// is left of each.
TEST_F(CommonObjectsTest, AQualifiersConditionThinsEachMember) {
    EventProgramBuilder b;
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, Both),
                     Rec(Active, -17, {Compare(Lower, Int(220))}, Both)},
                    {Mark(Both)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    Tick();
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(Marked(B), (std::vector<bool>{true, false}));
}

// Each loop picks one object of A at random; the seed steps only when there was one to pick.
TEST_F(CommonObjectsTest, PickingOneAtRandomKeepsOneSelectedObject) {
    EventProgramBuilder b;
    b.AddGroup(Every({Always(), Rec(Active, -34, {}, A)}, {Rec(Active, 32, {Expr(Int(4), 53), Num(1)}, A)}));
    b.AddGroup(Every({Always(), Rec(Active, -17, {Compare(Greater, Int(1000))}, B), Rec(Active, -34, {}, B)},
                     {Mark(B)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const std::uint16_t seed = CurrentRunState()->randomSeed;
    Tick();
    // One pick in the loop of the start, one now.
    std::int32_t picks = 0;
    for (RunObject* o : Instances(A))
        picks += Value(o, 4).integer;
    EXPECT_EQ(picks, 2);
    EXPECT_EQ(CurrentRunState()->randomSeed, static_cast<std::uint16_t>(seed * 31415u + 1u));
    EXPECT_EQ(Marked(B), (std::vector<bool>{false, false}));
}

// Overlaps: A's first object sits on B's first; negated, the condition fails as soon as one object of the
// first list overlaps.
TEST_F(CommonObjectsTest, OverlapsThinBothObjectInfos) {
    EventProgramBuilder b;
    b.AddGroup(Once({Rec(Active, -4, {appwriter::ObjectParameter(B, Active)}, A)}, {Mark(A), Mark(B)}));
    SceneOptions scene;
    scene.placements = {{A, 208, 104}, {A, 60, 20}, {A, 100, 20}, {B, 200, 100}, {B, 240, 100}, {C, 280, 20}};
    ASSERT_NO_FATAL_FAILURE(Start(b, scene));
    Tick();
    EXPECT_EQ(Marked(A), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Marked(B), (std::vector<bool>{true, false}));
}

TEST_F(CommonObjectsTest, NegatedOverlapFailsWhenAnyObjectOverlaps) {
    EventProgramBuilder b;
    b.AddGroup(Once({Rec(Active, -4, {appwriter::ObjectParameter(B, Active)}, A, true)}, {Mark(A)}));
    // With no object of the first list left, the negated overlap holds.
    b.AddGroup(Once({Rec(Active, -4, {appwriter::ObjectParameter(A, Active)}, Spark, true)},
                    {SetValue(A, 4, Int(1))}));
    SceneOptions scene;
    scene.placements = {{A, 208, 104}, {A, 60, 20}, {A, 100, 20}, {B, 200, 100}, {B, 240, 100}, {C, 280, 20}};
    ASSERT_NO_FATAL_FAILURE(Start(b, scene));
    Tick();
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, false, false}));
    for (RunObject* o : Instances(A))
        EXPECT_EQ(Value(o, 4).integer, 1);
}

// Moves raise conditions for the object that moved: here an action moves A's second object, and its
// movement reports the move at its next step.
class RaisedConditions : public CommonObjectsTest {
protected:
    // Moves A's second object to (x, y) in the first loop; `raised` marks what it raises.
    void MoveAndWatch(std::int32_t x, std::int32_t y, EventGroupDesc raised, const SceneOptions& scene = {}) {
        EventProgramBuilder b;
        b.AddGroup(Once({AtX(A, 60)}, {Action(3, {Num(y)}), Action(2, {Num(x)})}));
        b.AddGroup(std::move(raised));
        ASSERT_NO_FATAL_FAILURE(Start(b, scene));
        Tick(3);
    }
};

struct CollisionCase {
    const char* name;
    bool boxCollisionsOfB;
    std::int32_t x; // where A's second object goes, over B's first (200 to 215, its left half transparent)
    bool collides;
};

class Collisions : public RaisedConditions, public ::testing::WithParamInterface<CollisionCase> {};

TEST_P(Collisions, ByMaskOrByBox) {
    const CollisionCase& c = GetParam();
    SceneOptions scene;
    scene.boxCollisionsOfB = c.boxCollisionsOfB;
    ASSERT_NO_FATAL_FAILURE(MoveAndWatch(
        c.x, 100, Every({Rec(Active, -14, {appwriter::ObjectParameter(B, Active)}, A)}, {Mark(A), Mark(B)}),
        scene));
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, c.collides, false}));
    EXPECT_EQ(Marked(B), (std::vector<bool>{c.collides, false}));
}

INSTANTIATE_TEST_SUITE_P(Objects, Collisions,
                         ::testing::Values(CollisionCase{"OnTheSeenHalf", false, 206, true},
                                           CollisionCase{"OnTheTransparentHalfByMask", false, 196, false},
                                           CollisionCase{"OnTheTransparentHalfByBox", true, 196, true},
                                           CollisionCase{"Apart", false, 170, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RaisedConditions, ACollisionIsToldOnceWhileItLasts) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)}, {Action(3, {Num(100)}), Action(2, {Num(206)})}));
    // Each time the collision is told, value 2 of A counts it.
    b.AddGroup(Every({Rec(Active, -14, {appwriter::ObjectParameter(B, Active)}, A)},
                     {Rec(Active, 32, {Expr(Int(2), 53), Num(1)}, A)}));
    // A's second object keeps moving on B, one pixel right and back each loop.
    b.AddGroup(Every({Always(), AtX(A, 206)}, {Action(2, {Num(207)})}));
    b.AddGroup(Every({Always(), AtX(A, 207)}, {Action(2, {Num(206)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    Tick(5);
    EXPECT_EQ(Value(Instance(A, 1), 2).integer, 1);
}

// A move that crosses the play area's borders raises entering or leaving with the borders it met; the
// group's border mask chooses, and a condition raised again for the same object in one loop is not new.
TEST_F(RaisedConditions, LeavingThePlayAreaTellsTheBorder) {
    EventProgramBuilder b;
    b.AddGroup(Every({Rec(Active, -12, {appwriter::ShortParameter(3, 1)}, A)}, {Mark(A)}));
    b.AddGroup(Every({Rec(Active, -12, {appwriter::ShortParameter(3, 2)}, A)}, {SetValue(A, 3, Int(1))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    RunObject* o = Instance(A, 1);
    const auto raise = [&](std::int32_t borders) {
        CurrentEventState()->eventParameter1 = borders;
        TriggerObjectCondition(o, EventCodeOf(Active, -12));
    };
    raise(BorderLeft);
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Value(o, 3).integer, 0);
    static_cast<TypedValue*>(ValuesBlockOf(o)->values)[MarkValue] = TypedValue::Int(0);
    raise(BorderLeft | BorderRight);
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Value(o, 3).integer, 1);
}

TEST_F(RaisedConditions, MovingOntoABackdropTellsIt) {
    ASSERT_NO_FATAL_FAILURE(MoveAndWatch(155, 155, Every({Rec(Active, -13, {}, A)}, {Mark(A)})));
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, true, false}));
}

TEST_F(CommonObjectsTest, DestroyingTheLastObjectTellsNoMoreObjects) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Action(24, {})}));
    // Raised once, when the last of A goes; B still has objects.
    b.AddGroup(Every({Rec(Active, -33, {}, A)}, {Mark(B)}));
    b.AddGroup(Every({Rec(Active, -33, {}, Both)}, {SetValue(B, 3, Int(1))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    Tick(3);
    EXPECT_TRUE(Instances(A).empty());
    EXPECT_EQ(Marked(B), (std::vector<bool>{true, true}));
    EXPECT_EQ(Value(Instance(B, 0), 3).integer, 0);
}

} // namespace
