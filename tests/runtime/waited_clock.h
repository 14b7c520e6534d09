// A frame clock for tests: time moves only when the runtime waits, by the time waited (a poll takes 1 ms).
#pragma once

#include "core/application_record.h"
#include "core/frame_clock.h"
#include "loop/application_state_machine.h"

#include "win32/window_testing.h"

namespace runtime_test {

// The window layer's own clock, which the fades and the timers read, moves with the frame clock: a fade paced
// by it then lasts as many steps on every machine, whatever the build's speed.
class WaitedClock : public vtrrt::FrameClock {
public:
    explicit WaitedClock(win32::DWORD start = 1000) : now(start) {}
    win32::DWORD Now() override { return now; }
    void WaitForMessage(win32::DWORD timeoutMs) override {
        const win32::DWORD waited = timeoutMs ? timeoutMs : 1;
        now += waited;
        win32::testing::AdvanceFakeClock(waited);
    }
    win32::DWORD now;
};

// For its life the window layer's clock is the fake one, which only the tests' clocks move.
class FakeWindowClock {
public:
    FakeWindowClock() { win32::testing::UseFakeClock(true); }
    ~FakeWindowClock() { win32::testing::UseFakeClock(false); }
    FakeWindowClock(const FakeWindowClock&) = delete;
    FakeWindowClock& operator=(const FakeWindowClock&) = delete;
};

// What a step that does not wait for its tick takes on the window layer's clock: a fade steps as fast as the
// machine draws, and is given one frame of a 50-loop second for each step.
constexpr win32::DWORD UnwaitedStepMs = 20;

// One step of the application's state machine; a step that did not wait on `clock` takes UnwaitedStepMs.
inline int StepApplication(vtrrt::ApplicationRecord* app, const WaitedClock& clock) {
    const win32::DWORD before = clock.now;
    const int r = vtrrt::RunApplicationStep(app, 0);
    if (clock.now == before) win32::testing::AdvanceFakeClock(UnwaitedStepMs);
    return r;
}

} // namespace runtime_test
