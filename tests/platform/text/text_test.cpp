// Fonts through fontconfig and FreeType, text metrics and extents, and the text rasteriser with its
// DrawText layout, drawn into plain pixel buffers.
#include "platform/src/text_target.h"
#include "support/section_dc.h"
#include "win32/font.h"
#include "win32/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace win32;
using win32::fonts::DrawTextBox;
using win32::fonts::DrawTextRun;
using win32::fonts::TextStyle;
using win32::fonts::TextTarget;

namespace {

constexpr COLORREF Background = RGB(10, 20, 30);
constexpr COLORREF Ink = RGB(250, 240, 5);

// A font that deletes itself.
class Font {
public:
    explicit Font(int height, const char16_t* face = u"DejaVu Sans", BYTE quality = DEFAULT_QUALITY,
                  LONG weight = FW_NORMAL, BYTE italic = 0, BYTE underline = 0) {
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        lf.lfItalic = italic;
        lf.lfUnderline = underline;
        lf.lfQuality = quality;
        std::char_traits<char16_t>::copy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face));
        handle = CreateFontIndirectW(&lf);
    }
    ~Font() { DeleteFont(handle); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT handle;
};

// A 32-bit pixel buffer filled with the background colour.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0xFF0A141E) {}
    TextTarget Target() {
        TextTarget t;
        t.pixels = reinterpret_cast<BYTE*>(pixels.data());
        t.pitch = width * 4;
        t.bitsPerPixel = 32;
        t.width = width;
        t.height = height;
        t.clip = RECT{0, 0, width, height};
        return t;
    }
    COLORREF At(int x, int y) const {
        const std::uint32_t v = pixels[static_cast<std::size_t>(y) * width + x];
        return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
    }
    // Bounding box of the pixels that differ from the background (empty when none).
    RECT Ink() const {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y) != Background) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
    int width, height;
    std::vector<std::uint32_t> pixels;
};

TextStyle StyleOf(HFONT font) {
    TextStyle s;
    s.font = font;
    s.color = Ink;
    return s;
}

int Extent(HFONT font, std::u16string_view text) {
    SIZE size{};
    EXPECT_TRUE(GetFontTextExtentW(font, text.data(), static_cast<int>(text.size()), &size));
    return size.cx;
}

TEXTMETRICW Metrics(HFONT font) {
    TEXTMETRICW tm{};
    EXPECT_TRUE(GetFontTextMetricsW(font, &tm));
    return tm;
}

} // namespace

TEST(Fonts, NegativeHeightIsTheEmSizeAndPositiveTheCellHeight) {
    Font cell(20), em(-20);
    ASSERT_TRUE(cell.handle && em.handle);
    const TEXTMETRICW c = Metrics(cell.handle), e = Metrics(em.handle);
    EXPECT_EQ(c.tmHeight, 20);
    EXPECT_EQ(c.tmHeight, c.tmAscent + c.tmDescent);
    EXPECT_EQ(e.tmHeight - e.tmInternalLeading, 20);
    EXPECT_GT(e.tmHeight, 20);
    EXPECT_GT(e.tmAveCharWidth, 0);
    EXPECT_GE(e.tmMaxCharWidth, e.tmAveCharWidth);
}

