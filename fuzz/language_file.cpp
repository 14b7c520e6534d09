// Reads arbitrary bytes as a module's language file and looks texts up in it: the settings the translator
// reads from its root, every member name of its sections as a text of each kind, and names it lacks.
#include "translator/language_file.h"
#include "seed_folder.h"
#include "translator/resource_translator.h"

#include "win32/kernel.h"

#include <json.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const Seeds[] = {
    R"({"lang": 1036, "dlgfont": "DejaVu Sans", "dlgfontsize": 9, "general": {"Open": "Ouvrir",
        "Count": 3, "Ratio": 0.5, "Yes": true, "Open2": {"12": "X", "13": 7}}, "dialog_7": {"Open": {"1": "Y"}},
        "menu_0": {"&File": "&Fichier"}, "dialog_0": {"Hello": ""}})",
    "\xEF\xBB\xBF{\"lang\": \"1049\", \"general\": {\"Caf\xC3\xA9\": \"\\u0422\\u0435\"}}",
    R"({"lang": true, "general": {"A": ["B"], "C": null, "D": {"2": {"2": "nested"}}}, "general": {"A": "2"}})",
};

constexpr int Kinds[] = {vtrrt::DialogText, vtrrt::MenuText, 0, 12, -1};
constexpr int Ids[] = {0, 7, 100, -5};

void TranslateAll(const vtrrt::CModuleResources& entry, std::u16string_view text) {
    for (int kind : Kinds)
        for (int id : Ids)
            if (entry.Translate(text, kind, id).empty() && !text.empty()) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::filesystem::path folder = framerun::EmptyCorpusFolder(*argc, *argv);
    if (!folder.empty()) {
        int n = 0;
        for (const char* seed : Seeds) {
            const std::string_view text(seed);
            framerun::WriteFile(folder / ("seed" + std::to_string(n++)),
                                std::vector<std::uint8_t>(text.begin(), text.end()));
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string error;
    std::unique_ptr<vtrrt::LanguageTree> tree =
        vtrrt::ParseLanguageJson(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!tree) return 0;
    const vtrrt::LanguageTree& file = *tree;
    const json_value* root = file.Root();
    vtrrt::ValueNumber(file.Member(root, "lang"));
    vtrrt::ValueNumber(file.Member(root, "dlgfontsize"));
    vtrrt::ValueText(file.Member(root, "dlgfont"));
    // Every name of every section, as the texts the translator is asked about.
    std::vector<std::u16string> texts = {u"", u"Open", u"Unknown"};
    for (const json_object_entry& section : root->u.object) {
        if (section.value->type != json_object) continue;
        for (const json_object_entry& member : section.value->u.object)
            texts.push_back(win32::FromUtf8(std::string_view(member.name, member.name_length)));
    }
    vtrrt::CModuleResources entry(nullptr, std::move(tree));
    for (const std::u16string& text : texts)
        TranslateAll(entry, text);
    return 0;
}
