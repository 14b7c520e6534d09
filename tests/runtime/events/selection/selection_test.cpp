#include "runtime/event_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace eventtest;
using appwriter::Bytes;
using appwriter::ExpressionBuilder;

namespace {

// Test routines of the common tables: action 1 sets X from its expression, expression 11 reads X.
constexpr std::int16_t SetXAction = 1;
constexpr std::int16_t XExpression = 11;

void SetX(std::uint8_t* record) {
    RunObject* o = ActionObjectOf(record);
    if (o) o->x = GetIntParameter(FirstParameter(record));
}

void ReadX() {
    RunObject* o = GetExpressionObject(CurrentToken());
    SetTopInt(o ? o->x : 0);
}

// Four objects of A (handles 0..3, instance order newest first), two of B, one of C; qualifier of A and B.
class Selection : public ::testing::Test {
protected:
    Selection() {
        a_ = frame_.AddInfo(10);
        b_ = frame_.AddInfo(11);
        c_ = frame_.AddInfo(12, 3);
        events_.qualifierMembers = {10, static_cast<std::int16_t>(a_), 11, static_cast<std::int16_t>(b_), -1,
                                    -1};
        frame_.Attach(&events_);
        for (int i = 0; i < 4; ++i)
            frame_.AddObject(a_, i * 100, 0);
        frame_.AddObject(b_, 0, 500);
        frame_.AddObject(b_, 100, 500);
        frame_.AddObject(c_, 50, 50);
        SetCommonActionRoutine(SetXAction, SetX);
        SetCommonExpressionRoutine(XExpression, ReadX);
        RaiseEventStamp();
    }

    // The handles a condition walk visits.
    std::vector<int> Selected(std::uint16_t ref) {
        std::vector<int> out;
        for (RunObject* o = FirstConditionObject(ref, nullptr); o; o = NextConditionObject())
            out.push_back(o->handle);
        return out;
    }
    // Keeps the objects whose handle is in `keep`.
    void Keep(std::uint16_t ref, std::vector<int> keep) {
        FilterSelection(
            ref, false,
            [](RunObject* o, void* u) {
                auto* k = static_cast<std::vector<int>*>(u);
                return std::find(k->begin(), k->end(), o->handle) != k->end();
            },
            &keep);
    }
    // The action "set X of `ref` to expression" run by the repeat protocol; the handles it acted on.
    std::vector<int> RunSetX(std::uint16_t ref, const ExpressionBuilder& e) {
        Bytes record = RecordBytes(2, SetXAction, ref, {ExpressionParameterBytes(e)});
        std::vector<int> before;
        for (int i = 0; i < 7; ++i)
            before.push_back(frame_.Object(i)->x);
        frame_.RunAction(record);
        std::vector<int> acted;
        for (int i = 0; i < 7; ++i)
            if (frame_.Object(i)->x != before[static_cast<std::size_t>(i)]) acted.push_back(i);
        return acted;
    }
    static ExpressionBuilder XPlus(std::uint16_t handle, std::uint16_t index, int n) {
        ExpressionBuilder e;
        ObjectToken(e, 2, XExpression, handle, index).Operator(OperatorAddCode).Integer(n);
        return e;
    }

