// The special object's named fast loops, on their fast path and through the on-loop list, the loop index
// expression and its cached form, and random chance.
#include "builtin/fast_loops.h"
#include "event_frame.h"

#include <ostream>

using namespace eventruns;

namespace {

EventRecordDesc OnLoop(std::u16string name) {
    return Record(TypeSpecial, -16, {Text(std::move(name))});
}
EventRecordDesc StartLoop(std::u16string name, std::int32_t count) {
    return Record(TypeSpecial, 14, {Text(std::move(name)), Number(count)});
}
EventRecordDesc StopLoop(std::u16string name) {
    return Record(TypeSpecial, 15, {Text(std::move(name))});
}
EventRecordDesc SetIndex(std::u16string name, std::int32_t index) {
    return Record(TypeSpecial, 16, {Text(std::move(name)), Number(index)});
}
ExpressionBuilder LoopIndex(std::u16string name, std::int32_t plus = 0) {
    ExpressionBuilder e;
    SystemExpression(e, TypeSpecial, 46).String(std::move(name)).Close();
    if (plus) e.Operator(appwriter::OperatorAddCode).Integer(plus);
    return e;
}
// A condition that holds when the loop's index is at least n.
EventRecordDesc IndexAtLeast(std::u16string name, std::int32_t n) {
    return Record(
        TypeSpecial, -3,
        {Expression(LoopIndex(std::move(name))),
         appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(n), CompareGreaterOrEqual)});
}

// Runs the program for one loop; the group that starts the loop comes first.
std::vector<std::int32_t> RunOnce(EventFrame& frame, EventProgramBuilder& b) {
    frame.Prepare(b);
    frame.Loop();
    return Values();
}

struct CountCase {
    const char* name;
    std::int32_t count;
    std::vector<std::int32_t> indexes;
};

// Shown by its name: the bytes between its fields are no part of what it is.
void PrintTo(const CountCase& c, std::ostream* out) {
    *out << c.name;
}

class LoopCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(LoopCount, RunsItsIterationsWithTheirIndexes) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", GetParam().count)}));
    b.AddGroup(Group({OnLoop(u"Main")}, {RecorderOf(LoopIndex(u"Main"))}));
    // A negative count runs until the loop is stopped.
    b.AddGroup(Group({OnLoop(u"Main"), IndexAtLeast(u"Main", 4)}, {StopLoop(u"Main")}));
    EXPECT_EQ(RunOnce(frame, b), GetParam().indexes);
}

INSTANTIATE_TEST_SUITE_P(Counts, LoopCount,
                         ::testing::Values(CountCase{"Zero", 0, {}}, CountCase{"Three", 3, {0, 1, 2}},
                                           CountCase{"NegativeUntilStopped", -1, {0, 1, 2, 3, 4}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FastLoops, ALoopStoppedInItsFirstIterationRunsOnceAndKeepsIndexZero) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", 10), RecorderOf(LoopIndex(u"Main", 100))}));
    b.AddGroup(Group({OnLoop(u"Main")}, {Recorder(1), StopLoop(u"Main")}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{1, 100}));
}

TEST(FastLoops, NamesCompareWithoutRegardToCase) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"MAIN", 2)}));
    b.AddGroup(Group({OnLoop(u"Main")}, {RecorderOf(LoopIndex(u"main"))}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{0, 1}));
}

TEST(FastLoops, SettingTheIndexToTheCountEndsTheLoopAfterTheIteration) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", 5)}));
    b.AddGroup(Group({OnLoop(u"Main")}, {Recorder(1), SetIndex(u"Main", 5)}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{1}));
}

TEST(FastLoops, AnInnerLoopGivesTheOuterLoopItsNameBack) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Outer", 2)}));
    b.AddGroup(Group({OnLoop(u"Outer")}, {StartLoop(u"Inner", 2)}));
    b.AddGroup(Group({OnLoop(u"Inner")}, {RecorderOf(LoopIndex(u"Inner"))}));
    b.AddGroup(Group({OnLoop(u"Outer")}, {RecorderOf(LoopIndex(u"Outer", 100))}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{0, 1, 100, 0, 1, 101}));
    for (const Seen& s : Log())
        EXPECT_EQ(s.name, s.value >= 100 ? u"Outer" : u"Inner");
}

