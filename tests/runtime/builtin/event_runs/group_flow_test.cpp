// How a running frame evaluates its groups: flow flags, filtered and logical or, repeat passes, pushed
// events, the immediate actions of create and destroy, the last instance going, and group activation.
#include "event_frame.h"
#include "shell/extension_services.h"

#include "support/param_names.h"

#include <array>
#include <ostream>
#include <utility>

using namespace eventruns;

namespace {

struct FlowCase {
    const char* name;
    std::vector<EventRecordDesc> conditions;
    std::uint16_t groupFlags;
    std::array<bool, 6> switchOn; // switch 0, loop by loop
    std::vector<std::int64_t> runs;
};

// Shown by its name, not byte by byte.
void PrintTo(const FlowCase& c, std::ostream* out) {
    *out << c.name;
}

class GroupFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(GroupFlow, ActionsRunOnTheLoopsTheFlowAllows) {
    const FlowCase& c = GetParam();
    EventFrame frame;
    EventProgramBuilder b;
    EventGroupDesc g = Group(c.conditions, {Recorder(1)});
    g.flags = c.groupFlags;
    b.AddGroup(g);
    frame.Prepare(b);
    for (bool on : c.switchOn) {
        switches[0] = on;
        frame.Loop();
    }
    std::vector<std::int64_t> loops;
    for (const Seen& s : Log())
        loops.push_back(s.loop);
    EXPECT_EQ(loops, c.runs);
}

const std::array<bool, 6> AllOn{true, true, true, true, true, true};

INSTANTIATE_TEST_SUITE_P(
    Flags, GroupFlow,
    ::testing::Values(
        FlowCase{"RunOnce", {Always(), Record(TypeSpecial, -6)}, 0, AllOn, {1}},
        FlowCase{"OnlyOnceWhileTrueAgainAfterAFalseLoop",
                 {EveryLoop(Switch(0)), Record(TypeSpecial, -7)},
                 0,
                 {true, true, false, true, true, true},
                 {1, 4}},
        FlowCase{"RepeatThreeTimes", {Always(), Record(TypeSpecial, -5, {Number(3)})}, 0, AllOn, {1, 2, 3}},
        FlowCase{"RepeatCountsOnlyTrueLoops",
                 {EveryLoop(Switch(0)), Record(TypeSpecial, -5, {Number(2)})},
                 0,
                 {false, true, false, false, true, true},
                 {2, 5}},
        FlowCase{"RepeatZeroTimes", {Always(), Record(TypeSpecial, -5, {Number(0)})}, 0, AllOn, {}},
        // 20 ms loops: the actions run at 20 ms, then not before 120 ms.
        FlowCase{"RestrictForAHundredMilliseconds",
                 {Always(), Record(TypeSpecial, -4, {appwriter::IntParameter(2, 100)})},
                 0,
                 AllOn,
                 {1, 6}},
        FlowCase{"InactiveGroupIsSkipped", {Always()}, GroupInactive, AllOn, {}},
        FlowCase{"NeverStopsTheGroup", {Always(), Record(TypeSpecial, -2)}, 0, AllOn, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Two objects of A (x 1 and 100) and one of B (x 100). Block 1 asks A's x below 50 and B's x below 50 and
// fails on B; block 2 asks A's x at least 50.
class OrGroups : public ::testing::Test {
protected:
    std::vector<std::int32_t> Run(std::int16_t separator) {
        const std::uint16_t a = frame_.AddInfo(10), bInfo = frame_.AddInfo(11);
        frame_.AddObject(a, 1, 0);
        frame_.AddObject(a, 100, 0);
        frame_.AddObject(bInfo, 100, 0);
        EventProgramBuilder b;
        b.AddGroup(Group({EveryLoop(Record(2, XBelow, {Number(50)}, 10)), Record(2, XBelow, {Number(50)}, 11),
                          Record(TypeSpecial, separator), EveryLoop(Record(2, XAtLeast, {Number(50)}, 10))},
                         {Record(2, RecordObjectAction, {}, 10)}));
        frame_.Prepare(b);
        frame_.Loop();
        return Values();
    }
    EventFrame frame_;
};

TEST_F(OrGroups, FilteredOrAlsoActsOnWhatAFailedBlockSelected) {
    // Instance order is newest first: the object at 100 (slot 1), then the one at 1 (slot 0).
    EXPECT_EQ(Run(ConditionFilteredOr), (std::vector<std::int32_t>{1, 0}));
}

TEST_F(OrGroups, LogicalOrActsOnlyOnTheBlocksThatHeld) {
    EXPECT_EQ(Run(ConditionLogicalOr), (std::vector<std::int32_t>{1}));
}

TEST(EventActions, EachActionRepeatsForEveryObjectItAskedFor) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10), bInfo = frame.AddInfo(11);
    frame.AddObject(a, 0, 0);
    frame.AddObject(a, 0, 0);
    frame.AddObject(a, 0, 0);
    frame.AddObject(bInfo, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(
        Group({Always()}, {Record(2, RecordObjectAction, {}, 10), Record(2, RecordObjectAction, {}, 11)}));
    frame.Prepare(b);
    frame.Loop();
    // Pass 0 acts on A's first object and B's only one; the passes after it only on A's others.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{2, 3, 1, 0}));
}

// A special action that empties the slot of one object, as its destruction does, while the passes of its
// group's other actions are to come; the object is kept to be put back.
constexpr std::int16_t VacateAction = 110;
std::int16_t vacatedHandle = -1;
RunObject* vacatedObject = nullptr;
void Vacate(std::uint8_t*) {
    ObjectListEntry& slot = State()->run->objects[vacatedHandle];
    vacatedObject = std::exchange(slot.object, nullptr);
}

// The passes of a crowd step through its selection an object at a time: an object whose slot empties
// meanwhile is passed over, wherever it lies, and every other object is acted on once.
TEST(EventActions, RepeatPassesPassOverAnObjectGoneMeanwhile) {
    const struct {
        std::int16_t gone;
        std::vector<std::int32_t> acted; // in instance order, newest first
    } cases[] = {{2, {4, 3, 1, 0}}, {3, {4, 2, 1, 0}}, {0, {4, 3, 2, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gone);
        Log().clear();
        EventFrame frame;
        const std::uint16_t a = frame.AddInfo(10);
        for (int i = 0; i < 5; ++i)
            frame.AddObject(a, i, 0);
        SetActionRoutine(TypeSpecial, VacateAction, Vacate);
        vacatedHandle = c.gone;
        EventProgramBuilder b;
        // The condition leaves a current selection of every object, which the passes walk.
        b.AddGroup(Group({EveryLoop(Record(2, XBelow, {Number(1000)}, 10))},
                         {Record(TypeSpecial, VacateAction), Record(2, RecordObjectAction, {}, 10)}));
        frame.Prepare(b);
        frame.Loop();
        frame.Run().objects[c.gone].object = vacatedObject;
        EXPECT_EQ(Values(), c.acted);
    }
}

TEST(EventActions, ARaisedGroupGoesOnToItsOtherConditions) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10);
    frame.AddObject(a, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(
        Group({Record(TypeSpecial, -101), Record(TypeSpecial, SwitchCondition, {Number(1)})}, {Recorder(7)}));
    frame.Prepare(b);
    TriggerSystemCondition(EventCodeOf(TypeSpecial, -101));
    EXPECT_TRUE(Log().empty());
    switches[1] = true;
    TriggerSystemCondition(EventCodeOf(TypeSpecial, -101));
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{7}));
}

TEST(PushedEvents, EventsPushedDuringAFlushRunInTheSameFlush) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeSpecial, -101)}, {Recorder(1), Record(TypeSpecial, PushOtherAction)}));
    b.AddGroup(Group({Record(TypeSpecial, -102)}, {Recorder(2)}));
    frame.Prepare(b);
    PushEvent(RaiseSystemConditionWithCode, EventCodeOf(TypeSpecial, -101), 0, nullptr, 0);
    FlushPushedEvents();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{1, 2}));
    EXPECT_FALSE(HasPushedEvents());
}

