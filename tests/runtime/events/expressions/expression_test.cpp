#include "runtime/event_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace eventtest;
using appwriter::ExpressionBuilder;

namespace {

constexpr std::int32_t Add = OperatorAddCode, Sub = OperatorSubtractCode, Mul = OperatorMultiplyCode,
                       Div = OperatorDivideCode, Mod = OperatorModuloCode, Pow = OperatorPowerCode,
                       And = OperatorAndCode, Or = OperatorOrCode, Xor = OperatorXorCode;

class Expressions : public ::testing::Test {
protected:
    Expressions() { frame_.Attach(); }
    TypedValue Evaluate(const ExpressionBuilder& e) {
        bytes_ = ExpressionParameterBytes(e);
        return *EvaluateExpressionParameter(bytes_.data());
    }
    // Integers and operators alternating: {2, Add, 3} and so on.
    TypedValue EvaluateInts(const std::vector<std::int32_t>& items) {
        ExpressionBuilder e;
        bool operand = true;
        for (std::int32_t v : items) {
            operand ? e.Integer(v) : e.Operator(v);
            operand = !operand;
        }
        return Evaluate(e);
    }
    Frame frame_;
    appwriter::Bytes bytes_;
};

struct PrecedenceCase {
    const char* name;
    std::vector<std::int32_t> items;
    std::int32_t expected;
};

class Precedence : public Expressions, public ::testing::WithParamInterface<PrecedenceCase> {};

// A higher operator code binds tighter, and equal codes go left to right: stored programs rely on it.
TEST_P(Precedence, HigherCodeBindsTighter) {
    const TypedValue v = EvaluateInts(GetParam().items);
    ASSERT_EQ(v.type, TypeInteger);
    EXPECT_EQ(v.integer, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Precedence,
    ::testing::Values(PrecedenceCase{"AddThenMultiply", {2, Add, 3, Mul, 4}, 14},
                      PrecedenceCase{"MultiplyThenAdd", {2, Mul, 3, Add, 4}, 10},
                      PrecedenceCase{"SubtractsLeftToRight", {10, Sub, 4, Sub, 3}, 3},
                      PrecedenceCase{"SubtractThenAdd", {10, Sub, 4, Add, 3}, 9},
                      PrecedenceCase{"AddThenSubtractBindsRight", {10, Add, 4, Sub, 3}, 11},
                      PrecedenceCase{"DivideBeforeMultiply", {7, Mul, 3, Div, 2}, 7},
                      PrecedenceCase{"ModuloBindsTighterThanDivide", {20, Div, 7, Mod, 4}, 6},
                      PrecedenceCase{"XorBindsTightest", {1, Or, 6, Xor, 3}, 5},
                      PrecedenceCase{"AndBelowOr", {12, And, 10, Or, 1}, 8},
                      PrecedenceCase{"DivisionByZero", {7, Div, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Expressions, UnaryMinusBindsToItsOperand) {
    ExpressionBuilder e;
    e.Operator(Sub).Integer(5).Operator(Add).Integer(2);
    EXPECT_EQ(Evaluate(e).integer, -3);
    ExpressionBuilder twice;
    twice.Operator(Sub).Operator(Sub).Integer(4);
    EXPECT_EQ(Evaluate(twice).integer, 4);
}

TEST_F(Expressions, PowerGivesADouble) {
    const TypedValue v = EvaluateInts({2, Pow, 3});
    ASSERT_EQ(v.type, TypeDouble);
    EXPECT_DOUBLE_EQ(v.real, 8.0);
}

TEST_F(Expressions, ParenthesesGroupAndTheCloseIsSkipped) {
    ExpressionBuilder e;
    e.Open().Integer(1).Operator(Add).Integer(2).Close().Operator(Mul).Integer(3);
    EXPECT_EQ(Evaluate(e).integer, 9);
    ExpressionBuilder negated;
    negated.Operator(Sub).Open().Integer(1).Operator(Add).Integer(2).Close().Operator(Mul).Integer(2);
    EXPECT_EQ(Evaluate(negated).integer, -6);
}

TEST_F(Expressions, MixesDoublesAndJoinsStrings) {
    ExpressionBuilder d;
    Double(d.Integer(1).Operator(Add), 0.25);
    const TypedValue v = Evaluate(d);
    ASSERT_EQ(v.type, TypeDouble);
    EXPECT_DOUBLE_EQ(v.real, 1.25);
    ExpressionBuilder s;
    s.String(u"ab").Operator(Add).String(u"cd").Operator(Add).Integer(1);
    bytes_ = ExpressionParameterBytes(s, 45);
    EXPECT_EQ(std::u16string(EvaluateStringParameter(bytes_.data())), u"abcd");
    ExpressionBuilder n;
    n.Integer(4);
    bytes_ = ExpressionParameterBytes(n, 45);
    EXPECT_EQ(std::u16string(EvaluateStringParameter(bytes_.data())), u"");
}

// A function of the special object whose two arguments are expressions: the larger of both.
constexpr std::int16_t MaxNumber = 40;
void MaxFunction() {
    StepToken(); // its own token
    const TypedValue a = *EvaluateExpression();
    StepToken(); // the separator
    const TypedValue b = *EvaluateExpression();
    ExpressionTop() = a.IsGreater(b) ? a : b; // current token left on the close
}

ExpressionBuilder& MaxOpen(ExpressionBuilder& e) {
    return e.Raw(static_cast<std::int32_t>((static_cast<std::uint32_t>(MaxNumber) << 16) | 0xFFFF), {});
}

TEST_F(Expressions, FunctionsEvaluateNestedArguments) {
    SetExpressionRoutine(TypeSpecial, MaxNumber, MaxFunction);
    // 1 + max(2 * 3, max(4, 10 - 1)) * 2 = 1 + 9 * 2
    ExpressionBuilder e;
    e.Integer(1).Operator(Add);
    MaxOpen(e).Integer(2).Operator(Mul).Integer(3).Comma();
    MaxOpen(e).Integer(4).Comma().Integer(10).Operator(Sub).Integer(1).Close();
    e.Close().Operator(Mul).Integer(2);
    EXPECT_EQ(Evaluate(e).integer, 19);
}

TEST_F(Expressions, NestingDeeperThanTheStackGivesZero) {
    ExpressionBuilder deep;
    for (int i = 0; i < 300; ++i)
        deep.Open();
    deep.Integer(5);
    for (int i = 0; i < 300; ++i)
        deep.Close();
    const TypedValue v = Evaluate(deep);
    EXPECT_EQ(v.type, TypeInteger);
    EXPECT_EQ(v.integer, 0);
    EXPECT_EQ(frame_.State().stackIndex, 0);
    // The stack is usable again, and nesting within the stack still works.
    ExpressionBuilder fits;
    for (int i = 0; i < 100; ++i)
        fits.Open();
    fits.Integer(5);
    for (int i = 0; i < 100; ++i)
        fits.Close();
    EXPECT_EQ(Evaluate(fits).integer, 5);
    ExpressionBuilder minus;
    for (int i = 0; i < 301; ++i)
        minus.Operator(Sub);
    minus.Integer(5);
    EXPECT_EQ(Evaluate(minus).integer, 0);
}

TEST_F(Expressions, UnknownOperandsAndTruncatedStreamsGiveZero) {
    ExpressionBuilder unknown;
    unknown.Raw(0x00050011, {}).Operator(Add).Integer(2); // type 17 has no routines
    EXPECT_EQ(Evaluate(unknown).integer, 2);
    ExpressionBuilder e;
    e.Integer(6).Operator(Mul).Integer(7);
    bytes_ = ExpressionParameterBytes(e);
    bytes_.resize(bytes_.size() - 12); // the last operand and the end are cut off
    bytes_[0] = static_cast<std::uint8_t>(bytes_.size());
    EXPECT_EQ(EvaluateExpressionParameter(bytes_.data())->integer, 0);
}

TEST_F(Expressions, ComparesWithTheParametersOperator) {
    ExpressionBuilder e;
    e.Integer(3);
    bytes_ = ExpressionParameterBytes(e, 23, CompareGreater);
    EXPECT_TRUE(CompareWithExpressionParameter(bytes_.data(), 4));
    EXPECT_FALSE(CompareWithExpressionParameter(bytes_.data(), 3));
    TypedValue v = TypedValue::Double(3.0);
    bytes_ = ExpressionParameterBytes(e, 23, CompareEqual);
    EXPECT_TRUE(CompareWithParameter(v, bytes_.data()));
}

} // namespace