TEST(Fonts, ExtentsGrowWithLengthAndSize) {
    Font small(-12), large(-24);
    const int shortSmall = Extent(small.handle, u"Hello"), longSmall = Extent(small.handle, u"Hello world");
    const int shortLarge = Extent(large.handle, u"Hello");
    EXPECT_GT(shortSmall, 0);
    EXPECT_GT(longSmall, shortSmall);
    EXPECT_GT(shortLarge, shortSmall * 3 / 2);
    SIZE size{};
    ASSERT_TRUE(GetFontTextExtentW(small.handle, u"", 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, Metrics(small.handle).tmHeight);
}

TEST(Fonts, BoldAndItalicResolveAndDifferFromRegular) {
    Font regular(-20), bold(-20, u"DejaVu Sans", DEFAULT_QUALITY, FW_BOLD);
    EXPECT_GT(Extent(bold.handle, u"Wide text"), Extent(regular.handle, u"Wide text"));
}

TEST(Fonts, LogicalFontReadsBackInBothForms) {
    Font font(-14, u"DejaVu Serif");
    LOGFONTW wide{};
    ASSERT_EQ(GetFontObjectW(font.handle, sizeof wide, &wide), static_cast<int>(sizeof wide));
    EXPECT_EQ(wide.lfHeight, -14);
    EXPECT_EQ(std::u16string(wide.lfFaceName), u"DejaVu Serif");
    LOGFONTA narrow{};
    ASSERT_EQ(GetFontObjectA(font.handle, sizeof narrow, &narrow), static_cast<int>(sizeof narrow));
    EXPECT_STREQ(narrow.lfFaceName, "DejaVu Serif");
    EXPECT_EQ(GetFontObjectW(reinterpret_cast<HFONT>(&wide), sizeof wide, &wide), 0);
}

TEST(Fonts, AnsiFontMatchesWideFont) {
    LOGFONTA lf{};
    lf.lfHeight = -16;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    HFONT narrow = CreateFontIndirectA(&lf);
    Font wide(-16);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(Extent(narrow, u"Same text"), Extent(wide.handle, u"Same text"));
    EXPECT_TRUE(DeleteFont(narrow));
    EXPECT_FALSE(DeleteFont(narrow));
}

TEST(Fonts, StockFontsExistAndAreNeverDeleted) {
    HFONT system = GetStockFont(SYSTEM_FONT);
    ASSERT_TRUE(system);
    EXPECT_EQ(GetStockFont(SYSTEM_FONT), system);
    EXPECT_FALSE(DeleteFont(system));
    EXPECT_TRUE(IsFont(system));
    EXPECT_EQ(GetStockFont(0), nullptr);
}

TEST(Fonts, SurrogatePairsDecodeToOneCodePointAndLoneHalvesToReplacement) {
    const std::u16string text = u"a\xD835\xDC00\xD800z";
    std::size_t i = 0;
    EXPECT_EQ(detail::NextCodePoint(text, i), U'a');
    EXPECT_EQ(detail::NextCodePoint(text, i), char32_t{0x1D400});
    EXPECT_EQ(detail::NextCodePoint(text, i), char32_t{0xFFFD});
    EXPECT_EQ(detail::NextCodePoint(text, i), U'z');
    EXPECT_EQ(i, text.size());
}

TEST(TextDrawing, UnknownFaceNameStillDraws) {
    Font font(-16, u"No Such Face Anywhere");
    ASSERT_TRUE(font.handle);
    Canvas canvas(120, 40);
    const TextTarget target = canvas.Target();
    ASSERT_TRUE(DrawTextRun(&target, StyleOf(font.handle), 2, 2, 0, nullptr, u"Drawn", nullptr));
    const RECT ink = canvas.Ink();
    EXPECT_LT(ink.left, ink.right);
}

TEST(TextDrawing, MonochromeFontWritesOnlyTheTextColour) {
    for (const BYTE quality : {NONANTIALIASED_QUALITY, ANTIALIASED_QUALITY}) {
        Font font(-18, u"DejaVu Sans", quality);
        Canvas canvas(200, 40);
        const TextTarget target = canvas.Target();
        DrawTextRun(&target, StyleOf(font.handle), 2, 2, 0, nullptr, u"Smooth curves & slopes", nullptr);
        bool onlyTwoColours = true;
        int inked = 0;
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x) {
                const COLORREF c = canvas.At(x, y);
                inked += c == Ink;
                onlyTwoColours &= c == Ink || c == Background;
            }
        EXPECT_GT(inked, 50);
        EXPECT_EQ(onlyTwoColours, quality == NONANTIALIASED_QUALITY) << "quality " << int(quality);
    }
}

