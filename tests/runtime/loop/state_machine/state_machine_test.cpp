#include "loop/application_state_machine.h"

#include "runtime/loop/state_machine/state_machine_fixture.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "loop/frame_lifecycle.h"
#include "core/frame_run_state.h"
#include "loop/game_loop.h"
#include "core/runtime_services.h"
#include "startup/frame_loader.h"
#include "win32/kernel.h"

#include "appwriter/frame_writer.h"
#include "appwriter/sample_applications.h"
#include "support/scene.h"
#include "support/window_class.h"
#include "win32/menu.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vtrrt;
using namespace statemachinetest;

TEST(TimerPeriod, FollowsTheFrameRate) {
    const std::pair<std::int32_t, win32::UINT> cases[] = {{50, 1},  {100, 1}, {10, 50}, {1, 50}, {11, 45},
                                                          {25, 20}, {40, 12}, {49, 10}, {0, 50}, {-3, 50}};
    for (auto [rate, period] : cases)
        EXPECT_EQ(TimerPeriodFor(rate), period) << rate;
}

TEST_F(StateMachine, StopAfterStartLeavesTheFirstFrameUnloaded) {
    ApplicationRecord* app = Start(AppShape());
    EXPECT_EQ(app->runState, StateStartApplication);
    EXPECT_EQ(app->currentFrameIndex, -1);
    EXPECT_EQ(RunApplicationStep(app, 1), 1);
    EXPECT_EQ(app->runState, StateStartFrame);
    EXPECT_EQ(app->currentFrameIndex, -1);
    EXPECT_EQ(app->run.frame, nullptr);
    EXPECT_NE(app->globals.lives, nullptr); // the globals were set up
}

TEST_F(StateMachine, FirstStepStartsTheFirstFrameAndRunsOneTick) {
    ApplicationRecord* app = Start(AppShape());
    EXPECT_EQ(Step(), 1);
    EXPECT_EQ(app->runState, StateRunFrame);
    EXPECT_EQ(app->currentFrameIndex, 0);
    ASSERT_NE(app->run.frame, nullptr);
    EXPECT_EQ(app->run.frame->background, 0x10u);
    ASSERT_NE(Run(), nullptr);
    EXPECT_EQ(Run()->loopCount, 1);
}

TEST_F(StateMachine, TheRunPausesWhileAMenuIsOpenUntilItsEnd) {
    test_support::RegisterWindowClass(u"MenuPauseProbe", win32::DefWindowProcW);
    const win32::HWND probe = win32::CreateWindowExW(0, u"MenuPauseProbe", u"", win32::WS_POPUP, 0, 0, 10, 10,
                                                     nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(probe, nullptr);
    ApplicationRecord* app = Start(AppShape());
    const win32::HHOOK hook = Services().hook;
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(Step(), 1);
    ASSERT_EQ(app->runState, StateRunFrame);
    win32::SendMessageW(probe, win32::WM_INITMENU, 0, 0);
    EXPECT_EQ(Run()->pauseCount, 1);
    win32::SendMessageW(probe, win32::WM_MENUSELECT, win32::MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(Run()->pauseCount, 0);

    // A sub-application's start leaves the process's one hook alone.
    ApplicationRecord child{};
    child.parent = app;
    StartApplication(&child);
    EXPECT_EQ(Services().hook, hook);
    EndApplication(&child);
    EXPECT_EQ(Services().hook, hook);
    SetCurrentApplication(app);

    EndApplication(app);
    EXPECT_EQ(Services().hook, nullptr);
    EXPECT_FALSE(win32::UnhookWindowsHookEx(hook)) << "the end removed it";
    win32::SendMessageW(probe, win32::WM_INITMENU, 0, 0);
    EXPECT_EQ(Run()->pauseCount, 0);
    win32::DestroyWindow(probe);
}

TEST_F(StateMachine, FirstFrameThatFailsToLoadQuitsInTheSameCall) {
    appwriter::ApplicationDescription d;
    appwriter::FrameContents noLayers;
    noLayers.layers.clear();
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0, noLayers));
    ApplicationRecord* app = StartWith(d);
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(app->runState, StateQuit);
    EXPECT_EQ(app->run.frame, nullptr);
    // The run is known to have ended on the error, which sets the program's exit status.
    EXPECT_NE(app->run.startError, 0);
}

