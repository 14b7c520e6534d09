// One reserved range of addresses, handed out in order and never again: objects are placed one after
// another, and a page whose objects are all gone gives its memory back while its addresses stay taken.
#include "handle_storage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VTR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VTR_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(VTR_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace win32::detail {
namespace {

// 64 GiB of addresses: at thousands of handles a second a run takes weeks to use them up.
constexpr std::size_t ReservationSizes[] = {std::size_t{64} << 30, std::size_t{4} << 30,
                                            std::size_t{256} << 20};
constexpr std::size_t CommitStep = std::size_t{1} << 20;
constexpr std::size_t Granule = 16;

constexpr std::size_t RoundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

struct Arena {
    std::mutex lock;
    std::uintptr_t base = 0;
    std::size_t reserved = 0;
    std::size_t used = 0;      // bytes handed out, from the base
    std::size_t committed = 0; // bytes readable and writable, from the base
    std::size_t pageSize = 4096;
    std::vector<std::uint32_t> livePerPage; // objects that touch each committed page

    bool Reserve() {
        pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        for (std::size_t size : ReservationSizes) {
            void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (p == MAP_FAILED) continue;
            base = reinterpret_cast<std::uintptr_t>(p);
            reserved = size;
#if defined(VTR_ADDRESS_SANITIZER)
            // The leak checker looks for pointers in the live objects here, as it does in the heap's.
            __lsan_register_root_region(p, size);
#endif
            return true;
        }
        return false;
    }

    bool CommitTo(std::size_t end) {
        if (end <= committed) return true;
        const std::size_t target = std::min(reserved, RoundUp(end, CommitStep));
        if (mprotect(reinterpret_cast<void*>(base + committed), target - committed, PROT_READ | PROT_WRITE) !=
            0)
            return false;
        committed = target;
        livePerPage.resize(committed / pageSize, 0);
        return true;
    }

    void ReleasePage(std::size_t page) {
        void* start = reinterpret_cast<void*>(base + page * pageSize);
        madvise(start, pageSize, MADV_DONTNEED);
    }

    // A page can go back once nothing lives on it and no later object can be placed on it.
    void ReleaseIfDone(std::size_t page) {
        if (livePerPage[page] == 0 && (page + 1) * pageSize <= used) ReleasePage(page);
    }
};

Arena& TheArena() {
    static Arena* arena = new Arena; // never destroyed: handles are checked during exit too
    return *arena;
}

} // namespace

void* AllocateHandleStorage(std::size_t size, std::size_t alignment) {
    Arena& a = TheArena();
    std::lock_guard guard(a.lock);
    if (!a.base && !a.Reserve()) throw std::bad_alloc();
    // Whole granules of 16 bytes each, so that no two objects share the address checker's shadow bytes.
    size = RoundUp(std::max<std::size_t>(size, 1), Granule);
    alignment = std::max(alignment, Granule);
    const std::size_t start = RoundUp(a.used, alignment);
    if (start > a.reserved || size > a.reserved - start || !a.CommitTo(start + size)) throw std::bad_alloc();
    const std::size_t firstPage = a.used / a.pageSize;
    a.used = start + size;
    for (std::size_t page = start / a.pageSize; page <= (start + size - 1) / a.pageSize; ++page)
        ++a.livePerPage[page];
    // Pages the placement moved past, whose objects had all gone, go back now.
    for (std::size_t page = firstPage; page < start / a.pageSize; ++page)
        a.ReleaseIfDone(page);
    return reinterpret_cast<void*>(a.base + start);
}

void ReleaseHandleStorage(void* storage, std::size_t size) {
    if (!storage) return;
    Arena& a = TheArena();
    std::lock_guard guard(a.lock);
    size = RoundUp(std::max<std::size_t>(size, 1), Granule);
    const std::size_t start = reinterpret_cast<std::uintptr_t>(storage) - a.base;
#if defined(VTR_ADDRESS_SANITIZER)
    ASAN_POISON_MEMORY_REGION(storage, size);
#endif
    for (std::size_t page = start / a.pageSize; page <= (start + size - 1) / a.pageSize; ++page) {
        --a.livePerPage[page];
        a.ReleaseIfDone(page);
    }
}

} // namespace win32::detail
