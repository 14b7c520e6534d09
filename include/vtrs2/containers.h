// The library's small containers of pointers, shared with the program and the display driver.
#pragma once

#include "vtrs2/export.h"

#include <cstdint>

// A growable array of pointers; the storage comes from the library's memory functions and grows in
// steps of 16 slots, new slots zero.
class VTRS2_API PointerArray {
public:
    PointerArray();
    ~PointerArray();
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;

    // Sets the count (0 frees the storage); 1, or 0 with the array unchanged when memory runs out.
    int SetSize(int count);
    // Appends and returns the new index, or -1 when the array cannot grow.
    int Add(void* item);
    int Append(void* item);
    // The item at an index, or null outside the array.
    void* GetAt(int index) const;
    // The slot itself, without a bound check.
    void*& ElementAt(int index);
    // Stores an item below the count; returns the item.
    void* SetAt(int index, void* item);
    void ClearAt(int index);
    // Stores an item, growing the count to index + 1 when needed; 0 for a negative index or no memory.
    int SetAtGrow(int index, void* item);
    // Opens `n` slots at `index`, each holding the item; 0 when index is outside 0..count or no memory.
    int InsertAt(int index, void* item, int n = 1);
    // Removes up to `n` slots from `index`; nothing when the index is outside the array.
    void RemoveAt(int index, int n = 1);
    // The first index holding the item, or -1.
    int Find(const void* item) const;

    int GetCount() const;

private:
    int count_;
    void** items_;
};

// One slot of a CIndexList: links and flag as 32-bit words, the item pointer-sized.
struct IndexListSlot {
    std::int32_t previous;
    std::int32_t next;
    void* item;
    std::int32_t inUse;
};

// A doubly linked list kept in one array, whose 1-based indexes stay valid for the life of an item.
// Index 0 means none; slot 0 is never handed out. Freed slots are reused only after all older free ones.
class VTRS2_API CIndexList {
public:
    static constexpr int DefaultGrowStep = 32;

    CIndexList();
    ~CIndexList();
    CIndexList(const CIndexList&) = delete;
    CIndexList& operator=(const CIndexList&) = delete;

    // Each returns the new item's index, or 0 when memory runs out or the index given is refused.
    int Add(void* item);
    int AddHead(void* item);
    // Index 0 adds at the head; an index at or beyond the slot count adds at the tail.
    int InsertAfter(int index, void* item);
    int InsertBefore(int index, void* item);
    // Moves an item to the head (target 0) or behind the target item.
    void MoveAfter(int index, int target);
    // 1 when an item was removed, 0 for an index that holds none.
    int Remove(int index);
    // The index of the first item, from the head, that holds the pointer; 0 if none.
    int Find(const void* item) const;
    void* GetAt(int index) const;
    // 1 when stored, 0 for an index that holds no item.
    int SetAt(int index, void* item);
    // The item at the cursor; the cursor moves to the next (previous) item, 0 at the end.
    void* Next(int& cursor) const;
    void* Prev(int& cursor) const;
    // Slots added each time the list runs out of free ones; 0 or less means the default.
    void SetGrowStep(int step);

    int GetHead() const;
    int GetTail() const;
    int GetCount() const;

private:
    bool HoldsItem(int index) const;
    int TakeSlot(void* item);
    bool Grow();
    void ChainFree(int index);
    void Unlink(int index);
    void LinkAfter(int index, int after);

    std::int32_t freeHead_;
    std::int32_t head_;
    std::int32_t freeTail_;
    std::int32_t tail_;
    std::int32_t slotCount_;
    std::int32_t freeCount_;
    std::int32_t growStep_;
    IndexListSlot* slots_;
};

// A bare array of pointers whose count and capacity (a multiple of 16) the caller keeps.
// Grows the array so that it holds more than `needed` items; a failure keeps the array and the capacity.
VTRS2_API int GrowPointerList(void*** items, int unused, int* capacity, int needed);
// Reallocates the array down to the count rounded up to 16; a failure keeps the array and the capacity.
VTRS2_API int ShrinkPointerList(void*** items, int unused, int* capacity, int count);
// Removes one item, moving the later ones down, and gives back storage when more than 16 slots are free.
VTRS2_API void RemovePointerListItem(void*** items, int* count, int* capacity, int index);
