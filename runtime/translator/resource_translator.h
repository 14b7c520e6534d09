// The resource translator: language files of the program, the library and the extension modules, the table
// of translated modules, and the text lookup every hook uses.
#pragma once

#include "translator/language_file.h"

#include "win32/resource.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vtrrt {

// The resource functions replaced in a translated module (the hooked-function table's rows) and the rows
// of hook thunks (one per module-table slot; modules placed further down get no hooks).
constexpr int HookedFunctionCount = 13;
constexpr int HookSlotCount = 60;

// Language files above this size are refused like unreadable ones.
constexpr std::int64_t LargestLanguageFile = 16 * 1024 * 1024;

// The kinds of text a translation is looked up for: dialog texts (by dialog), menu texts (by menu); a string
// of a string table looks itself up by its identifier as the kind.
constexpr int DialogText = 1;
constexpr int MenuText = 2;

// One menu, dialog or string-table resource of a translated module, and its translated copy once built.
struct CResourceData {
    std::uint32_t id = 0;   // the integer name, 0 for a resource named by a string
    std::uint32_t type = 0; // RT_MENU, RT_DIALOG or RT_STRING
    win32::HRSRC resource = nullptr;
    win32::HGLOBAL loaded = nullptr; // what LoadResource gave for it, null until then
    std::vector<std::uint8_t> copy;  // the translated copy; empty while none is built
    bool rebuilt = false;            // a copy was attempted (one that cannot be made is not tried again)
};

// One translated module.
struct CModuleResources {
    CModuleResources(win32::HMODULE module, std::unique_ptr<LanguageTree> tree);

    // Appends a copy of the record; returns the count before it.
    int AddResource(const CResourceData& record);
    // The text's translation for a kind of text (DialogText, MenuText or a string's identifier) and the
    // dialog's or menu's identifier; the text itself when the language file has none.
    std::u16string Translate(std::u16string_view text, int kind, int id) const;
    // The module's record of that resource, or null.
    CResourceData* RecordOf(win32::HRSRC resource) const;

    win32::HMODULE module;
    int referenceCount = 1;
    std::unique_ptr<LanguageTree> tree;
    std::u16string dialogFont;        // "dlgfont": empty keeps the templates' face
    std::uint32_t dialogFontSize = 0; // "dlgfontsize": 0 keeps the templates' size
    bool hooksInstalled = false;
    std::vector<std::unique_ptr<CResourceData>> resources;
    // What the module's import slots of each hooked function held before they were patched; null where the
    // module does not import the function.
    std::array<void*, HookedFunctionCount> imports{};
    // Translations handed out as read-only pointers (LoadStringW with size 0), kept while the entry lives.
    std::map<win32::UINT, std::u16string> readOnlyStrings;
};

class CResourceTranslatorImpl {
public:
    // Becomes the current translator when there is none.
    CResourceTranslatorImpl();
    ~CResourceTranslatorImpl();
    CResourceTranslatorImpl(const CResourceTranslatorImpl&) = delete;
    CResourceTranslatorImpl& operator=(const CResourceTranslatorImpl&) = delete;

    void MakeCurrent();
    // Reads the module's language file and registers the module (or adds a reference to its entry); with
    // `flags` 0 its import table is hooked. 1 when registered, 0 when the file is missing, empty, larger
    // than LargestLanguageFile, unreadable, not JSON, or of another language than the run's.
    int LoadModule(win32::HMODULE module, std::u16string_view path, int flags);
    // Drops a reference to the module's entry and deletes the entry with the last one: the count left, or 0.
    int ReleaseModule(win32::HMODULE module);
    int GetLanguage() const { return language_; }
    int GetCodePage() const { return codePage_; }
    std::u16string Translate(win32::HMODULE module, std::u16string_view text, int kind, int id) const;

    // The module table: entries by slot (null for a free one) and by module.
    int EntryCount() const { return static_cast<int>(table_.size()); }
    CModuleResources* Entry(int slot) const;
    CModuleResources* EntryOf(win32::HMODULE module) const;

private:
    std::int32_t language_ = 0;
    std::int32_t codePage_ = 0;
    std::vector<std::unique_ptr<CModuleResources>> table_;
};

// The program's one translator; its implementation is made by the first LoadModule.
class CResourceTranslator {
public:
    CResourceTranslator() = default;
    ~CResourceTranslator();
    CResourceTranslator(const CResourceTranslator&) = delete;
    CResourceTranslator& operator=(const CResourceTranslator&) = delete;

    void DeleteImpl();
    void MakeCurrent();
    int LoadModule(win32::HMODULE module, std::u16string_view path, int flags);
    int ReleaseModule(win32::HMODULE module);
    // The run's language; 1033 before any file was read.
    int GetLanguage() const;
    std::u16string Translate(win32::HMODULE module, std::u16string_view text, int kind, int id) const;
    CResourceTranslatorImpl* Impl() const { return impl_.get(); }

private:
    std::unique_ptr<CResourceTranslatorImpl> impl_;
};

// The program's global translator, made at start and destroyed at exit.
CResourceTranslator& ResourceTranslator();
// The implementation the hooks use; null when none.
CResourceTranslatorImpl* CurrentTranslator();

// The ANSI code page of a language; 0 when the system does not know it.
int CodePageFromLanguage(int language);

} // namespace vtrrt
