#include "richtext/rtf_drawing.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

constexpr COLORREF PaletteRelative = 0x02000000;
// A highlighter shape without a background colour of its own.
constexpr COLORREF DefaultMarker = RGB(255, 255, 0);
// What shows a tab and a paragraph's end when the document shows its symbols.
constexpr char16_t TabSymbol = u'\u2192';
constexpr char16_t ParagraphSymbol = u'\u00B6';

// The highlighter's 17 points on a 0..99 scale of the box's height: x from the box's left edge (less one)
// for the first eight, from its right edge for the others.
struct MarkerPoint {
    int x, y;
};
constexpr std::array<MarkerPoint, 17> MarkerShape{{{0, 0},
                                                   {-50, 0},
                                                   {-15, 15},
                                                   {-60, 20},
                                                   {-20, 40},
                                                   {-80, 50},
                                                   {-35, 70},
                                                   {-115, 99},
                                                   {0, 99},
                                                   {50, 99},
                                                   {15, 70},
                                                   {60, 50},
                                                   {20, 40},
                                                   {80, 20},
                                                   {35, 15},
                                                   {115, 0},
                                                   {0, 0}}};
constexpr int MarkerLeftPoints = 8;

enum class Pass { Backgrounds, Markers, Text };

bool HiddenFromView(const RtfDocument& d, const RtfRun& run) {
    return (run.flags & RtfHidden) && !(d.flags & RtfShowSymbols);
}

