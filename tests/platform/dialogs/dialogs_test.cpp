#include "win32/dialog.h"
#include "win32/dialog_template.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/resource.h"
#include "win32/window_testing.h"

#include "support/dialog_driver.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace win32;

namespace {

constexpr DWORD DialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD Tab = WS_VISIBLE | WS_TABSTOP;
enum : DWORD { EditId = 10, CheckId = 11, LabelId = 12, HiddenId = 13, FrameId = 14 };

using Writer = DialogTemplateWriter<512>;

// A form: an edit, a check box, a label, a hidden button, a frame, OK (default) and Cancel.
constexpr Writer Form = [] {
    Writer t(DialogStyle, 0, {10, 10, 200, 110}, u"Form", 8, u"Helv");
    t.Item(DialogClassEdit, Tab | ES_AUTOHSCROLL, {10, 10, 100, 13}, EditId, u"abc");
    t.Item(DialogClassButton, Tab | BS_AUTOCHECKBOX, {10, 30, 100, 10}, CheckId, u"Check");
    t.Item(DialogClassStatic, WS_VISIBLE | SS_LEFT, {10, 45, 100, 10}, LabelId, u"Label");
    t.Item(DialogClassButton, WS_TABSTOP | BS_PUSHBUTTON, {10, 60, 50, 14}, HiddenId, u"Hidden");
    t.Item(DialogClassStatic, WS_VISIBLE | SS_BLACKFRAME, {130, 10, 60, 40}, FrameId, u"");
    t.Item(DialogClassButton, Tab | BS_DEFPUSHBUTTON, {70, 88, 50, 14}, IDOK, u"OK");
    t.Item(DialogClassButton, Tab | BS_PUSHBUTTON, {130, 88, 50, 14}, IDCANCEL, u"Cancel");
    return t;
}();

// A standard template written out by hand: style, extended style, one item at (5, 5) of 40 x 14 with id
// 1, then no menu, the dialog class, the title "T", and the item: a button "Go".
constexpr BYTE StandardTemplate[] = {
    0x00, 0x00, 0xC8, 0x80,                         // WS_POPUP | WS_CAPTION | WS_SYSMENU
    0x00, 0x00, 0x00, 0x00,                         // extended style
    0x01, 0x00,                                     // one item
    0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00, // 0, 0, 100 x 50
    0x00, 0x00, 0x00, 0x00,                         // no menu, the dialog class
    0x54, 0x00, 0x00, 0x00,                         // "T"
    0x00, 0x00,                                     // align the item to four bytes
    0x00, 0x00, 0x01, 0x50,                         // WS_CHILD | WS_VISIBLE | WS_TABSTOP
    0x00, 0x00, 0x00, 0x00,                         // extended style
    0x05, 0x00, 0x05, 0x00, 0x28, 0x00, 0x0E, 0x00, // 5, 5, 40 x 14
    0x01, 0x00,                                     // id 1
    0xFF, 0xFF, 0x80, 0x00,                         // the button class
    0x47, 0x00, 0x6F, 0x00, 0x00, 0x00,             // "Go"
    0x00, 0x00,                                     // no creation data
};

constexpr BinaryResource Binaries[] = {
    {RT_DIALOG, 900, Form.Data(), Form.Bytes()}, {RT_DIALOG, 901, Form.Data(), 60}, // cut inside its items
};
constexpr StringResource Strings[] = {{1, u"dialog tests"}};

// What the test's dialog procedure saw.
struct Session {
    std::vector<int> commands;
    std::vector<int> focusTrail;
    HWND initialFocus = nullptr;
    int dialogClicks = 0;
    bool ownerEnabledDuring = true;
};
Session* session = nullptr;

INT_PTR TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (session) session->initialFocus = reinterpret_cast<HWND>(wParam);
        return TRUE;
    case WM_COMMAND:
        if (session) session->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_LBUTTONDOWN:
        if (session) ++session->dialogClicks;
        return TRUE;
    default:
        return FALSE;
    }
}

using Driver = test_support::DialogDriver;
const auto Key = Driver::Key;
const auto Type = Driver::Type;
// SDL events become messages behind the next step: an idle step gives them their turn.
const auto Idle = Driver::Idle;

Driver::Step NoteFocus() {
    return [](HWND) { session->focusTrail.push_back(GetDlgCtrlID(GetFocus())); };
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        win32::testing::ResetInputState();
        session = &seen;
    }
    void TearDown() override {
        session = nullptr;
        if (owner) DestroyWindow(owner);
        win32::testing::ResetInputState();
    }
    INT_PTR RunForm() { return DialogBoxIndirectParamW(nullptr, Form.Data(), nullptr, TestDialogProc, 0); }
    // Paints what is waiting, as the message loop would.
    static void Paint() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    // Plays `steps` into the next modal dialog.
    void Script(std::initializer_list<Driver::Step> steps) {
        driver.reset();
        driver = std::make_unique<Driver>();
        for (const Driver::Step& step : steps)
            driver->Then(step);
    }

    Session seen;
    std::unique_ptr<Driver> driver = std::make_unique<Driver>();
    HWND owner = nullptr;
};

