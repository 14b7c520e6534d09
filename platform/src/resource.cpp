// Module resources: found by their exported name in the module itself, never in a module it depends on.
#include "win32/resource.h"
#include "win32/kernel.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace win32 {

namespace {

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string ModulePath(HMODULE module) {
    WCHAR wide[4096];
    const DWORD units = GetModuleFileNameW(module, wide, static_cast<DWORD>(std::size(wide)));
    if (units == 0 || units >= std::size(wide)) return {};
    char utf8[3 * std::size(wide) + 1];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), utf8, sizeof utf8 - 1,
                                          nullptr, nullptr);
    return bytes > 0 ? std::string(utf8, static_cast<std::size_t>(bytes)) : std::string();
}

// The symbol lookup of a module also searches what the module depends on (and, for the program, every
// library loaded), so the table found must be checked to lie in the module asked about.
bool DefinedInModule(const void* symbol, HMODULE module) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(symbol, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return false;
    // The program heads the dynamic linker's list of loaded objects.
    if (module == GetModuleHandleW(nullptr)) return map->l_prev == nullptr;
    if (!map->l_name || !*map->l_name) return false;
    const std::string path = ModulePath(module);
    return !path.empty() && RealPath(map->l_name) == RealPath(path);
}

} // namespace

const ModuleResources* FindModuleResources(HMODULE module) {
    if (!module) module = GetModuleHandleW(nullptr);
    const void* symbol = GetProcAddress(module, ModuleResourcesSymbol);
    if (!symbol || !DefinedInModule(symbol, module)) return nullptr;
    return static_cast<const ModuleResources*>(symbol);
}

namespace {

const StringResource* FindString(HINSTANCE instance, UINT id) {
    const ModuleResources* resources = FindModuleResources(instance);
    if (!resources) return nullptr;
    for (std::size_t i = 0; i < resources->stringCount; ++i)
        if (resources->strings[i].id == id) return &resources->strings[i];
    return nullptr;
}

} // namespace

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    if (!buffer || size < 0) return 0;
    const StringResource* found = FindString(instance, id);
    const std::size_t length = found && found->text ? std::char_traits<WCHAR>::length(found->text) : 0;
    if (size == 0) {
        // The caller asked for the string itself, read-only.
        const WCHAR* text = found ? found->text : nullptr;
        std::memcpy(buffer, &text, sizeof text);
        return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
    }
    const std::size_t n = std::min(length, static_cast<std::size_t>(size - 1));
    if (n) std::memcpy(buffer, found->text, n * sizeof(WCHAR));
    buffer[n] = 0;
    return static_cast<int>(n);
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    const StringResource* found = FindString(instance, id);
    if (!found || !found->text || !found->text[0]) return 0;
    const int units =
        static_cast<int>(std::min<std::size_t>(std::char_traits<WCHAR>::length(found->text), INT_MAX));
    const int needed = WideCharToMultiByte(CP_ACP, 0, found->text, units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return 0;
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, found->text, units, narrow.data(), needed, nullptr, nullptr);
    const std::size_t n = std::min(narrow.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, narrow.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

namespace {

UINT ResourceNumber(LPCWSTR name) {
    const auto value = reinterpret_cast<ULONG_PTR>(name);
    return value < 0x10000 ? static_cast<UINT>(value) : 0;
}

} // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    const ModuleResources* resources = FindModuleResources(module);
    const UINT id = ResourceNumber(name), kind = ResourceNumber(type);
    if (!resources || !id || !kind) return nullptr;
    for (std::size_t i = 0; i < resources->binaryCount; ++i) {
        const BinaryResource& r = resources->binaries[i];
        if (r.type == kind && r.id == id && r.data) return reinterpret_cast<HRSRC>(&r);
    }
    return nullptr;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    // Numbers are the same in both forms; a name is never found.
    if (!ResourceNumber(reinterpret_cast<LPCWSTR>(name)) || !ResourceNumber(reinterpret_cast<LPCWSTR>(type)))
        return nullptr;
    return FindResourceW(module, reinterpret_cast<LPCWSTR>(name), reinterpret_cast<LPCWSTR>(type));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return resource ? reinterpret_cast<const BinaryResource*>(resource)->data : nullptr;
}

const void* LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return 0;
    const std::size_t size = reinterpret_cast<const BinaryResource*>(resource)->size;
    return static_cast<DWORD>(std::min<std::size_t>(size, UINT32_MAX));
}

} // namespace win32
