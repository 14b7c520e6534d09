// The process-wide registry through which every driver surface finds its thread's Direct3D object, the
// thread's current screen and the screens bound to a window.
#pragma once

#include "win32/d3d8.h"

#include <cstddef>
#include <mutex>
#include <vector>

class cD3DScreenSurface;

class ScreenRegistry {
public:
    ScreenRegistry() = default;
    ScreenRegistry(const ScreenRegistry&) = delete;
    ScreenRegistry& operator=(const ScreenRegistry&) = delete;
    // Releases the Direct3D object of every thread still listed.
    ~ScreenRegistry();

    // The calling thread's Direct3D object (null without an entry); its current screen goes to *current.
    win32::IDirect3D8* GetThreadDirect3D(cD3DScreenSurface** current);
    // Gives the calling thread's entry this object, adding the entry when the thread has none.
    void SetThreadDirect3D(win32::IDirect3D8* direct3D);
    // Nothing when the calling thread has no entry.
    void SetThreadCurrentScreen(cD3DScreenSurface* screen);
    // Forgets the calling thread's entry; its Direct3D object is not released here.
    void RemoveThreadEntry();

    // A pair already listed is not listed twice.
    void AddScreen(win32::IDirect3D8* direct3D, cD3DScreenSurface* screen);
    // Removes the pair. A screen being destroyed stops being current on every thread, not only on the
    // calling one, so that no thread is left drawing to a freed screen.
    void RemoveScreen(win32::IDirect3D8* direct3D, cD3DScreenSurface* screen);
    // The first listed screen of that Direct3D object whose device window is the handle.
    cD3DScreenSurface* FindScreenByWindow(win32::IDirect3D8* direct3D, win32::HWND window);

    // For tests: the sizes of the two lists, and the screen list's room (0 once it was freed).
    std::size_t ScreenCount();
    std::size_t ScreenCapacity();
    std::size_t ThreadCount();

private:
    struct ThreadDirect3DEntry {
        win32::DWORD thread;
        win32::IDirect3D8* direct3D;
        cD3DScreenSurface* currentScreen;
    };
    struct ScreenEntry {
        win32::IDirect3D8* direct3D;
        cD3DScreenSurface* screen;
    };

    ThreadDirect3DEntry* FindThread(win32::DWORD thread);

    std::mutex lock_;
    std::vector<ThreadDirect3DEntry> threads_;
    std::vector<ScreenEntry> screens_;
};

// The one registry of the driver; it outlives every surface the driver made.
ScreenRegistry& Registry();
