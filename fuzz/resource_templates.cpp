// Rebuilds arbitrary bytes as a translated string block, dialog template or menu template (the first byte
// chooses), with translations of every kind at hand. A copy that is built must itself be a template of its
// type: it is rebuilt once more, and a menu is built by the layer from it.
#include "seed_folder.h"
#include "translator/translated_templates.h"

#include "win32/dialog_template.h"
#include "win32/menu.h"
#include "win32/resource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace {

using namespace win32;

constexpr std::string_view Language = R"({"lang": 1036, "dlgfont": "DejaVu Serif", "dlgfontsize": 11,
    "general": {"Open": "Ouvrir", "Name": {"1": "Nom", "21": "Nom long"}, "Cancel": "Annuler", "&File": ""},
    "dialog_100": {"Settings": "R\u00e9glages tr\u00e8s longs"}, "menu_100": {"&File": "&Fichier", "E&xit": "Q"}})";

constexpr std::uint32_t Types[] = {RT_STRING, RT_DIALOG, RT_MENU};

const vtrrt::CModuleResources& Entry() {
    static const std::unique_ptr<vtrrt::CModuleResources> entry = [] {
        std::u16string error;
        auto made =
            std::make_unique<vtrrt::CModuleResources>(nullptr, vtrrt::ParseLanguageJson(Language, error));
        made->dialogFont = u"DejaVu Serif";
        made->dialogFontSize = 11;
        return made;
    }();
    return *entry;
}

std::vector<std::uint8_t> Seed(std::uint8_t type, const void* bytes, std::size_t size) {
    std::vector<std::uint8_t> seed{type};
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    seed.insert(seed.end(), first, first + size);
    return seed;
}

void WriteSeeds(const std::filesystem::path& folder) {
    using Writer = DialogTemplateWriter<256>;
    constexpr Writer dialog = [] {
        Writer t(WS_POPUP | WS_CAPTION, 0, {0, 0, 120, 60}, u"Settings", 8, u"Helv");
        t.Item(DialogClassStatic, WS_VISIBLE, {5, 5, 60, 10}, 3, u"Name");
        t.ItemWithResource(DialogClassStatic, WS_VISIBLE | SS_ICON, {5, 20, 20, 20}, 4, 100);
        t.Item(DialogClassButton, WS_VISIBLE, {5, 40, 50, 14}, IDCANCEL, u"Cancel");
        return t;
    }();
    // A standard template written out: a button "Go" in a dialog "T".
    constexpr char16_t standard[] = u"\0\x80C0"             // WS_POPUP | WS_CAPTION
                                    u"\0\0\x01\0\0\x64\x32" // no extended style, one item, 0, 0, 100 x 50
                                    u"\0\0T\0\0"            // no menu, the dialog class, "T", alignment
                                    u"\0\x5000\0\0"         // WS_CHILD | WS_VISIBLE, no extended style
                                    u"\x05\x05\x28\x0E\x01" // 5, 5, 40 x 14, id 1
                                    u"\xFFFF\x0080"         // the button class
                                    u"Go\0\0";              // "Go", no creation data
    constexpr char16_t menu[] = u"\0\0\x10&File\0\0\x0A&Open\0\0\0\0\x80\x0B"
                                u"E&xit\0\x80\x14&Help\0";
    constexpr char16_t block[] = u"\0\x04Open\0\0\0\0\0\0\0\0\0\0\0\0\0\x04Name";
    const std::vector<std::vector<std::uint8_t>> seeds = {
        Seed(1, dialog.Data(), dialog.Bytes()),
        Seed(1, standard, sizeof standard - sizeof(char16_t)),
        Seed(2, menu, sizeof menu - sizeof(char16_t)),
        Seed(0, block, sizeof block - sizeof(char16_t)),
    };
    int n = 0;
    for (const auto& seed : seeds)
        framerun::WriteFile(folder / ("seed" + std::to_string(n++)), seed);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) WriteSeeds(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint32_t type = Types[data[0] % std::size(Types)];
    // The bytes after the first lie in a buffer of their own, so that a read past them is caught.
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    const auto copy = vtrrt::TranslatedCopy(type, 100, Entry(), bytes);
    if (!copy) return 0;
    if (!vtrrt::TranslatedCopy(type, 100, Entry(), *copy)) __builtin_trap();
    if (type == RT_MENU) {
        if (HMENU menu = LoadMenuIndirectSizedW(copy->data(), copy->size())) DestroyMenu(menu);
    }
    return 0;
}
