// The hooks in small modules' import tables: a module's own string and resource calls come back translated
// however it was bound, menus and dialogs made by name too once the program is translated, only registered
// modules are touched, and slots past the hooked rows are registered without hooks.
#include "module_fixture.h"

#include "translator/import_table.h"
#include "translator/translation_hooks.h"

#include "win32/menu.h"
#include "win32/resource.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using namespace translatortest;
using namespace win32;
using vtrrt::CModuleResources;

// The label of the modules' dialog.
constexpr int NameLabel = 3;

using LoadStringAProc = int (*)(HMODULE, UINT, LPSTR, int);
using FindResourceWProc = HRSRC (*)(HMODULE, LPCWSTR, LPCWSTR);
using FindResourceAProc = HRSRC (*)(HMODULE, LPCSTR, LPCSTR);
using LoadResourceProc = HGLOBAL (*)(HMODULE, HRSRC);
using LockResourceProc = const void* (*)(HGLOBAL);
using SizeofResourceProc = DWORD (*)(HMODULE, HRSRC);
using LoadMenuWProc = HMENU (*)(HMODULE, LPCWSTR);
using LoadMenuAProc = HMENU (*)(HMODULE, LPCSTR);
using DialogBoxWProc = INT_PTR (*)(HMODULE, LPCWSTR, HWND, DLGPROC, LPARAM);
using DialogBoxAProc = INT_PTR (*)(HMODULE, LPCSTR, HWND, DLGPROC, LPARAM);
using CreateDialogWProc = HWND (*)(HMODULE, LPCWSTR, HWND, DLGPROC, LPARAM);
using CreateDialogAProc = HWND (*)(HMODULE, LPCSTR, HWND, DLGPROC, LPARAM);

LPCSTR Number(UINT n) {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(n));
}

struct Build {
    const char* name;
    const char* file;
};

class TranslatedModule : public ::testing::TestWithParam<Build> {
protected:
    TestModule module_{GetParam().file};
    const HMODULE m = module_.Handle();
    // What the module calls, each through its own import.
    const LoadStringWProc loadW = module_.Function<LoadStringWProc>("ModuleLoadStringW");
    const LoadStringAProc loadA = module_.Function<LoadStringAProc>("ModuleLoadStringA");
    const FindResourceWProc find = module_.Function<FindResourceWProc>("ModuleFindResourceW");
    const FindResourceAProc findA = module_.Function<FindResourceAProc>("ModuleFindResourceA");
    const LoadResourceProc load = module_.Function<LoadResourceProc>("ModuleLoadResource");
    const LockResourceProc lock = module_.Function<LockResourceProc>("ModuleLockResource");
    const SizeofResourceProc size = module_.Function<SizeofResourceProc>("ModuleSizeofResource");
    const LoadMenuWProc loadMenuW = module_.Function<LoadMenuWProc>("ModuleLoadMenuW");
    const LoadMenuAProc loadMenuA = module_.Function<LoadMenuAProc>("ModuleLoadMenuA");
    const DialogBoxWProc dialogW = module_.Function<DialogBoxWProc>("ModuleDialogBoxParamW");
    const DialogBoxAProc dialogA = module_.Function<DialogBoxAProc>("ModuleDialogBoxParamA");
    const CreateDialogWProc createW = module_.Function<CreateDialogWProc>("ModuleCreateDialogParamW");
    const CreateDialogAProc createA = module_.Function<CreateDialogAProc>("ModuleCreateDialogParamA");
    const TempFile file_{"module.txt", ModuleLanguageFile};
    LocalTranslator translator_;
};

