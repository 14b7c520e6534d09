// Default palettes, shared palettes and their per-thread registry, nearest colours, remap tables, the
// fitting of the static colours, and the palette of an application context.
#include "vtrs2/app_context.h"
#include "vtrs2/app_palette.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palette_dibs.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/palettes.h"
#include "vtrs2/surface.h"
#include "win32/gdi.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <thread>
#include <vector>

using namespace win32;

namespace {

PALETTEENTRY Rgb(BYTE r, BYTE g, BYTE b) {
    return {r, g, b, 0};
}

// A palette of distinct colours: entry i is (i, 255 - i, i / 2).
LogPalette256 Ramp() {
    LogPalette256 p{};
    p.version = LogPaletteVersion;
    p.count = PaletteSize;
    for (int i = 0; i < PaletteSize; ++i)
        p.entries[i] = Rgb(static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2));
    return p;
}

// The shared palette of a LOGPALETTE, released at the end of the scope.
struct Held {
    explicit Held(const LogPalette256& p) : palette(GetSharedPalette(p.Log())) {}
    ~Held() { ReleaseSharedPalette(palette); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    SharedPalette* palette;
};

TEST(DefaultPalettes, HoldTheTablesOfEachPaletteMode) {
    const struct {
        int mode, count, index;
        COLORREF colour;
    } cases[] = {{1, 2, 1, RGB(255, 255, 255)},        {2, 16, 9, RGB(255, 0, 0)},
                 {5, 16, 7, RGB(0xC0, 0xC0, 0xC0)},    {3, 256, 8, RGB(0xC0, 0xDC, 0xC0)},
                 {3, 256, 10, RGB(0xFF, 0xA7, 0)},     {3, 256, 245, RGB(8, 0, 0)},
                 {3, 256, 246, RGB(0xFF, 0xFB, 0xF0)}, {3, 256, 255, RGB(255, 255, 255)}};
    for (const auto& c : cases) {
        EXPECT_EQ(GetModeLogPalette(nullptr, c.mode, nullptr), c.count) << c.mode;
        EXPECT_EQ(GetModePaletteColor(nullptr, c.mode, c.index), c.colour) << c.mode << " " << c.index;
    }
    for (int mode : {4, 6, 7, 8})
        EXPECT_EQ(GetModeLogPalette(nullptr, mode, nullptr), 0) << mode;
    EXPECT_EQ(GetModePaletteColor(nullptr, 2, 16), 0u) << "index beyond the entries";
    // The copy has every flags byte cleared, the free entries' no-collapse flags too.
    LogPalette256 copy{};
    ASSERT_EQ(GetModeLogPalette(copy.Log(), 3, nullptr), 256);
    EXPECT_EQ(copy.version, LogPaletteVersion);
    EXPECT_EQ(copy.entries[100].peFlags, 0);
    EXPECT_EQ(GetDefaultModePalette(3)->entries[100].peFlags, PaletteNoCollapse);
}

TEST(DefaultPalettes, CreateDefaultPaletteTakesTheFreeEntriesFromABlock) {
    std::array<BYTE, 40 + 4 * 236> block{};
    block[40] = 1, block[41] = 2, block[42] = 3;                               // entry 10
    block[40 + 4 * 235] = 7, block[41 + 4 * 235] = 8, block[42 + 4 * 235] = 9; // entry 245
    HPALETTE palette = CreateDefaultPalette(block.data());
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    EXPECT_EQ(PaletteWord(entries[10]), RGB(1, 2, 3) | PaletteNoCollapse << 24);
    EXPECT_EQ(PaletteWord(entries[245]), RGB(7, 8, 9) | PaletteNoCollapse << 24);
    EXPECT_EQ(PaletteColor(entries[9]), RGB(0xA6, 0xCA, 0xF0));
    DeleteObject(palette);
}

TEST(SharedPalettes, EqualColoursShareOneRecord) {
    LogPalette256 p = Ramp();
    p.entries[5] = Rgb(0, 0, 0);
    Held first(p);
    ASSERT_NE(first.palette, nullptr);
    EXPECT_EQ(first.palette->refCount, 1);
    Held again(p);
    EXPECT_EQ(again.palette, first.palette);
    // Black beyond entry 0 and RGB(8, 0, 0) count as the same colour; flags do not count.
    p.entries[5] = Rgb(8, 0, 0);
    p.entries[6].peFlags = PaletteNoCollapse;
    Held nearBlack(p);
    EXPECT_EQ(nearBlack.palette, first.palette);
    EXPECT_EQ(first.palette->refCount, 3);
    EXPECT_EQ(PaletteColor(first.palette->palette.entries[5]), NearBlack) << "only entry 0 is black";
    EXPECT_EQ(first.palette->palette.entries[6].peFlags, 0);
    p.entries[200] = Rgb(1, 2, 3);
    Held other(p);
    EXPECT_NE(other.palette, first.palette);
    EXPECT_EQ(other.palette->refCount, 1);
}

TEST(SharedPalettes, TheLastReleaseFreesAndAnotherThreadHasItsOwn) {
    const LogPalette256 p = Ramp();
    SharedPalette* record = GetSharedPalette(p.Log());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(AddRefSharedPalette(record), record);
    EXPECT_EQ(record->refCount, 2);
    ReleaseSharedPalette(record);
    EXPECT_EQ(FindMatchingSharedPalette(p.Log()), record);
    ReleaseSharedPalette(record);
    EXPECT_EQ(FindMatchingSharedPalette(p.Log()), nullptr);
    // A thread meets its own default palette first, and never the palettes of another.
    SharedPalette* mine = GetSharedPalette(p.Log());
    SharedPalette* theirs = nullptr;
    SharedPalette* theirDefault = nullptr;
    std::thread([&] {
        theirDefault = GetFirstSharedPalette();
        theirs = FindMatchingSharedPalette(p.Log());
        ReleaseSharedPalette(theirDefault);
        FreeThreadPalettes();
    }).join();
    EXPECT_EQ(theirs, nullptr);
    ASSERT_NE(theirDefault, nullptr);
    EXPECT_NE(theirDefault, FindMatchingSharedPalette(GetDefaultModePalette(3)->Log()));
    ReleaseSharedPalette(mine);
}

TEST(SharedPalettes, AThreadThatDroppedItsPalettesGetsNoneUntilItStartsAgain) {
    std::thread([] {
        SharedPalette* first = GetFirstSharedPalette();
        ASSERT_NE(first, nullptr);
        ReleaseSharedPalette(first);
        FreeThreadPalettes();
        const LogPalette256 p = Ramp();
        EXPECT_EQ(GetSharedPalette(p.Log()), nullptr);
        InitSystemPalette();
        SharedPalette* again = GetSharedPalette(p.Log());
        EXPECT_NE(again, nullptr);
        ReleaseSharedPalette(again);
        FreeThreadPalettes();
    }).join();
}

TEST(SharedPalettes, BlackIndexIsTheNearestToBlackAfterEntryZero) {
    Held defaults(*GetDefaultModePalette(3));
    EXPECT_EQ(defaults.palette->blackIndex, 168u) << "the first RGB(8, 0, 0) of the free entries";
    EXPECT_EQ(GetPaletteBlackIndex(nullptr), 4u);
}

TEST(SharedPalettes, TheLookupTableRemembersEachColourItWasAskedFor) {
    Held ramp(Ramp());
    SharedPalette* p = ramp.palette;
    ASSERT_EQ(BuildPaletteLookup15(p), 1);
    // Every entry stands at its own key, later entries winning: 200 to 207 share one.
    EXPECT_EQ(p->lookup15[Lookup15Key(RGB(200, 55, 100))], 207);
    // A colour whose key has no entry yet is searched once and remembered.
    const COLORREF grey = RGB(130, 130, 130);
    EXPECT_EQ(p->lookup15[Lookup15Key(grey)], 0);
    const int index = GetNearestIndex15(p, grey);
    EXPECT_EQ(index, FindNearestColor(p->palette.entries, 256, grey));
    EXPECT_EQ(p->lookup15[Lookup15Key(grey)], index);
}

TEST(SharedPalettes, HandlesAreMadeOnceWithTheFreeEntriesNeverCollapsed) {
    Held ramp(Ramp());
    HPALETTE handle = GetSharedPaletteHandle(ramp.palette);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetSharedPaletteHandle(ramp.palette), handle);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(handle, 0, 256, entries), 256u);
    EXPECT_EQ(entries[10].peFlags, PaletteNoCollapse);
    EXPECT_EQ(entries[9].peFlags, 0);
    EXPECT_EQ(PaletteColor(entries[77]), PaletteColor(ramp.palette->palette.entries[77]));
}

