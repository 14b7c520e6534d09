#include "core/application_record.h"
#include "core/command_line.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/menu_pause_hook.h"
#include "loop/pause.h"
#include "shell/application_menu.h"
#include "shell/frame_window.h"
#include "shell/extension_services.h"
#include "shell/main_window.h"
#include "shell/mdi_client.h"
#include "shell/shell_events.h"
#include "shell/window_hooks.h"
#include "shell/window_placement.h"
#include "shell/window_procedures.h"
#include "shell/window_title.h"

#include "appwriter/menu_writer.h"
#include "support/dialog_driver.h"
#include "support/scene.h"
#include "vtrs2/app_window.h"
#include "vtrs2/palettes.h"

#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace win32;
using namespace vtrrt;

struct Calls {
    std::vector<int> keys;
    std::vector<std::tuple<UINT, int, int>> clicks;
    std::vector<int> wheels;
    std::vector<int> commands;
    bool takeCommands = false;
    bool refuseQuit = false;
    int quitRequests = 0;
};
Calls* calls = nullptr;

// A top-level application with a running frame, shown in a main window with the runtime's menu.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls = &seen;
        EventRaisers() = {};
        EventRaisers().keyDown = [](int key) { calls->keys.push_back(key); };
        EventRaisers().mouseClick = [](UINT m, int x, int y) { calls->clicks.emplace_back(m, x, y); };
        EventRaisers().mouseWheel = [](int d) { calls->wheels.push_back(d); };
        EventRaisers().menuCommand = [](int id) {
            calls->commands.push_back(id);
            return calls->takeCommands;
        };
        EventRaisers().quitRequest = [] {
            ++calls->quitRequests;
            return calls->refuseQuit;
        };
        GetCommandLineOptions() = {};
        app.header.windowWidth = 320;
        app.header.windowHeight = 200;
        app.header.flags1 = 0x100; // menu bar wanted
        menuBytes = appwriter::WriteMenuData(
            {{u"&File", 0, 0, {{u"&Restart", 1010, 0, {}}, {u"&Quit", 1008, 0, {}}}},
             {u"&Options",
              0,
              0,
              {{u"&Samples", 1020, 0, {}}, {u"&Music", 1021, 0, {}}, {u"&Help", 1023, 0, {}}}}},
            {});
        app.menuData = {menuBytes.data(), static_cast<std::uint32_t>(menuBytes.size())};
        app.runState = StateRunFrame;
        app.run.frame = &frame;
        frame.runState = &state;
        frame.displayWidth = 320;
        frame.displayHeight = 200;
        SetCurrentApplication(&app);
        ASSERT_EQ(CreateLibraryContext(nullptr), 0);
        ASSERT_EQ(CreateMainWindow(app), 0);
        window = Services().mainWindow;
        ASSERT_EQ(CreateFrameWindow(window, 0x42000000, 4), 0);
        frameWindow = Services().frameWindow;
    }
    void TearDown() override {
        scene::CloseWindows();
        EventRaisers() = {};
        GetCommandLineOptions() = {};
        calls = nullptr;
    }

    // Delivers what the procedures posted to the window (menu commands from the close box or shortcuts).
    void Pump() {
        MSG msg{};
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    Calls seen;
    ApplicationRecord app{};
    FrameRecord frame{};
    FrameRunState state{};
    std::vector<std::uint8_t> menuBytes;
    HWND window = nullptr;
    HWND frameWindow = nullptr;
};

TEST_F(MainWindowTest, MinimizePausesAndRestoreResumes) {
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(state.pauseCount, 1);
    EXPECT_TRUE(IsIconic(window));
    SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(state.pauseCount, 0);
}

TEST_F(MainWindowTest, MinimizeKeepsRunningWhenTheHeaderSaysSo) {
    app.header.flags2 = 0x2000;
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(state.pauseCount, 0);
}

TEST_F(MainWindowTest, CloseBoxSendsQuitWhichEndsTheApplication) {
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(state.exitCode, 0); // posted, not yet run
    Pump();
    EXPECT_EQ(seen.commands, std::vector<int>{1008});
    EXPECT_EQ(seen.quitRequests, 1);
    EXPECT_EQ(state.exitCode, ExitError);
    EXPECT_EQ(state.exitParameter, 1);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindowTest, CloseBoxDoesNothingWithNox) {
    GetCommandLineOptions().noCloseCommand = 1;
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_TRUE(seen.commands.empty());
    EXPECT_EQ(state.exitCode, 0);
}

