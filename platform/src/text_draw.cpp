// The text rasteriser and the DrawText layout: glyph coverage blended into pixels of any depth, lines broken
// at words, tabs expanded, prefixes underlined, boxes aligned and clipped.
#include "text_target.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace win32::fonts {
namespace {

// ---- Pixels
// ------------------------------------------------------------------------------------------------

COLORREF NearestPaletteColor(const TextTarget& t, COLORREF c, BYTE& index) {
    int best = INT_MAX;
    index = 0;
    for (int i = 0; i < t.paletteCount; ++i) {
        const COLORREF p = t.palette[i];
        const int dr = GetRValue(p) - GetRValue(c), dg = GetGValue(p) - GetGValue(c),
                  db = GetBValue(p) - GetBValue(c);
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            index = static_cast<BYTE>(i);
        }
    }
    return t.paletteCount ? t.palette[index] : 0;
}

COLORREF ReadPixel(const TextTarget& t, const BYTE* p) {
    switch (t.bitsPerPixel) {
    case 8:
        return *p < t.paletteCount ? t.palette[*p] : 0;
    case 15: {
        const unsigned v = p[0] | (p[1] << 8);
        return RGB(static_cast<BYTE>(((v >> 10) & 0x1F) << 3), static_cast<BYTE>(((v >> 5) & 0x1F) << 3),
                   static_cast<BYTE>((v & 0x1F) << 3));
    }
    case 16: {
        const unsigned v = p[0] | (p[1] << 8);
        return RGB(static_cast<BYTE>((v >> 11) << 3), static_cast<BYTE>(((v >> 5) & 0x3F) << 2),
                   static_cast<BYTE>((v & 0x1F) << 3));
    }
    default:
        return RGB(p[2], p[1], p[0]);
    }
}

void WritePixel(const TextTarget& t, BYTE* p, COLORREF c) {
    const unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (t.bitsPerPixel) {
    case 8: {
        BYTE index;
        NearestPaletteColor(t, c, index);
        *p = index;
        break;
    }
    case 15: {
        const unsigned v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        break;
    }
    case 16: {
        const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        break;
    }
    default:
        // At 32 bits the fourth byte is left as it was.
        p[0] = static_cast<BYTE>(b);
        p[1] = static_cast<BYTE>(g);
        p[2] = static_cast<BYTE>(r);
        break;
    }
}

int BytesPerPixel(int bits) {
    return (bits + 7) / 8;
}

BYTE* PixelAt(const TextTarget& t, int x, int y) {
    return t.pixels + static_cast<std::ptrdiff_t>(y) * t.pitch +
           static_cast<std::ptrdiff_t>(x) * BytesPerPixel(t.bitsPerPixel);
}

