#include "shell/main_window.h"

#include "runtime/loader/loader_fixture.h"
#include "shell/application_state_machine.h"
#include "shell/command_line.h"
#include "shell/frame_run_state.h"

#include "appwriter/frame_writer.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace vtrrt;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        GetCommandLineOptions().errorBoxes = 0;
        appwriter::ApplicationDescription d;
        d.header->windowWidth = 320;
        d.header->windowHeight = 200;
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x00C06020));
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x0040A030));
        bytes_ = appwriter::WriteApplication(d);
        app_ = loadertest::LoadFromMemory(bytes_);
        ASSERT_TRUE(app_);
        ASSERT_NE(CreateMainWindow(*app_, nullptr), nullptr);
        ASSERT_EQ(StartApplication(app_.get()), 1);
    }
    void TearDown() override {
        DestroyMainWindow();
        if (app_) {
            FreeLoadedFrame(*app_);
            EndApplication(app_.get());
        }
        app_.reset();
        SetCurrentApplication(nullptr);
        GetCommandLineOptions().errorBoxes = 1;
    }
    win32::COLORREF Centre() {
        win32::UpdateWindow(Services().mainWindow);
        return win32::testing::ReadWindowPixel(Services().mainWindow, 160, 100);
    }

    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(MainWindow, ShowsTheCurrentFramesBackgroundColour) {
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    EXPECT_TRUE(win32::IsWindowVisible(Services().mainWindow));
    EXPECT_EQ(Centre(), 0x00C06020u);
    CurrentRunState()->exitCode = ExitNextFrame;
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    EXPECT_EQ(Centre(), 0x0040A030u);
}

TEST_F(MainWindow, CloseRequestEndsTheApplicationThroughTheFrameEnd) {
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    // The close asks the quit command, which ends the application when it is delivered.
    win32::SendMessageW(Services().mainWindow, win32::WM_CLOSE, 0, 0);
    win32::MSG msg{};
    while (win32::PeekMessageW(&msg, Services().mainWindow, 0, 0, win32::PM_REMOVE))
        win32::DispatchMessageW(&msg);
    EXPECT_EQ(CurrentRunState()->exitCode, ExitError);
    EXPECT_EQ(RunApplicationStep(app_.get(), 0), 0);
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_EQ(app_->run.frame, nullptr);
}

} // namespace