TEST(TextDrawing, FourthByteOfThirtyTwoBitPixelsIsKept) {
    Font font(-18, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    Canvas canvas(60, 30);
    const TextTarget target = canvas.Target();
    DrawTextRun(&target, StyleOf(font.handle), 2, 2, 0, nullptr, u"MW", nullptr);
    for (std::uint32_t p : canvas.pixels)
        ASSERT_EQ(p >> 24, 0xFFu);
}

TEST(TextDrawing, AlignmentFlagsPlaceTheReferencePoint) {
    Font font(-20, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    const TEXTMETRICW tm = Metrics(font.handle);
    const int width = Extent(font.handle, u"HH");
    for (const UINT align : {TA_LEFT | TA_TOP, TA_RIGHT | TA_BASELINE, TA_CENTER | TA_BOTTOM}) {
        Canvas canvas(200, 80);
        const TextTarget target = canvas.Target();
        TextStyle style = StyleOf(font.handle);
        style.align = align;
        DrawTextRun(&target, style, 100, 40, 0, nullptr, u"HH", nullptr);
        const RECT ink = canvas.Ink();
        const int left = (align & TA_CENTER) == TA_CENTER ? 100 - width / 2
                         : (align & TA_RIGHT)             ? 100 - width
                                                          : 100;
        const int baseline = (align & TA_BASELINE) == TA_BASELINE ? 40
                             : (align & TA_BOTTOM)                ? 40 - tm.tmDescent
                                                                  : 40 + tm.tmAscent;
        EXPECT_NEAR(ink.left, left, 3) << align;
        EXPECT_NEAR(ink.bottom, baseline, 1) << align; // "H" sits on the baseline
    }
}

TEST(TextDrawing, ClippedRunStaysInsideItsRectangle) {
    Font font(-24);
    Canvas canvas(200, 60);
    const TextTarget target = canvas.Target();
    const RECT clip{10, 10, 40, 30};
    DrawTextRun(&target, StyleOf(font.handle), 0, 0, ETO_CLIPPED, &clip, u"Clipped text", nullptr);
    const RECT ink = canvas.Ink();
    EXPECT_GE(ink.left, clip.left);
    EXPECT_GE(ink.top, clip.top);
    EXPECT_LE(ink.right, clip.right);
    EXPECT_LE(ink.bottom, clip.bottom);
    EXPECT_LT(ink.left, ink.right);
}

TEST(TextDrawing, OtherDepthsReceiveText) {
    Font font(-16, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    for (const int bits : {8, 15, 16, 24}) {
        const int w = 80, h = 24, pitch = (w * ((bits + 7) / 8) + 3) & ~3;
        std::vector<BYTE> pixels(static_cast<std::size_t>(pitch) * h, 0);
        const COLORREF palette[2] = {RGB(0, 0, 0), RGB(255, 255, 255)};
        TextTarget t;
        t.pixels = pixels.data();
        t.pitch = pitch;
        t.bitsPerPixel = bits;
        t.width = w;
        t.height = h;
        t.clip = RECT{0, 0, w, h};
        t.palette = palette;
        t.paletteCount = 2;
        TextStyle style = StyleOf(font.handle);
        style.color = RGB(255, 255, 255);
        DrawTextRun(&t, style, 1, 1, 0, nullptr, u"Text", nullptr);
        const std::size_t lit = std::count_if(pixels.begin(), pixels.end(), [](BYTE b) { return b != 0; });
        EXPECT_GT(lit, 20u) << bits;
        const BYTE highest = *std::max_element(pixels.begin(), pixels.end());
        if (bits == 8) {
            EXPECT_EQ(highest, 1);
        }
    }
}

TEST(TextDrawing, UnderlineAndStrikeOutAddLines) {
    Font plain(-20), underlined(-20, u"DejaVu Sans", DEFAULT_QUALITY, FW_NORMAL, 0, 1);
    Canvas a(120, 40), b(120, 40);
    const TextTarget ta = a.Target(), tb = b.Target();
    DrawTextRun(&ta, StyleOf(plain.handle), 2, 2, 0, nullptr, u"under", nullptr);
    DrawTextRun(&tb, StyleOf(underlined.handle), 2, 2, 0, nullptr, u"under", nullptr);
    EXPECT_GT(b.Ink().bottom, a.Ink().bottom);
}

// ---- DrawText layout
// ----------------------------------------------------------------------------------------

namespace {
RECT CalcRect(HFONT font, std::u16string_view text, RECT r, UINT format, DRAWTEXTPARAMS* params = nullptr,
              int* height = nullptr) {
    const int h = DrawTextBox(nullptr, StyleOf(font), text, &r, format | DT_CALCRECT, params);
    if (height) *height = h;
    return r;
}
} // namespace

TEST(DrawTextLayout, CalcRectOfASingleLineIsItsExtentAndCellHeight) {
    Font font(-16);
    const TEXTMETRICW tm = Metrics(font.handle);
    int height = 0;
    const RECT r = CalcRect(font.handle, u"One line", RECT{5, 7, 500, 500}, DT_SINGLELINE, nullptr, &height);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 7);
    EXPECT_EQ(r.right, 5 + Extent(font.handle, u"One line"));
    EXPECT_EQ(r.bottom, 7 + tm.tmHeight);
    EXPECT_EQ(height, tm.tmHeight);
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 0, 3, 4, 0};
    const RECT m = CalcRect(font.handle, u"One line", RECT{5, 7, 500, 500}, DT_SINGLELINE, &params);
    EXPECT_EQ(m.right, 5 + 3 + Extent(font.handle, u"One line") + 4);
    EXPECT_EQ(params.uiLengthDrawn, 8u);
}

TEST(DrawTextLayout, WordBreakSplitsBetweenWordsAndDropsTheSpaces) {
    Font font(-16);
    const TEXTMETRICW tm = Metrics(font.handle);
    const int twoWords = Extent(font.handle, u"alpha beta");
    const RECT box{0, 0, twoWords + 2, 1000};
    const RECT r = CalcRect(font.handle, u"alpha beta  beta alpha", box, DT_WORDBREAK);
    EXPECT_EQ(r.bottom, 2 * tm.tmHeight);
    EXPECT_EQ(r.right, twoWords);
    // Without DT_WORDBREAK the text stays on one line; a word wider than the box keeps a line of its own.
    EXPECT_EQ(CalcRect(font.handle, u"alpha beta gamma delta", box, 0).bottom, tm.tmHeight);
    const RECT narrow = CalcRect(font.handle, u"unbreakable word", RECT{0, 0, 10, 100}, DT_WORDBREAK);
    EXPECT_EQ(narrow.bottom, 2 * tm.tmHeight);
    EXPECT_EQ(narrow.right, Extent(font.handle, u"unbreakable"));
}

TEST(DrawTextLayout, LineBreaksStartNewLinesUnlessSingleLine) {
    Font font(-16);
    const int h = Metrics(font.handle).tmHeight;
    EXPECT_EQ(CalcRect(font.handle, u"one\r\ntwo\nthree\rfour", RECT{0, 0, 100, 100}, 0).bottom, 4 * h);
    EXPECT_EQ(CalcRect(font.handle, u"one\r\ntwo", RECT{0, 0, 100, 100}, DT_SINGLELINE).bottom, h);
}

TEST(DrawTextLayout, TabsExpandToStopsOfAverageCharacterWidths) {
    Font font(-16);
    const TEXTMETRICW tm = Metrics(font.handle);
    const int b = Extent(font.handle, u"b");
    EXPECT_EQ(CalcRect(font.handle, u"a\tb", RECT{0, 0, 1000, 100}, DT_EXPANDTABS).right,
              8 * tm.tmAveCharWidth + b);
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 3, 0, 0, 0};
    EXPECT_EQ(CalcRect(font.handle, u"a\tb", RECT{0, 0, 1000, 100}, DT_EXPANDTABS, &params).right,
              3 * tm.tmAveCharWidth + b);
    EXPECT_EQ(CalcRect(font.handle, u"\t\tb", RECT{0, 0, 1000, 100}, DT_EXPANDTABS, &params).right,
              6 * tm.tmAveCharWidth + b);
}