TEST_F(MainWindowTest, EventsMayRefuseTheQuitOrTakeTheCommand) {
    seen.refuseQuit = true;
    SendMessageW(window, WM_COMMAND, 1008, 0);
    EXPECT_EQ(state.exitCode, 0);
    seen.takeCommands = true;
    SendMessageW(window, WM_COMMAND, 1010, 0);
    EXPECT_EQ(state.exitCode, 0);
}

TEST_F(MainWindowTest, RestartCommandRestartsTheApplication) {
    SendMessageW(window, WM_COMMAND, 1010, 0);
    EXPECT_EQ(state.exitCode, ExitRestartApplication);
    EXPECT_EQ(state.exitParameter, 1);
}

TEST_F(MainWindowTest, CommandsFromControlsAreNotMenuCommands) {
    SendMessageW(window, WM_COMMAND, 1008, 1234);
    EXPECT_TRUE(seen.commands.empty());
    EXPECT_EQ(state.exitCode, 0);
}

TEST_F(MainWindowTest, SoundCommandsToggleTheFlagsAndTheirChecks) {
    const HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Services().flags, 0xC000);
    SendMessageW(window, WM_COMMAND, 1020, 0);
    EXPECT_EQ(Services().flags, 0x4000);
    EXPECT_EQ(GetMenuState(menu, 1020, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(menu, 1021, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    SendMessageW(window, WM_COMMAND, 1021, 0);
    EXPECT_EQ(Services().flags, 0);
    EXPECT_EQ(state.pauseCount, 0); // paused only around the change
}

TEST_F(MainWindowTest, MenuBarCommandHidesAndShowsTheBarKeepingTheClientSize) {
    RECT before{}, hidden{}, after{};
    GetClientRect(window, &before);
    SendMessageW(window, WM_COMMAND, 1022, 0);
    EXPECT_EQ(GetMenu(window), nullptr);
    GetClientRect(window, &hidden);
    SendMessageW(window, WM_COMMAND, 1022, 0);
    EXPECT_NE(GetMenu(window), nullptr);
    GetClientRect(window, &after);
    EXPECT_EQ(hidden.bottom, before.bottom);
    EXPECT_EQ(after.bottom, before.bottom);
    EXPECT_EQ(after.right, before.right);
}

TEST_F(MainWindowTest, KeysAndMouseReachTheEventRaisers) {
    SendMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(frameWindow, WM_LBUTTONDOWN, 0, MAKELPARAM(12, 34));
    SendMessageW(frameWindow, WM_RBUTTONDBLCLK, 0, MAKELPARAM(5, 6));
    // Around the frame the main window is no play area.
    SendMessageW(window, WM_LBUTTONDOWN, 0, MAKELPARAM(1, 1));
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(seen.keys, std::vector<int>{VK_SPACE});
    ASSERT_EQ(seen.clicks.size(), 2u);
    EXPECT_EQ(seen.clicks[0], std::make_tuple(WM_LBUTTONDOWN, 12, 34));
    EXPECT_EQ(seen.clicks[1], std::make_tuple(WM_RBUTTONDBLCLK, 5, 6));
    EXPECT_EQ(seen.wheels, std::vector<int>{120});
}

TEST_F(MainWindowTest, NothingIsRaisedWithoutARunningFrame) {
    app.runState = StateEndFrame;
    SendMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(frameWindow, WM_LBUTTONDOWN, 0, 0);
    SendMessageW(window, WM_COMMAND, 1010, 0);
    EXPECT_TRUE(seen.keys.empty());
    EXPECT_TRUE(seen.clicks.empty());
    EXPECT_EQ(state.exitCode, 0);
}

// The menu-pause hook of the run, as StartApplication installs it.
class MenuPauseHook : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        InstallMenuPauseHook();
        ASSERT_NE(Services().hook, nullptr);
    }
    void TearDown() override {
        RemoveMenuPauseHook();
        MainWindowTest::TearDown();
    }
    // Whether window timer 11 steps the machine: its message reaches the window after its period.
    bool StepTimerRuns() {
        win32::testing::AdvanceFakeClock(1000);
        MSG msg{};
        return PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.wParam == ModalStepTimer;
    }
};

