#include "letters.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

namespace {

using containertest::FailNextAllocation;

// A caller's pointer list: array, count and capacity, released at the end of the test.
struct List {
    void** items = nullptr;
    int count = 0;
    int capacity = 0;
    ~List() { FreeMemory(&items); }

    void Push(int value) {
        ASSERT_EQ(GrowPointerList(&items, 0, &capacity, count), 1);
        items[count++] = reinterpret_cast<void*>(static_cast<intptr_t>(value));
    }
    int At(int index) const { return static_cast<int>(reinterpret_cast<intptr_t>(items[index])); }
};

struct GrowCase {
    int capacity;
    int needed;
    int grown;
};

class PointerListGrow : public testing::TestWithParam<GrowCase> {};

TEST_P(PointerListGrow, LeavesRoomBeyondTheNeededCountInStepsOfSixteen) {
    List list;
    if (GetParam().capacity) {
        ASSERT_EQ(AllocMemory(GetParam().capacity * sizeof(void*), &list.items), 1);
    }
    list.capacity = GetParam().capacity;
    EXPECT_EQ(GrowPointerList(&list.items, 0, &list.capacity, GetParam().needed), 1);
    EXPECT_EQ(list.capacity, GetParam().grown);
    EXPECT_EQ(GetMemorySize(list.items), list.capacity * sizeof(void*));
}

INSTANTIATE_TEST_SUITE_P(Cases, PointerListGrow,
                         testing::Values(GrowCase{0, 0, 16}, GrowCase{0, 1, 16}, GrowCase{16, 15, 16},
                                         GrowCase{16, 16, 32}, GrowCase{16, 17, 32}, GrowCase{32, 100, 112}));

TEST(PointerList, FailedGrowthKeepsTheArrayAndTheCapacity) {
    List list;
    for (int i = 0; i < 16; ++i)
        list.Push(i);
    void** const old = list.items;
    {
        FailNextAllocation fail;
        EXPECT_EQ(GrowPointerList(&list.items, 0, &list.capacity, 16), 0);
    }
    EXPECT_EQ(list.items, old);
    EXPECT_EQ(list.capacity, 16);
    EXPECT_EQ(list.At(15), 15);
}

TEST(PointerList, ShrinkReallocatesToTheCountRoundedUp) {
    List list;
    for (int i = 0; i < 40; ++i)
        list.Push(i);
    ASSERT_EQ(list.capacity, 48);
    list.count = 5;
    {
        FailNextAllocation fail;
        EXPECT_EQ(ShrinkPointerList(&list.items, 0, &list.capacity, list.count), 0);
        EXPECT_EQ(list.capacity, 48);
    }
    EXPECT_EQ(ShrinkPointerList(&list.items, 0, &list.capacity, list.count), 1);
    EXPECT_EQ(list.capacity, 16);
    EXPECT_EQ(list.At(4), 4);
    EXPECT_EQ(ShrinkPointerList(&list.items, 0, &list.capacity, 0), 1);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.items, nullptr);
}

TEST(PointerList, RemoveMovesLaterItemsDownAndGivesBackASpareStep) {
    List list;
    for (int i = 0; i < 17; ++i)
        list.Push(i);
    ASSERT_EQ(list.capacity, 32);
    RemovePointerListItem(&list.items, &list.count, &list.capacity, 3);
    EXPECT_EQ(list.count, 16);
    EXPECT_EQ(list.capacity, 32); // exactly 16 free: kept
    EXPECT_EQ(list.At(3), 4);
    RemovePointerListItem(&list.items, &list.count, &list.capacity, 0);
    EXPECT_EQ(list.count, 15);
    EXPECT_EQ(list.capacity, 16);
    EXPECT_EQ(GetMemorySize(list.items), 16 * sizeof(void*));
    EXPECT_EQ(list.At(0), 1);
    EXPECT_EQ(list.At(14), 16);
}

TEST(PointerList, FailedShrinkOnRemoveKeepsTheArrayAndTheCapacity) {
    List list;
    for (int i = 0; i < 17; ++i)
        list.Push(i);
    list.count = 16;
    {
        FailNextAllocation fail;
        RemovePointerListItem(&list.items, &list.count, &list.capacity, 0);
    }
    EXPECT_EQ(list.count, 15);
    EXPECT_EQ(list.capacity, 32);
    EXPECT_EQ(GetMemorySize(list.items), 32 * sizeof(void*));
    EXPECT_EQ(list.At(0), 1);
}

TEST(PointerList, RemoveOutsideTheCountDoesNothing) {
    List list;
    for (int i = 0; i < 3; ++i)
        list.Push(i);
    for (int index : {-1, 3, 50}) {
        RemovePointerListItem(&list.items, &list.count, &list.capacity, index);
        EXPECT_EQ(list.count, 3);
    }
    EXPECT_EQ(list.At(2), 2);
}

} // namespace
