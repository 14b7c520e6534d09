#include "runtime/event_test_support.h"

#include "events/extension_host.h"

#include "vtrs2/memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace eventtest;
using appwriter::Bytes;
using appwriter::ExpressionBuilder;

namespace {

int lastCalled = 0;

template <int Id> void Action(std::uint8_t*) {
    lastCalled = Id;
}
template <int Id> int Condition(std::uint8_t*) {
    lastCalled = Id;
    return 1;
}
template <int Id> int ConditionOnObject(std::uint8_t*, RunObject*) {
    lastCalled = Id;
    return 1;
}
template <int Id> void Expression() {
    SetTopInt(Id);
}

class Dispatch : public ::testing::Test {
protected:
    Dispatch() {
        a_ = frame_.AddInfo(10, 2);
        e_ = frame_.AddInfo(20, 33);
        frame_.Attach();
        for (int i = 0; i < 3; ++i)
            frame_.AddObject(a_, i, 0);
        frame_.AddObject(e_, 7, 0);
        frame_.AddObject(e_, 9, 0);
        lastCalled = 0;
        RaiseEventStamp();
    }
    int RunAction(std::int16_t type, std::int16_t number, std::uint16_t ref = 0) {
        lastCalled = 0;
        Bytes r = RecordBytes(type, number, ref, {});
        ActionDispatchOf(type)(r.data());
        return lastCalled;
    }
    std::int32_t EvaluateToken(std::int16_t type, std::int16_t number, std::uint16_t index = 0) {
        ExpressionBuilder e;
        ObjectToken(e, type, number, 0, index);
        bytes_ = ExpressionParameterBytes(e);
        return EvaluateExpressionParameter(bytes_.data())->ToInt();
    }
    // Empties the selection of `ref` in this event.
    static void Keep(std::uint16_t ref) {
        FilterSelection(
            ref, false, [](RunObject*, void*) { return false; }, nullptr);
    }
    Frame frame_;
    Bytes bytes_;
    std::uint16_t a_ = 0, e_ = 0;
};

TEST_F(Dispatch, CommonAndOwnNumbersSplitAtEighty) {
    ASSERT_TRUE(SetCommonActionRoutine(5, Action<1>));
    ASSERT_TRUE(SetActionRoutine(2, 85, Action<2>));
    ASSERT_FALSE(SetActionRoutine(2, 5, Action<3>)); // a common number has no own slot
    EXPECT_EQ(RunAction(2, 5), 1);
    EXPECT_EQ(RunAction(3, 5), 1); // every kind shares the common routines
    EXPECT_EQ(RunAction(2, 85), 2);
    EXPECT_EQ(RunAction(3, 85), 0);

    ASSERT_TRUE(SetCommonConditionRoutine(-3, Condition<4>, ConditionOnObject<5>));
    ASSERT_TRUE(SetConditionRoutine(2, -81, Condition<6>, ConditionOnObject<7>));
    Bytes common = RecordBytes(2, -3, 0, {});
    EXPECT_EQ(ConditionDispatchOf(2)(common.data()), 1);
    EXPECT_EQ(lastCalled, 4);
    EXPECT_EQ(ConditionOnObjectDispatchOf(2)(common.data(), frame_.Object(0)), 1);
    EXPECT_EQ(lastCalled, 5);
    Bytes own = RecordBytes(2, -81, 0, {});
    ConditionDispatchOf(2)(own.data());
    EXPECT_EQ(lastCalled, 6);

    ASSERT_TRUE(SetCommonExpressionRoutine(3, Expression<30>));
    ASSERT_TRUE(SetExpressionRoutine(4, 80, Expression<31>));
    EXPECT_EQ(EvaluateToken(4, 3), 30);
    EXPECT_EQ(EvaluateToken(4, 80), 31);
}

TEST_F(Dispatch, SystemObjectsUseOnlyTheirOwnTables) {
    ASSERT_TRUE(SetActionRoutine(TypeTimer, 2, Action<8>));
    ASSERT_TRUE(SetConditionRoutine(TypeTimer, -1, Condition<9>, nullptr));
    EXPECT_EQ(RunAction(TypeTimer, 2), 8);
    EXPECT_EQ(RunAction(TypeSpeaker, 2), 0);
    Bytes r = RecordBytes(TypeTimer, -1, 0, {});
    EXPECT_EQ(ConditionOnObjectDispatchOf(TypeTimer)(r.data(), frame_.Object(0)), 1);
    EXPECT_EQ(lastCalled, 9);
}

TEST_F(Dispatch, NullAndUnknownTypesAndNumbersDoNothing) {
    for (std::int32_t type : {-8, 0, 1, 10, 31, 128, 1000, INT_MIN}) {
        Bytes r = RecordBytes(static_cast<std::int16_t>(type), -5, 0, {});
        ActionDispatchOf(type)(r.data());
        EXPECT_EQ(ConditionDispatchOf(type)(r.data()), 0) << type;
        EXPECT_EQ(ConditionOnObjectDispatchOf(type)(r.data(), nullptr), 0) << type;
    }
    // Numbers past every table, negative action numbers and condition numbers that are not negative.
    SetCommonActionRoutine(0, Action<1>);
    EXPECT_EQ(RunAction(2, 32767), 0);
    EXPECT_EQ(RunAction(2, -1), 0);
    EXPECT_EQ(RunAction(-1, 32767), 0);
    Bytes positive = RecordBytes(2, 3, 0, {});
    EXPECT_EQ(ConditionDispatchOf(2)(positive.data()), 0);
    Bytes far = RecordBytes(-2, -32768, 0, {});
    EXPECT_EQ(ConditionDispatchOf(-2)(far.data()), 0);
    EXPECT_EQ(EvaluateToken(2, 32767), 0);
    EXPECT_EQ(EvaluateToken(-3, -2), 0);
    EXPECT_EQ(EvaluateToken(120, 90), 0);
    EXPECT_FALSE(SetActionRoutine(2, 80 + OwnRoutineCapacity, Action<1>));
    EXPECT_FALSE(SetExpressionRoutine(-8, 0, Expression<1>));
    EXPECT_FALSE(SetCommonActionRoutine(80, Action<1>));
    EXPECT_FALSE(SetDecodedRoutines(5, DecodedRoutines{}));
}

TEST_F(Dispatch, RoutineTablesHoldTheFourDispatchersInOrder) {
    EventRoutineTables* t = GetRoutineTables();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->conditionOnObject[7 + 2], ConditionOnObjectDispatchOf(2));
    EXPECT_EQ(t->condition[0], ConditionDispatchOf(-7));
    EXPECT_EQ(t->action[134], ActionDispatchOf(127));
    EXPECT_EQ(t->expression[7], ObjectExpressionDispatch[7]);
    FreeMemoryBlock(t);
}

