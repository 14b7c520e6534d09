// The players' controls each loop: keyboard keys and joystick positions turned into direction and button
// bits, and a joystick player whose joystick is missing at start playing with the keyboard.
#include "runtime/startup/loader/loader_fixture.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "core/runtime_services.h"
#include "support/scene_fixture.h"

#include "appwriter/frame_writer.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace vtrrt;

class PlayerControls : public ::testing::Test {
protected:
    void StartWithJoystickPlayer() {
        joystick_ = win32::testing::AttachTestJoystick(2, 4);
        if (joystick_ < 0) GTEST_SKIP() << "no virtual joystick";
        // Player 1 plays with the joystick the system lists at this index, player 2 with joystick 4.
        Start({static_cast<std::uint16_t>(joystick_ + 1), 4, 5, 5});
    }
    void Start(std::array<std::uint16_t, 4> controlTypes) {
        GetCommandLineOptions().errorBoxes = 0;
        appwriter::ApplicationDescription d;
        d.header->controlTypes = controlTypes;
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0));
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        win32::SetActiveWindow(Services().mainWindow); // only the active application reads its controls
    }
    void TearDown() override {
        scene::EndAndClose(app_);
        GetCommandLineOptions().errorBoxes = 1;
        win32::testing::DetachTestJoysticks();
    }
    std::uint32_t Player1(int x, int y, int button = -1) {
        win32::testing::SetTestJoystick(joystick_, 0, x, button, button >= 0);
        win32::testing::SetTestJoystick(joystick_, 1, y, -1, false);
        ReadPlayerControls();
        return CurrentRunState()->playerBits & 0xFF;
    }
    int joystick_ = -1;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(PlayerControls, AJoystickGivesDirectionsFromTheOuterQuartersOfItsRange) {
    StartWithJoystickPlayer();
    const struct {
        int x, y;
        std::uint32_t bits;
    } cases[] = {{0, 32767, 0x4},
                 {65535, 32767, 0x8},
                 {32767, 32767, 0},
                 {32767, 0, 0x1},
                 {32767, 65535, 0x2},
                 {0, 0, 0x5},
                 {16383, 32767, 0x4},
                 {16384, 32767, 0},
                 {3 * 65535 / 4, 32767, 0x8},
                 {3 * 65535 / 4 - 1, 32767, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Player1(c.x, c.y), c.bits) << c.x << "," << c.y;
    EXPECT_EQ(Player1(32767, 32767, 0), 0x10u) << "button 1";
}

TEST_F(PlayerControls, APlayerWhoseJoystickIsMissingPlaysWithTheKeyboard) {
    StartWithJoystickPlayer();
    EXPECT_EQ(app_->globals.controls[1], ControlKeyboard);
    EXPECT_EQ(app_->globals.controls[0], joystick_ + 1);
}

// Players 2 and 4 move with the mouse: each loop reads how far the pointer moved from the cursor centre,
// puts it back there, and gives both players the mouse buttons.
TEST_F(PlayerControls, MousePlayersGetThePointersMotionAndTheMouseButtons) {
    ASSERT_NO_FATAL_FAILURE(Start({5, 5, 5, 5}));
    FrameRunState& s = *CurrentRunState();
    s.mousePlayers = 0xA;
    s.cursorCentreX = 100;
    s.cursorCentreY = 80;
    s.playerBits = 0x30303030;
    win32::SetCursorPos(107, 75);
    ReadMouseStep();
    EXPECT_EQ(s.mouseMotionX, 7);
    EXPECT_EQ(s.mouseMotionY, -5);
    win32::POINT pointer{};
    win32::GetCursorPos(&pointer);
    EXPECT_EQ(pointer.x, 100);
    EXPECT_EQ(pointer.y, 80);
    EXPECT_EQ(s.playerBits, 0x00300030u) << "no button is down: the mouse players' button bits are cleared";
    win32::PostMessageW(Services().frameWindow, win32::WM_RBUTTONDOWN, 0, 0);
    win32::MSG msg{};
    while (win32::PeekMessageW(&msg, nullptr, 0, 0, win32::PM_REMOVE)) {
    }
    ReadMouseStep();
    EXPECT_EQ(s.mouseMotionX, 0);
    EXPECT_EQ(s.mouseButtons, 0x20);
    EXPECT_EQ(s.playerBits, 0x20302030u);
    win32::testing::ResetInputState();
}

} // namespace