int NearestPaletteIndex(HPALETTE palette, COLORREF colour) {
    PALETTEENTRY entries[256];
    const UINT count = GetPaletteEntries(palette, 0, 256, entries);
    int best = 0;
    long long bestDistance = LLONG_MAX;
    for (UINT i = 0; i < count; ++i) {
        const long long dr = entries[i].peRed - GetRValue(colour),
                        dg = entries[i].peGreen - GetGValue(colour),
                        db = entries[i].peBlue - GetBValue(colour);
        const long long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// Every colour goes to GDI palette-relative; with a palette, what comes nearest its first entry is the
// document's black.
COLORREF GdiColour(const RtfDocument& d, COLORREF colour) {
    colour = PaletteRelative | (colour & 0xFFFFFF);
    if (d.palette && NearestPaletteIndex(d.palette, colour) == 0) return d.black;
    return colour;
}

COLORREF TableColour(const RtfDocument& d, std::int16_t index, COLORREF otherwise) {
    if (index > 0 && static_cast<std::size_t>(index) < d.colors.size())
        return GdiColour(d, d.colors[static_cast<std::size_t>(index)].value);
    return GdiColour(d, otherwise);
}

// The drawing state of the DC, put back as it was.
class SavedDcState {
public:
    explicit SavedDcState(HDC dc)
        : dc_(dc), rop2_(GetROP2(dc)), pen_(GetCurrentObject(dc, OBJ_PEN)),
          brush_(GetCurrentObject(dc, OBJ_BRUSH)), font_(SelectFont(dc, GetStockFont(SYSTEM_FONT))),
          background_(SetBkColor(dc, 0)), text_(SetTextColor(dc, 0)), align_(GetTextAlign(dc)),
          clip_(CreateRectRgn(0, 0, 0, 0)) {
        backgroundMode_ = SetBkMode(dc, TRANSPARENT);
        hadClip_ = GetClipRgn(dc, clip_) == 1;
    }
    ~SavedDcState() {
        SetROP2(dc_, rop2_);
        SelectObject(dc_, pen_);
        SelectObject(dc_, brush_);
        if (font_) SelectFont(dc_, font_);
        SetBkMode(dc_, backgroundMode_);
        SetBkColor(dc_, background_);
        SetTextColor(dc_, text_);
        SetTextAlign(dc_, align_);
        SelectClipRgn(dc_, hadClip_ ? clip_ : nullptr);
        DeleteObject(clip_);
    }
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    HDC dc_;
    int rop2_;
    HGDIOBJ pen_, brush_;
    HFONT font_;
    COLORREF background_, text_;
    UINT align_;
    HRGN clip_;
    int backgroundMode_ = OPAQUE;
    bool hadClip_ = false;
};

void FillColour(HDC dc, const RECT& r, COLORREF colour) {
    if (IsRectEmpty(&r)) return;
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

class Painter {
public:
    Painter(RtfDocument& d, HDC dc, bool fill) : d_(d), dc_(dc), fill_(fill) {
        dx_ = d.view.left - d.scrollX;
        dy_ = d.view.top - d.scrollY;
    }

    void Paragraph(RtfParagraph& p) {
        std::int32_t above = p.rect.top + dy_;
        for (const RtfLine& line : p.lines) {
            RECT r = RtfLineRect(d_, p, line);
            OffsetRect(&r, dx_, dy_);
            if (fill_ && r.top > above) Band(above, r.top);
            above = std::max<std::int32_t>(above, r.bottom);
            if (r.bottom <= d_.view.top || r.top >= d_.view.bottom) continue;
            for (Pass pass : {Pass::Backgrounds, Pass::Markers, Pass::Text})
                Line(p, line, r, pass);
        }
        if (fill_ && p.rect.bottom + dy_ > above) Band(above, p.rect.bottom + dy_);
    }

    void Band(std::int32_t top, std::int32_t bottom) {
        FillColour(dc_, RECT{d_.view.left, top, d_.view.right, bottom}, GdiColour(d_, d_.background));
    }

private:
    void Line(RtfParagraph& p, const RtfLine& line, const RECT& box, Pass pass) {
        for (std::int32_t w = line.firstWord; w < line.firstWord + line.wordCount; ++w) {
            const RtfWord& word = p.words[static_cast<std::size_t>(w)];
            std::int32_t x = TwipsToPixels(std::int64_t{p.left} + line.x + word.x, d_.zoom) + dx_;
            const std::int32_t baseline =
                TwipsToPixels(p.pageTop + p.top + line.y + word.ascent, d_.zoom) + dy_;
            for (std::int32_t i = word.start; i < word.start + word.length;) {
                const std::int32_t r = RtfRunAt(p, i);
                if (r < 0) break;
                RtfRun& run = p.runs[static_cast<std::size_t>(r)];
                const std::int32_t end = std::min(word.start + word.length, run.start + run.count);
                std::int32_t width = 0;
                if (p.text[static_cast<std::size_t>(i)] == '\t') {
                    width = TwipsToPixels(word.width, d_.zoom);
                } else {
                    for (std::int32_t k = i; k < end; ++k)
                        width += RtfCharWidth(
                            d_, p, run, static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(k)]), 0);
                }
                const RECT piece{x, box.top, x + width, box.bottom};
                Piece(p, run, i, end, piece, baseline, pass);
                x += width;
                i = end;
            }
        }
    }

    void Piece(const RtfParagraph& p, RtfRun& run, std::int32_t from, std::int32_t to, const RECT& box,
               std::int32_t baseline, Pass pass) {
        const char first = p.text[static_cast<std::size_t>(from)];
        const bool symbol = first == '\t' || first == '\n';
        if (symbol && !(d_.flags & RtfShowSymbols)) return;
        switch (pass) {
        case Pass::Backgrounds:
            Background(run, box);
            break;
        case Pass::Markers:
            if ((run.flags & RtfMarker) && !HiddenFromView(d_, run)) Marker(run, box);
            break;
        case Pass::Text:
            Text(p, run, from, to, box, baseline, symbol);
            break;
        }
    }

    void Background(const RtfRun& run, const RECT& box) {
        const bool shaded = (run.flags & RtfShading) && (run.flags & RtfTextColour);
        if (!(run.flags & (RtfBackColour | RtfHatch)) && !shaded) return;
        const COLORREF back = (run.flags & RtfBackColour) ? TableColour(d_, run.backColour, d_.background)
                                                          : GdiColour(d_, d_.background);
        FillColour(dc_, box, back);
        if (!(run.flags & RtfHatch)) return;
        HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, TableColour(d_, run.hatchColour, 0));
        HGDIOBJ oldBrush = SelectObject(dc_, hatch);
        HGDIOBJ oldPen = SelectObject(dc_, GetStockObject(NULL_PEN));
        const int mode = SetBkMode(dc_, TRANSPARENT);
        // Without a pen a rectangle leaves out its right column and bottom row.
        Rectangle(dc_, box.left, box.top, box.right + 1, box.bottom + 1);
        SetBkMode(dc_, mode);
        SelectObject(dc_, oldPen);
        SelectObject(dc_, oldBrush);
        DeleteObject(hatch);
    }

    void Marker(const RtfRun& run, const RECT& box) {
        const int h = box.bottom - box.top;
        if (h <= 0) return;
        POINT points[MarkerShape.size()];
        for (std::size_t i = 0; i < MarkerShape.size(); ++i) {
            const int from = i < MarkerLeftPoints ? box.left - 1 : box.right;
            points[i] = POINT{from + MarkerShape[i].x * h / 99, box.top + MarkerShape[i].y * h / 99};
        }
        const COLORREF colour = (run.flags & RtfBackColour) ? TableColour(d_, run.backColour, DefaultMarker)
                                                            : GdiColour(d_, DefaultMarker);
        HBRUSH brush = CreateSolidBrush(colour);
        HGDIOBJ oldBrush = SelectObject(dc_, brush);
        HGDIOBJ oldPen = SelectObject(dc_, GetStockObject(NULL_PEN));
        const int mode = SetPolyFillMode(dc_, WINDING);
        Polygon(dc_, points, static_cast<int>(MarkerShape.size()));
        SetPolyFillMode(dc_, mode);
        SelectObject(dc_, oldPen);
        SelectObject(dc_, oldBrush);
        DeleteObject(brush);
    }

    void Text(const RtfParagraph& p, RtfRun& run, std::int32_t from, std::int32_t to, const RECT& box,
              std::int32_t baseline, bool symbol) {
        const bool hidden = (run.flags & RtfHidden) != 0;
        if (hidden && !(d_.flags & RtfShowSymbols)) return;
        std::u16string text;
        const bool mark = symbol && (run.flags & RtfEndOfParagraph);
        if (symbol) {
            text.push_back(p.text[static_cast<std::size_t>(from)] == '\t' ? TabSymbol : ParagraphSymbol);
        } else {
            for (std::int32_t k = from; k < to; ++k) {
                const auto byte = static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(k)]);
                if (byte >= 32) text.push_back(d_.byteChars[byte]);
            }
        }
        if (text.empty()) return;
        if (run.realFont < 0) run.realFont = RtfRealizeFont(d_, run);
        const HFONT font = d_.realFonts[static_cast<std::size_t>(run.realFont)].font;
        if (font) SelectFont(dc_, font);
        // The paragraph symbol takes the document's default colour.
        const COLORREF colour =
            mark ? GdiColour(d_, 0)
                 : ((run.flags & RtfTextColour) ? TableColour(d_, run.textColour, 0) : GdiColour(d_, 0));
        SetTextColor(dc_, colour);
        const int count = static_cast<int>(text.size());
        if ((run.flags & RtfOutline) && !symbol)
            DrawOutlinedText(dc_, box.left, baseline, text, run.outlineThickness,
                             run.outlineColour >= 1 ? TableColour(d_, run.outlineColour, 0)
                                                    : GdiColour(d_, d_.background));
        else
            TextOutW(dc_, box.left, baseline, text.c_str(), count);
        if (hidden) {
            HPEN dots = CreatePen(PS_DOT, 1, colour);
            HGDIOBJ old = SelectObject(dc_, dots);
            MoveToEx(dc_, box.left, box.bottom - 1, nullptr);
            LineTo(dc_, box.right, box.bottom - 1);
            SelectObject(dc_, old);
            DeleteObject(dots);
        }
    }

    RtfDocument& d_;
    HDC dc_;
    bool fill_;
    std::int32_t dx_ = 0, dy_ = 0;
};

