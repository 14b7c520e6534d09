#include "objects/movement_modules.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/error_message.h"
#include "core/upcalls.h"
#include "objects/movement_data.h"
#include "objects/movements.h"
#include "plugin/movement.h"
#include "startup/chunk_reader.h"
#include "startup/object_infos.h"
#include "startup/plugin_modules.h"
#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::u16string_view ModuleExtension = u".mvx";
using movement::CreateMovementName;
constexpr int IndexOutOfRange = 13;
constexpr int Refused = -1;

// A movement list entry: {u32 name offset, u32 identifier, u32 data offset, u32 data size}, offsets from
// the list's start; a module's own data starts at byte 26 of the movement's data.
constexpr std::size_t EntryBytes = 16;
constexpr std::size_t ModuleDataStart = 26;

char16_t FoldCase(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// A module is named with or without its folder and extension, in any case.
std::u16string_view ModuleStem(std::u16string_view name) {
    if (const std::size_t slash = name.find_last_of(u"\\/"); slash != std::u16string_view::npos)
        name.remove_prefix(slash + 1);
    if (const std::size_t dot = name.find_last_of(u'.'); dot != std::u16string_view::npos)
        name = name.substr(0, dot);
    return name;
}

movement::CreateMovementRoutine FindCreateMovement(const ApplicationRecord& app, std::u16string_view name) {
    const std::u16string_view wanted = ModuleStem(name);
    if (wanted.empty() || !app.movementModules) return nullptr;
    for (int i = 0; i < app.movementModuleCount; ++i) {
        const MovementModuleRecord& record = app.movementModules[i];
        if (!record.module || !record.name || !record.createMovement) continue;
        const std::u16string_view stem = ModuleStem(record.name);
        if (std::equal(stem.begin(), stem.end(), wanted.begin(), wanted.end(),
                       [](char16_t a, char16_t b) { return FoldCase(a) == FoldCase(b); }))
            return reinterpret_cast<movement::CreateMovementRoutine>(record.createMovement);
    }
    return nullptr;
}

} // namespace

int ReadMovementExtensionList(ApplicationRecord& app, std::span<const std::uint8_t> chunk) {
    FreeMovementExtensions(app);
    ByteReader r(chunk);
    std::uint16_t count = 0;
    if (!r.U16(count)) return StreamDataError;
    if (!AllocZeroedMemory(std::max<std::size_t>(count, 1) * sizeof(MovementModuleRecord),
                           &app.movementModules))
        return ErrorOutOfMemory;
    app.movementModuleCount = count;
    std::size_t at = 2;
    for (std::uint16_t i = 0; i < count; ++i) {
        ByteReader header(chunk.subspan(std::min(at, chunk.size())));
        std::uint16_t size = 0, nameOffset = 0;
        if (!header.U16(size) || !header.U16(nameOffset) || size > chunk.size() - at) {
            FreeMovementExtensions(app);
            return StreamDataError;
        }
        // An entry of size 0 is passed over (and, taking no room, so are the ones read after it).
        if (size == 0) continue;
        const std::optional<std::u16string> name =
            TerminatedStoredText(chunk.subspan(at, size), nameOffset, app.unicode != 0, app.codePage);
        if (!name) {
            FreeMovementExtensions(app);
            return StreamDataError;
        }
        if (const int code = LoadMovementExtension(app, i, *name); code != 0) {
            FreeMovementExtensions(app);
            return code;
        }
        at += size;
    }
    return LoadOk;
}

int LoadMovementExtension(ApplicationRecord& app, int index, std::u16string_view name) {
    if (index < 0 || index >= app.movementModuleCount || !app.movementModules) return IndexOutOfRange;
    MovementModuleRecord& record = app.movementModules[index];
    if (record.module) return LoadOk;
    record = MovementModuleRecord{};
    if (name.empty()) return LoadOk;
    const std::u16string shown(name);
    if (!IsPlainFileName(name)) {
        ShowCannotFindMessage(shown.c_str());
        return Refused;
    }
    HMODULE module = LoadPluginModule(PluginModulePath(WithFileExtension(name, ModuleExtension)), shown);
    if (!module) return Refused;
    if (const auto language = LanguageFilePath(WithFileExtension(name, LanguageFileExtension)))
        up::LoadModuleTranslation(module, *language);
    void* create = GetProcAddress(module, CreateMovementName);
    WCHAR* copy = nullptr;
    if (!create || !AllocMemory((name.size() + 1) * sizeof(WCHAR), &copy)) {
        up::ReleaseModuleTranslation(module);
        FreeLibrary(module);
        return create ? ErrorOutOfMemory : Refused;
    }
    std::copy(name.begin(), name.end(), copy);
    copy[name.size()] = 0;
    record = MovementModuleRecord{module, copy, create};
    return LoadOk;
}

void UnloadMovementExtension(ApplicationRecord& app, int index) {
    if (index < 0 || index >= app.movementModuleCount || !app.movementModules) return;
    MovementModuleRecord& record = app.movementModules[index];
    if (record.module) {
        up::ReleaseModuleTranslation(record.module);
        FreeLibrary(record.module);
    }
    FreeMemory(&record.name);
    record = MovementModuleRecord{};
}

void FreeMovementExtensions(ApplicationRecord& app) {
    for (int i = 0; i < app.movementModuleCount; ++i)
        UnloadMovementExtension(app, i);
    FreeMemory(&app.movementModules);
    app.movementModuleCount = 0;
}

void CreateDefinitionMovements(const ApplicationRecord& app, const ObjectInfo& info) {
    const std::span<const std::uint8_t> def(info.definition);
    // Backdrops keep no movement list.
    if (info.objectType < 2 || def.size() < DefMovements + 2) return;
    const std::size_t list = DefU16(def, DefMovements);
    if (list == 0 || list + 4 > def.size()) return;
    const std::uint64_t count = DefU32(def, list);
    for (std::uint64_t n = 0; n < count; ++n) {
        const std::uint64_t entry = list + 4 + EntryBytes * n;
        if (entry + EntryBytes > def.size()) return;
        const std::uint32_t nameOffset = DefU32(def, entry);
        const std::uint32_t identifier = DefU32(def, entry + 4);
        const std::uint64_t data = std::uint64_t{list} + DefU32(def, entry + 8);
        const std::uint64_t size = DefU32(def, entry + 12);
        if (size < MovementCommonBytes || data + size > def.size()) continue;
        if (static_cast<std::int16_t>(DefU16(def, data + 2)) != MovementExtension || nameOffset == 0)
            continue;
        const std::optional<std::u16string> name =
            TerminatedStoredText(def.subspan(list), nameOffset, app.unicode != 0, app.codePage);
        if (!name) continue;
        const movement::CreateMovementRoutine create = FindCreateMovement(app, *name);
        movement::Plugin* plugin = create ? create(identifier, &MovementServices()) : nullptr;
        if (!plugin) continue;
        const movement::PluginOperations* ops = plugin->operations;
        if (ops && ops->slots > 1 && ops->setData) {
            // A movement stored shorter than the module's data start hands over no data.
            const std::uint8_t* own = size > ModuleDataStart ? def.data() + data + ModuleDataStart : nullptr;
            ops->setData(plugin, own, own ? static_cast<std::uint32_t>(size - ModuleDataStart) : 0,
                         app.unicode ? movement::DataWide : movement::DataAnsi);
        }
        RegisterMovementPlugin(def.data() + data, plugin);
    }
}

} // namespace vtrrt