// The same loop run through the on-loop list: a computed name anywhere, or an or in one of its groups,
// keeps every loop off the fast path.
TEST(FastLoops, ComputedNamesAndAlternativesRunThroughTheOnLoopList) {
    for (int variant = 0; variant < 2; ++variant) {
        EventFrame frame;
        EventProgramBuilder b;
        b.AddGroup(Group({Always()}, {StartLoop(u"Main", 3)}));
        if (variant == 0) {
            ExpressionBuilder name;
            name.String(u"Ma").Operator(appwriter::OperatorAddCode).String(u"in");
            b.AddGroup(
                Group({Record(TypeSpecial, -16, {Expression(name, 45)})}, {RecorderOf(LoopIndex(u"Main"))}));
        } else {
            b.AddGroup(Group({OnLoop(u"Main"), Record(TypeSpecial, ConditionFilteredOr), OnLoop(u"Other")},
                             {RecorderOf(LoopIndex(u"Main"))}));
        }
        EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{0, 1, 2})) << variant;
        EXPECT_TRUE(variant == 0 ? frame.Events().computedLoopNames != 0
                                 : frame.Events().preparedLoops.at(0).hasAlternatives != 0);
    }
}

// Computed names are worked out once for each start of a loop: only the groups whose name is the loop's run,
// in the list's order, as many times as the loop asks.
TEST(FastLoops, ComputedNamesChooseTheLoopsGroupsOnceForEachStart) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", 2), StartLoop(u"Other", 1)}));
    auto computed = [](std::u16string first, std::u16string second) {
        ExpressionBuilder name;
        name.String(std::move(first)).Operator(appwriter::OperatorAddCode).String(std::move(second));
        return Record(TypeSpecial, -16, {Expression(name, 45)});
    };
    b.AddGroup(Group({computed(u"Ot", u"her")}, {RecorderOf(LoopIndex(u"Other", 200))}));
    b.AddGroup(Group({computed(u"Ma", u"in")}, {RecorderOf(LoopIndex(u"Main"))}));
    b.AddGroup(Group({computed(u"MA", u"IN")}, {RecorderOf(LoopIndex(u"Main", 100))}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{0, 100, 1, 101, 200}));
}

TEST(FastLoops, LoopsAddedWhileALoopRunsLeaveItsEntryIntact) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", 3)}));
    // The first iteration starts loops of new names, so the table grows under the running loop.
    std::vector<EventRecordDesc> actions;
    for (char16_t c = u'A'; c <= u'H'; ++c)
        actions.push_back(StartLoop(std::u16string(1, c), 1));
    actions.push_back(RecorderOf(LoopIndex(u"Main")));
    b.AddGroup(Group({OnLoop(u"Main")}, actions));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(frame.State().loops.size(), 9u);
}

// The actions of a loop's groups run inside an action: the outer action still acts on each of its objects
// once, in turn.
TEST(FastLoops, AnActionAroundALoopGoesOnWithItsOwnObjects) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10), bInfo = frame.AddInfo(11);
    for (int i = 0; i < 3; ++i)
        frame.AddObject(a, 0, 0);
    frame.AddObject(bInfo, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {Record(2, RecordObjectAction, {}, 10), StartLoop(u"Inner", 2)}));
    b.AddGroup(Group({OnLoop(u"Inner")}, {Record(2, RecordObjectAction, {}, 11)}));
    EXPECT_EQ(RunOnce(frame, b), (std::vector<std::int32_t>{2, 3, 3, 1, 0}));
}

TEST(FastLoops, ALoopThatStartsItselfStopsAtABoundedDepth) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Deep", 1)}));
    b.AddGroup(Group({OnLoop(u"Deep")}, {Recorder(1), StartLoop(u"Deep", 1)}));
    EXPECT_EQ(RunOnce(frame, b).size(), 64u);
    EXPECT_EQ(frame.State().loopDepth, 0);
}