TEST_F(StateMachine, AnApplicationLoadedWithoutALibraryContextCannotStart) {
    const auto bytes = appwriter::WriteApplication(appwriter::ApplicationDescription{});
    AppContext* context = std::exchange(Services().libraryContext, nullptr);
    loadertest::RecordPtr app = loadertest::LoadFromMemory(bytes);
    Services().libraryContext = context;
    ASSERT_TRUE(app);
    EXPECT_EQ(StartApplication(app.get()), 0);
    EXPECT_NE(CurrentApplication(), app.get());
}

TEST_F(StateMachine, StartMakesTheFolderOfTheApplicationsFileCurrent) {
    const std::filesystem::path before = std::filesystem::current_path();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vtr-start-folder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    bytes_ = appwriter::WriteApplication(appwriter::ApplicationDescription{});
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(bytes_.data(), static_cast<win32::LONG>(bytes_.size()));
    const std::u16string path = win32::FromUtf8((folder / "game.vtg").string());
    app_.reset(LoadApplicationFromStream(stream, path.c_str(), 0, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(app_);
    EXPECT_EQ(StartApplication(app_.get()), 1);
    const std::filesystem::path now = std::filesystem::current_path();
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(now, folder);
}

// What an interrupt or termination signal asks of the machine.
TEST_F(StateMachine, AnEndRequestEndsTheRunningFrameAndNoFrameStartsAfterIt) {
    ApplicationRecord* app = Start(AppShape());
    ASSERT_EQ(Step(), 1);
    RequestEndOfRun();
    EXPECT_EQ(Run()->exitCode, ExitError);
    // Events asking for another frame in the same tick cannot keep the run going.
    Run()->exitCode = ExitNextFrame;
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(app->runState, StateQuit);
    EXPECT_EQ(app->run.frame, nullptr);
    EXPECT_EQ(app->run.startError, 0) << "an end asked for is no error";
}

TEST_F(StateMachine, AnEndRequestBeforeTheFirstFrameStartsNone) {
    ApplicationRecord* app = Start(AppShape());
    RequestEndOfRun();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(app->runState, StateQuit);
    EXPECT_EQ(app->currentFrameIndex, -1);
}

class SampleApplication : public StateMachine, public ::testing::WithParamInterface<std::size_t> {};

// The applications appsamples writes are to be run by hand: each must start its first frame.
TEST_P(SampleApplication, StartsItsFirstFrame) {
    ApplicationRecord* app = StartWith(appwriter::SampleApplications()[GetParam()].app);
    ASSERT_TRUE(app);
    EXPECT_EQ(Step(), 1);
    EXPECT_EQ(app->runState, StateRunFrame);
    EXPECT_EQ(app->currentFrameIndex, 0);
}

INSTANTIATE_TEST_SUITE_P(Each, SampleApplication,
                         ::testing::Range<std::size_t>(0, appwriter::SampleApplications().size()),
                         [](const auto& info) {
                             std::string name = appwriter::SampleApplications()[info.param].name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

struct ExitCase {
    const char* name;
    AppShape shape;
    std::int32_t startFrame; // reached by next-frame codes first
    std::int16_t code;
    std::int32_t parameter;
    int expectedStep;        // RunApplicationStep's result
    std::int32_t frameAfter; // -1: none (quit)
};

const ExitCase exitCases[] = {
    {"NextGoesToTheNextFrame", AppShape(), 0, ExitNextFrame, 0, 1, 1},
    {"NextOnTheLastFrameQuits", AppShape(), 2, ExitNextFrame, 0, 0, -1},
    {"PreviousGoesBack", AppShape(), 2, ExitPreviousFrame, 0, 1, 1},
    {"PreviousOnFrameZeroStaysThere", AppShape(), 0, ExitPreviousFrame, 0, 1, 0},
    {"JumpByIndexIsClampedToTheLastFrame", AppShape(5), 0, ExitJumpToFrame, 0x8000 | 99, 1, 4},
    {"JumpByIndex", AppShape(5), 0, ExitJumpToFrame, 0x8000 | 2, 1, 2},
    {"JumpByHandle", AppShape(5, 60, 0, 0, std::vector<std::uint16_t>{3, 0xFFFF, 1}), 0, ExitJumpToFrame, 0,
     1, 3},
    {"JumpToAnEmptyHandleGoesToTheNextFrame", AppShape(5, 60, 0, 0, std::vector<std::uint16_t>{3, 0xFFFF, 1}),
     1, ExitJumpToFrame, 1, 1, 2},
    {"JumpBeyondTheHandleTableGoesToTheNextFrame", AppShape(5, 60, 0, 0, std::vector<std::uint16_t>{3}), 0,
     ExitJumpToFrame, 7, 1, 1},
    {"JumpPastTheLastFrameQuits", AppShape(5, 60, 0, 0, std::vector<std::uint16_t>{9}), 0, ExitJumpToFrame, 0,
     0, -1},
    {"EndQuits", AppShape(), 1, ExitEndApplication, 0, 0, -1},
    {"ErrorQuits", AppShape(), 1, ExitError, 0, 0, -1},
    {"UnlistedCodeQuits", AppShape(), 0, 42, 0, 0, -1},
    {"EveryFrameEndQuitsWhenTheHeaderSaysSo", AppShape(3, 60, 0, 0x4), 0, ExitNextFrame, 0, 0, -1},
};

class FrameExit : public StateMachine, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(FrameExit, LeadsWhereItShould) {
    const ExitCase& c = GetParam();
    ApplicationRecord* app = Start(c.shape);
    ASSERT_EQ(Step(), 1);
    for (std::int32_t i = 0; i < c.startFrame; ++i)
        ASSERT_EQ(EndWith(ExitNextFrame), 1);
    ASSERT_EQ(app->currentFrameIndex, c.startFrame);
    EXPECT_EQ(EndWith(c.code, c.parameter), c.expectedStep);
    EXPECT_EQ(app->currentFrameIndex, c.frameAfter);
    if (c.frameAfter < 0) {
        EXPECT_EQ(app->runState, StateQuit);
        EXPECT_EQ(app->run.frame, nullptr);
        EXPECT_EQ(Run(), nullptr);
        EXPECT_EQ(Step(), 0); // and it stays ended
    } else {
        EXPECT_EQ(app->runState, StateRunFrame);
        EXPECT_EQ(app->run.frame->background, static_cast<std::uint32_t>(0x10 * (c.frameAfter + 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, FrameExit, ::testing::ValuesIn(exitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateMachine, PreviousOnFrameZeroRestartsItWithoutReloading) {
    ApplicationRecord* app = Start(AppShape());
    ASSERT_EQ(Step(), 1);
    FrameRecord* loaded = app->run.frame;
    ASSERT_EQ(EndWith(ExitPreviousFrame), 1);
    EXPECT_EQ(app->run.frame, loaded);
    EXPECT_EQ(Run()->loopCount, 1); // a new run
}

TEST_F(StateMachine, RestartApplicationStartsAgainFromTheFirstFrameWithFreshGlobals) {
    ApplicationRecord* app = Start(AppShape());
    ASSERT_EQ(Step(), 1);
    ASSERT_EQ(EndWith(ExitNextFrame), 1);
    app->globals.lives[0] = ~7;
    EXPECT_EQ(EndWith(ExitRestartApplication), 1);
    EXPECT_EQ(app->currentFrameIndex, 0);
    EXPECT_EQ(app->runState, StateRunFrame);
    EXPECT_EQ(~app->globals.lives[0], 3);
}

TEST_F(StateMachine, RestartFrameRebuildsTheRunInPlace) {
    ApplicationRecord* app = Start(AppShape());
    ASSERT_EQ(Step(), 1);
    while (Run()->loopCount < 4)
        ASSERT_EQ(Step(), 1);
    FrameRecord* loaded = app->run.frame;
    EXPECT_EQ(EndWith(ExitRestartFrame), 1);
    EXPECT_EQ(app->run.frame, loaded);
    EXPECT_EQ(app->currentFrameIndex, 0);
    EXPECT_EQ(Run()->exitCode, ExitNone);
    EXPECT_EQ(Run()->loopCount, 0);
    EXPECT_EQ(Step(), 1);
    EXPECT_EQ(Run()->loopCount, 1); // the first loop of a new run is due at once
}

// Steps through one simulated second of the frame.
std::int64_t LoopsInOneSecond(StateMachine& t, FakeClock& clock, ApplicationRecord* app) {
    const win32::DWORD start = app->run.startTime;
    while (clock.now - start < 1000)
        EXPECT_EQ(RunApplicationStep(app, 0), 1);
    return CurrentRunState()->loopCount;
    (void)t;
}

TEST_F(StateMachine, FrameRunsAsManyTicksAsItsRateOverASecond) {
    for (std::int32_t rate : {60, 50, 25, 1}) {
        app_.reset();
        SetCurrentApplication(nullptr);
        ApplicationRecord* app = Start(AppShape(1, rate));
        ASSERT_EQ(Step(), 1);
        EXPECT_EQ(LoopsInOneSecond(*this, clock_, app), rate) << rate;
        scene::EndStarted(*app);
    }
}

TEST_F(StateMachine, FrameRateZeroIsPacedAtTheLowestRate) {
    ApplicationRecord* app = Start(AppShape(1, 0));
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(LoopsInOneSecond(*this, clock_, app), 1);
}

TEST_F(StateMachine, MachineIndependentSpeedCatchesUpAtMostThreeLoopsAfterAStall) {
    ApplicationRecord* app = Start(AppShape(1, 50, 0x8));
    ASSERT_EQ(Step(), 1);
    ASSERT_TRUE(Run()->runFlags & RunMachineIndependent);
    const std::int64_t before = Run()->loopCount;
    clock_.now += 200; // ten ticks owed
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Run()->loopCount, before + 1);
    EXPECT_EQ(Run()->loopsToRun, 2);
    EXPECT_EQ(Run()->targetLoopCount - Run()->loopCount, 2);
    ASSERT_EQ(Step(), 1);
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Run()->loopCount, before + 3);
    EXPECT_EQ(Run()->loopsToRun, 0);
    (void)app;
}

TEST_F(StateMachine, WithoutMachineIndependentSpeedAStallCostsTheOwedLoops) {
    ApplicationRecord* app = Start(AppShape(1, 50));
    ASSERT_EQ(Step(), 1);
    const std::int64_t before = Run()->loopCount;
    clock_.now += 200;
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Run()->loopCount, before + 1);
    EXPECT_EQ(Run()->loopsToRun, 0);
    (void)app;
}

TEST_F(StateMachine, PausedRunDoesNothingAndItsClocksStay) {
    Start(AppShape(1));
    ASSERT_EQ(Step(), 1);
    Run()->pauseCount = 1;
    const std::int64_t loops = Run()->loopCount;
    const std::int64_t frameClock = Run()->frameClock;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Run()->loopCount, loops);
    EXPECT_EQ(Run()->frameClock, frameClock);
}

TEST_F(StateMachine, LoopTimesGoIntoTheRing) {
    Start(AppShape(1, 50));
    ASSERT_EQ(Step(), 1);
    while (Run()->loopCount < 13)
        ASSERT_EQ(Step(), 1);
    const FrameRunState* s = Run();
    EXPECT_EQ(s->loopTimeIndex, s->loopCount % LoopTimeRingSize);
    EXPECT_EQ(s->loopTimes[(s->loopTimeIndex + LoopTimeRingSize - 1) % LoopTimeRingSize], s->loopTime);
    std::int64_t sum = 0;
    for (std::int32_t t : s->loopTimes)
        sum += t;
    EXPECT_EQ(s->frameClock, s->totalLoopTime);
    EXPECT_NEAR(static_cast<double>(sum) / LoopTimeRingSize, 20.0, 1.0);
}

TEST_F(StateMachine, FrameWithAFadeInRunsOneTickFirstAndGoesOnFromItsClock) {
    appwriter::ApplicationDescription d;
    appwriter::FrameContents c;
    c.fadeIn = appwriter::Bytes(32, 0);
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0, c));
    ApplicationRecord* app = StartWith(d);
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(app->runState, StateRunFrame);
    EXPECT_FALSE(Run()->runFlags & RunFadeInPending);
    EXPECT_EQ(Run()->loopCount, 1); // the tick before the fade
    while (Run()->loopCount < 2)
        ASSERT_EQ(Step(), 1);
    EXPECT_GT(Run()->frameClock, 0);
    EXPECT_LT(Run()->frameClock, 40);
}

} // namespace
