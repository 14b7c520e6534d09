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

// A resource kept as the bytes of its Windows form (a dialog template, for one), by type and number.
struct BinaryResource {
    UINT type;
    UINT id;
    const void* data;
    std::size_t size;
};

constexpr UINT RT_MENU = 4;
constexpr UINT RT_DIALOG = 5;
constexpr UINT RT_STRING = 6;

// What a module exports: its string table and its other resources.
struct ModuleResources {
    const StringResource* strings;
    std::size_t stringCount;
    const BinaryResource* binaries;
    std::size_t binaryCount;
};

// The exported name of a module's table.
inline constexpr const char* ModuleResourcesSymbol = "VtrModuleResources";

// The table of a module, or null when it has none.
const ModuleResources* FindModuleResources(HMODULE module);

// The resource functions a language file's translation replaces in a module have C link names, so that the
// module's dynamic relocations name them as the system's own import tables do.
extern "C" {

// Copies string `id` of the module's table into the buffer (at most size - 1 units, terminated) and returns
// its length; 0 and an empty buffer when there is no such string. With size 0 the buffer receives a
// read-only pointer to the string itself (as an LPWSTR written over the buffer's start).
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
// The same string in the system ANSI code page: at most size - 1 bytes, terminated; returns the bytes
// copied. Size 0 copies nothing.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

} // extern "C"

// The resources of other types, found by number (MAKEINTRESOURCEW) and type (MAKEINTRESOURCEW of RT_...):
// FindResourceW gives the resource's handle (null when the module has none such), LoadResource and
// LockResource its bytes, SizeofResource their count.
struct ResourceObject;
using HRSRC = const ResourceObject*;
using HGLOBAL = const void*;
extern "C" {
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
// The ANSI form: names and types given by number find what FindResourceW finds; the layer keeps no resource
// under a name, so a named one is never found.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
} // extern "C"

} // namespace win32

// Defines the module's table; the resource source file of each module uses it once:
//   WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), Binaries, std::size(Binaries)};
#define WIN32_MODULE_RESOURCES                                                                               \
    extern "C" __attribute__((visibility("default"))) const ::win32::ModuleResources VtrModuleResources;     \
    extern "C" __attribute__((visibility("default"), used)) const ::win32::ModuleResources VtrModuleResources
