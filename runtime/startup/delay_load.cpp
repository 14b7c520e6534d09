// Binding the library on first use, from this run's temporary folder.
#include "startup/delay_load.h"

#include "startup/runtime_files.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace win32;

namespace vtrrt {

namespace {

struct ImportTable {
    void** slots = nullptr;
    // What the slots held before the first bind: their resolvers.
    std::vector<void*> resolvers;
};

ImportTable& GetImportTable() {
    static ImportTable table;
    return table;
}

std::u16string LibraryBesideProgram() {
    std::u16string path = GetModulePath(nullptr);
    if (path.empty()) return std::u16string(LibraryFileName);
    std::size_t cut = path.find_last_of(u"\\/");
    path.resize(cut == std::u16string::npos ? 0 : cut + 1);
    return path + std::u16string(LibraryFileName);
}

// The unpacked copy when the pack held the library, else the one beside the program.
std::u16string LibraryPathToBind() {
    const RuntimeFiles& files = GetRuntimeFiles();
    return files.libraryPath.empty() ? LibraryBesideProgram() : files.libraryPath;
}

// Without the library nothing else can run; the run ends on the error, as every other start-up failure
// does, after the runtime files are removed.
[[noreturn]] void EndRunWithoutLibrary(const std::u16string& path) {
    std::fprintf(stderr, "vtrrt: cannot bind %s\n", ToUtf8(path).c_str());
    CleanupRuntimeFiles();
    std::_Exit(EXIT_FAILURE);
}

} // namespace

HMODULE DelayLoadHook(unsigned notification, const DelayLoadInfo*) {
    if (notification != DelayLoadNotifyPreLoadLibrary) return nullptr;
    RuntimeFiles& files = GetRuntimeFiles();
    files.library = LoadLibraryW(LibraryPathToBind().c_str());
    return files.library;
}

void UnbindDelayLoadedImports() {
    ImportTable& table = GetImportTable();
    for (std::size_t i = 0; i < table.resolvers.size(); ++i)
        table.slots[i] = table.resolvers[i];
}

} // namespace vtrrt

extern "C" void BindDelayLoadedImports(const char* const* names, void** slots, std::size_t count) {
    using namespace vtrrt;
    // Binding must not itself call into the library: that would recurse until the stack is gone.
    static bool binding = false;
    if (binding) {
        std::fputs("vtrrt: the library was called while it was being bound\n", stderr);
        std::abort();
    }
    binding = true;
    DelayLoadInfo info{"libvtrs2.so"};
    HMODULE module = DelayLoadHook(DelayLoadNotifyPreLoadLibrary, &info);
    if (!module) EndRunWithoutLibrary(LibraryPathToBind());

    std::vector<void*> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        entries[i] = GetProcAddress(module, names[i]);
        if (!entries[i]) EndRunWithoutLibrary(LibraryPathToBind() + u": " + FromUtf8(names[i]));
    }
    ImportTable& table = GetImportTable();
    if (table.resolvers.empty()) table.resolvers.assign(slots, slots + count);
    table.slots = slots;
    for (std::size_t i = 0; i < count; ++i)
        slots[i] = entries[i];
    binding = false;
}
