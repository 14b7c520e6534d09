// Text on surfaces: straight through the surface's DC without ink, through a keyed temporary with one,
// measuring without drawing, and refusals.
#include "blit_support.h"
#include "section_surface.h"
#include "win32/font.h"

#include <gtest/gtest.h>

#include <set>

using namespace win32;
using namespace blit_test;

namespace {

constexpr COLORREF Paper = RGB(20, 40, 60);

struct Fixture {
    explicit Fixture(BYTE quality = NONANTIALIASED_QUALITY) {
        impl = SectionSurface::Make(160, 48);
        surface.SetImplementation(impl);
        surface.Fill(Paper);
        LOGFONTW lf{};
        lf.lfHeight = -20;
        lf.lfQuality = quality;
        std::char_traits<char16_t>::copy(lf.lfFaceName, u"DejaVu Sans", 11);
        font = CreateFontIndirectW(&lf);
    }
    ~Fixture() { DeleteFont(font); }
    std::set<COLORREF> Colours() const {
        std::set<COLORREF> colours;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 160; ++x) {
                COLORREF c = 0;
                impl->GetPixel(x, y, c);
                colours.insert(c & 0xFFFFFF);
            }
        return colours;
    }
    SectionSurface* impl;
    cSurface surface;
    HFONT font;
};

} // namespace

TEST(SurfaceText, PlainTextGoesStraightThroughTheDcWithoutATemporary) {
    Fixture f;
    RECT clip{0, 0, 160, 48};
    EXPECT_NE(f.surface.TextOutWide(u"Plain", 5, 4, 4, TA_TOP | TA_LEFT, &clip, RGB(255, 255, 0), f.font, 0,
                                    0, 0, 0),
              0);
    RECT box{0, 0, 160, 48};
    EXPECT_GT(f.surface.DrawTextWide(u"Plain", -1, &box, DT_SINGLELINE, RGB(255, 255, 0), f.font, 0, 0, 0, 0,
                                     0, 0, 0),
              0);
    EXPECT_EQ(f.impl->temporaries, 0);
    EXPECT_EQ(f.Colours(), (std::set<COLORREF>{Paper, RGB(255, 255, 0)}));
}

TEST(SurfaceText, BlendInkDrawsThroughAKeyedTemporaryAndBlendsOnlyTheGlyphs) {
    for (const COLORREF colour : {RGB(200, 100, 0), RGB(255, 255, 255), RGB(0, 0, 0)}) {
        Fixture f(ANTIALIASED_QUALITY); // DrawText makes a monochrome twin for the temporary
        RECT box{10, 5, 150, 45};
        EXPECT_GT(
            f.surface.DrawTextWide(u"Blended", -1, &box, DT_SINGLELINE, colour, f.font, 0, 1, 64, 0, 0, 0, 0),
            0);
        EXPECT_EQ(f.impl->temporaries, 1);
        // Channel by channel (s x 64 + d x 64) >> 7.
        auto half = [](BYTE s, BYTE d) { return static_cast<BYTE>((s * 64 + d * 64) >> 7); };
        const COLORREF blended =
            RGB(half(GetRValue(colour), GetRValue(Paper)), half(GetGValue(colour), GetGValue(Paper)),
                half(GetBValue(colour), GetBValue(Paper)));
        EXPECT_EQ(f.Colours(), (std::set<COLORREF>{Paper, blended})) << std::hex << colour;
    }
}

TEST(SurfaceText, TextOutWithInkUsesTheClipRectangleAsItsTemporary) {
    Fixture f;
    RECT clip{20, 10, 90, 40};
    EXPECT_NE(
        f.surface.TextOutWide(u"Ink", 3, 25, 12, TA_TOP | TA_LEFT, &clip, RGB(0, 255, 0), f.font, 0, 9, 0, 0),
        0);
    EXPECT_EQ(f.impl->temporaries, 1);
    bool inked = false;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 160; ++x) {
            COLORREF c = 0;
            f.impl->GetPixel(x, y, c);
            const bool paper = (c & 0xFFFFFF) == Paper;
            inked |= !paper;
            if (x < 20 || x >= 90 || y < 10 || y >= 40) {
                ASSERT_TRUE(paper) << x << "," << y;
            }
            if (!paper) {
                ASSERT_EQ(c & 0xFFFFFF, RGB(20, 255, 60)); // added to the paper
            }
        }
    EXPECT_TRUE(inked);
}

TEST(SurfaceText, MeasuringIgnoresTheInkAndDrawsNothing) {
    Fixture f;
    RECT box{5, 5, 500, 500};
    const int height = f.surface.DrawTextWide(u"Measure me", -1, &box, DT_CALCRECT | DT_SINGLELINE,
                                              RGB(255, 0, 0), f.font, 0, 1, 64, 1, 0, 0, 0);
    TEXTMETRICW tm{};
    GetFontTextMetricsW(f.font, &tm);
    EXPECT_EQ(height, tm.tmHeight);
    EXPECT_EQ(box.bottom, 5 + tm.tmHeight);
    SIZE size{};
    GetFontTextExtentW(f.font, u"Measure me", 10, &size);
    EXPECT_EQ(box.right, 5 + size.cx);
    EXPECT_EQ(f.impl->temporaries, 0);
    EXPECT_EQ(f.Colours(), std::set<COLORREF>{Paper});
}

TEST(SurfaceText, InvisibleInkAnswersOneAndBadInksOrMissingDcsZero) {
    Fixture f;
    RECT box{0, 0, 160, 48};
    EXPECT_EQ(f.surface.DrawTextWide(u"x", 1, &box, 0, RGB(255, 0, 0), f.font, 0, 1, 128, 0, 0, 0, 0), 1);
    EXPECT_EQ(f.surface.DrawTextWide(u"x", 1, &box, 0, RGB(255, 0, 0), f.font, 0, 14, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(f.Colours(), std::set<COLORREF>{Paper});
    auto memory = MakeSurface(40, 20, 32); // memory surfaces have no DC
    EXPECT_EQ(memory->DrawTextWide(u"x", 1, &box, 0, RGB(255, 0, 0), f.font, 0, 0, 0, 0, 0, 0, 0), 0);
}

TEST(SurfaceText, AnsiTextMatchesWideText) {
    Fixture wide, narrow;
    RECT a{0, 0, 160, 48}, b{0, 0, 160, 48};
    wide.surface.DrawTextWide(u"Caf\u00e9", -1, &a, 0, RGB(255, 255, 255), wide.font, 0, 0, 0, 0, 0, 0, 0);
    narrow.surface.DrawTextAnsi("Caf\xe9", -1, &b, 0, RGB(255, 255, 255), narrow.font, 0, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 160; ++x) {
            COLORREF p = 0, q = 0;
            wide.impl->GetPixel(x, y, p);
            narrow.impl->GetPixel(x, y, q);
            ASSERT_EQ(p, q) << x << "," << y;
        }
}
