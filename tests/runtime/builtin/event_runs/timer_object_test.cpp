// The timer object: every and its armed form, timer reached and set timer, named timed events fired once or
// repeatedly (several times in one long loop), and the timer's expressions.
#include "event_frame.h"

#include <array>
#include <ostream>

using namespace eventruns;

namespace {

EventParameterDesc Time(std::int32_t ms) {
    return appwriter::IntParameter(ParamTime, ms);
}
// The word a condition keeps between loops.
EventParameterDesc StateWord() {
    return appwriter::IntParameter(ParamZeroed, 0);
}
ExpressionBuilder TimerExpression(std::int16_t n) {
    ExpressionBuilder e;
    SystemExpression(e, TypeTimer, n);
    return e;
}

TEST(TimerConditions, EveryCountsFromZeroAndTheArmedFormCarriesItsOvershoot) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Record(TypeTimer, -4, {Time(1000), StateWord()}))}, {Recorder(4)}));
    b.AddGroup(Group({EveryLoop(Record(TypeTimer, -8, {Time(1000), StateWord()}))}, {Recorder(8)}));
    frame.Prepare(b);
    for (int i = 0; i < 9; ++i)
        frame.Loop(300);
    EXPECT_EQ(LoopsOf(4), (std::vector<std::int64_t>{1, 4, 7}));
    EXPECT_EQ(LoopsOf(8), (std::vector<std::int64_t>{5, 8}));
}

TEST(TimerConditions, TimerReachedFiresOnceAndAgainAfterTheTimerIsSetBack) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeTimer, -3, {Time(5000)})}, {Recorder(3)}));
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Record(TypeTimer, 0, {Time(0)})}));
    frame.Prepare(b);
    for (int i = 0; i < 8; ++i)
        frame.Loop(1000);
    EXPECT_EQ(LoopsOf(3), (std::vector<std::int64_t>{5}));
    switches[0] = true;
    frame.Loop(1000);
    switches[0] = false;
    EXPECT_EQ(frame.Run().frameClock, 0);
    for (int i = 0; i < 6; ++i)
        frame.Loop(1000);
    EXPECT_EQ(LoopsOf(3), (std::vector<std::int64_t>{5, 14}));
}

TEST(TimerConditions, GreaterLessEqualsAndIdle) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeTimer, -1, {Time(50)})}, {Recorder(1)}));
    b.AddGroup(Group({Record(TypeTimer, -2, {Time(50)})}, {Recorder(2)}));
    b.AddGroup(Group({EveryLoop(Record(TypeTimer, -7, {Time(50), StateWord()}))}, {Recorder(7)}));
    b.AddGroup(Group({EveryLoop(Record(TypeTimer, -5, {Time(70)}))}, {Recorder(5)}));
    frame.Prepare(b);
    for (int i = 0; i < 5; ++i)
        frame.Loop(20);
    EXPECT_EQ(LoopsOf(2), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(LoopsOf(1), (std::vector<std::int64_t>{3, 4, 5}));
    // True on the first loop at or after the time only.
    EXPECT_EQ(LoopsOf(7), (std::vector<std::int64_t>{3}));
    EXPECT_EQ(LoopsOf(5), (std::vector<std::int64_t>{4, 5}));
}

// Starts the timed events on the first loop; each firing records the firing index.
class TimedEvents : public ::testing::Test {
protected:
    void Start(std::vector<EventRecordDesc> starts) {
        EventProgramBuilder b;
        b.AddGroup(Group({Always(), Record(TypeSpecial, -6)}, std::move(starts)));
        b.AddGroup(Group({Record(TypeTimer, -6, {Text(u"tick")})}, {RecorderOf(TimerExpression(5))}));
        frame_.Prepare(b);
    }
    static EventRecordDesc Once(std::int32_t delay, std::u16string name) {
        return Record(TypeTimer, 1, {Time(delay), Text(std::move(name))});
    }
    static EventRecordDesc Repeated(std::int32_t delay, std::int32_t count, std::int32_t interval) {
        return Record(TypeTimer, 2, {Time(delay), Number(count), Time(interval), Text(u"Tick")});
    }
    EventFrame frame_;
};

TEST_F(TimedEvents, ARepeatedEventFiresItsCountWithIncreasingIndexes) {
    Start({Repeated(0, 3, 100)});
    for (int i = 0; i < 20; ++i)
        frame_.Loop(20);
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_TRUE(frame_.State().timedEvents.empty());
}

TEST_F(TimedEvents, ALongLoopFiresARepeatedEventForEveryIntervalItPassed) {
    Start({Repeated(0, 10, 100)});
    frame_.Loop(20);
    frame_.Loop(20);
    frame_.Loop(350);
    ASSERT_EQ(Log().size(), 4u);
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(LoopsOf(0), (std::vector<std::int64_t>{2}));
    for (std::int32_t i = 1; i < 4; ++i)
        EXPECT_EQ(LoopsOf(i), (std::vector<std::int64_t>{3}));
}

TEST_F(TimedEvents, TwoEventsOfOneNameBothRaiseIt) {
    Start({Once(0, u"TICK"), Once(40, u"tick")});
    for (int i = 0; i < 4; ++i)
        frame_.Loop(20);
    EXPECT_EQ(Log().size(), 2u);
    EXPECT_TRUE(frame_.State().timedEvents.empty());
}

TEST_F(TimedEvents, AnIntervalOfZeroFiresOnceAndEnds) {
    Start({Repeated(0, 5, 0)});
    for (int i = 0; i < 4; ++i)
        frame_.Loop(20);
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{0}));
    EXPECT_TRUE(frame_.State().timedEvents.empty());
}

struct ExpressionCase {
    std::int32_t timer;
    std::int16_t expression;
    std::int32_t value;
};

// Shown by its fields: the padding after the expression number is no part of it.
void PrintTo(const ExpressionCase& c, std::ostream* out) {
    *out << "timer " << c.timer << " expression " << c.expression << " value " << c.value;
}

class TimerExpressions : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(TimerExpressions, ReadTheTimerInItsUnits) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {RecorderOf(TimerExpression(GetParam().expression))}));
    frame.Prepare(b);
    frame.Run().frameClock = GetParam().timer - 20;
    frame.Loop(20);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{GetParam().value});
}

INSTANTIATE_TEST_SUITE_P(Units, TimerExpressions,
                         ::testing::Values(ExpressionCase{61500, 0, 61500}, ExpressionCase{61500, 1, 50},
                                           ExpressionCase{61500, 2, 1}, ExpressionCase{3600000, 4, 0},
                                           ExpressionCase{3600000, 3, 1}, ExpressionCase{3599999, 4, 59}),
                         [](const auto& info) {
                             return "Expression" + std::to_string(info.param.expression) + "At" +
                                    std::to_string(info.param.timer);
                         });

} // namespace
