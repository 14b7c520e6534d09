// The store of global objects' values, which outlives frames: one per application, created on first store.
// An object info with the global flag keeps its objects' values from the end of one frame to the start of
// the next that has objects of the same name and type.
#pragma once

#include "core/application_record.h"
#include "persist/position_file.h"

#include <cstdint>

namespace vtrrt {

// One entry per global object info: u32 element count, u32 element size, the key ("name::type",
// terminated UTF-16), then one element per instance in instance-chain order.
struct GlobalObjectStore {
    std::int32_t count;
    std::int32_t capacity;
    std::uint8_t** entries;
};

// Header flag of an object info whose objects are global.
constexpr std::uint16_t InfoHeaderGlobal = 0x4;

// At frame end: the values of every instance of each global object info of the run. Out of memory ends the
// store quietly.
void StoreGlobalObjects();
// At frame start: the stored values back into the instances of the same key, in chain order.
void RestoreGlobalObjects();
// Frees every entry and the store; the application has none afterwards.
void FreeGlobalObjectStore(ApplicationRecord& app);
// The store in a position file: the entry count, then each entry as held (its pointers as 0) with its
// size, and the texts of text entries after it. Without a store: a count of 0.
void WriteGlobalObjectStore(PositionWriter& file, const ApplicationRecord& app);
// The store made again from a position file's entries (checked by its reader); false when memory ran out.
bool ReplaceGlobalObjectStore(ApplicationRecord& app, const std::vector<SavedStoreEntry>& saved);

} // namespace vtrrt
