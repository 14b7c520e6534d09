// Documents read from RTF written in the tests, and the fonts and widths the layer measures them with, so
// that expected places come from the layer's own measures rather than from numbers that a font upgrade
// would change.
#pragma once

#include "richtext/rtf_document.h"
#include "richtext/rtf_drawing.h"
#include "richtext/rtf_reader.h"

#include "win32/font.h"
#include "win32/gdi.h"

#include <memory>
#include <string>
#include <string_view>

namespace richtexttest {

using namespace vtrrt;
using namespace win32;

constexpr UINT Western = 1252;

inline std::span<const std::uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A document of the given view width read from RTF (the reader's result in `result`).
inline std::unique_ptr<RtfDocument> Read(std::string_view rtf, int viewWidth = 640, int* result = nullptr) {
    auto d = RtfNewContext(Western);
    d->view = RECT{0, 0, viewWidth, 480};
    const int read = RtfParseDocument(*d, BytesOf(rtf));
    if (result) *result = read;
    return d;
}

inline const RtfParagraph& Paragraph(const RtfDocument& d, std::size_t i) {
    return d.Page().paragraphs.at(i);
}

// The font the layout realises for a run of `halfPoints` at a zoom, made here the same way.
class MeasuredFont {
public:
    explicit MeasuredFont(int halfPoints = 24, int zoom = 100, bool bold = false) {
        LOGFONTW lf{};
        int height = std::max(1, halfPoints * 25 / 36);
        if (zoom != 100) height = height * zoom / 100;
        lf.lfHeight = -height;
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = PROOF_QUALITY;
        font_ = CreateFontIndirectW(&lf);
        dc_ = CreateCompatibleDC(nullptr);
        SelectFont(dc_, font_);
        GetTextMetricsW(dc_, &metrics_);
    }
    ~MeasuredFont() {
        SelectFont(dc_, GetStockFont(SYSTEM_FONT));
        DeleteDC(dc_);
        DeleteFont(font_);
    }
    MeasuredFont(const MeasuredFont&) = delete;
    MeasuredFont& operator=(const MeasuredFont&) = delete;
    // Pixels of a Latin-1 text, character by character.
    int Width(std::string_view text) const {
        int sum = 0;
        for (unsigned char c : text) {
            INT w = 0;
            GetCharWidthW(dc_, c, c, &w);
            sum += w;
        }
        return sum;
    }
    int DefaultWidth() const {
        INT w = 0;
        GetCharWidthW(dc_, metrics_.tmDefaultChar, metrics_.tmDefaultChar, &w);
        return w;
    }
    int Height() const { return metrics_.tmHeight; }
    int Ascent() const { return metrics_.tmAscent; }
    HFONT Handle() const { return font_; }

private:
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    TEXTMETRICW metrics_{};
};

} // namespace richtexttest