TEST(DrawTextLayout, PrefixAmpersandIsRemovedAndDoubledOneKept) {
    Font font(-16);
    EXPECT_EQ(CalcRect(font.handle, u"&File", RECT{0, 0, 500, 100}, 0).right, Extent(font.handle, u"File"));
    EXPECT_EQ(CalcRect(font.handle, u"A&&B", RECT{0, 0, 500, 100}, 0).right, Extent(font.handle, u"A&B"));
    EXPECT_EQ(CalcRect(font.handle, u"&File", RECT{0, 0, 500, 100}, DT_NOPREFIX).right,
              Extent(font.handle, u"&File"));
}

TEST(DrawTextLayout, AlignmentsPlaceTheTextInTheBox) {
    Font font(-20, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    const TEXTMETRICW tm = Metrics(font.handle);
    const int w = Extent(font.handle, u"HH");
    const RECT box{20, 10, 180, 90};
    struct Case {
        UINT format;
        int left;
        int top;
        int result;
    };
    const Case cases[] = {
        {DT_SINGLELINE, 20, 10, tm.tmHeight},
        {DT_SINGLELINE | DT_RIGHT, 180 - w, 10, tm.tmHeight},
        {DT_SINGLELINE | DT_CENTER | DT_VCENTER, 20 + (160 - w) / 2, 10 + (80 - tm.tmHeight) / 2,
         (80 - tm.tmHeight) / 2 + tm.tmHeight},
        {DT_SINGLELINE | DT_BOTTOM, 20, 90 - tm.tmHeight, 80},
    };
    for (const Case& c : cases) {
        Canvas canvas(200, 100);
        const TextTarget target = canvas.Target();
        RECT r = box;
        EXPECT_EQ(DrawTextBox(&target, StyleOf(font.handle), u"HH", &r, c.format, nullptr), c.result)
            << c.format;
        const RECT ink = canvas.Ink();
        EXPECT_NEAR(ink.left, c.left, 3) << c.format;
        // "H" rises from the baseline to the cap height, below the internal leading.
        EXPECT_EQ(ink.bottom, c.top + tm.tmAscent) << c.format;
        EXPECT_GT(ink.top, c.top) << c.format;
    }
}

TEST(DrawTextLayout, TextOutsideTheBoxIsClippedUnlessNoClip) {
    Font font(-20);
    for (const UINT noClip : {0u, DT_NOCLIP}) {
        Canvas canvas(300, 60);
        const TextTarget target = canvas.Target();
        RECT r{10, 10, 40, 50};
        DrawTextBox(&target, StyleOf(font.handle), u"Much longer than the box", &r, DT_SINGLELINE | noClip,
                    nullptr);
        EXPECT_EQ(canvas.Ink().right <= 40, noClip == 0) << noClip;
    }
}

TEST(DrawTextLayout, EmptyTextHasNoHeight) {
    Font font(-16);
    int height = -1;
    const RECT r = CalcRect(font.handle, u"", RECT{3, 4, 50, 50}, 0, nullptr, &height);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(r.right, 3);
    EXPECT_EQ(r.bottom, 4);
}

// ---- Through device contexts
// --------------------------------------------------------------------------------

namespace {

// A section filled with the background colour.
struct SectionDc : vtrtest::SectionDc {
    SectionDc(int w, int h) : vtrtest::SectionDc(w, h) {
        for (int i = 0; bits && i < w * h; ++i)
            bits[i] = 0x0A141E;
    }
    RECT Ink() const {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((bits[y * width + x] & 0xFFFFFF) != 0x0A141E) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
};

} // namespace

TEST(DeviceContextText, DrawTextLandsInTheSelectedBitmapWithTheDcsFontAndColour) {
    SectionDc target(160, 60);
    ASSERT_TRUE(target.dc && target.bits);
    Font font(-20, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    EXPECT_EQ(SelectFont(target.dc, font.handle), GetStockFont(SYSTEM_FONT));
    SetTextColor(target.dc, RGB(255, 0, 0));
    SetBkMode(target.dc, TRANSPARENT);
    RECT r{10, 10, 150, 50};
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(target.dc, &tm));
    EXPECT_EQ(DrawTextW(target.dc, u"Red", -1, &r, DT_SINGLELINE | DT_NOPREFIX), tm.tmHeight);
    const RECT ink = target.Ink();
    EXPECT_GE(ink.left, 10);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.bottom, 10 + tm.tmHeight);
    bool onlyRed = true;
    for (int i = 0; i < 160 * 60; ++i)
        onlyRed &= (target.bits[i] & 0xFFFFFF) == 0x0A141E || (target.bits[i] & 0xFFFFFF) == 0xFF0000;
    EXPECT_TRUE(onlyRed);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(target.dc, u"Red", 3, &size));
    EXPECT_EQ(size.cx, Extent(font.handle, u"Red"));
    SelectFont(target.dc, GetStockFont(SYSTEM_FONT));
}