RECT ChildRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, dialog, corners, 2);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

TEST_F(Dialogs, ATemplateBecomesADialogWithItsControlsPlacedInDialogUnits) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, Form.Data(), nullptr, TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    WCHAR title[16]{};
    GetWindowTextW(dialog, title, 16);
    EXPECT_EQ(std::u16string(title), u"Form");
    EXPECT_FALSE(IsWindowVisible(dialog)) << "a modeless dialog shows when its template says so";
    const std::pair<int, const char16_t*> classes[] = {{EditId, u"Edit"},    {CheckId, u"Button"},
                                                       {LabelId, u"Static"}, {HiddenId, u"Button"},
                                                       {IDOK, u"Button"},    {IDCANCEL, u"Button"}};
    for (auto [id, cls] : classes) {
        HWND control = GetDlgItem(dialog, id);
        ASSERT_NE(control, nullptr) << id;
        WCHAR name[16]{};
        GetClassNameW(control, name, 16);
        EXPECT_EQ(std::u16string(name), cls) << id;
        EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0), SendMessageW(dialog, WM_GETFONT, 0, 0)) << id;
    }
    RECT box{10, 30, 100, 10}; // position, and size, of the check box
    MapDialogRect(dialog, &box);
    const RECT check = ChildRect(dialog, CheckId);
    EXPECT_EQ(check.left, box.left);
    EXPECT_EQ(check.top, box.top);
    EXPECT_EQ(check.right - check.left, box.right);
    EXPECT_EQ(check.bottom - check.top, box.bottom);
    RECT units{0, 0, 4, 8};
    MapDialogRect(dialog, &units);
    EXPECT_GT(units.right, 3); // an 8-point font's base units
    EXPECT_GT(units.bottom, 9);
    WCHAR text[8]{};
    EXPECT_EQ(GetDlgItemTextW(dialog, EditId, text, 8), 3u);
    EXPECT_EQ(std::u16string(text), u"abc");
    EXPECT_EQ(seen.initialFocus, GetDlgItem(dialog, EditId)) << "the first control with a tab stop";
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, EditId));
    EXPECT_EQ(SendDlgItemMessageW(dialog, EditId, EM_GETSEL, 0, 0), MAKELPARAM(0, 3)) << "its text selected";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, HiddenId)));
    DestroyWindow(dialog);
}

TEST_F(Dialogs, AStandardTemplateWrittenByHandIsReadToo) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, StandardTemplate, nullptr, TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HWND go = GetDlgItem(dialog, 1);
    ASSERT_NE(go, nullptr);
    WCHAR text[8]{};
    GetWindowTextW(go, text, 8);
    EXPECT_EQ(std::u16string(text), u"Go");
    EXPECT_TRUE(GetWindowLongPtrW(go, GWL_STYLE) & WS_TABSTOP);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, NamedTemplatesComeFromTheModulesResourcesAndACutOneIsRefused) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(900), MAKEINTRESOURCEW(RT_DIALOG));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, found), Form.Bytes());
    EXPECT_EQ(LockResource(LoadResource(nullptr, found)), Form.Data());
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(902), MAKEINTRESOURCEW(RT_DIALOG)), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(900), MAKEINTRESOURCEW(RT_MENU)), nullptr);
    Script({Key(VK_RETURN)});
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(900), nullptr, TestDialogProc, 0), IDOK);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(901), nullptr, TestDialogProc, 0), -1);
}

// The ANSI forms take names by number and the same UTF-16 templates.
TEST_F(Dialogs, TheAnsiFormsFindAndMakeTheSameDialogs) {
    const auto name = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(900));
    const auto type = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(RT_DIALOG));
    EXPECT_EQ(FindResourceA(nullptr, name, type),
              FindResourceW(nullptr, MAKEINTRESOURCEW(900), MAKEINTRESOURCEW(RT_DIALOG)));
    EXPECT_EQ(FindResourceA(nullptr, "FORM", type), nullptr) << "no resource is kept under a name";
    Script({Key(VK_ESCAPE)});
    EXPECT_EQ(DialogBoxParamA(nullptr, name, nullptr, TestDialogProc, 0), IDCANCEL);
    Script({Key(VK_RETURN)});
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, Form.Data(), nullptr, TestDialogProc, 0), IDOK);
    for (HWND dialog : {CreateDialogParamA(nullptr, name, nullptr, TestDialogProc, 0),
                        CreateDialogIndirectParamA(nullptr, Form.Data(), nullptr, TestDialogProc, 0)}) {
        ASSERT_NE(dialog, nullptr);
        WCHAR title[16]{};
        GetWindowTextW(dialog, title, 16);
        EXPECT_EQ(std::u16string(title), u"Form");
        EXPECT_NE(GetDlgItem(dialog, CheckId), nullptr);
        DestroyWindow(dialog);
    }
}

