// The players' controls each loop: keyboard keys and joystick positions turned into direction and button
// bits, and a joystick player whose joystick is missing at start playing with the keyboard.
#include "runtime/loader/loader_fixture.h"
#include "shell/application_state_machine.h"
#include "shell/command_line.h"
#include "shell/frame_run_state.h"
#include "shell/frame_window.h"
#include "shell/game_loop.h"
#include "shell/main_window.h"
#include "shell/runtime_services.h"

#include "appwriter/frame_writer.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace vtrrt;

class PlayerControls : public ::testing::Test {
protected:
    void StartWithJoystickPlayer() {
        joystick_ = win32::testing::AttachTestJoystick(2, 4);
        if (joystick_ < 0) GTEST_SKIP() << "no virtual joystick";
        GetCommandLineOptions().errorBoxes = 0;
        appwriter::ApplicationDescription d;
        // Player 1 plays with the joystick the system lists at this index, player 2 with joystick 4.
        d.header->controlTypes = {static_cast<std::uint16_t>(joystick_ + 1), 4, 5, 5};
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0));
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_EQ(CreateLibraryContext(nullptr), 0);
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        SetCurrentApplication(app_.get());
        ASSERT_EQ(CreateMainWindow(*app_), 0);
        ASSERT_EQ(CreateFrameWindow(Services().mainWindow, 0x42000000, 4), 0);
        ASSERT_EQ(StartApplication(app_.get()), 1);
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        win32::SetActiveWindow(Services().mainWindow); // only the active application reads its controls
    }
    void TearDown() override {
        if (app_) {
            FreeLoadedFrame(*app_);
            EndApplication(app_.get());
        }
        app_.reset();
        DestroyMainWindow();
        SetCurrentApplication(nullptr);
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

} // namespace
