// Text through device contexts: the DC's font and alignment, and the text calls drawn with the rasteriser
// onto the bitmap behind the DC, once per visible rectangle.
#include "text_dc.h"

#include "gdi_internal.h"
#include "text_target.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace win32 {
namespace {

// The text state of a DC. GDI keeps it in the DC; the layer keeps it beside, keyed by the handle.
struct DcText {
    HFONT font = nullptr;
    UINT align = TA_TOP | TA_LEFT;
};

std::unordered_map<const void*, DcText>& TextStates() {
    static auto* states = new std::unordered_map<const void*, DcText>;
    return *states;
}

DcText& TextStateOf(HDC dc) {
    return TextStates()[dc];
}

FontObject* FontOf(HDC dc) {
    FontObject* font = fonts::FontFromHandle(TextStateOf(dc).font);
    return font ? font : fonts::DefaultFont();
}

fonts::TextStyle StyleOf(HDC dc) {
    fonts::TextStyle style;
    style.font = FontOf(dc);
    style.color = dc->textColor;
    style.opaqueBackground = dc->bkMode == OPAQUE;
    style.background = dc->bkColor;
    style.align = TextStateOf(dc).align;
    return style;
}

// The targets of a DC: its bitmap once per visible rectangle.
template <typename Draw> void ForEachTarget(HDC dc, Draw&& draw) {
    const DrawTarget target = TargetOf(dc);
    BitmapObject* bitmap = target.bitmap;
    if (!bitmap || !bitmap->bits) return;
    COLORREF palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = RGB(bitmap->colors[i].rgbRed, bitmap->colors[i].rgbGreen, bitmap->colors[i].rgbBlue);
    fonts::TextTarget t;
    t.pixels = bitmap->Row(0);
    t.pitch = bitmap->topDown ? bitmap->stride : -static_cast<std::ptrdiff_t>(bitmap->stride);
    t.bitsPerPixel = bitmap->bpp == 16 && bitmap->masks[0] == 0x7C00 ? 15 : bitmap->bpp;
    t.width = bitmap->width;
    t.height = bitmap->height;
    t.offset = target.origin;
    t.palette = palette;
    t.paletteCount = 256;
    for (const RECT& clip : target.clip) {
        t.clip = clip;
        draw(t);
    }
    if (dc->kind == DcKind::Window) MarkWindowDrawn(dc->window);
}

std::u16string_view TextOf(LPCWSTR text, int count) {
    if (!text) return {};
    if (count < 0) return std::u16string_view(text);
    return std::u16string_view(text, static_cast<std::size_t>(count));
}

} // namespace

void ForgetTextState(HDC dc) {
    std::lock_guard guard(fonts::FontLock());
    TextStates().erase(dc);
}

HFONT SelectFont(HDC dc, HFONT font) {
    if (!dc || !IsFont(font)) return nullptr;
    std::lock_guard guard(fonts::FontLock());
    DcText& state = TextStateOf(dc);
    HFONT previous = state.font ? state.font : GetStockFont(SYSTEM_FONT);
    state.font = font;
    return previous;
}

UINT SetTextAlign(HDC dc, UINT align) {
    if (!dc) return 0xFFFFFFFF; // GDI_ERROR
    std::lock_guard guard(fonts::FontLock());
    DcText& state = TextStateOf(dc);
    const UINT previous = state.align;
    state.align = align;
    return previous;
}

UINT GetTextAlign(HDC dc) {
    if (!dc) return 0xFFFFFFFF;
    std::lock_guard guard(fonts::FontLock());
    return TextStateOf(dc).align;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    if (!dc) return FALSE;
    std::lock_guard guard(fonts::FontLock());
    return GetFontTextMetricsW(FontOf(dc), metrics);
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int length, SIZE* size) {
    if (!dc) return FALSE;
    std::lock_guard guard(fonts::FontLock());
    return GetFontTextExtentW(FontOf(dc), text, length, size);
}

BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int length, SIZE* size) {
    return GetTextExtentPoint32W(dc, text, length, size);
}

BOOL GetCharWidthW(HDC dc, UINT first, UINT last, INT* widths) {
    if (!dc || !widths || last < first || last > 0x10FFFF) return FALSE;
    std::lock_guard guard(fonts::FontLock());
    FontObject* font = FontOf(dc);
    for (UINT c = first; c <= last; ++c)
        widths[c - first] = font->face->GlyphOf(static_cast<char32_t>(c)).advance;
    return TRUE;
}

namespace {

int NextTabStop(int x, int averageWidth, int tabCount, const INT* tabStops) {
    const auto every = [x](int gap) {
        gap = std::max(1, gap);
        return (x / gap + 1) * gap;
    };
    if (tabCount <= 0 || !tabStops) return every(8 * averageWidth);
    if (tabCount == 1) return every(tabStops[0]);
    for (int i = 0; i < tabCount; ++i)
        if (tabStops[i] > x) return tabStops[i];
    const int last = tabStops[tabCount - 1];
    const int gap = std::max(1, last - tabStops[tabCount - 2]);
    return last + ((x - last) / gap + 1) * gap;
}

} // namespace

DWORD GetTabbedTextExtentW(HDC dc, LPCWSTR text, int count, int tabCount, const INT* tabStops) {
    TEXTMETRICW metrics{};
    if (!dc || (!text && count) || count < 0 || !GetTextMetricsW(dc, &metrics)) return 0;
    const std::u16string_view line(text ? text : u"", static_cast<std::size_t>(count));
    int x = 0;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find(u'\t', start);
        const std::u16string_view piece = line.substr(start, tab == line.npos ? line.npos : tab - start);
        SIZE size{};
        if (!piece.empty()) GetTextExtentPoint32W(dc, piece.data(), static_cast<int>(piece.size()), &size);
        x += size.cx;
        if (tab == line.npos) break;
        x = NextTabStop(x, metrics.tmAveCharWidth, tabCount, tabStops);
        start = tab + 1;
    }
    return static_cast<DWORD>(std::min(x, 0xFFFF)) | static_cast<DWORD>(metrics.tmHeight & 0xFFFF) << 16;
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    if (!dc || (!text && count)) return FALSE;
    std::lock_guard guard(fonts::FontLock());
    const fonts::TextStyle style = StyleOf(dc);
    const std::u16string_view run = text ? std::u16string_view(text, count) : std::u16string_view();
    ForEachTarget(
        dc, [&](const fonts::TextTarget& t) { fonts::DrawTextRun(&t, style, x, y, options, rect, run, dx); });
    return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    if (count < 0) return FALSE;
    return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextExW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format, DRAWTEXTPARAMS* params) {
    if (!dc || !rect || (params && params->cbSize != sizeof(DRAWTEXTPARAMS))) return 0;
    std::lock_guard guard(fonts::FontLock());
    const fonts::TextStyle style = StyleOf(dc);
    const std::u16string_view body = TextOf(text, count);
    const int height = fonts::DrawTextBox(nullptr, style, body, rect, format, params);
    if (!(format & DT_CALCRECT))
        ForEachTarget(dc, [&](const fonts::TextTarget& t) {
            RECT box = *rect;
            fonts::DrawTextBox(&t, style, body, &box, format, params);
        });
    return height;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
    // With DT_TABSTOP the second byte of the format is the tab length in characters, not flags.
    if (format & DT_TABSTOP) {
        DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), static_cast<int>((format >> 8) & 0xFF), 0, 0, 0};
        return DrawTextExW(dc, text, count, rect, format & ~0xFF00u & ~DT_TABSTOP, &params);
    }
    return DrawTextExW(dc, text, count, rect, format, nullptr);
}

} // namespace win32
