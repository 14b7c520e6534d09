#include "translator/resource_translator.h"

#include "translator/translation_hooks.h"

#include "win32/kernel.h"

#include <cstdio>
#include <cstdlib>
#include <json.h>

namespace vtrrt {

using namespace win32;

namespace {

CResourceTranslatorImpl* currentTranslator = nullptr;

constexpr int DefaultLanguage = 1033;
// The module table grows by this many entries at a time.
constexpr std::size_t TableStep = 16;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The whole file, or nothing when it is missing, empty, too large or cannot be read.
std::optional<std::string> ReadLanguageFile(std::u16string_view path) {
    const std::u16string name(path);
    FileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file.Get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart > LargestLanguageFile)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
        read != text.size())
        return std::nullopt;
    return text;
}

// The section a kind of text is looked up in.
std::string SectionOf(int kind, int id) {
    char name[32];
    if (kind == DialogText) {
        std::snprintf(name, sizeof name, "dialog_%d", id);
    } else if (kind == MenuText) {
        std::snprintf(name, sizeof name, "menu_%d", id);
    } else {
        return "general";
    }
    return name;
}

} // namespace

CModuleResources::CModuleResources(HMODULE module, std::unique_ptr<LanguageTree> languageTree)
    : module(module), tree(std::move(languageTree)) {}

int CModuleResources::AddResource(const CResourceData& record) {
    const int count = static_cast<int>(resources.size());
    if (resources.size() == resources.capacity()) resources.reserve(resources.size() + TableStep);
    resources.push_back(std::make_unique<CResourceData>(record));
    return count;
}

CResourceData* CModuleResources::RecordOf(HRSRC resource) const {
    for (const auto& record : resources)
        if (record->resource == resource) return record.get();
    return nullptr;
}

std::u16string CModuleResources::Translate(std::u16string_view text, int kind, int id) const {
    if (!tree) return std::u16string(text);
    const std::string name = ToUtf8(text);
    const JsonValue* root = tree->Root();
    if (const JsonValue* value = tree->Member(tree->Member(root, SectionOf(kind, id)), name)) {
        // An object chooses by kind: the member named by its decimal number.
        if (value->type == json_object) value = tree->Member(value, std::to_string(kind));
        if (auto translation = ValueText(value); translation && !translation->empty()) return *translation;
    }
    // Dialog and menu texts fall back to the module's general texts, where an object chooses nothing.
    if (kind == DialogText || kind == MenuText) {
        if (auto translation = ValueText(tree->Member(tree->Member(root, "general"), name));
            translation && !translation->empty())
            return *translation;
    }
    return std::u16string(text);
}

CResourceTranslatorImpl::CResourceTranslatorImpl() {
    if (!currentTranslator) currentTranslator = this;
    table_.reserve(TableStep);
}

CResourceTranslatorImpl::~CResourceTranslatorImpl() {
    if (currentTranslator == this) currentTranslator = nullptr;
}

void CResourceTranslatorImpl::MakeCurrent() {
    currentTranslator = this;
}

CModuleResources* CResourceTranslatorImpl::Entry(int slot) const {
    return slot >= 0 && slot < EntryCount() ? table_[static_cast<std::size_t>(slot)].get() : nullptr;
}

CModuleResources* CResourceTranslatorImpl::EntryOf(HMODULE module) const {
    for (const auto& entry : table_)
        if (entry && entry->module == module) return entry.get();
    return nullptr;
}

int CResourceTranslatorImpl::LoadModule(HMODULE module, std::u16string_view path, int flags) {
    if (path.empty()) return 0;
    const std::optional<std::string> text = ReadLanguageFile(path);
    if (!text) return 0;
    std::string_view json(*text);
    if (json.size() > 2 && json.starts_with(Utf8Bom)) json.remove_prefix(Utf8Bom.size());
    std::u16string error;
    std::unique_ptr<LanguageTree> tree = ParseLanguageJson(json, error);
    if (!tree) return 0;

    // Every module of a run is translated into the language of the first file accepted.
    const std::int32_t language = ValueNumber(tree->Member(tree->Root(), "lang"));
    if (language_ == 0) {
        language_ = language;
        codePage_ = CodePageFromLanguage(language);
    } else if (language != language_) {
        return 0;
    }

    auto entry = std::make_unique<CModuleResources>(module, std::move(tree));
    const LanguageTree& file = *entry->tree;
    entry->dialogFont = ValueText(file.Member(file.Root(), "dlgfont")).value_or(u"");
    entry->dialogFontSize =
        static_cast<std::uint32_t>(std::max(0, ValueNumber(file.Member(file.Root(), "dlgfontsize"))));

    if (CModuleResources* known = EntryOf(module)) {
        ++known->referenceCount;
        return 1;
    }
    std::size_t slot = 0;
    while (slot < table_.size() && table_[slot])
        ++slot;
    if (slot == table_.size()) {
        if (table_.size() == table_.capacity()) table_.reserve(table_.size() + TableStep);
        table_.push_back(nullptr);
    }
    table_[slot] = std::move(entry);
    if (flags == 0) InstallTranslationHooks(*table_[slot], static_cast<int>(slot));
    return 1;
}

int CResourceTranslatorImpl::ReleaseModule(HMODULE module) {
    for (auto& entry : table_) {
        if (!entry || entry->module != module) continue;
        if (entry->referenceCount > 1) return --entry->referenceCount;
        // The module's import table keeps its hooks: they find no entry and call the layer's functions.
        entry.reset();
        return 0;
    }
    return 0;
}

std::u16string CResourceTranslatorImpl::Translate(HMODULE module, std::u16string_view text, int kind,
                                                  int id) const {
    const CModuleResources* entry = EntryOf(module);
    return entry ? entry->Translate(text, kind, id) : std::u16string(text);
}

CResourceTranslator::~CResourceTranslator() {
    DeleteImpl();
}

void CResourceTranslator::DeleteImpl() {
    impl_.reset();
}

void CResourceTranslator::MakeCurrent() {
    if (impl_) impl_->MakeCurrent();
}

int CResourceTranslator::LoadModule(HMODULE module, std::u16string_view path, int flags) {
    if (!impl_) impl_ = std::make_unique<CResourceTranslatorImpl>();
    return impl_->LoadModule(module, path, flags);
}

int CResourceTranslator::ReleaseModule(HMODULE module) {
    return impl_ ? impl_->ReleaseModule(module) : 0;
}

int CResourceTranslator::GetLanguage() const {
    return impl_ ? impl_->GetLanguage() : DefaultLanguage;
}

std::u16string CResourceTranslator::Translate(HMODULE module, std::u16string_view text, int kind,
                                              int id) const {
    return impl_ ? impl_->Translate(module, text, kind, id) : std::u16string(text);
}

CResourceTranslator& ResourceTranslator() {
    static CResourceTranslator translator;
    return translator;
}

CResourceTranslatorImpl* CurrentTranslator() {
    return currentTranslator;
}

int CodePageFromLanguage(int language) {
    char text[6]{};
    if (GetLocaleInfoA(static_cast<LCID>(language), LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text) <= 0)
        return 0;
    return std::atoi(text);
}

} // namespace vtrrt
