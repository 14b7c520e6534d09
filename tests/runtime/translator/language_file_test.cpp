// Language files: which files a module's registration accepts, the run's language taken from the first one,
// and the lookup of a text by section, kind and identifier with each form a translation may take.
#include "translator_fixture.h"

#include <string>
#include <vector>

namespace {

using namespace translatortest;
using vtrrt::CResourceTranslatorImpl;

struct FileStep {
    std::string bytes; // "<missing>" names no file at all; "<oversized>" a file one byte too large
    int loaded;
    int language; // the run's language after the step
};

struct LanguageFileCase {
    const char* name;
    std::vector<FileStep> steps; // each for a module of its own, in order
};

class LanguageFiles : public ::testing::TestWithParam<LanguageFileCase> {};

TEST_P(LanguageFiles, AreAcceptedOrRefusedAndSetTheRunsLanguage) {
    LocalTranslator translator;
    std::uintptr_t module = 0;
    for (const FileStep& step : GetParam().steps) {
        ++module;
        std::unique_ptr<TempFile> file;
        std::u16string path = (fs::temp_directory_path() / "none.txt").u16string();
        if (step.bytes != "<missing>") {
            const std::string bytes = step.bytes == "<oversized>"
                                          ? "{}" + std::string(vtrrt::LargestLanguageFile - 1, ' ')
                                          : step.bytes;
            file = std::make_unique<TempFile>("module" + std::to_string(module) + ".txt", bytes);
            path = file->Path();
        }
        EXPECT_EQ(translator.Load(FakeModule(module), path, 1), step.loaded) << "step " << module;
        EXPECT_EQ(translator.Get().GetLanguage(), step.language) << "step " << module;
        EXPECT_EQ(translator.Impl().EntryOf(FakeModule(module)) != nullptr, step.loaded == 1)
            << "step " << module;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageFiles,
    ::testing::Values(LanguageFileCase{"ByteOrderMarkSkipped", {{"\xEF\xBB\xBF{\"lang\": 1036}", 1, 1036}}},
                      LanguageFileCase{"Empty", {{"", 0, 0}}},
                      LanguageFileCase{"Missing", {{"<missing>", 0, 0}}},
                      LanguageFileCase{"NotJson", {{"{\"lang\": 1036", 0, 0}}},
                      LanguageFileCase{"NotAnObject", {{"[1036]", 0, 0}}},
                      LanguageFileCase{"Oversized", {{"<oversized>", 0, 0}}},
                      LanguageFileCase{"LangAsNumber", {{"{\"lang\": 1031}", 1, 1031}}},
                      LanguageFileCase{"LangAsDigits", {{"{\"lang\": \"1036\"}", 1, 1036}}},
                      LanguageFileCase{"LangAsBoolean", {{"{\"lang\": true}", 1, 1}}},
                      LanguageFileCase{"LangAsOtherTextIsNone", {{"{\"lang\": \"fr\"}", 1, 0}}},
                      LanguageFileCase{"FirstMemberWins", {{"{\"lang\": 1036, \"lang\": 1031}", 1, 1036}}},
                      LanguageFileCase{"SecondLanguageRefused",
                                       {{"{\"lang\": 1036}", 1, 1036}, {"{\"lang\": 1031}", 0, 1036}}},
                      LanguageFileCase{"SameLanguageAccepted",
                                       {{"{\"lang\": 1036}", 1, 1036}, {"{\"lang\": 1036}", 1, 1036}}},
                      LanguageFileCase{"NoLangBeforeOneIsSet", {{"{}", 1, 0}, {"{\"lang\": 1036}", 1, 1036}}},
                      LanguageFileCase{"NoLangAfterOneIsSet",
                                       {{"{\"lang\": 1036}", 1, 1036}, {"{}", 0, 1036}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageFiles, TheCodePageFollowsTheLanguageAndTheDialogFontIsKept) {
    LocalTranslator translator;
    const TempFile file("russian.txt", R"({"lang": 1049, "dlgfont": "DejaVu Sans", "dlgfontsize": "11"})");
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    EXPECT_EQ(translator.Impl().GetCodePage(), 1251);
    const vtrrt::CModuleResources* entry = translator.Impl().EntryOf(FakeModule(1));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->dialogFont, u"DejaVu Sans");
    EXPECT_EQ(entry->dialogFontSize, 11u);
    vtrrt::CResourceTranslator none;
    EXPECT_EQ(none.GetLanguage(), 1033) << "a translator that read no file";
}

TEST(LanguageFiles, LoadingAModuleTwiceCountsAndTheLastReleaseRemovesIt) {
    LocalTranslator translator;
    const TempFile file("twice.txt", R"({"lang": 1036, "general": {"Open": "Ouvrir"}})");
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    EXPECT_EQ(translator.Impl().EntryCount(), 1);
    EXPECT_EQ(translator.Release(FakeModule(1)), 1);
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Open", 5, 0), u"Ouvrir");
    EXPECT_EQ(translator.Release(FakeModule(1)), 0);
    EXPECT_EQ(translator.Impl().EntryOf(FakeModule(1)), nullptr);
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Open", 5, 0), u"Open");
    EXPECT_EQ(translator.Release(FakeModule(1)), 0) << "nothing left to release";
    // The freed slot is taken by the next module.
    ASSERT_EQ(translator.Load(FakeModule(2), file.Path(), 1), 1);
    EXPECT_EQ(translator.Impl().Entry(0), translator.Impl().EntryOf(FakeModule(2)));
}

struct TranslateCase {
    const char* name;
    std::u16string text;
    int kind;
    int id;
    std::u16string expected;
};

constexpr const char* LookupFile = R"({
    "lang": 1036,
    "general": {
        "Open": {"12": "X"},
        "Cancel": "Annuler",
        "Hello": "Bonjour",
        "Text": "texte", "Integer": 42, "Double": 2.5, "True": true, "False": false,
        "Empty": "", "Array": ["A"], "Null": null, "Nested": {"5": {"5": "deep"}}
    },
    "dialog_7": {"Open": {"1": "Y"}, "Title": "Titre"},
    "dialog_0": {"Hello": "dialogue zero"},
    "menu_0": {"Hello": "menu zero"},
    "menu_3": {"&File": "&Fichier", "Hello": ""}
})";

class Translations : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(Translations, LookUpTheTextInItsSectionByKind) {
    LocalTranslator translator;
    const TempFile file("lookup.txt", LookupFile);
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    const TranslateCase& c = GetParam();
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), c.text, c.kind, c.id), c.expected);
    EXPECT_EQ(translator.Get().Translate(FakeModule(2), c.text, c.kind, c.id), c.text)
        << "a module without a file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Translations,
    ::testing::Values(
        // A string of a string table looks itself up in "general" by its identifier.
        TranslateCase{"StringChoosesByItsIdentifier", u"Open", 12, 0, u"X"},
        TranslateCase{"StringOfAnotherIdentifierStays", u"Open", 13, 0, u"Open"},
        TranslateCase{"StringPlain", u"Cancel", 40, 0, u"Annuler"},
        TranslateCase{"StringWithoutMemberIsCopied", u"Unknown", 40, 0, u"Unknown"},
        // Dialog and menu texts look in their section, then in "general", where an object chooses nothing.
        TranslateCase{"DialogSectionChoosesByKind", u"Open", 1, 7, u"Y"},
        TranslateCase{"DialogSection", u"Title", 1, 7, u"Titre"},
        TranslateCase{"DialogFallsBackToGeneral", u"Cancel", 1, 7, u"Annuler"},
        TranslateCase{"DialogWithoutSectionFallsBack", u"Cancel", 1, 9, u"Annuler"},
        TranslateCase{"ObjectInGeneralIsNoFallback", u"Open", 1, 9, u"Open"},
        TranslateCase{"MenuSection", u"&File", 2, 3, u"&Fichier"},
        TranslateCase{"EmptyTranslationFallsBack", u"Hello", 2, 3, u"Bonjour"},
        // Strings 1 and 2 are first looked for in the sections of dialog and menu 0.
        TranslateCase{"StringOneInDialogZero", u"Hello", 1, 0, u"dialogue zero"},
        TranslateCase{"StringTwoInMenuZero", u"Hello", 2, 0, u"menu zero"},
        TranslateCase{"StringThreeInGeneral", u"Hello", 3, 0, u"Bonjour"},
        // The forms a translation may take.
        TranslateCase{"ValueString", u"Text", 40, 0, u"texte"},
        TranslateCase{"ValueInteger", u"Integer", 40, 0, u"42"},
        TranslateCase{"ValueDouble", u"Double", 40, 0, u"2.5"},
        TranslateCase{"ValueTrue", u"True", 40, 0, u"1"}, TranslateCase{"ValueFalse", u"False", 40, 0, u"0"},
        TranslateCase{"ValueEmptyIsNone", u"Empty", 40, 0, u"Empty"},
        TranslateCase{"ValueArrayIsNone", u"Array", 40, 0, u"Array"},
        TranslateCase{"ValueNullIsNone", u"Null", 40, 0, u"Null"},
        TranslateCase{"ObjectInObjectIsNone", u"Nested", 5, 0, u"Nested"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Translations, LargeSectionsFindTheirFirstMemberOfAName) {
    LocalTranslator translator;
    std::string json = R"({"lang": 1036, "general": {"Key": "first")";
    for (int i = 0; i < 100; ++i)
        json += ", \"Text " + std::to_string(i) + "\": \"Texte " + std::to_string(i) + "\"";
    json += R"(, "Key": "second"}})";
    const TempFile file("large.txt", json);
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Key", 40, 0), u"first");
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Text 57", 40, 0), u"Texte 57");
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Text 100", 40, 0), u"Text 100");
}

TEST(Translations, NamesAreComparedAsUtf8Bytes) {
    LocalTranslator translator;
    const TempFile file(
        "utf8.txt",
        "{\"lang\": 1036, \"general\": {\"Caf\xC3\xA9\": \"Th\xC3\xA9\", \"caf\xC3\xA9\": \"no\"}}");
    ASSERT_EQ(translator.Load(FakeModule(1), file.Path(), 1), 1);
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"Caf\u00E9", 40, 0), u"Th\u00E9");
    EXPECT_EQ(translator.Get().Translate(FakeModule(1), u"CAF\u00C9", 40, 0), u"CAF\u00C9") << "case counts";
}

} // namespace
