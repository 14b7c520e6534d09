// The store of global objects' values, which outlives frames: one per application, created on first store.
#pragma once

#include "startup/application_record.h"

#include <cstdint>

namespace vtrrt {

struct GlobalObjectStore {
    std::int32_t count;
    std::int32_t capacity;
    void** entries;
};

// Frees every entry and the store; the application has none afterwards.
void FreeGlobalObjectStore(ApplicationRecord& app);

} // namespace vtrrt
