// The registry of kernel objects and CloseHandle.
#include "handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace win32::detail {

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
    // Handle values are numbers counted up and never given twice, so a closed handle stays invalid.
    std::uintptr_t lastHandle = 0x1000;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // never destroyed: handles may be closed during exit
    return *registry;
}

} // namespace

HANDLE RegisterObject(std::shared_ptr<KernelObject> object) {
    Registry& r = TheRegistry();
    std::lock_guard guard(r.lock);
    r.lastHandle += 4;
    HANDLE handle = reinterpret_cast<HANDLE>(r.lastHandle);
    r.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> FindObject(HANDLE handle) {
    Registry& r = TheRegistry();
    std::lock_guard guard(r.lock);
    auto it = r.objects.find(handle);
    return it == r.objects.end() ? nullptr : it->second;
}

bool UnregisterAny(HANDLE handle, bool (*accept)(const KernelObject&)) {
    std::shared_ptr<KernelObject> doomed; // released outside the lock
    {
        Registry& r = TheRegistry();
        std::lock_guard guard(r.lock);
        auto it = r.objects.find(handle);
        if (it != r.objects.end() && accept(*it->second)) {
            doomed = std::move(it->second);
            r.objects.erase(it);
        }
    }
    if (!doomed) SetLastError(ERROR_INVALID_HANDLE);
    return doomed != nullptr;
}

} // namespace win32::detail

namespace win32 {

BOOL CloseHandle(HANDLE handle) {
    return detail::UnregisterAny(handle, [](const detail::KernelObject&) { return true; }) ? TRUE : FALSE;
}

} // namespace win32