TEST_F(Dialogs, TabAndShiftTabMoveThroughTheTabStopsThatShowAndWrapRound) {
    Script({Key(VK_TAB), NoteFocus(), Key(VK_TAB), NoteFocus(), Key(VK_TAB), NoteFocus(), Key(VK_TAB),
            NoteFocus(), [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_SHIFT, 1); }, Key(VK_TAB),
            NoteFocus(), Key(VK_TAB), NoteFocus(),
            [](HWND) { PostMessageW(GetFocus(), WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC0000001)); },
            Key(VK_ESCAPE)});
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(seen.focusTrail, (std::vector<int>{CheckId, IDOK, IDCANCEL, EditId, IDCANCEL, IDOK}));
}

TEST_F(Dialogs, ReturnPressesTheDefaultButtonOrTheFocusedOneAndEscapeCancels) {
    Script({Key(VK_TAB), Key(VK_RETURN)}); // the check box has the focus
    EXPECT_EQ(RunForm(), IDOK);
    seen = Session{};
    Script({Key(VK_TAB), Key(VK_TAB), Key(VK_TAB), Key(VK_RETURN)}); // Cancel has it
    EXPECT_EQ(RunForm(), IDCANCEL);
    seen = Session{};
    Script({Key(VK_ESCAPE)});
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(seen.commands, std::vector<int>{IDCANCEL});
}

TEST_F(Dialogs, AnEditTakesTypedTextUpToItsLimit) {
    std::u16string typed;
    Script({[](HWND d) { SendDlgItemMessageW(d, EditId, EM_LIMITTEXT, 4, 0); },
            Type(u"wxyz!"),            // replaces the selected text, the fifth character does not fit
            Key(VK_LEFT), Type(u"\b"), // takes the y out
            Key(VK_END), Type(u"\b"),  // and the z
            [&](HWND d) {
                WCHAR text[8]{};
                GetDlgItemTextW(d, EditId, text, 8);
                typed = text;
            },
            Key(VK_ESCAPE)});
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(typed, u"wx");
    EXPECT_NE(std::find(seen.commands.begin(), seen.commands.end(), EditId), seen.commands.end())
        << "the edit told its dialog of the changes";
}

// A press and a release of the left button at a point of the dialog, through its SDL window's events.
std::function<void(HWND)> Click(int id) {
    return [id](HWND d) {
        const RECT r = ChildRect(d, id);
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event e{};
            e.type = type;
            e.button.windowID = win32::testing::SdlWindowId(d);
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.x = r.left + 3;
            e.button.y = r.top + 3;
            SDL_PushEvent(&e);
        }
    };
}

