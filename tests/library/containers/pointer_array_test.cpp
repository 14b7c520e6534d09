#include "letters.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using containertest::FailNextAllocation;
using containertest::Letter;

// The array's items as letters ('.' for null), so a table can state expected contents in one string.
std::string Contents(const PointerArray& array) {
    std::string text;
    for (int i = 0; i < array.GetCount(); ++i) {
        void* item = array.GetAt(i);
        text += item ? *static_cast<char*>(item) : '.';
    }
    return text;
}

void Fill(PointerArray& array, const std::string& text) {
    for (char c : text)
        array.Add(Letter(c));
}

TEST(PointerArray, SetSizeRoundsStorageUpToSixteenAndReadsBeyondTheCountAsNull) {
    PointerArray array;
    ASSERT_EQ(array.SetSize(17), 1);
    EXPECT_EQ(GetMemorySize(&array.ElementAt(0)), 32 * sizeof(void*));
    EXPECT_EQ(array.GetAt(16), nullptr);
    EXPECT_EQ(array.GetAt(17), nullptr);
    EXPECT_EQ(array.GetAt(-1), nullptr);
}

TEST(PointerArray, AddReturnsIndexesAndFindLocatesTheFirst) {
    PointerArray array;
    EXPECT_EQ(array.Add(Letter('a')), 0);
    EXPECT_EQ(array.Append(Letter('b')), 1);
    EXPECT_EQ(array.Add(Letter('a')), 2);
    EXPECT_EQ(array.Find(Letter('a')), 0);
    EXPECT_EQ(array.Find(Letter('b')), 1);
    EXPECT_EQ(array.Find(Letter('z')), -1);
    for (int i = 3; i < 40; ++i)
        EXPECT_EQ(array.Add(Letter('c')), i);
    EXPECT_EQ(array.GetCount(), 40);
    EXPECT_EQ(Contents(array).substr(0, 4), "abac");
}

TEST(PointerArray, SetSizeGrowingBackWithinTheBlockGivesZeroSlots) {
    PointerArray array;
    Fill(array, "abcdefghij");
    ASSERT_EQ(array.SetSize(5), 1);
    ASSERT_EQ(array.SetSize(10), 1);
    EXPECT_EQ(Contents(array), "abcde.....");
}

TEST(PointerArray, SetSizeGrowingPastTheBlockGivesZeroSlots) {
    PointerArray array;
    Fill(array, "abcdefghijklmnopqrst");
    ASSERT_EQ(array.SetSize(3), 1);
    ASSERT_EQ(array.SetSize(20), 1);
    EXPECT_EQ(Contents(array), "abc.................");
}

TEST(PointerArray, SetSizeZeroFreesTheStorage) {
    PointerArray array;
    Fill(array, "abc");
    ASSERT_EQ(array.SetSize(0), 1);
    EXPECT_EQ(array.GetCount(), 0);
    EXPECT_EQ(array.GetAt(0), nullptr);
    EXPECT_EQ(array.SetSize(-1), 0);
}

TEST(PointerArray, SetAtAndClearAtTouchOnlySlotsBelowTheCount) {
    PointerArray array;
    Fill(array, "abc");
    EXPECT_EQ(array.SetAt(1, Letter('x')), Letter('x'));
    array.SetAt(3, Letter('y'));
    array.SetAt(-1, Letter('y'));
    array.ClearAt(0);
    array.ClearAt(5);
    EXPECT_EQ(Contents(array), ".xc");
}

TEST(PointerArray, SetAtGrowExtendsTheCountAndRefusesNegativeIndexes) {
    PointerArray array;
    EXPECT_EQ(array.SetAtGrow(4, Letter('e')), 1);
    EXPECT_EQ(Contents(array), "....e");
    EXPECT_EQ(array.SetAtGrow(1, Letter('b')), 1);
    EXPECT_EQ(Contents(array), ".b..e");
    EXPECT_EQ(array.SetAtGrow(-1, Letter('z')), 0);
    EXPECT_EQ(array.GetCount(), 5);
}