TEST(DeviceContextText, OpaqueBackgroundFillsTheTextCellAndCalcRectDrawsNothing) {
    SectionDc target(120, 40);
    Font font(-16);
    SelectFont(target.dc, font.handle);
    SetBkMode(target.dc, OPAQUE);
    SetBkColor(target.dc, RGB(0, 0, 255));
    RECT measure{0, 0, 120, 40};
    DrawTextW(target.dc, u"Cell", -1, &measure, DT_CALCRECT);
    EXPECT_EQ(target.Ink().right, 0); // nothing drawn
    SetTextAlign(target.dc, TA_LEFT | TA_TOP);
    ASSERT_TRUE(TextOutW(target.dc, 5, 5, u"Cell", 4));
    const RECT ink = target.Ink();
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.right, 5 + measure.right);
    EXPECT_EQ(ink.bottom, 5 + measure.bottom);
    EXPECT_EQ(target.bits[5 * 120 + 5] & 0xFFFFFF, 0x0000FFu); // blue, blue-low
    SelectFont(target.dc, GetStockFont(SYSTEM_FONT));
}

TEST(TextDrawing, CodePointsTheFaceLacksComeFromAFallbackFace) {
    Font font(-24, u"DejaVu Sans", NONANTIALIASED_QUALITY, FW_BOLD);
    auto draw = [&](std::u16string_view text) {
        Canvas canvas(60, 40);
        const TextTarget target = canvas.Target();
        DrawTextRun(&target, StyleOf(font.handle), 4, 4, 0, nullptr, text, nullptr);
        return canvas.pixels;
    };
    // Mathematical bold A (a surrogate pair) is not in the sans face; a private-use code point is nowhere
    // and gets the missing-glyph box.
    EXPECT_NE(draw(u"\xD835\xDC00"), draw(u"\xDB80\xDC00"));
}

