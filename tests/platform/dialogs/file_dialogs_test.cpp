// The open and save dialogs driven by messages, as a user would drive them: choosing from the list and by
// name, entering folders, cancelling, the prompts for a file that would be replaced and for one that does
// not exist, switching the file type, and a caller's dialog and hook beside them.
#include "win32/comdlg.h"
#include "win32/dialog_template.h"
#include "win32/kernel.h"
#include "win32/window_testing.h"

#include "support/dialog_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace win32;

namespace {

using Driver = test_support::DialogDriver;
using test_support::ListBoxItems;
using test_support::WindowText;
using Strings = std::vector<std::u16string>;

// Positions, text files, everything; the first type shows "*.vpp".
constexpr char16_t Filter[] = u"Positions (*.vpp)\0*.vpp\0Text files\0*.txt;*.text\0All files\0*.*\0";

// An item of a list chosen as a click would: selected, and the dialog told.
void Select(HWND dialog, int id, const std::u16string& item, WORD code = LBN_SELCHANGE) {
    HWND list = GetDlgItem(dialog, id);
    const LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(item.c_str()));
    ASSERT_NE(at, LB_ERR) << "no item " << ToUtf8(item);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(list));
}

Driver::Step Pick(int id, std::u16string item, WORD code = LBN_SELCHANGE) {
    return [=](HWND dialog) { Select(dialog, id, item, code); };
}
Driver::Step Name(std::u16string name) {
    return [=](HWND dialog) { SetDlgItemTextW(dialog, edt1, name.c_str()); };
}
Driver::Step Expect(std::function<void(HWND)> check) {
    return [=](HWND dialog) { check(dialog); };
}

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        win32::testing::ResetInputState();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ =
            std::filesystem::temp_directory_path() / ("vtr_fd_" + std::to_string(getpid()) + "_" + name);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "saves");
        for (const char* f : {"alpha.vpp", "beta.VPP", "notes.txt", ".hidden.vpp", "saves/old.vpp"})
            std::ofstream(folder_ / f) << "x";
        wideFolder_ = FromUtf8(folder_.string());
        ofn_.lStructSize = sizeof ofn_;
        ofn_.lpstrFilter = Filter;
        ofn_.nFilterIndex = 1;
        ofn_.lpstrFile = file_;
        ofn_.nMaxFile = MAX_PATH;
        ofn_.lpstrFileTitle = title_;
        ofn_.nMaxFileTitle = MAX_PATH;
        ofn_.lpstrInitialDir = wideFolder_.c_str();
        ofn_.lpstrDefExt = u"vpp";
    }
    void TearDown() override {
        std::filesystem::remove_all(folder_);
        win32::testing::ResetInputState();
    }
    std::u16string In(const char16_t* name) const { return wideFolder_ + u"/" + name; }
    std::u16string Chosen() const { return file_; }

    std::filesystem::path folder_;
    std::u16string wideFolder_;
    WCHAR file_[MAX_PATH] = {};
    WCHAR title_[MAX_PATH] = {};
    OPENFILENAMEW ofn_{};
};

constexpr DWORD OpenFlags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
constexpr DWORD SaveFlags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;

// The prompt shown over the file dialog: its text.
std::u16string PromptText(HWND prompt) {
    return WindowText(GetWindow(prompt, GW_CHILD));
}

} // namespace