TEST_F(MenuPauseHook, OpenMenuPausesTheGameUnlessItKeepsRunningInModalLoops) {
    win32::testing::UseFakeClock(true);
    EnterMenuLoop(window);
    SendMessageW(window, WM_INITMENUPOPUP, 0, 0);
    EXPECT_EQ(state.pauseCount, 1) << "one pause for the whole menu";
    ExitMenuLoop(window);
    EXPECT_EQ(state.pauseCount, 0);
    EXPECT_FALSE(Services().hookPaused);

    app.header.flags2 = 0x8000;
    EnterMenuLoop(window);
    EXPECT_EQ(state.pauseCount, 0);
    EXPECT_EQ(app.run.stepTimerActive, 1);
    EXPECT_TRUE(StepTimerRuns());
    ExitMenuLoop(window);
    EXPECT_EQ(app.run.stepTimerActive, 0);
    EXPECT_FALSE(StepTimerRuns());
    win32::testing::UseFakeClock(false);
}

TEST_F(MenuPauseHook, AMenuOverAPausedGameLeavesItPausedAfterwards) {
    PauseApplication();
    EnterMenuLoop(window);
    EXPECT_EQ(state.pauseCount, 1);
    EXPECT_EQ(app.run.runFlags & RunFlagMenuWhilePaused, RunFlagMenuWhilePaused);
    ExitMenuLoop(window);
    EXPECT_EQ(state.pauseCount, 1);
    EXPECT_EQ(app.run.runFlags & RunFlagMenuWhilePaused, 0);
    ResumeApplication();
}

struct ModalCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool keepRunning; // the shell's keep-running-in-modal-loops setting
    int pauseCountAfter;
};

class ModalLoopMessage : public MenuPauseHook, public ::testing::WithParamInterface<ModalCase> {};

// Each message is sent once, from a state where the hook has not paused yet.
TEST_P(ModalLoopMessage, PausesOrNotAsTheHookSays) {
    const ModalCase& c = GetParam();
    Services().keepRunningInModalLoops = c.keepRunning;
    SendMessageW(window, c.message, c.wParam, 0);
    EXPECT_EQ(state.pauseCount, c.pauseCountAfter);
    Services().keepRunningInModalLoops = false;
    ResumeFrameTimer();
}

INSTANTIATE_TEST_SUITE_P(
    Each, ModalLoopMessage,
    ::testing::Values(ModalCase{"ScrollLineDown", WM_VSCROLL, 1, false, 1},
                      ModalCase{"ScrollThumbTrack", WM_HSCROLL, 5, false, 1},
                      ModalCase{"ScrollThumbPosition", WM_VSCROLL, SB_THUMBPOSITION, false, 0},
                      ModalCase{"ScrollCodeAboveEnd", WM_HSCROLL, 9, false, 0},
                      ModalCase{"MoveOrSize", WM_ENTERSIZEMOVE, 0, false, 1},
                      ModalCase{"MoveOrSizeKeepingOnRunning", WM_ENTERSIZEMOVE, 0, true, 0},
                      ModalCase{"MenuSelectionOfAnItem", WM_MENUSELECT, MAKEWPARAM(1, 0), false, 0}),
    [](const ::testing::TestParamInfo<ModalCase>& info) { return std::string(info.param.name); });

TEST_F(MenuPauseHook, DraggingAScrollThumbPausesUntilItIsLetGo) {
    SendMessageW(window, WM_HSCROLL, 5, 0);
    SendMessageW(window, WM_HSCROLL, 5, 0);
    EXPECT_EQ(state.pauseCount, 1);
    SendMessageW(window, WM_HSCROLL, SB_ENDSCROLL, 0);
    EXPECT_EQ(state.pauseCount, 0);
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(state.pauseCount, 0);
}

