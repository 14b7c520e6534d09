// The library's application context: one per running application, first argument of most plain exports.
#pragma once

#include "vtrs2/containers.h"
#include "vtrs2/export.h"
#include "vtrs2/sound_records.h"
#include "win32/types.h"

#include <cstdint>
#include <thread>

struct SharedPalette;
struct ContextBanks; // the six banks, kept by the bank code
class cSurfaceImplementation;
struct AppWindow;

// Display-mode code: the low 4 bits index the depth table; 0x10 draws through a display driver, and 0x80
// of a driver mode names the Direct3D 8 driver.
constexpr win32::WORD DisplayModeDepthMask = 0x000F;
constexpr win32::WORD DisplayModeDriverFlag = 0x0010;
constexpr win32::WORD DisplayModeDirect3D8Flag = 0x0080;

// Context state flags.
constexpr win32::WORD ContextBeingDestroyed = 0x0001;

constexpr win32::DWORD LibraryVersion = 0x00030118;

struct AppContext {
    win32::HINSTANCE owner; // instance of every window the context creates
    win32::WORD displayMode;
    win32::WORD stateFlags;
    win32::DWORD blackIndex;
    SharedPalette* sharedPalette;
    ContextBanks* banks;
    win32::DWORD reserved[2];
    cSurfaceImplementation* workSurface; // a memory surface of the mode's depth, the model of new surfaces
    std::int32_t masterVolume;           // 0..100
    std::int32_t masterPan;              // -100..100
    std::int32_t channelCount;           // 1..32
    SoundChannel channels[SoundChannelCount]; // channel n is record n - 1
    MusicRecord music;
    win32::WCHAR* musicName; // wide copy of the music file's name, or null
    CIndexList windows;      // the context's AppWindow records, in creation order
    std::thread::id creator;
};

// Bits per pixel of each display-mode code (low 4 bits); codes above 8 have none.
VTRS2_API int DisplayModeBits(int code);
// The display-mode code of a driver's depth.
VTRS2_API int DepthToDisplayMode(int bitsPerPixel);
// The display-mode code of the desktop.
VTRS2_API int GetScreenModeCode();

VTRS2_API AppContext* CreateAppContext(win32::HINSTANCE owner, win32::HPALETTE palette);
VTRS2_API int SetAppDisplayMode(AppContext* context, int mode);
// Only the thread that created a context destroys it; from another thread the call does nothing.
VTRS2_API void DestroyAppContext(AppContext* context);
VTRS2_API win32::DWORD GetLibraryVersion();
// The record of a window among all contexts of the calling thread, or null.
VTRS2_API AppWindow* FindAppWindow(win32::HWND window);
// The calling thread's contexts, in creation order (null before its first context).
VTRS2_API CIndexList* GetThreadContexts();
