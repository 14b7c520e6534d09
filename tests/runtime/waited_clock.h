// A frame clock for tests: time moves only when the runtime waits, by the time waited (a poll takes 1 ms).
#pragma once

#include "shell/frame_clock.h"

namespace runtime_test {

class WaitedClock final : public vtrrt::FrameClock {
public:
    explicit WaitedClock(win32::DWORD start = 1000) : now(start) {}
    win32::DWORD Now() override { return now; }
    void WaitForMessage(win32::DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    win32::DWORD now;
};

} // namespace runtime_test
