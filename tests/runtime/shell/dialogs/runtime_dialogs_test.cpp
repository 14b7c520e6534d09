#include "core/application_globals.h"
#include "core/application_record.h"
#include "core/key_names.h"
#include "core/runtime_services.h"
#include "shell/runtime_dialogs.h"
#include "startup/player_globals.h"
#include "startup/shell_services.h"

#include "support/dialog_driver.h"
#include "support/param_names.h"
#include "win32/dialog.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/shell.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace win32;
using namespace vtrrt;
using Driver = test_support::DialogDriver;

namespace {

struct KeyNameCase {
    const char* name;
    int key;
    const char16_t* expected;
};

class KeyNames : public ::testing::TestWithParam<KeyNameCase> {};

TEST_P(KeyNames, NameTheKey) {
    WCHAR buffer[KeyNameUnits];
    std::fill(std::begin(buffer), std::end(buffer), u'?');
    GetKeyName(buffer, GetParam().key);
    EXPECT_EQ(std::u16string(buffer), std::u16string(GetParam().expected));
}

const KeyNameCase keyNameCases[] = {
    {"NumberPadZero", 0x60, u"0 (Num. keypad)"},
    {"NumberPadNine", 0x69, u"9 (Num. keypad)"},
    {"F1", 0x70, u"F1"},
    {"F12", 0x7B, u"F12"},
    {"F24", 0x87, u"F24"},
    {"Backspace", 0x08, u"Backspace"},
    {"Tab", 0x09, u"Tab"},
    {"Clear", 0x0C, u"Clear"},
    {"Enter", 0x0D, u"Enter"},
    {"Space", 0x20, u"Space bar"},
    {"PageDown", 0x22, u"Page Down"},
    {"DownArrow", 0x28, u"Down Arrow"},
    {"Select", 0x29, u"Select"},
    {"Execute", 0x2B, u"Execute"},
    {"Delete", 0x2E, u"Del"},
    {"Escape", 0x1B, u"Escape"},
    {"LetterFallsBackToItsCharacter", 'Q', u"Q"},
    {"DigitFallsBackToItsCharacter", '7', u"7"},
    {"SemicolonKey", 0xBA, u";"},
    {"NumberPadPlus", 0x6B, u"+"},
    {"KeyThatTypesNothing", 0x5B, u""},
};

INSTANTIATE_TEST_SUITE_P(Keys, KeyNames, ::testing::ValuesIn(keyNameCases),
                         [](const ::testing::TestParamInfo<KeyNameCase>& info) { return info.param.name; });

TEST(KeysThatCannotBeAssigned, AreAltPrintScreenTheLocksEscapeHelpAndPause) {
    for (int key : {0x12, 0x2C, 0x14, 0x1B, 0x2F, 0x13, 0x91, 0x90})
        EXPECT_FALSE(KeyCanBeAssigned(key)) << key;
    for (int key : {0x26, int{'A'}, 0x70, 0x60, 0x20})
        EXPECT_TRUE(KeyCanBeAssigned(key)) << key;
}

std::u16string ItemText(HWND dialog, int id) {
    WCHAR text[128]{};
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
}

bool ItemShown(HWND dialog, int id) {
    return (GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// The runtime's dialogs over an application of three frames, two with passwords.
class RuntimeDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        win32::testing::ResetInputState();
        passwords = {nullptr, password1.data(), password2.data()};
        app.framePasswords = passwords.data();
        app.frameTableEntries = 3;
        app.currentFrameIndex = 0;
        app.name = name.data();
        app.aboutText = about.data();
        app.copyright = copyright.data();
        SetCurrentApplication(&app);
    }
    void TearDown() override {
        SetCurrentApplication(nullptr);
        FreeRuntimeDialogFonts();
        win32::testing::ResetInputState();
    }
    void Script(std::initializer_list<Driver::Step> steps) {
        for (const Driver::Step& step : steps)
            driver.Then(step);
    }

    std::u16string password1 = u"Secret", password2 = u"abcdefgh";
    std::u16string name = u"Space Game", about = u"A game about space.", copyright = u"(c) Nobody";
    std::array<WCHAR*, 3> passwords{};
    ApplicationRecord app{};
    Driver driver;
};

TEST_F(RuntimeDialogs, APasswordOpensItsFrameWhateverTheCase) {
    Script({Driver::Type(u"sECRET"), Driver::Key(VK_RETURN)});
    EXPECT_EQ(AskFramePassword(nullptr), 1);
}

TEST_F(RuntimeDialogs, TheCurrentFramesOwnPasswordNeverMatches) {
    app.currentFrameIndex = 1;
    Script({Driver::Type(u"secret"), Driver::Key(VK_RETURN)});
    EXPECT_EQ(AskFramePassword(nullptr), -1);
}

TEST_F(RuntimeDialogs, PasswordsAreReadToEightCharactersAndCancelGivesNone) {
    Script({Driver::Type(u"ABCDEFGHIJK"), Driver::Key(VK_RETURN)}); // nine fit the edit, eight are read
    EXPECT_EQ(AskFramePassword(nullptr), 2);
    Script({Driver::Type(u"secret"), Driver::Press(IDCANCEL)});
    EXPECT_EQ(AskFramePassword(nullptr), -1);
    Script({Driver::Key(VK_RETURN)});
    EXPECT_EQ(AskFramePassword(nullptr), -1) << "nothing typed";
}

constexpr std::uint16_t Arrows[8] = {0x26, 0x28, 0x25, 0x27, 'A', 'B', 'C', 'D'};

TEST_F(RuntimeDialogs, AKeyPressedForAButtonBecomesItsKeyOnOk) {
    std::array<std::uint16_t, 8> keys;
    std::copy(std::begin(Arrows), std::end(Arrows), keys.begin());
    bool awaitingShown = false;
    std::u16string before, after;
    Script({[&](HWND d) { before = ItemText(d, 112); },
            Driver::Press(103), // Left
            [&](HWND d) { awaitingShown = ItemShown(d, 120) && !ItemShown(d, 112); }, Driver::Key('J'),
            [&](HWND d) {
                after = ItemText(d, 112);
                EXPECT_TRUE(ItemShown(d, 112));
                EXPECT_FALSE(ItemShown(d, 120));
            },
            Driver::Press(IDOK)});
    EXPECT_EQ(ShowKeyboardSetupDialog(nullptr, keys.data()), IDOK);
    EXPECT_EQ(before, u"Left Arrow");
    EXPECT_TRUE(awaitingShown);
    EXPECT_EQ(after, u"J");
    EXPECT_EQ(keys[2], 'J');
    EXPECT_EQ(keys[0], 0x26);
}

TEST_F(RuntimeDialogs, EscapeAClickAKeyThatCannotBeAssignedOrACommandKeepTheOldKey) {
    std::array<std::uint16_t, 8> keys;
    std::copy(std::begin(Arrows), std::end(Arrows), keys.begin());
    Script({Driver::Press(101), Driver::Key(VK_ESCAPE),    // Escape is the wait's, not the dialog's
            Driver::Press(102), Driver::ClickDialog(2, 2), // a click counts as Escape
            Driver::Press(104), Driver::Key(VK_CAPITAL), Driver::Press(105),
            Driver::Press(106), // the second command stops the wait
            Driver::Key('K'), Driver::Press(IDOK)});
    EXPECT_EQ(ShowKeyboardSetupDialog(nullptr, keys.data()), IDOK);
    EXPECT_TRUE(std::equal(keys.begin(), keys.end(), std::begin(Arrows)));
}

TEST_F(RuntimeDialogs, CancelKeepsTheKeysAsTheyWere) {
    std::array<std::uint16_t, 8> keys;
    std::copy(std::begin(Arrows), std::end(Arrows), keys.begin());
    Script({Driver::Press(101), Driver::Key('Z'), Driver::Press(IDCANCEL)});
    EXPECT_EQ(ShowKeyboardSetupDialog(nullptr, keys.data()), IDCANCEL);
    EXPECT_EQ(keys[0], 0x26);
}

// The grid's rectangle and a point in one of its cells, in the dialog's client coordinates.
RECT GridOf(HWND dialog) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, 121), &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, dialog, corners, 2);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

