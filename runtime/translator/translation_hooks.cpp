#include "translator/translation_hooks.h"

#include "translator/import_table.h"
#include "translator/translated_templates.h"

#include "win32/kernel.h"

#include <cstring>
#include <optional>
#include <span>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

// The layer's own functions, found by name in its library. A hook never calls what a module's slot held:
// a lazily bound slot holds the dynamic linker's resolver, whose first call would write over the hook.
struct LayerFunctions {
#define VTR_FIELD(name, dll) decltype(&win32::name) name = nullptr;
    VTR_TRANSLATED_FUNCTIONS(VTR_FIELD)
#undef VTR_FIELD
    bool complete = false;
};

constexpr const char16_t* LayerLibrary = u"libvtrplatform.so";

const LayerFunctions& Layer() {
    static const LayerFunctions functions = [] {
        LayerFunctions found;
        HMODULE layer = GetModuleHandleW(LayerLibrary);
        found.complete = layer != nullptr;
#define VTR_FIND(name, dll)                                                                                  \
    found.name = reinterpret_cast<decltype(found.name)>(layer ? GetProcAddress(layer, #name) : nullptr);     \
    found.complete = found.complete && found.name;
        VTR_TRANSLATED_FUNCTIONS(VTR_FIND)
#undef VTR_FIND
        return found;
    }();
    return functions;
}

// The translator a hook of `slot` works with: none when no translator is current or the slot's module
// entry is gone, and the hook then does what the layer's function does.
CResourceTranslatorImpl* Active(int slot) {
    CResourceTranslatorImpl* translator = CurrentTranslator();
    return translator && translator->Entry(slot) ? translator : nullptr;
}

// A null module names the program, as in the layer.
HMODULE Named(HMODULE module) {
    static const HMODULE program = GetModuleHandleW(nullptr);
    return module ? module : program;
}

constexpr ULONG_PTR LargestResourceNumber = 0xFFFF;

ULONG_PTR NumberOf(const void* name) {
    const auto value = reinterpret_cast<ULONG_PTR>(name);
    return value <= LargestResourceNumber ? value : 0;
}

void Record(CResourceTranslatorImpl& translator, HMODULE module, const void* name, const void* type,
            HRSRC found) {
    CModuleResources* entry = translator.EntryOf(Named(module));
    const ULONG_PTR kind = NumberOf(type);
    if (!found || !entry || (kind != RT_MENU && kind != RT_DIALOG && kind != RT_STRING) ||
        entry->RecordOf(found))
        return;
    CResourceData record;
    record.id = static_cast<std::uint32_t>(NumberOf(name));
    record.type = static_cast<std::uint32_t>(kind);
    record.resource = found;
    entry->AddResource(record);
}

// A resource's bytes found, loaded and locked through the program's own imports, so that a translated
// program hands back the translated copy of any translated module's resource.
const void* LockedResource(HINSTANCE instance, LPCWSTR name, UINT type) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(static_cast<WORD>(type)));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

const void* LockedResource(HINSTANCE instance, LPCSTR name, UINT type) {
    HRSRC found = FindResourceA(instance, name, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(type)));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    return loaded ? LockResource(loaded) : nullptr;
}

// A menu or dialog made from its template, found through the program's imports, when the slot's module is
// translated and `make` makes something of it; otherwise what the layer's own function makes of the name.
template <typename Name, typename Make, typename Layered>
auto FromTemplate(int slot, HINSTANCE instance, Name name, UINT type, Make make, Layered layer)
    -> decltype(layer()) {
    if (Active(slot))
        if (const void* data = LockedResource(instance, name, type))
            if (const auto made = make(data)) return *made;
    return layer();
}

// A menu made from a template, or none.
std::optional<HMENU> Made(HMENU menu) {
    return menu ? std::optional(menu) : std::nullopt;
}

// The whole string of the module's table, as the layer keeps it.
std::u16string_view TableString(HINSTANCE instance, UINT id) {
    const WCHAR* text = nullptr;
    const int length = Layer().LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return text && length > 0 ? std::u16string_view(text, static_cast<std::size_t>(length))
                              : std::u16string_view();
}

// The translation of string `id` of a translated module, or none when it has none.
std::optional<std::u16string> TranslatedString(int slot, HINSTANCE instance, UINT id,
                                               CModuleResources*& entry) {
    CResourceTranslatorImpl* translator = Active(slot);
    entry = translator ? translator->EntryOf(Named(instance)) : nullptr;
    if (!entry) return std::nullopt;
    const std::u16string_view original = TableString(instance, id);
    if (original.empty()) return std::nullopt;
    std::u16string translation = entry->Translate(original, static_cast<int>(id), 0);
    if (translation == original) return std::nullopt;
    return translation;
}

