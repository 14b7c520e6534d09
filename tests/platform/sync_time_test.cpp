#include "win32/kernel.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <thread>

using namespace win32;

namespace {

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section); // the owner may enter again
    LONG counter = 0;
    std::thread other([&] {
        for (int i = 0; i < 1000; ++i) {
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
        }
    });
    LeaveCriticalSection(&section);
    for (int i = 0; i < 1000; ++i) {
        EnterCriticalSection(&section);
        ++counter;
        LeaveCriticalSection(&section);
    }
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_EQ(counter, 2000); // 1000 on each side, none lost
    DeleteCriticalSection(&section);
}

TEST(ThreadSlots, ValuesArePerThreadAndFreedSlotsReadNull) {
    const DWORD slot = TlsAlloc();
    ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
    int mine = 1, theirs = 2;
    ASSERT_TRUE(TlsSetValue(slot, &mine));
    std::thread other([&] {
        EXPECT_EQ(TlsGetValue(slot), nullptr);
        EXPECT_TRUE(TlsSetValue(slot, &theirs));
        EXPECT_EQ(TlsGetValue(slot), &theirs);
    });
    other.join();
    EXPECT_EQ(TlsGetValue(slot), &mine);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_TRUE(TlsFree(slot));
    EXPECT_FALSE(TlsFree(slot));
    EXPECT_FALSE(TlsSetValue(slot, &mine));
    // Handed out again, the slot does not show the value stored under its earlier allocation.
    const DWORD again = TlsAlloc();
    ASSERT_NE(again, TLS_OUT_OF_INDEXES);
    EXPECT_EQ(TlsGetValue(again), nullptr);
    TlsFree(again);
}

TEST(Interlocked, OperationsReturnWhatWindowsReturns) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 8), 9); // no match: unchanged
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
}

TEST(Clock, MillisecondClockNeverRunsBackAndSleepWaits) {
    const DWORD before = timeGetTime();
    Sleep(2);
    EXPECT_GE(timeGetTime() - before, 2u);
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
}

TEST(Clock, TheFakeClockHoldsTheMillisecondClockUntilAdvanced) {
    win32::testing::UseFakeClock(true);
    const DWORD held = timeGetTime();
    Sleep(2);
    EXPECT_EQ(timeGetTime(), held) << "real time passed, simulated time did not";
    win32::testing::AdvanceFakeClock(40);
    EXPECT_EQ(timeGetTime(), held + 40);
    win32::testing::UseFakeClock(false);
    const DWORD before = timeGetTime();
    Sleep(2);
    EXPECT_GE(timeGetTime() - before, 2u) << "real time again once the fake clock is off";
}

TEST(Clock, FileTimesConvertToCalendarDates) {
    // 2024-02-29 12:34:56.789 UTC: 13,353,683,696 seconds after 1601-01-01 (leap day checks the calendar).
    const ULONGLONG ticks = 13353683696ULL * 10000000ULL + 7890000ULL;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME parts{};
    ASSERT_TRUE(FileTimeToSystemTime(&time, &parts));
    EXPECT_EQ(parts.wYear, 2024);
    EXPECT_EQ(parts.wMonth, 2);
    EXPECT_EQ(parts.wDay, 29);
    EXPECT_EQ(parts.wDayOfWeek, 4); // a Thursday
    EXPECT_EQ(parts.wHour, 12);
    EXPECT_EQ(parts.wMinute, 34);
    EXPECT_EQ(parts.wSecond, 56);
    EXPECT_EQ(parts.wMilliseconds, 789);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    EXPECT_GE(now.wYear, 2024);
}

} // namespace
