// Frames that fade in and out through the runtime's transition module, run in their windows: the states of
// the fade, what the window shows half-way, and the commands that cut a fade.
#include "application_run.h"
#include "core/frame_clock.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "loop/frame_lifecycle.h"
#include "loop/frame_transitions.h"
#include "objects/transition_modules.h"
#include "runtime/waited_clock.h"
#include "shell/application_menu.h"
#include "startup/runtime_files.h"

#include "appwriter/frame_writer.h"
#include "vtrs2/surface.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace {

using namespace vtrrt;
using namespace win32;

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr std::uint32_t Steps = 4;

// A fade of the runtime's module that ends after `steps` steps.
appwriter::Bytes Fade(std::uint32_t steps, std::uint32_t flags = 0, std::uint32_t colour = 0,
                      std::u16string module = u"vtrtrans") {
    appwriter::TransitionDesc t;
    t.flags = flags;
    t.colour = colour;
    t.module = std::move(module);
    t.parameters = {static_cast<std::uint8_t>(steps), 0, 0, 0};
    return appwriter::TransitionPayload(t, appwriter::StringForm::Wide);
}

// Two frames of the window's size: red, then blue.
appwriter::ApplicationDescription TwoFrames(std::optional<appwriter::Bytes> fadeOut,
                                            std::optional<appwriter::Bytes> fadeIn) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    appwriter::FrameContents first, second;
    first.fadeOut = std::move(fadeOut);
    second.fadeIn = std::move(fadeIn);
    d.frames.push_back(appwriter::DescribeFrame(320, 200, Red, first));
    d.frames.push_back(appwriter::DescribeFrame(320, 200, Blue, second));
    return d;
}

// The picture k steps of n into a cross-fade: the blend of the library, the new picture weighed
// 128 - c and the old one c, with c = 128 - round(128 k / n).
COLORREF CrossFade(COLORREF from, COLORREF to, std::uint32_t k, std::uint32_t n) {
    const int c = 128 - static_cast<int>(128.0 * k / n + 0.5);
    auto channel = [&](int shift) {
        const int o = (from >> shift) & 0xFF, t = (to >> shift) & 0xFF;
        return static_cast<COLORREF>(((t * (128 - c) + o * c) >> 7) << shift);
    };
    return channel(0) | channel(8) | channel(16);
}

class FrameFades : public ::testing::Test {
protected:
    void SetUp() override {
        // Time moves only when the run waits, so that every step of the machine is the same on every run.
        previousClock_ = SetFrameClock(&clock_);
        kept_ = GetRuntimeFiles().tempFolder;
        GetRuntimeFiles().tempFolder = std::filesystem::path(VTR_BIN_DIR).u16string() + u"/";
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        FreeTransitionModules();
        Services().endRequested = false;
        GetRuntimeFiles().tempFolder = kept_;
        SetFrameClock(previousClock_);
    }
    void Start(const appwriter::ApplicationDescription& d) {
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }
    int NextFrame() {
        CurrentRunState()->exitCode = ExitNextFrame;
        return Step();
    }
    // What the frame window shows at its two far corners.
    std::pair<COLORREF, COLORREF> Corners() const {
        const HWND w = Services().frameWindow;
        return {win32::testing::ReadWindowPixel(w, 0, 0), win32::testing::ReadWindowPixel(w, 319, 199)};
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::u16string kept_;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(FrameFades, AFadeInCrossesFromThePreviousFrameInItsStepsThenTheFrameRuns) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, Fade(Steps))));
    ASSERT_EQ(app_->runState, StateRunFrame);
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, StateFadeIn);
    EXPECT_EQ(app_->currentFrameIndex, 1);
    EXPECT_TRUE(FrameFadeRunning());
    const std::int64_t loops = CurrentRunState()->loopCount;
    for (std::uint32_t k = 1; k <= Steps; ++k) {
        // The whole window follows every step: the module tells no changed rectangles.
        const COLORREF expected = CrossFade(Red, Blue, k, Steps);
        EXPECT_EQ(Corners(), std::make_pair(expected, expected)) << k;
        ASSERT_EQ(app_->runState, StateFadeIn) << k;
        if (k == Steps) break;
        ASSERT_EQ(Step(), 1);
    }
    EXPECT_EQ(CrossFade(Red, Blue, 2, 4), RGB(127, 0, 127)) << "half-way the two colours are mixed";
    EXPECT_EQ(CurrentRunState()->loopCount, loops) << "the frame's clock holds during the fade";
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app_->runState, StateRunFrame);
    EXPECT_FALSE(FrameFadeRunning());
    EXPECT_EQ(app_->run.frame->oldPicture, nullptr);
    EXPECT_FALSE(CurrentRunState()->runFlags & RunFadeInPending) << "the frame went on";
}