TEST(DeviceContextText, TabStopFormatTakesTheTabLengthFromItsSecondByte) {
    // With DT_TABSTOP the second byte is the tab length, so flags that live there cannot be combined with it.
    SectionDc byFormat(120, 30), byParams(120, 30);
    Font font(-16, u"DejaVu Sans", NONANTIALIASED_QUALITY);
    SelectFont(byFormat.dc, font.handle);
    SelectFont(byParams.dc, font.handle);
    SetBkMode(byFormat.dc, TRANSPARENT);
    SetBkMode(byParams.dc, TRANSPARENT);
    RECT a{0, 0, 120, 30}, b{0, 0, 120, 30};
    DrawTextW(byFormat.dc, u"\tH", 2, &a, DT_EXPANDTABS | DT_TABSTOP | (3u << 8));
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 3, 0, 0, 0};
    DrawTextExW(byParams.dc, u"\tH", 2, &b, DT_EXPANDTABS, &params);
    EXPECT_EQ(std::vector<std::uint32_t>(byFormat.bits, byFormat.bits + 120 * 30),
              std::vector<std::uint32_t>(byParams.bits, byParams.bits + 120 * 30));
    EXPECT_GE(byFormat.Ink().left, 3 * Metrics(font.handle).tmAveCharWidth);
    SelectFont(byFormat.dc, GetStockFont(SYSTEM_FONT));
    SelectFont(byParams.dc, GetStockFont(SYSTEM_FONT));
}

