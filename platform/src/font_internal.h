// The layer's font objects: a logical font bound to a shared, sized FreeType face with its glyph cache.
#pragma once

#include "kernel/text.h"

#include "win32/font.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace win32::fonts {

// One rendered glyph: coverage 0..255 per pixel, placed relative to the pen position on the baseline.
struct Glyph {
    int left = 0; // pixels right of the pen
    int top = 0;  // pixels above the baseline
    int width = 0;
    int rows = 0;
    int advance = 0; // whole pixels
    std::vector<BYTE> coverage;
};

// Metrics of a sized face in whole pixels, as TEXTMETRICW gives them.
struct FaceMetrics {
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int averageWidth = 0;
    int maxWidth = 0;
    int underlinePosition = 0; // pixels below the baseline (positive = below)
    int underlineThickness = 1;
    int strikeOutPosition = 0; // pixels above the baseline
    bool fixedPitch = false;
};

class SizedFace;

} // namespace win32::fonts

namespace win32 {
// What a HFONT points at.
struct FontObject {
    std::uint32_t magic;
    bool stock = false;
    LOGFONTW logFont{};
    std::shared_ptr<fonts::SizedFace> face;
};
} // namespace win32

namespace win32::fonts {

// Every font and glyph call runs under this lock: FreeType faces are not thread-safe.
std::recursive_mutex& FontLock();
// The font behind a handle, or null for anything that is not a live font of this layer.
FontObject* FontFromHandle(const void* handle);
// The font used when a DC has none selected.
FontObject* DefaultFont();

class SizedFace {
public:
    virtual ~SizedFace() = default;
    virtual const FaceMetrics& Metrics() const = 0;
    // The glyph of a code point (the face's missing-glyph box when it has none). Never null.
    virtual const Glyph& GlyphOf(char32_t codePoint) = 0;
};

// Sum of the advances of a run of text.
int MeasureRun(FontObject& font, std::u16string_view text);

} // namespace win32::fonts
