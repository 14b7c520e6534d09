#include "shell/main_window.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "shell/frame_window.h"
#include "shell/window_placement.h"
#include "support/scene_fixture.h"

#include "appwriter/frame_writer.h"
#include "vtrs2/app_window.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/surface.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace vtrrt;
using namespace win32;

constexpr COLORREF FirstColour = 0x00C06020;
constexpr COLORREF SecondColour = 0x0040A030;
constexpr COLORREF Border = 0x000000FF;

// Gives the main window a client area of the size asked, as a user dragging its edges would.
void SetClientSize(HWND window, int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                       GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 10, 10, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
}

void PaintAll() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageW(&msg);
}

// A loaded application of two 320 × 200 frames, in its main and frame windows, started.
class MainWindow : public ::testing::Test {
protected:
    void Start(std::uint16_t flags1 = 0, std::uint16_t flags2 = 0, std::uint32_t secondFrameFlags = 0) {
        GetCommandLineOptions().errorBoxes = 0;
        appwriter::ApplicationDescription d;
        d.header->windowWidth = 320;
        d.header->windowHeight = 200;
        d.header->flags1 = flags1;
        d.header->flags2 = flags2;
        d.header->borderColour = Border;
        d.frames.push_back(appwriter::DescribeFrame(320, 200, FirstColour));
        d.frames.push_back(appwriter::DescribeFrame(320, 200, SecondColour, {}, appwriter::StringForm::Wide,
                                                    secondFrameFlags));
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        main_ = Services().mainWindow;
        frame_ = Services().frameWindow;
    }
    void TearDown() override {
        // As the program ends: the application closed first, then the main window and the context.
        scene::EndAndClose(app_);
        GetCommandLineOptions().errorBoxes = 1;
    }
    COLORREF FramePixel(int x, int y) {
        PaintAll();
        return win32::testing::ReadWindowPixel(frame_, x, y);
    }

    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
    HWND main_ = nullptr;
    HWND frame_ = nullptr;
};

TEST_F(MainWindow, FramesShowInAVisibleChildOfTheMainWindow) {
    Start();
    EXPECT_TRUE(IsWindowVisible(main_));
    ASSERT_NE(frame_, nullptr);
    EXPECT_TRUE(IsWindowVisible(frame_));
    EXPECT_EQ(GetParent(frame_), main_);
    EXPECT_EQ(GetWindowLongPtrW(frame_, GWLP_ID), FrameWindowId);
    EXPECT_EQ(CurrentRunState()->frameWindow, frame_);
    EXPECT_EQ(GetFocus(), frame_);
    RECT client{};
    GetClientRect(main_, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(FramePixel(160, 100), FirstColour);
    CurrentRunState()->exitCode = ExitNextFrame;
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    EXPECT_EQ(FramePixel(160, 100), SecondColour);
}

TEST_F(MainWindow, BorderColourFillsTheMainWindowAroundTheFrame) {
    Start();
    SetClientSize(main_, 400, 300);
    EXPECT_EQ(FramePixel(0, 0), FirstColour);
    EXPECT_EQ(FramePixel(319, 199), FirstColour);
    EXPECT_EQ(win32::testing::ReadWindowPixel(main_, 5, 5), Border);
    EXPECT_EQ(win32::testing::ReadWindowPixel(main_, 395, 150), Border);
    EXPECT_EQ(win32::testing::ReadWindowPixel(main_, 200, 150), FirstColour);
}

// The frame keeps the first frame's picture, so its surface would show the first colour; over the desktop
// its own background fills it.
TEST_F(MainWindow, AFrameOverTheDesktopTakesItsBackgroundColourIntoTheFrameSurface) {
    Start(0, 0, FrameShowDesktop | FrameKeepPicture);
    CurrentRunState()->exitCode = ExitNextFrame;
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    cSurface* surface = Services().frameLibraryWindow->workSurface;
    ASSERT_NE(surface, nullptr);
    for (const POINT p : {POINT{0, 0}, POINT{319, 199}}) {
        COLORREF colour = 0;
        ASSERT_TRUE(surface->GetPixel(p.x, p.y, colour));
        EXPECT_EQ(colour, SecondColour);
    }
}

TEST_F(MainWindow, MousePositionsAreInThePlayAreaNotTheBorderAroundIt) {
    Start();
    SetClientSize(main_, 400, 300); // the frame is centred with a border of 40 and 50
    POINT screen{10, 20};
    ClientToScreen(frame_, &screen);
    SetCursorPos(screen.x, screen.y);
    UpdateMousePosition();
    EXPECT_EQ(CurrentRunState()->mouseX, 10);
    EXPECT_EQ(CurrentRunState()->mouseY, 20);
}

struct FitCase {
    const char* name;
    std::uint16_t flags1, flags2;
    RECT wanted; // in a 400 × 300 client area
};

class FrameWindowFit : public MainWindow, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FrameWindowFit, FollowsTheHeaderWhenTheMainWindowIsSized) {
    Start(GetParam().flags1, GetParam().flags2);
    SetClientSize(main_, 400, 300);
    const RECT r = RectInParent(frame_);
    const RECT& wanted = GetParam().wanted;
    EXPECT_EQ(r.left, wanted.left);
    EXPECT_EQ(r.top, wanted.top);
    EXPECT_EQ(r.right, wanted.right);
    EXPECT_EQ(r.bottom, wanted.bottom);
}

