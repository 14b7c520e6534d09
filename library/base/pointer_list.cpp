// Pointer lists: a bare pointer array whose count and capacity the caller keeps, grown in steps of 16.
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"

#include <climits>
#include <cstring>

namespace {

constexpr int ListStep = 16;

// Reallocates to `capacity` slots (freeing at 0); false with the array untouched on failure.
bool ResizeList(void*** items, int capacity) {
    if (capacity == 0) {
        FreeMemory(items);
        return true;
    }
    return ReallocMemory(static_cast<std::size_t>(capacity) * sizeof(void*), items) != 0;
}

} // namespace

int GrowPointerList(void*** items, int /*unused*/, int* capacity, int needed) {
    if (!items || !capacity) return 0;
    if (needed < *capacity) return 1;
    if (needed > INT_MAX - ListStep) return 0;
    // The next multiple of 16 above `needed`, so that slot `needed` exists whichever count the caller passed.
    const int grown = (needed / ListStep + 1) * ListStep;
    if (!ResizeList(items, grown)) return 0;
    *capacity = grown;
    return 1;
}

int ShrinkPointerList(void*** items, int /*unused*/, int* capacity, int count) {
    if (!items || !capacity || count < 0 || count > *capacity) return 0;
    const int shrunk = (count + ListStep - 1) / ListStep * ListStep;
    if (shrunk == *capacity) return 1;
    if (!ResizeList(items, shrunk)) return 0;
    *capacity = shrunk;
    return 1;
}

void RemovePointerListItem(void*** items, int* count, int* capacity, int index) {
    if (!items || !*items || !count || !capacity || index < 0 || index >= *count) return;
    const int remaining = *count - 1;
    std::memmove(*items + index, *items + index + 1,
                 static_cast<std::size_t>(remaining - index) * sizeof(void*));
    (*items)[remaining] = nullptr;
    *count = remaining;
    if (*capacity - remaining <= ListStep) return;
    const int lowered = *capacity - ListStep;
    if (ResizeList(items, lowered)) *capacity = lowered;
}
