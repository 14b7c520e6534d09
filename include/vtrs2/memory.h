// The library's memory functions: every block handed between the deliverables comes from here.
#pragma once

#include "vtrs2/export.h"

#include <cstddef>

// Each allocation that fails is retried once after the heap has been compacted.
VTRS2_API int AllocMemory(std::size_t size, void** block);
VTRS2_API int AllocZeroedMemory(std::size_t size, void** block);
VTRS2_API int ReallocMemory(std::size_t size, void** block);
VTRS2_API int FreeMemory(void** block);
VTRS2_API int FreeMemoryBlock(void* block);
VTRS2_API std::size_t GetMemorySize(const void* block);
VTRS2_API void CompactHeap();
VTRS2_API void BeginHeapBatch();
VTRS2_API void EndHeapBatch();

// Typed forms of the same functions for the library's own code.
template <typename T> int AllocMemory(std::size_t size, T** block) {
    return AllocMemory(size, reinterpret_cast<void**>(block));
}
template <typename T> int AllocZeroedMemory(std::size_t size, T** block) {
    return AllocZeroedMemory(size, reinterpret_cast<void**>(block));
}
template <typename T> int ReallocMemory(std::size_t size, T** block) {
    return ReallocMemory(size, reinterpret_cast<void**>(block));
}
template <typename T> int FreeMemory(T** block) {
    return FreeMemory(reinterpret_cast<void**>(block));
}