COLORREF Mix(COLORREF under, COLORREF over, unsigned coverage) {
    auto channel = [&](unsigned shift) {
        const unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        return ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// Pixel-space clip of a target, narrowed by a rectangle in logical coordinates when given.
RECT ClipOf(const TextTarget& t, const RECT* logical) {
    RECT c{std::max<LONG>(t.clip.left, 0), std::max<LONG>(t.clip.top, 0),
           std::min<LONG>(t.clip.right, t.width), std::min<LONG>(t.clip.bottom, t.height)};
    if (logical) {
        c.left = std::max<LONG>(c.left, logical->left + t.offset.x);
        c.top = std::max<LONG>(c.top, logical->top + t.offset.y);
        c.right = std::min<LONG>(c.right, logical->right + t.offset.x);
        c.bottom = std::min<LONG>(c.bottom, logical->bottom + t.offset.y);
    }
    return c;
}

void FillBox(const TextTarget& t, const RECT& clip, RECT box, COLORREF color) {
    box.left = std::max(box.left + t.offset.x, clip.left);
    box.top = std::max(box.top + t.offset.y, clip.top);
    box.right = std::min(box.right + t.offset.x, clip.right);
    box.bottom = std::min(box.bottom + t.offset.y, clip.bottom);
    if (t.sink) {
        if (box.left < box.right && box.top < box.bottom) t.sink->Box(box, color);
        return;
    }
    for (LONG y = box.top; y < box.bottom; ++y)
        for (LONG x = box.left; x < box.right; ++x)
            WritePixel(t, PixelAt(t, x, y), color);
}

void DrawGlyph(const TextTarget& t, const RECT& clip, const Glyph& g, int penX, int baseline,
               COLORREF color) {
    const int x0 = penX + g.left + t.offset.x, y0 = baseline - g.top + t.offset.y;
    if (t.sink) {
        if (g.width > 0 && g.rows > 0) t.sink->Glyph(g, x0, y0, clip, color);
        return;
    }
    const int xs = std::max<int>(x0, clip.left), xe = std::min<int>(x0 + g.width, clip.right);
    const int ys = std::max<int>(y0, clip.top), ye = std::min<int>(y0 + g.rows, clip.bottom);
    for (int y = ys; y < ye; ++y) {
        const BYTE* cov = g.coverage.data() + static_cast<std::size_t>(y - y0) * g.width;
        for (int x = xs; x < xe; ++x) {
            const unsigned a = cov[x - x0];
            if (!a) continue;
            BYTE* p = PixelAt(t, x, y);
            WritePixel(t, p, a == 255 ? color : Mix(ReadPixel(t, p), color, a));
        }
    }
}

// ---- Runs
// --------------------------------------------------------------------------------------------------

// One drawn run: its text, where each of its UTF-16 units starts (relative to the run), and its width.
struct RunLayout {
    std::vector<int> unitX;
    int width = 0;
};

// Lays out a run; tabs go to the next multiple of tabWidth counted from tabOrigin (when tabWidth > 0).
RunLayout LayoutRun(FontObject& font, std::u16string_view text, const INT* dx, int tabWidth, int tabOrigin) {
    RunLayout r;
    r.unitX.resize(text.size() + 1, 0);
    int x = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const char32_t cp = detail::NextCodePoint(text, i);
        r.unitX[start] = x;
        if (start + 1 < i) r.unitX[start + 1] = x;
        if (dx) {
            for (std::size_t k = start; k < i; ++k)
                x += dx[k];
        } else if (cp == u'\t' && tabWidth > 0) {
            const int at = tabOrigin + x;
            x = (at / tabWidth + 1) * tabWidth - tabOrigin;
        } else {
            x += font.face->GlyphOf(cp).advance;
        }
    }
    r.unitX[text.size()] = x;
    r.width = x;
    return r;
}

void DrawRun(const TextTarget& t, const RECT& clip, FontObject& font, std::u16string_view text,
             const RunLayout& layout, int x, int baseline, COLORREF color, int tabWidth) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const char32_t cp = detail::NextCodePoint(text, i);
        if (cp == u'\t' && tabWidth > 0) continue;
        DrawGlyph(t, clip, font.face->GlyphOf(cp), x + layout.unitX[start], baseline, color);
    }
    const FaceMetrics& m = font.face->Metrics();
    if (font.logFont.lfUnderline) {
        const int top = baseline + m.underlinePosition;
        FillBox(t, clip, RECT{x, top, x + layout.width, top + m.underlineThickness}, color);
    }
    if (font.logFont.lfStrikeOut) {
        const int top = baseline - m.strikeOutPosition;
        FillBox(t, clip, RECT{x, top, x + layout.width, top + m.underlineThickness}, color);
    }
}

// ---- DrawText layout
// ---------------------------------------------------------------------------------------

struct Line {
    std::u16string text;
    int underline = -1; // index of the unit a prefix '&' underlines
    int width = 0;
};

// Removes '&' prefixes: "&&" is one '&', "&x" underlines x (unless hidden).
Line StripPrefixes(std::u16string_view text, UINT format) {
    Line line;
    if (format & DT_NOPREFIX) {
        line.text.assign(text);
        return line;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && !(format & DT_HIDEPREFIX))
                line.underline = static_cast<int>(line.text.size());
        } else if (text[i] == u'&') {
            continue;
        }
        line.text.push_back(text[i]);
    }
    return line;
}

