#include "letters.h"
#include "support/param_names.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using containertest::FailNextAllocation;
using containertest::Letter;

std::string Forward(const CIndexList& list) {
    std::string text;
    for (int cursor = list.GetHead(); cursor;)
        text += *static_cast<char*>(list.Next(cursor));
    return text;
}

std::string Backward(const CIndexList& list) {
    std::string text;
    for (int cursor = list.GetTail(); cursor;)
        text += *static_cast<char*>(list.Prev(cursor));
    return text;
}

TEST(IndexList, FreedIndexIsReusedOnlyAfterOlderFreeSlots) {
    CIndexList list;
    EXPECT_EQ(list.Add(Letter('a')), 1);
    EXPECT_EQ(list.Remove(1), 1);
    EXPECT_EQ(list.Add(Letter('b')), 2);
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(IndexList, LinksKeepOrderBothWays) {
    CIndexList list;
    const int b = list.Add(Letter('b'));
    const int d = list.Add(Letter('d'));
    list.AddHead(Letter('a'));
    list.InsertAfter(b, Letter('c'));
    list.InsertBefore(list.GetHead(), Letter('z'));
    EXPECT_EQ(Forward(list), "zabcd");
    EXPECT_EQ(Backward(list), "dcbaz");
    list.MoveAfter(d, 0);
    EXPECT_EQ(Forward(list), "dzabc");
    list.MoveAfter(d, b);
    EXPECT_EQ(Forward(list), "zabdc");
    EXPECT_EQ(Backward(list), "cdbaz");
    list.Remove(list.GetHead());
    list.Remove(list.GetTail());
    EXPECT_EQ(Forward(list), "abd");
    EXPECT_EQ(list.Find(Letter('d')), d);
    EXPECT_EQ(list.Find(Letter('z')), 0);
}

TEST(IndexList, InsertAfterOutsideTheSlotsAddsAtTheEnds) {
    CIndexList list;
    list.Add(Letter('b'));
    list.InsertAfter(0, Letter('a'));
    list.InsertAfter(5000, Letter('c'));
    EXPECT_EQ(Forward(list), "abc");
    EXPECT_EQ(list.InsertBefore(5000, Letter('x')), 0);
    EXPECT_EQ(list.InsertBefore(0, Letter('x')), 0);
}

TEST(IndexList, IndexesStayValidAsOthersComeAndGo) {
    CIndexList list;
    std::vector<int> indexes;
    for (char c = 'a'; c <= 'z'; ++c)
        indexes.push_back(list.Add(Letter(c)));
    for (int i = 0; i < 26; i += 2)
        list.Remove(indexes[i]);
    for (int i = 0; i < 20; ++i)
        list.Add(Letter('a'));
    for (int i = 1; i < 26; i += 2)
        EXPECT_EQ(list.GetAt(indexes[i]), Letter(static_cast<char>('a' + i)));
}

// Operations on a slot that holds no item, whether freed, never used or outside the list, report failure
// and change nothing.
TEST(IndexList, OperationsOnSlotsWithoutAnItemFailAndChangeNothing) {
    CIndexList list;
    list.Add(Letter('a'));
    const int freed = list.Add(Letter('b'));
    list.Add(Letter('c'));
    list.Remove(freed);
    const int unused = 20;
    for (int index : {freed, unused, -1, 0, 99}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(list.GetAt(index), nullptr);
        EXPECT_EQ(list.SetAt(index, Letter('x')), 0);
        EXPECT_EQ(list.Remove(index), 0);
        EXPECT_EQ(list.InsertBefore(index, Letter('x')), 0);
        list.MoveAfter(index, 0);
        list.MoveAfter(1, index);
        int cursor = index;
        EXPECT_EQ(list.Next(cursor), nullptr);
        EXPECT_EQ(cursor, 0);
        cursor = index;
        EXPECT_EQ(list.Prev(cursor), nullptr);
        EXPECT_EQ(cursor, 0);
        EXPECT_EQ(Forward(list), "ac");
        EXPECT_EQ(list.GetCount(), 2);
    }
    EXPECT_EQ(list.InsertAfter(freed, Letter('x')), 0);
    EXPECT_EQ(list.InsertAfter(unused, Letter('x')), 0);
    EXPECT_EQ(Forward(list), "ac");
}

TEST(IndexList, TheThirtySecondAddGrowsTheListByItsStep) {
    CIndexList list;
    for (int i = 1; i <= 31; ++i)
        ASSERT_EQ(list.Add(Letter('a')), i);
    {
        FailNextAllocation fail;
        EXPECT_EQ(list.Add(Letter('b')), 0);
    }
    EXPECT_EQ(list.GetCount(), 31);
    EXPECT_EQ(list.GetAt(31), Letter('a'));
    for (int i = 32; i <= 63; ++i)
        ASSERT_EQ(list.Add(Letter('a')), i);
    FailNextAllocation fail;
    EXPECT_EQ(list.Add(Letter('b')), 0);
    EXPECT_EQ(list.GetCount(), 63);
}

struct StepCase {
    int step;
    int firstBlock; // slots of the first block, slot 0 included
};

class IndexListStep : public testing::TestWithParam<StepCase> {};

TEST_P(IndexListStep, GrowsByItsStepWithZeroOrLessMeaningTheDefault) {
    CIndexList list;
    list.SetGrowStep(GetParam().step);
    for (int i = 1; i < GetParam().firstBlock; ++i)
        ASSERT_EQ(list.Add(Letter('a')), i);
    {
        FailNextAllocation fail;
        EXPECT_EQ(list.Add(Letter('b')), 0);
    }
    EXPECT_EQ(list.GetCount(), GetParam().firstBlock - 1);
    EXPECT_EQ(list.Add(Letter('b')), GetParam().firstBlock);
}

INSTANTIATE_TEST_SUITE_P(Steps, IndexListStep,
                         testing::Values(StepCase{0, 32}, StepCase{-4, 32}, StepCase{4, 4}, StepCase{1, 1},
                                         StepCase{100, 100}),
                         [](const auto& info) { return test_support::Numbered("Step", info.param.step); });

TEST(IndexList, FailedFirstAllocationLeavesTheListEmpty) {
    CIndexList list;
    {
        FailNextAllocation fail;
        EXPECT_EQ(list.AddHead(Letter('a')), 0);
    }
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetHead(), 0);
    EXPECT_EQ(list.Add(Letter('a')), 1);
}

} // namespace
