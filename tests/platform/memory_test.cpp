#include "win32/kernel.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>

using namespace win32;

namespace {

int ReadWriteData = 5;
const int ReadOnlyData = 6;

MEMORY_BASIC_INFORMATION Query(const void* address) {
    MEMORY_BASIC_INFORMATION info{};
    EXPECT_EQ(VirtualQuery(address, &info, sizeof info), sizeof info);
    return info;
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        // Three writable pages between two inaccessible ones, so that no neighbour merges with them.
        void* mapped = mmap(nullptr, 5 * page_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(mapped, MAP_FAILED);
        base_ = static_cast<std::uint8_t*>(mapped) + page_;
        ASSERT_EQ(mprotect(base_, 3 * page_, PROT_READ | PROT_WRITE), 0);
    }
    void TearDown() override { munmap(base_ - page_, 5 * page_); }
    std::size_t page_ = 0;
    std::uint8_t* base_ = nullptr;
};

TEST_F(Pages, AQueryGivesThePageTheRestOfItsMappingAndItsProtection) {
    const MEMORY_BASIC_INFORMATION info = Query(base_ + page_ + 17);
    EXPECT_EQ(info.BaseAddress, base_ + page_);
    EXPECT_EQ(info.AllocationBase, base_);
    EXPECT_EQ(info.RegionSize, 2 * page_);
    EXPECT_EQ(info.Protect, PAGE_READWRITE);
    EXPECT_EQ(info.State, MEM_COMMIT);
    EXPECT_EQ(info.Type, MEM_PRIVATE);
    EXPECT_EQ(Query(reinterpret_cast<const void*>(&Query)).Protect, PAGE_EXECUTE_READ);
    EXPECT_EQ(Query(&ReadWriteData).Protect, PAGE_READWRITE);
    EXPECT_EQ(Query(&ReadOnlyData).Protect, PAGE_READONLY);
    EXPECT_EQ(Query(&ReadOnlyData).Type, MEM_MAPPED) << "the program's file";
    MEMORY_BASIC_INFORMATION small{};
    EXPECT_EQ(VirtualQuery(base_, &small, sizeof small - 1), 0u);
}

TEST_F(Pages, ProtectionChangesWholePagesAndAnswersThePreviousOne) {
    DWORD previous = 0;
    // Two bytes that straddle the first two pages.
    ASSERT_TRUE(VirtualProtect(base_ + page_ - 1, 2, PAGE_READONLY, &previous));
    EXPECT_EQ(previous, PAGE_READWRITE);
    EXPECT_EQ(Query(base_).Protect, PAGE_READONLY);
    EXPECT_EQ(Query(base_).RegionSize, 2 * page_) << "the mapping is split where the protection changes";
    EXPECT_EQ(Query(base_ + 2 * page_).Protect, PAGE_READWRITE);
    ASSERT_TRUE(VirtualProtect(base_, 2 * page_, PAGE_READWRITE, &previous));
    EXPECT_EQ(previous, PAGE_READONLY);
    base_[page_] = 1; // writable again
    EXPECT_FALSE(VirtualProtect(base_, 1, 0x1234, &previous));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(VirtualProtect(base_, 1, PAGE_READONLY, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Pages, FreeMemoryIsReportedAndCannotBeProtected) {
    ASSERT_EQ(munmap(base_ + page_, page_), 0);
    const MEMORY_BASIC_INFORMATION gap = Query(base_ + page_ + 5);
    EXPECT_EQ(gap.State, MEM_FREE);
    EXPECT_EQ(gap.Protect, PAGE_NOACCESS);
    EXPECT_EQ(gap.BaseAddress, base_ + page_);
    EXPECT_EQ(gap.RegionSize, page_);
    DWORD previous = 0;
    EXPECT_FALSE(VirtualProtect(base_, 3 * page_, PAGE_READONLY, &previous)) << "a page in the range is free";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    EXPECT_EQ(Query(base_).Protect, PAGE_READWRITE) << "nothing changed";
}

} // namespace