// Paragraphs end at CR LF, LF or CR; a single-line box drops the breaks.
std::vector<std::u16string_view> SplitParagraphs(std::u16string_view text, bool singleLine) {
    std::vector<std::u16string_view> out;
    if (singleLine) {
        out.push_back(text);
        return out;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        out.push_back(text.substr(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    out.push_back(text.substr(start));
    return out;
}

bool IsBreakSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

int WidthOf(FontObject& font, std::u16string_view text, int tabWidth) {
    return LayoutRun(font, text, nullptr, tabWidth, 0).width;
}

// Breaks one paragraph into lines no wider than the box, between words; a word wider than the box keeps a
// line of its own. Spaces at a break are dropped.
void BreakParagraph(FontObject& font, const Line& paragraph, int boxWidth, int tabWidth,
                    std::vector<Line>& lines) {
    const std::u16string& s = paragraph.text;
    std::size_t lineStart = 0;
    while (true) {
        std::size_t end = lineStart; // end of the words accepted so far
        std::size_t scan = lineStart;
        while (scan < s.size()) {
            std::size_t wordEnd = scan;
            while (wordEnd < s.size() && IsBreakSpace(s[wordEnd]))
                ++wordEnd;
            while (wordEnd < s.size() && !IsBreakSpace(s[wordEnd]))
                ++wordEnd;
            if (end > lineStart &&
                WidthOf(font, std::u16string_view(s).substr(lineStart, wordEnd - lineStart), tabWidth) >
                    boxWidth)
                break;
            end = scan = wordEnd;
        }
        Line line;
        line.text = s.substr(lineStart, end - lineStart);
        while (!line.text.empty() && IsBreakSpace(line.text.back()))
            line.text.pop_back();
        if (paragraph.underline >= static_cast<int>(lineStart) && paragraph.underline < static_cast<int>(end))
            line.underline = paragraph.underline - static_cast<int>(lineStart);
        lines.push_back(std::move(line));
        lineStart = end;
        while (lineStart < s.size() && IsBreakSpace(s[lineStart]))
            ++lineStart;
        if (lineStart >= s.size()) break;
    }
}

} // namespace

bool DrawTextRun(const TextTarget* target, const TextStyle& style, int x, int y, UINT options,
                 const RECT* rect, std::u16string_view text, const INT* dx) {
    std::lock_guard guard(FontLock());
    FontObject* font = style.font ? style.font : DefaultFont();
    if (!font) return false;
    const FaceMetrics& m = font->face->Metrics();
    const RunLayout layout = LayoutRun(*font, text, dx, 0, 0);
    int left = x;
    if ((style.align & TA_CENTER) == TA_CENTER)
        left = x - layout.width / 2;
    else if (style.align & TA_RIGHT)
        left = x - layout.width;
    int baseline = y + m.ascent;
    if ((style.align & TA_BASELINE) == TA_BASELINE)
        baseline = y;
    else if (style.align & TA_BOTTOM)
        baseline = y - m.descent;
    if (!target) return true;
    const RECT clip = ClipOf(*target, (options & ETO_CLIPPED) && rect ? rect : nullptr);
    if ((options & ETO_OPAQUE) && rect) FillBox(*target, clip, *rect, style.background);
    if (style.opaqueBackground)
        FillBox(*target, clip, RECT{left, baseline - m.ascent, left + layout.width, baseline + m.descent},
                style.background);
    DrawRun(*target, clip, *font, text, layout, left, baseline, style.color, 0);
    return true;
}

int DrawTextBox(const TextTarget* target, const TextStyle& style, std::u16string_view text, RECT* rect,
                UINT format, DRAWTEXTPARAMS* params) {
    std::lock_guard guard(FontLock());
    FontObject* font = style.font ? style.font : DefaultFont();
    if (!font || !rect) return 0;
    const FaceMetrics& m = font->face->Metrics();
    const int leftMargin = params ? params->iLeftMargin : 0;
    const int rightMargin = params ? params->iRightMargin : 0;
    int tabWidth = 0;
    if (format & DT_EXPANDTABS)
        tabWidth = std::max(1, (params && params->iTabLength > 0 ? params->iTabLength : 8) * m.averageWidth);
    if (params) params->uiLengthDrawn = static_cast<UINT>(text.size());
    if (text.empty()) {
        if (format & DT_CALCRECT) {
            rect->right = rect->left;
            rect->bottom = rect->top;
        }
        return 0;
    }

    const bool singleLine = format & DT_SINGLELINE;
    const int boxLeft = rect->left + leftMargin;
    const int boxWidth = rect->right - rightMargin - boxLeft;
    std::vector<Line> lines;
    for (std::u16string_view paragraph : SplitParagraphs(text, singleLine)) {
        Line stripped = StripPrefixes(paragraph, format);
        if ((format & DT_WORDBREAK) && !singleLine)
            BreakParagraph(*font, stripped, boxWidth, tabWidth, lines);
        else
            lines.push_back(std::move(stripped));
    }
    int widest = 0;
    for (Line& line : lines)
        widest = std::max(widest, line.width = WidthOf(*font, line.text, tabWidth));

    const int lineHeight = m.ascent + m.descent + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
    const int totalHeight = lineHeight * static_cast<int>(lines.size());
    int top = rect->top;
    if (singleLine && (format & DT_VCENTER))
        top = rect->top + (rect->bottom - rect->top - totalHeight) / 2;
    else if (singleLine && (format & DT_BOTTOM))
        top = rect->bottom - totalHeight;
    const int result = top - rect->top + totalHeight;

    if (format & DT_CALCRECT) {
        rect->right = rect->left + leftMargin + widest + rightMargin;
        rect->bottom = rect->top + totalHeight;
        return result;
    }
    if (!target) return result;
    const RECT clip = ClipOf(*target, (format & DT_NOCLIP) ? nullptr : rect);
    int y = top;
    for (const Line& line : lines) {
        int x = boxLeft;
        if (format & DT_CENTER)
            x = boxLeft + (boxWidth - line.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - rightMargin - line.width;
        const RunLayout layout = LayoutRun(*font, line.text, nullptr, tabWidth, 0);
        const int baseline = y + m.ascent;
        if (style.opaqueBackground)
            FillBox(*target, clip, RECT{x, y, x + line.width, y + lineHeight}, style.background);
        DrawRun(*target, clip, *font, line.text, layout, x, baseline, style.color, tabWidth);
        if (line.underline >= 0) {
            const int u = line.underline;
            const int ux = x + layout.unitX[static_cast<std::size_t>(u)];
            const int uw =
                layout.unitX[static_cast<std::size_t>(u) + 1] - layout.unitX[static_cast<std::size_t>(u)];
            FillBox(*target, clip,
                    RECT{ux, baseline + m.underlinePosition, ux + uw,
                         baseline + m.underlinePosition + m.underlineThickness},
                    style.color);
        }
        y += lineHeight;
    }
    return result;
}

} // namespace win32::fonts