// Decoded routines of an extension: objects each call met, the values handed over.
std::vector<std::pair<int, std::intptr_t>> calls;
int ExtensionAction(RunObject* o, std::intptr_t v1, std::intptr_t) {
    calls.emplace_back(o->x, v1);
    return 0;
}
int ExtensionXIs(RunObject* o, std::intptr_t, std::intptr_t) {
    return o->x; // compared with the parameter by the caller
}
int ExtensionIsSeven(RunObject* o, std::intptr_t, std::intptr_t) {
    return o->x == 7;
}
std::intptr_t ExtensionText(RunObject* o, const std::uint8_t*) {
    o->resultFlags |= ExpressionResultString;
    static char16_t text[] = u"ext";
    return reinterpret_cast<std::intptr_t>(text);
}
std::intptr_t ExtensionHalf(RunObject* o, const std::uint8_t*) {
    o->resultFlags |= ExpressionResultFloat;
    const float f = static_cast<float>(o->x) / 2.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

class ExtensionDispatch : public Dispatch {
protected:
    ExtensionDispatch() {
        calls.clear();
        static const DecodedActionRoutine actions[] = {ExtensionAction, nullptr};
        static const DecodedConditionRoutine conditions[] = {ExtensionXIs, ExtensionIsSeven};
        static const DecodedExpressionRoutine expressions[] = {ExtensionText, ExtensionHalf};
        // The routines of extension type 33 are its application's, which the run state holds.
        DecodedRoutines& d = extensions_[1].routines;
        d.actions = actions;
        d.actionCount = 2;
        d.conditions = conditions;
        d.conditionCount = 2;
        d.expressions = expressions;
        d.expressionCount = 2;
        frame_.Run().extensionRoutines = extensions_;
        frame_.Run().extensionCount = 2;
        EXPECT_FALSE(SetDecodedRoutines(33, d)) << "only the kinds 8 and 9 are set here";
    }
    ExtensionRunRoutines extensions_[2] = {};
};

TEST_F(ExtensionDispatch, ActionsRepeatOverTheSelectionWithDecodedValues) {
    ExpressionBuilder e;
    e.Integer(6).Operator(OperatorMultiplyCode).Integer(7);
    Bytes r = RecordBytes(33, 80, e_, {ExpressionParameterBytes(e)});
    frame_.RunAction(r);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::pair<int, std::intptr_t>{9, 42}));
    EXPECT_EQ(calls[1], (std::pair<int, std::intptr_t>{7, 42}));
    // A null entry calls nothing; no instance at all sets the no-object bit.
    Bytes none = RecordBytes(33, 81, e_, {});
    frame_.RunAction(none);
    EXPECT_EQ(calls.size(), 2u);
    Keep(e_);
    frame_.RunAction(r);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(r[RecordRunFlags] & RecordNoObjectFound);
}