TEST(PushedEvents, AnEventThatPushesItselfRunsABoundedNumberOfTimes) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeSpecial, -101)}, {Recorder(1), Record(TypeSpecial, PushSelfAction)}));
    frame.Prepare(b);
    PushEvent(RaiseSystemConditionWithCode, EventCodeOf(TypeSpecial, -101), 0, nullptr, 0);
    FlushPushedEvents();
    EXPECT_EQ(Log().size(), 65u);
    EXPECT_FALSE(HasPushedEvents());
    // The next loop's events run as usual.
    PushEvent(RaiseSystemConditionWithCode, EventCodeOf(TypeSpecial, -101), 0, nullptr, 0);
    FlushPushedEvents();
    EXPECT_EQ(Log().size(), 130u);
}

TEST(PushedEvents, AnEventOfAnObjectDestroyedSinceIsDropped) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10);
    RunObject* o = frame.AddObject(a, 0, 0);
    frame.AddObject(a, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Record(2, -14, {}, 10)}, {}));
    frame.Prepare(b);
    PushEvent(TriggerObjectCondition, EventCodeOf(2, -14), 0, o, 0);
    DestroyObject(o->handle, 1);
    FlushPushedEvents();
    EXPECT_TRUE(Log().empty());
}

TEST(ImmediateActions, OnlyTheCreateAndDestroyActionsOfTheObjectRun) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10), bInfo = frame.AddInfo(11);
    RunObject* o = frame.AddObject(a, 0, 0);
    frame.AddObject(a, 0, 0);
    frame.AddObject(bInfo, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Record(2, ImmediateOnlyCondition, {}, 10)},
                     {Record(2, 4, {}, 10), Record(2, 9, {}, 11), Record(2, RecordObjectAction, {}, 10),
                      Record(2, 9, {}, 10)}));
    frame.Prepare(b);
    TriggerObjectCondition(o, EventCodeOf(2, ImmediateOnlyCondition));
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{4000 + o->handle, 9000 + o->handle}));
}

