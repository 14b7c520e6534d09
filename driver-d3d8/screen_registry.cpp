// The registry's lists: searched from the first entry, each operation under the one lock, which is never
// held while anything else is called.
#include "screen_registry.h"

#include "screen_surface.h"
#include "win32/kernel.h"

#include <algorithm>
#include <new>

using namespace win32;

// Nothing uses the threads' Direct3D objects once the driver goes.
ScreenRegistry::~ScreenRegistry() {
    for (const ThreadDirect3DEntry& entry : threads_)
        if (entry.direct3D) entry.direct3D->Release();
}

ScreenRegistry::ThreadDirect3DEntry* ScreenRegistry::FindThread(DWORD thread) {
    auto found = std::find_if(threads_.begin(), threads_.end(),
                              [&](const ThreadDirect3DEntry& e) { return e.thread == thread; });
    return found == threads_.end() ? nullptr : &*found;
}

IDirect3D8* ScreenRegistry::GetThreadDirect3D(cD3DScreenSurface** current) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(lock_);
    const ThreadDirect3DEntry* entry = FindThread(thread);
    if (current) *current = entry ? entry->currentScreen : nullptr;
    return entry ? entry->direct3D : nullptr;
}

void ScreenRegistry::SetThreadDirect3D(IDirect3D8* direct3D) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(lock_);
    if (ThreadDirect3DEntry* entry = FindThread(thread)) {
        entry->direct3D = direct3D;
        return;
    }
    // A list that cannot grow skips the add.
    try {
        threads_.push_back({thread, direct3D, nullptr});
    } catch (const std::bad_alloc&) {
    }
}

void ScreenRegistry::SetThreadCurrentScreen(cD3DScreenSurface* screen) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(lock_);
    if (ThreadDirect3DEntry* entry = FindThread(thread)) entry->currentScreen = screen;
}

void ScreenRegistry::RemoveThreadEntry() {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(lock_);
    std::erase_if(threads_, [&](const ThreadDirect3DEntry& e) { return e.thread == thread; });
    if (threads_.empty()) std::vector<ThreadDirect3DEntry>().swap(threads_);
}

void ScreenRegistry::AddScreen(IDirect3D8* direct3D, cD3DScreenSurface* screen) {
    std::lock_guard guard(lock_);
    const bool listed = std::any_of(screens_.begin(), screens_.end(), [&](const ScreenEntry& e) {
        return e.direct3D == direct3D && e.screen == screen;
    });
    if (listed) return;
    try {
        screens_.push_back({direct3D, screen});
    } catch (const std::bad_alloc&) {
    }
}

void ScreenRegistry::RemoveScreen(IDirect3D8* direct3D, cD3DScreenSurface* screen) {
    std::lock_guard guard(lock_);
    auto found = std::find_if(screens_.begin(), screens_.end(), [&](const ScreenEntry& e) {
        return e.direct3D == direct3D && e.screen == screen;
    });
    if (found == screens_.end()) return;
    screens_.erase(found);
    if (screens_.empty()) std::vector<ScreenEntry>().swap(screens_);
    for (ThreadDirect3DEntry& entry : threads_)
        if (entry.currentScreen == screen) entry.currentScreen = nullptr;
}

cD3DScreenSurface* ScreenRegistry::FindScreenByWindow(IDirect3D8* direct3D, HWND window) {
    std::lock_guard guard(lock_);
    for (const ScreenEntry& entry : screens_)
        if (entry.direct3D == direct3D && entry.screen->DeviceWindow() == window) return entry.screen;
    return nullptr;
}

std::size_t ScreenRegistry::ScreenCount() {
    std::lock_guard guard(lock_);
    return screens_.size();
}

std::size_t ScreenRegistry::ScreenCapacity() {
    std::lock_guard guard(lock_);
    return screens_.capacity();
}

std::size_t ScreenRegistry::ThreadCount() {
    std::lock_guard guard(lock_);
    return threads_.size();
}
