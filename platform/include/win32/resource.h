// Module resources: each module (program, library, plug-in) carries its string table, compiled in from
// its one resource source file and exported under one name that the layer finds from the module handle.
#pragma once

#include "win32/types.h"

#include <cstddef>

namespace win32 {

struct StringResource {
    UINT id;
    const WCHAR* text;
};

// What a module exports. Menus and dialogs join the strings here.
struct ModuleResources {
    const StringResource* strings;
    std::size_t stringCount;
};

// The exported name of a module's table.
inline constexpr const char* ModuleResourcesSymbol = "VtrModuleResources";

// The table of a module, or null when it has none.
const ModuleResources* FindModuleResources(HMODULE module);

// Copies string `id` of the module's table into the buffer (at most size - 1 units, terminated) and returns
// its length; 0 and an empty buffer when there is no such string. With size 0 the buffer receives a
// read-only pointer to the string itself (as an LPWSTR written over the buffer's start).
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
// The same string in the system ANSI code page: at most size - 1 bytes, terminated; returns the bytes
// copied. Size 0 copies nothing.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

} // namespace win32

// Defines the module's table; the resource source file of each module uses it once:
//   WIN32_MODULE_RESOURCES = {Strings, std::size(Strings)};
#define WIN32_MODULE_RESOURCES                                                                               \
    extern "C" __attribute__((visibility("default"))) const ::win32::ModuleResources VtrModuleResources;     \
    extern "C" __attribute__((visibility("default"), used)) const ::win32::ModuleResources VtrModuleResources