Driver::Step ClickCell(int column, int row) {
    return [column, row](HWND d) {
        const RECT g = GridOf(d);
        const int w = (g.right - g.left) / 4, h = (g.bottom - g.top) / 5;
        PostMessageW(d, WM_LBUTTONDOWN, 1, MAKELPARAM(g.left + column * w + w / 2, g.top + row * h + h / 2));
    };
}

std::array<std::uint16_t, ControlBlockWords> TwoKeyboardPlayers() {
    std::array<std::uint16_t, ControlBlockWords> controls{};
    controls[0] = controls[1] = 5;
    controls[2] = controls[3] = 1;
    for (std::size_t k = 0; k < 8; ++k)
        controls[4 + 2 * 8 + k] = static_cast<std::uint16_t>('1' + k); // player 3's keys
    return controls;
}

TEST_F(RuntimeDialogs, ChoosingKeyboardForPlayerThreeOpensItsKeysAndCancelThereKeepsThem) {
    auto controls = TwoKeyboardPlayers();
    std::u16string upKeyShown;
    Script({ClickCell(2, 4),
            [&](HWND keyboard) { upKeyShown = ItemText(keyboard, 110); }, // the keyboard set-up is on top
            Driver::Press(101), Driver::Key('X'), Driver::Press(IDCANCEL), Driver::Press(IDOK)});
    ShowPlayerControlsDialog(nullptr, controls.data());
    ASSERT_EQ(driver.Shown().size(), 2u);
    EXPECT_EQ(upKeyShown, u"1") << "player 3's up key";
    EXPECT_EQ(controls[2], 5);
    EXPECT_EQ(controls[4 + 16], '1');
}

