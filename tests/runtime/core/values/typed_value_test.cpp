#include "core/event_state.h"
#include "core/typed_value.h"

#include "vtrs2/memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

using namespace vtrrt;

namespace {

enum class Op { Add, Sub, Mul, Div, Mod, Pow, And, Or, Xor, Neg };

// Every operation on integer, double and string pairs: the expected type and value of the left operand.
struct ArithmeticCase {
    const char* name;
    TypedValue a;
    Op op;
    TypedValue b;
    TypedValue expected;
};

TypedValue I(std::int32_t v) {
    return TypedValue::Int(v);
}
TypedValue D(double v) {
    return TypedValue::Double(v);
}
TypedValue S(const char16_t* s) {
    return TypedValue::String(const_cast<char16_t*>(s));
}

void Apply(TypedValue& a, Op op, const TypedValue& b) {
    switch (op) {
    case Op::Add:
        return a.Add(b);
    case Op::Sub:
        return a.SubtractNumber(b);
    case Op::Mul:
        return a.Multiply(b);
    case Op::Div:
        return a.Divide(b);
    case Op::Mod:
        return a.Modulo(b);
    case Op::Pow:
        return a.Power(b);
    case Op::And:
        return a.And(b);
    case Op::Or:
        return a.Or(b);
    case Op::Xor:
        return a.Xor(b);
    case Op::Neg:
        return a.Negate();
    }
}

class Arithmetic : public ::testing::TestWithParam<ArithmeticCase> {
protected:
    Arithmetic() { AttachEventState(&state_, nullptr, nullptr); }
    ~Arithmetic() override {
        ReleaseTemporaryStrings(state_.temporaryStrings);
        AttachEventState(nullptr, nullptr, nullptr);
    }
    EventRunState state_;
};

TEST_P(Arithmetic, GivesTheTypeAndValueOfTheRules) {
    const ArithmeticCase& c = GetParam();
    TypedValue a = c.a;
    Apply(a, c.op, c.b);
    ASSERT_EQ(a.type, c.expected.type);
    if (a.type == TypeInteger) {
        EXPECT_EQ(a.integer, c.expected.integer);
    } else if (a.type == TypeDouble) {
        EXPECT_DOUBLE_EQ(a.real, c.expected.real);
    } else {
        EXPECT_EQ(std::u16string(a.Text()), std::u16string(c.expected.Text()));
    }
}

const char16_t abc[] = u"abc";
const char16_t def[] = u"def";
const char16_t abcdef[] = u"abcdef";

INSTANTIATE_TEST_SUITE_P(
    TypedValues, Arithmetic,
    ::testing::Values(ArithmeticCase{"IntAdd", I(2), Op::Add, I(3), I(5)},
                      ArithmeticCase{"IntAddWraps", I(INT_MAX), Op::Add, I(1), I(INT_MIN)},
                      ArithmeticCase{"IntDoubleAdd", I(2), Op::Add, D(0.5), D(2.5)},
                      ArithmeticCase{"DoubleIntSub", D(2.5), Op::Sub, I(1), D(1.5)},
                      ArithmeticCase{"IntSubWraps", I(INT_MIN), Op::Sub, I(1), I(INT_MAX)},
                      ArithmeticCase{"IntMul", I(6), Op::Mul, I(7), I(42)},
                      ArithmeticCase{"DoubleMul", D(1.5), Op::Mul, D(2), D(3.0)},
                      ArithmeticCase{"IntDivTruncates", I(-7), Op::Div, I(2), I(-3)},
                      ArithmeticCase{"IntDivByZero", I(7), Op::Div, I(0), I(0)},
                      ArithmeticCase{"DoubleDivByZero", D(7), Op::Div, I(0), D(0.0)},
                      ArithmeticCase{"MinDivMinusOneWraps", I(INT_MIN), Op::Div, I(-1), I(INT_MIN)},
                      ArithmeticCase{"IntModSignOfDividend", I(-7), Op::Mod, I(3), I(-1)},
                      ArithmeticCase{"IntModByZero", I(7), Op::Mod, I(0), I(0)},
                      ArithmeticCase{"MinModMinusOne", I(INT_MIN), Op::Mod, I(-1), I(0)},
                      ArithmeticCase{"DoubleMod", D(7.5), Op::Mod, I(2), D(1.5)},
                      ArithmeticCase{"DoubleModByZero", D(7.5), Op::Mod, D(0), D(0.0)},
                      ArithmeticCase{"PowerIsDouble", I(2), Op::Pow, I(3), D(8.0)},
                      ArithmeticCase{"PowerOfStringCountsZero", S(abc), Op::Pow, I(2), D(0.0)},
                      ArithmeticCase{"AndTruncatesDouble", D(7.9), Op::And, I(3), I(3)},
                      ArithmeticCase{"Or", I(4), Op::Or, I(1), I(5)},
                      ArithmeticCase{"XorOfDoubles", D(6.2), Op::Xor, D(3.7), I(5)},
                      ArithmeticCase{"NegateInt", I(5), Op::Neg, I(0), I(-5)},
                      ArithmeticCase{"NegateMinWraps", I(INT_MIN), Op::Neg, I(0), I(INT_MIN)},
                      ArithmeticCase{"NegateDouble", D(1.5), Op::Neg, I(0), D(-1.5)},
                      ArithmeticCase{"StringsJoin", S(abc), Op::Add, S(def), S(abcdef)},
                      ArithmeticCase{"NullStringJoinsAsEmpty", S(nullptr), Op::Add, S(def), S(def)},
                      ArithmeticCase{"StringPlusNumberUnchanged", S(abc), Op::Add, I(1), S(abc)},
                      ArithmeticCase{"NumberPlusStringUnchanged", I(1), Op::Add, S(abc), I(1)},
                      ArithmeticCase{"StringTimesUnchanged", S(abc), Op::Mul, I(2), S(abc)},
                      ArithmeticCase{"StringAndUnchanged", S(abc), Op::And, I(2), S(abc)},
                      ArithmeticCase{"NegateStringUnchanged", S(abc), Op::Neg, I(0), S(abc)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TypedValueConversion, DoublesTruncateTowardZeroAndSaturate) {
    EXPECT_EQ(D(2.9).ToInt(), 2);
    EXPECT_EQ(D(-2.9).ToInt(), -2);
    EXPECT_EQ(D(1e12).ToInt(), INT_MAX);
    EXPECT_EQ(D(-1e12).ToInt(), INT_MIN);
    EXPECT_EQ(D(std::nan("")).ToInt(), 0);
    EXPECT_EQ(D(INFINITY).ToInt(), INT_MAX);
    EXPECT_EQ(S(abc).ToInt(), 0);
    EXPECT_EQ(S(abc).ToDouble(), 0.0);
    EXPECT_EQ(I(-3).ToDouble(), -3.0);
    EXPECT_TRUE(S(nullptr).Text().empty());
}

TEST(TypedValueArithmetic, AddIntAndAddDoubleKeepOrWidenTheType) {
    TypedValue v = I(2);
    v.AddInt(3);
    EXPECT_EQ(v.type, TypeInteger);
    EXPECT_EQ(v.integer, 5);
    v.SubtractDouble(0.5);
    EXPECT_EQ(v.type, TypeDouble);
    EXPECT_DOUBLE_EQ(v.real, 4.5);
}

TEST(TypedValueArithmetic, JoiningWithoutAFrameGivesTheEmptyString) {
    TypedValue v = S(abc);
    v.Add(S(def));
    EXPECT_EQ(v.type, TypeString);
    EXPECT_TRUE(v.Text().empty());
}

struct CompareCase {
    const char* name;
    TypedValue a, b;
    bool results[6]; // =, <>, <=, <, >=, >
};

class Comparisons : public ::testing::TestWithParam<CompareCase> {};

TEST_P(Comparisons, AnswerEveryOperatorAndBothForms) {
    const CompareCase& c = GetParam();
    for (int op = 0; op < 6; ++op) {
        EXPECT_EQ(CompareTypedValues(c.a, c.b, op), c.results[op]) << "operator " << op;
        EXPECT_EQ(CompareValues(c.a, c.b, op), c.results[op]) << "operator " << op;
    }
    EXPECT_FALSE(CompareTypedValues(c.a, c.b, 6));
    EXPECT_FALSE(CompareValues(c.a, c.b, -1));
}

const char16_t upperB[] = u"B";
const char16_t lowerA[] = u"a";
const char16_t three[] = u"3";
const char16_t empty[] = u"";

INSTANTIATE_TEST_SUITE_P(
    TypedValues, Comparisons,
    ::testing::Values(
        CompareCase{"IntEqualsDouble", I(3), D(3.0), {true, false, true, false, true, false}},
        CompareCase{"IntBelowInt", I(-2), I(5), {false, true, true, true, false, false}},
        CompareCase{"DoubleAboveInt", D(2.5), I(2), {false, true, false, false, true, true}},
        CompareCase{"CodeUnitOrder", S(upperB), S(lowerA), {false, true, true, true, false, false}},
        CompareCase{"StringAgainstNumber", S(three), I(3), {false, false, false, false, false, false}},
        CompareCase{"NullEqualsEmpty", S(nullptr), S(empty), {true, false, true, false, true, false}},
        CompareCase{"NaNOrdersNothing", D(std::nan("")), D(1), {false, true, false, false, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompareIntegers, UsesSignedOrderAndRefusesUnknownOperators) {
    EXPECT_TRUE(CompareIntegers(-1, 0, CompareLower));
    EXPECT_TRUE(CompareIntegers(INT_MIN, INT_MAX, CompareLowerOrEqual));
    EXPECT_TRUE(CompareIntegers(4, 4, CompareGreaterOrEqual));
    EXPECT_FALSE(CompareIntegers(4, 4, 9));
}

TEST(PointerList, GrowsByTenAndKeepsOrder) {
    PointerList list;
    int items[25];
    for (int& i : items)
        ASSERT_TRUE(AppendToPointerList(list, &i));
    EXPECT_EQ(list.count, 25);
    EXPECT_EQ(list.capacity, 30);
    EXPECT_EQ(list.items[24], &items[24]);
    FreePointerList(list);
}

} // namespace
