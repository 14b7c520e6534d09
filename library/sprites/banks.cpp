// The reference-counted banks of a context: tables of items shared by 1-based handle.
#include "vtrs2/banks.h"

#include "texture_items.h"
#include "vtrs2/memory.h"

#include <cstring>
#include <iterator>

using namespace win32;

namespace {

constexpr DWORD TableStep = 256;
constexpr DWORD BankLocked = 1;
// Handles beyond this are refused rather than growing a table to match an absurd number.
constexpr DWORD MaxHandle = 0x100000;

BankItemHeader** Slots(BankTable* table) {
    return reinterpret_cast<BankItemHeader**>(reinterpret_cast<BYTE*>(table) + sizeof(BankTable));
}

std::size_t TableBytes(DWORD capacity) {
    return sizeof(BankTable) + capacity * sizeof(BankItemHeader*);
}

BankTable* TableOf(ContextBanks* banks, int bank) {
    return banks && bank >= 0 && bank < BankCount ? banks->tables[bank] : nullptr;
}

bool ValidBank(ContextBanks* banks, int bank) {
    return banks && bank >= 0 && bank < BankCount;
}

BankItemHeader** SlotOf(ContextBanks* banks, int bank, DWORD handle) {
    BankTable* table = TableOf(banks, bank);
    if (!table || handle < 1 || handle > table->highestHandle || handle > table->capacity) return nullptr;
    return &Slots(table)[handle - 1];
}

// Grows (or creates) the table so that it holds `handle`; a failure leaves the old table as it was.
BankTable* EnsureCapacity(ContextBanks* banks, int bank, DWORD handle) {
    BankTable* table = banks->tables[bank];
    if (table && handle <= table->capacity) return table;
    const DWORD capacity = (handle + TableStep - 1) / TableStep * TableStep;
    BankTable* grown = nullptr;
    if (!AllocZeroedMemory(TableBytes(capacity), &grown)) return nullptr;
    if (table) {
        std::memcpy(grown, table, TableBytes(table->capacity));
        FreeMemory(&table);
    }
    grown->capacity = capacity;
    banks->tables[bank] = grown;
    return grown;
}

std::size_t BlockSize(DWORD headerSize, DWORD dataSize) {
    return (static_cast<std::size_t>(headerSize) + dataSize + 15) & ~std::size_t{7};
}

BankItemHeader* NewItem(DWORD headerSize, DWORD dataSize, DWORD flags, const BankItemHeader* source) {
    if (source) headerSize = source->headerSize, dataSize = source->dataSize;
    if (headerSize < sizeof(BankItemHeader)) return nullptr;
    const std::size_t size = BlockSize(headerSize, dataSize);
    BankItemHeader* item = nullptr;
    if (!((flags & BankItemZeroFill) ? AllocZeroedMemory(size, &item) : AllocMemory(size, &item)))
        return nullptr;
    if (source) {
        std::memcpy(item, source, static_cast<std::size_t>(headerSize) + dataSize);
        return item;
    }
    if (!(flags & BankItemZeroFill)) std::memset(item, 0, headerSize);
    item->headerSize = headerSize;
    item->dataSize = dataSize;
    item->refCount = 1;
    return item;
}

void FreeItemsOf(BankTable* table, int bank) {
    for (DWORD i = 0; i < table->capacity; ++i) {
        BankItemHeader*& slot = Slots(table)[i];
        if (slot && bank == BankTextures) DeleteTexture(*reinterpret_cast<TextureCacheItem*>(slot));
        FreeMemory(&slot);
    }
}

} // namespace

DWORD AddBankItem(ContextBanks* banks, int bank, DWORD headerSize, DWORD dataSize, DWORD flags,
                  const BankItemHeader* source) {
    if (!ValidBank(banks, bank)) return 0;
    BankTable* table = EnsureCapacity(banks, bank, 1);
    if (!table) return 0;
    DWORD handle = 1;
    while (handle <= table->capacity && Slots(table)[handle - 1])
        ++handle;
    if (handle > MaxHandle || !(table = EnsureCapacity(banks, bank, handle))) return 0;
    BankItemHeader* item = NewItem(headerSize, dataSize, flags, source);
    if (!item) return 0;
    Slots(table)[handle - 1] = item;
    if (handle > table->highestHandle) table->highestHandle = handle;
    return handle;
}