TEST(PointerArray, InsertAtOnAnEmptyArrayFillsEveryOpenedSlot) {
    PointerArray array;
    EXPECT_EQ(array.InsertAt(0, Letter('p'), 3), 1);
    EXPECT_EQ(Contents(array), "ppp");
}

struct EditCase {
    const char* name;
    bool insert;
    int index;
    int n;
    int result; // InsertAt's result; ignored for RemoveAt
    const char* after;
};

class PointerArrayEdit : public testing::TestWithParam<EditCase> {};

TEST_P(PointerArrayEdit, ChecksIndexAndCountAgainstTheArray) {
    const EditCase& c = GetParam();
    PointerArray array;
    Fill(array, "abcd");
    if (c.insert)
        EXPECT_EQ(array.InsertAt(c.index, Letter('x'), c.n), c.result);
    else
        array.RemoveAt(c.index, c.n);
    EXPECT_EQ(Contents(array), c.after);
}

const EditCase editCases[] = {
    {"InsertInTheMiddle", true, 1, 2, 1, "axxbcd"},
    {"InsertAtTheEnd", true, 4, 1, 1, "abcdx"},
    {"InsertBeyondTheEnd", true, 5, 1, 0, "abcd"},
    {"InsertAtNegativeIndex", true, -1, 1, 0, "abcd"},
    {"InsertNegativeCount", true, 1, -1, 0, "abcd"},
    {"InsertNothing", true, 2, 0, 1, "abcd"},
    {"InsertOverflowingCount", true, 1, INT_MAX, 0, "abcd"},
    {"RemoveOne", false, 1, 1, 0, "acd"},
    {"RemoveRunToTheEnd", false, 2, 2, 0, "ab"},
    {"RemoveMoreThanRemain", false, 2, 50, 0, "ab"},
    {"RemoveAtTheCount", false, 4, 1, 0, "abcd"},
    {"RemoveAtNegativeIndex", false, -1, 1, 0, "abcd"},
    {"RemoveZero", false, 1, 0, 0, "abcd"},
    {"RemoveNegativeCount", false, 1, -3, 0, "abcd"},
};

INSTANTIATE_TEST_SUITE_P(Cases, PointerArrayEdit, testing::ValuesIn(editCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PointerArray, RemoveAtClearsTheVacatedSlots) {
    PointerArray array;
    Fill(array, "abcd");
    array.RemoveAt(0, 2);
    ASSERT_EQ(array.SetSize(4), 1);
    EXPECT_EQ(Contents(array), "cd..");
}

TEST(PointerArray, FailedGrowthLeavesTheArrayUnchanged) {
    PointerArray array;
    Fill(array, "abcdefghijklmnop"); // 16: the next item needs a new block
    {
        FailNextAllocation fail;
        EXPECT_EQ(array.Add(Letter('q')), -1);
    }
    EXPECT_EQ(Contents(array), "abcdefghijklmnop");
    {
        FailNextAllocation fail;
        EXPECT_EQ(array.InsertAt(0, Letter('x'), 1), 0);
    }
    EXPECT_EQ(Contents(array), "abcdefghijklmnop");
    {
        FailNextAllocation fail;
        EXPECT_EQ(array.SetAtGrow(40, Letter('x')), 0);
    }
    EXPECT_EQ(Contents(array), "abcdefghijklmnop");
    EXPECT_EQ(array.Add(Letter('q')), 16);
}

TEST(PointerArray, FailedFirstAllocationLeavesTheArrayEmpty) {
    PointerArray array;
    {
        FailNextAllocation fail;
        EXPECT_EQ(array.SetSize(3), 0);
    }
    EXPECT_EQ(array.GetCount(), 0);
    EXPECT_EQ(array.Add(Letter('a')), 0);
}

} // namespace
