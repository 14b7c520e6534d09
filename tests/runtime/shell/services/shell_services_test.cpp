#include "core/error_message.h"
#include "startup/shell_services.h"

#include "support/window_class.h"
#include "win32/font.h"
#include "win32/kernel.h"
#include "win32/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace win32;

namespace {

// Every window of the test class records the messages it gets, and answers WM_GETFONT with `Font`.
std::vector<std::pair<HWND, UINT>>& Seen() {
    static std::vector<std::pair<HWND, UINT>> seen;
    return seen;
}
HFONT& DialogOwnFont() {
    static HFONT font = nullptr;
    return font;
}
std::vector<HFONT>& FontsSet() {
    static std::vector<HFONT> fonts;
    return fonts;
}

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) Seen().emplace_back(window, message);
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(DialogOwnFont());
    if (message == WM_SETFONT) FontsSet().push_back(reinterpret_cast<HFONT>(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

class ShellServices : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::RegisterWindowClass(u"ShellServicesTest", RecordingProc);
        Seen().clear();
        FontsSet().clear();
        DialogOwnFont() = nullptr;
    }
    void TearDown() override {
        for (HWND w : made_)
            if (IsWindow(w)) DestroyWindow(w);
        vtrrt::FreeShellResources();
        win32::testing::SetDocumentOpener(nullptr);
    }
    HWND Make(HWND parent) {
        HWND w = CreateWindowExW(0, u"ShellServicesTest", u"", parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0,
                                 50, 50, parent, nullptr, nullptr, nullptr);
        made_.push_back(w);
        return w;
    }
    std::vector<HWND> made_;
};

} // namespace

TEST_F(ShellServices, MessagesReachEveryDescendantDepthFirst) {
    HWND top = Make(nullptr);
    HWND first = Make(top);
    HWND second = Make(top);
    HWND grandchild = Make(GetWindow(top, GW_CHILD));
    const HWND front = GetWindow(top, GW_CHILD);
    const HWND back = front == first ? second : first;
    vtrrt::SendMessageToDescendants(top, WM_USER + 1, 0, 0);
    const std::vector<std::pair<HWND, UINT>> expected{
        {front, WM_USER + 1}, {grandchild, WM_USER + 1}, {back, WM_USER + 1}};
    EXPECT_EQ(Seen(), expected);
}

TEST_F(ShellServices, ChildControlsGetOneNormalWeightCopyOfTheDialogsFont) {
    LOGFONTW bold{};
    bold.lfHeight = -15;
    bold.lfWeight = 700;
    std::char_traits<char16_t>::copy(bold.lfFaceName, u"DejaVu Sans", 11);
    DialogOwnFont() = CreateFontIndirectW(&bold);
    HWND dialog = Make(nullptr);
    Make(dialog);
    Make(dialog);
    vtrrt::SetChildWindowsFont(dialog);
    vtrrt::SetChildWindowsFont(dialog);
    ASSERT_EQ(FontsSet().size(), 4u);
    for (HFONT f : FontsSet())
        EXPECT_EQ(f, FontsSet()[0]); // made once
    LOGFONTW copy{};
    ASSERT_TRUE(GetFontObjectW(FontsSet()[0], sizeof copy, &copy));
    EXPECT_EQ(copy.lfWeight, 400);
    EXPECT_EQ(copy.lfHeight, -15);
    EXPECT_EQ(std::u16string(copy.lfFaceName), u"DejaVu Sans");
    vtrrt::FreeShellResources();
    EXPECT_FALSE(IsFont(FontsSet()[0]));
    DeleteFont(DialogOwnFont());
}

TEST_F(ShellServices, TempFileNameIsANewEmptyFileInTheTempFolder) {
    std::u16string name;
    ASSERT_NE(vtrrt::MakeTempFileName(u"vtt", name), 0u);
    const std::filesystem::path path(ToUtf8(name));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(path.filename().string().rfind("vtt", 0), 0u);
    std::filesystem::remove(path);
}

TEST_F(ShellServices, ADocumentStillOpenIsNotLaunchedAgain) {
    // The opener stands for the desktop's: `sleep 3` is a document that stays open a while.
    win32::testing::SetDocumentOpener("sleep");
    EXPECT_TRUE(vtrrt::LaunchDocument(u"3"));
    win32::testing::SetDocumentOpener("/nonexistent/opener");
    EXPECT_TRUE(vtrrt::LaunchDocument(u"other")); // still open: nothing launched, no failure
    vtrrt::FreeShellResources();
    EXPECT_FALSE(vtrrt::LaunchDocument(u"other")); // the opener is missing
    EXPECT_FALSE(vtrrt::LaunchDocument(nullptr));
}

TEST_F(ShellServices, AnEndedDocumentLetsTheNextOneLaunch) {
    win32::testing::SetDocumentOpener("true");
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = u"doc.txt";
    ASSERT_TRUE(ShellExecuteExW(&info));
    DWORD code = STILL_ACTIVE;
    for (int i = 0; i < 500 && code == STILL_ACTIVE; ++i) {
        ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        if (code == STILL_ACTIVE) Sleep(10);
    }
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    info.lpVerb = u"print";
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_TRUE(vtrrt::LaunchDocument(u"doc.txt"));
}

TEST(ShellMessages, CannotFindAndCannotLoadNameTheFileWithoutReadingItAsAFormat) {
    ::testing::internal::CaptureStderr();
    vtrrt::ShowCannotFindMessage(u"Thing %d.vxe");
    vtrrt::ShowCannotLoadMessage(u"Other.vxe");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("vtrrt: Cannot find Thing %d.vxe!\n"), std::string::npos) << err;
    EXPECT_NE(err.find("vtrrt: Cannot load Other.vxe. This object might need an external program or library "
                       "not yet installed.\n"),
              std::string::npos)
        << err;
}

TEST(ShellAtoms, AreAddedAtStartAndGoneAfterShutdown) {
    vtrrt::AddShellAtoms();
    for (const char16_t* name : {u"krdp", u"kprc", u"kspc", u"knum"})
        EXPECT_NE(GlobalFindAtomW(name), 0) << ToUtf8(name);
    vtrrt::DeleteShellAtoms();
    for (const char16_t* name : {u"krdp", u"kprc", u"kspc", u"knum"})
        EXPECT_EQ(GlobalFindAtomW(name), 0) << ToUtf8(name);
}