TEST_F(Dialogs, SpaceAndClicksToggleAnAutomaticCheckBox) {
    std::vector<UINT> states;
    auto note = [&](HWND d) { states.push_back(IsDlgButtonChecked(d, CheckId)); };
    Script({Key(VK_TAB), Key(VK_SPACE), note, [](HWND d) { SendDlgItemMessageW(d, CheckId, BM_CLICK, 0, 0); },
            note, Click(CheckId), Idle, note, Key(VK_ESCAPE)});
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(states, (std::vector<UINT>{BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
    EXPECT_EQ(std::count(seen.commands.begin(), seen.commands.end(), static_cast<int>(CheckId)), 3);
}

TEST_F(Dialogs, AClickOnALabelGoesToTheDialogBehindIt) {
    Script({Click(LabelId), Idle, Key(VK_ESCAPE)});
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(seen.dialogClicks, 1);
}

// Takes every Escape a modal loop offers.
LRESULT TakeEscape(int code, WPARAM, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    return code == MSGF_DIALOGBOX && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE;
}

TEST_F(Dialogs, TheModalLoopOffersMessagesToTheFilterHooksAndDisablesItsOwner) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"DialogOwner";
    RegisterClassExW(&wc);
    owner = CreateWindowExW(0, u"DialogOwner", u"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr, nullptr,
                            nullptr, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_MSGFILTER, TakeEscape, nullptr, 0);
    Script({Key(VK_ESCAPE), [&](HWND) { seen.ownerEnabledDuring = IsWindowEnabled(owner) != FALSE; },
            Key(VK_RETURN)});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Form.Data(), owner, TestDialogProc, 0), IDOK);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(seen.ownerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

COLORREF Pixel(HWND control, int x, int y) {
    return win32::testing::ReadWindowPixel(control, x, y);
}

TEST_F(Dialogs, FramesLeaveTheirInsideAndButtonsShowTheirKind) {
    HWND dialog = CreateDialogIndirectParamW(nullptr, Form.Data(), nullptr, TestDialogProc, 0);
    ShowWindow(dialog, SW_SHOW);
    Paint();
    HWND frame = GetDlgItem(dialog, FrameId);
    RECT r{};
    GetClientRect(frame, &r);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int x = 0; x < r.right; ++x) {
        EXPECT_EQ(Pixel(frame, x, 0), GetSysColor(COLOR_WINDOWFRAME)) << x;
        EXPECT_EQ(Pixel(frame, x, r.bottom - 1), GetSysColor(COLOR_WINDOWFRAME)) << x;
    }
    EXPECT_EQ(Pixel(frame, r.right / 2, r.bottom / 2), face) << "the dialog's face shows through";

    HWND ok = GetDlgItem(dialog, IDOK);
    GetClientRect(ok, &r);
    EXPECT_EQ(Pixel(ok, 0, r.bottom / 2), GetSysColor(COLOR_WINDOWFRAME)) << "the default button's ring";
    EXPECT_EQ(Pixel(ok, 2, 2), GetSysColor(COLOR_BTNHIGHLIGHT)) << "a raised edge";
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    EXPECT_NE(Pixel(cancel, 0, 0), GetSysColor(COLOR_WINDOWFRAME)) << "no ring round the others";
    EXPECT_EQ(Pixel(cancel, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    DestroyWindow(dialog);
}

// The text as the test expects it drawn: in the control's font, transparent, at the edit's inset.
std::vector<COLORREF> ReferenceText(HFONT font, const char16_t* text, int width, int height, COLORREF back) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, 0, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectFont(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    TextOutW(dc, 3, (height - metrics.tmHeight) / 2, text,
             static_cast<int>(std::char_traits<char16_t>::length(text)));
    std::vector<COLORREF> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(GetPixel(dc, x, y));
    DeleteDC(dc);
    DeleteObject(bitmap);
    return out;
}

TEST_F(Dialogs, APasswordEditShowsStarsForItsText) {
    constexpr Writer Password = [] {
        Writer t(DialogStyle | WS_VISIBLE, 0, {0, 0, 120, 40}, u"P", 8, u"Helv");
        t.Item(DialogClassEdit, WS_VISIBLE | ES_PASSWORD, {10, 10, 100, 14}, 1, u"abc");
        t.Item(DialogClassButton, Tab, {10, 26, 40, 12}, 2, u"X"); // takes the focus
        return t;
    }();
    HWND dialog = CreateDialogIndirectParamW(nullptr, Password.Data(), nullptr, TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    Paint();
    HWND edit = GetDlgItem(dialog, 1);
    RECT r{};
    GetClientRect(edit, &r);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0));
    const std::vector<COLORREF> stars =
        ReferenceText(font, u"***", r.right, r.bottom, GetSysColor(COLOR_WINDOW));
    const std::vector<COLORREF> plain =
        ReferenceText(font, u"abc", r.right, r.bottom, GetSysColor(COLOR_WINDOW));
    int sameAsStars = 0, sameAsPlain = 0, inside = 0;
    for (int y = 2; y < r.bottom - 2; ++y) {
        for (int x = 2; x < r.right - 2; ++x) {
            const COLORREF shown = Pixel(edit, x, y);
            const std::size_t at = static_cast<std::size_t>(y * r.right + x);
            sameAsStars += shown == stars[at];
            sameAsPlain += shown == plain[at];
            ++inside;
        }
    }
    EXPECT_EQ(sameAsStars, inside);
    EXPECT_LT(sameAsPlain, inside);
    DestroyWindow(dialog);
}

TEST(DialogFonts, HelvAndTahomaAreTheSansSerifFace) {
    auto draw = [](const char16_t* face) {
        LOGFONTW lf{};
        lf.lfHeight = -11;
        std::char_traits<char16_t>::copy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face));
        HFONT font = CreateFontIndirectW(&lf);
        std::vector<COLORREF> pixels = ReferenceText(font, u"Hallo Wg", 80, 20, RGB(255, 255, 255));
        DeleteFont(font);
        return pixels;
    };
    const std::vector<COLORREF> sans = draw(u"sans-serif");
    EXPECT_EQ(draw(u"Helv"), sans);
    EXPECT_EQ(draw(u"Tahoma"), sans);
    EXPECT_EQ(draw(u"MS Shell Dlg"), sans);
    EXPECT_NE(draw(u"serif"), sans);
}

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), Binaries, std::size(Binaries)};
