// Text drawing onto a plain pixel buffer: the layer's rasteriser, which the device-context calls wrap.
#pragma once

#include "font_internal.h"

#include <cstddef>
#include <string_view>

namespace win32::fonts {

// What receives text instead of pixels: each glyph's coverage and each filled box (underlines, the opaque
// background), in pixel coordinates, already clipped to `clip` by the receiver.
class GlyphSink {
public:
    virtual void Glyph(const fonts::Glyph& glyph, int x, int y, const RECT& clip, COLORREF color) = 0;
    virtual void Box(const RECT& box, COLORREF color) = 0;

protected:
    ~GlyphSink() = default;
};

// Where text lands: rows of pixels of one depth (or a sink), the clip rectangle in pixel coordinates, and
// the offset from the caller's logical coordinates to pixel coordinates.
struct TextTarget {
    BYTE* pixels = nullptr;   // row 0
    std::ptrdiff_t pitch = 0; // step from one row to the next, negative for bottom-up rows
    int bitsPerPixel = 32;    // 8, 15, 16, 24 or 32
    int width = 0;
    int height = 0;
    RECT clip{0, 0, 0, 0};
    POINT offset{0, 0};
    const COLORREF* palette = nullptr; // 8 bits: the colour of every index
    int paletteCount = 0;
    GlyphSink* sink = nullptr; // when set, pixels are not used
};

// The drawing state of a device context that text uses.
struct TextStyle {
    FontObject* font = nullptr;
    COLORREF color = 0;
    bool opaqueBackground = false;
    COLORREF background = 0xFFFFFF;
    UINT align = 0;
};

// ExtTextOut onto a target (null: measure only). dx, when given, holds one advance per UTF-16 unit.
bool DrawTextRun(const TextTarget* target, const TextStyle& style, int x, int y, UINT options,
                 const RECT* rect, std::u16string_view text, const INT* dx);

// DrawTextEx onto a target (null: layout only, as with DT_CALCRECT). Returns the height of the text.
int DrawTextBox(const TextTarget* target, const TextStyle& style, std::u16string_view text, RECT* rect,
                UINT format, DRAWTEXTPARAMS* params);

} // namespace win32::fonts
