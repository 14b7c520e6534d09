#include "shell/frame_clock.h"

#include "win32/kernel.h"
#include "win32/user.h"

namespace vtrrt {

using namespace win32;

namespace {

class SystemClock final : public FrameClock {
public:
    DWORD Now() override { return timeGetTime(); }
    void WaitForMessage(DWORD timeoutMs) override {
        const DWORD start = timeGetTime();
        MSG msg;
        // Poll in short sleeps: the platform's message queue is filled from SDL's event queue on demand.
        while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && timeGetTime() - start < timeoutMs)
            Sleep(1);
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
