// The palette of an application context and its windows: the palette of a context's display mode, the
// context's shared palette, and its selection into the windows' device contexts.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/palettes.h"
#include "win32/types.h"

struct AppContext;
struct AppWindow;

// --- the palette of a context's mode ------------------------------------------------------------------

VTRS2_API win32::COLORREF GetModePaletteColor(AppContext* context, int mode, int index);
// Copies the mode's palette with every flags byte cleared; answers the entry count (0 without a palette).
VTRS2_API int GetModeLogPalette(win32::LOGPALETTE* out, int mode, AppContext* context);
// The mode's palette as bitmap colour-table entries; answers the entry count.
VTRS2_API int GetModeRgbQuads(win32::RGBQUAD* out, int mode, AppContext* context);
VTRS2_API int FindColorIndex(AppContext* context, int mode, win32::COLORREF color);
VTRS2_API win32::DWORD GetPaletteBlackIndex(AppContext* context);

// --- the application context's palette ---------------------------------------------------------------

VTRS2_API void SetAppPalette(AppContext* context, win32::HPALETTE handle, SharedPalette* shared);
VTRS2_API void SetAppPaletteEx(AppContext* context, win32::HPALETTE handle, SharedPalette* shared);
VTRS2_API void SelectAppPalette(AppContext* context, win32::HPALETTE handle);
VTRS2_API void SelectWindowPalette(AppWindow* window, SharedPalette* palette);
// Puts back what the first SelectWindowPalette replaced in the window DC.
void RestoreWindowPalette(AppWindow* window);
