// The window layer on a private Xvfb: what a window destroyed under pending X traffic leaves behind, where
// the keyboard goes once a dialog has closed, and the message box as a dialog of the layer's own.
#include "support/dialog_driver.h"
#include "support/x_display.h"
#include "win32/dialog.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/msgbox.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace win32;

LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// One X server for the whole binary, stopped once every test has run: SDL's video starts once per process
// and keeps its connection.
class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/bin/Xvfb") || !display_.Start(800, 600)) return;
        setenv("DISPLAY", display_.Name().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = u"XServerTest";
        RegisterClassExW(&wc);
        started = true;
    }
    static inline bool started = false;

private:
    vtrtest::VirtualDisplay display_;
};

const auto* const xServer = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

class XServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XServerEnvironment::started) GTEST_SKIP() << "needs Xvfb";
        main_ = Top(u"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0);
        ASSERT_NE(main_, nullptr);
        ASSERT_NE(win32::testing::XWindowOf(main_), 0u) << "SDL did not start on the X server";
    }
    void TearDown() override {
        if (main_) DestroyWindow(main_);
        Pump();
    }
    static HWND Top(const char16_t* title, DWORD style, HWND owner, int x) {
        return CreateWindowExW(0, u"XServerTest", title, style, x, 0, 200, 150, owner, nullptr, nullptr,
                               nullptr);
    }
    // Pumps for up to two seconds until `done` holds.
    template <typename Done> static bool PumpUntil(Done done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    HWND main_ = nullptr;
};

// SDL wakes its event wait with a message sent to a window over its second connection; when that window is
// destroyed on the first connection meanwhile, the server answers BadWindow, which must not end the run.
TEST_F(XServer, ARequestNamingADestroyedWindowIsReportedAndTheRunGoesOn) {
    HWND dialog = Top(u"dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, main_, 220);
    ASSERT_NE(dialog, nullptr);
    Pump();
    const unsigned long gone = win32::testing::XWindowOf(dialog);
    ASSERT_NE(gone, 0u);
    DestroyWindow(dialog);
    Pump();
    const int before = win32::testing::XErrorsSeen();
    ::testing::internal::CaptureStderr();
    win32::testing::SendXClientMessage(gone);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(win32::testing::XErrorsSeen(), before + 1);
    EXPECT_NE(said.find("X error ignored"), std::string::npos) << said;
    EXPECT_NE(said.find("BadWindow"), std::string::npos) << said;
    // The layer goes on talking to the server.
    HWND another = Top(u"another", WS_POPUP | WS_VISIBLE, main_, 220);
    EXPECT_NE(win32::testing::XWindowOf(another), 0u);
    DestroyWindow(another);
    Pump();
}

// With no window manager to move it, the X focus goes back to the window a dialog was opened over when the
// dialog goes, so that keys reach the program again without a click.
TEST_F(XServer, AClosedDialogGivesTheXFocusBackToItsOwner) {
    HWND dialog = Top(u"dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, main_, 220);
    ASSERT_NE(dialog, nullptr);
    SDL_Window* dialogSdl = SDL_GetWindowFromID(win32::testing::SdlWindowId(dialog));
    SDL_Window* mainSdl = SDL_GetWindowFromID(win32::testing::SdlWindowId(main_));
    ASSERT_TRUE(dialogSdl && mainSdl);
    ASSERT_TRUE(PumpUntil([&] { return SDL_GetWindowFlags(dialogSdl) & SDL_WINDOW_SHOWN; }));
    SDL_SetWindowInputFocus(dialogSdl);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == dialog; }))
        << "the dialog never had the keyboard";
    DestroyWindow(dialog);
    EXPECT_EQ(GetActiveWindow(), main_);
    EXPECT_TRUE(PumpUntil([&] { return SDL_GetKeyboardFocus() == mainSdl; }))
        << "the X focus stayed where the dialog was";
}

std::u16string TextOf(HWND window) {
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(window)), u'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

struct BoxCase {
    const char* name;
    UINT type;
    std::vector<const char16_t*> buttons;
    int key;     // pressed first
    int pressed; // then pressed with the mouse when the key closed nothing (0: none needed)
    int result;
};

class MessageBoxOnX : public XServer, public ::testing::WithParamInterface<BoxCase> {};

// The box shows on any X server (SDL's own needs core fonts): its caption, its text wrapped whole inside its
// item, its buttons in a row below the text; Return presses the default button, Escape is Cancel or the
// only button, and the line also goes to stderr.
TEST_P(MessageBoxOnX, ShowsTheTextWholeAndAnswersTheKeys) {
    const BoxCase& c = GetParam();
    const std::u16string text = u"This file was saved by a incompatible version of the application. It "
                                u"cannot be loaded into the frame that is running now, which goes on.";
    std::u16string caption;
    RECT needed{}, item{}, textBox{};
    std::vector<std::u16string> labels;
    std::vector<RECT> buttons;
    test_support::DialogDriver driver;
    driver.Then([&](HWND d) {
        caption = TextOf(d);
        HWND label = GetDlgItem(d, 100);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(TextOf(label), text);
        GetClientRect(label, &item);
        GetWindowRect(label, &textBox);
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        needed = RECT{0, 0, item.right, 0};
        DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        for (HWND b = GetWindow(label, GW_HWNDNEXT); b; b = GetWindow(b, GW_HWNDNEXT)) {
            labels.push_back(TextOf(b));
            RECT r{};
            GetWindowRect(b, &r);
            buttons.push_back(r);
        }
    });
    driver.Then(test_support::DialogDriver::Key(c.key));
    if (c.pressed) driver.Then(test_support::DialogDriver::Press(c.pressed));
    ::testing::internal::CaptureStderr();
    const int result = MessageBoxW(main_, text.c_str(), u"Position", c.type);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(driver.Shown().size(), 1u);
    EXPECT_EQ(caption, u"Position");
    EXPECT_GT(needed.bottom, 0);
    EXPECT_LE(needed.bottom, item.bottom) << "the text is cut";
    ASSERT_EQ(labels.size(), c.buttons.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(labels[i], c.buttons[i]);
        EXPECT_GE(buttons[i].top, textBox.bottom) << "a button over the text";
        if (i > 0) {
            EXPECT_GT(buttons[i].left, buttons[i - 1].right) << "buttons not in a row";
        }
    }
    EXPECT_NE(said.find("Position: This file was saved"), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, MessageBoxOnX,
    ::testing::Values(
        BoxCase{"OkByEscape", MB_OK | MB_ICONERROR, {u"OK"}, VK_ESCAPE, 0, IDOK},
        BoxCase{"YesNoDefaultNoByReturn", MB_YESNO | MB_DEFBUTTON2, {u"Yes", u"No"}, VK_RETURN, 0, IDNO},
        BoxCase{"YesNoIgnoresEscape", MB_YESNO, {u"Yes", u"No"}, VK_ESCAPE, IDYES, IDYES},
        BoxCase{"CancelByEscape", MB_YESNOCANCEL, {u"Yes", u"No", u"Cancel"}, VK_ESCAPE, 0, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
