// The demo's French language files over the program's and the library's own resources: the runtime's
// dialogs, messages and key names, and the library's panel of the image file selector.
#include "module_fixture.h"

#include "core/error_message.h"
#include "core/key_names.h"
#include "shell/runtime_dialogs.h"

#include "vtrs2/image_filters.h"
#include "vtrs2/image_selector.h"
#include "win32/comdlg.h"
#include "win32/user.h"

namespace {

using namespace translatortest;
using namespace win32;

const fs::path French = fs::path(DEMO_LANGUAGES) / "fr";

class FrenchDemo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(translator_.Load(program_, (French / "vtrrtd.txt").u16string()), 1);
        ASSERT_NE(library_, nullptr);
        ASSERT_EQ(translator_.Load(library_, (French / "vtrs2.txt").u16string()), 1);
        EXPECT_EQ(translator_.Get().GetLanguage(), 1036);
    }

    const HMODULE program_ = GetModuleHandleW(nullptr);
    const HMODULE library_ = GetModuleHandleW(u"vtrs2.dll");
    LocalTranslator translator_;
};

TEST_F(FrenchDemo, TheRuntimesMessagesAndKeyNamesAreFrench) {
    EXPECT_EQ(vtrrt::ErrorMessageText(23, nullptr), u"Impossible d'initialiser l'application.");
    WCHAR name[vtrrt::KeyNameUnits]{};
    vtrrt::GetKeyName(name, VK_SPACE);
    EXPECT_EQ(std::u16string(name), u"Barre d'espace");
    translator_.Release(program_);
    EXPECT_EQ(vtrrt::ErrorMessageText(23, nullptr), u"Cannot initialize Application.") << "released";
}

TEST_F(FrenchDemo, TheRuntimesDialogsAreFrench) {
    const SeenDialog paused = ShowModal([] { return vtrrt::ShowPausedDialog(nullptr); }, {IDOK});
    EXPECT_EQ(paused.title, u"Application en pause");
    EXPECT_EQ(paused.items, std::vector<std::u16string>{u"Continuer"});

    std::uint16_t keys[8] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_SPACE, VK_RETURN, 'A', 'B'};
    const SeenDialog setup = ShowModal([&] { return vtrrt::ShowKeyboardSetupDialog(nullptr, keys); },
                                       {101, 104, 110, 114, IDCANCEL});
    EXPECT_EQ(setup.title, u"Configuration du clavier");
    EXPECT_EQ(setup.items, (std::vector<std::u16string>{u"Haut", u"Droite", u"Fl\u00E8che haut",
                                                        u"Barre d'espace", u"Annuler"}));

    const SeenDialog about = ShowModal(
        [&] {
            return DialogBoxParamW(program_, MAKEINTRESOURCEW(vtrrt::DialogAbout), nullptr, QuietDialogProc,
                                   0);
        },
        {});
    EXPECT_EQ(about.title, u"\u00C0 propos");

    // Without the program's file its dialogs are as they were built.
    translator_.Release(program_);
    EXPECT_EQ(ShowModal([] { return vtrrt::ShowPausedDialog(nullptr); }, {}).title, u"Application paused");
}

TEST_F(FrenchDemo, TheLibrarysPanelBesideTheFileDialogIsFrench) {
    CImageFilterMgr filters;
    WCHAR file[MAX_PATH]{};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    std::u16string frames, information;
    test_support::DialogDriver driver;
    driver.Then([&](HWND dialog) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!GetDlgItem(child, ImageSelectorPreviewId)) continue;
            frames = test_support::WindowText(GetDlgItem(child, ImageSelectorFramesLabelId));
            information = test_support::WindowText(GetWindow(child, GW_CHILD));
        }
        EndDialog(dialog, IDCANCEL);
    });
    DWORD id = 0;
    SelectImageFileW(&ofn, 1, &filters, &id, SelectStillImages);
    EXPECT_EQ(frames, u"Nb d'images :");
    EXPECT_EQ(information, u"Informations");
}

} // namespace
