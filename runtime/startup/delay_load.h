// Lazy binding of the library: the program's import stub calls in here on its first call into the library.
#pragma once

#include "win32/kernel.h"

#include <cstddef>

namespace vtrrt {

// The notification that comes before the library is loaded; the only one the hook handles.
constexpr unsigned DelayLoadNotifyPreLoadLibrary = 1;

struct DelayLoadInfo {
    const char* libraryName;
};

// Loads the library by full path: the unpacked copy in this run's temporary folder, or the one beside the
// program when the pack held none. Keeps the handle in the runtime files. Null for other notifications.
win32::HMODULE DelayLoadHook(unsigned notification, const DelayLoadInfo* info);

// Puts every slot of the import stub back on its resolver, before the library is freed, so that a late call
// binds again instead of jumping into unmapped code.
void UnbindDelayLoadedImports();

} // namespace vtrrt

// Called by the import stub's resolver with its table of names and slots: loads the library through
// DelayLoadHook and fills every slot. When the library cannot be bound the run ends, cleaned up, without
// a message.
extern "C" void BindDelayLoadedImports(const char* const* names, void** slots, std::size_t count);
