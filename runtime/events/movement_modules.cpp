#include "events/movement_modules.h"

#include "shell/error_message.h"
#include "shell/plugin_modules.h"
#include "startup/application_record.h"
#include "startup/byte_reader.h"
#include "startup/chunk_reader.h"
#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::u16string_view ModuleExtension = u".mvx";
constexpr const char* CreateMovementName = "CreateMvt";
constexpr int IndexOutOfRange = 13;
constexpr int Refused = -1;

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
    // Language files of movement modules are handed over by the resource translator, which adds the call
    // here.
    void* create = GetProcAddress(module, CreateMovementName);
    WCHAR* copy = nullptr;
    if (!create || !AllocMemory((name.size() + 1) * sizeof(WCHAR), &copy)) {
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
    if (record.module) FreeLibrary(record.module);
    FreeMemory(&record.name);
    record = MovementModuleRecord{};
}

void FreeMovementExtensions(ApplicationRecord& app) {
    for (int i = 0; i < app.movementModuleCount; ++i)
        UnloadMovementExtension(app, i);
    FreeMemory(&app.movementModules);
    app.movementModuleCount = 0;
}

} // namespace vtrrt
