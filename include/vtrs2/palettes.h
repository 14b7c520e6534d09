// Palettes: the default palette of each display mode, and the reference-counted shared palettes that 8-bit
// surfaces and application contexts draw through. Colour matching is vtrs2/palette_matching.h; the palette
// of an application context and its windows is vtrs2/app_palette.h.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

#include <cstdint>

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

// --- default palettes -----------------------------------------------------------------------------------

// The default palette of a display-mode code (code & 0xF): 2, 16 or 256 entries; null for true colour.
VTRS2_API const LogPalette256* GetDefaultModePalette(int mode);
// The 256-colour default as a palette handle; a given block supplies entries 10-245 (236 four-byte entries
// after its first 40 bytes).
VTRS2_API win32::HPALETTE CreateDefaultPalette(const void* block);

// --- shared palettes and the per-thread registry ---------------------------------------------------------

VTRS2_API SharedPalette* GetSharedPalette(const win32::LOGPALETTE* palette);
VTRS2_API SharedPalette* AcquireSharedPalette(const win32::LOGPALETTE* palette);
VTRS2_API SharedPalette* GetFirstSharedPalette();
VTRS2_API SharedPalette* AddRefSharedPalette(SharedPalette* palette);
VTRS2_API void ReleaseSharedPalette(SharedPalette* palette);
VTRS2_API void FreeSharedPalette(SharedPalette* palette);
VTRS2_API win32::HPALETTE GetSharedPaletteHandle(SharedPalette* palette);
// The palette takes a caller's handle; the one it had made itself is deleted.
void SetSharedPaletteHandle(SharedPalette* palette, win32::HPALETTE handle);
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

// --- comparison and plain conversions ---------------------------------------------------------------------

// The 256 entries hold the same colours; from entry 1 on, black and RGB(8, 0, 0) stand for each other.
bool SamePaletteColours(const win32::PALETTEENTRY* a, const win32::PALETTEENTRY* b);
VTRS2_API void SetLogPaletteEntries(win32::LOGPALETTE* palette, const win32::PALETTEENTRY* source, int first,
                                    int count);
VTRS2_API void PaletteToRgbQuads(win32::RGBQUAD* destination, const win32::PALETTEENTRY* source, int count);
VTRS2_API void RgbQuadsToPalette(win32::PALETTEENTRY* destination, const win32::RGBQUAD* source, int count);
