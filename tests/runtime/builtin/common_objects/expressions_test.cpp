// The common expressions of objects, the active object's own, and the special object's four built beside
// them, read by an action that stores them in an alterable value of A's second object (60, 20).
#include "common_objects_fixture.h"

#include <cstring>

using namespace commontest;

namespace {

constexpr int Equal = 0;
constexpr std::int32_t AddCode = 0x20000;

ExpressionBuilder Int(std::int32_t n) {
    return ExpressionBuilder().Integer(n);
}
EventRecordDesc AtX(std::uint16_t info, std::int32_t x) {
    return Rec(Active, -17, {Compare(Equal, Int(x))}, info);
}
// A function of an object or a system object with integer arguments.
ExpressionBuilder Call(std::int16_t type, std::int16_t number, std::uint16_t info,
                       std::vector<std::int32_t> args) {
    ExpressionBuilder e;
    e.Object(type, number, info);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) e.Comma();
        e.Integer(args[i]);
    }
    return e.Close();
}
// A double constant token (the special object's number 23).
ExpressionBuilder Double(ExpressionBuilder e, double d) {
    appwriter::Bytes payload(8);
    std::memcpy(payload.data(), &d, 8);
    e.Raw(0x0017FFFF, payload);
    return e;
}

struct ExpressionCase {
    const char* name;
    ExpressionBuilder expression;
    std::int32_t type;
    std::int32_t integer = 0;
    double real = 0;
    std::u16string text;
};

ExpressionCase IntCase(const char* name, ExpressionBuilder e, std::int32_t v) {
    return {name, std::move(e), TypeInteger, v, 0, {}};
}
ExpressionCase TextCase(const char* name, ExpressionBuilder e, std::u16string text) {
    return {name, std::move(e), TypeString, 0, 0, std::move(text)};
}
ExpressionCase DoubleCase(const char* name, ExpressionBuilder e, double v) {
    return {name, std::move(e), TypeDouble, 0, v, {}};
}

std::vector<ExpressionCase> Cases() {
    return {
        IntCase("Y", Of(1, A), 20),
        IntCase("X", Of(11, A), 60),
        IntCase("Left", Of(7, A), 60),
        IntCase("Right", Of(8, A), 68),
        IntCase("Top", Of(9, A), 20),
        IntCase("Bottom", Of(10, A), 28),
        IntCase("Width", Of(40, A), 8),
        IntCase("Height", Of(41, A), 8),
        IntCase("Speed", Of(3, A), 0),
        IntCase("Direction", Of(6, A), 0),
        IntCase("AnimationNumber", Of(14, A), 0),
        IntCase("AnimationFrame", Of(2, A), 0),
        IntCase("MovementNumber", Of(18, A), 0),
        IntCase("FixedValue", Of(12, A), (2 << 16) | 1),
        IntCase("NumberOfObjects", Of(15, A), 3),
        IntCase("NumberOfAQualifiersObjects", Of(15, Both), 5),
        IntCase("NumberOfObjectsOfAnObjectInfoWithNone", Of(15, Spark), 0),
        IntCase("AlterableValueInTheToken", OfWith(16, A, 1), 7),
        IntCase("AlterableValueInTheTokenBeyondTheArray", OfWith(16, A, 300), 0),
        IntCase("AlterableValueOfAnArgument", Call(Active, 30, A, {1}), 7),
        IntCase("AlterableValueOfANegativeArgument", Call(Active, 30, A, {-1}), 0),
        IntCase("FlagOfAnArgument", Call(Active, 13, A, {3}), 0),
        TextCase("AlterableStringInTheToken", OfWith(19, A, 0), u"alpha"),
        TextCase("AlterableStringBeyondNine", OfWith(19, A, 12), u""),
        TextCase("AlterableStringOfAnArgument", Call(Active, 31, A, {0}), u"alpha"),
        IntCase("SemiTransparency", Of(17, A), 0),
        IntCase("AlphaCoefficient", Of(27, A), 0),
        IntCase("RgbCoefficientWithoutOne", Of(28, A), 0xFFFFFF),
        IntCase("Layer", Of(23, A), 1),
        IntCase("ActionPointX", Of(25, A), 60 + ActionX),
        IntCase("ActionPointY", Of(26, A), 20 + ActionY),
        IntCase("DistanceToAPoint", Call(Active, 32, A, {63, 24}), 5),
        IntCase("AngleToAPointStraightAbove", Call(Active, 33, A, {60, 0}), 90),
        IntCase("AngleToAPointBelowLeft", Call(Active, 33, A, {50, 30}), 225),
        IntCase("ArgumentsGoOnAfterTheFunction", Call(Active, 32, A, {63, 24}).Operator(AddCode).Integer(1),
                6),
        IntCase("PixelOfTheImage", Call(Active, 80, A, {2, 2}), 0x0000FF),
        DoubleCase("XScale", Of(81, A), 1.0),
        IntCase("DistanceBetweenTwoPoints", Call(TypeSpecial, 62, 0, {0, 0, 3, 4}), 5),
        IntCase("AngleOfAVector", Call(TypeSpecial, 63, 0, {0, 10}), 270),
        IntCase("RangeOfIntegers", Call(TypeSpecial, 64, 0, {15, 0, 10}), 10),
        DoubleCase("RangeOfADouble",
                   Double(ExpressionBuilder().Object(TypeSpecial, 64, 0), 2.5)
                       .Comma()
                       .Integer(0)
                       .Comma()
                       .Integer(10)
                       .Close(),
                   2.5),
        IntCase("RandomBetweenEqualBounds", Call(TypeSpecial, 65, 0, {5, 5}), 5),
    };
}