TEST(DestroyedObjects, TheLastInstanceSaysSoBeforeItGoes) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10), bInfo = frame.AddInfo(11);
    RunObject* first = frame.AddObject(a, 0, 0);
    RunObject* second = frame.AddObject(a, 0, 0);
    RunObject* only = frame.AddObject(bInfo, 0, 0);
    const int secondHandle = second->handle, onlyHandle = only->handle;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(2, -33, {}, 10)}, {}));
    b.AddGroup(Group({Record(2, -33, {}, 11)}, {}));
    frame.Prepare(b);
    MarkObjectForDestroy(first->handle);
    MarkObjectForDestroy(only->handle);
    DestroyMarkedObjects();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{33000 + onlyHandle}));
    MarkObjectForDestroy(secondHandle);
    DestroyMarkedObjects();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{33000 + onlyHandle, 33000 + secondHandle}));
    EXPECT_EQ(frame.Run().objectCount, 0);
}

// Group 0 opens "Outer", 1 records 1, 2 opens "Inner" (deactivated), 3 records 2, 4 closes Inner, 5 closes
// Outer; 6 to 8 deactivate Outer, activate Outer and activate Inner when their switches are on.
class GroupActivation : public ::testing::Test {
protected:
    void SetUp() override {
        EventProgramBuilder b;
        const auto open = [](std::u16string title, std::uint8_t flags) {
            EventParameterDesc p = appwriter::GroupParameter(std::move(title), u"", 0);
            p.payload[0] = flags;
            return Record(TypeSpecial, -10, {p});
        };
        b.AddGroup(Group({open(u"Outer", 0)}, {}));
        b.AddGroup(Group({Always()}, {Recorder(1)}));
        EventGroupDesc inner = Group({open(u"Inner", 0x08)}, {});
        inner.flags = GroupInactive;
        b.AddGroup(inner);
        EventGroupDesc innerBody = Group({Always()}, {Recorder(2)});
        innerBody.flags = GroupInactive;
        b.AddGroup(innerBody);
        EventGroupDesc innerClose = Group({Record(TypeSpecial, -11)}, {});
        innerClose.flags = GroupInactive;
        b.AddGroup(innerClose);
        b.AddGroup(Group({Record(TypeSpecial, -11)}, {}));
        b.AddGroup(
            Group({EveryLoop(Switch(0))}, {Record(TypeSpecial, 7, {appwriter::GroupReferenceParameter(0)})}));
        b.AddGroup(
            Group({EveryLoop(Switch(1))}, {Record(TypeSpecial, 6, {appwriter::GroupReferenceParameter(0)})}));
        b.AddGroup(
            Group({EveryLoop(Switch(2))}, {Record(TypeSpecial, 6, {appwriter::GroupReferenceParameter(2)})}));
        b.AddGroup(Group({EveryLoop(Record(TypeSpecial, -12, {appwriter::GroupReferenceParameter(2)}))},
                         {Recorder(3)}));
        frame_.Prepare(b);
    }
    std::vector<std::int32_t> LoopWith(int on) {
        std::fill(std::begin(switches), std::end(switches), false);
        if (on >= 0) switches[on] = true;
        Log().clear();
        frame_.Loop();
        return Values();
    }
    EventFrame frame_;
};

