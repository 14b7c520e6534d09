#include "shell/global_object_store.h"

#include "vtrs2/memory.h"

namespace vtrrt {

// Entries are written by the frame's end from the objects' values; the objects are not part of this
// build, so a store holds only what a later build puts there.
void FreeGlobalObjectStore(ApplicationRecord& app) {
    GlobalObjectStore* store = app.run.globalStore;
    if (!store) return;
    for (std::int32_t i = 0; i < store->count; ++i)
        FreeMemory(&store->entries[i]);
    FreeMemory(&store->entries);
    FreeMemory(&store);
    app.run.globalStore = nullptr;
}

} // namespace vtrrt
