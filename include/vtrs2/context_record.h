// The application context's record and the calling thread's list of contexts. It
// stands with the sprites, the lowest layer that reads a context (its banks, mode and palette); the sound
// reads its channels, and the window layer (vtrs2/app_context.h) makes, changes and destroys contexts.
#pragma once

#include "vtrs2/containers.h"
#include "vtrs2/display_modes.h"
#include "vtrs2/export.h"
#include "vtrs2/sound_records.h"
#include "win32/types.h"

#include <cstdint>
#include <thread>

struct SharedPalette;
struct ContextBanks; // the six banks, kept by the bank code
class cSurfaceImplementation;

// Context state flags.
constexpr win32::WORD ContextBeingDestroyed = 0x0001;

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

// The calling thread's contexts, in creation order (null before its first context).
VTRS2_API CIndexList* GetThreadContexts();
// The window layer's entry and exit of a context in the calling thread's list; false when memory runs out.
bool AddThreadContext(AppContext* context);
void RemoveThreadContext(AppContext* context);
