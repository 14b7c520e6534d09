// The palette of an application context and its windows: the palette of a context's display mode, the
// context's shared palette and its selection into the windows' device contexts.
#include "vtrs2/app_palette.h"

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/gdi_surfaces.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/surface_implementation.h"
#include "win32/gdi.h"

#include <vector>

using namespace win32;

namespace {

// The black of a context without a palette: the true-colour modes' entry.
constexpr int TrueColourBlackIndex = 4;
constexpr int PaletteModeCode = 3;

// Mode 3 with a context: the context's shared palette; otherwise the mode's default.
const LogPalette256* ModePalette(AppContext* context, int mode) {
    mode &= DisplayModeDepthMask;
    if (mode == PaletteModeCode && context)
        return context->sharedPalette ? &context->sharedPalette->palette : nullptr;
    return GetDefaultModePalette(mode);
}

void GiveToWorkSurface(AppContext* context) {
    cSurfaceImplementation* work = context->workSurface;
    if (work && work->depth == 8) work->SetPalette(context->sharedPalette, 0);
}

void Install(AppContext* context, SharedPalette* palette, HPALETTE handle) {
    if (context->sharedPalette) ReleaseSharedPalette(context->sharedPalette);
    context->sharedPalette = palette;
    context->blackIndex = palette->blackIndex;
    SetSharedPaletteHandle(palette, handle);
    GiveToWorkSurface(context);
}

// A full-screen window that does not allow it keeps palettes out of the windows' DCs.
bool AnyWindowBlocksPalette() {
    const HWND fullScreen = GetFullScreenWindow();
    if (!fullScreen) return false;
    const AppWindow* window = FindAppWindow(fullScreen);
    return !(window && (window->stateFlags & AppWindowPaletteInFullScreen));
}

template <typename Visit> void ForEachWindow(AppContext* context, Visit&& visit) {
    std::vector<AppWindow*> windows;
    int cursor = context->windows.GetHead();
    while (auto* window = static_cast<AppWindow*>(context->windows.Next(cursor)))
        windows.push_back(window);
    for (AppWindow* window : windows)
        visit(window);
}

} // namespace

COLORREF GetModePaletteColor(AppContext* context, int mode, int index) {
    const LogPalette256* p = ModePalette(context, mode);
    if (!p || index < 0 || index >= p->count) return 0;
    return PaletteColor(p->entries[index]);
}

int GetModeLogPalette(LOGPALETTE* out, int mode, AppContext* context) {
    const LogPalette256* p = ModePalette(context, mode);
    if (!p) return 0;
    if (out) {
        out->palVersion = p->version;
        out->palNumEntries = p->count;
        PALETTEENTRY* entries = out->palPalEntry;
        for (int i = 0; i < p->count; ++i)
            entries[i] = {p->entries[i].peRed, p->entries[i].peGreen, p->entries[i].peBlue, 0};
    }
    return p->count;
}

int GetModeRgbQuads(RGBQUAD* out, int mode, AppContext* context) {
    const LogPalette256* p = ModePalette(context, mode);
    if (!p) return 0;
    if (out) PaletteToRgbQuads(out, p->entries, p->count);
    return p->count;
}

int FindColorIndex(AppContext* context, int mode, COLORREF color) {
    mode &= DisplayModeDepthMask;
    if (mode == 4 || mode == 6 || mode == 7 || mode == 8) return -1;
    if ((color & 0xFF000000) == PaletteIndexForm) return static_cast<int>(color & 0xFFFF);
    return FindPaletteColorIndex(ModePalette(context, mode), color);
}

DWORD GetPaletteBlackIndex(AppContext* context) {
    return context ? context->blackIndex : TrueColourBlackIndex;
}

void SetAppPalette(AppContext* context, HPALETTE handle, SharedPalette* shared) {
    if (!context) return;
    if (shared) {
        AddRefSharedPalette(shared);
        Install(context, shared, handle);
        return;
    }
    SharedPalette* palette = nullptr;
    if (handle) {
        LogPalette256 read{};
        read.version = LogPaletteVersion;
        read.count = PaletteSize;
        if (GetPaletteEntries(handle, 0, PaletteSize, read.entries) == 0) return;
        palette = GetSharedPalette(read.Log());
    } else {
        palette = GetSharedPalette(GetDefaultModePalette(PaletteModeCode)->Log());
    }
    if (!palette) return;
    Install(context, palette, handle);
}

void SelectWindowPalette(AppWindow* window, SharedPalette* palette) {
    if (!window || !palette) return;
    if (palette->handle && window->dc && !AnyWindowBlocksPalette()) {
        HPALETTE previous = SelectPalette(window->dc, palette->handle, FALSE);
        if (!window->previousPalette) window->previousPalette = previous;
        RealizePalette(window->dc);
        window->selectedPalette = palette->handle;
    }
    if (window->workImplementation) window->workImplementation->SetPalette(palette, 0);
}

void RestoreWindowPalette(AppWindow* window) {
    if (!window || !window->dc || !window->previousPalette) return;
    SelectPalette(window->dc, window->previousPalette, FALSE);
    window->previousPalette = nullptr;
    window->selectedPalette = nullptr;
}

void SelectAppPalette(AppContext* context, HPALETTE handle) {
    if (!context) return;
    if (!context->sharedPalette || handle != context->sharedPalette->handle)
        SetAppPalette(context, handle, nullptr);
    if ((context->displayMode & DisplayModeDepthMask) != PaletteModeCode || !context->sharedPalette) return;
    ForEachWindow(context, [&](AppWindow* window) { SelectWindowPalette(window, context->sharedPalette); });
}

void SetAppPaletteEx(AppContext* context, HPALETTE handle, SharedPalette* shared) {
    if (!context) return;
    const HPALETTE oldHandle = context->sharedPalette ? context->sharedPalette->handle : nullptr;
    if ((!shared && handle != oldHandle) || (shared && shared != context->sharedPalette))
        SetAppPalette(context, handle, shared);
    if ((context->displayMode & DisplayModeDepthMask) != PaletteModeCode || !context->sharedPalette) return;
    ForEachWindow(context, [&](AppWindow* window) {
        if (window->selectedPalette == oldHandle) SelectWindowPalette(window, context->sharedPalette);
    });
}
