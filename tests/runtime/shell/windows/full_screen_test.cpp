// The display-mode search, full screen and back through menu command 1025, the menu bar shown and hidden
// keeping the client size, and the running applications that window procedures look windows up in.
#include "shell/full_screen.h"

#include "runtime/startup/loader/loader_fixture.h"
#include "core/command_line.h"
#include "loop/application_state_machine.h"
#include "shell/application_menu.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "shell/window_procedures.h"
#include "support/scene_fixture.h"

#include "appwriter/frame_writer.h"
#include "appwriter/menu_writer.h"
#include "vtrs2/surface_implementation.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace vtrrt;
using namespace win32;

// --- the mode search -----------------------------------------------------------------------------------

struct SearchCase {
    const char* name;
    std::vector<DisplayModeInfo> modes;
    int width, height, depth;
    int pass;
    bool keepRatio;
    double targetRatio, tolerance;
    int bestWidth, bestHeight;
    std::size_t visited; // modes offered before the enumeration ended
};

class ModeSearchTable : public ::testing::TestWithParam<SearchCase> {};

ModeSearch Search(const SearchCase& c, const std::vector<DisplayModeInfo>& modes, std::size_t* visited) {
    ModeSearch s;
    s.wantedWidth = c.width;
    s.wantedHeight = c.height;
    s.wantedDepth = c.depth;
    s.pass = c.pass;
    s.keepRatio = c.keepRatio ? 1 : 0;
    s.targetRatio = c.targetRatio;
    s.tolerance = c.tolerance;
    *visited = 0;
    for (const DisplayModeInfo& mode : modes) {
        ++*visited;
        if (!MatchDisplayMode(&mode, &s)) break;
    }
    return s;
}

TEST_P(ModeSearchTable, FindsTheModeWhateverTheOrderOfTheList) {
    const SearchCase& c = GetParam();
    std::size_t visited = 0;
    const ModeSearch found = Search(c, c.modes, &visited);
    EXPECT_EQ(found.bestWidth, c.bestWidth);
    EXPECT_EQ(found.bestHeight, c.bestHeight);
    EXPECT_EQ(found.bestDepth != 0, c.bestWidth != 100000);
    EXPECT_EQ(visited, c.visited);
    std::vector<DisplayModeInfo> reversed(c.modes.rbegin(), c.modes.rend());
    const ModeSearch again = Search(c, reversed, &visited);
    EXPECT_EQ(again.bestWidth, c.bestWidth);
    EXPECT_EQ(again.bestHeight, c.bestHeight);
}

const std::vector<DisplayModeInfo> Desktop43 = {{640, 480, 32}, {800, 600, 32}, {1024, 768, 32}};
const std::vector<DisplayModeInfo> Mixed = {
    {1280, 720, 32}, {1024, 768, 32}, {1920, 1080, 32}, {800, 600, 32}};