// The x of a byte offset of a paragraph's line, in page pixels.
std::int32_t OffsetX(RtfDocument& d, RtfParagraph& p, const RtfLine& line, std::int32_t offset) {
    const std::int64_t lineLeft = std::int64_t{p.left} + line.x;
    for (std::int32_t w = line.firstWord; w < line.firstWord + line.wordCount; ++w) {
        const RtfWord& word = p.words[static_cast<std::size_t>(w)];
        if (offset >= word.start + word.length) continue;
        std::int32_t x = TwipsToPixels(lineLeft + word.x, d.zoom);
        for (std::int32_t k = word.start; k < offset && k < word.start + word.length; ++k) {
            const std::int32_t r = RtfRunAt(p, k);
            if (r >= 0)
                x += RtfCharWidth(d, p, p.runs[static_cast<std::size_t>(r)],
                                  static_cast<std::uint8_t>(p.text[static_cast<std::size_t>(k)]), 0);
        }
        return x;
    }
    return TwipsToPixels(lineLeft + line.width, d.zoom);
}

void InvertSelection(RtfDocument& d, HDC dc, std::int32_t dx, std::int32_t dy) {
    std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    for (const RtfRange& range : d.selection) {
        RtfPosition a = range.start, b = range.end;
        if (b.paragraph < a.paragraph || (b.paragraph == a.paragraph && b.offset < a.offset)) std::swap(a, b);
        const std::int32_t last =
            std::min<std::int32_t>(b.paragraph, static_cast<std::int32_t>(paragraphs.size()) - 1);
        for (std::int32_t i = std::max(0, a.paragraph); i <= last; ++i) {
            RtfParagraph& p = paragraphs[static_cast<std::size_t>(i)];
            const auto size = static_cast<std::int32_t>(p.text.size());
            const std::int32_t from = i == a.paragraph ? std::clamp(a.offset, 0, size) : 0;
            const std::int32_t to = i == b.paragraph ? std::clamp(b.offset, 0, size) : size;
            for (const RtfLine& line : p.lines) {
                if (line.wordCount == 0) continue;
                const RtfWord& firstWord = p.words[static_cast<std::size_t>(line.firstWord)];
                const RtfWord& lastWord =
                    p.words[static_cast<std::size_t>(line.firstWord + line.wordCount - 1)];
                const std::int32_t lineStart = firstWord.start, lineEnd = lastWord.start + lastWord.length;
                if (to <= lineStart || from >= lineEnd) continue;
                RECT r = RtfLineRect(d, p, line);
                if (from > lineStart) r.left = OffsetX(d, p, line, from);
                if (to < lineEnd) r.right = OffsetX(d, p, line, to);
                OffsetRect(&r, dx, dy);
                InvertRect(dc, &r);
            }
        }
    }
}

} // namespace

