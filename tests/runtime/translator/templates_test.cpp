// Translated copies of templates written by hand: string blocks, standard and extended dialogs, menus, shown
// through the layer's own LoadMenuIndirectW and DialogBoxIndirectParamW; templates that run past their size
// or that the walk does not know stay untranslated.
#include "module_fixture.h"

#include "translator/translated_templates.h"

#include "vtrformat/bytes.h"
#include "win32/menu.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace translatortest;
using namespace win32;
using vtrrt::TranslatedCopy;

// Little-endian words of a template, as a resource compiler lays them out.
class Template {
public:
    Template& U16(std::uint16_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    Template& U32(std::uint32_t v) {
        return U16(static_cast<std::uint16_t>(v)).U16(static_cast<std::uint16_t>(v >> 16));
    }
    Template& Text(std::u16string_view text) {
        for (char16_t c : text)
            U16(c);
        return U16(0);
    }
    Template& Box(std::uint16_t x, std::uint16_t y, std::uint16_t cx, std::uint16_t cy) {
        return U16(x).U16(y).U16(cx).U16(cy);
    }
    Template& Align() {
        while (bytes_.size() % 4)
            bytes_.push_back(0);
        return *this;
    }
    Template& Raw(std::initializer_list<std::uint8_t> raw) {
        bytes_.insert(bytes_.end(), raw);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr WORD NameLabel = 3;
constexpr WORD IconControl = 4;

// A standard template without DS_SETFONT: a label and a Cancel button.
std::vector<std::uint8_t> StandardDialog() {
    Template t;
    t.U32(WS_POPUP | WS_CAPTION).U32(0).U16(2).Box(0, 0, 120, 60).U16(0).U16(0).Text(u"Settings");
    t.Align().U32(Child | SS_LEFT).U32(0).Box(5, 5, 60, 10).U16(NameLabel);
    t.U16(0xFFFF).U16(DialogClassStatic).Text(u"Name").U16(0);
    t.Align().U32(Child | BS_PUSHBUTTON).U32(0).Box(5, 30, 50, 14).U16(IDCANCEL);
    t.U16(0xFFFF).U16(DialogClassButton).Text(u"Cancel").U16(0);
    return t.Bytes();
}

// An extended template with a bold italic Central European font: an icon given by number, a label with two
// bytes of creation data, and a Cancel button.
constexpr std::uint8_t CentralEuropean = 238;
std::vector<std::uint8_t> ExtendedDialog() {
    Template t;
    t.U16(1).U16(0xFFFF).U32(0).U32(0).U32(WS_POPUP | WS_CAPTION | DS_SETFONT).U16(3).Box(0, 0, 120, 60);
    t.U16(0).U16(0).Text(u"Settings").U16(8).U16(700).Raw({1, CentralEuropean}).Text(u"Helv");
    t.Align().U32(0).U32(0).U32(Child | SS_ICON).Box(5, 5, 20, 20).U32(IconControl);
    t.U16(0xFFFF).U16(DialogClassStatic);
    t.U16(0xFFFF).U16(100).U16(0);
    t.Align().U32(0).U32(0).U32(Child | SS_LEFT).Box(30, 5, 60, 10).U32(NameLabel);
    t.U16(0xFFFF).U16(DialogClassStatic).Text(u"Name").U16(2).Raw({0xAB, 0xCD});
    t.Align().U32(0).U32(0).U32(Child | BS_PUSHBUTTON).Box(5, 30, 50, 14).U32(IDCANCEL).U16(0xFFFF);
    t.U16(DialogClassButton).Text(u"Cancel").U16(0);
    return t.Bytes();
}

// Menu 200: "&File" (Open, a separator, Exit) and "&Help".
std::vector<std::uint8_t> Menu() {
    Template t;
    t.U16(0).U16(0);
    t.U16(MF_POPUP).Text(u"&File");
    t.U16(0).U16(10).Text(u"&Open");
    t.U16(0).U16(0).Text(u"");
    t.U16(MF_END).U16(11).Text(u"E&xit");
    t.U16(MF_END).U16(20).Text(u"&Help");
    return t.Bytes();
}

class Templates : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(translator_.Load(FakeModule(1), file_.Path(), 1), 1); }
    const vtrrt::CModuleResources& Entry() { return *translator_.Impl().EntryOf(FakeModule(1)); }
    std::vector<std::uint8_t> Copy(std::uint32_t type, std::uint32_t id,
                                   const std::vector<std::uint8_t>& data) {
        auto copy = TranslatedCopy(type, id, Entry(), data);
        EXPECT_TRUE(copy) << "type " << type;
        return copy.value_or(std::vector<std::uint8_t>());
    }

    const TempFile file_{"templates.txt", ModuleLanguageFile};
    LocalTranslator translator_;
};

TEST_F(Templates, AStringBlockKeepsItsEmptyEntries) {
    // Block 2 holds strings 16 to 31; "Hello" is string 21, the fifteen others are empty.
    Template block;
    for (int n = 0; n < 16; ++n)
        n == 5 ? block.U16(5).Raw({'H', 0, 'e', 0, 'l', 0, 'l', 0, 'o', 0}) : block.U16(0);
    const std::vector<std::uint8_t> copy = Copy(RT_STRING, 2, block.Bytes());
    ASSERT_EQ(copy.size(), 2u * 16 + 2 * 7) << "sixteen counts and \"Bonjour\"";
    for (std::size_t n = 0, at = 0; n < 16; ++n) {
        const std::uint16_t count = vtrformat::GetU16(copy.data() + at);
        EXPECT_EQ(count, n == 5 ? 7 : 0) << n;
        if (n == 5) {
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(copy.data() + at + 2), 7), u"Bonjour");
        }
        at += 2 + 2u * count;
    }
}