TEST_F(FileDialogs, AFileChosenFromTheListOfAFolderEnteredGivesItsPathNameAndExtension) {
    ofn_.Flags = OpenFlags;
    Driver driver;
    driver
        .Then(Expect([&](HWND d) {
            EXPECT_EQ(WindowText(d), u"Open");
            EXPECT_EQ(WindowText(GetDlgItem(d, stc1)), wideFolder_);
            EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"[saves]", u"alpha.vpp", u"beta.VPP"}));
            EXPECT_EQ(ListBoxItems(d, lst2), (Strings{u"Positions (*.vpp)", u"Text files", u"All files"}));
        }))
        .Then(Pick(lst1, u"[saves]", LBN_DBLCLK))
        .Then(Expect([&](HWND d) {
            EXPECT_EQ(WindowText(GetDlgItem(d, stc1)), In(u"saves"));
            EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"old.vpp"}));
        }))
        .Then(Pick(lst1, u"old.vpp"))
        .Then(Expect([&](HWND d) { EXPECT_EQ(WindowText(GetDlgItem(d, edt1)), u"old.vpp"); }))
        .Then(Driver::Press(IDOK));
    ASSERT_TRUE(GetOpenFileNameW(&ofn_));
    const std::u16string path = In(u"saves/old.vpp");
    EXPECT_EQ(Chosen(), path);
    EXPECT_EQ(ofn_.nFileOffset, path.size() - 7);
    EXPECT_EQ(ofn_.nFileExtension, path.size() - 3);
    EXPECT_EQ(std::u16string(title_), u"old.vpp");
    EXPECT_EQ(ofn_.nFilterIndex, 1u);
}

TEST_F(FileDialogs, CancelLeavesTheRecordAsItWas) {
    ofn_.Flags = OpenFlags;
    std::copy_n(u"alpha.vpp", 10, file_);
    Driver driver;
    driver.Then(Expect([](HWND d) { EXPECT_EQ(WindowText(GetDlgItem(d, edt1)), u"alpha.vpp"); }))
        .Then(Name(u"beta.VPP"))
        .Then(Driver::Key(VK_ESCAPE));
    EXPECT_FALSE(GetOpenFileNameW(&ofn_));
    EXPECT_EQ(Chosen(), u"alpha.vpp");
    EXPECT_EQ(driver.Shown().size(), 1u);
}

// A name without extension gets the default one; replacing a file asks first, and No keeps the dialog.
TEST_F(FileDialogs, SavingOverAFileAsksBeforeReplacingIt) {
    ofn_.Flags = SaveFlags;
    Driver driver;
    driver.Then(Expect([](HWND d) { EXPECT_EQ(WindowText(d), u"Save As"); }))
        .Then(Name(u"alpha"))
        .Then(Driver::Press(IDOK))
        .Then(Expect([](HWND prompt) {
            EXPECT_EQ(PromptText(prompt), u"alpha.vpp already exists.\nDo you want to replace it?");
        }))
        .Then(Driver::Press(IDNO))
        .Then(Expect([](HWND d) { EXPECT_EQ(WindowText(d), u"Save As") << "the dialog stays"; }))
        .Then(Driver::Press(IDOK))
        .Then(Driver::Press(IDYES));
    ASSERT_TRUE(GetSaveFileNameW(&ofn_));
    EXPECT_EQ(Chosen(), In(u"alpha.vpp"));
    EXPECT_EQ(driver.Shown().size(), 3u) << "the dialog and two prompts";

    Driver again;
    again.Then(Name(u"gamma")).Then(Driver::Key(VK_RETURN));
    ASSERT_TRUE(GetSaveFileNameW(&ofn_));
    EXPECT_EQ(Chosen(), In(u"gamma.vpp"));
    EXPECT_EQ(again.Shown().size(), 1u) << "a new file is not asked about";
}

TEST_F(FileDialogs, AnOpenDialogRefusesAFileOrFolderThatDoesNotExist) {
    ofn_.Flags = OpenFlags;
    Driver driver;
    driver.Then(Name(u"missing.vpp"))
        .Then(Driver::Press(IDOK))
        .Then(Expect([](HWND prompt) {
            EXPECT_EQ(PromptText(prompt),
                      u"missing.vpp\nFile not found.\nCheck the file name and try again.");
        }))
        .Then(Driver::Press(IDOK))
        .Then(Name(u"nowhere/beta.VPP"))
        .Then(Driver::Press(IDOK))
        .Then(Expect([&](HWND prompt) {
            EXPECT_EQ(PromptText(prompt),
                      In(u"nowhere/beta.VPP") + u"\nPath does not exist.\nCheck the path and try again.");
        }))
        .Then(Driver::Key(VK_RETURN))
        .Then(Name(u"saves/../beta.VPP"))
        .Then(Driver::Press(IDOK));
    ASSERT_TRUE(GetOpenFileNameW(&ofn_));
    EXPECT_EQ(Chosen(), In(u"beta.VPP"));
    EXPECT_EQ(driver.Shown().size(), 3u);
}

