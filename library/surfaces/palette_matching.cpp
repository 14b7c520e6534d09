// Colour matching against palettes: the nearest-colour search, the index of a colour in a display mode's
// palette, the palette-to-palette remap table, the nearest index of a shared palette with its lookup cache,
// the fitting of the static system colours into a palette, and the cache of system colours.
#include "vtrs2/palette_matching.h"

#include "win32/gdi.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

using namespace win32;

namespace {

constexpr int StaticLowEnd = 10;     // entries 0..9
constexpr int StaticHighStart = 246; // entries 246..255
constexpr int SystemColorCount = 29;
constexpr int UnreadSystemColor = 25;

int Red(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
int Green(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
int Blue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

int SquaredDistance(const PALETTEENTRY& e, COLORREF c) {
    const int r = e.peRed - Red(c), g = e.peGreen - Green(c), b = e.peBlue - Blue(c);
    return r * r + g * g + b * b;
}

int SumDistance(const PALETTEENTRY& e, COLORREF c) {
    return std::abs(e.peRed - Red(c)) + std::abs(e.peGreen - Green(c)) + std::abs(e.peBlue - Blue(c));
}

// The first index of [first, last) at the smallest sum distance; an exact match ends the search.
int NearestBySum(const PALETTEENTRY* entries, int first, int last, COLORREF c, int& best, int& bestDistance) {
    for (int i = first; i < last; ++i) {
        const int d = SumDistance(entries[i], c);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

// The static colours are those of the 256-colour default: the layer is a true-colour display, so they
// never change.
COLORREF StaticColor(int index) {
    return PaletteColor(GetDefaultModePalette(3)->entries[index]);
}

// Puts the entry nearest to static colour i at position i, or remaps i to an equal entry elsewhere.
bool PlaceStaticColor(PALETTEENTRY* entries, BYTE* remap, int i, int nearest) {
    if (nearest == i) return false;
    const COLORREF own = PaletteColor(entries[i]);
    for (int k = 0; k < PaletteSize; ++k)
        if (k != i && PaletteColor(entries[k]) == own) {
            if (remap) remap[i] = static_cast<BYTE>(k);
            return true;
        }
    std::swap(entries[i], entries[nearest]);
    if (remap) std::swap(remap[i], remap[nearest]);
    return true;
}

struct SystemColorCache {
    std::array<COLORREF, SystemColorCount> colors{};
    bool filled = false;
};

SystemColorCache& Cache() {
    static SystemColorCache cache;
    return cache;
}

} // namespace

int FindNearestColor(const PALETTEENTRY* entries, int count, COLORREF color) {
    if (!entries || count <= 0) return 0;
    color &= 0xFFFFFF;
    int first = 0;
    if (count == PaletteSize) {
        // Entry 0 is black's alone.
        if (color == 0) return 0;
        first = 1;
    }
    int best = first, bestDistance = SquaredDistance(entries[first], color);
    for (int i = first; i < count && bestDistance != 0; ++i) {
        const int d = SquaredDistance(entries[i], color);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int FindPaletteColorIndex(const LogPalette256* palette, COLORREF color) {
    if (!palette) return -1;
    color &= 0xFFFFFF;
    if (palette->count == PaletteSize) {
        // The static colours first, as a palette display keeps them whatever the application's palette.
        for (int first : {0, StaticHighStart}) {
            const int i = first + FindNearestColor(palette->entries + first, StaticLowEnd, color);
            if (PaletteColor(palette->entries[i]) == color) return i;
        }
    }
    return FindNearestColor(palette->entries, palette->count, color);
}

int RemapPalette(BYTE* table, const LOGPALETTE* target, const LOGPALETTE* source, WORD keepZero) {
    if (!table || !target || !source) return 0;
    const PALETTEENTRY* to = target->palPalEntry;
    const PALETTEENTRY* from = source->palPalEntry;
    const int targetCount = std::min<int>(target->palNumEntries, PaletteSize);
    const int sourceCount = std::min<int>(source->palNumEntries, PaletteSize);
    if (targetCount == PaletteSize && sourceCount == PaletteSize) {
        bool same = true;
        for (int i = 0; i < PaletteSize && same; ++i)
            same = PaletteColor(to[i]) == PaletteColor(from[i]);
        if (same) return 0;
    }
    for (int i = 0; i < sourceCount; ++i) {
        const COLORREF c = PaletteColor(from[i]);
        if (keepZero && i > 0 && targetCount > 1)
            table[i] = static_cast<BYTE>(1 + FindNearestColor(to + 1, targetCount - 1, c));
        else
            table[i] = static_cast<BYTE>(FindNearestColor(to, targetCount, c));
    }
    return 1;
}

int GetNearestPaletteIndex(SharedPalette* palette, COLORREF color) {
    if (!palette || (color & 0xFFFFFF) == 0) return 0;
    const LogPalette256& p = palette->palette;
    // Colours read back from the palette by index keep their index.
    const int byRed = Red(color);
    if (byRed < p.count && PaletteColor(p.entries[byRed]) == (color & 0xFFFFFF)) return byRed;
    if (!palette->lookup15) return FindNearestColor(p.entries, p.count, color);
    BYTE& cached = palette->lookup15[Lookup15Key(color)];
    if (cached == 0) cached = static_cast<BYTE>(FindNearestColor(p.entries, p.count, color));
    return cached;
}

int BuildPaletteLookup15(SharedPalette* palette) {
    if (!palette) return 0;
    if (palette->lookup15) return 1;
    palette->lookup15 = new (std::nothrow) BYTE[Lookup15Size]();
    if (!palette->lookup15) return 0;
    for (int i = 0; i < PaletteSize; ++i)
        palette->lookup15[Lookup15Key(PaletteColor(palette->palette.entries[i]))] = static_cast<BYTE>(i);
    return 1;
}

int GetNearestIndex15(SharedPalette* palette, COLORREF color) {
    if (!palette) return 0;
    if (!palette->lookup15 && !BuildPaletteLookup15(palette))
        return FindNearestColor(palette->palette.entries, palette->palette.count, color);
    BYTE& cached = palette->lookup15[Lookup15Key(color)];
    if (cached == 0)
        cached = static_cast<BYTE>(FindNearestColor(palette->palette.entries, palette->palette.count, color));
    return cached;
}

SharedPalette* GetSharedPaletteForColors(SharedPalette* palette, BYTE* remap) {
    if (!palette) return nullptr;
    LogPalette256 fitted = palette->palette;
    fitted.count = PaletteSize;
    BYTE identity[PaletteSize];
    FitSystemColorsIntoPalette(fitted.entries, palette->palette.entries, remap ? remap : identity);
    if (SamePaletteColours(fitted.entries, palette->palette.entries)) return AddRefSharedPalette(palette);
    return GetSharedPalette(fitted.Log());
}

int FitSystemColorsIntoPalette(PALETTEENTRY* destination, const PALETTEENTRY* source, BYTE* remap) {
    if (!destination || !source) return 0;
    if (destination != source) std::copy(source, source + PaletteSize, destination);
    if (remap)
        for (int i = 0; i < PaletteSize; ++i)
            remap[i] = static_cast<BYTE>(i);
    bool changed = false;
    for (int i = 0; i < StaticLowEnd; ++i) {
        int best = i, distance = 1 << 30;
        NearestBySum(destination, i, PaletteSize, StaticColor(i), best, distance);
        changed |= PlaceStaticColor(destination, remap, i, best);
    }
    for (int i = StaticHighStart; i < PaletteSize; ++i) {
        int best = i, distance = 1 << 30;
        NearestBySum(destination, i, PaletteSize, StaticColor(i), best, distance);
        if (distance != 0)
            NearestBySum(destination, StaticLowEnd, StaticHighStart, StaticColor(i), best, distance);
        changed |= PlaceStaticColor(destination, remap, i, best);
    }
    for (int i = 0; i < PaletteSize; ++i) {
        PALETTEENTRY& e = destination[i];
        if (i < StaticLowEnd || i >= StaticHighStart) {
            const COLORREF c = StaticColor(i);
            e = {static_cast<BYTE>(Red(c)), static_cast<BYTE>(Green(c)), static_cast<BYTE>(Blue(c)), 0};
            continue;
        }
        e.peFlags = PaletteNoCollapse;
        // A free entry must not duplicate the static black.
        if (e.peRed < 8 && e.peGreen < 8 && e.peBlue < 8) e = {8, 0, 0, PaletteNoCollapse};
    }
    return changed ? 1 : 0;
}

// The layer's screen always has 32 bits per pixel, which keep every system colour as it is; only a 15- or
// 16-bit screen would show them reduced.
void InitSystemColors() {
    SystemColorCache& cache = Cache();
    for (int i = 0; i < SystemColorCount; ++i)
        cache.colors[static_cast<std::size_t>(i)] = i == UnreadSystemColor ? 0 : GetSysColor(i);
    cache.filled = true;
}

COLORREF GetSysColorCached(int index) {
    if (index < 0 || index >= SystemColorCount) return GetSysColor(index);
    if (!Cache().filled) InitSystemColors();
    return Cache().colors[static_cast<std::size_t>(index)];
}

void RefreshSystemColors() {
    if (Cache().filled) InitSystemColors();
}

int ColorsWithinTolerance(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
           std::abs(Blue(a) - Blue(b)) <= tolerance;
}
