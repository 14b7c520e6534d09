// The common actions as a frame's events run them: once for every selected object (an expression in a
// parameter answering for that object), on the values, flags and strings, the position (the position
// parameter's flags), the direction, the animation, visibility, destruction, swapping, shooting, inks, layers
// and sprite order, fonts, and object loops.
#include "common_objects_fixture.h"

#include "builtin/position_parameter.h"
#include "events/expression.h"
#include "objects/animations.h"

#include "vtrs2/sprite_window.h"
#include "vtrs2/sprites.h"

#include <map>

using namespace commontest;

namespace {

constexpr int Greater = 5, Equal = 0;

ExpressionBuilder Int(std::int32_t n) {
    return ExpressionBuilder().Integer(n);
}
EventRecordDesc AtX(std::uint16_t info, std::int32_t x) {
    return Rec(Active, -17, {Compare(Equal, Int(x))}, info);
}
EventRecordDesc Action(std::int16_t number, std::vector<EventParameterDesc> parameters,
                       std::uint16_t info = A) {
    return Rec(Active, number, std::move(parameters), info);
}
EventParameterDesc Index(std::int32_t n) {
    return Expr(Int(n), 53);
}
std::vector<std::int32_t> Ints(const std::vector<RunObject*>& objects, int n) {
    std::vector<std::int32_t> out;
    for (RunObject* o : objects)
        out.push_back(CommonObjectsTest::Value(o, n).integer);
    return out;
}
std::vector<std::int32_t> Xs(const std::vector<RunObject*>& objects) {
    std::vector<std::int32_t> out;
    for (RunObject* o : objects)
        out.push_back(o->x);
    return out;
}

// --- values, flags and strings ---

struct ValueCase {
    const char* name;
    std::vector<EventRecordDesc> actions; // on A's objects at X > 50
    int value;
    std::vector<std::int32_t> expected; // of A's three objects
};

class ValueActions : public CommonObjectsTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueActions, ActOnEachSelectedObject) {
    const ValueCase& c = GetParam();
    EventProgramBuilder b;
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, A)}, c.actions));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Ints(Instances(A), c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueActions,
    ::testing::Values(ValueCase{"SetToAnExpressionOfEachObject",
                                {SetValue(A, 0, Of(11, A).Operator(0x20000).Integer(1))},
                                0,
                                {5, 61, 101}},
                      ValueCase{"Add", {Action(32, {Index(0), Num(3)})}, 0, {5, 8, 8}},
                      ValueCase{"Subtract", {Action(33, {Index(1), Num(2)})}, 1, {7, 5, 5}},
                      // The newest object comes first.
                      ValueCase{
                          "SpreadCountsUpFromTheStart", {Action(34, {Index(1), Num(10)})}, 1, {7, 11, 10}},
                      ValueCase{"NegativeIndexDoesNothing", {SetValue(A, -1, Int(9))}, 0, {5, 5, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommonObjectsTest, SettingAValueBeyondTheArrayGrowsItToTenMore) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)}, {SetValue(A, 30, Int(3)), SetValue(A, 5000, Int(4))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    RunObject* grown = Instance(A, 1);
    EXPECT_EQ(ValuesBlockOf(grown)->count, 40);
    EXPECT_EQ(Value(grown, 30).integer, 3);
    EXPECT_EQ(Value(grown, 39).integer, 0);
    EXPECT_EQ(Value(grown, 0).integer, 5);
    // An index taken from event data cannot grow the array without bound.
    EXPECT_EQ(ValuesBlockOf(Instance(A, 0))->count, AlterableValueCount);
}

TEST_F(CommonObjectsTest, AStringValueIsTheObjectsOwnCopy) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)},
                    {SetValue(A, 0, ExpressionBuilder().String(u"ab").Operator(0x20000).String(u"cd"))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    // The loop's temporary strings are gone by now; the value is the object's.
    Tick(2);
    const TypedValue v = Value(Instance(A, 1), 0);
    ASSERT_EQ(v.type, TypeString);
    EXPECT_EQ(v.Text(), u"abcd");
}

