// Drawing documents into a DC: what is filled and what is not, hidden text, outlines, highlighter shapes,
// hatches, the selection and the word cursor, the DC left as it was, one reference picture; and hit tests.
#include "rtf_test_support.h"
#include "support/section_dc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace richtexttest;
using vtrtest::SectionDc;

namespace {

constexpr std::uint32_t Sentinel = 0x123456;
constexpr std::uint32_t Flags = DrawPage | DrawClipToView | DrawFillView;

// The DC's pixels as COLORREFs.
COLORREF At(const SectionDc& s, int x, int y) {
    const std::uint32_t v = s.bits[static_cast<std::size_t>(y) * s.width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void Fill(SectionDc& s, std::uint32_t rgb) {
    std::fill(s.bits, s.bits + s.width * s.height, rgb);
}

std::unique_ptr<RtfDocument> Drawn(std::string_view rtf, SectionDc& s, std::uint32_t flags = 0,
                                   std::uint32_t drawFlags = Flags, RECT view = RECT{0, 0, 0, 0}) {
    if (IsRectEmpty(&view)) view = RECT{0, 0, s.width, s.height};
    auto d = Read(rtf, view.right - view.left);
    RtfSetProperty(*d, view.left, view.top, PropertyMoveView);
    RtfSetProperty(*d, view.right - view.left, view.bottom - view.top, PropertyViewSize);
    RtfSetProperty(*d, flags, 0, PropertyFlags);
    RtfSetProperty(*d, RGB(255, 255, 255), 0, PropertyBackground);
    RtfDrawDocument(*d, s.dc, drawFlags);
    return d;
}

std::vector<std::uint32_t> Pixels(const SectionDc& s) {
    return {s.bits, s.bits + s.width * s.height};
}

TEST(Drawing, ATransparentDocumentFillsNothing) {
    SectionDc s(200, 60);
    Fill(s, Sentinel);
    const auto d = Drawn("{\\rtf1 Some text}", s, RtfTransparent);
    const RECT words = Paragraph(*d, 0).rect;
    int touched = 0;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            if (At(s, x, y) == RGB(0x12, 0x34, 0x56)) continue;
            ++touched;
            ASSERT_TRUE(x >= words.left && x < words.right && y >= words.top && y < words.bottom)
                << "drawn at " << x << "," << y << " outside the text";
        }
    EXPECT_GT(touched, 0) << "the text itself is drawn";
    // The same document opaque fills the whole view.
    Fill(s, Sentinel);
    Drawn("{\\rtf1 Some text}", s);
    EXPECT_EQ(At(s, s.width - 1, s.height - 1), RGB(255, 255, 255));
}

TEST(Drawing, HiddenTextShowsOnlyWithSymbolsAndThenDottedUnderline) {
    SectionDc hidden(160, 30), plain(160, 30);
    Drawn("{\\rtf1 a{\\v hid}b}", hidden);
    Drawn("{\\rtf1 ab}", plain);
    EXPECT_EQ(Pixels(hidden), Pixels(plain)) << "hidden text takes no room and leaves no ink";

    SectionDc shown(160, 30);
    const auto d = Drawn("{\\rtf1 a{\\v hid}b}", shown, RtfShowSymbols);
    const MeasuredFont font;
    const int left = font.Width("a"),
              bottom = RtfLineRect(*d, Paragraph(*d, 0), Paragraph(*d, 0).lines[0]).bottom - 1;
    std::string row;
    for (int x = left; x < left + 12; ++x)
        row += At(shown, x, bottom) == RGB(255, 255, 255) ? '.' : '#';
    EXPECT_EQ(row, "###...###...");
    // The paragraph's mark shows too, past the last letter.
    const int mark = font.Width("ahidb");
    bool inked = false;
    for (int y = 0; y < bottom; ++y)
        for (int x = mark; x < mark + font.DefaultWidth(); ++x)
            inked |= At(shown, x, y) != RGB(255, 255, 255);
    EXPECT_TRUE(inked);
}

TEST(Drawing, AnOutlineThickerThan255IsDrawnAs255) {
    // One full stop outlined, far enough from the edges for its widest outline.
    const auto outlined = [](std::int16_t thickness, SectionDc& s) {
        auto d = Read("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\cf1 .}", 40);
        RtfSetProperty(*d, 280, 280, PropertyMoveView);
        RtfFormatChange outline;
        outline.mask = outline.flags = RtfOutline;
        outline.values.outlineThickness = thickness;
        RtfApplyFormat(*d, RtfRange{RtfPosition{}, RtfPosition{0, 0, 0, 0, 1}}, outline);
        RtfDrawDocument(*d, s.dc, DrawPage);
    };
    SectionDc at255(600, 600), at300(600, 600);
    outlined(255, at255);
    outlined(300, at300);
    EXPECT_EQ(Pixels(at300), Pixels(at255));
    // The copies reach 255 pixels left of the stop, in the text colour.
    int leftmost = 600;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 600; ++x)
            if (At(at255, x, y) == RGB(255, 0, 0)) leftmost = std::min(leftmost, x);
    EXPECT_GE(leftmost, 280 - 255);
    EXPECT_LE(leftmost, 280 - 250);
}

TEST(Drawing, TheHighlighterShapeReachesPastItsBox) {
    SectionDc s(200, 40);
    const auto d = Drawn("{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}\\li600\\cb1\\marker hi}", s);
    const RECT line = RtfLineRect(*d, Paragraph(*d, 0), Paragraph(*d, 0).lines[0]);
    EXPECT_EQ(line.left, 40);
    EXPECT_EQ(At(s, line.left - 3, line.top + 1), RGB(255, 255, 0)) << "the upper left point of the shape";
    EXPECT_EQ(At(s, line.left - 14, line.top + 1), RGB(255, 255, 255));
}

TEST(Drawing, AHatchDrawsRisingLinesOverTheBackgroundColour) {
    SectionDc s(200, 40);
    Drawn("{\\rtf1{\\colortbl;\\red0\\green0\\blue255;\\red0\\green255\\blue0;}\\cb2\\hatch\\hatchcolor1     "
          "x}",
          s);
    int blue = 0, green = 0;
    for (int x = 1; x < 16; ++x) {
        blue += At(s, x, 3) == RGB(0, 0, 255);
        green += At(s, x, 3) == RGB(0, 255, 0);
    }
    EXPECT_EQ(blue, 2) << "one line every 8 pixels";
    EXPECT_EQ(green, 13);
}

TEST(Drawing, TheSelectionIsInvertedUnlessTheDocumentSaysNo) {
    for (const bool inverted : {true, false}) {
        SectionDc s(200, 30);
        auto d = Read("{\\rtf1 first second}", 200);
        RtfSetProperty(*d, RGB(255, 255, 255), 0, PropertyBackground);
        RtfSetProperty(*d, inverted ? 0 : RtfNoInversion, 0, PropertyFlags);
        RtfPosition word;
        ASSERT_TRUE(RtfFindWord(*d, 2, word));
        d->selection.push_back({word, RtfPosition{0, 0, 0, 1, 12}});
        RtfDrawDocument(*d, s.dc, Flags);
        RECT box{};
        ASSERT_TRUE(RtfGetRect(*d, box, word, UnitWord));
        EXPECT_EQ(At(s, box.left, box.bottom - 1), inverted ? RGB(0, 0, 0) : RGB(255, 255, 255));
        EXPECT_EQ(At(s, box.left - 1, box.bottom - 1), RGB(255, 255, 255)) << "the first word stays";
    }
}

TEST(Drawing, TheWordCursorIsAFocusRectangle) {
    SectionDc s(200, 30);
    auto d = Read("{\\rtf1 first second}", 200);
    d->cursor = RtfWordCursor{true, 2};
    RtfDrawDocument(*d, s.dc, Flags);
    RtfPosition word;
    RECT box{};
    ASSERT_TRUE(RtfFindWord(*d, 2, word));
    ASSERT_TRUE(RtfGetRect(*d, box, word, UnitWord));
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const int dotted =
        (At(s, box.left, box.top) != background) + (At(s, box.left + 1, box.top) != background);
    EXPECT_EQ(dotted, 1) << "every other pixel of the outline";
}

TEST(Drawing, TheDcIsLeftAsItWas) {
    SectionDc s(100, 30);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    SelectObject(s.dc, pen);
    SelectObject(s.dc, brush);
    SetROP2(s.dc, R2_XORPEN);
    SetBkMode(s.dc, OPAQUE);
    SetBkColor(s.dc, RGB(7, 8, 9));
    SetTextColor(s.dc, RGB(10, 11, 12));
    SetTextAlign(s.dc, TA_RIGHT);
    const MeasuredFont font;
    SelectFont(s.dc, font.Handle());
    IntersectClipRect(s.dc, 0, 0, 90, 20);
    Drawn("{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}\\cf1\\hatch\\marker\\outl text}", s, RtfShowSymbols);
    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetROP2(s.dc), R2_XORPEN);
    EXPECT_EQ(SetBkMode(s.dc, OPAQUE), OPAQUE);
    EXPECT_EQ(SetBkColor(s.dc, 0), RGB(7, 8, 9));
    EXPECT_EQ(SetTextColor(s.dc, 0), RGB(10, 11, 12));
    EXPECT_EQ(GetTextAlign(s.dc), TA_RIGHT);
    EXPECT_EQ(SelectFont(s.dc, GetStockFont(SYSTEM_FONT)), font.Handle());
    RECT clip{};
    GetClipBox(s.dc, &clip);
    EXPECT_EQ(clip.right, 90);
    EXPECT_EQ(clip.bottom, 20);
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

// A 32-bit top-down picture as a bottom-up 24-bit BMP file, and back.
void WriteBmp(const std::string& path, const SectionDc& s) {
    const int row = (s.width * 3 + 3) & ~3;
    std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(row) * s.height);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(s.width));
    put32(22, static_cast<std::uint32_t>(s.height));
    file[26] = 1;
    file[28] = 24;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t v = s.bits[static_cast<std::size_t>(s.height - 1 - y) * s.width + x];
            std::uint8_t* p = &file[54 + static_cast<std::size_t>(y) * row + 3 * x];
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
            p[2] = static_cast<std::uint8_t>(v >> 16);
        }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