TEST_F(Templates, AStandardDialogWithoutFontGetsItsTextsButNoFont) {
    const std::vector<std::uint8_t> original = StandardDialog();
    const std::vector<std::uint8_t> copy = Copy(RT_DIALOG, 100, original);
    // Never a font, although the module has one.
    const SeenDialog seen =
        ShowModal([&] { return DialogBoxIndirectParamW(nullptr, copy.data(), nullptr, QuietDialogProc, 0); },
                  {NameLabel, IDCANCEL});
    EXPECT_EQ(seen.title, u"R\u00E9glages");
    EXPECT_EQ(seen.items, (std::vector<std::u16string>{u"Nom", u"Annuler"}));
    const SeenDialog untranslated = ShowModal(
        [&] { return DialogBoxIndirectParamW(nullptr, original.data(), nullptr, QuietDialogProc, 0); }, {});
    EXPECT_EQ(seen.face, untranslated.face) << "the system font of a template without one";
}

TEST_F(Templates, AnExtendedDialogKeepsItsFontsWeightAndAnIconGivenByNumber) {
    const std::vector<std::uint8_t> copy = Copy(RT_DIALOG, 100, ExtendedDialog());
    HWND dialog = CreateDialogIndirectParamW(nullptr, copy.data(), nullptr, QuietDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    const SeenDialog seen = Read(dialog, {NameLabel, IDCANCEL});
    EXPECT_EQ(seen.title, u"R\u00E9glages");
    EXPECT_EQ(seen.items, (std::vector<std::u16string>{u"Nom", u"Annuler"}))
        << "after the icon, still translated";
    LOGFONTW font{};
    ASSERT_TRUE(
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font));
    EXPECT_EQ(std::u16string(font.lfFaceName), u"DejaVu Serif");
    EXPECT_EQ(font.lfHeight, -(10 * 96 + 36) / 72) << "the module's point size";
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(font.lfCharSet, CentralEuropean);
    DestroyWindow(dialog);
    // The icon's number and the label's creation data are copied as they were.
    const std::vector<std::uint8_t> icon = {0xFF, 0xFF, 100, 0, 0, 0};
    EXPECT_NE(std::search(copy.begin(), copy.end(), icon.begin(), icon.end()), copy.end());
    const std::vector<std::uint8_t> creation = {2, 0, 0xAB, 0xCD};
    EXPECT_NE(std::search(copy.begin(), copy.end(), creation.begin(), creation.end()), copy.end());
}

