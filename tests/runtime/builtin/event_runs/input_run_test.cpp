// A written application run in its windows with a fake clock: keys, clicks, menu commands and close
// requests reach the frame's conditions through the real window procedures, and the frames' timers and
// requests change frames.
#include "core/application_record.h"
#include "core/frame_clock.h"
#include "event_frame.h"
#include "runtime/app/wiring/application_run.h"
#include "runtime/waited_clock.h"
#include "loop/application_state_machine.h"
#include "core/frame_clock.h"
#include "core/application_record.h"

#include "appwriter/frame_writer.h"
#include "win32/window_testing.h"

#include <SDL.h>

using namespace eventruns;
using namespace win32;

namespace {

constexpr COLORREF TitleColour = RGB(0x20, 0x60, 0xC0);
constexpr COLORREF LevelColour = RGB(0x30, 0xA0, 0x40);
constexpr std::int16_t ParamKey = 14;
constexpr std::int16_t ParamShort = 3;

EventRecordDesc JumpToFrameNumber(std::int32_t n) {
    return Record(TypeStoryboard, 2, {Number(n)});
}

// The title waits for a key, a click, a menu command or a close request; the level goes back to the title
// after two seconds.
appwriter::ApplicationDescription TwoFrames() {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    d.header->frameRate = 50;
    EventProgramBuilder title;
    title.conditionCounts[TypeKeyboardMouse + 7] = 12;
    title.conditionCounts[TypeSpecial + 7] = 110;
    title.conditionCounts[TypeStoryboard + 7] = 10;
    title.AddGroup(Group({Record(TypeKeyboardMouse, -9), Switch(1)}, {Recorder(9), JumpToFrameNumber(2)}));
    title.AddGroup(
        Group({EveryLoop(Record(TypeKeyboardMouse, -1, {appwriter::ShortParameter(ParamKey, 'B')}))},
              {Recorder('B')}));
    title.AddGroup(
        Group({EveryLoop(Record(TypeKeyboardMouse, -2, {appwriter::ShortParameter(ParamKey, 'B')}))},
              {Recorder('b')}));
    title.AddGroup(Group({Record(TypeKeyboardMouse, -5, {appwriter::ShortParameter(ParamShort, 0)})},
                         {Recorder(5), Record(TypeStoryboard, 0)}));
    title.AddGroup(
        Group({Record(TypeSpecial, -14, {appwriter::ShortParameter(ParamShort, 1010)})}, {Recorder(14)}));
    title.AddGroup(Group({Record(TypeSpecial, -21)}, {Recorder(21)}));
    title.AddGroup(Group({EveryLoop(Switch(2))},
                         {Record(TypeStoryboard, 17, {appwriter::ShortParameter(ParamKey, 'P')})}));
    title.AddGroup(Group({Record(TypeStoryboard, -8)}, {Recorder(8)}));
    EventProgramBuilder level;
    level.conditionCounts[TypeTimer + 7] = 8;
    level.AddGroup(
        Group({Record(TypeTimer, -1, {appwriter::IntParameter(ParamTime, 2000)})}, {JumpToFrameNumber(1)}));
    appwriter::FrameContents first, second;
    first.events = title.ChunkPayload();
    second.events = level.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(320, 200, TitleColour, first));
    d.frames.push_back(appwriter::DescribeFrame(320, 200, LevelColour, second));
    return d;
}

class InputRun : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        win32::testing::ResetInputState();
        Log().clear();
        std::fill(std::begin(switches), std::end(switches), false);
        bytes_ = appwriter::WriteApplication(TwoFrames());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        InstallTestRoutines();
        ASSERT_EQ(app_->currentFrameIndex, 0);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        win32::testing::ResetInputState();
        SetFrameClock(previousClock_);
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }
    // Steps until the frame is `index`; false when it is not within a number of steps.
    bool StepsTo(std::int32_t index, int limit = 20) {
        for (int i = 0; i < limit && app_->currentFrameIndex != index; ++i)
            if (!Step()) return false;
        return app_->currentFrameIndex == index;
    }
    static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
    static SDL_Event Key(Uint32 type, SDL_Scancode scancode, SDL_Keycode sym) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = win32::testing::SdlWindowId(Services().mainWindow);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = sym;
        return e;
    }
    static SDL_Event Button(Uint32 type, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = win32::testing::SdlWindowId(Services().mainWindow);
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        return e;
    }
    COLORREF FrameColour() const { return win32::testing::ReadWindowPixel(Services().frameWindow, 160, 100); }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

