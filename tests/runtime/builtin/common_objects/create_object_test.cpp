// The create-object object: objects created by definition (at a position, or at each object of another
// object info) and by name, joining the selection; and its conditions over the whole frame.
#include "common_objects_fixture.h"
#include "events/dispatch.h"

using namespace commontest;

namespace {

constexpr int Equal = 0, Greater = 5;

ExpressionBuilder Int(std::int32_t n) {
    return ExpressionBuilder().Integer(n);
}
EventRecordDesc Create(std::uint16_t info, PositionDesc at) {
    return Rec(TypeCreate, 0, {appwriter::CreateParameter(info, at)}, info);
}
PositionDesc At(std::int16_t x, std::int16_t y, std::int16_t layer = 0) {
    PositionDesc p;
    p.x = x;
    p.y = y;
    p.layer = layer;
    return p;
}
std::vector<std::pair<std::int32_t, std::int32_t>> Places(const std::vector<RunObject*>& objects) {
    std::vector<std::pair<std::int32_t, std::int32_t>> out;
    for (RunObject* o : objects)
        out.push_back({o->x, o->y});
    return out;
}

TEST_F(CommonObjectsTest, CreatingByDefinitionAtAPosition) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Create(Spark, At(50, 60)), Mark(Spark)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Places(Instances(Spark)), (std::vector<std::pair<std::int32_t, std::int32_t>>{{50, 60}}));
    EXPECT_EQ(Marked(Spark), (std::vector<bool>{true}));
    // The events' maximum of objects leaves room for those created while the frame runs.
    EXPECT_GE(CurrentRunState()->maxObjects, 300);
}

// Relative to an object, the action repeats for each selected object of it; each new object joins the
// selection, which an action of the same pass then acts on.
TEST_F(CommonObjectsTest, CreatingAtEachSelectedObject) {
    EventProgramBuilder b;
    PositionDesc at;
    at.parent = A;
    at.y = 10;
    b.AddGroup(Once({Rec(Active, -17, {Compare(Greater, Int(50))}, A)}, {Create(Spark, at)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Places(Instances(Spark)),
              (std::vector<std::pair<std::int32_t, std::int32_t>>{{100, 30}, {60, 30}}));
}

TEST_F(CommonObjectsTest, CreatingByNameIgnoresCaseAndAnUnknownNameCreatesNothing) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Rec(TypeCreate, 1, {Text(u"sPaRk"), appwriter::PositionParameter(16, At(7, 8))}),
                         Rec(TypeCreate, 1, {Text(u"Nobody"), appwriter::PositionParameter(16, At(9, 9))})}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Places(Instances(Spark)), (std::vector<std::pair<std::int32_t, std::int32_t>>{{7, 8}}));
    EXPECT_EQ(CurrentRunState()->objectCount, 7);
}

TEST_F(CommonObjectsTest, AnObjectCreatedOnAHiddenLayerIsHidden) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Create(Spark, At(10, 10, 1))}));
    SceneOptions scene;
    scene.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0}};
    ASSERT_NO_FATAL_FAILURE(Start(b, scene));
    RunObject* spark = Instance(Spark, 0);
    ASSERT_NE(spark, nullptr);
    EXPECT_EQ(spark->layer, 1);
    EXPECT_NE(SpriteBlockOf(spark)->displayFlags & DisplayHidden, 0);
}

struct PickCase {
    const char* name;
    EventRecordDesc condition;
    std::vector<bool> a, b;
};

class CreateObjectConditions : public CommonObjectsTest, public ::testing::WithParamInterface<PickCase> {};