TEST_F(Templates, AMenuKeepsItsSeparatorAndItsStructure) {
    const std::vector<std::uint8_t> copy = Copy(RT_MENU, 200, Menu());
    HMENU menu = LoadMenuIndirectW(copy.data());
    ASSERT_NE(menu, nullptr);
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ((std::vector<std::u16string>{MenuText(menu, 0), MenuText(menu, 1), MenuText(file, 0),
                                           MenuText(file, 1), MenuText(file, 2)}),
              (std::vector<std::u16string>{u"&Fichier", u"&Aide", u"&Ouvrir", u"", u"&Quitter"}));
    EXPECT_EQ((std::vector<UINT>{GetMenuItemID(menu, 1), GetMenuItemID(file, 0), GetMenuItemID(file, 2)}),
              (std::vector<UINT>{20, 10, 11}));
    EXPECT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR) << "still a separator";
    DestroyMenu(menu);
    // Another menu's texts look only in "general".
    HMENU other = LoadMenuIndirectW(Copy(RT_MENU, 201, Menu()).data());
    EXPECT_EQ(MenuText(other, 0), u"&File");
    DestroyMenu(other);
}

// Every template cut anywhere short of its end runs past its size: it stays untranslated.
TEST_F(Templates, ATemplateCutShortStaysUntranslated) {
    for (const auto& [type, whole] : {std::pair{RT_DIALOG, StandardDialog()},
                                      std::pair{RT_DIALOG, ExtendedDialog()}, std::pair{RT_MENU, Menu()}}) {
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const std::vector<std::uint8_t> cut(whole.begin(),
                                                whole.begin() + static_cast<std::ptrdiff_t>(size));
            EXPECT_FALSE(TranslatedCopy(type, 100, Entry(), cut)) << "type " << type << " cut at " << size;
        }
    }
    // A block whose last count says more than is left, or that ends in half a count.
    EXPECT_FALSE(TranslatedCopy(RT_STRING, 1, Entry(), std::vector<std::uint8_t>{0, 0, 3, 0, 'H', 0}));
    EXPECT_FALSE(TranslatedCopy(RT_STRING, 1, Entry(), std::vector<std::uint8_t>{0, 0, 0}));
}

TEST_F(Templates, ExtendedMenusAndOtherTypesStayUntranslated) {
    Template extended;
    extended.U16(1).U16(4).U32(0).U32(0).U32(0).U32(0).U16(0x80).Text(u"&File");
    EXPECT_FALSE(TranslatedCopy(RT_MENU, 200, Entry(), extended.Bytes()));
    EXPECT_FALSE(TranslatedCopy(3, 200, Entry(), Menu())) << "an icon";
    // Menus nested deeper than the layer builds them.
    Template deep;
    deep.U16(0).U16(0);
    for (int level = 0; level < 40; ++level)
        deep.U16(MF_POPUP | MF_END).Text(u"&File");
    deep.U16(MF_END).U16(1).Text(u"&Open");
    EXPECT_FALSE(TranslatedCopy(RT_MENU, 200, Entry(), deep.Bytes()));
}

TEST(TemplateRebuild, ACopyIsBuiltOnceAndOnlyWhileATranslatorIsCurrent) {
    std::u16string error;
    vtrrt::CModuleResources entry(FakeModule(1), vtrrt::ParseLanguageJson(ModuleLanguageFile, error));
    vtrrt::CResourceData record;
    record.type = RT_MENU;
    record.id = 200;
    const std::vector<std::uint8_t> menu = Menu();
    ASSERT_EQ(vtrrt::CurrentTranslator(), nullptr);
    vtrrt::RebuildTranslatedResource(record, entry, menu.data(), menu.size());
    EXPECT_TRUE(record.copy.empty()) << "no translator is current";

    LocalTranslator translator;
    const TempFile file("current.txt", R"({"lang": 1036})");
    ASSERT_EQ(translator.Load(FakeModule(2), file.Path(), 1), 1);
    vtrrt::RebuildTranslatedResource(record, entry, menu.data(), menu.size());
    ASSERT_FALSE(record.copy.empty());
    const std::uint8_t* built = record.copy.data();
    vtrrt::RebuildTranslatedResource(record, entry, menu.data(), menu.size());
    EXPECT_EQ(record.copy.data(), built) << "built once";
}

} // namespace