// Another type shows other files; a pattern typed as the name shows its files until the type changes.
TEST_F(FileDialogs, TheFileTypeChoosesTheFilesShown) {
    ofn_.Flags = OpenFlags;
    ofn_.nFilterIndex = 2;
    std::ofstream(folder_ / "draft.text") << "x";
    Driver driver;
    driver
        .Then(Expect([](HWND d) {
            EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"[saves]", u"draft.text", u"notes.txt"}));
            EXPECT_EQ(SendDlgItemMessageW(d, lst2, LB_GETCURSEL, 0, 0), 1);
        }))
        .Then(Pick(lst2, u"All files"))
        .Then(Expect([](HWND d) {
            EXPECT_EQ(ListBoxItems(d, lst1),
                      (Strings{u"[..]", u"[saves]", u"alpha.vpp", u"beta.VPP", u"draft.text", u"notes.txt"}));
        }))
        .Then(Name(u"a*"))
        .Then(Driver::Press(IDOK))
        .Then(Expect([](HWND d) {
            EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"[saves]", u"alpha.vpp"}));
        }))
        .Then(Pick(lst2, u"Positions (*.vpp)"))
        .Then(Expect([](HWND d) {
            EXPECT_EQ(ListBoxItems(d, lst1), (Strings{u"[..]", u"[saves]", u"alpha.vpp", u"beta.VPP"}));
        }))
        .Then(Pick(lst1, u"beta.VPP", LBN_DBLCLK));
    ASSERT_TRUE(GetOpenFileNameW(&ofn_));
    EXPECT_EQ(Chosen(), In(u"beta.VPP"));
    EXPECT_EQ(ofn_.nFilterIndex, 1u);
}

namespace {

constexpr int PanelId = 104;

// The caller's dialog: a panel beside the file dialog's controls.
constexpr DialogTemplateWriter<256> Panel = [] {
    DialogTemplateWriter<256> t(WS_CHILD | WS_VISIBLE, 0, {0, 0, 80, 100}, u"", 8, u"Tahoma");
    t.Item(DialogClassStatic, WS_VISIBLE | SS_LEFT, {4, 4, 72, 10}, PanelId, u"Information");
    return t;
}();

struct HookLog {
    std::vector<UINT> notices;
    std::vector<std::u16string> selected;
    LPARAM custData = 0;
    int refusals = 1;
    HWND panel = nullptr;
};
HookLog* hookLog = nullptr;

std::u16string Ask(HWND child, UINT message) {
    HWND dialog = GetParent(child);
    const auto needed = SendMessageW(dialog, message, 0, 0);
    std::u16string text(static_cast<std::size_t>(needed > 0 ? needed : 1), u'\0');
    SendMessageW(dialog, message, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
}

UINT_PTR PanelHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        hookLog->custData = reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData;
        hookLog->panel = child;
        return TRUE;
    }
    if (message != WM_NOTIFY) return FALSE;
    const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
    hookLog->notices.push_back(notice->hdr.code);
    switch (notice->hdr.code) {
    case CDN_SELCHANGE:
        hookLog->selected.push_back(Ask(child, CDM_GETFILEPATH));
        break;
    case CDN_TYPECHANGE:
        if (notice->lpOFN->nFilterIndex == 2)
            SendMessageW(GetParent(child), CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(u"txt"));
        break;
    case CDN_FILEOK:
        SetWindowLongPtrW(child, DWLP_MSGRESULT, hookLog->refusals > 0 ? 1 : 0);
        return hookLog->refusals-- > 0 ? TRUE : FALSE;
    default:
        break;
    }
    return FALSE;
}

} // namespace

