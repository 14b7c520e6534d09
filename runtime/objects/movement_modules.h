// Movement-extension modules (".mvx"): the modules an application lists, loaded from the run's temporary
// folder, each giving one entry point from which the object loader makes the movements of type 14.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace vtrrt {

struct ApplicationRecord;
struct ObjectInfo;

struct MovementModuleRecord {
    win32::HMODULE module; // null: not loaded
    win32::WCHAR* name;
    void* createMovement; // the module's CreateMvt
};

// Reads the list chunk's payload (u16 count, then entries {u16 size, u16 name offset from the entry}) and
// loads every module in list order; on the first error everything is freed again. 0 or an error code.
int ReadMovementExtensionList(ApplicationRecord& app, std::span<const std::uint8_t> chunk);
// 0, 8, 13 (index beyond the count) or -1 (missing, not loadable, or without CreateMvt).
int LoadMovementExtension(ApplicationRecord& app, int index, std::u16string_view name);
void UnloadMovementExtension(ApplicationRecord& app, int index);
void FreeMovementExtensions(ApplicationRecord& app);
// Makes the plugin of every movement of a loaded definition that a module moves (type 14): the module the
// movement names is asked for it by the movement's identifier, the plugin is handed the movement's own data
// and registered with the movement framework, which releases it with the definition.
void CreateDefinitionMovements(const ApplicationRecord& app, const ObjectInfo& info);

} // namespace vtrrt
