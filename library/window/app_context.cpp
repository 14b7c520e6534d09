// The application context: creation, display mode and destruction.
#include "vtrs2/app_context.h"

#include "app_window_internal.h"
#include "vtrs2/app_palette.h"
#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/sound_channels.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/gdi.h"

#include <new>
#include <vector>

using namespace win32;

namespace {

constexpr int kPlainModeCode = 3;
constexpr int kInitialVolume = 100;
constexpr int kChannelCount = 32;

bool PlainModeKept(int code) {
    return code == 3 || code == 4 || code == 6 || code == 7 || code == 8;
}

void MakeWorkSurface(AppContext* context) {
    auto* surface = new (std::nothrow) cBufferSurface;
    if (!surface) return; // the context goes on without one
    surface->SetDepth(DisplayModeBits(context->displayMode));
    if (surface->depth == 8 && context->sharedPalette) surface->SetPalette(context->sharedPalette, 0);
    context->workSurface = surface;
}

void FreeWorkSurface(AppContext* context) {
    if (context->workSurface) context->workSurface->DestroyAndFree(1);
    context->workSurface = nullptr;
}

int ScreenCodeFromBits(int bits) {
    if (bits <= 4) return 2;
    if (bits <= 8) return 3;
    if (bits < 16) return 6;
    if (bits == 16) return 7;
    if (bits <= 24) return 4;
    return 8;
}

} // namespace

namespace {
// The code of a driver mode whose driver binds (Direct3D 9 first unless 0x80 asks for Direct3D 8), with the
// depth of the driver's screen; the plain code when none binds.
int DriverModeCode(int mode, int plain) {
    for (const bool nine : {true, false}) {
        if (nine && (mode & DisplayModeDirect3D8Flag)) continue;
        if (BindDisplayDriver(nine ? 1 : 0)) {
            const cSurface* screen = GetDriverPrototypeHolder(nine ? 1 : 0, PublicTypeScreen);
            const int bits = screen ? screen->GetDepth() : 0;
            return (mode & 0xFFF0) | DepthToDisplayMode(bits);
        }
        mode |= DisplayModeDirect3D8Flag;
    }
    return plain;
}
} // namespace

int GetScreenModeCode() {
    // Worked out once, on first use rather than at load, so that loading the library opens no display.
    static const int code = [] {
        HDC screen = GetDC(nullptr);
        if (!screen) return 8;
        const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        return ScreenCodeFromBits(bits);
    }();
    return code;
}

DWORD GetLibraryVersion() {
    return LibraryVersion;
}

AppContext* CreateAppContext(HINSTANCE owner, HPALETTE palette) {
    AppContext* context = nullptr;
    if (!AllocZeroedMemory(sizeof(AppContext), &context) || !context) return nullptr;
    new (context) AppContext{};
    // The banks are the context's own: images, sounds and fonts live as long as it does.
    if (!AllocZeroedMemory(sizeof(ContextBanks), &context->banks) || !context->banks) {
        context->~AppContext();
        FreeMemory(&context);
        return nullptr;
    }
    if (!AddThreadContext(context)) {
        FreeMemory(&context->banks);
        context->~AppContext();
        FreeMemory(&context);
        return nullptr;
    }
    context->owner = owner;
    context->displayMode = kPlainModeCode;
    context->masterVolume = kInitialVolume;
    context->masterPan = 0;
    context->channelCount = kChannelCount;
    for (SoundChannel& channel : context->channels)
        channel.volume = kInitialVolume;
    context->music.deviceId = -1;
    context->creator = std::this_thread::get_id();
    SetAppPalette(context, palette, nullptr);
    MakeWorkSurface(context);
    return context;
}

int SetAppDisplayMode(AppContext* context, int mode) {
    if (!context) return 0;
    int code = mode & DisplayModeDepthMask;
    if (code == 0)
        code = GetScreenModeCode();
    else if (!PlainModeKept(code))
        code = kPlainModeCode;
    if (mode & DisplayModeDriverFlag) code = DriverModeCode(mode, code);
    FreeWorkSurface(context);
    context->displayMode = static_cast<WORD>(code);
    MakeWorkSurface(context);
    int cursor = context->windows.GetHead();
    while (auto* window = static_cast<AppWindow*>(context->windows.Next(cursor)))
        window->displayMode = static_cast<WORD>(code);
    return code;
}

void DestroyAppContext(AppContext* context) {
    if (!context || (context->stateFlags & ContextBeingDestroyed)) return;
    // The context sits in its creator's list: destroyed elsewhere, that list would keep a freed record.
    if (context->creator != std::this_thread::get_id()) return;
    context->stateFlags |= ContextBeingDestroyed;
    StopSound(context, SoundKindMusic, nullptr);
    StopSound(context, SoundKindSample, nullptr);
    std::vector<AppWindow*> windows;
    int cursor = context->windows.GetHead();
    while (auto* window = static_cast<AppWindow*>(context->windows.Next(cursor)))
        windows.push_back(window);
    for (AppWindow* window : windows)
        if (context->windows.Find(window)) DestroyAppWindow(window);
    BeginHeapBatch();
    FreeBank(context->banks, BankImages);
    FreeBank(context->banks, BankFonts);
    FreeBank(context->banks, BankSounds);
    FreeAllBanks(context->banks); // whatever else was added
    EndHeapBatch();
    FreeMemory(&context->banks);
    ReleaseSharedPalette(context->sharedPalette);
    context->sharedPalette = nullptr;
    FreeWorkSurface(context);
    RemoveThreadContext(context);
    context->stateFlags &= static_cast<WORD>(~ContextBeingDestroyed);
    context->~AppContext();
    FreeMemory(&context);
}

AppWindow* FindAppWindow(HWND handle) {
    CIndexList* list = GetThreadContexts();
    if (!list || !handle) return nullptr;
    int cursor = list->GetHead();
    while (auto* context = static_cast<AppContext*>(list->Next(cursor))) {
        int inner = context->windows.GetHead();
        while (auto* window = static_cast<AppWindow*>(context->windows.Next(inner)))
            if (window->window == handle) return window;
    }
    return nullptr;
}