TEST(NearestColour, BlackIsEntryZerosAndTiesGoToTheLowestIndex) {
    LogPalette256 p = Ramp();
    p.entries[0] = Rgb(50, 50, 50);
    p.entries[3] = Rgb(0, 0, 0);
    EXPECT_EQ(FindNearestColor(p.entries, 256, RGB(0, 0, 0)), 0) << "even when entry 0 is not black";
    EXPECT_EQ(FindNearestColor(p.entries, 256, RGB(1, 0, 0)), 3) << "entry 0 takes no other colour";
    p.entries[40] = Rgb(100, 100, 100);
    p.entries[41] = Rgb(102, 100, 100);
    EXPECT_EQ(FindNearestColor(p.entries, 256, RGB(101, 100, 100)), 40);
    // Fewer entries: every entry takes part.
    EXPECT_EQ(FindNearestColor(p.entries, 4, RGB(52, 50, 50)), 0);
}

TEST(NearestColour, NearestPaletteIndexKeepsIndexesAndBlack) {
    LogPalette256 p = Ramp();
    p.entries[9] = Rgb(8, 0, 0);
    Held held(p);
    EXPECT_EQ(GetNearestPaletteIndex(held.palette, RGB(0, 0, 0)), 0) << "black even though 9 is near black";
    // A colour read back from the palette by index keeps it.
    EXPECT_EQ(GetNearestPaletteIndex(held.palette, RGB(120, 135, 60)), 120);
    EXPECT_EQ(GetNearestPaletteIndex(nullptr, RGB(1, 2, 3)), 0);
}

