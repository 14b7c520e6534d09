// Logical palettes. The layer is a true-colour display: palettes keep their entries and can be selected
// into device contexts, but there is no system palette and realising one maps nothing.
#include "gdi_internal.h"
#include "handle_storage.h"

#include <algorithm>

namespace win32 {

PaletteObject* StockPalette() {
    static PaletteObject* palette = [] {
        // The system's static colours: the first ten and the last ten entries of a 256-colour display.
        static constexpr COLORREF Colours[20] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                                                 0x800080, 0x808000, 0xC0C0C0, 0xC0DCC0, 0xF0CAA6,
                                                 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00,
                                                 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
        auto* object = detail::NewHandleObject<PaletteObject>();
        object->header.stock = true;
        for (COLORREF c : Colours)
            object->entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
        RegisterGdiObject(object);
        return object;
    }();
    return palette;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0) return nullptr;
    auto* object = detail::NewHandleObject<PaletteObject>();
    const PALETTEENTRY* entries = palette->palPalEntry;
    object->entries.assign(entries, entries + palette->palNumEntries);
    RegisterGdiObject(object);
    return object;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    if (!IsGdiObject(palette, GdiKind::Palette)) return 0;
    const auto size = static_cast<UINT>(palette->entries.size());
    if (!entries) return size;
    if (start >= size) return 0;
    const UINT n = std::min(count, size - start);
    std::copy_n(palette->entries.begin() + start, n, entries);
    return n;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    // Null puts back the DC's default palette, which the layer keeps as no palette at all.
    if (!IsLiveDc(dc) || (palette && !IsGdiObject(palette, GdiKind::Palette))) return nullptr;
    PaletteObject* old = dc->palette;
    dc->palette = palette;
    if (palette) palette->header.selections++;
    if (old) old->header.selections--;
    return old;
}

UINT RealizePalette(HDC dc) {
    return IsLiveDc(dc) ? 0 : GDI_ERROR;
}

UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) {
    return 0;
}

} // namespace win32