TEST_F(MainWindowTest, InitMenuFollowsSoundFlagsHelpAndPasswords) {
    const HMENU menu = GetMenu(window);
    Services().flags = 0x8000;
    EnterMenuLoop(window);
    ExitMenuLoop(window);
    EXPECT_EQ(GetMenuState(menu, 1020, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuState(menu, 1021, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(menu, 1023, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    WCHAR help[] = u"help.txt";
    app.helpFile = help;
    EnterMenuLoop(window);
    ExitMenuLoop(window);
    EXPECT_EQ(GetMenuState(menu, 1023, MF_BYCOMMAND) & MF_GRAYED, 0u);
    app.helpFile = nullptr;
}

TEST_F(MainWindowTest, ChosenQuitItemEndsTheApplication) {
    const HMENU file = GetSubMenu(GetMenu(window), 0);
    EXPECT_TRUE(ChooseMenuItem(window, file, 1));
    Pump();
    EXPECT_EQ(state.exitCode, ExitError);
}

TEST_F(MainWindowTest, DestroyEndsTheFrameAndForgetsItsWindows) {
    state.mainWindow = state.frameWindow = window;
    SendMessageW(window, WM_DESTROY, 0, 0);
    EXPECT_EQ(state.exitCode, ExitError);
    EXPECT_EQ(state.exitParameter, 1);
    EXPECT_EQ(state.mainWindow, nullptr);
    EXPECT_EQ(state.frameWindow, nullptr);
}

TEST_F(MainWindowTest, MaximumSizeIsTheScreen) {
    MINMAXINFO info{};
    EXPECT_EQ(MainWindowProc(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMaxSize.x, Services().screenWidth);
    EXPECT_EQ(info.ptMaxSize.y, Services().screenHeight);
    EXPECT_EQ(info.ptMaxPosition.x, 0);
}

TEST_F(MainWindowTest, FrameWindowPassesKeysAndClicksOn) {
    FrameWindowProc(frameWindow, WM_KEYDOWN, 'A', 0);
    FrameWindowProc(frameWindow, WM_MBUTTONDOWN, 0, MAKELPARAM(7, 8));
    EXPECT_EQ(seen.keys, std::vector<int>{'A'});
    ASSERT_EQ(seen.clicks.size(), 1u);
    EXPECT_EQ(seen.clicks[0], std::make_tuple(WM_MBUTTONDOWN, 7, 8));
    EXPECT_EQ(FrameWindowProc(frameWindow, 0x807B, 0, 0), 0);
}

// A hook of an extension: takes key 'H', hands back a result of its own for WM_USER + 5.
std::uint16_t ExtensionHook(FrameRunState* s, HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_KEYDOWN && wParam == 'H') return HookHandled;
    if (message != WM_USER + 5) return 0;
    s->hookResult = 77;
    return HookStoredResult;
}

TEST_F(MainWindowTest, WindowHooksSeeBothWindowsMessagesFirst) {
    ASSERT_TRUE(AppendWindowHook(state, ExtensionHook, 0));
    FrameWindowProc(frameWindow, WM_KEYDOWN, 'H', 0);
    MainWindowProc(window, WM_KEYDOWN, 'H', 0);
    FrameWindowProc(frameWindow, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(seen.keys, std::vector<int>{'A'});
    EXPECT_EQ(SendMessageW(frameWindow, WM_USER + 5, 0, 0), 77);
    EXPECT_EQ(SendMessageW(window, WM_USER + 5, 0, 0), 77);
}

TEST_F(MainWindowTest, ThePaletteIsRealisedByTheFrameWindowWhenTheMainWindowAsks) {
    EXPECT_EQ(SendMessageW(frameWindow, WM_QUERYNEWPALETTE, 0, 0), 0) << "no palette to realise";
    const HDC mainDc = GetDC(window); // the main window keeps its own DC
    ASSERT_EQ(GetCurrentObject(mainDc, OBJ_PAL), nullptr);
    LogPalette256 log{};
    log.version = 0x300;
    log.count = 256;
    Services().palette = CreatePalette(log.Log());
    ASSERT_NE(Services().palette, nullptr);
    // The main window hands the message to its descendants: the frame window realises the palette in the
    // main window's DC, and leaves it free to be deleted when the next frame brings its own.
    EXPECT_EQ(SendMessageW(window, WM_QUERYNEWPALETTE, 0, 0), 1);
    EXPECT_EQ(GetCurrentObject(mainDc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(SendMessageW(frameWindow, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(frameWindow), 0), 1);
    EXPECT_TRUE(DeleteObject(Services().palette));
    Services().palette = nullptr;
    EXPECT_EQ(SendMessageW(window, WM_QUERYNEWPALETTE, 0, 0), 1) << "the main window answers all the same";
    ReleaseDC(window, mainDc);
}

TEST_F(MainWindowTest, TheDialogCommandsOpenTheirDialogsWithTheGamePaused) {
    test_support::DialogDriver driver;
    std::vector<std::u16string> titles;
    std::vector<int> pauses;
    auto note = [&](HWND d) {
        WCHAR title[32]{};
        GetWindowTextW(d, title, 32);
        titles.push_back(title);
        pauses.push_back(state.pauseCount);
        EXPECT_EQ(GetParent(d), window) << "owned by the main window";
    };
    static int resumed = 0;
    resumed = 0;
    EventRaisers().resumed = [] { ++resumed; };
    std::uint16_t controls[36] = {5, 5, 5, 5};
    app.globals.controls = controls;
    for (auto step : {test_support::DialogDriver::Step(note), test_support::DialogDriver::Key(VK_ESCAPE)})
        driver.Then(step);
    SendMessageW(window, WM_COMMAND, CommandAbout, 0);
    driver.Then(note).Then(test_support::DialogDriver::Key(VK_RETURN));
    SendMessageW(window, WM_COMMAND, CommandPause, 0);
    driver.Then(note).Then(test_support::DialogDriver::Key(VK_ESCAPE));
    SendMessageW(window, WM_COMMAND, CommandPlayerControls, 0);
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"About", u"Application paused", u"Player controls"}));
    EXPECT_EQ(pauses, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(state.pauseCount, 0);
    EXPECT_EQ(resumed, 1) << "the paused dialog closes as a resume by key";
    app.globals.controls = nullptr;
}

// Over a display driver's full screen the dialogs stay closed; the plain full screen shows them.
TEST_F(MainWindowTest, TheDialogCommandsOpenNothingInADriversFullScreen) {
    test_support::DialogDriver driver;
    Services().fullScreen = 1;
    Services().displayFlags = 0x98;
    for (int command : {CommandAbout, CommandPause, CommandPlayerControls})
        SendMessageW(window, WM_COMMAND, command, 0);
    EXPECT_TRUE(driver.Shown().empty());
    EXPECT_EQ(state.pauseCount, 0);
    Services().displayFlags = 8;
    driver.Then(test_support::DialogDriver::Key(VK_ESCAPE));
    SendMessageW(window, WM_COMMAND, CommandAbout, 0);
    Services().fullScreen = 0;
    Services().displayFlags = 0;
    EXPECT_EQ(driver.Shown().size(), 1u);
}

TEST_F(MainWindowTest, APasswordFromTheMenuJumpsToItsFrame) {
    test_support::DialogDriver driver;
    std::u16string secret = u"Moon";
    WCHAR* passwords[3] = {nullptr, nullptr, secret.data()};
    SendMessageW(window, WM_COMMAND, CommandPassword, 0);
    EXPECT_TRUE(driver.Shown().empty()) << "no frame has a password";
    app.framePasswords = passwords;
    app.frameTableEntries = 3;
    driver.Then(test_support::DialogDriver::Type(u"moon")).Then(test_support::DialogDriver::Key(VK_RETURN));
    SendMessageW(window, WM_COMMAND, CommandPassword, 0);
    EXPECT_EQ(state.exitCode, ExitJumpToFrame);
    EXPECT_EQ(state.exitParameter, 0x8002);
    app.framePasswords = nullptr;
}

struct TitleCase {
    const char* name;
    const char16_t* application;
    const char16_t* frame;
    std::uint32_t frameFlags;
    WORD debug;
    WORD displayFlags;
    WORD displayType;
    const char16_t* expected;
};

class WindowTitle : public MainWindowTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(WindowTitle, NamesTheApplicationAndWithDebugTheDisplayMode) {
    const TitleCase& c = GetParam();
    std::u16string appName = c.application ? c.application : u"", frameName = c.frame ? c.frame : u"";
    app.name = c.application ? appName.data() : nullptr;
    frame.name = c.frame ? frameName.data() : nullptr;
    frame.flags = c.frameFlags;
    Services().frame = &frame;
    GetCommandLineOptions().debugTitle = c.debug;
    Services().displayFlags = c.displayFlags;
    Services().displayType = c.displayType;
    UpdateWindowTitle();
    Services().displayFlags = Services().displayType = 0;
    app.name = nullptr;
    frame.name = nullptr;
    WCHAR title[128]{};
    GetWindowTextW(window, title, 128);
    EXPECT_EQ(std::u16string(title), std::u16string(c.expected));
}

const TitleCase titleCases[] = {
    {"ApplicationName", u"Game", u"Level", 0, 0, 3, 3, u"Game"},
    {"FrameNamedWhenItsFlagAsks", u"Game", u"Level", 1, 0, 3, 3, u"Game - Level"},
    {"FrameWithoutAName", u"Game", nullptr, 1, 0, 3, 3, u"Game"},
    {"UntitledWithoutAName", nullptr, u"Level", 0, 0, 3, 3, u"Untitled"},
    {"Debug256Colours", u"Game", nullptr, 0, 1, 3, 3, u"Game - 256 colors - DLL Build #280"},
    {"Debug24Bits", u"Game", nullptr, 0, 1, 4, 4, u"Game - 16M colors (24 bit) - DLL Build #280"},
    {"Debug15Bits", u"Game", nullptr, 0, 1, 6, 6, u"Game - 32768 colors - DLL Build #280"},
    {"Debug16Bits", u"Game", nullptr, 0, 1, 7, 7, u"Game - 65536 colors - DLL Build #280"},
    {"Debug32Bits", u"Game", u"Level", 1, 1, 8, 8, u"Game - Level - 16M colors (32 bit) - DLL Build #280"},
    {"DebugDirect3D9", u"Game", nullptr, 0, 1, 0x18, 8, u"Game - D3D9 Mode - DLL Build #280"},
    {"DebugDirect3D8", u"Game", nullptr, 0, 1, 0x98, 8, u"Game - D3D8 Mode - DLL Build #280"},
};

INSTANTIATE_TEST_SUITE_P(Cases, WindowTitle, ::testing::ValuesIn(titleCases),
                         [](const ::testing::TestParamInfo<TitleCase>& info) { return info.param.name; });

TEST_F(MainWindowTest, ASubApplicationTitlesItsFrameWindowWithItsFramesName) {
    ApplicationRecord child{};
    child.parent = &app;
    child.frameWindow = frameWindow;
    std::u16string level = u"Inner";
    frame.name = level.data();
    frame.flags = 1;
    CurrentApplicationScope scope(&child);
    Services().frame = &frame;
    UpdateWindowTitle();
    frame.name = nullptr;
    WCHAR title[32]{};
    GetWindowTextW(frameWindow, title, 32);
    EXPECT_EQ(std::u16string(title), u"Inner");
}

TEST_F(MainWindowTest, AltF4InTheFrameWindowAsksTheQuitCommand) {
    GetCommandLineOptions().noCloseCommand = 0;
    SendMessageW(frameWindow, WM_SYSKEYDOWN, VK_F1 + 3, 1 << 29);
    Pump();
    EXPECT_EQ(seen.commands, std::vector<int>{1008});
    EXPECT_TRUE(IsWindow(frameWindow));
}

TEST_F(MainWindowTest, AnMdiChildFrameWindowPausesWhileAnotherChildIsActive) {
    AppWindow* library = Services().frameLibraryWindow;
    SetAppWindowFlags(library, GetAppWindowFlags(library) | AppWindowMdiChild);
    SendMessageW(frameWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frameWindow),
                 reinterpret_cast<LPARAM>(window));
    EXPECT_EQ(state.pauseCount, 1);
    SendMessageW(frameWindow, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(frameWindow));
    EXPECT_EQ(state.pauseCount, 0);
}

} // namespace

namespace {

using namespace win32;

struct StyleCase {
    std::uint16_t flags1, flags2;
    DWORD wanted; // of caption, system menu, boxes and thick frame (0xCF0000)
};

class MainWindowStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(MainWindowStyle, FollowsTheHeader) {
    vtrrt::ApplicationRecord app{};
    app.header.flags1 = GetParam().flags1;
    app.header.flags2 = GetParam().flags2;
    ASSERT_EQ(vtrrt::CreateLibraryContext(nullptr), 0);
    ASSERT_EQ(vtrrt::CreateMainWindow(app), 0);
    HWND window = vtrrt::Services().mainWindow;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & 0xCF0000u, GetParam().wanted);
    vtrrt::DestroyMainWindow();
}

INSTANTIATE_TEST_SUITE_P(Headers, MainWindowStyle,
                         ::testing::Values(StyleCase{0, 0, 0xCF0000}, StyleCase{0, 0x10, 0xCD0000},
                                           StyleCase{0, 0x20, 0xCE0000}, StyleCase{0, 0x40, 0xCB0000},
                                           StyleCase{0, 0x70, 0xC80000},
                                           // Full screen keeps only the minimize box.
                                           StyleCase{0x2, 0, 0x020000}));

} // namespace

namespace {

using namespace win32;
using namespace vtrrt;

// An MDI application: its main window is an MDI frame whose client stands in for the frame window.
class MdiApplication : public ::testing::Test {
protected:
    void SetUp() override {
        GetCommandLineOptions() = {};
        app.header.flags2 = 0x4000;
        app.runState = StateRunFrame;
        app.run.frame = &frame;
        frame.runState = &state;
        SetCurrentApplication(&app);
        ASSERT_EQ(CreateLibraryContext(nullptr), 0);
        ASSERT_EQ(CreateMainWindow(app), 0);
        main = Services().mainWindow;
        ASSERT_EQ(CreateFrameWindow(main, 0x42000000, 4), 0);
        client = GetMdiClientHandle(Services().mainLibraryWindow);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefMDIChildProcW;
        wc.lpszClassName = u"MdiTestChild";
        RegisterClassExW(&wc);
        for (HWND& child : children) {
            MDICREATESTRUCTW mdi{u"MdiTestChild", u"", nullptr, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT,   0,   0};
            child =
                reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mdi)));
            ASSERT_NE(child, nullptr);
        }
    }
    void TearDown() override { scene::CloseWindows(); }
    HWND Active() { return reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)); }

    ApplicationRecord app{};
    FrameRecord frame{};
    FrameRunState state{};
    HWND main = nullptr;
    HWND client = nullptr;
    HWND children[2]{};
};