TEST_F(CommonObjectsTest, FlagsAreSetClearedAndToggled) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Action(35, {Num(1)}), Action(35, {Num(2)}), Action(35, {Num(33)})}));
    b.AddGroup(Once({AtX(A, 60)}, {Action(36, {Num(2)}), Action(37, {Num(4)}), Action(37, {Num(1)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(ValuesBlockOf(Instance(A, 0))->flags, 0b110u);
    EXPECT_EQ(ValuesBlockOf(Instance(A, 1))->flags, 0b10000u);
}

TEST_F(CommonObjectsTest, AlterableStringsTakeStringsOnly) {
    EventProgramBuilder b;
    b.AddGroup(
        Once({}, {Action(49, {Expr(Int(2), 62), Text(u"hello")}),
                  Action(49, {Expr(Int(10), 62), Text(u"no")}), Action(49, {Expr(Int(0), 62), Num(5)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(String(Instance(A, 2), 2), u"hello");
    EXPECT_EQ(String(Instance(A, 2), 0), u"");
}

// --- positions and directions ---

struct PositionCase {
    const char* name;
    PositionDesc position;
    std::int32_t x, y;
};

class PositionActions : public CommonObjectsTest, public ::testing::WithParamInterface<PositionCase> {};

// C, alone, is placed by a position relative to A's first instance, its newest object (100, 20), or
// absolute.
TEST_P(PositionActions, PlaceTheObjectWhereTheParameterSays) {
    const PositionCase& c = GetParam();
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Action(1, {appwriter::PositionParameter(9, c.position)}, C)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    RunObject* o = Instance(C, 0);
    EXPECT_EQ(o->x, c.x);
    EXPECT_EQ(o->y, c.y);
}

PositionDesc RelativeToA(std::uint16_t flags, std::int16_t x, std::int16_t y, std::int16_t distance = 0,
                         std::int16_t angle = 0) {
    PositionDesc p;
    p.parent = A;
    p.flags = flags;
    p.x = x;
    p.y = y;
    p.distance = distance;
    p.angle = angle;
    return p;
}

INSTANTIATE_TEST_SUITE_P(Positions, PositionActions,
                         ::testing::Values(PositionCase{"Absolute",
                                                        [] {
                                                            PositionDesc p;
                                                            p.x = 10;
                                                            p.y = 30;
                                                            return p;
                                                        }(),
                                                        10, 30},
                                           PositionCase{"OffsetFromAnObject", RelativeToA(0, 5, -3), 105, 17},
                                           PositionCase{"AlongTheObjectsDirection",
                                                        RelativeToA(1, 0, 0, 20, 0), 120, 20},
                                           PositionCase{"AQuarterTurnFromTheObjectsDirection",
                                                        RelativeToA(1, 0, 0, 20, 8), 100, 0},
                                           PositionCase{"FromTheObjectsActionPoint", RelativeToA(2, 1, 1),
                                                        100 + ActionX + 1, 20 + ActionY + 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommonObjectsTest, APositionRelativeToAnObjectTakesItsDirectionWhenAsked) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {Action(23, {Num(5)})}));
    PositionDesc p = RelativeToA(4, 0, 0);
    b.AddGroup(Once({AtX(A, 20)}, {Action(1, {appwriter::PositionParameter(9, p)}, C)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(ExtendedOf(Instance(C, 0))->direction, 5);
}

TEST_F(CommonObjectsTest, SettingXRepeatsForEachObjectWithItsOwnValue) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Action(2, {Expr(Of(11, A).Operator(0x20000).Integer(1))}),
                         Action(3, {Expr(Of(1, A).Operator(0x40000).Integer(2))})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Xs(Instances(A)), (std::vector<std::int32_t>{21, 61, 101}));
    for (RunObject* o : Instances(A))
        EXPECT_EQ(o->y, 18);
}

struct DeltaCase {
    std::int32_t dx, dy, direction;
};

TEST(DirectionFromDelta, FollowsTheThirtyTwoDirections) {
    const DeltaCase cases[] = {{10, 0, 0},     {0, -10, 8},   {-10, 0, 16}, {0, 10, 24},   {10, -10, 4},
                               {-10, -10, 12}, {-10, 10, 20}, {10, 10, 28}, {100, -10, 1}, {0, 0, 24}};
    for (const DeltaCase& c : cases)
        EXPECT_EQ(DirectionFromDelta(c.dx, c.dy), c.direction) << c.dx << "," << c.dy;
}

TEST_F(CommonObjectsTest, LookingAtAPositionTurnsTheObject) {
    EventProgramBuilder b;
    PositionDesc above;
    above.x = 20;
    above.y = 0;
    PositionDesc belowRight;
    belowRight.x = 80;
    belowRight.y = 40;
    b.AddGroup(Once({AtX(A, 20)}, {Action(14, {appwriter::PositionParameter(9, above)})}));
    b.AddGroup(Once({AtX(A, 60)}, {Action(14, {appwriter::PositionParameter(9, belowRight)})}));
    // A mask of one direction sets that direction.
    b.AddGroup(Once({AtX(A, 100)}, {Action(23, {appwriter::IntParameter(29, 1 << 12)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(ExtendedOf(Instance(A, 0))->direction, 8);
    EXPECT_EQ(ExtendedOf(Instance(A, 1))->direction, 28);
    EXPECT_EQ(ExtendedOf(Instance(A, 2))->direction, 12);
}

// --- animation ---

TEST_F(CommonObjectsTest, ForcedAnimationFrameAndSpeedAreStoredAndRestored) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {Action(17, {appwriter::ShortParameter(10, 6)}), Action(19, {Num(300)})}));
    b.AddGroup(Once({AtX(A, 60)}, {Action(40, {Num(9)}), Action(15, {})}));
    b.AddGroup(Once({AtX(A, 100)}, {Action(40, {Num(-3)}), Action(41, {}), Action(18, {Num(37)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const ObjectAnimationBlock* first = AnimationOf(Instance(A, 0));
    EXPECT_EQ(first->forcedAnimation, 7);
    EXPECT_EQ(first->current, 6);
    EXPECT_EQ(first->forcedSpeed, 101);
    // A frame beyond the count becomes the last.
    const ObjectAnimationBlock* second = AnimationOf(Instance(A, 1));
    EXPECT_EQ(second->forcedFrame, 2);
    EXPECT_EQ(second->frame, 1);
    EXPECT_NE(second->frameLocked, 0);
    const ObjectAnimationBlock* third = AnimationOf(Instance(A, 2));
    EXPECT_EQ(third->forcedFrame, 0);
    EXPECT_EQ(third->forcedDirection, 5 + 1);
}

// --- visibility, destruction, swapping ---

TEST_F(CommonObjectsTest, HideShowAndFlash) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {Action(26, {})}));
    b.AddGroup(Once({AtX(A, 60)}, {Action(26, {}), Action(27, {})}));
    b.AddGroup(Once({AtX(A, 100)}, {Action(28, {appwriter::IntParameter(2, 100)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const auto hidden = [](RunObject* o) { return (SpriteBlockOf(o)->displayFlags & DisplayHidden) != 0; };
    EXPECT_TRUE(hidden(Instance(A, 0)));
    EXPECT_FALSE(hidden(Instance(A, 1)));
    EXPECT_TRUE(hidden(Instance(A, 2)));
    EXPECT_EQ(SpriteBlockOf(Instance(A, 2))->flashInterval, 100);
    EXPECT_EQ(SpriteBlockOf(Instance(A, 0))->flashInterval, 0);
}

TEST_F(CommonObjectsTest, DestroyedObjectsGoAtTheEndOfTheLoop) {
    EventProgramBuilder b;
    // The second destroy of the same object in the loop changes nothing.
    b.AddGroup(Once({AtX(A, 60)}, {Action(24, {}), Action(24, {})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const std::vector<RunObject*> left = Instances(A);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(Xs(left), (std::vector<std::int32_t>{20, 100}));
    EXPECT_EQ(Instances(B).size(), 2u);
}

TEST_F(CommonObjectsTest, SwappingWithOneObjectChangesNothing) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)}, {Action(25, {})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Xs(Instances(A)), (std::vector<std::int32_t>{20, 60, 100}));
}

TEST_F(CommonObjectsTest, SwappingTwoObjectsExchangesTheirPositions) {
    EventProgramBuilder b;
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, A)}, {Action(25, {})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Xs(Instances(A)), (std::vector<std::int32_t>{20, 100, 60}));
}

// --- shooting ---

TEST_F(CommonObjectsTest, EachShooterShootsFromItsActionPointAndTheShotsJoinTheSelection) {
    EventProgramBuilder b;
    // A spark made before the shots is not one of them.
    b.AddGroup(Once({}, {Rec(TypeCreate, 0, {appwriter::CreateParameter(Spark, {})}, Spark)}));
    PositionDesc from = RelativeToA(2, 0, 0);
    from.directions = 1 << 8;
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, A)},
                    {Action(29, {appwriter::ShootParameter(Spark, 30, from)}), Mark(Spark)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const std::vector<RunObject*> sparks = Instances(Spark);
    ASSERT_EQ(sparks.size(), 3u);
    const std::vector<RunObject*> shots(sparks.begin() + 1, sparks.end());
    // Objects are walked in their instance order, the newest first.
    EXPECT_EQ(Xs(shots), (std::vector<std::int32_t>{100 + ActionX, 60 + ActionX}));
    for (RunObject* shot : shots) {
        EXPECT_EQ(shot->y, 20 + ActionY);
        EXPECT_EQ(ExtendedOf(shot)->direction, 8);
        EXPECT_EQ(ExtendedOf(shot)->speed, 30);
        EXPECT_EQ(ExtendedOf(shot)->movementType, 13);
    }
    // Only the first shot is selected when the marking action runs: it asked for no repeat, having found
    // one spark then.
    EXPECT_EQ(Marked(Spark), (std::vector<bool>{false, true, false}));
    // The shooters play their shooting animation once.
    EXPECT_EQ(AnimationOf(Instance(A, 1))->forcedAnimation, 7);
    EXPECT_EQ(AnimationOf(Instance(A, 0))->forcedAnimation, 0);
}

// --- inks ---

struct InkCase {
    const char* name;
    std::uint32_t ink, parameter; // A's at the start
    EventRecordDesc action;
    std::uint32_t inkAfter, parameterAfter;
};

class InkActions : public CommonObjectsTest, public ::testing::WithParamInterface<InkCase> {};

TEST_P(InkActions, ChangeTheObjectsInkAndItsSprite) {
    const InkCase& c = GetParam();
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {c.action}));
    SceneOptions scene;
    scene.inkOfA = c.ink;
    scene.inkParameterOfA = c.parameter;
    ASSERT_NO_FATAL_FAILURE(Start(b, scene));
    RunObject* o = Instance(A, 0);
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    EXPECT_EQ(block->inkEffect, c.inkAfter);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block->inkParameter), c.parameterAfter);
    const auto* sprite = static_cast<Sprite*>(ExtendedOf(o)->sprite);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->ink, c.inkAfter);
    EXPECT_EQ(static_cast<std::uintptr_t>(sprite->inkParam), c.parameterAfter);
}

constexpr std::uint32_t Keyed = 0x10000000;

INSTANTIATE_TEST_SUITE_P(
    Inks, InkActions,
    ::testing::Values(
        InkCase{"SemiTransparency", Keyed, 0, Action(39, {Num(64)}), Keyed | 1, 64},
        InkCase{"SemiTransparencyIsClamped", Keyed | 1, 10, Action(39, {Num(500)}), Keyed | 1, 128},
        InkCase{"AlphaCoefficient", Keyed, 0, Action(65, {Num(100)}), Keyed | 0x1000,
                (155u << 24) | 0xFFFFFF},
        InkCase{"AlphaCoefficientOfASemiTransparentInk", Keyed | 1, 64, Action(65, {Num(100)}),
                Keyed | 0x1000, (155u << 24) | 0xFFFFFF},
        InkCase{"RgbCoefficient", Keyed, 0, Action(66, {Num(0x112233)}), Keyed | 0x1000, 0xFF332211},
        InkCase{"InkByName", Keyed | 1, 64, Action(63, {Text(u"add")}), Keyed | 0x1000 | 9,
                (127u << 24) | 0xFFFFFF},
        InkCase{"UnknownInkNameChangesNothing", Keyed | 1, 64, Action(63, {Text(u"Sparkle")}), Keyed | 1, 64},
        InkCase{"InkAndParameter", Keyed | 0x1000, 0x80FFFFFF, Action(38, {appwriter::InkParameter(1, 40)}),
                Keyed | 1, 40}),
    [](const auto& info) { return std::string(info.param.name); });

// --- layers and sprite order ---

TEST_F(CommonObjectsTest, MovingToALayerTakesTheSpriteAlongAndALayerBeyondTheFrameIsIgnored) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {Action(61, {Num(2)})}));
    b.AddGroup(Once({AtX(A, 60)}, {Action(61, {Num(5)})}));
    SceneOptions scene;
    scene.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0}};
    b.AddGroup(Once({AtX(A, 100)}, {Action(61, {Num(3)})}));
    ASSERT_NO_FATAL_FAILURE(Start(b, scene));
    RunObject* moved = Instance(A, 0);
    EXPECT_EQ(moved->layer, 1);
    EXPECT_EQ(static_cast<Sprite*>(ExtendedOf(moved)->sprite)->layerKey, 1 * 2 + 1);
    EXPECT_EQ(Instance(A, 1)->layer, 0);
    // A hidden layer hides the objects moved onto it.
    EXPECT_EQ(Instance(A, 2)->layer, 2);
    EXPECT_NE(SpriteBlockOf(Instance(A, 2))->displayFlags & DisplayHidden, 0);
}

TEST_F(CommonObjectsTest, BringingToFrontAndSendingToBack) {
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 20)}, {Action(57, {})}));
    b.AddGroup(Once({AtX(A, 100)}, {Action(58, {})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const auto sprite = [&](std::size_t n) {
        return static_cast<Sprite*>(ExtendedOf(Instance(A, n))->sprite);
    };
    EXPECT_TRUE(IsSpriteInFront(SpritesOfFrame(), sprite(0), sprite(1)));
    EXPECT_TRUE(IsSpriteBehind(SpritesOfFrame(), sprite(2), sprite(1)));
}

// --- fonts and text colour ---

// A's objects tell a font of their own here, as text objects do.
std::map<const RunObject*, win32::LOGFONTW>& Fonts() {
    static std::map<const RunObject*, win32::LOGFONTW> fonts;
    return fonts;
}
std::map<const RunObject*, win32::COLORREF>& Colours() {
    static std::map<const RunObject*, win32::COLORREF> colours;
    return colours;
}

void InstallTestFonts() {
    Fonts().clear();
    Colours().clear();
    ObjectTextRoutines& r = KindTextRoutines()[Active];
    r.getFont = [](RunObject* o, win32::LOGFONTW* f) {
        auto it = Fonts().find(o);
        if (it == Fonts().end()) {
            win32::LOGFONTW initial{};
            initial.lfHeight = -16;
            initial.lfWeight = 400;
            std::u16string_view face = u"Sans";
            std::copy(face.begin(), face.end(), initial.lfFaceName);
            it = Fonts().emplace(o, initial).first;
        }
        *f = it->second;
        return true;
    };
    r.setFont = [](RunObject* o, const win32::LOGFONTW* f, const win32::RECT*) { Fonts()[o] = *f; };
    r.getTextColor = [](RunObject* o) { return Colours()[o]; };
    r.setTextColor = [](RunObject* o, win32::COLORREF c) { Colours()[o] = c; };
}

TEST_F(CommonObjectsTest, FontActionsConditionsAndExpressions) {
    InstallTestFonts();
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)}, {Action(50, {Text(u"Serif")}), Action(51, {Num(9), Num(0)}),
                                   Action(52, {Num(1)}), Action(53, {Num(1)}), Action(56, {Num(0x123456)})}));
    b.AddGroup(
        Once({Rec(Active, -37, {}, A), Rec(Active, -38, {}, A), Rec(Active, -39, {}, A, true)}, {Mark(A)}));
    b.AddGroup(Once({AtX(A, 60)},
                    {SetValue(A, 2, Of(20, A)), SetValue(A, 3, Of(21, A)), SetValue(A, 4, Of(22, A))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    RunObject* o = Instance(A, 1);
    const win32::LOGFONTW& f = Fonts()[o];
    EXPECT_EQ(std::u16string(f.lfFaceName), u"Serif");
    EXPECT_EQ(f.lfHeight, -12);
    EXPECT_EQ(f.lfWeight, 700);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(Colours()[o], 0x123456u);
    // Negation is not applied to the font conditions: the underline test fails.
    EXPECT_EQ(Marked(A), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Value(o, 2).Text(), u"Serif");
    EXPECT_EQ(Value(o, 3).integer, 9);
    EXPECT_EQ(Value(o, 4).integer, 0x123456);
}

// --- object loops ---

// The loop takes A's objects in their instance order, the newest first.
TEST_F(CommonObjectsTest, AnObjectLoopRunsItsEventsOnceForEachObjectInOrder) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Action(76, {Text(u"Loop")})}));
    b.AddGroup(
        Every({Rec(Active, -41, {Text(u"LOOP")}, A)},
              {SetValue(A, 2, ExpressionBuilder().Object(Active, 34, A).Operator(0x20000).Integer(10))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Ints(Instances(A), 2), (std::vector<std::int32_t>{12, 11, 10}));
}

TEST_F(CommonObjectsTest, APairLoopRunsBothLoopsWithTheSameIndex) {
    EventProgramBuilder b;
    // Each pass takes the next object of A and of B.
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, A)},
                    {Action(77, {Text(u"Pair"), appwriter::ObjectParameter(B, Active)})}));
    // In the first loop's events, the second loop's current object is B's object of the same index.
    b.AddGroup(Every({Rec(Active, -41, {Text(u"Pair")}, A), Rec(Active, -41, {Text(u"Pair")}, B)},
                     {SetValue(B, 2, Of(11, A))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Ints(Instances(B), 2), (std::vector<std::int32_t>{60, 100}));
}

} // namespace
