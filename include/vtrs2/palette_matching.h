// Colour matching against palettes: the nearest entry to a colour, the index of a colour in a palette,
// remap tables between palettes, the lookup cache of a shared palette, the fitting of the static system
// colours, and the cache of system colours.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/palettes.h"
#include "win32/types.h"

// The entry nearest to a colour; over 256 entries black answers 0 and entry 0 is never chosen for other
// colours. Ties go to the lowest index.
VTRS2_API int FindNearestColor(const win32::PALETTEENTRY* entries, int count, win32::COLORREF color);
// The index of a colour in a palette: in a 256-entry palette a static colour where it stands, else the
// nearest entry; -1 without a palette.
int FindPaletteColorIndex(const LogPalette256* palette, win32::COLORREF color);
// A 256-byte table from the source's indexes to the target's nearest ones; 0 (table untouched) when both
// hold the same 256 colours. With keepZero only source entry 0 may map to target index 0.
VTRS2_API int RemapPalette(win32::BYTE* table, const win32::LOGPALETTE* target,
                           const win32::LOGPALETTE* source, win32::WORD keepZero);
VTRS2_API int GetNearestPaletteIndex(SharedPalette* palette, win32::COLORREF color);
VTRS2_API int BuildPaletteLookup15(SharedPalette* palette);
VTRS2_API int GetNearestIndex15(SharedPalette* palette, win32::COLORREF color);
VTRS2_API int FitSystemColorsIntoPalette(win32::PALETTEENTRY* destination, const win32::PALETTEENTRY* source,
                                         win32::BYTE* remap);
// The palette with the static system colours fitted in, filling a 256-byte remap table of the moves.
VTRS2_API SharedPalette* GetSharedPaletteForColors(SharedPalette* palette, win32::BYTE* remap);

// --- system colours ------------------------------------------------------------------------------------

VTRS2_API void InitSystemColors();
VTRS2_API win32::COLORREF GetSysColorCached(int index);
VTRS2_API void RefreshSystemColors();
VTRS2_API int ColorsWithinTolerance(win32::COLORREF a, win32::COLORREF b, int tolerance);
