// Kernel objects behind HANDLE values: a registry, so that a stale or foreign handle is refused, not
// followed.
#pragma once

#include "win32/kernel.h"

#include <memory>

namespace win32::detail {

struct KernelObject {
    virtual ~KernelObject() = default;
};

// The handle is a value of the registry's own, never given to another object; it stays valid until
// CloseHandle.
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);

std::shared_ptr<KernelObject> FindObject(HANDLE handle);

// The object of that kind behind a handle, or null with ERROR_INVALID_HANDLE.
template <typename T> std::shared_ptr<T> LookupObject(HANDLE handle) {
    auto object = std::dynamic_pointer_cast<T>(FindObject(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Removes the handle; false (ERROR_INVALID_HANDLE) when it names no object of that kind.
template <typename T> bool UnregisterObject(HANDLE handle);
bool UnregisterAny(HANDLE handle, bool (*accept)(const KernelObject&));

template <typename T> bool UnregisterObject(HANDLE handle) {
    return UnregisterAny(handle, [](const KernelObject& o) { return dynamic_cast<const T*>(&o) != nullptr; });
}

} // namespace win32::detail
