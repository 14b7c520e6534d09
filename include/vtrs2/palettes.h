// Palettes: the default palette of each display mode, the reference-counted shared palettes that 8-bit
// surfaces and application contexts draw through, nearest-colour matching, and the system colours.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

#include <cstdint>

struct AppContext;
struct AppWindow;

constexpr win32::WORD LogPaletteVersion = 0x300;
constexpr int PaletteSize = 256;
constexpr std::size_t Lookup15Size = 32768;
// PALETTEENTRY flags: an entry that the system must never collapse onto another.
constexpr win32::BYTE PaletteNoCollapse = 0x04;
// A colour of the form 0x0100iiii names palette index iiii.
constexpr win32::COLORREF PaletteIndexForm = 0x01000000;
// Black never stands in a shared palette except at entry 0; other black entries become this colour.
constexpr win32::COLORREF NearBlack = 0x000008;

// A LOGPALETTE with room for all 256 entries.
struct LogPalette256 {
    win32::WORD version;
    win32::WORD count;
    win32::PALETTEENTRY entries[PaletteSize];

    win32::LOGPALETTE* Log() { return reinterpret_cast<win32::LOGPALETTE*>(this); }
    const win32::LOGPALETTE* Log() const { return reinterpret_cast<const win32::LOGPALETTE*>(this); }
};
static_assert(sizeof(LogPalette256) == 4 + 4 * PaletteSize);

// A palette shared by every surface and context of a thread that uses the same colours.
struct SharedPalette {
    LogPalette256 palette;
    win32::BYTE* lookup15; // 32,768 bytes keyed by a 5-5-5 colour; null until built; 0 = not known yet
    win32::HPALETTE handle;
    win32::DWORD blackIndex; // entry nearest to black among 1 .. count - 1
    win32::LONG refCount;
};

// The entries as a COLORREF with the flags byte on top, as 8-bit pixel reads answer them.
inline win32::DWORD PaletteWord(const win32::PALETTEENTRY& e) {
    return e.peRed | (e.peGreen << 8) | (e.peBlue << 16) | (static_cast<win32::DWORD>(e.peFlags) << 24);
}
inline win32::COLORREF PaletteColor(const win32::PALETTEENTRY& e) {
    return PaletteWord(e) & 0xFFFFFF;
}
// The 15-bit lookup key of a COLORREF.
inline std::uint32_t Lookup15Key(win32::COLORREF c) {
    return (((c & 0xFF) >> 3) << 10) | (((c >> 8 & 0xFF) >> 3) << 5) | ((c >> 16 & 0xFF) >> 3);
}

// --- default palettes and the palette of a context's mode ----------------------------------------------

// The default palette of a display-mode code (code & 0xF): 2, 16 or 256 entries; null for true colour.
VTRS2_API const LogPalette256* GetDefaultModePalette(int mode);
VTRS2_API win32::COLORREF GetModePaletteColor(AppContext* context, int mode, int index);
// The 256-colour default as a palette handle; a given block supplies entries 10-245 (236 four-byte entries
// after its first 40 bytes).
VTRS2_API win32::HPALETTE CreateDefaultPalette(const void* block);
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

// --- shared palettes and the per-thread registry ---------------------------------------------------------

VTRS2_API SharedPalette* GetSharedPalette(const win32::LOGPALETTE* palette);
VTRS2_API SharedPalette* AcquireSharedPalette(const win32::LOGPALETTE* palette);
VTRS2_API SharedPalette* GetFirstSharedPalette();
VTRS2_API SharedPalette* AddRefSharedPalette(SharedPalette* palette);
VTRS2_API void ReleaseSharedPalette(SharedPalette* palette);
VTRS2_API void FreeSharedPalette(SharedPalette* palette);
// The palette with the static system colours fitted in, filling a 256-byte remap table of the moves.
VTRS2_API SharedPalette* GetSharedPaletteForColors(SharedPalette* palette, win32::BYTE* remap);
VTRS2_API win32::HPALETTE GetSharedPaletteHandle(SharedPalette* palette);
VTRS2_API int BuildPaletteLookup15(SharedPalette* palette);
VTRS2_API int GetNearestIndex15(SharedPalette* palette, win32::COLORREF color);
// The calling thread's shared palette with the same colours, or null.
VTRS2_API SharedPalette* FindMatchingSharedPalette(const win32::LOGPALETTE* palette);
// Thread start and end: the default palettes are read and the thread's registry entry is made or dropped.
VTRS2_API void InitSystemPalette();
VTRS2_API void FreeThreadPalettes();
void RegisterPaletteThread();
void UnregisterPaletteThread();
// A thread that starts the surface library again after it ended its palettes starts them again; one that
// has not used a palette yet starts them at its first use.
void RestartPaletteThread();
// Process end: every palette of every thread.
void FreePaletteRegistry();
// The shared palette of a bitmap colour table (RGBQUADs), with one more reference; null when it cannot be
// had.
SharedPalette* GetSharedPaletteForQuads(const win32::RGBQUAD* quads, int count);

// --- nearest colours -----------------------------------------------------------------------------------

// The entry nearest to a colour; over 256 entries black answers 0 and entry 0 is never chosen for other
// colours. Ties go to the lowest index.
VTRS2_API int FindNearestColor(const win32::PALETTEENTRY* entries, int count, win32::COLORREF color);
// A 256-byte table from the source's indexes to the target's nearest ones; 0 (table untouched) when both
// hold the same 256 colours. With keepZero only source entry 0 may map to target index 0.
VTRS2_API int RemapPalette(win32::BYTE* table, const win32::LOGPALETTE* target,
                           const win32::LOGPALETTE* source, win32::WORD keepZero);
VTRS2_API int GetNearestPaletteIndex(SharedPalette* palette, win32::COLORREF color);
VTRS2_API int FitSystemColorsIntoPalette(win32::PALETTEENTRY* destination, const win32::PALETTEENTRY* source,
                                         win32::BYTE* remap);
VTRS2_API void SetLogPaletteEntries(win32::LOGPALETTE* palette, const win32::PALETTEENTRY* source, int first,
                                    int count);
VTRS2_API void PaletteToRgbQuads(win32::RGBQUAD* destination, const win32::PALETTEENTRY* source, int count);
VTRS2_API void RgbQuadsToPalette(win32::PALETTEENTRY* destination, const win32::RGBQUAD* source, int count);

// --- system colours ------------------------------------------------------------------------------------

VTRS2_API void InitSystemColors();
VTRS2_API win32::COLORREF GetSysColorCached(int index);
VTRS2_API void RefreshSystemColors();
VTRS2_API int ColorsWithinTolerance(win32::COLORREF a, win32::COLORREF b, int tolerance);

// --- bank images as bitmaps ----------------------------------------------------------------------------

VTRS2_API void FillDib(win32::BITMAPINFO* dib, win32::COLORREF color);
VTRS2_API void RemapDibToContextPalette(win32::BITMAPINFO* dib, AppContext* context,
                                        const win32::BYTE* table);
VTRS2_API int IsImageFullyTransparent(AppContext* context, win32::DWORD image);
VTRS2_API int StretchImageToBuffer(AppContext* context, win32::DWORD image, int width, int height,
                                   void* buffer);
VTRS2_API int ImageToDib(AppContext* context, win32::DWORD image, int code, win32::BITMAPINFO* dib);