TEST_P(TranslatedModule, ItsStringsComeTranslatedEveryTime) {
    // Registered before the module made any call: a lazily bound slot still holds the resolver.
    ASSERT_EQ(translator_.Load(m, file_.Path()), 1);
    const CModuleResources* entry = translator_.Impl().EntryOf(m);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->hooksInstalled);
    for (std::size_t row = 0; row < entry->imports.size(); ++row)
        EXPECT_NE(entry->imports[row], nullptr) << vtrrt::HookedFunctions[row].name << " is imported";
    // A resolver reached through a hook would bind the slot to the layer: the second call would be
    // untranslated.
    for (int call = 0; call < 3; ++call)
        EXPECT_EQ(StringOf(loadW, m, 12), u"Ouvrir") << "call " << call;
    EXPECT_EQ(StringOf(loadW, m, 20), u"Bonjour");
    // The read-only form points at the translation, which stays while the module is registered.
    const WCHAR* kept = nullptr;
    ASSERT_EQ(loadW(m, 13, reinterpret_cast<LPWSTR>(&kept), 0), 6);
    EXPECT_EQ(std::u16string(kept, 6), u"Fermer");
    const WCHAR* again = nullptr;
    loadW(m, 13, reinterpret_cast<LPWSTR>(&again), 0);
    EXPECT_EQ(again, kept);
    // A translation that does not fit the buffer: the call answers 0, the buffer keeps the module's text.
    WCHAR small[8]{};
    EXPECT_EQ(loadW(m, 21, small, 8), 0);
    EXPECT_EQ(std::u16string(small), u"Long");
    char narrow[16]{};
    EXPECT_EQ(loadA(m, 30, narrow, sizeof narrow), 3);
    EXPECT_STREQ(narrow, "Th\xE9") << "in the language's code page";
    EXPECT_EQ(loadA(m, 21, narrow, 8), 0);
    EXPECT_EQ(StringOf(loadW, m, 99), u"") << "a string the module lacks";

    // Released, the hooks find no entry and do what the layer does.
    EXPECT_EQ(translator_.Release(m), 0);
    EXPECT_EQ(StringOf(loadW, m, 12), u"Open");
    EXPECT_EQ(loadW(m, 21, small, 8), 4);
}

TEST_P(TranslatedModule, ItsOwnResourceCallsGiveTranslatedCopies) {
    ASSERT_EQ(translator_.Load(m, file_.Path()), 1);

    HRSRC menu = find(m, MAKEINTRESOURCEW(200), MAKEINTRESOURCEW(RT_MENU));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(find(m, MAKEINTRESOURCEW(200), MAKEINTRESOURCEW(RT_MENU)), menu);
    EXPECT_EQ(translator_.Impl().EntryOf(m)->resources.size(), 1u) << "found twice, recorded once";
    HGLOBAL data = load(m, menu);
    const void* copy = lock(data);
    ASSERT_NE(copy, data) << "a translated copy";
    EXPECT_EQ(lock(data), copy) << "built once";
    EXPECT_EQ(size(m, menu), translator_.Impl().EntryOf(m)->resources[0]->copy.size());
    HMENU built = LoadMenuIndirectW(copy);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(MenuText(built, 0), u"&Fichier");
    EXPECT_EQ(MenuText(GetSubMenu(built, 0), 2), u"&Quitter");
    EXPECT_EQ(MenuText(GetSubMenu(built, 0), 0), u"&Ouvrir");
    DestroyMenu(built);

    // A block of strings through the ANSI form of the search: its size asked before its bytes.
    HRSRC block = findA(m, Number(1), Number(RT_STRING));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size(m, block), 2u * 16 + 2 * 7) << "sixteen counts and \"Bonjour\"";
    const auto* bytes = static_cast<const std::uint8_t*>(lock(load(m, block)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[6], 7);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(bytes + 8), 7), u"Bonjour");

    // Resources of other types are not recorded.
    EXPECT_EQ(find(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(RT_DIALOG)), nullptr);
    EXPECT_EQ(translator_.Impl().EntryOf(m)->resources.size(), 2u);
}