TEST_F(GroupActivation, NestedGroupsKeepTheirOwnStateThroughTheOuterGroup) {
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(LoopWith(0), (std::vector<std::int32_t>{1})); // deactivated after it ran
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{}));
    // Reactivating the outer group leaves the inner one deactivated.
    EXPECT_EQ(LoopWith(1), (std::vector<std::int32_t>{}));
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{1}));
    // The inner group is active for the groups after the one that activated it.
    EXPECT_EQ(LoopWith(2), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{1, 2, 3}));
    // Deactivating the outer group deactivates the inner one too; activating it again brings both back.
    EXPECT_EQ(LoopWith(0), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{}));
    EXPECT_EQ(LoopWith(1), (std::vector<std::int32_t>{3}));
    EXPECT_EQ(LoopWith(-1), (std::vector<std::int32_t>{1, 2, 3}));
}

} // namespace

// What the last event of a loop selected, and how, does not reach into the next loop.
TEST(SelectionWords, ALoopsSelectionsLapseBeforeTheNext) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10);
    RunObject* first = frame.AddObject(a, 0, 0);
    frame.AddObject(a, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {}));
    frame.Prepare(b);
    SelectOnlyObject(a, first);
    CurrentEventState()->emptyWhenStale = 1;
    ResetSelectionWords();
    std::int32_t count = 0;
    EXPECT_NE(FirstConditionObject(a, &count), nullptr);
    EXPECT_EQ(count, 2) << "a fresh walk sees every instance";
}

// The routine extensions reach through their table adds the object as the event's own routine does.
TEST(SelectionWords, AnExtensionAddsAnObjectToTheSelection) {
    EventFrame frame;
    const std::uint16_t a = frame.AddInfo(10);
    frame.AddObject(a, 0, 0);
    RunObject* second = frame.AddObject(a, 0, 0);
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {}));
    frame.Prepare(b);
    SelectOnlyObject(a, nullptr);
    EXPECT_EQ(ExtensionServices()->run->addObjectToSelection(nullptr, nullptr, second), 0);
    std::int32_t count = 0;
    EXPECT_EQ(FirstConditionObject(a, &count), second);
    EXPECT_EQ(count, 1);
}
