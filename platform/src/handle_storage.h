// Storage for the objects whose addresses are handles (windows, menus, GDI objects, DCs, fonts, modules and
// the rest): an address is never handed out twice, so a handle kept after its object was destroyed never
// names a later object, and every handle check refuses it.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace win32::detail {

// Throws std::bad_alloc when no address is left, as operator new does when memory runs out.
void* AllocateHandleStorage(std::size_t size, std::size_t alignment);
// The memory of a destroyed object goes back to the system once its page holds no live object; the
// address itself is never given out again.
void ReleaseHandleStorage(void* storage, std::size_t size);

template <typename T, typename... Args> T* NewHandleObject(Args&&... args) {
    void* storage = AllocateHandleStorage(sizeof(T), alignof(T));
    if constexpr (std::is_aggregate_v<T>)
        return ::new (storage) T{std::forward<Args>(args)...};
    else
        return ::new (storage) T(std::forward<Args>(args)...);
}

template <typename T> void DeleteHandleObject(T* object) {
    if (!object) return;
    object->~T();
    ReleaseHandleStorage(object, sizeof(T));
}

struct HandleObjectDeleter {
    template <typename T> void operator()(T* object) const { DeleteHandleObject(object); }
};

} // namespace win32::detail
