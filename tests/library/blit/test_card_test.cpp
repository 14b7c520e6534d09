// One picture of everything the engine draws: text at several sizes and styles, stretched and rotated
// sprites, and a sprite blitted with every ink. It is written as a BMP and compared with the reference
// picture made by the same code once and checked by eye.
#include "blit_support.h"
#include "section_surface.h"
#include "vtrs2/surface_engine.h"
#include "win32/font.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

using namespace win32;
using namespace blit_test;

namespace {

constexpr int CardWidth = 640;
constexpr int CardHeight = 400;
constexpr COLORREF Key = RGB(255, 0, 255);

// A 32 x 32 sprite on the key colour: a striped ball with a dark rim and a light spot.
std::unique_ptr<cSurface> Sprite() {
    auto s = MakeSurface(32, 32, 32);
    s->Fill(Key);
    s->SetColorKey(Key);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const double dx = x - 15.5, dy = y - 15.5, r = std::sqrt(dx * dx + dy * dy);
            if (r > 15) continue;
            COLORREF c = ((x + y) / 4) % 2 ? RGB(230, 120, 20) : RGB(30, 90, 210);
            if (r > 13) c = RGB(20, 20, 20);
            if (std::hypot(dx + 5, dy + 5) < 4) c = RGB(250, 250, 240);
            s->SetPixel(x, y, c);
        }
    return s;
}

HFONT MakeFont(int height, LONG weight, BYTE italic, BYTE underline, BYTE strike, BYTE quality,
               const char16_t* face) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = strike;
    lf.lfQuality = quality;
    std::char_traits<char16_t>::copy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face));
    return CreateFontIndirectW(&lf);
}

