#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NoInjection {
    ~NoInjection() { SetAllocationFailures(0, 0); }
};

TEST(Memory, ZeroedBlockIsZeroAndKnowsItsSize) {
    unsigned char* block = nullptr;
    ASSERT_EQ(AllocZeroedMemory(100, &block), 1);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(block[i], 0);
    EXPECT_EQ(GetMemorySize(block), 100u);
    EXPECT_EQ(FreeMemory(&block), 1);
    EXPECT_EQ(block, nullptr);
}

TEST(Memory, FreeingNullReturnsZero) {
    void* block = nullptr;
    EXPECT_EQ(FreeMemory(&block), 0);
    EXPECT_EQ(FreeMemoryBlock(nullptr), 0);
}

TEST(Memory, ReallocKeepsContentsWhenGrowing) {
    char* block = nullptr;
    ASSERT_EQ(AllocMemory(4, &block), 1);
    std::memcpy(block, "abc", 4);
    ASSERT_EQ(ReallocMemory(4096, &block), 1);
    EXPECT_STREQ(block, "abc");
    EXPECT_EQ(GetMemorySize(block), 4096u);
    FreeMemory(&block);
}

TEST(Memory, FailedAllocationIsRetriedOnceAfterCompaction) {
    NoInjection guard;
    void* block = nullptr;
    const int before = GetHeapCompactionCount();
    SetAllocationFailures(0, 1); // the first try fails, the retry succeeds
    ASSERT_EQ(AllocMemory(16, &block), 1);
    EXPECT_EQ(GetHeapCompactionCount(), before + 1);
    FreeMemory(&block);
}

TEST(Memory, AllocationThatFailsTwiceLeavesTheBlockAlone) {
    NoInjection guard;
    void* sentinel = reinterpret_cast<void*>(0x1234);
    void* block = sentinel;
    SetAllocationFailures(0, 2);
    EXPECT_EQ(AllocMemory(16, &block), 0);
    EXPECT_EQ(block, sentinel);
}

TEST(Memory, ReallocThatCannotGrowKeepsTheOldBlockAndContents) {
    NoInjection guard;
    char* block = nullptr;
    ASSERT_EQ(AllocMemory(8, &block), 1);
    std::memcpy(block, "keepme!", 8);
    char* const old = block;
    SetAllocationFailures(0, 2);
    EXPECT_EQ(ReallocMemory(1 << 20, &block), 0);
    EXPECT_EQ(block, old);
    EXPECT_STREQ(block, "keepme!");
    EXPECT_EQ(GetMemorySize(block), 8u);
    FreeMemory(&block);
}

TEST(Memory, OnlyTheOutermostHeapBatchCompacts) {
    const int before = GetHeapCompactionCount();
    BeginHeapBatch();
    BeginHeapBatch();
    EndHeapBatch();
    EXPECT_EQ(GetHeapCompactionCount(), before);
    EndHeapBatch();
    EXPECT_EQ(GetHeapCompactionCount(), before + 1);
    EndHeapBatch(); // not below zero: an unmatched end does nothing
    EXPECT_EQ(GetHeapCompactionCount(), before + 1);
}

} // namespace