TEST_F(RuntimeDialogs, AJoystickThatIsNotThereKeepsThePlayersControlAndTheRemaindersDoNothing) {
    auto controls = TwoKeyboardPlayers();
    JoystickRangeOf(0) = {1, 2, 3, 4};
    ::testing::internal::CaptureStderr();
    Script({ClickCell(0, 0),
            [](HWND d) {
                // Past the fourth column (the grid's width is seldom a multiple of four) and below the grid.
                const RECT g = GridOf(d);
                PostMessageW(d, WM_LBUTTONDOWN, 1, MAKELPARAM(g.right - 1, g.top + 2));
                PostMessageW(d, WM_LBUTTONDOWN, 1, MAKELPARAM(g.left + 2, g.bottom + 3));
            },
            Driver::Idle,
            [](HWND d) {
                // A grid narrower than its four columns has no cells to click in.
                const RECT g = GridOf(d);
                SetWindowPos(GetDlgItem(d, 121), nullptr, 0, 0, 3, g.bottom - g.top,
                             SWP_NOMOVE | SWP_NOZORDER);
                const RECT narrow = GridOf(d);
                PostMessageW(d, WM_LBUTTONDOWN, 1, MAKELPARAM(narrow.left + 1, narrow.top + 2));
                PostMessageW(d, WM_LBUTTONDOWN, 1, MAKELPARAM(narrow.left + 2, narrow.bottom - 2));
            },
            Driver::Press(IDOK)});
    ShowPlayerControlsDialog(nullptr, controls.data());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Joystick not connected or driver not installed."), std::string::npos) << said;
    EXPECT_EQ(controls, TwoKeyboardPlayers());
    EXPECT_EQ(JoystickRangeOf(0).xMax, 2u) << "the ranges stay";
    EXPECT_EQ(driver.Shown().size(), 1u);
}

TEST_F(RuntimeDialogs, TheGridShowsEachPlayersControlCrossed) {
    auto controls = TwoKeyboardPlayers();
    RECT grid{};
    std::vector<std::pair<POINT, bool>> probes; // a point and whether the reference has black there
    Script({[&](HWND d) {
                UpdateWindow(d);
                grid = GridOf(d);
                const int w = (grid.right - grid.left) / 4, h = (grid.bottom - grid.top) / 5;
                for (int column = 0; column < 4; ++column) {
                    for (int row = 0; row < 5; ++row) {
                        const int left = grid.left + column * w, top = grid.top + row * h;
                        const bool crossed = controls[static_cast<std::size_t>(column)] == row + 1;
                        // The cross runs from 4 pixels inside one corner to 4 inside the other: its middle
                        // is the cell's centre, and a point a quarter along it lies on it too.
                        const int cx = left + w / 2, cy = top + h / 2;
                        const int qx = left + 4 + (w - 8) / 4, qy = top + 4 + (h - 8) / 4;
                        for (POINT p : {POINT{cx, cy}, POINT{qx, qy}}) {
                            const COLORREF c = win32::testing::ReadWindowPixel(d, p.x, p.y);
                            probes.push_back({p, c == RGB(0, 0, 0)});
                            EXPECT_EQ(c == RGB(0, 0, 0), crossed) << column << "," << row;
                        }
                        // Every cell is outlined (the grid's own frame lies over the outer lines).
                        if (column > 0) {
                            EXPECT_EQ(win32::testing::ReadWindowPixel(d, left, top + h / 2), RGB(0, 0, 0))
                                << column << "," << row;
                        }
                        if (row > 0) {
                            EXPECT_EQ(win32::testing::ReadWindowPixel(d, left + w / 4, top), RGB(0, 0, 0))
                                << column << "," << row;
                        }
                    }
                }
            },
            Driver::Press(IDCANCEL)});
    ShowPlayerControlsDialog(nullptr, controls.data());
    EXPECT_FALSE(probes.empty());
}

