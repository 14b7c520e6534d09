// Multimedia timers: periodic calls on a thread of the layer, killed from outside and from inside, and the
// manual mode tests use.
#include "win32/mm.h"
#include "win32/sound_testing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace win32;

namespace {

struct Calls {
    std::atomic<int> count{0};
    bool killSelf = false;
    std::thread::id thread;
};

void Count(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* calls = reinterpret_cast<Calls*>(user);
    calls->thread = std::this_thread::get_id();
    ++calls->count;
    if (calls->killSelf) timeKillEvent(id);
}

// Waits (bounded) for a condition that a timer thread makes true.
template <typename Condition> bool Eventually(Condition condition) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(MultimediaTimers, PeriodicTimerCallsOnItsOwnThreadUntilKilled) {
    Calls calls;
    const MMRESULT id = timeSetEvent(2, 1, Count, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(Eventually([&] { return calls.count >= 3; }));
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    const int after = calls.count;
    EXPECT_NE(calls.thread, std::this_thread::get_id());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(calls.count, after) << "no call starts once the kill returned";
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOCANDO);
}

TEST(MultimediaTimers, OneShotCallsOnceAndATimerMayKillItself) {
    Calls once;
    ASSERT_NE(timeSetEvent(1, 1, Count, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT), 0u);
    ASSERT_TRUE(Eventually([&] { return once.count == 1; }));
    Calls self;
    self.killSelf = true;
    const MMRESULT id = timeSetEvent(1, 1, Count, reinterpret_cast<DWORD_PTR>(&self), TIME_PERIODIC);
    ASSERT_TRUE(Eventually([&] { return self.count >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(self.count, 1);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOCANDO) << "already gone";
    EXPECT_EQ(once.count, 1);
    EXPECT_EQ(timeSetEvent(0, 1, Count, 0, TIME_PERIODIC), 0u);
}

TEST(MultimediaTimers, ManualTimersAreCalledOnlyWhenTheTestSays) {
    win32::testing::UseManualMultimediaTimers(true);
    Calls calls;
    const MMRESULT id = timeSetEvent(1, 1, Count, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(calls.count, 0);
    win32::testing::RunMultimediaTimers();
    win32::testing::RunMultimediaTimers();
    EXPECT_EQ(calls.count, 2);
    EXPECT_EQ(calls.thread, std::this_thread::get_id());
    timeKillEvent(id);
    win32::testing::RunMultimediaTimers();
    EXPECT_EQ(calls.count, 2);
    win32::testing::UseManualMultimediaTimers(false);
}

} // namespace
