// The resource translator: a string of the program's table loaded through the LoadStringW hook with a
// language file of 5,000 texts, beside the untranslated call, and a dialog template of 40 controls rebuilt.
#include "bench/targets.h"
#include "translator/resource_translator.h"
#include "translator/translated_templates.h"

#include "win32/dialog_template.h"
#include "win32/kernel.h"
#include "win32/resource.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace win32;

constexpr int LanguageFileTexts = 5000;
constexpr int DialogControls = 40;
// A string of the program's table, and one of the file's texts.
constexpr UINT TranslatedString = 23;

// The program registered with a language file of 5,000 general texts, its own string among them, and a
// translation for each control of the dialog below.
vtrrt::CResourceTranslator& Translator() {
    static vtrrt::CResourceTranslator translator;
    static const bool loaded = [] {
        std::string json = R"({"lang": 1036, "general": {)";
        for (int i = 0; i < LanguageFileTexts; ++i)
            json += "\"Text number " + std::to_string(i) + "\": \"Texte num\\u00e9ro " + std::to_string(i) +
                    "\", ";
        json += R"("Cannot initialize Application.": "Impossible d'initialiser l'application."}})";
        const std::filesystem::path path = std::filesystem::temp_directory_path() / "bench_translator.txt";
        std::ofstream(path) << json;
        const int result = translator.LoadModule(GetModuleHandleW(nullptr), path.u16string(), 0);
        std::filesystem::remove(path);
        return result == 1;
    }();
    if (!loaded) std::abort();
    return translator;
}

void LoadStringUntranslated(benchmark::State& state) {
    // The layer's own function, as a module without a language file reaches it.
    const auto layerLoadString = reinterpret_cast<decltype(&LoadStringW)>(
        GetProcAddress(GetModuleHandleW(u"libvtrplatform.so"), "LoadStringW"));
    const HMODULE program = GetModuleHandleW(nullptr);
    WCHAR text[256];
    for (auto _ : state)
        benchmark::DoNotOptimize(layerLoadString(program, TranslatedString, text, 256));
}
BENCHMARK(LoadStringUntranslated);

void LoadStringThroughTheHook(benchmark::State& state) {
    Translator();
    const HMODULE program = GetModuleHandleW(nullptr);
    WCHAR text[256];
    if (LoadStringW(program, TranslatedString, text, 256) != 39) state.SkipWithError("not translated");
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadStringW(program, TranslatedString, text, 256));
    bench::ShowTarget(state, "under 2 us a call");
}
BENCHMARK(LoadStringThroughTheHook);

using Writer = DialogTemplateWriter<8192>;
constexpr Writer FortyControls = [] {
    Writer t(WS_POPUP | WS_CAPTION, 0, {0, 0, 300, 400}, u"Text number 4999", 8, u"Helv");
    constexpr const char16_t* texts[] = {u"Text number 1", u"Text number 1000", u"Text number 2500",
                                         u"Untranslated"};
    for (int i = 0; i < DialogControls; ++i)
        t.Item(i % 2 ? DialogClassButton : DialogClassStatic, WS_VISIBLE,
               {5, static_cast<SHORT>(5 + 9 * i), 100, 8}, static_cast<DWORD>(10 + i), texts[i % 4]);
    return t;
}();
static_assert(FortyControls.Complete());

void RebuildFortyControlDialog(benchmark::State& state) {
    const vtrrt::CModuleResources* entry = Translator().Impl()->EntryOf(GetModuleHandleW(nullptr));
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(FortyControls.Data()),
                                              FortyControls.Bytes());
    for (auto _ : state)
        benchmark::DoNotOptimize(vtrrt::TranslatedCopy(RT_DIALOG, 900, *entry, bytes));
    bench::ShowTarget(state, "under 50 us");
}
BENCHMARK(RebuildFortyControlDialog);

} // namespace