TEST(Fonts, GenericGdiCallsTakeFonts) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_EQ(gui, GetStockFont(DEFAULT_GUI_FONT));
    EXPECT_EQ(SelectObject(dc, gui), GetStockFont(SYSTEM_FONT));
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(gui, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_TRUE(DeleteObject(gui)); // stock: no error, and it stays
    EXPECT_TRUE(IsFont(gui));
    HFONT made = CreateFontIndirectW(&lf);
    EXPECT_EQ(SelectObject(dc, made), gui);
    SelectObject(dc, gui);
    EXPECT_TRUE(DeleteObject(made));
    EXPECT_FALSE(IsFont(made));
    DeleteDC(dc);
}

TEST(Fonts, TabbedExtentJumpsToTheTabStops) {
    Font font(-12);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectFont(dc, font.handle);
    const int b = Extent(font.handle, u"b");
    const int height = Metrics(font.handle).tmHeight;
    const int every8 = 8 * Metrics(font.handle).tmAveCharWidth;
    const INT one[] = {50};
    const INT several[] = {30, 70};
    struct Case {
        const char16_t* text;
        int tabCount;
        const INT* stops;
        int width;
    };
    const Case cases[] = {
        {u"ab", 0, nullptr, Extent(font.handle, u"ab")},
        {u"a\tb", 0, nullptr, every8 + b},
        {u"a\tb", 1, one, 50 + b},
        {u"a\t\tb", 1, one, 100 + b},
        {u"a\tb", 2, several, 30 + b},
        {u"a\t\t\tb", 2, several, 110 + b},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(std::char_traits<char16_t>::length(c.text));
        const DWORD extent = GetTabbedTextExtentW(dc, c.text, n, c.tabCount, c.stops);
        EXPECT_EQ(static_cast<int>(extent & 0xFFFF), c.width) << static_cast<int>(n) << " units";
        EXPECT_EQ(static_cast<int>(extent >> 16), height);
    }
    SelectFont(dc, GetStockFont(SYSTEM_FONT));
    DeleteDC(dc);
}

// The widths of single characters are the advances their text extents add up, so that a layout measured
// character by character lands where the text is drawn.
TEST(Fonts, CharacterWidthsAddUpToTheTextExtent) {
    Font font(-15);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectFont(dc, font.handle);
    INT widths[26] = {};
    ASSERT_TRUE(GetCharWidthW(dc, u'a', u'z', widths));
    std::u16string all;
    int sum = 0;
    for (int i = 0; i < 26; ++i) {
        all.push_back(static_cast<char16_t>(u'a' + i));
        sum += widths[i];
        EXPECT_EQ(widths[i], Extent(font.handle, all.substr(i, 1).c_str())) << static_cast<char>('a' + i);
    }
    EXPECT_EQ(sum, Extent(font.handle, all.c_str()));
    EXPECT_GT(widths['m' - 'a'], widths['i' - 'a']);
    INT one = 0;
    EXPECT_TRUE(GetCharWidthW(dc, 0xE9, 0xE9, &one));
    EXPECT_EQ(one, Extent(font.handle, u"\u00E9"));
    EXPECT_FALSE(GetCharWidthW(dc, u'b', u'a', widths)) << "last before first";
    // The metrics a measuring layout reads: ascent within the height, the default character and the range.
    const TEXTMETRICW m = Metrics(font.handle);
    EXPECT_GT(m.tmAscent, 0);
    EXPECT_LT(m.tmAscent, m.tmHeight);
    EXPECT_LE(m.tmFirstChar, u' ');
    EXPECT_GE(m.tmLastChar, 0xFF);
    EXPECT_TRUE(GetCharWidthW(dc, m.tmDefaultChar, m.tmDefaultChar, &one));
    EXPECT_GT(one, 0);
    SelectFont(dc, GetStockFont(SYSTEM_FONT));
    DeleteDC(dc);
}