const std::vector<DisplayModeInfo> Incomparable = {{1000, 900, 32}, {900, 1000, 32}, {1280, 1024, 32}};

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeSearchTable,
    ::testing::Values(
        SearchCase{"SmallestThatHolds700x500", Desktop43, 700, 500, 32, 0, false, 0, 0, 800, 600, 3},
        SearchCase{"ExactMatchStops", Desktop43, 800, 600, 32, 0, false, 0, 0, 800, 600, 2},
        SearchCase{"ShallowerWantedTakesTheDeeperMode", Desktop43, 640, 480, 16, 0, false, 0, 0, 640, 480, 3},
        SearchCase{"NothingHolds2000x1500", Desktop43, 2000, 1500, 32, 0, false, 0, 0, 100000, 100000, 3},
        SearchCase{"Nearest2000x1500", Desktop43, 2000, 1500, 32, 1, false, 0, 0, 1024, 768, 3},
        SearchCase{"NoWideModeOnAFourThreeDesktop", Mixed, 700, 500, 32, 0, true, 0.75, 0.005, 800, 600, 4},
        SearchCase{"WideModeWithoutKeepingTheRatio", Mixed, 1100, 700, 32, 0, false, 0, 0, 1280, 720, 4},
        SearchCase{"IncomparableModesTieTheSameWay", Incomparable, 850, 850, 32, 0, false, 0, 0, 900, 1000,
                   3},
        SearchCase{"IncomparableNearestTieTheSameWay", Incomparable, 2000, 2000, 32, 1, false, 0, 0, 1280,
                   1024, 3}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

// --- full screen and the menu bar ------------------------------------------------------------------------

constexpr std::uint16_t HeaderFitFrameBit = 0x10;
constexpr std::uint16_t HeaderMenuBarBit = 0x100;
constexpr std::uint16_t HeaderSwitchingBit = 0x1000;

struct WindowState {
    RECT rect;
    LONG_PTR style;
    HMENU menu;
    RECT client;
};

WindowState StateOf(HWND window) {
    WindowState s{};
    GetWindowRect(window, &s.rect);
    s.style = GetWindowLongPtrW(window, GWL_STYLE);
    s.menu = GetMenu(window);
    GetClientRect(window, &s.client);
    return s;
}

void ExpectSame(const WindowState& a, const WindowState& b) {
    EXPECT_TRUE(EqualRect(&a.rect, &b.rect))
        << a.rect.left << "," << a.rect.top << " " << a.rect.right << "," << a.rect.bottom << " against "
        << b.rect.left << "," << b.rect.top << " " << b.rect.right << "," << b.rect.bottom;
    EXPECT_EQ(a.style, b.style);
    EXPECT_EQ(a.menu, b.menu);
    EXPECT_TRUE(EqualRect(&a.client, &b.client));
}

class FullScreen : public ::testing::Test {
protected:
    void SetUp() override {
        const SIZE modes[] = {{640, 480}, {800, 600}, {1024, 768}};
        win32::testing::SetDisplayModes(modes, 3);
    }
    void Start(std::uint16_t flags1, std::uint16_t width = 320, std::uint16_t height = 200) {
        GetCommandLineOptions().errorBoxes = 0;
        appwriter::ApplicationDescription d;
        d.header->windowWidth = width;
        d.header->windowHeight = height;
        d.header->flags1 = flags1;
        d.menuData = appwriter::WriteMenuData(
            {{u"&Options",
              0,
              0,
              {{u"&Full screen", CommandFullScreen, 0, {}}, {u"&Bar", CommandMenuBar, 0, {}}}}},
            {});
        d.frames.push_back(appwriter::DescribeFrame(320, 200, RGB(10, 20, 30)));
        bytes_ = appwriter::WriteApplication(d);
        // The program makes its library context before it loads the application.
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        main_ = Services().mainWindow;
    }
    void TearDown() override {
        if (app_) {
            if (Services().fullScreen) SwitchToWindow();
            scene::EndStarted(*app_);
        }
        DestroyMainWindow();
        app_.reset();
        SetCurrentApplication(nullptr);
        GetCommandLineOptions().errorBoxes = 1;
        ChangeDisplaySettingsW(nullptr, 0);
        win32::testing::SetDisplayModes(nullptr, 0);
    }

    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
    HWND main_ = nullptr;
};

TEST_F(FullScreen, TheMenuCommandSwitchesInAndOutAndTheWindowComesBackTwice) {
    Start(HeaderMenuBarBit | HeaderSwitchingBit);
    ASSERT_NE(GetMenu(main_), nullptr);
    const WindowState windowed = StateOf(main_);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(RunMenuCommand(main_, CommandFullScreen));
        ASSERT_EQ(Services().fullScreen, 1);
        // The smallest listed mode that holds the 320 x 200 window, at the only depth listed.
        EXPECT_EQ(app_->fullScreenDepth, 32);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
        EXPECT_EQ(Services().screenWidth, 640);
        const WindowState full = StateOf(main_);
        EXPECT_EQ(full.rect.left, 0);
        EXPECT_EQ(full.rect.top, 0);
        EXPECT_EQ(full.rect.right, 640);
        EXPECT_EQ(full.rect.bottom, 480);
        EXPECT_TRUE(full.style & WS_POPUP);
        EXPECT_FALSE(full.style & WS_CAPTION);
        EXPECT_EQ(full.menu, windowed.menu);
        EXPECT_TRUE(GetMenuState(CurrentMenu().menu, CommandFullScreen, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_TRUE(RunMenuCommand(main_, CommandFullScreen));
        EXPECT_EQ(Services().fullScreen, 0);
        EXPECT_EQ(app_->fullScreenDepth, -1);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
        ExpectSame(StateOf(main_), windowed);
        EXPECT_FALSE(GetMenuState(CurrentMenu().menu, CommandFullScreen, MF_BYCOMMAND) & MF_CHECKED);
    }
}

TEST_F(FullScreen, WithoutTheHeadersPermissionTheCommandDoesNothing) {
    Start(HeaderMenuBarBit);
    const WindowState windowed = StateOf(main_);
    EXPECT_TRUE(RunMenuCommand(main_, CommandFullScreen));
    EXPECT_EQ(Services().fullScreen, 0);
    ExpectSame(StateOf(main_), windowed);
}

TEST_F(FullScreen, TheNeverFullScreenSwitchKeepsTheWindow) {
    Start(HeaderMenuBarBit | HeaderSwitchingBit);
    GetCommandLineOptions().noFullScreen = 1;
    SwitchToFullScreen(0);
    GetCommandLineOptions().noFullScreen = 0;
    EXPECT_EQ(Services().fullScreen, 0);
    EXPECT_EQ(app_->fullScreenDepth, -1);
}

// A window larger than every listed mode, without leave to scale its frame, asks for the desktop's size,
// which this display does not list: the switch fails and the window stays as it was.
TEST_F(FullScreen, AFailedSwitchLeavesTheWindowItsStyleHeaderAndMenu) {
    const SIZE modes[] = {{640, 480}, {800, 600}};
    win32::testing::SetDisplayModes(modes, 2);
    Start(HeaderMenuBarBit | HeaderSwitchingBit, 900, 650);
    const WindowState windowed = StateOf(main_);
    const std::uint16_t header = app_->header.flags1;
    SwitchToFullScreen(0);
    EXPECT_EQ(Services().fullScreen, 0);
    EXPECT_EQ(app_->fullScreenDepth, -1);
    EXPECT_EQ(app_->fullScreenSurface, nullptr);
    EXPECT_EQ(app_->header.flags1, header);
    ExpectSame(StateOf(main_), windowed);
    EXPECT_TRUE(IsWindowVisible(app_->frameWindow));
    EXPECT_FALSE(GetMenuState(CurrentMenu().menu, CommandFullScreen, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(FullScreen, AFittedFrameFillsTheScreensClientArea) {
    Start(HeaderSwitchingBit | HeaderFitFrameBit);
    SwitchToFullScreen(0);
    ASSERT_EQ(Services().fullScreen, 1);
    RECT frame{};
    GetClientRect(app_->frameWindow, &frame);
    EXPECT_EQ(frame.right, 640);
    EXPECT_EQ(frame.bottom, 480);
    SwitchToWindow();
    GetClientRect(app_->frameWindow, &frame);
    EXPECT_EQ(frame.right, 320);
    EXPECT_EQ(frame.bottom, 200);
}

TEST_F(FullScreen, HidingAndShowingTheMenuBarKeepsTheClientSize) {
    Start(HeaderMenuBarBit | HeaderSwitchingBit);
    const WindowState shown = StateOf(main_);
    HideMenuBar();
    EXPECT_EQ(GetMenu(main_), nullptr);
    const WindowState hidden = StateOf(main_);
    EXPECT_EQ(hidden.client.right, shown.client.right);
    EXPECT_LE(std::abs(hidden.client.bottom - shown.client.bottom), 1);
    ShowMenuBar();
    ExpectSame(StateOf(main_), shown);
}

TEST_F(FullScreen, WindowsBelongToTheApplicationsTheyShow) {
    Start(HeaderMenuBarBit);
    const auto running = RunningApplications();
    EXPECT_NE(std::find(running.begin(), running.end(), app_.get()), running.end());
    EXPECT_EQ(FindApplicationOfWindow(main_), app_.get());
    EXPECT_EQ(FindApplicationOfWindow(app_->frameWindow), app_.get());
    EXPECT_EQ(FindApplicationOfWindow(nullptr), nullptr);
    // Making the current application current changes nothing and answers it.
    EXPECT_EQ(SetCurrentApplication(app_.get()), app_.get());
    EXPECT_EQ(Services().frameWindow, app_->frameWindow);
    // Removing an application that is not listed changes nothing.
    const std::size_t count = RunningApplications().size();
    RemoveRunningApplication(nullptr);
    EXPECT_EQ(RunningApplications().size(), count);
}

} // namespace