void DrawCard(cSurface& card) {
    // Background: a soft diagonal gradient, so that inks have something to work on.
    cSurfaceImplementation* c = card.GetImplementation();
    for (int y = 0; y < CardHeight; ++y)
        for (int x = 0; x < CardWidth; ++x)
            c->SetPixelFast(x, y,
                            RGB(static_cast<BYTE>(40 + x / 5), static_cast<BYTE>(60 + y / 4),
                                static_cast<BYTE>(120 + (x + y) / 16)));
    auto sprite = Sprite();

    // Row 1: every ink, keyed; the last two also antialiased.
    struct InkUse {
        int ink;
        LPARAM parameter;
        int flags;
    };
    const InkUse inks[] = {{0, 0, 0},
                           {1, 64, 0},
                           {2, 0, 0},
                           {3, 0, 0},
                           {4, 0, 0},
                           {5, 0, 0},
                           {6, 0x40FFFF00, 0},
                           {8, 0, 0},
                           {9, 0, 0},
                           {10, 0, 0},
                           {11, 0, 0},
                           {12, 0x50000000, 0},
                           {0x1000, 0x80000000, 0},
                           {0, 0, 1},
                           {1, 32, 1}};
    int x = 8;
    for (const InkUse& use : inks) {
        sprite->Blit(card, x, 8, 0, 0, 32, 32, 1, use.ink, use.parameter, use.flags);
        x += 40;
    }
    // Row 2: stretches: fast 2x, smooth 2x, smooth half, transparency-aware 1.5x, a wide fast one.
    sprite->StretchBlit(card, 8, 52, 64, 64, 0, 0, 32, 32, 1, 0, 0, 0);
    sprite->StretchBlit(card, 80, 52, 64, 64, 0, 0, 32, 32, 1, 0, 0, 2);
    sprite->StretchBlit(card, 152, 52, 16, 16, 0, 0, 32, 32, 1, 0, 0, 2);
    sprite->StretchBlit(card, 176, 52, 48, 48, 0, 0, 32, 32, 1, 1, 40, 2);
    sprite->StretchBlit(card, 232, 52, 96, 24, 0, 0, 32, 32, 1, 9, 0, 0);
    // Rotations, drawn keyed: 30 plain, 45 smoothed, 90, 200 smoothed with the key kept.
    int rx = 340;
    for (const float angle : {30.0f, 45.0f, 90.0f, 200.0f}) {
        SIZE size{32, 32};
        RotateImageBounds(&size, nullptr, nullptr, angle);
        cSurface turned;
        turned.Create(size.cx, size.cy, sprite.get());
        turned.Fill(Key);
        turned.SetColorKey(Key);
        sprite->GetImplementation()->Rotate(turned.GetImplementation(), angle, angle != 30.0f, Key, 1);
        turned.Blit(card, rx, 52, 0, 0, size.cx, size.cy, 1);
        rx += size.cx + 8;
    }

    // Text: sizes, styles, a monochrome face, a serif and a mono face, inks, and a wrapped box.
    struct Line {
        int height;
        LONG weight;
        BYTE italic, underline, strike, quality;
        const char16_t* face;
        const char16_t* text;
        COLORREF colour;
        int ink;
        LPARAM parameter;
    };
    const Line lines[] = {
        {-10, FW_NORMAL, 0, 0, 0, 0, u"DejaVu Sans", u"Ten pixels: The quick brown fox", RGB(255, 255, 255),
         0, 0},
        {-14, FW_NORMAL, 0, 0, 0, 0, u"DejaVu Sans", u"Fourteen pixels: jumps over the lazy dog",
         RGB(255, 255, 255), 0, 0},
        {-20, FW_BOLD, 0, 0, 0, 0, u"DejaVu Sans", u"Bold twenty \u00e9\u00e8\u00e7 \xD835\xDC00",
         RGB(255, 240, 0), 0, 0},
        {-20, FW_NORMAL, 1, 1, 0, 0, u"DejaVu Serif", u"Italic underlined serif", RGB(0, 0, 0), 0, 0},
        {-18, FW_NORMAL, 0, 0, 1, NONANTIALIASED_QUALITY, u"DejaVu Sans Mono", u"Mono, struck out",
         RGB(200, 0, 0), 0, 0},
        {-28, FW_BOLD, 0, 0, 0, 0, u"No Such Face", u"Blended 28 (fallback face)", RGB(255, 255, 255), 1, 48},
        {-24, FW_NORMAL, 0, 0, 0, 0, u"DejaVu Sans", u"Added ink", RGB(0, 120, 255), 9, 0},
    };
    int y = 130;
    for (const Line& line : lines) {
        HFONT font = MakeFont(line.height, line.weight, line.italic, line.underline, line.strike,
                              line.quality, line.face);
        RECT box{10, y, 400, y + 40};
        y += card.DrawTextWide(line.text, -1, &box, DT_SINGLELINE | DT_NOPREFIX, line.colour, font, 0,
                               line.ink, line.parameter, 0, 0, 0, 0) +
             4;
        DeleteFont(font);
    }
    HFONT font = MakeFont(-13, FW_NORMAL, 0, 0, 0, 0, u"DejaVu Sans");
    RECT box{420, 140, 630, 300};
    card.RectangleFlat(box.left - 1, box.top - 1, box.right + 1, box.bottom + 1, 0, 1, RGB(255, 255, 255), 0);
    card.DrawTextWide(
        u"A centred box of words that wrap at the edge.\nSecond paragraph\twith a tab, and &prefix.", -1,
        &box, DT_WORDBREAK | DT_CENTER | DT_EXPANDTABS, RGB(255, 255, 255), font, 0, 0, 0, 0, 4, 4, 4);
    RECT right{420, 310, 630, 340};
    card.DrawTextWide(u"Right, vertically centred", -1, &right, DT_SINGLELINE | DT_RIGHT | DT_VCENTER,
                      RGB(255, 255, 0), font, 0, 0, 0, 0, 0, 0, 0);
    RECT clipped{420, 350, 520, 370};
    card.TextOutWide(u"TextOut clipped to a small box", -1, 420, 352, TA_TOP | TA_LEFT, &clipped,
                     RGB(0, 0, 0), font, 0, 0, 0, 0);
    DeleteFont(font);
}

} // namespace

TEST(TestCard, MatchesTheReferencePicture) {
    cSurface card;
    card.SetImplementation(SectionSurface::Make(CardWidth, CardHeight));
    ASSERT_TRUE(card.HasImplementation());
    DrawCard(card);
    const std::string written = ::testing::TempDir() + std::to_string(getpid()) + "_test_card.bmp";
    ASSERT_EQ(card.SaveDibFile(written.c_str()), 1);

    auto loaded = MakeSurface(1, 1, 32); // the loader makes the picture's size from this surface's kind
    cSurface& reference = *loaded;
    ASSERT_EQ(reference.LoadDibFile(VTR_FIXTURES_DIR "/test_card.bmp", 0), 1)
        << "no reference picture; the one just drawn is " << written;
    ASSERT_EQ(reference.GetWidth(), CardWidth);
    ASSERT_EQ(reference.GetHeight(), CardHeight);
    int differences = 0;
    for (int y = 0; y < CardHeight; ++y)
        for (int x = 0; x < CardWidth; ++x) {
            COLORREF a = 0, b = 0;
            card.GetPixel(x, y, a);
            reference.GetPixel(x, y, b);
            differences += (a & 0xFFFFFF) != (b & 0xFFFFFF);
        }
    EXPECT_EQ(differences, 0) << "the picture drawn now is " << written;
    // Kept only to be looked at when it differs.
    if (!::testing::Test::HasFailure()) std::remove(written.c_str());
}