TEST_P(TranslatedModule, MenusAndDialogsByNameAreTranslatedOnceTheProgramIsToo) {
    // The program's import table keeps the hooks of the slot it last had: registered and released here
    // first, that slot is one this translator leaves empty.
    const TempFile program("program.txt", R"({"lang": 1036})");
    ASSERT_EQ(translator_.Load(GetModuleHandleW(nullptr), program.Path()), 1);
    ASSERT_EQ(translator_.Load(m, file_.Path()), 1);
    EXPECT_EQ(translator_.Release(GetModuleHandleW(nullptr)), 0);
    const std::vector<int> controls = {NameLabel, IDOK, IDCANCEL};

    // The templates are found through the program's own imports: untranslated while the program is not.
    HMENU menu = loadMenuW(m, MAKEINTRESOURCEW(200));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(MenuText(menu, 0), u"&File");
    DestroyMenu(menu);
    EXPECT_EQ(
        ShowModal([&] { return dialogW(m, MAKEINTRESOURCEW(100), nullptr, QuietDialogProc, 0); }, controls)
            .title,
        u"Settings");

    ASSERT_EQ(translator_.Load(GetModuleHandleW(nullptr), program.Path()), 1);
    for (HMENU translated : {loadMenuW(m, MAKEINTRESOURCEW(200)), loadMenuA(m, Number(200))}) {
        ASSERT_NE(translated, nullptr);
        EXPECT_EQ(MenuText(translated, 0), u"&Fichier");
        EXPECT_EQ(MenuText(translated, 1), u"&Aide");
        EXPECT_EQ(GetMenuState(GetSubMenu(translated, 0), 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
        DestroyMenu(translated);
    }
    const SeenDialog expected{u"R\u00E9glages", {u"Nom", u"OK", u"Annuler"}, u"DejaVu Serif"};
    for (const auto& open : std::vector<std::function<INT_PTR()>>{
             [&] { return dialogW(m, MAKEINTRESOURCEW(100), nullptr, QuietDialogProc, 0); },
             [&] { return dialogA(m, Number(100), nullptr, QuietDialogProc, 0); }}) {
        const SeenDialog seen = ShowModal(open, controls);
        EXPECT_EQ(seen.title, expected.title);
        EXPECT_EQ(seen.items, expected.items);
        EXPECT_EQ(seen.face, expected.face);
    }
    for (HWND made : {createW(m, MAKEINTRESOURCEW(100), nullptr, QuietDialogProc, 0),
                      createA(m, Number(100), nullptr, QuietDialogProc, 0)}) {
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(Read(made, controls).items, expected.items);
        DestroyWindow(made);
    }
    // A dialog the module lacks falls back to the layer's own call, which fails as it would.
    EXPECT_EQ(dialogW(m, MAKEINTRESOURCEW(101), nullptr, QuietDialogProc, 0), -1);
    EXPECT_EQ(translator_.Release(GetModuleHandleW(nullptr)), 0);
}

INSTANTIATE_TEST_SUITE_P(Builds, TranslatedModule,
                         ::testing::Values(Build{"BoundLazily", "translated_lazy.so"},
                                           Build{"BoundAtLoad", "translated_now.so"},
                                           Build{"WithoutLinkageTable", "translated_noplt.so"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TranslatedModules, OnlyRegisteredModulesAreTranslated) {
    TestModule registered("translated_lazy.so");
    TestModule other("translated_now.so");
    LocalTranslator translator;
    const TempFile file("module.txt", ModuleLanguageFile);
    ASSERT_EQ(translator.Load(registered.Handle(), file.Path()), 1);
    EXPECT_EQ(StringOf(registered.Function<LoadStringWProc>("ModuleLoadStringW"), registered.Handle(), 12),
              u"Ouvrir");
    EXPECT_EQ(StringOf(other.Function<LoadStringWProc>("ModuleLoadStringW"), other.Handle(), 12), u"Open");
    // The program's own calls, untranslated as the program is not registered.
    WCHAR text[64]{};
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), 23, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"Cannot initialize Application.");
    // A translator that is gone leaves every hook doing what the layer does.
    translator.Get().DeleteImpl();
    EXPECT_EQ(StringOf(registered.Function<LoadStringWProc>("ModuleLoadStringW"), registered.Handle(), 12),
              u"Open");
}

TEST(TranslatedModules, AModuleImportingAFewHasOnlyThosePatched) {
    TestModule partial("translated_partial.so");
    LocalTranslator translator;
    const TempFile file("module.txt", ModuleLanguageFile);
    ASSERT_EQ(translator.Load(partial.Handle(), file.Path()), 1);
    const CModuleResources* entry = translator.Impl().EntryOf(partial.Handle());
    ASSERT_NE(entry, nullptr);
    for (int row = 0; row < vtrrt::HookedFunctionCount; ++row) {
        const bool imported = row == vtrrt::HookedLoadStringW || row == vtrrt::HookedFindResourceW ||
                              row == vtrrt::HookedLoadResource || row == vtrrt::HookedLockResource;
        EXPECT_EQ(entry->imports[static_cast<std::size_t>(row)] != nullptr, imported)
            << vtrrt::HookedFunctions[static_cast<std::size_t>(row)].name;
    }
    const HMODULE m = partial.Handle();
    EXPECT_EQ(StringOf(partial.Function<LoadStringWProc>("ModuleLoadStringW"), m, 20), u"Bonjour");
    // Its locked dialog is translated although it never asks for a size: the layer's own is used.
    HRSRC found = partial.Function<FindResourceWProc>("ModuleFindResourceW")(m, MAKEINTRESOURCEW(100),
                                                                             MAKEINTRESOURCEW(RT_DIALOG));
    const void* copy = partial.Function<LockResourceProc>("ModuleLockResource")(
        partial.Function<LoadResourceProc>("ModuleLoadResource")(m, found));
    HWND dialog = CreateDialogIndirectParamW(m, copy, nullptr, QuietDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(test_support::WindowText(dialog), u"R\u00E9glages");
    DestroyWindow(dialog);
}

TEST(TranslatedModules, AModuleImportingNoneIsRegisteredWithNothingPatched) {
    TestModule plain("translated_plain.so");
    LocalTranslator translator;
    const TempFile file("module.txt", ModuleLanguageFile);
    ASSERT_EQ(translator.Load(plain.Handle(), file.Path()), 1);
    const CModuleResources* entry = translator.Impl().EntryOf(plain.Handle());
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->hooksInstalled);
    for (void* imported : entry->imports)
        EXPECT_EQ(imported, nullptr);
    WCHAR name[512]{};
    EXPECT_GT(plain.Function<DWORD (*)(HMODULE, LPWSTR, DWORD)>("ModuleFileName")(plain.Handle(), name, 512),
              0u);
}

TEST(TranslatedModules, ASlotFromSixtyOnIsRegisteredButNotHooked) {
    TestModule late("translated_now.so");
    LocalTranslator translator;
    const TempFile filler("filler.txt", R"({"lang": 1036})");
    for (std::uintptr_t i = 0; i < vtrrt::HookSlotCount; ++i)
        ASSERT_EQ(translator.Load(FakeModule(i), filler.Path(), 1), 1);
    const TempFile file("module.txt", ModuleLanguageFile);
    ASSERT_EQ(translator.Load(late.Handle(), file.Path()), 1);
    const CModuleResources* entry = translator.Impl().EntryOf(late.Handle());
    ASSERT_EQ(translator.Impl().Entry(vtrrt::HookSlotCount), entry);
    EXPECT_FALSE(entry->hooksInstalled);
    EXPECT_EQ(StringOf(late.Function<LoadStringWProc>("ModuleLoadStringW"), late.Handle(), 12), u"Open");
    EXPECT_EQ(translator.Get().Translate(late.Handle(), u"Open", 12, 0), u"Ouvrir") << "its texts are known";
    // A slot freed below sixty is taken by the next module, which is hooked.
    EXPECT_EQ(translator.Release(FakeModule(7)), 0);
    EXPECT_EQ(translator.Release(late.Handle()), 0);
    ASSERT_EQ(translator.Load(late.Handle(), file.Path()), 1);
    EXPECT_EQ(translator.Impl().Entry(7), translator.Impl().EntryOf(late.Handle()));
    EXPECT_EQ(StringOf(late.Function<LoadStringWProc>("ModuleLoadStringW"), late.Handle(), 12), u"Ouvrir");
}

// Every readable word of a module's image, read without the address checker: instrumented modules keep red
// zones around their data, which no test code may read otherwise.
__attribute__((no_sanitize_address)) std::vector<std::optional<std::uint64_t>>
ImageWords(const MODULEINFO& image) {
    const auto start = reinterpret_cast<std::uintptr_t>(image.lpBaseOfDll);
    std::vector<std::optional<std::uint64_t>> words(image.SizeOfImage / 8);
    for (std::uintptr_t at = start; at + 8 <= start + image.SizeOfImage;) {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info);
        const std::uintptr_t end = std::min(
            start + image.SizeOfImage, reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize);
        const bool readable =
            info.State == MEM_COMMIT && info.Protect != PAGE_NOACCESS && info.Protect != PAGE_EXECUTE;
        for (; at + 8 <= end; at += 8)
            if (readable) {
                const std::uint64_t word = *reinterpret_cast<const volatile std::uint64_t*>(at);
                words[(at - start) / 8] = word;
            }
        at = std::max(at, end);
    }
    return words;
}

int ReplacedLoadString(HINSTANCE, UINT, LPWSTR, int) {
    return 77;
}

// The module reaches the library through slots of its own that start at their resolver, as the program's
// do: no import of the layer, so patching must leave them, and everything else but the named imports, as it
// was.
TEST(ImportTables, PatchingWritesOnlyTheNamedImportsAndLeavesALazyStubsSlots) {
    TestModule stub("translated_stub.so");
    MODULEINFO image{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), stub.Handle(), &image, sizeof image));
    const auto before = ImageWords(image);
    const vtrrt::ImportRow rows[] = {{"loadstringw", reinterpret_cast<void*>(&ReplacedLoadString)},
                                     {"LoadMenuW", nullptr}};
    std::array<void*, 2> saved{};
    int patched = 0;
    ASSERT_EQ(vtrrt::PatchImportTable(image, "User32.dll", rows, saved, &patched), 1);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_GE(patched, 1);
    EXPECT_NE(saved[0], nullptr);
    EXPECT_EQ(saved[1], nullptr) << "a row without a replacement is left alone";
    const auto after = ImageWords(image);
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        ++changed;
        EXPECT_EQ(after[i], reinterpret_cast<std::uint64_t>(&ReplacedLoadString)) << "word " << i;
    }
    EXPECT_EQ(changed, patched);
    auto load = stub.Function<LoadStringWProc>("ModuleLoadStringW");
    WCHAR text[8];
    EXPECT_EQ(load(stub.Handle(), 12, text, 8), 77);

    // The library is reached through the stub's own resolver, as before.
    EXPECT_EQ(stub.Function<int (*)()>("ModuleLibraryBinds")(), 0);
    EXPECT_EQ(stub.Function<int (*)()>("ModuleUseLibrary")(), 1);
    EXPECT_EQ(stub.Function<int (*)()>("ModuleLibraryBinds")(), 1);

    const vtrrt::ImportRow back[] = {{"LoadStringW", saved[0]}};
    ASSERT_EQ(vtrrt::PatchImportTable(image, "User32.dll", back, {}, nullptr), 1);
    EXPECT_EQ(StringOf(load, stub.Handle(), 12), u"Open");
    EXPECT_EQ(vtrrt::PatchImportTable(image, "User32.dll", {}, {}, nullptr), 0) << "no rows";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ImportTables, TheLayerIsFoundUnderTheSystemsNamesAndItsOwnOnly) {
    TestModule module("translated_now.so");
    MODULEINFO image{};
    ASSERT_TRUE(GetModuleInformation(GetCurrentProcess(), module.Handle(), &image, sizeof image));
    for (const char* name : {"Kernel32.dll", "USER32.DLL", "vtrplatform.dll", "libvtrplatform.so"})
        EXPECT_TRUE(vtrrt::FindImportDescriptor(image, name)) << name;
    SetLastError(0);
    EXPECT_FALSE(vtrrt::FindImportDescriptor(image, "Gdi32.dll"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Images written by hand: a header that is right but for one thing.
struct BadImage {
    const char* name;
    std::size_t offset; // of the byte changed
    std::uint8_t value;
};

class BadImages : public ::testing::TestWithParam<BadImage> {};

TEST_P(BadImages, AreRefusedWithAnInvalidParameter) {
    // A 64-bit little-endian x86-64 header whose program headers (at 64) hold a segment that maps offset 0
    // at address 0 and a dynamic section at 512 that is empty and needs nothing.
    std::vector<std::uint8_t> bytes(4096, 0);
    const std::uint8_t header[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::memcpy(bytes.data(), header, sizeof header);
    bytes[18] = 62;         // x86-64
    bytes[32] = 64;         // program headers at 64
    bytes[54] = 56;         // of 56 bytes
    bytes[56] = 2;          // two of them
    bytes[64] = 1;          // a loaded segment at file offset 0, address 0
    bytes[64 + 40] = 0x10;  // of 4096 bytes in memory
    bytes[120] = 2;         // the dynamic section
    bytes[120 + 16] = 0x00; // at address 512
    bytes[120 + 17] = 0x02;
    bytes[120 + 40] = 64; // of 64 bytes, all DT_NULL
    const BadImage& bad = GetParam();
    if (bad.offset < bytes.size()) bytes[bad.offset] = bad.value;
    const MODULEINFO image{bytes.data(), static_cast<DWORD>(bytes.size()), nullptr};
    SetLastError(0);
    EXPECT_FALSE(vtrrt::FindImportDescriptor(image, "User32.dll"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(Headers, BadImages,
                         ::testing::Values(BadImage{"NeedsNothing", SIZE_MAX, 0}, BadImage{"Magic", 1, 'X'},
                                           BadImage{"ThirtyTwoBits", 4, 1}, BadImage{"BigEndian", 5, 2},
                                           BadImage{"OtherMachine", 18, 3},
                                           BadImage{"ShortProgramHeaders", 54, 32},
                                           BadImage{"ProgramHeadersOutside", 33, 0x20},
                                           BadImage{"NoSegmentAtOffsetZero", 64 + 8, 1},
                                           BadImage{"NoDynamicSection", 120, 4},
                                           BadImage{"DynamicSectionOutside", 120 + 18, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadImages, ANullOrShortImageIsRefused) {
    std::vector<std::uint8_t> bytes(32, 0);
    EXPECT_FALSE(vtrrt::FindImportDescriptor(MODULEINFO{nullptr, 4096, nullptr}, "User32.dll"));
    EXPECT_FALSE(vtrrt::FindImportDescriptor(MODULEINFO{bytes.data(), 32, nullptr}, "User32.dll"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace
