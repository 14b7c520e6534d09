#include "core/frame_clock.h"

#include "win32/kernel.h"
#include "win32/user.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {

class SystemClock final : public FrameClock {
public:
    DWORD Now() override { return timeGetTime(); }
    // Sleeps until input arrives or the time is up, a poll for at most a millisecond: the pacing returns a
    // little before the tick that comes next is counted, and polling at once until it is would cost more
    // than the game's own work.
    void WaitForMessage(DWORD timeoutMs) override {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::max<DWORD>(timeoutMs, 1), QS_ALLINPUT);
    }
};

SystemClock systemClock;
FrameClock* current = &systemClock;

} // namespace

FrameClock& CurrentFrameClock() {
    return *current;
}

FrameClock* SetFrameClock(FrameClock* clock) {
    FrameClock* previous = current;
    current = clock ? clock : &systemClock;
    return previous;
}

} // namespace vtrrt