TEST_F(ExtensionDispatch, NegatedConditionKeepsExactlyTheFalseOnes) {
    Bytes r = RecordBytes(33, -82, e_, {}, true);
    EXPECT_EQ(ConditionDispatchOf(33)(r.data()), 1);
    ASSERT_EQ(SelectedCount(e_), 1);
    EXPECT_EQ(FirstConditionObject(e_, nullptr)->x, 9);
}

TEST_F(ExtensionDispatch, ComparisonParametersCompareTheResult) {
    ExpressionBuilder e;
    e.Integer(8);
    Bytes r = RecordBytes(33, -81, e_, {ExpressionParameterBytes(e, 23, CompareGreater)});
    EXPECT_EQ(ConditionDispatchOf(33)(r.data()), 1);
    ASSERT_EQ(SelectedCount(e_), 1);
    EXPECT_EQ(FirstConditionObject(e_, nullptr)->x, 9);
    RaiseEventStamp();
    Bytes one = RecordBytes(33, -82, e_, {});
    EXPECT_EQ(ConditionOnObjectDispatchOf(33)(one.data(), frame_.Object(3)), 1);
    EXPECT_EQ(SelectedCount(e_), 1);
}

TEST_F(ExtensionDispatch, ExpressionsGiveStringsFloatsOrZeroWithoutObject) {
    ExpressionBuilder s;
    ObjectToken(s, 33, 80, 20, e_);
    bytes_ = ExpressionParameterBytes(s, 45);
    EXPECT_EQ(std::u16string(EvaluateStringParameter(bytes_.data())), u"ext");
    EXPECT_EQ(EvaluateToken(33, 81, e_), 4); // 9 / 2 as a double, truncated
    ExpressionBuilder f;
    ObjectToken(f, 33, 81, 20, e_);
    bytes_ = ExpressionParameterBytes(f);
    const TypedValue v = *EvaluateExpressionParameter(bytes_.data());
    ASSERT_EQ(v.type, TypeDouble);
    EXPECT_DOUBLE_EQ(v.real, 4.5);
    EXPECT_EQ(EvaluateToken(33, 81, 7), 0); // no such object info
}

TEST_F(Dispatch, DecodeParameterByCode) {
    std::int32_t type = -1, cmp = 0;
    int ok = 0;
    ExpressionBuilder e;
    e.Integer(5);
    Bytes p = ExpressionParameterBytes(e, 23, CompareLower);
    EXPECT_EQ(DecodeParameter(0, &type, &cmp, &ok, 33, p.data(), nullptr), 5);
    EXPECT_EQ(cmp, CompareLower + 1);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(SlotComparisonValue(0).integer, 5);
    appwriter::ByteWriter w;
    w.U16(14);
    w.U16(42);
    w.I32(-9);
    w.I32(0);
    w.U16(CompareGreater);
    Bytes constant = w.Take();
    EXPECT_EQ(DecodeParameter(1, &type, &cmp, &ok, 33, constant.data(), nullptr), -9);
    EXPECT_EQ(cmp, CompareGreater + 1);
    constant[0] = 8; // too short for its operator
    DecodeParameter(1, &type, &cmp, &ok, 33, constant.data(), nullptr);
    EXPECT_EQ(ok, 0);
}

} // namespace