RECT RtfLineRect(const RtfDocument& d, const RtfParagraph& p, const RtfLine& line) {
    const std::int64_t left = std::int64_t{p.left} + line.x;
    const std::int64_t top = p.pageTop + p.top + line.y;
    return RECT{TwipsToPixels(left, d.zoom), TwipsToPixels(top, d.zoom),
                TwipsToPixels(left + line.width, d.zoom), TwipsToPixels(top + line.height, d.zoom)};
}

void DrawOutlinedText(HDC dc, int x, int y, std::u16string_view text, std::int32_t thickness,
                      COLORREF centre) {
    const int t = std::clamp(thickness, 1, MaximumOutline);
    const int n = static_cast<int>(text.size());
    const auto at = [&](int px, int py) { TextOutW(dc, px, py, text.data(), n); };
    for (int i = 1; i <= t; ++i) {
        at(x - i, y);
        at(x + i, y);
        at(x, y - i);
        at(x, y + i);
    }
    for (int i = 0; i < t; ++i) {
        const int b = t - i;
        for (int k = 0; k < b; ++k) {
            at(x + i - t + k, y - 1 - k);
            at(x + b - k, y - 1 - k);
            at(x + i - t + k, y + 1 + k);
            at(x + b - k, y + 1 + k);
        }
    }
    const COLORREF outline = SetTextColor(dc, centre);
    at(x, y);
    SetTextColor(dc, outline);
}

void RtfDrawDocument(RtfDocument& d, HDC dc, std::uint32_t flags) {
    if (!dc) return;
    RtfDcScope scope(d, dc);
    SavedDcState saved(dc);
    const bool opaque = !(d.flags & RtfTransparent);
    const bool fill = opaque || (flags & DrawFillGaps);
    const RECT view = d.view;
    if ((flags & DrawFillView) && opaque) FillColour(dc, view, GdiColour(d, d.background));
    if (!(flags & DrawPage)) return;
    if (flags & DrawClipToView) {
        // Within what the DC already draws into, converted to device points as regions are.
        RECT visible{};
        GetClipBox(dc, &visible);
        IntersectRect(&visible, &visible, &view);
        POINT corners[2] = {{visible.left, visible.top}, {visible.right, visible.bottom}};
        LPtoDP(dc, corners, 2);
        HRGN region = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
        SelectClipRgn(dc, region);
        DeleteObject(region);
    }
    SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    Painter painter(d, dc, fill);
    const std::int32_t dy = view.top - d.scrollY;
    std::int32_t below = view.top;
    for (RtfParagraph& p : d.Page().paragraphs) {
        const std::int32_t top = p.rect.top + dy, bottom = p.rect.bottom + dy;
        if (top >= view.bottom) break;
        if (fill && top > below) painter.Band(below, top);
        below = std::max(below, bottom);
        if (bottom > view.top) painter.Paragraph(p);
    }
    if (fill && below < view.bottom) painter.Band(below, view.bottom);
    const std::int32_t dx = view.left - d.scrollX;
    if (d.cursor.visible && d.cursor.word > 0) {
        RtfPosition at;
        RECT r{};
        if (RtfFindWord(d, d.cursor.word, at) && RtfGetRect(d, r, at, UnitWord)) {
            OffsetRect(&r, dx, dy);
            DrawFocusRect(dc, &r);
        }
    }
    if (!d.selection.empty() && !(d.flags & RtfNoInversion)) InvertSelection(d, dc, dx, dy);
}