// However far the fade got, the frame shows itself when its fade-in ends.
TEST_F(FrameFades, TheEndOfAFadeInRedrawsTheFrame) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    appwriter::FrameContents first, second;
    first.layers = second.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}}; // shown
    second.fadeIn = Fade(Steps);
    d.frames.push_back(appwriter::DescribeFrame(320, 200, Red, first));
    d.frames.push_back(appwriter::DescribeFrame(320, 200, Blue, second));
    ASSERT_NO_FATAL_FAILURE(Start(d));
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, StateFadeIn);
    EXPECT_EQ(Corners().first, CrossFade(Red, Blue, 1, Steps));
    EndFrameTransition(app_.get(), false);
    EXPECT_EQ(app_->runState, StateRunFrame);
    // The next loop's display shows what was redrawn.
    const std::int64_t loops = CurrentRunState()->loopCount;
    for (int i = 0; i < 1000 && CurrentRunState()->loopCount == loops; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Corners(), std::make_pair(Blue, Blue));
}

TEST_F(FrameFades, AFadeOutGoesToItsColourBeforeTheNextFrameStarts) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(Fade(2, TransitionPlainColour, RGB(0, 255, 0)), std::nullopt)));
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, StateFadeOut);
    EXPECT_EQ(app_->currentFrameIndex, 0);
    EXPECT_EQ(Corners().first, CrossFade(Red, RGB(0, 255, 0), 1, 2));
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Corners().first, RGB(0, 255, 0));
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app_->runState, StateRunFrame);
    EXPECT_EQ(app_->currentFrameIndex, 1);
}

// A quit asked while the first frame fades out or the second fades in, by the menu's commands, by the
// close box or by an end of the run requested (as a termination signal does), ends the application: the
// frame that was about to start never starts.
struct QuitDuringFade {
    const char* name;
    bool fadeOut;
    UINT message; // 0: an end of the run requested
    WPARAM wParam;
};

void PrintTo(const QuitDuringFade& c, std::ostream* out) {
    *out << c.name;
}

class FrameFadesQuit : public FrameFades, public ::testing::WithParamInterface<QuitDuringFade> {};

TEST_P(FrameFadesQuit, QuitsAtOnce) {
    const QuitDuringFade& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(
        Start(c.fadeOut ? TwoFrames(Fade(50), std::nullopt) : TwoFrames(std::nullopt, Fade(50))));
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, c.fadeOut ? StateFadeOut : StateFadeIn);
    if (c.message)
        PostMessageW(Services().mainWindow, c.message, c.wParam, 0);
    else
        RequestEndOfRun();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_EQ(app_->currentFrameIndex, -1) << "a frame was started after the quit";
    EXPECT_EQ(Step(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrameFadesQuit,
    ::testing::Values(QuitDuringFade{"QuitInFadeIn", false, WM_COMMAND, CommandQuit},
                      QuitDuringFade{"QuitInFadeOut", true, WM_COMMAND, CommandQuit},
                      QuitDuringFade{"OtherQuitInFadeOut", true, WM_COMMAND, CommandQuitToo},
                      QuitDuringFade{"CloseBoxInFadeIn", false, WM_SYSCOMMAND, SC_CLOSE},
                      QuitDuringFade{"CloseBoxInFadeOut", true, WM_SYSCOMMAND, SC_CLOSE},
                      QuitDuringFade{"EndRequestInFadeIn", false, 0, 0},
                      QuitDuringFade{"EndRequestInFadeOut", true, 0, 0}),
    [](const ::testing::TestParamInfo<QuitDuringFade>& info) { return std::string(info.param.name); });

// The frame change drops the keys and clicks made meanwhile, not a close asked at the same time.
TEST_F(FrameFades, ACloseAskedWithKeysWhileTheFrameChangesStillQuits) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, std::nullopt)));
    app_->run.frame->endCode = ExitNextFrame;
    PostMessageW(Services().mainWindow, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(Services().mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(Services().mainWindow, WM_LBUTTONDOWN, 0, 0);
    EndCurrentFrame();
    ASSERT_EQ(app_->runState, StateStartFrame);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE)) << "a key outlived the change";
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE));
    int steps = 0;
    while (Step() != 0 && ++steps < 4) {
    }
    EXPECT_EQ(app_->runState, StateQuit) << "the close was dropped with the keys";
    EXPECT_EQ(app_->currentFrameIndex, -1);
}