// The hook sees the selection's path, changes the default extension with the type, and refuses the first
// OK; the caller's panel lies right of the file dialog's own controls.
TEST_F(FileDialogs, ACallersDialogAndHookSeeTheDialogsEvents) {
    HookLog log;
    hookLog = &log;
    ofn_.Flags = SaveFlags | OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE | OFN_ENABLESIZING;
    ofn_.hInstance = reinterpret_cast<HINSTANCE>(const_cast<WORD*>(Panel.Data()));
    ofn_.lpfnHook = PanelHook;
    ofn_.lCustData = 77;
    Driver driver;
    driver
        .Then(Expect([&](HWND d) {
            ASSERT_TRUE(log.panel);
            EXPECT_EQ(GetParent(log.panel), d);
            EXPECT_EQ(WindowText(GetDlgItem(log.panel, PanelId)), u"Information");
            RECT panel{}, list{};
            GetWindowRect(log.panel, &panel);
            GetWindowRect(GetDlgItem(d, lst1), &list);
            EXPECT_GE(panel.left, list.right);
        }))
        .Then(Pick(lst1, u"alpha.vpp"))
        .Then(Pick(lst2, u"Text files"))
        .Then(Name(u"memo"))
        .Then(Driver::Press(IDOK))
        .Then(Expect([](HWND d) { EXPECT_EQ(WindowText(d), u"Save As") << "the hook kept the dialog open"; }))
        .Then(Driver::Press(IDOK));
    ASSERT_TRUE(GetSaveFileNameW(&ofn_));
    hookLog = nullptr;
    EXPECT_EQ(log.custData, 77);
    EXPECT_EQ(log.selected, Strings{In(u"alpha.vpp")});
    EXPECT_EQ(log.notices,
              (std::vector<UINT>{CDN_INITDONE, CDN_SELCHANGE, CDN_TYPECHANGE, CDN_FILEOK, CDN_FILEOK}));
    EXPECT_EQ(Chosen(), In(u"memo.txt"));
    EXPECT_EQ(ofn_.nFilterIndex, 2u);
}

// Where this binary was started, read as it loads, like the layer does.
const std::u16string startedIn = FromUtf8(std::filesystem::current_path().string());

// A dialog given no folder opens where the program was started, although the program has made another
// folder current since; the next one opens where the last file was chosen.
TEST_F(FileDialogs, WithoutAFolderTheFirstOpensWhereTheProgramStartedAndTheNextWhereTheLastFileWas) {
    ASSERT_NE(startedIn, wideFolder_);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    ofn_.lpstrInitialDir = nullptr;
    ofn_.Flags = OpenFlags;
    std::u16string firstShown, nextShown;
    {
        Driver driver;
        driver.Then(Expect([&](HWND d) { firstShown = WindowText(GetDlgItem(d, stc1)); }))
            .Then(Name(In(u"saves/old.vpp")))
            .Then(Driver::Press(IDOK));
        EXPECT_TRUE(GetOpenFileNameW(&ofn_));
    }
    file_[0] = 0;
    {
        Driver driver;
        driver.Then(Expect([&](HWND d) { nextShown = WindowText(GetDlgItem(d, stc1)); }))
            .Then(Driver::Press(IDCANCEL));
        EXPECT_FALSE(GetOpenFileNameW(&ofn_));
    }
    std::filesystem::current_path(before);
    EXPECT_EQ(firstShown, startedIn);
    EXPECT_EQ(nextShown, In(u"saves"));
}

TEST(FileDialogRecord, ARecordWithoutAFileBufferOrOfAnotherSizeShowsNothing) {
    Driver driver;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    WCHAR file[8] = {};
    ofn.lpstrFile = file;
    ofn.nMaxFile = 8;
    ofn.lStructSize = 76;
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_FALSE(GetOpenFileNameW(nullptr));
    EXPECT_TRUE(driver.Shown().empty());
}