TEST(RemapPalette, WritesNothingForEqualColoursAndMapsEveryOtherEntry) {
    LogPalette256 target = Ramp(), source = Ramp();
    std::array<BYTE, 256> table;
    table.fill(0xEE);
    EXPECT_EQ(RemapPalette(table.data(), target.Log(), source.Log(), 1), 0);
    source.entries[17].peFlags = PaletteNoCollapse;
    EXPECT_EQ(RemapPalette(table.data(), target.Log(), source.Log(), 1), 0);
    EXPECT_EQ(table[0], 0xEE) << "untouched";
    // Reversed colours map to the reversed index; with the zero flag only entry 0 may map to index 0.
    for (int i = 0; i < 256; ++i)
        source.entries[i] = target.entries[255 - i];
    EXPECT_EQ(RemapPalette(table.data(), target.Log(), source.Log(), 0), 1);
    EXPECT_EQ(table[10], 245);
    EXPECT_EQ(table[255], 1) << "entry 0 is black's alone over 256 entries";
    source.entries[20] = target.entries[0];
    EXPECT_EQ(RemapPalette(table.data(), target.Log(), source.Log(), 1), 1);
    EXPECT_NE(table[20], 0);
    // A source claiming more entries than a palette holds maps 256 of them and no more.
    std::array<BYTE, 257> guarded;
    guarded.fill(0xEE);
    source.count = 0xFFFF;
    EXPECT_EQ(RemapPalette(guarded.data(), target.Log(), source.Log(), 0), 1);
    EXPECT_EQ(guarded[256], 0xEE);
}

