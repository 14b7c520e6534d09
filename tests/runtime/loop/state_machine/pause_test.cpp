#include "loop/pause.h"
#include "shell/extension_services.h"

#include "runtime/loop/state_machine/state_machine_fixture.h"
#include "shell/mouse_capture.h"

#include "support/window_class.h"
#include "win32/user.h"

#include <gtest/gtest.h>

namespace {

using namespace vtrrt;
using namespace statemachinetest;

// The layer's pointer display count, read without changing it.
int PointerCount() {
    const int count = win32::ShowCursor(win32::TRUE);
    win32::ShowCursor(win32::FALSE);
    return count - 1;
}

class Pause : public StateMachine {
protected:
    void SetUp() override {
        StateMachine::SetUp();
        pointerBefore_ = PointerCount();
    }
    void TearDown() override {
        // The layer's pointer count and capture belong to the whole process.
        while (PointerCount() < pointerBefore_)
            win32::ShowCursor(win32::TRUE);
        while (PointerCount() > pointerBefore_)
            win32::ShowCursor(win32::FALSE);
        win32::ReleaseCapture();
        if (window_) win32::DestroyWindow(window_);
        StateMachine::TearDown();
    }
    // A running frame whose objects move with the mouse, in a window of its own.
    FrameRunState* StartWithMousePlayers() {
        Start(AppShape(1, 50));
        EXPECT_EQ(Step(), 1);
        test_support::RegisterWindowClass(u"PauseFrameProbe", win32::DefWindowProcW);
        window_ = win32::CreateWindowExW(0, u"PauseFrameProbe", u"", win32::WS_POPUP, 0, 0, 64, 64, nullptr,
                                         nullptr, nullptr, nullptr);
        FrameRunState* s = Run();
        s->frameWindow = window_;
        s->mousePlayers = 1;
        s->cursorCentreX = 32;
        s->cursorCentreY = 40;
        return s;
    }

    int pointerBefore_ = 0;
    win32::HWND window_ = nullptr;
};

TEST_F(Pause, NestsAndOnlyTheOutermostResumeMovesTheClock) {
    Start(AppShape(1, 50));
    ASSERT_EQ(Step(), 1);
    FrameRunState* s = Run();
    // Extensions pause and resume through their run routines.
    const auto pause = ExtensionServices()->run->pause;
    const auto resume = ExtensionServices()->run->resume;
    ASSERT_EQ(pause, &PauseService);
    ASSERT_EQ(resume, &ResumeService);

    const win32::DWORD base = s->clockBase;
    EXPECT_EQ(pause(nullptr, nullptr, nullptr), 0);
    PauseApplication();
    EXPECT_EQ(s->pauseCount, 2);
    clock_.now += 1000;
    EXPECT_EQ(resume(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(s->pauseCount, 1);
    EXPECT_EQ(s->clockBase, base) << "an inner resume leaves the clock";
    ResumeApplication();
    EXPECT_EQ(s->pauseCount, 0);
    EXPECT_EQ(s->clockBase, base + 1000);
    ResumeApplication();
    EXPECT_EQ(s->pauseCount, 0);
    EXPECT_EQ(s->clockBase, base + 1000);
}

TEST_F(Pause, AFiveSecondPauseCausesNoCatchUp) {
    Start(AppShape(1, 50, 0x8)); // machine-independent speed: owed loops would be caught up
    ASSERT_EQ(Step(), 1);
    ASSERT_EQ(Step(), 1);
    FrameRunState* s = Run();
    const std::int64_t loops = s->loopCount;
    const std::int64_t frameClock = s->frameClock;
    PauseApplication();
    clock_.now += 5000;
    ResumeApplication();
    for (int i = 0; i < 3 && s->loopCount == loops; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(s->loopCount, loops + 1);
    EXPECT_EQ(s->loopsToRun, 0);
    EXPECT_LT(s->frameClock - frameClock, 40) << "the paused time does not count";
}

TEST_F(Pause, MousePlayersGetThePointerAndTheMouseBackOnResume) {
    FrameRunState* s = StartWithMousePlayers();
    win32::SetCursorPos(7, 9);
    CaptureMouse();
    EXPECT_EQ(win32::GetCapture(), window_);
    EXPECT_EQ(PointerCount(), -1);
    EXPECT_EQ(s->pointerShowCount, -1);

    win32::SetCursorPos(20, 20);
    PauseApplication();
    EXPECT_GE(PointerCount(), 0);
    EXPECT_EQ(win32::GetCapture(), nullptr);
    win32::POINT p{};
    win32::GetCursorPos(&p);
    EXPECT_EQ(p.x, 7);
    EXPECT_EQ(p.y, 9);
    EXPECT_EQ(s->pointerShowCount, -1) << "the count before the pause is kept";

    ResumeApplication();
    EXPECT_EQ(win32::GetCapture(), window_);
    EXPECT_LT(PointerCount(), 0);
    win32::GetCursorPos(&p);
    EXPECT_EQ(p.x, 32);
    EXPECT_EQ(p.y, 40);
    EXPECT_EQ(s->savedPointer.x, 7);

    ReleaseMouse();
    EXPECT_EQ(PointerCount(), 0);
    EXPECT_EQ(win32::GetCapture(), nullptr);
}

TEST_F(Pause, WithoutMousePlayersAHiddenPointerShowsWhilePaused) {
    Start(AppShape(1, 50));
    ASSERT_EQ(Step(), 1);
    HidePointer();
    EXPECT_EQ(Run()->pointerShowCount, PointerCount());
    ASSERT_LT(PointerCount(), 0);
    PauseApplication();
    EXPECT_GE(PointerCount(), 0);
    ResumeApplication();
    EXPECT_LT(PointerCount(), 0);
    EXPECT_GE(ShowPointer(), 0);
    EXPECT_EQ(Run()->pointerShowCount, PointerCount());
}

TEST_F(Pause, CursorCountsAreBroughtToExactValues) {
    Start(AppShape(1, 50));
    ASSERT_EQ(Step(), 1);
    for (int target : {-3, 2, -1, 0}) {
        SetCursorCount(target);
        EXPECT_EQ(PointerCount(), target);
        EXPECT_EQ(Run()->pointerShowCount, target);
    }
    // Without mouse players the frame neither captures nor releases the mouse.
    CaptureMouse();
    EXPECT_EQ(PointerCount(), 0);
    EXPECT_EQ(win32::GetCapture(), nullptr);
}

} // namespace