std::vector<std::uint32_t> ReadBmp(const std::string& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int row = (width * 3 + 3) & ~3;
    if (file.size() != 54 + static_cast<std::size_t>(row) * height) return {};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &file[54 + static_cast<std::size_t>(height - 1 - y) * row + 3 * x];
            pixels[static_cast<std::size_t>(y) * width + x] = p[0] | (p[1] << 8) | (p[2] << 16);
        }
    return pixels;
}

// A document of every effect, drawn once and checked by eye; if a font upgrade changes it, draw it again
// (the picture drawn is named in the failure) and look at it before it replaces the reference.
TEST(Drawing, TheReferenceDocumentLooksAsItDid) {
    constexpr int Width = 320, Height = 200;
    SectionDc s(Width, Height);
    auto d = Read(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
        "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green120\\blue0;\\red255\\green240\\blue0;"
        "\\red0\\green0\\blue200;\\red180\\green180\\blue255;}"
        "\\pard\\qc\\b\\fs32 How to play\\b0\\fs24\\par"
        "\\pard\\sb120 Walk with the \\b arrow keys\\b0 , jump with \\cf1 space\\cf0 .\\par"
        "\\pard\\li300 {\\cb3\\marker Gems} give {\\i ten} points;\\tab {\\ul doors} end levels.\\par"
        "\\pard\\qr {\\f1 Serif on the right} {\\strike struck}\\par"
        "\\pard {\\cb5\\hatch\\hatchcolor4 hatched} {\\outl\\outlcolor2\\cf4 outlined} {\\v hidden}\\par}",
        Width - 20);
    RtfSetProperty(*d, 10, 10, PropertyMoveView);
    RtfSetProperty(*d, RGB(250, 250, 245), 0, PropertyBackground);
    RtfSetProperty(*d, RtfShowSymbols, 0, PropertyFlags);
    RtfPosition word;
    ASSERT_TRUE(RtfFindWord(*d, 8, word));
    d->selection.push_back(
        {word, RtfPosition{word.page, word.paragraph, word.line, word.word, word.offset + 5}});
    d->cursor = RtfWordCursor{true, 6};
    Fill(s, 0x808080);
    RtfDrawDocument(*d, s.dc, Flags);
    const std::string reference = VTR_FIXTURES_DIR "/richtext_reference.bmp";
    const std::string written = ::testing::TempDir() + std::to_string(getpid()) + "_richtext_reference.bmp";
    WriteBmp(written, s);
    const std::vector<std::uint32_t> expected = ReadBmp(reference, Width, Height);
    ASSERT_FALSE(expected.empty()) << "no reference picture; the one just drawn is " << written;
    int differences = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        differences += (s.bits[i] & 0xFFFFFF) != expected[i];
    EXPECT_EQ(differences, 0) << "the picture drawn now is " << written;
    if (!::testing::Test::HasFailure()) std::remove(written.c_str());
}

