// The test modules the hooks are tried on, their language file, and dialogs shown and read the way a user
// would see them.
#pragma once

#include "translator_fixture.h"

#include "support/dialog_driver.h"
#include "win32/dialog.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/menu.h"

#include <functional>
#include <string>
#include <vector>

namespace translatortest {

inline const fs::path TestModules = TRANSLATOR_TEST_MODULES;

// A test module loaded for the life of the object.
class TestModule {
public:
    explicit TestModule(const std::string& file) {
        module_ = win32::LoadLibraryW((TestModules / file).u16string().c_str());
        EXPECT_NE(module_, nullptr) << file;
    }
    ~TestModule() {
        if (module_) win32::FreeLibrary(module_);
    }
    TestModule(const TestModule&) = delete;
    TestModule& operator=(const TestModule&) = delete;

    win32::HMODULE Handle() const { return module_; }
    template <typename F> F Function(const char* name) const {
        auto function = reinterpret_cast<F>(win32::GetProcAddress(module_, name));
        EXPECT_NE(function, nullptr) << name;
        return function;
    }

private:
    win32::HMODULE module_ = nullptr;
};

// The modules' texts in French; "Long" becomes longer than the buffers the tests give.
inline constexpr const char* ModuleLanguageFile = R"({
    "lang": 1036,
    "dlgfont": "DejaVu Serif",
    "dlgfontsize": 10,
    "general": {
        "Open": "Ouvrir", "Close": "Fermer", "Hello": "Bonjour", "Long": "Un texte bien plus long",
        "Café": "Thé", "Cancel": "Annuler"
    },
    "dialog_100": {"Settings": "Réglages", "Name": "Nom"},
    "menu_200": {"&File": "&Fichier", "&Open": "&Ouvrir", "E&xit": "&Quitter", "&Help": "&Aide"}
})";

using LoadStringWProc = int (*)(win32::HMODULE, win32::UINT, win32::LPWSTR, int);

inline std::u16string StringOf(LoadStringWProc load, win32::HMODULE module, win32::UINT id) {
    win32::WCHAR text[64]{};
    const int length = load(module, id, text, 64);
    return std::u16string(text, static_cast<std::size_t>(std::max(length, 0)));
}

// The text of a menu's item, by position.
inline std::u16string MenuText(win32::HMENU menu, win32::UINT position) {
    win32::WCHAR text[32]{};
    win32::GetMenuStringW(menu, position, text, 32, win32::MF_BYPOSITION);
    return text;
}

inline win32::INT_PTR QuietDialogProc(win32::HWND, win32::UINT message, win32::WPARAM, win32::LPARAM) {
    return message == win32::WM_INITDIALOG ? 1 : 0;
}

// What a dialog showed: its title, the texts of the controls asked for, and its font's face.
struct SeenDialog {
    std::u16string title;
    std::vector<std::u16string> items;
    std::u16string face;
};

inline SeenDialog Read(win32::HWND dialog, const std::vector<int>& ids) {
    SeenDialog seen;
    seen.title = test_support::WindowText(dialog);
    for (int id : ids)
        seen.items.push_back(test_support::WindowText(win32::GetDlgItem(dialog, id)));
    win32::LOGFONTW font{};
    auto handle = reinterpret_cast<win32::HFONT>(win32::SendMessageW(dialog, win32::WM_GETFONT, 0, 0));
    if (handle && win32::GetObjectW(handle, sizeof font, &font)) seen.face = font.lfFaceName;
    return seen;
}

// Opens a modal dialog with `open` and reads it as it shows.
inline SeenDialog ShowModal(const std::function<win32::INT_PTR()>& open, const std::vector<int>& ids) {
    SeenDialog seen;
    test_support::DialogDriver driver;
    driver.Then([&](win32::HWND dialog) {
        seen = Read(dialog, ids);
        win32::EndDialog(dialog, win32::IDOK);
    });
    EXPECT_EQ(open(), win32::IDOK);
    return seen;
}

} // namespace translatortest