INSTANTIATE_TEST_SUITE_P(Headers, FrameWindowFit,
                         ::testing::Values(FitCase{"Centred", 0, 0, {40, 50, 360, 250}},
                                           FitCase{"NotCentred", 0, 0x80, {0, 0, 320, 200}},
                                           // 320 / 400 is the larger ratio: the width fills the client.
                                           FitCase{"ScaledKeepingRatio", 0x14, 0, {0, 25, 400, 275}},
                                           FitCase{"WholeClientArea", 0x10, 0, {0, 0, 400, 300}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, ScaledFrameKeepsItsRatioInATallClientArea) {
    Start(0x14);
    SetClientSize(main_, 320, 400);
    const RECT r = RectInParent(frame_);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_EQ(r.top, 100);
}

TEST_F(MainWindow, MaximizeDropsCaptionAndFrameAndCentresTheFrameRestoreGivesThemBack) {
    Start();
    SendMessageW(main_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(main_));
    EXPECT_EQ(GetWindowLongPtrW(main_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    RECT client{};
    GetClientRect(main_, &client);
    EXPECT_EQ(client.right, Services().screenWidth);
    const RECT r = RectInParent(frame_);
    EXPECT_EQ(r.left, (Services().screenWidth - 320) / 2);
    SendMessageW(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsZoomed(main_));
    EXPECT_EQ(GetWindowLongPtrW(main_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
}

TEST_F(MainWindow, DestroyingTheMainWindowTakesTheFrameWindowAndTheContext) {
    Start();
    DestroyMainWindow();
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_EQ(Services().frameWindow, nullptr);
    EXPECT_EQ(app_->frameLibraryWindow, nullptr);
    EXPECT_EQ(Services().libraryContext, nullptr);
    const CIndexList* contexts = GetThreadContexts();
    EXPECT_TRUE(!contexts || contexts->GetCount() == 0);
}

TEST_F(MainWindow, CloseRequestEndsTheApplicationThroughTheFrameEnd) {
    Start();
    // The close asks the quit command, which ends the application when it is delivered.
    SendMessageW(main_, WM_CLOSE, 0, 0);
    MSG msg{};
    while (PeekMessageW(&msg, main_, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(CurrentRunState()->exitCode, ExitError);
    EXPECT_EQ(RunApplicationStep(app_.get(), 0), 0);
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_EQ(app_->run.frame, nullptr);
}

TEST(LibraryContext, WithoutOneTheRunCannotInitialize) {
    SetAllocationFailures(0, 2);
    EXPECT_EQ(CreateLibraryContext(nullptr), 23);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(Services().libraryContext, nullptr);
    EXPECT_EQ(CreateLibraryContext(nullptr), 0);
    EXPECT_NE(Services().libraryContext, nullptr);
    DestroyMainWindow();
    EXPECT_EQ(Services().libraryContext, nullptr);
}

// The main window alone, placed for an application's window size.
class MainWindowPlacement : public ::testing::Test {
protected:
    void SetUp() override {
        UpdateScreenSize();
        ASSERT_EQ(CreateLibraryContext(nullptr), 0);
        ASSERT_EQ(CreateMainWindow(app_), 0);
        main_ = Services().mainWindow;
    }
    void TearDown() override { DestroyMainWindow(); }
    ApplicationRecord app_{};
    HWND main_ = nullptr;
};

TEST_F(MainWindowPlacement, CreatedHiddenAtHalfTheScreenAQuarterIn) {
    RECT r{};
    GetWindowRect(main_, &r);
    EXPECT_FALSE(IsWindowVisible(main_));
    EXPECT_EQ(r.left, Services().screenWidth / 4);
    EXPECT_EQ(r.right - r.left, Services().screenWidth / 2);
    EXPECT_EQ(Services().mainLibraryWindow->window, main_);
}

TEST_F(MainWindowPlacement, CentringSizesTheClientAreaAndCentresOnTheScreen) {
    app_.header.windowWidth = 320;
    app_.header.windowHeight = 200;
    CenterMainWindow(app_);
    RECT client{}, outer{};
    GetClientRect(main_, &client);
    GetWindowRect(main_, &outer);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(outer.left, (Services().screenWidth - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (Services().screenHeight - (outer.bottom - outer.top)) / 2);
}

TEST_F(MainWindowPlacement, CentringNeverGoesPastTheScreen) {
    app_.header.windowWidth = 30000;
    app_.header.windowHeight = 30000;
    CenterMainWindow(app_);
    RECT outer{};
    GetWindowRect(main_, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right, Services().screenWidth);
    EXPECT_EQ(outer.bottom, Services().screenHeight);
}

TEST_F(MainWindowPlacement, KeptOnScreenMovesBackAndShrinksToTheScreen) {
    const int w = Services().screenWidth, h = Services().screenHeight;
    SetWindowPos(main_, nullptr, w - 50, h - 40, 300, 200, SWP_NOZORDER);
    KeepMainWindowOnScreen();
    RECT r{};
    GetWindowRect(main_, &r);
    EXPECT_EQ(r.left, w - 300);
    EXPECT_EQ(r.top, h - 200);
    EXPECT_EQ(r.right, w);
    SetWindowPos(main_, nullptr, 100, 100, w + 500, h + 500, SWP_NOZORDER);
    KeepMainWindowOnScreen();
    GetWindowRect(main_, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right - r.left, w);
    EXPECT_EQ(r.bottom - r.top, h);
}

} // namespace