TEST_F(InputRun, AKeyPressJumpsToTheLevelWhichGoesBackToTheTitleAfterItsTime) {
    EXPECT_EQ(FrameColour(), TitleColour);
    switches[1] = true;
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE));
    ASSERT_TRUE(StepsTo(1));
    EXPECT_EQ(Values(), std::vector<std::int32_t>{9});
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(FrameColour(), LevelColour);
    const DWORD entered = clock_.now;
    ASSERT_TRUE(StepsTo(0, 400));
    EXPECT_GE(clock_.now - entered, 2000u);
    EXPECT_LT(clock_.now - entered, 2200u);
    ASSERT_EQ(Step(), 1);
    EXPECT_EQ(FrameColour(), TitleColour);
}

// A held key is pressed on its first loop and down on every loop, but not while another program's window
// is active.
TEST_F(InputRun, AKeyHeldDownIsPressedOnTheFirstLoopOnlyAndDownWhileTheApplicationIsActive) {
    const auto focus = [](Uint8 event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = win32::testing::SdlWindowId(Services().mainWindow);
        e.window.event = event;
        Push(e);
    };
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b));
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(LoopsOf('B').size(), 1u);
    const std::vector<std::int64_t> held = LoopsOf('b');
    ASSERT_GE(held.size(), 2u);
    for (std::size_t i = 1; i < held.size(); ++i)
        EXPECT_EQ(held[i], held[i - 1] + 1);
    focus(SDL_WINDOWEVENT_FOCUS_LOST);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(Step(), 1);
    const std::size_t inactive = LoopsOf('b').size();
    EXPECT_LE(inactive, held.size() + 1) << "only the loop that took the focus away may still see it down";
    focus(SDL_WINDOWEVENT_FOCUS_GAINED);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_GT(LoopsOf('b').size(), inactive);
    // Back in the application the held key is pressed again: the test did not see it down meanwhile.
    EXPECT_EQ(LoopsOf('B').size(), 2u);
    Push(Key(SDL_KEYUP, SDL_SCANCODE_B, SDLK_b));
    ASSERT_EQ(Step(), 1);
}

TEST_F(InputRun, APauseUntilAKeyEndsWithThatKeyOnly) {
    switches[2] = true;
    for (int i = 0; i < 10 && !CurrentRunState()->pauseCount; ++i)
        ASSERT_EQ(Step(), 1);
    switches[2] = false;
    ASSERT_NE(CurrentRunState()->pauseCount, 0);
    const std::int64_t loops = CurrentRunState()->loopCount;
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_O, SDLK_o));
    Push(Key(SDL_KEYUP, SDL_SCANCODE_O, SDLK_o));
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_NE(CurrentRunState()->pauseCount, 0);
    EXPECT_EQ(CurrentRunState()->loopCount, loops) << "a paused frame does not loop";
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_P, SDLK_p));
    for (int i = 0; i < 10 && CurrentRunState()->loopCount == loops; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(CurrentRunState()->pauseCount, 0);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{8});
    EXPECT_GT(CurrentRunState()->loopCount, loops);
}

TEST_F(InputRun, AClickInTheFrameWindowGoesToTheNextFrame) {
    Push(Button(SDL_MOUSEBUTTONDOWN, 100, 100));
    Push(Button(SDL_MOUSEBUTTONUP, 100, 100));
    ASSERT_TRUE(StepsTo(1));
    EXPECT_EQ(Values(), std::vector<std::int32_t>{5});
}

TEST_F(InputRun, AMenuCommandTakenByAnEventSkipsItsOwnHandling) {
    ASSERT_EQ(Step(), 1);
    // Restart, taken by the events: the application goes on in its frame.
    SendMessageW(Services().mainWindow, WM_COMMAND, 1010, 0);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{14});
    EXPECT_EQ(CurrentRunState()->exitCode, ExitNone);
    // Samples on and off, which no event takes, does what the runtime does with it.
    const std::uint16_t flags = Services().flags;
    SendMessageW(Services().mainWindow, WM_COMMAND, 1020, 0);
    EXPECT_NE(Services().flags, flags);
    SendMessageW(Services().mainWindow, WM_COMMAND, 1020, 0);
}

TEST_F(InputRun, ACloseRequestTakenByAnEventKeepsTheApplicationRunning) {
    SendMessageW(Services().mainWindow, WM_CLOSE, 0, 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{21});
    // The level takes no close request: there it ends the application.
    switches[1] = true;
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE));
    ASSERT_TRUE(StepsTo(1));
    SendMessageW(Services().mainWindow, WM_CLOSE, 0, 0);
    int steps = 0;
    while (steps < 10 && Step())
        ++steps;
    EXPECT_LT(steps, 10);
    EXPECT_EQ(app_->runState, StateQuit);
}

} // namespace
