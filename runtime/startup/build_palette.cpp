#include "startup/build_palette.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/runtime_services.h"

#include "vtrs2/app_palette.h"
#include "vtrs2/surface.h"
#include "win32/gdi.h"

#include <algorithm>

namespace vtrrt {

using namespace win32;

namespace {
constexpr int FirstFreeEntry = 10;
constexpr int LastFreeEntry = 245;
constexpr int DisplayMode256 = 3;
} // namespace

// The static colours come from the library's palette of the 256-colour mode; when it cannot be had the
// source's own entries stay at both ends.
void BuildPalette(PaletteEntry (&destination)[256], const PaletteEntry (&source)[256]) {
    if (&destination != &source) std::copy(std::begin(source), std::end(source), std::begin(destination));
    LogPalette256 statics{};
    const bool haveStatics = GetModeLogPalette(statics.Log(), DisplayMode256, nullptr) == PaletteSize;
    for (int i = 0; i < 256; ++i) {
        PaletteEntry& e = destination[i];
        if (i < FirstFreeEntry || i > LastFreeEntry) {
            if (haveStatics)
                e = {statics.entries[i].peRed, statics.entries[i].peGreen, statics.entries[i].peBlue, 0};
            e.flags = 0;
            continue;
        }
        e.flags = PC_NOCOLLAPSE;
        // Pure black would collapse onto the static black.
        if (e.red == 0 && e.green == 0 && e.blue == 0) e.red = 8;
    }
}

void SelectRuntimePalette(const PaletteEntry (&entries)[256]) {
    RuntimeServices& services = Services();
    LogPalette256 log{};
    log.version = LogPaletteVersion;
    log.count = PaletteSize;
    for (int i = 0; i < PaletteSize; ++i)
        log.entries[i] = {entries[i].red, entries[i].green, entries[i].blue, entries[i].flags};
    const HPALETTE palette = CreatePalette(log.Log());
    if (!palette) return;
    SelectAppPalette(services.libraryContext, palette);
    if (services.palette) DeleteObject(services.palette);
    services.palette = palette;
}

void SelectApplicationPalette(const ApplicationRecord& app) {
    const KeptChunk& kept = app.applicationPalette;
    if (app.parent || !kept.data) return;
    ByteReader r({kept.data, kept.size});
    std::uint16_t version = 0, count = 0;
    PaletteEntry entries[256] = {};
    if (!r.U16(version) || !r.U16(count)) return;
    for (PaletteEntry& e : entries)
        if (!r.U8(e.red) || !r.U8(e.green) || !r.U8(e.blue) || !r.U8(e.flags)) return;
    BuildPalette(entries, entries);
    SelectRuntimePalette(entries);
}

void SetRuntimePaletteOn(cSurface& surface) {
    const HPALETTE palette = Services().palette;
    LogPalette256 log{};
    log.version = LogPaletteVersion;
    log.count = PaletteSize;
    if (!palette || GetPaletteEntries(palette, 0, PaletteSize, log.entries) != PaletteSize) return;
    surface.SetLogPalette(log.Log(), 0);
}

void DeleteRuntimePalette() {
    RuntimeServices& services = Services();
    if (services.palette) DeleteObject(services.palette);
    services.palette = nullptr;
}

} // namespace vtrrt
