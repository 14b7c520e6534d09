// Recursive locks in caller storage and thread-local slots.
#include "win32/kernel.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <mutex>
#include <new>

namespace win32 {

namespace {

static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION));

std::recursive_mutex& MutexOf(CRITICAL_SECTION* section) {
    return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->opaque));
}

// As many slots as Windows gives a process.
constexpr DWORD SlotCount = 1088;

// Each slot carries a generation: a value stored under an earlier allocation of the slot reads as null.
struct SlotTable {
    std::mutex lock;
    std::array<bool, SlotCount> used{};
    std::array<std::atomic<ULONGLONG>, SlotCount> generation{};
};

SlotTable& Slots() {
    static SlotTable* table = new SlotTable; // never destroyed: threads may read slots during exit
    return *table;
}

struct SlotValue {
    ULONGLONG generation = 0;
    void* value = nullptr;
};

thread_local std::array<SlotValue, SlotCount> threadSlots{};

bool ValidSlot(DWORD index) {
    if (index >= SlotCount) return false;
    SlotTable& table = Slots();
    std::lock_guard guard(table.lock);
    return table.used[index];
}

} // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    new (section->opaque) std::recursive_mutex;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    MutexOf(section).~recursive_mutex();
}

DWORD TlsAlloc() {
    SlotTable& table = Slots();
    std::lock_guard guard(table.lock);
    for (DWORD i = 0; i < SlotCount; ++i) {
        if (table.used[i]) continue;
        table.used[i] = true;
        ++table.generation[i];
        return i;
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return TLS_OUT_OF_INDEXES;
}

LPVOID TlsGetValue(DWORD index) {
    if (index >= SlotCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const SlotValue& slot = threadSlots[index];
    // Callers tell a stored null from a failure by the last error.
    SetLastError(ERROR_SUCCESS);
    return slot.generation == Slots().generation[index].load() ? slot.value : nullptr;
}

BOOL TlsSetValue(DWORD index, LPVOID value) {
    if (!ValidSlot(index)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    threadSlots[index] = {Slots().generation[index].load(), value};
    return TRUE;
}

BOOL TlsFree(DWORD index) {
    if (index >= SlotCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SlotTable& table = Slots();
    std::lock_guard guard(table.lock);
    if (!table.used[index]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    table.used[index] = false;
    ++table.generation[index];
    return TRUE;
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

} // namespace win32
