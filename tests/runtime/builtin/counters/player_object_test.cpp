// The player object: scores and lives as the game sees them (held as complements), their floors, lives
// falling to 0 said once, controls, keys and names.
#include "special_fixture.h"

#include "win32/user.h"

using namespace specialtest;

namespace {

constexpr std::int16_t SetScore = 0, SetLives = 1, IgnoreControls = 2, RestoreControls = 3, AddScore = 4,
                       AddLives = 5, SubtractScore = 6, SubtractLives = 7, SetControlType = 8, SetKey = 9,
                       SetName = 10;

class PlayerObject : public SpecialFrame {
protected:
    void Player(std::int16_t action, std::int32_t value, std::uint16_t player = 0) {
        Act(TypePlayer, action, player, {Expression(ExpressionBuilder().Integer(value))});
    }
    std::int32_t Read(std::int16_t expression, std::uint16_t player = 0) {
        appwriter::ByteWriter w;
        w.U16(player);
        return Evaluate(Call(TypePlayer, expression, {}, w.Take())).integer;
    }
};

TEST_F(PlayerObject, AScoreOfZeroIsStoredAsMinusOne) {
    EXPECT_EQ(Read(0), 0);
    Player(SetScore, 0);
    EXPECT_EQ(scores_[0], -1);
    Player(SetScore, 25, 2);
    EXPECT_EQ(scores_[2], ~25);
    EXPECT_EQ(Read(0, 2), 25);
}

struct FloorCase {
    const char* name;
    std::int16_t action;
    std::int32_t start, operand, result;
};

class ScoreFloors : public PlayerObject, public ::testing::WithParamInterface<FloorCase> {};

TEST_P(ScoreFloors, SubtractingNeverGoesBelowZero) {
    Player(SetScore, GetParam().start);
    Player(GetParam().action, GetParam().operand);
    EXPECT_EQ(Read(0), GetParam().result);
    Player(SetLives, GetParam().start);
    Player(static_cast<std::int16_t>(GetParam().action + 1), GetParam().operand);
    EXPECT_EQ(Read(1), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Players, ScoreFloors,
                         ::testing::Values(FloorCase{"SubtractMoreThanThere", SubtractScore, 3, 10, 0},
                                           FloorCase{"SubtractAll", SubtractScore, 3, 3, 0},
                                           FloorCase{"SubtractSome", SubtractScore, 3, 2, 1},
                                           FloorCase{"AddNegative", AddScore, 3, -10, -7},
                                           FloorCase{"SubtractFromNegative", SubtractScore, -7, 0, 0},
                                           FloorCase{"AddPastTheIntegers", AddScore, INT32_MAX, 5,
                                                     INT32_MAX}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerObject, LivesFallingToZeroSayItOnce) {
    Player(SetLives, 0);
    EXPECT_EQ(frame_.State().pushed.size(), 1u);
    EXPECT_EQ(frame_.State().pushed.front().parameter, 0);
    Player(SetLives, 0);
    Player(SubtractLives, 5);
    EXPECT_EQ(frame_.State().pushed.size(), 1u) << "already at 0";
    EXPECT_EQ(Test(TypePlayer, -5, 0, {}), 1);
    EXPECT_EQ(Test(TypePlayer, -5, 1, {}), 0);
}

TEST_F(PlayerObject, ScoresAndLivesCompareWithExpressions) {
    Player(SetScore, 10);
    EXPECT_EQ(Test(TypePlayer, -2, 0, {Expression(ExpressionBuilder().Integer(10), 22, CompareEqual)}), 1);
    EXPECT_EQ(Test(TypePlayer, -2, 0, {Expression(ExpressionBuilder().Integer(10), 22, CompareGreater)}), 0);
    EXPECT_EQ(Test(TypePlayer, -3, 0, {Expression(ExpressionBuilder().Integer(2), 22, CompareGreater)}), 1);
}

TEST_F(PlayerObject, ControlTypeZeroIsTheKeyboardAndReadsZero) {
    Player(SetControlType, 0);
    EXPECT_EQ(controls_[0], 5);
    EXPECT_EQ(Read(2), 0);
    Player(SetControlType, 7);
    EXPECT_EQ(controls_[0], 5) << "types from 5 up are ignored";
}

TEST_F(PlayerObject, AChangedKeyIsReadBackByItsName) {
    Act(TypePlayer, SetKey, 1, {Expression(ExpressionBuilder().Integer(2)), Constant(14, 'Q')});
    EXPECT_EQ(controls_[4 + 8 + 2], 'Q');
    appwriter::ByteWriter w;
    w.U16(1);
    EXPECT_EQ(Text(Call(TypePlayer, 3, {2}, w.Take())), u"Q");
    w.U16(1);
    EXPECT_EQ(Text(Call(TypePlayer, 3, {8}, w.Take())), u"") << "key indexes run 0 to 7";
    Act(TypePlayer, SetKey, 1, {Expression(ExpressionBuilder().Integer(8)), Constant(14, 'W')});
    EXPECT_EQ(controls_[4 + 8 + 7 + 1], 0) << "an index past the keys changes nothing";
}

TEST_F(PlayerObject, ANameKeepsAtMost99Characters) {
    Act(TypePlayer, SetName, 3, {Expression(ExpressionBuilder().String(u"Alice"))});
    appwriter::ByteWriter w;
    w.U16(3);
    EXPECT_EQ(Text(Call(TypePlayer, 4, {}, w.Take())), u"Alice");
    Act(TypePlayer, SetName, 3, {Expression(ExpressionBuilder().String(std::u16string(150, u'x')))});
    EXPECT_EQ(std::u16string(app_.playerNames[3]).size(), 99u);
}

TEST_F(PlayerObject, PlayersPastTheFourthAreIgnored) {
    const auto before = scores_;
    Player(SetScore, 50, 4);
    Player(AddScore, 50, 0xFFFF);
    Act(TypePlayer, SetName, 9, {Expression(ExpressionBuilder().String(u"Nobody"))});
    EXPECT_EQ(scores_, before);
    EXPECT_EQ(Read(0, 4), 0);
    EXPECT_EQ(Test(TypePlayer, -2, 7, {Expression(ExpressionBuilder().Integer(0), 22, CompareEqual)}), 0);
}

TEST_F(PlayerObject, IgnoredControlsAreMaskedUntilRestored) {
    frame_.Run().enabledControls = 0xFFFFFFFF;
    Player(IgnoreControls, 0, 1);
    EXPECT_EQ(frame_.Run().enabledControls, 0xFFFF00FFu);
    Player(RestoreControls, 0, 1);
    EXPECT_EQ(frame_.Run().enabledControls, 0xFFFFFFFFu);
}

TEST_F(PlayerObject, HeldAndPressedControlsReadThePlayersBits) {
    frame_.Run().playerBits = 0x0900; // player 1 holds up and right
    frame_.Run().changedPlayerBits = 0x0800;
    EXPECT_EQ(Test(TypePlayer, -6, 1, {Constant(3, 0x9)}), 1);
    EXPECT_EQ(Test(TypePlayer, -6, 1, {Constant(3, 0x9)}, true), 0);
    EXPECT_EQ(Test(TypePlayer, -4, 1, {Constant(3, 0x8)}), 1) << "right was pressed this loop";
    EXPECT_EQ(Test(TypePlayer, -4, 1, {Constant(3, 0x1)}), 0) << "up was held already";
}

} // namespace