// A termination signal is taken where the program reads its messages, and the next frame's start reads them
// before the frame has a run state: the end asked there still ends the run once the frame runs.
BOOL EndTheRun(DWORD) {
    RequestEndOfRun();
    return TRUE;
}

TEST_F(FrameFades, AnEndAskedWhileTheNextFrameStartsEndsTheRun) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, std::nullopt)));
    app_->run.frame->endCode = ExitNextFrame;
    EndCurrentFrame();
    ASSERT_EQ(app_->runState, StateStartFrame);
    ASSERT_EQ(CurrentRunState(), nullptr);
    ASSERT_TRUE(SetConsoleCtrlHandler(EndTheRun, TRUE));
    // SIGTERM: a test run in the background was started with SIGINT ignored.
    raise(SIGTERM);
    int steps = 0;
    while (Step() != 0 && ++steps < 10) {
    }
    SetConsoleCtrlHandler(EndTheRun, FALSE);
    EXPECT_TRUE(Services().endRequested) << "the signal was not taken during the frame's start";
    EXPECT_EQ(app_->runState, StateQuit) << "the frame ran on after the end was asked";
}

TEST_F(FrameFades, RestartDuringAFadeRestartsTheApplication) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, Fade(50))));
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, StateFadeIn);
    PostMessageW(Services().mainWindow, WM_COMMAND, CommandRestart, 0);
    EXPECT_EQ(StepFrameTransition(), 0);
    EXPECT_EQ(app_->runState, StateStartApplication);
    EXPECT_EQ(app_->run.frame->endCode, ExitRestartApplication);
    // What the machine does then: the fade and the frame end, and the application starts again.
    EndFrameTransition(app_.get(), false);
    EndCurrentFrame();
    EXPECT_EQ(app_->runState, StateStartApplication);
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app_->currentFrameIndex, 0);
    EXPECT_EQ(app_->runState, StateRunFrame);
}

// Losing the display device takes the fade's pictures with it: the fade ends and the frame runs.
TEST_F(FrameFades, ALostDeviceEndsTheFade) {
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, Fade(50))));
    ASSERT_EQ(NextFrame(), 1);
    ASSERT_EQ(app_->runState, StateFadeIn);
    OnSurfaceLost(app_->run.frame->surface, reinterpret_cast<LPARAM>(app_.get()));
    EXPECT_EQ(app_->runState, StateRunFrame);
    EXPECT_EQ(app_->run.frame->transition, nullptr);
    EXPECT_EQ(app_->run.frame->oldPicture, nullptr);
    EXPECT_EQ(Step(), 1);
}

TEST_F(FrameFades, AMissingModuleSkipsTheFadeAndTheFrameRuns) {
    ::testing::internal::CaptureStderr();
    ASSERT_NO_FATAL_FAILURE(Start(TwoFrames(std::nullopt, Fade(4, 0, 0, u"nosuch"))));
    ASSERT_EQ(NextFrame(), 1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Cannot find nosuch.dll!"), std::string::npos) << said;
    EXPECT_EQ(app_->runState, StateRunFrame);
    EXPECT_EQ(app_->currentFrameIndex, 1);
    EXPECT_FALSE(CurrentRunState()->runFlags & RunFadeInPending);
}

} // namespace