    Frame frame_;
    FrameEvents events_;
    std::uint16_t a_ = 0, b_ = 0, c_ = 0;
    static constexpr std::uint16_t Qualifier = QualifierBit | 0;
};

TEST_F(Selection, StaleSelectionStandsForEveryInstance) {
    EXPECT_EQ(Selected(a_), (std::vector<int>{3, 2, 1, 0}));
    std::int32_t count = 0;
    FirstConditionObject(a_, &count);
    EXPECT_EQ(count, 4);
    // An action on a stale selection acts on every instance, once each.
    RaiseEventStamp();
    EXPECT_EQ(RunSetX(a_, XPlus(10, a_, 1)), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(frame_.Object(3)->x, 301);
}

// Selections are arrays taken from the instance chain: instances that come and go between events are
// followed, and a walk that a condition thins in its middle goes on over the objects it kept.
TEST_F(Selection, StaleSelectionsFollowTheInstancesAndWalksKeepWhatConditionsLeft) {
    EXPECT_EQ(Selected(a_), (std::vector<int>{3, 2, 1, 0}));
    UnlinkObjectInstance(frame_.Object(2));
    RaiseEventStamp();
    EXPECT_EQ(Selected(a_), (std::vector<int>{3, 1, 0}));
    LinkObjectInstance(frame_.Object(2));
    RaiseEventStamp();
    EXPECT_EQ(Selected(a_), (std::vector<int>{2, 3, 1, 0}));
    std::vector<int> walked;
    for (RunObject* o = FirstConditionObject(a_, nullptr); o; o = NextConditionObject()) {
        walked.push_back(o->handle);
        if (o->handle == 3 || o->handle == 0) DropConditionObject();
        // What a condition's expression sees meanwhile: the selection without the objects dropped so far.
        if (o->handle == 1) {
            EXPECT_EQ(SelectedCount(a_), 3);
        }
    }
    EXPECT_EQ(walked, (std::vector<int>{2, 3, 1, 0}));
    EXPECT_EQ(Selected(a_), (std::vector<int>{2, 1}));
    EXPECT_EQ(RunSetX(a_, XPlus(10, a_, 5)), (std::vector<int>{1, 2}));
}

TEST_F(Selection, ConditionsThinAndEmptiedSelectionsActOnNothing) {
    Keep(a_, {1, 3});
    EXPECT_EQ(Selected(a_), (std::vector<int>{3, 1}));
    EXPECT_EQ(SelectedCount(a_), 2);
    // X = X + 1 on each selected object reads each object's own X.
    EXPECT_EQ(RunSetX(a_, XPlus(10, a_, 1)), (std::vector<int>{1, 3}));
    EXPECT_EQ(frame_.Object(1)->x, 101);
    EXPECT_EQ(frame_.Object(3)->x, 301);
    Keep(a_, {});
    EXPECT_EQ(SelectedCount(a_), 0);
    EXPECT_TRUE(RunSetX(a_, XPlus(10, a_, 1)).empty());
    // A new event makes it stale again.
    RaiseEventStamp();
    EXPECT_EQ(Selected(a_).size(), 4u);
}

TEST_F(Selection, ExpressionOfAnotherObjectInfoWalksItsSelection) {
    Keep(a_, {0, 1, 2});
    Keep(b_, {4, 5});
    // Set X of A to X of B: A's three objects get B's first, second, then first again.
    ExpressionBuilder e;
    ObjectToken(e, 2, XExpression, 11, b_);
    RunSetX(a_, e);
    EXPECT_EQ(frame_.Object(2)->x, 100);
    EXPECT_EQ(frame_.Object(1)->x, 0);
    EXPECT_EQ(frame_.Object(0)->x, 100);
}

TEST_F(Selection, QualifierSelectsAndActsAcrossItsMembers) {
    std::int32_t count = 0;
    FirstConditionObject(Qualifier, &count);
    EXPECT_EQ(count, 6);
    Keep(Qualifier, {2, 5});
    EXPECT_EQ(Selected(Qualifier), (std::vector<int>{2, 5}));
    EXPECT_EQ(Selected(a_), (std::vector<int>{2}));
    EXPECT_EQ(RunSetX(Qualifier, XPlus(10, a_, 7)), (std::vector<int>{2, 5}));
    EmptyQualifierSelections(Qualifier);
    EXPECT_EQ(SelectedCount(Qualifier), 1 + 1);
    RaiseEventStamp();
    EmptyQualifierSelections(Qualifier);
    EXPECT_EQ(SelectedCount(Qualifier), 0);
}

TEST_F(Selection, NegatedFilterKeepsTheOthers) {
    std::vector<int> odd = {1, 3};
    EXPECT_TRUE(FilterSelection(
        a_, true,
        [](RunObject* o, void* u) {
            auto* k = static_cast<std::vector<int>*>(u);
            return std::find(k->begin(), k->end(), o->handle) != k->end();
        },
        &odd));
    EXPECT_EQ(Selected(a_), (std::vector<int>{2, 0}));
}

TEST_F(Selection, FixedValueSelectsOneObjectOnlyWhenItStillMatches) {
    RunObject* o = frame_.Object(2);
    const std::uint32_t fixed = (static_cast<std::uint32_t>(o->creationNumber) << 16) | 2u;
    std::int32_t count = 0;
    EXPECT_EQ(SelectObjectByFixedValue(a_, &count, fixed), o);
    EXPECT_EQ(count, 1);
    // Already current: returned unchanged.
    EXPECT_EQ(SelectObjectByFixedValue(a_, &count, fixed + 0x10000), o);
    EXPECT_EQ(count, 1);
    RaiseEventStamp();
    EXPECT_EQ(SelectObjectByFixedValue(a_, &count, fixed + 0x10000), nullptr);
    EXPECT_EQ(count, 0);
    RaiseEventStamp();
    EXPECT_EQ(SelectObjectByFixedValue(b_, &count, fixed), nullptr); // not B's object
    RaiseEventStamp();
    EXPECT_EQ(SelectObjectByFixedValue(Qualifier, &count, fixed), o);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(SelectedCount(b_), 0);
}

TEST_F(Selection, AddAndSelectOnlyBuildSelections) {
    AddObjectToSelection(frame_.Object(1));
    AddObjectToSelection(frame_.Object(3));
    AddObjectToSelection(frame_.Object(1));
    EXPECT_EQ(Selected(a_), (std::vector<int>{1, 3}));
    SelectOnlyObject(Qualifier, frame_.Object(4));
    EXPECT_TRUE(Selected(a_).empty());
    EXPECT_EQ(Selected(b_), (std::vector<int>{4}));
}

TEST_F(Selection, TypeWalkVisitsEntriesSelectedEarlierAndStaleOnes) {
    Keep(a_, {1});
    std::vector<int> seen;
    for (RunObject* o = FirstObjectOfType(2); o; o = NextObjectOfType())
        seen.push_back(o->handle);
    EXPECT_EQ(seen, (std::vector<int>{1, 5, 4}));
    ClearActiveObjectSelections();
    EXPECT_EQ(FirstObjectOfType(2), nullptr);
    EXPECT_NE(FirstObjectOfType(3), nullptr);
    ClearAllSelections();
    EXPECT_EQ(FirstObjectOfType(-1), nullptr);
}

TEST_F(Selection, ReadOnlyCountsSkipDisappearingObjects) {
    frame_.Object(2)->runFlags |= ObjectDisappearing;
    std::int32_t counter = 0;
    EXPECT_EQ(GetNthSelectedObject(Qualifier, 3, &counter), frame_.Object(5));
    GetNthSelectedObject(Qualifier, -1, &counter);
    EXPECT_EQ(counter, 5);
    GetNthObjectOfType(0, -1, &counter);
    EXPECT_EQ(counter, 6);
    win32::RECT zone{0, 0, 150, 100};
    CountObjectsInZone(a_, zone, &counter);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(GetNthObjectOfTypeInZone(zone, 2, 0, &counter), frame_.Object(6));
    EXPECT_EQ(SelectedCount(a_), 0); // nothing was stamped
    frame_.State().emptyWhenStale = 1;
    GetNthSelectedObject(a_, -1, &counter);
    EXPECT_EQ(counter, 0);
}

TEST_F(Selection, ZoneKeepsObjectsByPosition) {
    win32::RECT zone{0, 0, 150, 100};
    EXPECT_EQ(SelectObjectsInZone(zone, 2), 2);
    EXPECT_EQ(Selected(a_), (std::vector<int>{1, 0}));
    EXPECT_TRUE(Selected(b_).empty());
    win32::RECT left{0, 0, 50, 100};
    EXPECT_EQ(SelectObjectsInZone(left, 2), 1);
    EXPECT_EQ(Selected(a_), (std::vector<int>{0}));
}

// Lines against a 10 x 10 box at (100, 100): every slope, both directions, vertical and horizontal.
struct LineCase {
    const char* name;
    int x1, y1, x2, y2;
    bool crosses;
};

class LineCrossing : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineCrossing, TestsTheSegmentAgainstEveryEdge) {
    RunObject o{};
    o.x = 105;
    o.y = 105;
    o.hotSpotX = 5;
    o.hotSpotY = 5;
    o.width = 10;
    o.height = 10;
    const LineCase& c = GetParam();
    EXPECT_EQ(LineCrossesObject(&o, c.x1, c.y1, c.x2, c.y2), c.crosses);
    EXPECT_EQ(LineCrossesObject(&o, c.x2, c.y2, c.x1, c.y1), c.crosses);
}

INSTANTIATE_TEST_SUITE_P(Selection, LineCrossing,
                         ::testing::Values(LineCase{"Horizontal", 0, 105, 300, 105, true},
                                           LineCase{"HorizontalAbove", 0, 95, 300, 95, false},
                                           LineCase{"Vertical", 103, 0, 103, 300, true},
                                           LineCase{"VerticalBeside", 120, 0, 120, 300, false},
                                           LineCase{"ShallowThroughTopAndBottom", 0, 0, 300, 300, true},
                                           LineCase{"SteepNegativeDx", 110, 0, 100, 200, true},
                                           LineCase{"SteepThroughBottomEdgeOnly", 95, 130, 108, 90, true},
                                           LineCase{"ShallowThroughLeftEdgeOnly", 90, 98, 130, 112, true},
                                           LineCase{"StopsShort", 0, 0, 90, 90, false},
                                           LineCase{"InsideTheBox", 102, 102, 104, 108, true},
                                           LineCase{"MissesTheCorner", 90, 105, 105, 89, false},
                                           LineCase{"Point", 50, 50, 50, 50, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Selection, LineCrossingSelectsOverEveryObjectInfo) {
    EXPECT_EQ(CountObjectsCrossingLine(105, -10, 105, 600), 2); // A and B at 100; C spans 50..60
    EXPECT_EQ(Selected(a_), (std::vector<int>{1}));
    EXPECT_EQ(Selected(b_), (std::vector<int>{5}));
    EXPECT_TRUE(Selected(c_).empty());
}

TEST_F(Selection, CollisionIsNewOnlyInTheFirstLoopOfContact) {
    RunObject* o = frame_.Object(0);
    EXPECT_EQ(IsNewCollision(7, o), 1);
    EXPECT_EQ(IsNewCollision(7, o), 0);
    // Next loop: this loop's list becomes the previous one.
    o->collisionPartnersPrevious = o->collisionPartnersThis;
    o->collisionPartnersThis = nullptr;
    EXPECT_EQ(IsNewCollision(7, o), 0);
    EXPECT_EQ(IsNewCollision(8, o), 1);
    for (int k = 100; k < 300; ++k)
        IsNewCollision(k, o);
    EXPECT_EQ(IsNewCollision(5000, o), 0); // full
}

TEST_F(Selection, ReferencesOutsideTheTablesNameNothing) {
    bool more = true;
    EXPECT_EQ(GetActionObject(40, &more), nullptr);
    EXPECT_FALSE(more);
    EXPECT_EQ(GetActionQualifierObject(QualifierBit | 300, &more), nullptr);
    EXPECT_EQ(FirstConditionObject(NoObjectInfo, nullptr), nullptr);
    std::int32_t count = 5;
    EXPECT_EQ(SelectObjectByFixedValue(77, &count, 0), nullptr);
    EXPECT_EQ(count, 0);
    Bytes record = RecordBytes(2, SetXAction, 40, {ExpressionParameterBytes(XPlus(10, a_, 1))});
    frame_.RunAction(record);
    EXPECT_TRUE(record[RecordRunFlags] & RecordNoObjectFound);
}

} // namespace
