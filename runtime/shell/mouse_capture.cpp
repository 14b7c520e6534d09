#include "shell/mouse_capture.h"

#include "core/frame_run_state.h"

#include "win32/user.h"

namespace vtrrt {

using namespace win32;

namespace {

bool CapturesMouse(const FrameRunState* s) {
    return s && s->mousePlayers != 0;
}

} // namespace

void SetCursorCount(int count) {
    int now = ShowCursor(count >= 0 ? TRUE : FALSE);
    while (now > count)
        now = ShowCursor(FALSE);
    while (now < count)
        now = ShowCursor(TRUE);
    if (FrameRunState* s = CurrentRunState()) s->pointerShowCount = static_cast<std::int16_t>(now);
}

void CaptureMouse() {
    FrameRunState* s = CurrentRunState();
    if (!CapturesMouse(s)) return;
    GetCursorPos(&s->savedPointer);
    SetCapture(s->frameWindow);
    SetCursorCount(-1);
}

void ReleaseMouse() {
    FrameRunState* s = CurrentRunState();
    if (!CapturesMouse(s)) return;
    SetCursorCount(0);
    ReleaseCapture();
    SetCursorPos(s->savedPointer.x, s->savedPointer.y);
}

} // namespace vtrrt
