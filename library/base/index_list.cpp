// CIndexList: a doubly linked list in one array, with a free list, so that item indexes stay stable.
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"

#include <climits>
#include <cstring>

CIndexList::CIndexList()
    : freeHead_(0), head_(0), freeTail_(0), tail_(0), slotCount_(0), freeCount_(0),
      growStep_(DefaultGrowStep), slots_(nullptr) {}

CIndexList::~CIndexList() {
    FreeMemory(&slots_);
    freeHead_ = head_ = freeTail_ = tail_ = slotCount_ = freeCount_ = 0;
}

bool CIndexList::HoldsItem(int index) const {
    return index > 0 && index < slotCount_ && slots_[index].inUse;
}

// Appends a slot to the end of the free list.
void CIndexList::ChainFree(int index) {
    IndexListSlot& slot = slots_[index];
    slot.item = nullptr;
    slot.inUse = 0;
    slot.next = 0;
    slot.previous = freeTail_;
    if (freeTail_)
        slots_[freeTail_].next = index;
    else
        freeHead_ = index;
    freeTail_ = index;
}

bool CIndexList::Grow() {
    const int first = slotCount_;
    if (growStep_ > INT_MAX - first) return false;
    const int newCount = first + growStep_;
    IndexListSlot* slots = slots_;
    const std::size_t bytes = static_cast<std::size_t>(newCount) * sizeof(IndexListSlot);
    if (!(slots ? ReallocMemory(bytes, &slots) : AllocZeroedMemory(bytes, &slots))) return false;
    std::memset(static_cast<void*>(slots + first), 0,
                static_cast<std::size_t>(growStep_) * sizeof(IndexListSlot));
    slots_ = slots;
    slotCount_ = newCount;
    freeCount_ += growStep_;
    // Slot 0 means "none", so it is counted as free but never chained.
    for (int i = first == 0 ? 1 : first; i < newCount; ++i)
        ChainFree(i);
    return true;
}

int CIndexList::TakeSlot(void* item) {
    if (!slots_ && !Grow()) return 0;
    if (!freeHead_ && !Grow()) return 0;
    const int index = freeHead_;
    IndexListSlot& slot = slots_[index];
    freeHead_ = slot.next;
    if (freeHead_)
        slots_[freeHead_].previous = 0;
    else
        freeTail_ = 0;
    slot.previous = slot.next = 0;
    slot.item = item;
    slot.inUse = 1;
    --freeCount_;
    return index;
}

// Links an unlinked slot behind `after`, or at the head when `after` is 0.
void CIndexList::LinkAfter(int index, int after) {
    IndexListSlot& slot = slots_[index];
    slot.previous = after;
    slot.next = after ? slots_[after].next : head_;
    if (slot.next)
        slots_[slot.next].previous = index;
    else
        tail_ = index;
    if (after)
        slots_[after].next = index;
    else
        head_ = index;
}

void CIndexList::Unlink(int index) {
    IndexListSlot& slot = slots_[index];
    if (slot.previous)
        slots_[slot.previous].next = slot.next;
    else
        head_ = slot.next;
    if (slot.next)
        slots_[slot.next].previous = slot.previous;
    else
        tail_ = slot.previous;
    slot.previous = slot.next = 0;
}

int CIndexList::Add(void* item) {
    const int index = TakeSlot(item);
    if (index) LinkAfter(index, tail_);
    return index;
}

int CIndexList::AddHead(void* item) {
    const int index = TakeSlot(item);
    if (index) LinkAfter(index, 0);
    return index;
}

int CIndexList::InsertAfter(int index, void* item) {
    if (index == 0) return AddHead(item);
    if (index >= slotCount_) return Add(item);
    if (!HoldsItem(index)) return 0;
    const int added = TakeSlot(item);
    if (added) LinkAfter(added, index);
    return added;
}

int CIndexList::InsertBefore(int index, void* item) {
    if (!HoldsItem(index)) return 0;
    const int added = TakeSlot(item);
    if (added) LinkAfter(added, slots_[index].previous);
    return added;
}

void CIndexList::MoveAfter(int index, int target) {
    if (index == target || !HoldsItem(index)) return;
    if (target == 0) {
        if (head_ == index) return;
    } else if (!HoldsItem(target) || slots_[target].next == index) {
        return;
    }
    Unlink(index);
    LinkAfter(index, target);
}

int CIndexList::Remove(int index) {
    if (!HoldsItem(index)) return 0;
    Unlink(index);
    ChainFree(index);
    ++freeCount_;
    return 1;
}

int CIndexList::Find(const void* item) const {
    for (int index = head_; index; index = slots_[index].next)
        if (slots_[index].item == item) return index;
    return 0;
}

void* CIndexList::GetAt(int index) const {
    return HoldsItem(index) ? slots_[index].item : nullptr;
}

int CIndexList::SetAt(int index, void* item) {
    if (!HoldsItem(index)) return 0;
    slots_[index].item = item;
    return 1;
}

void* CIndexList::Next(int& cursor) const {
    if (!HoldsItem(cursor)) {
        // A cursor that names no item ends the walk rather than leaving the caller looping on it.
        cursor = 0;
        return nullptr;
    }
    const IndexListSlot& slot = slots_[cursor];
    cursor = slot.next;
    return slot.item;
}

void* CIndexList::Prev(int& cursor) const {
    if (!HoldsItem(cursor)) {
        cursor = 0;
        return nullptr;
    }
    const IndexListSlot& slot = slots_[cursor];
    cursor = slot.previous;
    return slot.item;
}

void CIndexList::SetGrowStep(int step) {
    growStep_ = step > 0 ? step : DefaultGrowStep;
}

int CIndexList::GetHead() const {
    return head_;
}

int CIndexList::GetTail() const {
    return tail_;
}

int CIndexList::GetCount() const {
    return slotCount_ - freeCount_;
}
