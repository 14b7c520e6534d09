// Modules over dlopen: load counts as on Windows, names as the deliverables give them, file names of
// loaded modules.
#include "handle_storage.h"
#include "paths.h"
#include "text.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace win32 {

struct ModuleObject {
    void* library = nullptr;
    std::string path;    // absolute host path of the file
    int loads = 0;       // LoadLibrary calls not yet matched by FreeLibrary
    bool pinned = false; // loaded by someone else (the program, or the dynamic linker): never closed here
};

namespace {

using ModulePtr = std::unique_ptr<ModuleObject, detail::HandleObjectDeleter>;

struct ModuleTable {
    std::mutex lock;
    std::vector<ModulePtr> modules;
};

ModuleTable& Table() {
    static ModuleTable* table = new ModuleTable; // never destroyed: modules outlive static destruction
    return *table;
}

std::string BaseName(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ProgramPath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool EndsWithDll(std::string_view name) {
    return name.size() > 4 && detail::EqualsIgnoringCase(name.substr(name.size() - 4), ".dll");
}

// "x.dll" is this system's "x.so" or "libx.so" (ruling of the deliverables' names); other names stay.
std::vector<std::string> NameCandidates(const std::string& name) {
    std::vector<std::string> names{name};
    if (EndsWithDll(name)) {
        const size_t slash = name.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
        const std::string stem = name.substr(folder.size(), name.size() - folder.size() - 4);
        names.push_back(folder + stem + ".so");
        names.push_back(folder + "lib" + stem + ".so");
    }
    return names;
}

ModuleObject* FindByLibrary(ModuleTable& table, void* library) {
    for (auto& module : table.modules)
        if (module->library == library) return module.get();
    return nullptr;
}

ModuleObject* Lookup(ModuleTable& table, HMODULE handle) {
    for (auto& module : table.modules)
        if (module.get() == handle) return module.get();
    return nullptr;
}

ModuleObject* MainModule(ModuleTable& table) {
    void* self = dlopen(nullptr, RTLD_NOW);
    if (ModuleObject* known = FindByLibrary(table, self)) return known;
    auto module = ModulePtr(detail::NewHandleObject<ModuleObject>());
    module->library = self;
    module->path = ProgramPath();
    module->pinned = true;
    table.modules.push_back(std::move(module));
    return table.modules.back().get();
}

// Where a bare name is looked for: the program's folder, then the current folder, then the system's search.
std::vector<std::string> SearchPaths(const std::string& name) {
    if (name.find('/') != std::string::npos) return {name};
    std::vector<std::string> paths;
    const std::string program = ProgramPath();
    const size_t slash = program.find_last_of('/');
    if (slash != std::string::npos) paths.push_back(program.substr(0, slash + 1) + name);
    paths.push_back("./" + name);
    return paths;
}

HMODULE Load(const std::string& name) {
    bool fileSeen = false;
    for (const std::string& candidate : NameCandidates(name)) {
        std::vector<std::string> tries = SearchPaths(candidate);
        for (const std::string& path : tries) {
            auto resolved = detail::ResolvePath(detail::ToWide(path));
            if (!resolved || !resolved->exists) continue;
            fileSeen = true;
            void* library = dlopen(resolved->path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!library) continue;
            char* real = realpath(resolved->path.c_str(), nullptr);
            ModuleTable& table = Table();
            std::lock_guard guard(table.lock);
            ModuleObject* module = FindByLibrary(table, library);
            if (!module) {
                auto created = ModulePtr(detail::NewHandleObject<ModuleObject>());
                created->library = library;
                created->path = real ? real : resolved->path;
                table.modules.push_back(std::move(created));
                module = table.modules.back().get();
            }
            std::free(real);
            ++module->loads;
            return module;
        }
        if (candidate.find('/') == std::string::npos) {
            // Libraries of the system, found by the dynamic linker's own search.
            if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                ModuleTable& table = Table();
                std::lock_guard guard(table.lock);
                ModuleObject* module = FindByLibrary(table, library);
                if (!module) {
                    auto created = ModulePtr(detail::NewHandleObject<ModuleObject>());
                    created->library = library;
                    link_map* map = nullptr;
                    if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map) created->path = map->l_name;
                    table.modules.push_back(std::move(created));
                    module = table.modules.back().get();
                }
                ++module->loads;
                return module;
            }
        }
    }
    SetLastError(fileSeen ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    return nullptr;
}

struct LoadedSearch {
    std::vector<std::string> names;
    std::string found;
};

int VisitLoaded(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<LoadedSearch*>(data);
    if (!info->dlpi_name || !*info->dlpi_name) return 0;
    const std::string base = BaseName(info->dlpi_name);
    for (const std::string& name : search->names) {
        if (detail::EqualsIgnoringCase(base, name)) {
            search->found = info->dlpi_name;
            return 1;
        }
    }
    return 0;
}

std::atomic<UINT> errorMode{0};

// The library behind a handle (null: the program), or null with ERROR_INVALID_HANDLE.
void* LibraryOf(HMODULE handle, bool* program = nullptr) {
    ModuleTable& table = Table();
    std::lock_guard guard(table.lock);
    ModuleObject* module = handle ? Lookup(table, handle) : MainModule(table);
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (program) *program = module == MainModule(table);
    return module->library;
}

// Where a loaded object lies, found by its dynamic section among the objects the dynamic linker lists.
struct ImageSearch {
    const void* dynamic = nullptr;
    std::uintptr_t base = 0, end = 0;
    bool found = false;
};

int VisitImage(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ImageSearch*>(data);
    bool ours = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_DYNAMIC &&
            reinterpret_cast<const void*>(info->dlpi_addr + ph.p_vaddr) == search->dynamic)
            ours = true;
    }
    if (!ours) return 0;
    bool headerMapped = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        // The segment that starts at file offset 0 maps the ELF header: the image's base.
        if (ph.p_offset == 0) {
            search->base = info->dlpi_addr + ph.p_vaddr;
            headerMapped = true;
        }
        search->end = std::max<std::uintptr_t>(search->end, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
    }
    search->found = headerMapped && search->end > search->base;
    return 1;
}

