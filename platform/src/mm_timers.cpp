// Periodic and one-shot multimedia timers, each on a thread of its own.
#include "win32/mm.h"
#include "win32/sound_testing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace win32 {

namespace {

using Clock = std::chrono::steady_clock;

struct MultimediaTimer {
    UINT id = 0;
    std::chrono::milliseconds delay{0};
    bool periodic = false;
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    bool stopped = false;
    // Held for each call, so that a test's calls and the thread's never overlap.
    std::mutex calling;
};

std::atomic<bool> manualTimers{false};

struct TimerRegistry {
    std::mutex lock;
    std::map<UINT, std::shared_ptr<MultimediaTimer>> timers;
    UINT nextId = 1;
};

// Never destroyed: a timer still alive at exit must not have its thread object destroyed while it runs.
TimerRegistry& Registry() {
    static auto* registry = new TimerRegistry;
    return *registry;
}

void Call(MultimediaTimer& timer) {
    std::lock_guard guard(timer.calling);
    {
        std::lock_guard state(timer.lock);
        if (timer.stopped) return;
    }
    timer.callback(timer.id, 0, timer.user, 0, 0);
}

void RunTimer(std::shared_ptr<MultimediaTimer> timer) {
    auto due = Clock::now() + timer->delay;
    for (;;) {
        {
            std::unique_lock state(timer->lock);
            if (timer->wake.wait_until(state, due, [&] { return timer->stopped; })) return;
        }
        if (!manualTimers) Call(*timer);
        if (!timer->periodic) break;
        due += timer->delay;
        const auto now = Clock::now();
        if (due < now) due = now + timer->delay;
    }
    // A one-shot timer goes by itself, unless timeKillEvent took it first (it then deals with the thread).
    TimerRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    if (registry.timers.erase(timer->id)) timer->thread.detach();
}

} // namespace

MMRESULT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT event) {
    if (delay == 0 || !callback) return 0;
    auto timer = std::make_shared<MultimediaTimer>();
    timer->delay = std::chrono::milliseconds(delay);
    timer->periodic = (event & TIME_PERIODIC) != 0;
    timer->callback = callback;
    timer->user = user;
    TimerRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    timer->id = registry.nextId++;
    if (registry.nextId == 0) registry.nextId = 1;
    try {
        timer->thread = std::thread(RunTimer, timer);
    } catch (const std::system_error&) {
        return 0;
    }
    registry.timers[timer->id] = timer;
    return timer->id;
}

MMRESULT timeKillEvent(UINT id) {
    std::shared_ptr<MultimediaTimer> timer;
    {
        TimerRegistry& registry = Registry();
        std::lock_guard guard(registry.lock);
        auto found = registry.timers.find(id);
        if (found == registry.timers.end()) return TIMERR_NOCANDO;
        timer = found->second;
        registry.timers.erase(found);
    }
    {
        std::lock_guard state(timer->lock);
        timer->stopped = true;
    }
    timer->wake.notify_all();
    if (timer->thread.joinable()) {
        if (timer->thread.get_id() == std::this_thread::get_id())
            timer->thread.detach();
        else
            timer->thread.join();
    }
    return TIMERR_NOERROR;
}

namespace testing {

void UseManualMultimediaTimers(bool on) {
    manualTimers = on;
}

void RunMultimediaTimers() {
    std::vector<std::shared_ptr<MultimediaTimer>> live;
    {
        TimerRegistry& registry = Registry();
        std::lock_guard guard(registry.lock);
        for (auto& [id, timer] : registry.timers)
            live.push_back(timer);
    }
    for (auto& timer : live)
        Call(*timer);
}

} // namespace testing

} // namespace win32