bool RtfHitTest(const RtfDocument& d, RtfPosition& out, int kind, std::int32_t x, std::int32_t y) {
    const RtfPage& page = d.Page();
    const RECT& e = page.extent;
    if (x < e.left || x >= e.right || y < e.top || y >= e.bottom) return false;
    const std::vector<RtfParagraph>& paragraphs = page.paragraphs;
    // Paragraphs are stacked down the page: the first that ends below the point is the one it can be in.
    const auto found = std::partition_point(paragraphs.begin(), paragraphs.end(),
                                            [&](const RtfParagraph& p) { return p.rect.bottom <= y; });
    if (found == paragraphs.end() || y < found->rect.top) return false;
    const RtfParagraph& p = *found;
    out = RtfPosition{d.currentPage, static_cast<std::int32_t>(found - paragraphs.begin()), 0, 0, 0};
    if (kind == UnitParagraph) return true;
    // Lines, and words within a line, follow one another: each is found by halving.
    const std::int64_t top = p.pageTop + p.top;
    const auto line = std::partition_point(p.lines.begin(), p.lines.end(), [&](const RtfLine& l) {
        return TwipsToPixels(top + l.y + l.height, d.zoom) <= y;
    });
    if (line == p.lines.end() || y < TwipsToPixels(top + line->y, d.zoom) || line->wordCount == 0)
        return false;
    out.line = static_cast<std::int32_t>(line - p.lines.begin());
    const std::int64_t left = std::int64_t{p.left} + line->x;
    std::int32_t word = line->firstWord;
    if (kind == UnitWord && x >= TwipsToPixels(left, d.zoom)) {
        if (x >= TwipsToPixels(left + line->width, d.zoom)) {
            word = line->firstWord + line->wordCount - 1;
        } else {
            const auto words = p.words.begin() + line->firstWord;
            const auto after = std::partition_point(words, words + line->wordCount, [&](const RtfWord& w) {
                return TwipsToPixels(left + w.x, d.zoom) <= x;
            });
            if (after == words) return false;
            const RtfWord& w = *(after - 1);
            if (x >= TwipsToPixels(left + w.x + w.width, d.zoom)) return false;
            word = static_cast<std::int32_t>(after - 1 - p.words.begin());
        }
    }
    out.word = word;
    out.offset = p.words[static_cast<std::size_t>(word)].start;
    return true;
}

bool RtfGetRect(const RtfDocument& d, RECT& out, const RtfPosition& pos, int kind) {
    const std::vector<RtfParagraph>& paragraphs = d.Page().paragraphs;
    if (pos.paragraph < 0 || pos.paragraph >= static_cast<std::int32_t>(paragraphs.size())) return false;
    const RtfParagraph& p = paragraphs[static_cast<std::size_t>(pos.paragraph)];
    if (kind == UnitParagraph) {
        out = p.rect;
        return true;
    }
    if (pos.line < 0 || pos.line >= static_cast<std::int32_t>(p.lines.size())) return false;
    const RtfLine& line = p.lines[static_cast<std::size_t>(pos.line)];
    out = RtfLineRect(d, p, line);
    if (kind == UnitLine) return true;
    if (pos.word < line.firstWord || pos.word >= line.firstWord + line.wordCount) return false;
    const RtfWord& w = p.words[static_cast<std::size_t>(pos.word)];
    const std::int64_t from = std::int64_t{p.left} + line.x + w.x;
    out.left = TwipsToPixels(from, d.zoom);
    out.right = TwipsToPixels(from + w.width, d.zoom);
    return true;
}

} // namespace vtrrt