TEST(HitTest, PointsFindTheirWordLineAndParagraph) {
    auto d = Read("{\\rtf1\\qc one two three four five six seven eight nine\\par last}", 100);
    const RtfParagraph& p = Paragraph(*d, 0);
    ASSERT_GE(p.lines.size(), 2u);
    const RtfLine& line = p.lines.back();
    const RECT r = RtfLineRect(*d, p, line);
    RtfPosition at;
    ASSERT_TRUE(RtfHitTest(*d, at, UnitParagraph, r.left, r.top));
    EXPECT_EQ(at.paragraph, 0);
    ASSERT_TRUE(RtfHitTest(*d, at, UnitLine, r.left, r.top));
    EXPECT_EQ(at.line, static_cast<std::int32_t>(p.lines.size()) - 1);
    // The last line is centred and shorter than the widest: left of it its first word, past it its last.
    const RECT& page = d->Page().extent;
    ASSERT_GT(r.left, 2);
    ASSERT_LT(r.right, page.right);
    ASSERT_TRUE(RtfHitTest(*d, at, UnitWord, r.left - 2, r.top));
    EXPECT_EQ(at.word, line.firstWord);
    ASSERT_TRUE(RtfHitTest(*d, at, UnitWord, r.right, r.top));
    EXPECT_EQ(at.word, line.firstWord + line.wordCount - 1);
    // Inside: the word whose box holds the point.
    RtfPosition third;
    ASSERT_TRUE(RtfFindWord(*d, 3, third));
    RECT box{};
    ASSERT_TRUE(RtfGetRect(*d, box, third, UnitWord));
    ASSERT_TRUE(RtfHitTest(*d, at, UnitWord, box.left, box.top));
    EXPECT_EQ(RtfWordNumber(*d, at), 3);
    ASSERT_TRUE(RtfHitTest(*d, at, UnitWord, box.right - 1, box.bottom - 1));
    EXPECT_EQ(RtfWordNumber(*d, at), 3);
    // Nothing outside the page.
    EXPECT_FALSE(RtfHitTest(*d, at, UnitWord, 0, page.bottom));
    EXPECT_FALSE(RtfHitTest(*d, at, UnitParagraph, -1, 0));
    EXPECT_FALSE(RtfGetRect(*d, box, RtfPosition{0, 5, 0, 0, 0}, UnitParagraph));
    EXPECT_FALSE(RtfGetRect(*d, box, RtfPosition{0, 0, 9, 0, 0}, UnitLine));
}

// Hits land on what is drawn at every zoom: the word under a word's drawn box is that word.
TEST(HitTest, WordsAreFoundWhereTheyAreDrawnAtAnyZoom) {
    for (const std::int32_t zoom : {50, 100, 150, 300}) {
        auto d = Read("{\\rtf1 alpha beta gamma\\par delta {\\b epsilon} zeta}", 400);
        RtfSetProperty(*d, zoom, 0, PropertyZoom);
        for (std::int32_t n = 1; n <= RtfCountWords(*d); ++n) {
            RtfPosition word, hit;
            RECT box{};
            ASSERT_TRUE(RtfFindWord(*d, n, word));
            ASSERT_TRUE(RtfGetRect(*d, box, word, UnitWord));
            if (box.right <= box.left) continue;
            ASSERT_TRUE(RtfHitTest(*d, hit, UnitWord, (box.left + box.right) / 2, (box.top + box.bottom) / 2))
                << "zoom " << zoom << " word " << n;
            EXPECT_EQ(RtfWordNumber(*d, hit), n) << "zoom " << zoom;
        }
    }
}

} // namespace