TEST_F(MdiApplication, TheMdiClientIsTheFrameWindowAndFillsTheMainWindow) {
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(Services().frameWindow, client);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(client, GWLP_WNDPROC)), MdiClientWindowProc);
    SetWindowPos(main, nullptr, 0, 0, 500, 400, SWP_NOZORDER);
    RECT mainClient{}, mdi{};
    GetClientRect(main, &mainClient);
    GetClientRect(client, &mdi);
    EXPECT_EQ(mdi.right, mainClient.right);
    EXPECT_EQ(mdi.bottom, mainClient.bottom);
}

TEST_F(MdiApplication, ShortcutKeysAreTakenBeforeTheWindowSeesThem) {
    Calls seen;
    calls = &seen;
    EventRaisers() = {};
    EventRaisers().keyDown = [](int key) { calls->keys.push_back(key); };
    EventRaisers().menuCommand = [](int id) {
        calls->commands.push_back(id);
        return true;
    };
    // F5 without modifiers stands for command 1033; the table is the last entry.
    CurrentMenu().keyTable = {ShortcutLast, 0, 0x74, 0, 0x09, 0x04, 0, 0};
    PostMessageW(Services().mainWindow, WM_KEYDOWN, 0x74, 0);
    PostMessageW(Services().mainWindow, WM_KEYDOWN, 0x75, 0);
    PumpMessages(nullptr, 0);
    EXPECT_EQ(seen.keys, (std::vector<int>{0x75}));
    EXPECT_EQ(seen.commands, (std::vector<int>{0x409}));
    CurrentMenu().keyTable.clear();
    EventRaisers() = {};
    calls = nullptr;
}

