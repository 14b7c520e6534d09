// A loaded module's imports of the layer's functions, read from its ELF image in memory: its dynamic
// relocations of undefined symbols (jump slots and global-data entries) are its import table, and patching an
// import is writing its slot.
#pragma once

#include "win32/kernel.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vtrrt {

// What FindImportDescriptor found in a module's dynamic section: where its symbols, their names and its two
// relocation tables lie (addresses in this process), all inside the module's image.
struct ImportDescriptor {
    std::uintptr_t imageStart = 0, imageEnd = 0;
    std::uintptr_t loadBias = 0; // added to the addresses the file gives
    std::uintptr_t symbols = 0;
    std::size_t symbolSize = 0;
    std::uintptr_t names = 0;
    std::size_t namesSize = 0;
    std::uintptr_t relocations = 0; // global data
    std::size_t relocationsSize = 0;
    std::uintptr_t jumpSlots = 0; // procedure linkage
    std::size_t jumpSlotsSize = 0;
    std::size_t relocationSize = 0;
};

// The imports of a module (base and size from GetModuleInformation) from the library named `dllName`:
// "Kernel32.dll" and "User32.dll" both name the layer's library, other names the module of that name as
// LoadLibraryW finds it; found among the module's needed libraries. None, with ERROR_INVALID_PARAMETER,
// when the image is not a readable 64-bit little-endian x86-64 ELF image with a dynamic section, or does not
// need that library.
std::optional<ImportDescriptor> FindImportDescriptor(const win32::MODULEINFO& image,
                                                     std::string_view dllName);

// One function to replace: its name (compared without regard to case) and its replacement, or null to leave
// it alone.
struct ImportRow {
    const char* name;
    void* replacement;
};

// Writes each row's replacement into every slot of the module's imports from `dllName` that names the
// row's function, the slot's page made writable for the write and given its protection back. `saved` (empty,
// or one pointer a row) receives what the row's first slot held before, null for a function not imported;
// `patched`, when given, the number of slots written. 1 when the imports were found (last error cleared),
// else 0 (no rows, or `saved` of another size: ERROR_INVALID_PARAMETER).
int PatchImportTable(const win32::MODULEINFO& image, std::string_view dllName,
                     std::span<const ImportRow> rows, std::span<void*> saved, int* patched);

} // namespace vtrrt