// The pseudo handle of the current process, as Windows gives it.
const HANDLE CurrentProcess = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

} // namespace

HANDLE GetCurrentProcess() {
    return CurrentProcess;
}

BOOL GetModuleInformation(HANDLE process, HMODULE handle, MODULEINFO* info, DWORD size) {
    if (process != CurrentProcess || !info || size < sizeof(MODULEINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool program = false;
    void* library = LibraryOf(handle, &program);
    if (!library) return FALSE;
    link_map* map = nullptr;
    ImageSearch search;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map) {
        search.dynamic = map->l_ld;
        dl_iterate_phdr(VisitImage, &search);
    }
    if (!search.found || search.end - search.base > UINT32_MAX) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    info->lpBaseOfDll = reinterpret_cast<LPVOID>(search.base);
    info->SizeOfImage = static_cast<DWORD>(search.end - search.base);
    info->EntryPoint = program ? reinterpret_cast<LPVOID>(getauxval(AT_ENTRY)) : nullptr;
    return TRUE;
}

HMODULE LoadLibraryW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = ToUtf8(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return Load(path);
}

HMODULE LoadLibraryA(LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto wide = detail::DecodeCodePage(CP_ACP, name, false);
    return wide ? LoadLibraryW(wide->c_str()) : nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
    ModuleTable& table = Table();
    void* toClose = nullptr;
    {
        std::lock_guard guard(table.lock);
        ModuleObject* module = Lookup(table, handle);
        if (!module || (module->loads == 0 && !module->pinned)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (module->loads == 0) return TRUE; // a pinned module: nothing of ours to undo
        toClose = module->library;
        if (--module->loads == 0 && !module->pinned) {
            std::erase_if(table.modules, [&](const auto& m) { return m.get() == module; });
        }
    }
    dlclose(toClose);
    return TRUE;
}

void* GetProcAddress(HMODULE handle, LPCSTR name) {
    // Pointers below 64 KiB are ordinals, which modules here do not have.
    if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* library = LibraryOf(handle);
    if (!library) return nullptr;
    void* symbol = dlsym(library, name);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return symbol;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
    ModuleTable& table = Table();
    if (!name) {
        std::lock_guard guard(table.lock);
        return MainModule(table);
    }
    std::string wanted = ToUtf8(name);
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    LoadedSearch search;
    for (const std::string& candidate : NameCandidates(BaseName(wanted)))
        search.names.push_back(candidate);
    {
        std::lock_guard guard(table.lock);
        for (auto& module : table.modules)
            for (const std::string& candidate : search.names)
                if (!module->path.empty() && detail::EqualsIgnoringCase(BaseName(module->path), candidate))
                    return module.get();
    }
    dl_iterate_phdr(VisitLoaded, &search);
    if (search.found.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* library = dlopen(search.found.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard guard(table.lock);
    ModuleObject* module = FindByLibrary(table, library);
    if (module) {
        dlclose(library); // the table holds it already
        return module;
    }
    auto created = ModulePtr(detail::NewHandleObject<ModuleObject>());
    created->library = library;
    created->path = search.found;
    created->pinned = true;
    table.modules.push_back(std::move(created));
    return table.modules.back().get();
}

DWORD GetModuleFileNameW(HMODULE handle, LPWSTR buffer, DWORD size) {
    std::u16string path;
    {
        ModuleTable& table = Table();
        std::lock_guard guard(table.lock);
        ModuleObject* module = handle ? Lookup(table, handle) : MainModule(table);
        if (!module) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        path = detail::ToWide(module->path);
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        // Truncated and terminated, as the callers' fixed buffers expect.
        std::memcpy(buffer, path.data(), (size - 1) * sizeof(WCHAR));
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

UINT SetErrorMode(UINT mode) {
    return errorMode.exchange(mode);
}

} // namespace win32