// Each run of a group whose actions may need value snapshots takes room for them on the loop's scratch
// stack; a fast loop runs such a group far more often than the stack has room for.
TEST(FastLoops, GroupsThatTakeScratchRoomInALongLoopStopTakingItWhenItIsFull) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10);
    frame.AddObject(a, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {StartLoop(u"Main", 10000)}));
    b.AddGroup(Group({OnLoop(u"Main")}, {Record(2, 25, {}, 10), Record(2, RecordObjectAction, {}, 10)}));
    frame.Prepare(b);
    frame.Loop();
    EXPECT_EQ(Log().size(), 10000u);
    EXPECT_EQ(frame.State().snapshotBase, nullptr);
    EXPECT_LE(frame.Run().eventBufferCurrent, frame.Run().eventBufferLimit);
}

TEST(LoopIndexExpression, ALiteralNameIsCachedAndCheckedByName) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {StartLoop(u"A", 1), StartLoop(u"B", 1)}));
    b.AddGroup(Group({OnLoop(u"B")}, {}));
    b.AddGroup(Group({Always()}, {RecorderOf(LoopIndex(u"B", 10))}));
    frame.Prepare(b);
    switches[0] = true;
    frame.Loop();
    switches[0] = false;
    // The token now reads the loop's place in the table; a table in another order is read by name.
    const std::vector<std::uint8_t>& program = frame.Events().program;
    const auto has = [&](std::int32_t code) {
        for (std::size_t i = 0; i + 4 <= program.size(); ++i)
            if (GetI32(program.data() + i) == code) return true;
        return false;
    };
    EXPECT_TRUE(has(EventCodeOf(TypeSpecial, 66)));
    EXPECT_FALSE(has(EventCodeOf(TypeSpecial, 46)));
    std::swap(frame.State().loops[0], frame.State().loops[1]);
    frame.State().loops[0].index = 7;
    frame.Loop();
    // A loop that ended by its count has its index at the count.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{11, 17}));
    EXPECT_EQ(FindNamedLoop(u"b"), 0);
}

struct ChanceCase {
    const char* name;
    std::int32_t chances, outOf;
    bool always, never;
};

// Shown by its name, as the loop counts are.
void PrintTo(const ChanceCase& c, std::ostream* out) {
    *out << c.name;
}

class RandomChance : public ::testing::TestWithParam<ChanceCase> {};

TEST_P(RandomChance, HoldsAsItsOddsSay) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(
        Group({Always(), Record(TypeSpecial, -26, {Number(GetParam().chances), Number(GetParam().outOf)})},
              {Recorder(1)}));
    frame.Prepare(b);
    frame.Run().randomSeed = 1234;
    for (int i = 0; i < 50; ++i)
        frame.Loop();
    if (GetParam().always) {
        EXPECT_EQ(Log().size(), 50u);
    } else if (GetParam().never) {
        EXPECT_TRUE(Log().empty());
    } else {
        EXPECT_GT(Log().size(), 0u);
        EXPECT_LT(Log().size(), 50u);
    }
}

INSTANTIATE_TEST_SUITE_P(Odds, RandomChance,
                         ::testing::Values(ChanceCase{"AsManyAsOutOf", 5, 5, true, false},
                                           ChanceCase{"MoreThanOutOf", 7, 3, true, false},
                                           ChanceCase{"NoChances", 0, 5, false, true},
                                           ChanceCase{"NegativeOutOfBelowChances", -3, -1, false, true},
                                           ChanceCase{"OneInTwo", 1, 2, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RandomBelow, StepsTheFramesSixteenBitSeed) {
    EventFrame frame;
    frame.Run().randomSeed = 0;
    EXPECT_EQ(RandomBelow(100), 0); // seed 1
    EXPECT_EQ(frame.Run().randomSeed, 1);
    EXPECT_EQ(RandomBelow(65535), 31416 * 65535 >> 16); // seed 31416
    EXPECT_EQ(RandomBelow(0), 0);
    EXPECT_EQ(RandomBelow(1), 0);
}

} // namespace