TEST_F(MdiApplication, WindowMenuCommandsReachTheMdiClient) {
    RECT area{};
    GetClientRect(client, &area);
    SendMessageW(main, WM_COMMAND, 1028, 0); // tile vertically: side by side
    EXPECT_EQ(RectInParent(children[0]).right - RectInParent(children[0]).left, area.right / 2);
    EXPECT_EQ(RectInParent(children[0]).bottom, area.bottom);
    SendMessageW(main, WM_COMMAND, 1027, 0); // tile horizontally: one above another
    EXPECT_EQ(RectInParent(children[0]).right, area.right);
    EXPECT_EQ(RectInParent(children[0]).bottom - RectInParent(children[0]).top, area.bottom / 2);
    SendMessageW(main, WM_COMMAND, 1026, 0); // cascade
    EXPECT_NE(RectInParent(children[0]).left, RectInParent(children[1]).left);
    EXPECT_EQ(Active(), children[1]);
    SendMessageW(main, WM_COMMAND, 1030, 0); // next child
    EXPECT_EQ(Active(), children[0]);
    SendMessageW(main, WM_COMMAND, 1031, 0); // previous child
    EXPECT_EQ(Active(), children[1]);
    SendMessageW(main, WM_COMMAND, 1032, 0); // close the active child
    EXPECT_FALSE(IsWindow(children[1]));
    EXPECT_TRUE(IsWindow(children[0]));
}

} // namespace

