// The counter's value rules (a double makes a double counter for good, the limits hold the value, nothing
// changes for an unchanged value) and its own condition, actions and expressions run by a frame's events.
#include "counters_fixture.h"

#include "events/expression.h"
#include "loop/frame_lifecycle.h"
#include "persist/global_object_store.h"

using namespace counterstest;

namespace {

enum class Op { Set, Add, Subtract, Minimum, Maximum };

struct Step {
    Op op;
    TypedValue value;
};

struct RuleCase {
    const char* name;
    std::vector<Step> steps;
    std::int32_t type;
    double value;
};

class CounterRules : public CounterTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(CounterRules, KeepTheValueWithinItsLimitsAndItsType) {
    StartDescribed(
        Application({CounterObject(1, TypeCounter, Digits(), {0, 0, 10})}, {{1, 1, 100, 50, 0, 0, 0}}));
    RunObject* o = Object(0);
    for (const Step& step : GetParam().steps) {
        switch (step.op) {
        case Op::Set:
            SetCounterValue(o, step.value);
            break;
        case Op::Add:
            AddToCounter(o, step.value);
            break;
        case Op::Subtract:
            SubtractFromCounter(o, step.value);
            break;
        case Op::Minimum:
            SetCounterMinimum(o, step.value);
            break;
        case Op::Maximum:
            SetCounterMaximum(o, step.value);
            break;
        }
    }
    const TypedValue v = Value(0);
    ASSERT_EQ(v.type, GetParam().type);
    EXPECT_DOUBLE_EQ(v.ToDouble(), GetParam().value);
}

const TypedValue I3 = TypedValue::Int(3), I4 = TypedValue::Int(4), I8 = TypedValue::Int(8);

INSTANTIATE_TEST_SUITE_P(
    Counters, CounterRules,
    ::testing::Values(
        RuleCase{"AnIntegerStaysAnInteger", {{Op::Set, TypedValue::Int(7)}}, TypeInteger, 7},
        RuleCase{"ADoubleMakesADoubleCounter", {{Op::Set, TypedValue::Double(5.5)}}, TypeDouble, 5.5},
        RuleCase{
            "ALaterIntegerIsADouble", {{Op::Set, TypedValue::Double(5.5)}, {Op::Set, I3}}, TypeDouble, 3.0},
        RuleCase{"IntegerPlusIntegerStaysAnInteger", {{Op::Set, I4}, {Op::Add, I3}}, TypeInteger, 7},
        RuleCase{
            "AddingADoublePromotes", {{Op::Set, I4}, {Op::Add, TypedValue::Double(0.5)}}, TypeDouble, 4.5},
        RuleCase{"HeldAtTheMaximum", {{Op::Set, TypedValue::Int(50)}}, TypeInteger, 10},
        RuleCase{"HeldAtTheMinimum", {{Op::Subtract, I3}}, TypeInteger, 0},
        RuleCase{"ADoubleHeldAtTheMaximum", {{Op::Set, TypedValue::Double(10.5)}}, TypeDouble, 10.0},
        RuleCase{"AMaximumBelowTheValueLowersIt", {{Op::Set, I8}, {Op::Maximum, I4}}, TypeInteger, 4},
        RuleCase{"AMinimumAboveTheValueRaisesIt",
                 {{Op::Set, TypedValue::Int(2)}, {Op::Minimum, I4}},
                 TypeInteger,
                 4},
        RuleCase{
            "AStringChangesNothing", {{Op::Set, I8}, {Op::Set, TypedValue::String(nullptr)}}, TypeInteger, 8},
        RuleCase{
            "IntegerOverflowIsHeldAtTheMaximum",
            {{Op::Maximum, TypedValue::Int(INT32_MAX)}, {Op::Set, TypedValue::Int(INT32_MAX)}, {Op::Add, I3}},
            TypeInteger,
            INT32_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CounterTest, AnIntegerIsHeldAsItsComplement) {
    StartDescribed(
        Application({CounterObject(1, TypeCounter, Digits(), {0, -5, 5})}, {{1, 1, 100, 50, 0, 0, 0}}));
    EXPECT_EQ(Counter(0).value.integer, -1);
    SetCounterValue(Object(0), TypedValue::Int(3));
    EXPECT_EQ(Counter(0).value.integer, ~3);
}

TEST_F(CounterTest, AnUnchangedValueIsNotDisplayedAgain) {
    StartDescribed(
        Application({CounterObject(1, TypeCounter, Digits(), {5, 0, 10})}, {{1, 1, 100, 50, 0, 0, 0}}));
    Tick();
    RunObjectExtended* x = ExtendedOf(Object(0));
    ASSERT_EQ(x->changed, 0);
    AddToCounter(Object(0), TypedValue::Int(0));
    SetCounterValue(Object(0), TypedValue::Int(5));
    EXPECT_EQ(x->changed, 0);
    AddToCounter(Object(0), TypedValue::Int(1));
    EXPECT_EQ(x->changed, 1);
}

// Counters 1 and 2: every loop adds 2 to counter 1; once it reaches 6, counter 2 takes counter 1's value
// plus its maximum, and counter 3 its colour.
appwriter::Bytes CounterProgram() {
    using appwriter::ExpressionBuilder;
    appwriter::EventProgramBuilder b = Program(3);
    const auto action = [](std::uint16_t objectInfo, std::int16_t number, ExpressionBuilder e) {
        appwriter::EventRecordDesc r;
        r.type = TypeCounter;
        r.number = number;
        r.objectInfo = objectInfo;
        r.parameters.push_back(appwriter::ExpressionParameter(22, std::move(e)));
        return r;
    };
    appwriter::EventRecordDesc always;
    always.type = TypeSpecial;
    always.number = -1;
    always.runFlags = RecordEveryLoop;
    appwriter::EventGroupDesc adding;
    adding.conditions = {always};
    adding.actions = {action(1, 81, ExpressionBuilder().Integer(2))};
    b.AddGroup(adding);
    appwriter::EventRecordDesc reached;
    reached.type = TypeCounter;
    reached.number = -81;
    reached.objectInfo = 1;
    reached.runFlags = RecordEveryLoop;
    reached.parameters.push_back(
        appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(6), CompareGreaterOrEqual));
    appwriter::EventGroupDesc copying;
    copying.conditions = {reached};
    ExpressionBuilder sum;
    sum.Object(TypeCounter, 80, 1).Operator(appwriter::OperatorAddCode).Object(TypeCounter, 82, 1);
    ExpressionBuilder colour;
    colour.Object(TypeCounter, 83, 1);
    copying.actions = {action(2, 80, sum), action(1, 85, ExpressionBuilder().Integer(0x123456)),
                       action(3, 80, colour)};
    b.AddGroup(copying);
    return b.ChunkPayload();
}

TEST_F(CounterTest, EventsSetAddCompareAndReadCounters) {
    StartDescribed(Application({CounterObject(1, TypeCounter, Digits(), {0, 0, 100}),
                                CounterObject(2, TypeCounter, Digits(), {0, 0, 1000}),
                                CounterObject(3, TypeCounter, Digits(), {0, 0, 0x7FFFFFFF})},
                               {{1, 1, 40, 20, 0, 0, 0}, {2, 2, 80, 20, 0, 0, 0}, {3, 3, 120, 20, 0, 0, 0}},
                               CounterProgram()));
    for (int loop = 0; loop < 5 && Value(0).integer < 4; ++loop)
        Tick();
    ASSERT_EQ(Value(0).integer, 4);
    EXPECT_EQ(Value(1).integer, 0) << "the comparison does not hold yet";
    Tick();
    EXPECT_EQ(Value(0).integer, 6);
    EXPECT_EQ(Value(1).integer, 106);
    EXPECT_EQ(Counter(0).colour1, 0x123456u);
    EXPECT_EQ(Value(2).integer, 0x123456);
}

} // namespace

namespace {

// A global counter and a global text keep their value and text from one frame to the next.
TEST_F(CounterTest, GlobalCountersAndTextsKeepTheirValueAndTextAcrossFrames) {
    appwriter::ObjectInfoDesc counter = CounterObject(1, TypeCounter, Digits(), {0, -10, 100});
    appwriter::ObjectInfoDesc text = TextObject(2, 60, 20, {{0, 0, 0xFFFFFF, u"Start"}});
    counter.headerFlags = text.headerFlags = InfoHeaderGlobal;
    counter.name = u"Gems";
    text.name = u"Caption";
    appwriter::ApplicationDescription d =
        Application({counter, text}, {{1, 1, 40, 20, 0, 0, 0}, {2, 2, 10, 60, 0, 0, 0}});
    d.frames.push_back(d.frames[0]);
    StartDescribed(d);
    Tick();
    SetCounterValue(Slot(0), TypedValue::Double(42.5));
    SetCounterMinimum(Slot(0), TypedValue::Int(-5));
    ShowTextString(Slot(1), u"Kept");
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    ASSERT_EQ(app_->currentFrameIndex, 1);
    Tick();
    ASSERT_TRUE(Value(0).IsDouble());
    EXPECT_DOUBLE_EQ(Value(0).real, 42.5);
    EXPECT_EQ(Counter(0).limits.minimum, -5);
    EXPECT_EQ(TextShown(Slot(1)), u"Kept");
}

} // namespace
