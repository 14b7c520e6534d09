// PointerArray: a growable array of pointers in steps of 16 slots.
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int SlotStep = 16;

int RoundToStep(int count) {
    return (count + SlotStep - 1) / SlotStep * SlotStep;
}

void ZeroSlots(void** items, int from, int to) {
    if (to > from) std::fill(items + from, items + to, nullptr);
}

} // namespace

PointerArray::PointerArray() : count_(0), items_(nullptr) {}

PointerArray::~PointerArray() {
    FreeMemory(&items_);
    count_ = 0;
}

int PointerArray::SetSize(int count) {
    if (count < 0 || count > INT_MAX - 2 * SlotStep) return 0;
    if (count == 0) {
        FreeMemory(&items_);
        count_ = 0;
        return 1;
    }
    const int capacity = RoundToStep(count);
    if (!items_) {
        if (!AllocZeroedMemory(static_cast<std::size_t>(capacity) * sizeof(void*), &items_)) return 0;
    } else if (capacity != RoundToStep(count_)) {
        // The spare step keeps an array that hovers around a boundary from reallocating at every change.
        const int allocated = capacity + SlotStep;
        if (!ReallocMemory(static_cast<std::size_t>(allocated) * sizeof(void*), &items_)) return 0;
        ZeroSlots(items_, count_, allocated);
    } else {
        // Growing back inside the same block: slots once used and given up must not reappear.
        ZeroSlots(items_, count_, count);
    }
    count_ = count;
    return 1;
}

int PointerArray::Add(void* item) {
    const int index = count_;
    if (!SetSize(index + 1)) return -1;
    items_[index] = item;
    return index;
}

int PointerArray::Append(void* item) {
    return Add(item);
}

void* PointerArray::GetAt(int index) const {
    if (index < 0 || index >= count_) return nullptr;
    return items_[index];
}

void*& PointerArray::ElementAt(int index) {
    return items_[index];
}

void* PointerArray::SetAt(int index, void* item) {
    if (index >= 0 && index < count_) items_[index] = item;
    return item;
}

void PointerArray::ClearAt(int index) {
    if (index >= 0 && index < count_) items_[index] = nullptr;
}

int PointerArray::SetAtGrow(int index, void* item) {
    if (index < 0) return 0;
    if (index >= count_ && !SetSize(index + 1)) return 0;
    items_[index] = item;
    return 1;
}

int PointerArray::InsertAt(int index, void* item, int n) {
    if (index < 0 || index > count_ || n < 0 || n > INT_MAX - count_) return 0;
    if (n == 0) return 1;
    const int oldCount = count_;
    if (!SetSize(oldCount + n)) return 0;
    std::memmove(items_ + index + n, items_ + index,
                 static_cast<std::size_t>(oldCount - index) * sizeof(void*));
    std::fill(items_ + index, items_ + index + n, item);
    return 1;
}

void PointerArray::RemoveAt(int index, int n) {
    if (index < 0 || index >= count_ || n <= 0) return;
    n = std::min(n, count_ - index);
    std::memmove(items_ + index, items_ + index + n,
                 static_cast<std::size_t>(count_ - index - n) * sizeof(void*));
    ZeroSlots(items_, count_ - n, count_);
    count_ -= n;
}

int PointerArray::Find(const void* item) const {
    for (int i = 0; i < count_; ++i)
        if (items_[i] == item) return i;
    return -1;
}

int PointerArray::GetCount() const {
    return count_;
}