TEST_F(RuntimeDialogs, AboutShowsTheNameInBoldAndTheTwoTexts) {
    std::u16string shownName, shownAbout, shownCopyright, title;
    LONG nameWeight = 0, textWeight = 0;
    Script({[&](HWND d) {
                shownName = ItemText(d, 102);
                shownAbout = ItemText(d, 104);
                shownCopyright = ItemText(d, 105);
                WCHAR caption[32]{};
                GetWindowTextW(d, caption, 32);
                title = caption;
                LOGFONTW lf{};
                GetFontObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(d, 102, WM_GETFONT, 0, 0)),
                               sizeof lf, &lf);
                nameWeight = lf.lfWeight;
                GetFontObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(d, 104, WM_GETFONT, 0, 0)),
                               sizeof lf, &lf);
                textWeight = lf.lfWeight;
            },
            Driver::Key(VK_RETURN)});
    EXPECT_EQ(ShowAboutDialog(nullptr), IDOK);
    EXPECT_EQ(title, u"About");
    EXPECT_EQ(shownName, u"Space Game");
    EXPECT_EQ(shownAbout, u"A game about space.");
    EXPECT_EQ(shownCopyright, u"(c) Nobody");
    EXPECT_EQ(nameWeight, 700);
    EXPECT_EQ(textWeight, 400);
}

// An About text of four lines in the dialog's font is shown whole: its item is tall enough for the lines
// the text wraps to, and the copyright below starts past it.
TEST_F(RuntimeDialogs, AboutShowsAFourLineTextWholeAboveTheCopyright) {
    about = u"Five spinners, a glass panel and a tune on a title, and two scrolling levels where a player "
            u"collects gems beside bouncing balls and runs for the exit.";
    app.aboutText = about.data();
    RECT needed{}, item{}, text{}, below{};
    Script({[&](HWND d) {
                HWND control = GetDlgItem(d, 104);
                GetClientRect(control, &item);
                GetWindowRect(control, &text);
                GetWindowRect(GetDlgItem(d, 105), &below);
                HDC dc = GetDC(control);
                HGDIOBJ old =
                    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
                needed = RECT{0, 0, item.right, 0};
                DrawTextW(dc, about.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK);
                SelectObject(dc, old);
                ReleaseDC(control, dc);
            },
            Driver::Key(VK_RETURN)});
    EXPECT_EQ(ShowAboutDialog(nullptr), IDOK);
    ASSERT_GT(needed.bottom, 0);
    EXPECT_LE(needed.bottom, item.bottom) << "the text wraps to more lines than its item shows";
    EXPECT_LE(text.bottom, below.top);
}

TEST_F(RuntimeDialogs, ThePausedDialogClosesWithOneWhateverTheCommand) {
    Script({Driver::Key(VK_ESCAPE)});
    EXPECT_EQ(ShowPausedDialog(nullptr), 1);
    Script({Driver::Press(IDOK)});
    EXPECT_EQ(ShowPausedDialog(nullptr), 1);
}

TEST_F(RuntimeDialogs, TheHelpFileOpensWhileThePausedDialogShows) {
    const std::filesystem::path opened = std::filesystem::temp_directory_path() / "vtr-help-opened.txt";
    std::filesystem::remove(opened);
    std::u16string help = opened.u16string();
    app.helpFile = help.data();
    FreeShellResources();                       // no document of an earlier test is still open
    win32::testing::SetDocumentOpener("touch"); // stands for the desktop's opener: it leaves a file
    bool seenOpened = false;
    Script({[](HWND) { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }, Driver::Idle,
            Driver::Idle,
            [&](HWND) {
                for (int i = 0; i < 200 && !std::filesystem::exists(opened); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                seenOpened = std::filesystem::exists(opened);
            },
            Driver::Press(IDOK)});
    EXPECT_EQ(ShowHelpLaunchDialog(nullptr), 1);
    win32::testing::SetDocumentOpener(nullptr);
    FreeShellResources();
    EXPECT_TRUE(seenOpened);
    std::filesystem::remove(opened);
    app.helpFile = nullptr;
}

} // namespace