DWORD ReplaceBankItem(ContextBanks* banks, int bank, DWORD handle, DWORD headerSize, DWORD dataSize,
                      DWORD flags, const BankItemHeader* source) {
    if (!ValidBank(banks, bank) || handle < 1 || handle > MaxHandle) return 0;
    BankItemHeader* item = NewItem(headerSize, dataSize, flags, source);
    if (!item) return 0;
    BankTable* table = EnsureCapacity(banks, bank, handle);
    if (!table) {
        FreeMemory(&item);
        return 0;
    }
    BankItemHeader*& slot = Slots(table)[handle - 1];
    item->refCount = slot ? slot->refCount : 0;
    FreeMemory(&slot);
    slot = item;
    // A handle stored here counts as in use, so lookups by handle find it.
    if (handle > table->highestHandle) table->highestHandle = handle;
    return handle;
}

DWORD FindDuplicateBankItem(ContextBanks* banks, int bank, const BankItemHeader* item) {
    BankTable* table = TableOf(banks, bank);
    if (!table || !item || item->headerSize < 16) return 0;
    const std::size_t compared = static_cast<std::size_t>(item->headerSize) + item->dataSize - 12;
    for (DWORD h = 1; h <= table->highestHandle && h <= table->capacity; ++h) {
        const BankItemHeader* other = Slots(table)[h - 1];
        if (!other || other == item || other->headerSize != item->headerSize ||
            other->dataSize != item->dataSize)
            continue;
        // From the checksum word to the end of the data.
        const auto* a = reinterpret_cast<const BYTE*>(item);
        const auto* b = reinterpret_cast<const BYTE*>(other);
        if (std::memcmp(a + 12, b + 12, compared) == 0) return h;
    }
    return 0;
}

LONG AddBankItemRef(ContextBanks* banks, int bank, DWORD handle) {
    BankItemHeader** slot = SlotOf(banks, bank, handle);
    if (!slot || !*slot) return 0;
    return static_cast<LONG>(++(*slot)->refCount);
}

LONG ReleaseBankItem(ContextBanks* banks, int bank, DWORD handle) {
    if (!ValidBank(banks, bank)) return -1;
    BankTable* table = TableOf(banks, bank);
    if (!table || handle < 1 || handle > table->highestHandle) return -1;
    BankItemHeader*& slot = Slots(table)[handle - 1];
    if (!slot) return 0;
    if (slot->refCount > 0) --slot->refCount;
    const LONG count = static_cast<LONG>(slot->refCount);
    if (count == 0) FreeMemory(&slot);
    return count;
}

BankItemHeader* GetBankItem(ContextBanks* banks, int bank, DWORD handle) {
    BankItemHeader** slot = SlotOf(banks, bank, handle);
    return slot ? *slot : nullptr;
}

DWORD GetBankCount(ContextBanks* banks, int bank) {
    BankTable* table = TableOf(banks, bank);
    return table ? table->highestHandle : 0;
}

DWORD GetBankCapacity(ContextBanks* banks, int bank) {
    BankTable* table = TableOf(banks, bank);
    return table ? table->capacity : 0;
}

void FreeBank(ContextBanks* banks, int bank) {
    if (!ValidBank(banks, bank)) return;
    // Masks and cached textures belong to images and go with them.
    if (bank == BankImages) {
        FreeBank(banks, BankMasks);
        FreeBank(banks, BankPlatformMasks);
        FreeBank(banks, BankTextures);
    }
    if (BankTable* table = banks->tables[bank]) {
        FreeItemsOf(table, bank);
        FreeMemory(&banks->tables[bank]);
    }
    CompactHeap();
}

void FreeAllBanks(ContextBanks* banks) {
    if (!banks) return;
    for (int bank = 0; bank < BankCount; ++bank)
        FreeBank(banks, bank);
}

// Bank -1 stands for every bank.
template <typename Change> void ForBanks(ContextBanks* banks, int bank, Change change) {
    for (int b = 0; b < BankCount; ++b)
        if (bank == -1 || bank == b)
            if (BankTable* table = TableOf(banks, b)) change(*table);
}

int LockBank(ContextBanks* banks, int bank) {
    ForBanks(banks, bank, [](BankTable& table) { table.flags |= BankLocked; });
    BeginHeapBatch();
    return 0;
}

int UnlockBank(ContextBanks* banks, int bank) {
    ForBanks(banks, bank, [](BankTable& table) { table.flags &= ~BankLocked; });
    EndHeapBatch();
    return 0;
}

int CompactBanks(ContextBanks*, int) {
    CompactHeap();
    return 0;
}

int GetFullScreenModes(FullScreenModeEntry* entries, int count) {
    static constexpr FullScreenModeEntry modes[] = {
        {8, 8, 3, {}}, {16, 15, 6, {}}, {24, 24, 4, {}}, {8, 8, 3, {}}};
    if (!entries) return 0;
    int n = 0;
    for (; n < count && n < static_cast<int>(std::size(modes)); ++n)
        entries[n] = modes[n];
    return n;
}