template <int Slot, auto Hook, typename Function> struct Thunk;
template <int Slot, auto Hook, typename Result, typename... Args>
struct Thunk<Slot, Hook, Result (*)(Args...)> {
    static Result Call(Args... args) { return Hook(Slot, args...); }
};

template <int Slot> std::array<void*, HookedFunctionCount> ThunkRow() {
    return {
#define VTR_THUNK(name, dll) reinterpret_cast<void*>(&Thunk<Slot, &Hook##name, decltype(&win32::name)>::Call),
        VTR_TRANSLATED_FUNCTIONS(VTR_THUNK)
#undef VTR_THUNK
    };
}

template <std::size_t... Slots> auto MakeThunkTable(std::index_sequence<Slots...>) {
    return std::array<std::array<void*, HookedFunctionCount>, sizeof...(Slots)>{
        ThunkRow<static_cast<int>(Slots)>()...};
}

// The functions the system's modules import from its kernel library come first in the table.
constexpr std::size_t KernelRows = HookedLoadMenuA;

} // namespace

void* HookThunk(int function, int slot) {
    static const auto table = MakeThunkTable(std::make_index_sequence<HookSlotCount>{});
    if (function < 0 || function >= HookedFunctionCount || slot < 0 || slot >= HookSlotCount) return nullptr;
    return table[static_cast<std::size_t>(slot)][static_cast<std::size_t>(function)];
}

void InstallTranslationHooks(CModuleResources& entry, int slot) {
    if (slot < 0 || slot >= HookSlotCount || entry.hooksInstalled || !Layer().complete) return;
    entry.hooksInstalled = true;
    MODULEINFO image{};
    if (!GetModuleInformation(GetCurrentProcess(), entry.module, &image, sizeof image)) return;
    std::array<ImportRow, HookedFunctionCount> rows{};
    for (int i = 0; i < HookedFunctionCount; ++i)
        rows[static_cast<std::size_t>(i)] = {HookedFunctions[static_cast<std::size_t>(i)].name,
                                             HookThunk(i, slot)};
    const std::span<const ImportRow> all(rows);
    const std::span<void*> saved(entry.imports);
    PatchImportTable(image, "Kernel32.dll", all.first(KernelRows), saved.first(KernelRows), nullptr);
    PatchImportTable(image, "User32.dll", all.subspan(KernelRows), saved.subspan(KernelRows), nullptr);
}

HRSRC HookFindResourceA(int slot, HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = Layer().FindResourceA(module, name, type);
    if (CResourceTranslatorImpl* translator = Active(slot)) Record(*translator, module, name, type, found);
    return found;
}

HRSRC HookFindResourceW(int slot, HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = Layer().FindResourceW(module, name, type);
    if (CResourceTranslatorImpl* translator = Active(slot)) Record(*translator, module, name, type, found);
    return found;
}

HGLOBAL HookLoadResource(int slot, HMODULE module, HRSRC resource) {
    HGLOBAL loaded = Layer().LoadResource(module, resource);
    if (CResourceTranslatorImpl* translator = Active(slot))
        if (CModuleResources* entry = translator->EntryOf(Named(module)))
            if (CResourceData* record = entry->RecordOf(resource)) record->loaded = loaded;
    return loaded;
}

const void* HookLockResource(int slot, HGLOBAL data) {
    const LayerFunctions& layer = Layer();
    const void* locked = layer.LockResource(data);
    CResourceTranslatorImpl* translator = Active(slot);
    if (!translator || !locked) return locked;
    for (int i = 0; i < translator->EntryCount(); ++i) {
        CModuleResources* entry = translator->Entry(i);
        if (!entry) continue;
        for (const auto& record : entry->resources) {
            if (record->loaded != data) continue;
            if (!record->rebuilt) {
                const DWORD size = layer.SizeofResource(entry->module, record->resource);
                if (size) RebuildTranslatedResource(*record, *entry, locked, size);
            }
            return record->copy.empty() ? locked : record->copy.data();
        }
    }
    return locked;
}

