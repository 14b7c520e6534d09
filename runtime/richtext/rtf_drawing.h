// Drawing a rich-text document's current page with GDI (backgrounds, hatches, highlighter shapes, outlined
// and hidden text, the selection and the word cursor), and mapping points to words, lines and paragraphs
// and those back to rectangles. Every place in pixels comes from the document's one conversion of twips.
#pragma once

#include "richtext/rtf_document.h"

#include <cstdint>

namespace vtrrt {

// Drawing flags of RtfDrawDocument.
constexpr std::uint32_t DrawPage = 0x02;
constexpr std::uint32_t DrawClipToView = 0x04;
constexpr std::uint32_t DrawFillView = 0x08;
constexpr std::uint32_t DrawFillGaps = 0x80;

// Units of hit tests and rectangles.
enum RtfUnit : int { UnitWord = 2, UnitLine = 3, UnitParagraph = 4 };

// The highest thickness an outline is drawn with.
constexpr std::int32_t MaximumOutline = 255;

// Draws the current page into the DC at the view, moved by the scroll positions; the DC's drawing state is
// as it was afterwards.
void RtfDrawDocument(RtfDocument& document, win32::HDC dc, std::uint32_t flags);

// The word, line or paragraph under a point of the page (pixels from the page's top-left corner); false
// when nothing is there.
bool RtfHitTest(const RtfDocument& document, RtfPosition& out, int kind, std::int32_t x, std::int32_t y);
// The rectangle of the word, line or paragraph of a position, in page pixels; false when it has none.
bool RtfGetRect(const RtfDocument& document, win32::RECT& out, const RtfPosition& position, int kind);
win32::RECT RtfLineRect(const RtfDocument& document, const RtfParagraph& paragraph, const RtfLine& line);

// Text drawn with an outline `thickness` pixels wide (0 counts as 1, at most MaximumOutline): copies in
// the DC's text colour around the place, then the text itself in `centre`.
void DrawOutlinedText(win32::HDC dc, int x, int y, std::u16string_view text, std::int32_t thickness,
                      win32::COLORREF centre);

} // namespace vtrrt
