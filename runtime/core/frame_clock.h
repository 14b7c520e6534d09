// The clock that paces frames: the system's millisecond clock and a wait for messages, replaceable so that
// tests can drive the state machine through simulated time.
#pragma once

#include "win32/types.h"

#include <cstdint>

namespace vtrrt {

// Frame rates outside these limits are taken as the nearest limit: 0 would divide by zero, and more ticks
// than the millisecond clock can tell apart cannot be paced.
constexpr std::int32_t MinFrameRate = 1;
constexpr std::int32_t MaxFrameRate = 1000;

class FrameClock {
public:
    virtual ~FrameClock() = default;
    virtual win32::DWORD Now() = 0;
    // Waits until a message arrives or the timeout has passed.
    virtual void WaitForMessage(win32::DWORD timeoutMs) = 0;
};

FrameClock& CurrentFrameClock();
// Installs a clock (null restores the system clock); returns the previous one.
FrameClock* SetFrameClock(FrameClock* clock);

inline win32::DWORD ClockNow() {
    return CurrentFrameClock().Now();
}

} // namespace vtrrt