namespace {

using namespace win32;
using namespace vtrrt;

// Docked sub-applications of the MDI application: a band along the top and one down the left side (shown)
// and one along the bottom (hidden, so that it takes no band).
class DockedSubApplications : public MdiApplication {
protected:
    void SetUp() override {
        MdiApplication::SetUp();
        SetWindowPos(main, nullptr, 0, 0, 500, 400, SWP_NOZORDER);
        const struct {
            std::uint32_t side;
            std::int32_t width, height, visible;
        } docked[] = {{SubAppDockTop, 0, 30, 1}, {0, 40, 0, 1}, {SubAppDockBottom, 0, 25, 0}};
        for (std::size_t i = 0; i < std::size(docked); ++i) {
            ApplicationRecord& child = children_[i];
            child.parent = &app;
            child.subAppOptions = SubAppDocked | docked[i].side;
            child.subAppWidth = docked[i].width;
            child.subAppHeight = docked[i].height;
            child.subAppVisible = docked[i].visible;
            child.frameWindow =
                CreateWindowExW(0, u"MdiTestChild", u"", WS_CHILD, 0, 0, 10, 10, main, nullptr, nullptr, nullptr);
            ASSERT_TRUE(AddRunningApplication(&child));
        }
    }
    void TearDown() override {
        for (ApplicationRecord& child : children_)
            RemoveRunningApplication(&child);
        MdiApplication::TearDown();
    }
    ApplicationRecord children_[3]{};
};

TEST_F(DockedSubApplications, TakeBandsOfTheMainWindowAndTheMdiClientTheRest) {
    RECT area{};
    GetClientRect(main, &area);
    // The generic call of the extension services lays them out as the main window's size does.
    ASSERT_EQ(ExtensionServices()->generic(extension::CallLayoutSubApplications, 0, 0, 0), 1);
    const auto expect = [](HWND window, RECT r) {
        const RECT at = RectInParent(window);
        EXPECT_EQ(at.left, r.left);
        EXPECT_EQ(at.top, r.top);
        EXPECT_EQ(at.right, r.right);
        EXPECT_EQ(at.bottom, r.bottom);
    };
    expect(children_[0].frameWindow, {0, 0, area.right, 30});
    expect(children_[1].frameWindow, {0, 30, 40, area.bottom});
    // A hidden band is placed but takes no room.
    expect(children_[2].frameWindow, {0, area.bottom, area.right, area.bottom + 25});
    // What the shown bands leave.
    expect(client, {40, 30, area.right, area.bottom});
    // Shown, the bottom band narrows the side band and the client.
    children_[2].subAppVisible = 1;
    SetWindowPos(main, nullptr, 0, 0, 480, 380, SWP_NOZORDER);
    GetClientRect(main, &area);
    expect(children_[1].frameWindow, {0, 30, 40, area.bottom - 25});
    expect(client, {40, 30, area.right, area.bottom - 25});
}

} // namespace