TEST(FitSystemColours, LeavesAPaletteWithTheStaticColoursAlone) {
    LogPalette256 p = *GetDefaultModePalette(3);
    p.entries[100] = Rgb(3, 2, 1);
    std::array<BYTE, 256> remap{};
    PALETTEENTRY fitted[256];
    EXPECT_EQ(FitSystemColorsIntoPalette(fitted, p.entries, remap.data()), 0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(remap[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(PaletteWord(fitted[100]), RGB(8, 0, 0) | PaletteNoCollapse << 24) << "no free entry is black";
    EXPECT_EQ(fitted[0].peFlags, 0);
    EXPECT_EQ(fitted[50].peFlags, PaletteNoCollapse);
}

TEST(FitSystemColours, MovesTheNearestEntryToAStaticPlaceOrRemapsToAnEqualOne) {
    // The default palette holds every static colour in its place; each case moves one.
    LogPalette256 p = *GetDefaultModePalette(3);
    p.entries[60] = p.entries[7]; // the static silver, away from its place
    p.entries[7] = Rgb(1, 2, 3);
    p.entries[90] = Rgb(1, 2, 3); // entry 7's colour again elsewhere
    std::array<BYTE, 256> remap{};
    PALETTEENTRY fitted[256];
    EXPECT_EQ(FitSystemColorsIntoPalette(fitted, p.entries, remap.data()), 1);
    EXPECT_EQ(remap[7], 90) << "pixels of entry 7 keep their colour at 90";
    EXPECT_EQ(remap[60], 60);
    EXPECT_EQ(PaletteColor(fitted[7]), RGB(0xC0, 0xC0, 0xC0));
    // The static red of entry 249 is searched among the free entries when the high ones lack it: the
    // nearest moves there and entry 249's colour takes its place.
    LogPalette256 q = *GetDefaultModePalette(3);
    q.entries[200] = Rgb(255, 0, 0);
    q.entries[249] = Rgb(9, 2, 3);
    EXPECT_EQ(FitSystemColorsIntoPalette(fitted, q.entries, remap.data()), 1);
    EXPECT_EQ(remap[249], 200);
    EXPECT_EQ(remap[200], 249);
    EXPECT_EQ(PaletteColor(fitted[200]), RGB(9, 2, 3));
    for (int i : {0, 7, 9, 246, 249, 255})
        EXPECT_EQ(PaletteColor(fitted[i]), GetModePaletteColor(nullptr, 3, i)) << i;
}

TEST(FindColorIndex, NamesIndexesStaticColoursAndNearestEntries) {
    for (int mode : {1, 2, 3, 5})
        EXPECT_EQ(FindColorIndex(nullptr, mode, 0x01000023), 35) << mode;
    for (int mode : {4, 6, 7, 8})
        EXPECT_EQ(FindColorIndex(nullptr, mode, RGB(1, 2, 3)), -1) << mode;
    EXPECT_EQ(FindColorIndex(nullptr, 3, RGB(0xFF, 0xFB, 0xF0)), 246);
    EXPECT_EQ(FindColorIndex(nullptr, 3, RGB(0xFF, 0xA7, 0)), 10);
    EXPECT_EQ(FindColorIndex(nullptr, 2, RGB(250, 5, 5)), 9);
}

TEST(SystemColours, TheCacheHoldsTheSystemColoursButTwentyFive) {
    InitSystemColors();
    EXPECT_EQ(GetSysColorCached(COLOR_WINDOW), GetSysColor(COLOR_WINDOW)) << "a 32-bit screen keeps them";
    EXPECT_EQ(GetSysColorCached(25), 0u);
    EXPECT_EQ(GetSysColorCached(30), GetSysColor(30));
    RefreshSystemColors();
    EXPECT_EQ(GetSysColorCached(COLOR_MENU), GetSysColor(COLOR_MENU));
    EXPECT_TRUE(ColorsWithinTolerance(RGB(10, 20, 30), RGB(12, 18, 30), 2));
    EXPECT_FALSE(ColorsWithinTolerance(RGB(10, 20, 30), RGB(10, 20, 33), 2));
}

TEST(PaletteEntries, ConvertToColourTablesAndBack) {
    const PALETTEENTRY entries[2] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    RGBQUAD quads[2];
    PaletteToRgbQuads(quads, entries, 2);
    EXPECT_EQ(quads[1].rgbBlue, 7);
    EXPECT_EQ(quads[1].rgbRed, 5);
    EXPECT_EQ(quads[1].rgbReserved, 0);
    PALETTEENTRY back[2];
    RgbQuadsToPalette(back, quads, 2);
    EXPECT_EQ(PaletteWord(back[0]), RGB(1, 2, 3));
    LogPalette256 log = Ramp();
    SetLogPaletteEntries(log.Log(), entries, 254, 5);
    EXPECT_EQ(PaletteWord(log.entries[255]), PaletteWord(entries[1]));
    SetLogPaletteEntries(nullptr, entries, 0, 2);
}

TEST(ContextPalette, AContextDrawsWithThePaletteItWasGiven) {
    LogPalette256 ramp = Ramp();
    HPALETTE handle = CreatePalette(ramp.Log());
    AppContext* context = CreateAppContext(nullptr, handle);
    ASSERT_NE(context, nullptr);
    ASSERT_NE(context->sharedPalette, nullptr);
    EXPECT_EQ(context->sharedPalette->handle, handle);
    EXPECT_EQ(GetPaletteBlackIndex(context), context->sharedPalette->blackIndex);
    EXPECT_EQ(GetModePaletteColor(context, 3, 77), PaletteColor(ramp.entries[77]));
    ASSERT_EQ(context->workSurface->depth, 8);
    EXPECT_EQ(context->workSurface->palette, context->sharedPalette);
    // A second selection of the same handle changes nothing; another palette replaces the first.
    SharedPalette* first = context->sharedPalette;
    SelectAppPalette(context, handle);
    EXPECT_EQ(context->sharedPalette, first);
    HPALETTE defaults = CreateDefaultPalette(nullptr);
    SelectAppPalette(context, defaults);
    EXPECT_NE(context->sharedPalette, first);
    EXPECT_EQ(context->workSurface->palette, context->sharedPalette);
    EXPECT_EQ(GetModePaletteColor(context, 3, 10), RGB(0xFF, 0xA7, 0));
    // The display mode's new work surface takes the palette too, and a true-colour one none.
    SetAppDisplayMode(context, 8);
    EXPECT_EQ(context->workSurface->palette, nullptr);
    SetAppDisplayMode(context, 3);
    EXPECT_EQ(context->workSurface->palette, context->sharedPalette);
    DestroyAppContext(context);
    DeleteObject(handle);
    DeleteObject(defaults);
}

TEST(ContextPalette, WithoutAHandleTheContextHasTheDefaultPalette) {
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->sharedPalette, FindMatchingSharedPalette(GetDefaultModePalette(3)->Log()));
    EXPECT_EQ(context->blackIndex, 168u);
    DestroyAppContext(context);
}

} // namespace

namespace {

// An 8-bit bitmap of w x h in memory: header, full colour table, rows.
std::vector<BYTE> EightBitDib(int w, int h, BYTE fill) {
    const int rowBytes = (w + 3) & ~3;
    std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + 1024 + static_cast<std::size_t>(rowBytes * h), fill);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 8;
    std::memcpy(dib.data(), &header, sizeof header);
    return dib;
}

BYTE* DibBits(std::vector<BYTE>& dib) {
    return dib.data() + sizeof(BITMAPINFOHEADER) + 1024;
}

TEST(ContextBitmaps, BankImagesBecomeBitmapsInTheContextsPalette) {
    LogPalette256 ramp = Ramp();
    HPALETTE handle = CreatePalette(ramp.Log());
    AppContext* context = CreateAppContext(nullptr, handle);
    ASSERT_NE(context, nullptr);
    const std::vector<BYTE> indexes = {12, 0, 200, 0, 0, 0, 0, 0}; // 3 x 2, rows of 4 bytes
    const DWORD image =
        AddImage(context->banks, 3, 3, 2, 0, 0, 0, 0, 0, 0, indexes.data(), indexes.size(), nullptr);
    ASSERT_NE(image, 0u);
    EXPECT_EQ(IsImageFullyTransparent(context, image), 0);
    const int size = ImageToDib(context, image, 0, nullptr);
    EXPECT_EQ(size, GetDibSize(3, 2, 8));
    std::vector<BYTE> dib(static_cast<std::size_t>(size));
    auto* info = reinterpret_cast<BITMAPINFO*>(dib.data());
    ASSERT_EQ(ImageToDib(context, image, 0, info), 1);
    EXPECT_EQ(info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(info->bmiHeader.biHeight, 2) << "bottom-up rows";
    const auto* quads = reinterpret_cast<const RGBQUAD*>(dib.data() + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(quads[200].rgbRed, ramp.entries[200].peRed);
    EXPECT_EQ(quads[200].rgbGreen, ramp.entries[200].peGreen);
    const BYTE* bits = DibBits(dib);
    EXPECT_EQ(bits[4 + 0], 12) << "the image's first row is the bitmap's last";
    EXPECT_EQ(bits[4 + 2], 200);
    // The same image as 24 bits: its colours from the palette.
    std::vector<BYTE> deep(static_cast<std::size_t>(ImageToDib(context, image, 4, nullptr)));
    ASSERT_EQ(ImageToDib(context, image, 4, reinterpret_cast<BITMAPINFO*>(deep.data())), 1);
    const BYTE* pixel = deep.data() + sizeof(BITMAPINFOHEADER) + 12 + 2 * 3;
    EXPECT_EQ(RGB(pixel[2], pixel[1], pixel[0]), PaletteColor(context->sharedPalette->palette.entries[200]));
    EXPECT_EQ(ImageToDib(context, 99, 0, nullptr), 0);
    // An image of index 0 only is wholly transparent.
    const std::vector<BYTE> clear(8, 0);
    const DWORD empty =
        AddImage(context->banks, 3, 3, 2, 0, 0, 0, 0, 0, 0, clear.data(), clear.size(), nullptr);
    EXPECT_EQ(IsImageFullyTransparent(context, empty), 1);
    DestroyAppContext(context);
    DeleteObject(handle);
}

TEST(ContextBitmaps, BitmapsAreFilledAndRemappedToTheContextsPalette) {
    LogPalette256 ramp = Ramp();
    HPALETTE handle = CreatePalette(ramp.Log());
    AppContext* context = CreateAppContext(nullptr, handle);
    ASSERT_NE(context, nullptr);
    // Filled with a colour of the bitmap's own table (the default palette's white, entry 255).
    std::vector<BYTE> dib = EightBitDib(3, 2, 0);
    PaletteToRgbQuads(reinterpret_cast<RGBQUAD*>(dib.data() + sizeof(BITMAPINFOHEADER)),
                      GetDefaultModePalette(3)->entries, 256);
    FillDib(reinterpret_cast<BITMAPINFO*>(dib.data()), RGB(255, 255, 255));
    EXPECT_EQ(DibBits(dib)[0], 255);
    EXPECT_EQ(DibBits(dib)[3], 0) << "row padding stays";
    // Remapped to the context's palette: white becomes the ramp's nearest entry, and the table the ramp.
    RemapDibToContextPalette(reinterpret_cast<BITMAPINFO*>(dib.data()), context, nullptr);
    const int white = FindNearestColor(context->sharedPalette->palette.entries, 256, RGB(255, 255, 255));
    EXPECT_EQ(DibBits(dib)[0], white);
    const auto* quads = reinterpret_cast<const RGBQUAD*>(dib.data() + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(quads[77].rgbBlue, ramp.entries[77].peBlue);
    // With a table the pixels go through it.
    std::array<BYTE, 256> table{};
    table[static_cast<std::size_t>(white)] = 9;
    RemapDibToContextPalette(reinterpret_cast<BITMAPINFO*>(dib.data()), context, table.data());
    EXPECT_EQ(DibBits(dib)[1], 9);
    DestroyAppContext(context);
    DeleteObject(handle);
}

} // namespace

TEST(ContextBitmaps, ImagesStretchIntoACallersBuffer) {
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    // 2 x 1 at 32 bits: red, blue; doubled into a 4 x 2 buffer of the same layout.
    const std::vector<BYTE> pixels = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
    const DWORD image =
        AddImage(context->banks, 8, 2, 1, 0, 0, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
    ASSERT_NE(image, 0u);
    std::vector<DWORD> buffer(4 * 2, 0x12345678);
    ASSERT_EQ(StretchImageToBuffer(context, image, 4, 2, buffer.data()), 1);
    EXPECT_EQ(buffer, (std::vector<DWORD>{0xFF0000, 0xFF0000, 0xFF, 0xFF, 0xFF0000, 0xFF0000, 0xFF, 0xFF}));
    EXPECT_EQ(StretchImageToBuffer(context, 99, 4, 2, buffer.data()), 0);
    EXPECT_EQ(StretchImageToBuffer(context, image, 0, 2, buffer.data()), 0);
    DestroyAppContext(context);
}