DWORD HookSizeofResource(int slot, HMODULE module, HRSRC resource) {
    const LayerFunctions& layer = Layer();
    const DWORD size = layer.SizeofResource(module, resource);
    CResourceTranslatorImpl* translator = Active(slot);
    CModuleResources* entry = translator ? translator->EntryOf(Named(module)) : nullptr;
    CResourceData* record = entry ? entry->RecordOf(resource) : nullptr;
    if (!record) return size;
    if (!record->rebuilt) {
        const void* data = layer.LockResource(layer.LoadResource(module, resource));
        if (data && size) RebuildTranslatedResource(*record, *entry, data, size);
    }
    // A resource that cannot be translated keeps its own size, as it keeps its own bytes.
    return record->copy.empty() ? size : static_cast<DWORD>(record->copy.size());
}

HMENU HookLoadMenuA(int slot, HINSTANCE instance, LPCSTR name) {
    return FromTemplate(
        slot, instance, name, RT_MENU, [](const void* data) { return Made(LoadMenuIndirectW(data)); },
        [&] { return Layer().LoadMenuA(instance, name); });
}

HMENU HookLoadMenuW(int slot, HINSTANCE instance, LPCWSTR name) {
    return FromTemplate(
        slot, instance, name, RT_MENU, [](const void* data) { return Made(LoadMenuIndirectW(data)); },
        [&] { return Layer().LoadMenuW(instance, name); });
}

int HookLoadStringA(int slot, HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    const int result = Layer().LoadStringA(instance, id, buffer, size);
    if (result <= 0 || !buffer) return result;
    CModuleResources* entry = nullptr;
    const std::optional<std::u16string> translation = TranslatedString(slot, instance, id, entry);
    if (!translation) return result;
    const int codePage = CurrentTranslator()->GetCodePage();
    const UINT page = codePage > 0 ? static_cast<UINT>(codePage) : CP_ACP;
    const int units = static_cast<int>(translation->size());
    const int bytes = WideCharToMultiByte(page, 0, translation->data(), units, nullptr, 0, nullptr, nullptr);
    // A translation that does not fit leaves the untranslated text, and the call answers 0.
    if (bytes <= 0 || bytes >= size) return 0;
    WideCharToMultiByte(page, 0, translation->data(), units, buffer, bytes, nullptr, nullptr);
    buffer[bytes] = 0;
    return bytes;
}

int HookLoadStringW(int slot, HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    const int result = Layer().LoadStringW(instance, id, buffer, size);
    if (result <= 0 || !buffer) return result;
    CModuleResources* entry = nullptr;
    std::optional<std::u16string> translation = TranslatedString(slot, instance, id, entry);
    if (!translation) return result;
    const int length = static_cast<int>(translation->size());
    if (size == 0) {
        // The caller asked for a read-only pointer: the translation kept with the module's entry.
        const std::u16string& kept =
            entry->readOnlyStrings.try_emplace(id, std::move(*translation)).first->second;
        const WCHAR* text = kept.c_str();
        std::memcpy(buffer, &text, sizeof text);
        return static_cast<int>(kept.size());
    }
    if (length >= size) return 0;
    std::copy(translation->begin(), translation->end(), buffer);
    buffer[length] = 0;
    return length;
}

INT_PTR HookDialogBoxParamA(int slot, HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                            LPARAM param) {
    return FromTemplate(
        slot, instance, name, RT_DIALOG,
        [&](const void* data) {
            return std::optional(DialogBoxIndirectParamA(instance, data, owner, proc, param));
        },
        [&] { return Layer().DialogBoxParamA(instance, name, owner, proc, param); });
}

INT_PTR HookDialogBoxParamW(int slot, HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc,
                            LPARAM param) {
    return FromTemplate(
        slot, instance, name, RT_DIALOG,
        [&](const void* data) {
            return std::optional(DialogBoxIndirectParamW(instance, data, owner, proc, param));
        },
        [&] { return Layer().DialogBoxParamW(instance, name, owner, proc, param); });
}

HWND HookCreateDialogParamA(int slot, HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                            LPARAM param) {
    return FromTemplate(
        slot, instance, name, RT_DIALOG,
        [&](const void* data) {
            return std::optional(CreateDialogIndirectParamA(instance, data, owner, proc, param));
        },
        [&] { return Layer().CreateDialogParamA(instance, name, owner, proc, param); });
}

HWND HookCreateDialogParamW(int slot, HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc,
                            LPARAM param) {
    return FromTemplate(
        slot, instance, name, RT_DIALOG,
        [&](const void* data) {
            return std::optional(CreateDialogIndirectParamW(instance, data, owner, proc, param));
        },
        [&] { return Layer().CreateDialogParamW(instance, name, owner, proc, param); });
}

} // namespace vtrrt
