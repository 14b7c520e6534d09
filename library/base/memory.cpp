// The library's memory functions over the process heap, with one retry after compaction.
#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Each block carries its requested size in front, so GetMemorySize answers exactly what was asked for.
constexpr std::size_t HeaderSize = 16;

std::atomic<int> injectSkip{0};
std::atomic<int> injectFail{0};
std::atomic<int> compactions{0};
int batchDepth = 0;

bool InjectedFailure() {
    if (injectFail.load() <= 0) return false;
    if (injectSkip.load() > 0) {
        --injectSkip;
        return false;
    }
    --injectFail;
    return true;
}

std::byte* HeaderOf(const void* block) {
    return static_cast<std::byte*>(const_cast<void*>(block)) - HeaderSize;
}

void* Finish(void* raw, std::size_t size) {
    std::memcpy(raw, &size, sizeof size);
    return static_cast<std::byte*>(raw) + HeaderSize;
}

void* TryAllocate(std::size_t size, bool zeroed) {
    if (size > SIZE_MAX - HeaderSize || InjectedFailure()) return nullptr;
    void* raw = zeroed ? std::calloc(1, size + HeaderSize) : std::malloc(size + HeaderSize);
    return raw ? Finish(raw, size) : nullptr;
}

void* TryReallocate(void* block, std::size_t size) {
    if (size > SIZE_MAX - HeaderSize || InjectedFailure()) return nullptr;
    void* raw = std::realloc(HeaderOf(block), size + HeaderSize);
    return raw ? Finish(raw, size) : nullptr;
}

template <typename Attempt> void* WithRetry(Attempt attempt) {
    if (void* result = attempt()) return result;
    CompactHeap();
    return attempt();
}

int Allocate(std::size_t size, void** block, bool zeroed) {
    if (!block) return 0;
    void* result = WithRetry([&] { return TryAllocate(size, zeroed); });
    if (!result) return 0;
    *block = result;
    return 1;
}

} // namespace

int AllocMemory(std::size_t size, void** block) {
    return Allocate(size, block, false);
}

int AllocZeroedMemory(std::size_t size, void** block) {
    return Allocate(size, block, true);
}

int ReallocMemory(std::size_t size, void** block) {
    if (!block) return 0;
    if (!*block) return AllocMemory(size, block);
    void* result = WithRetry([&] { return TryReallocate(*block, size); });
    if (!result) return 0;
    *block = result;
    return 1;
}

int FreeMemory(void** block) {
    if (!block || !*block) return 0;
    std::free(HeaderOf(*block));
    *block = nullptr;
    return 1;
}

int FreeMemoryBlock(void* block) {
    return FreeMemory(&block);
}

std::size_t GetMemorySize(const void* block) {
    if (!block) return 0;
    std::size_t size = 0;
    std::memcpy(&size, HeaderOf(block), sizeof size);
    return size;
}

void CompactHeap() {
    malloc_trim(0);
    ++compactions;
}

void BeginHeapBatch() {
    ++batchDepth;
}

void EndHeapBatch() {
    if (batchDepth <= 0) return;
    // Only the outermost batch compacts; inner ones would compact over and over.
    if (--batchDepth == 0) CompactHeap();
}

void SetAllocationFailures(int skip, int count) {
    injectSkip = skip;
    injectFail = count;
}

int GetHeapCompactionCount() {
    return compactions.load();
}