TEST_P(CreateObjectConditions, CountAndPickOverTheFrame) {
    const PickCase& c = GetParam();
    EventProgramBuilder b;
    b.AddGroup(Once({c.condition}, {Mark(A), Mark(B)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Marked(A), c.a);
    EXPECT_EQ(Marked(B), c.b);
}

EventRecordDesc Condition(std::int16_t number, std::vector<EventParameterDesc> parameters,
                          bool negated = false) {
    return Rec(TypeCreate, number, std::move(parameters), 0, negated);
}
EventParameterDesc Zone(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b) {
    return appwriter::ZoneParameter(l, t, r, b);
}

const std::vector<bool> AllA{true, true, true}, NoA{false, false, false}, AllB{true, true}, NoB{false, false};

INSTANTIATE_TEST_SUITE_P(
    Conditions, CreateObjectConditions,
    ::testing::Values(
        PickCase{"NoActiveObjectInAnEmptyZone", Condition(-1, {Zone(0, 100, 10, 110)}), AllA, AllB},
        PickCase{"NoActiveObjectInAZoneWithOne", Condition(-1, {Zone(0, 0, 30, 30)}), NoA, NoB},
        PickCase{"NoActiveObjectInAZoneWithOneNegated", Condition(-1, {Zone(0, 0, 30, 30)}, true), AllA,
                 AllB},
        PickCase{"CountOfActiveObjectsInAZone", Condition(-2, {Zone(0, 0, 320, 50), Compare(Equal, Int(4))}),
                 AllA, AllB},
        PickCase{"CountOfActiveObjects", Condition(-3, {Compare(Equal, Int(6))}), AllA, AllB},
        // The only object of a zone, picked "at random", is the only one left selected.
        PickCase{"PickOneInAZoneAtRandom", Condition(-4, {Zone(0, 0, 30, 30)}), {true, false, false}, NoB},
        PickCase{"PickTheActiveObjectsInAZone",
                 Condition(-6, {Zone(50, 0, 230, 200)}),
                 {false, true, true},
                 {true, false}},
        PickCase{"PickByFixedValue", Condition(-7, {Num((2 << 16) | 1)}), {false, true, false}, AllB},
        PickCase{"AFixedValueOfAnotherCreationFails", Condition(-7, {Num((9 << 16) | 1)}), NoA, NoB},
        PickCase{"PickByAlterableValue", Condition(-8, {Expr(Int(0), 53), Compare(Greater, Int(3))}), AllA,
                 NoB},
        PickCase{"NeverHolds", Condition(-9, {}), NoA, NoB},
        PickCase{"PickByFlagOff", Condition(-12, {Num(3)}), AllA, AllB},
        PickCase{"PickByFlagOn", Condition(-11, {Num(3)}), NoA, NoB},
        PickCase{"CountOfObjects", Condition(-15, {Compare(Equal, Int(6))}), AllA, AllB},
        PickCase{"PickTheObjectsInAZone", Condition(-18, {Zone(190, 90, 230, 130)}), NoA, {true, false}},
        PickCase{"PickAnyObjectByFixedValue", Condition(-19, {Num((4 << 16) | 3)}), AllA, {true, false}},
        PickCase{"PickTheObjectsCrossingALine", Condition(-23, {Num(0), Num(24), Num(320), Num(24)}), AllA,
                 NoB}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommonObjectsTest, CountingObjectsSeesThoseCreatedEarlierInTheLoop) {
    EventProgramBuilder b;
    b.AddGroup(Once({}, {Create(Spark, At(5, 5))}));
    b.AddGroup(Once({Condition(-15, {Compare(Equal, Int(7))})}, {Mark(A)}));
    b.AddGroup(Once({}, {SetValue(A, 2, ExpressionBuilder().Object(TypeCreate, 0, 0))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Marked(A), AllA);
    EXPECT_EQ(Value(Instance(A, 0), 2).integer, 7);
}

TEST_F(CommonObjectsTest, PickingOneObjectAtRandomClearsEverySelection) {
    EventProgramBuilder b;
    b.AddGroup(Once({Condition(-17, {})}, {Mark(A), Mark(B)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const std::vector<bool> a = Marked(A), bMarks = Marked(B);
    // One object of the six, perhaps C (which has no value to mark).
    EXPECT_LE(std::count(a.begin(), a.end(), true) + std::count(bMarks.begin(), bMarks.end(), true), 1);
}

} // namespace

namespace {

// Routines called with decoded parameters (object extensions) get positions and directions resolved.
TEST_F(CommonObjectsTest, DecodedPositionsAndDirections) {
    EventProgramBuilder b;
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const auto bytes = [](const EventParameterDesc& d) {
        appwriter::Bytes p(4, 0);
        p.insert(p.end(), d.payload.begin(), d.payload.end());
        p[0] = static_cast<std::uint8_t>(p.size());
        p[2] = static_cast<std::uint8_t>(d.code);
        return p;
    };
    std::int32_t type = 0, comparison = 0;
    int ok = 0;
    appwriter::Bytes position = bytes(appwriter::PositionParameter(16, At(5, 7)));
    EXPECT_EQ(DecodeParameter(2, &type, &comparison, &ok, 40, position.data(), nullptr), (5 << 16) | 7);
    EXPECT_EQ(ok, 1);
    appwriter::Bytes mask = bytes(appwriter::IntParameter(29, 1 << 19));
    EXPECT_EQ(DecodeParameter(2, &type, &comparison, &ok, 40, mask.data(), nullptr), 19);
    EXPECT_EQ(ok, 1);
}

} // namespace