class CommonExpressions : public CommonObjectsTest, public ::testing::WithParamInterface<ExpressionCase> {};

TEST_P(CommonExpressions, GiveTheirValue) {
    const ExpressionCase& c = GetParam();
    EventProgramBuilder b;
    b.AddGroup(Once({AtX(A, 60)}, {SetValue(A, 2, c.expression)}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const TypedValue v = Value(Instance(A, 1), 2);
    ASSERT_EQ(v.type, c.type);
    if (c.type == TypeString) {
        EXPECT_EQ(v.Text(), c.text);
    } else if (c.type == TypeDouble) {
        EXPECT_EQ(v.real, c.real);
    } else {
        EXPECT_EQ(v.integer, c.integer);
    }
}

INSTANTIATE_TEST_SUITE_P(Expressions, CommonExpressions, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// An expression of an object with no instance gives 0, and the evaluator still goes past its arguments.
TEST_F(CommonObjectsTest, AnExpressionOfNoObjectGivesZeroAndReadsItsArguments) {
    EventProgramBuilder b;
    b.AddGroup(
        Once({AtX(A, 60)}, {SetValue(A, 2, Call(Active, 32, Spark, {3, 4}).Operator(AddCode).Integer(7)),
                            SetValue(A, 3, Of(11, Spark))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    EXPECT_EQ(Value(Instance(A, 1), 2).integer, 7);
    EXPECT_EQ(Value(Instance(A, 1), 3).integer, 0);
}

// The special object's random choice steps the frame's seed once.
TEST_F(CommonObjectsTest, RandomBetweenStepsTheSeedOnce) {
    EventProgramBuilder b;
    b.AddGroup(Every({Always(), AtX(A, 60)}, {SetValue(A, 2, Call(TypeSpecial, 65, 0, {10, 19}))}));
    ASSERT_NO_FATAL_FAILURE(Start(b));
    const std::uint16_t seed = CurrentRunState()->randomSeed;
    Tick();
    const std::uint16_t next = static_cast<std::uint16_t>(seed * 31415u + 1u);
    EXPECT_EQ(CurrentRunState()->randomSeed, next);
    EXPECT_EQ(Value(Instance(A, 1), 2).integer, 10 + static_cast<std::int32_t>((next * 10u) >> 16));
}

} // namespace
