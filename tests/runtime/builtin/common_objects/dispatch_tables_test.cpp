// The dispatch tables after the routines are installed, walked against the numbers the objects answer:
// every listed number reaches a routine, every other one the do-nothing routine, and no number reaches past a
// table.
#include "builtin/system_objects.h"
#include "events/dispatch.h"
#include "startup/event_program.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

using namespace vtrrt;

class DispatchTables : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRoutineTables();
        InstallSystemObjectRoutines();
    }
    void TearDown() override { ResetRoutineTables(); }
};

std::set<int> Range(int first, int last) {
    std::set<int> s;
    for (int n = first; n <= last; ++n)
        s.insert(n);
    return s;
}

// The numbers each kind answers.
const std::set<int> CommonConditions = Range(-43, -1);
const std::set<int> CommonActions = Range(0, 79);
const std::set<int> CommonExpressions = Range(1, 42);
const std::set<int> ActiveActions = Range(80, 89);
const std::set<int> ActiveExpressions = Range(80, 83);
const std::set<int> CreateConditions = Range(-23, -1);
const std::set<int> CreateActions = {0, 1};
const std::set<int> CreateExpressions = {0};
const std::set<int> SpecialExpressionsBuiltHere = Range(62, 65);

TEST_F(DispatchTables, TheCommonTablesHoldEveryListedNumberAndNothingElse) {
    for (std::int16_t type = 2; type <= 7; ++type) {
        for (int n = -80; n <= -1; ++n) {
            const bool listed = CommonConditions.count(n) > 0;
            EXPECT_EQ(RegisteredConditionRoutine(type, n) != nullptr, listed) << type << " " << n;
            EXPECT_EQ(RegisteredConditionOnObjectRoutine(type, n) != nullptr, listed) << type << " " << n;
            EXPECT_EQ(RegisteredConditionRoutine(type, n), RegisteredConditionRoutine(2, n));
        }
        for (int n = 0; n <= 79; ++n) {
            EXPECT_EQ(RegisteredActionRoutine(type, n) != nullptr, CommonActions.count(n) > 0) << n;
            EXPECT_EQ(RegisteredExpressionRoutine(type, n) != nullptr, CommonExpressions.count(n) > 0) << n;
        }
    }
}

TEST_F(DispatchTables, TheActiveObjectsOwnTablesHoldItsNumbers) {
    for (int n = 80; n < 80 + OwnRoutineCapacity; ++n) {
        EXPECT_EQ(RegisteredActionRoutine(2, n) != nullptr, ActiveActions.count(n) > 0) << n;
        EXPECT_EQ(RegisteredExpressionRoutine(2, n) != nullptr, ActiveExpressions.count(n) > 0) << n;
        EXPECT_EQ(RegisteredConditionRoutine(2, -1 - n), nullptr) << n;
    }
    // The other kinds' own numbers belong to their own objects, not to the active object.
    for (std::int16_t type = 3; type <= 7; ++type)
        EXPECT_NE(RegisteredActionRoutine(type, 80), RegisteredActionRoutine(2, 80)) << type;
}

TEST_F(DispatchTables, TheCreateObjectAndSpecialObjectTablesHoldTheirNumbers) {
    for (int n = -OwnRoutineCapacity; n <= -1; ++n)
        EXPECT_EQ(RegisteredConditionRoutine(TypeCreate, n) != nullptr, CreateConditions.count(n) > 0) << n;
    for (int n = 0; n < OwnRoutineCapacity; ++n) {
        EXPECT_EQ(RegisteredActionRoutine(TypeCreate, n) != nullptr, CreateActions.count(n) > 0) << n;
        EXPECT_EQ(RegisteredExpressionRoutine(TypeCreate, n) != nullptr, CreateExpressions.count(n) > 0) << n;
    }
    for (int n : SpecialExpressionsBuiltHere)
        EXPECT_NE(RegisteredExpressionRoutine(TypeSpecial, n), nullptr) << n;
}

// A record of any number, as the dispatchers read it.
std::array<std::uint8_t, 16> RecordOf(std::int16_t type, std::int16_t number) {
    std::array<std::uint8_t, 16> r{};
    r[0] = 16;
    r[2] = static_cast<std::uint8_t>(type);
    r[3] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(type) >> 8);
    r[4] = static_cast<std::uint8_t>(number);
    r[5] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(number) >> 8);
    r[8] = r[9] = 0xFF; // no object info
    return r;
}

TEST_F(DispatchTables, NumbersWithoutARoutineDoNothing) {
    // Common conditions past the listed ones, numbers far past every own table, and numbers of the wrong
    // sign: false, and no object is touched (there is none to touch).
    for (std::int16_t number : {-44, -60, -80, -81, -208, -32768, 5}) {
        auto r = RecordOf(2, number);
        EXPECT_EQ(ConditionDispatchOf(2)(r.data()), 0) << number;
        EXPECT_EQ(ConditionOnObjectDispatchOf(3)(r.data(), nullptr), 0) << number;
    }
    for (std::int16_t number : {90, 207, 208, 32767, -1}) {
        auto r = RecordOf(3, number);
        ActionDispatchOf(3)(r.data());
        auto c = RecordOf(TypeCreate, number);
        ActionDispatchOf(TypeCreate)(c.data());
    }
}

} // namespace
