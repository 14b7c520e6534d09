// One table of drawings run on a software surface of the library and on the driver's screen (read back after
// Present): every ink and blit mode, colour parameters, tiling, stretching, turning about a hot spot, fills,
// gradients, lines and text. Opaque and keyed unscaled copies and fills must be exact; blends, add and
// subtract within 2 a channel; scaled and turned draws are compared after a 4 x 4 box average, their covered
// area within 1 %. Gradients, tiling and grey have references worked out here.
#include "render_texture.h"
#include "screen_fixture.h"
#include "texture_surfaces.h"

#include "vtrs2/effect.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/font.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <ostream>
#include <vector>

namespace driver_test {
namespace {

constexpr int W = ChildWidth, H = ChildHeight;
constexpr COLORREF Ground = RGB(40, 60, 90);
constexpr COLORREF Key = RGB(255, 0, 255);
constexpr int SourceWidth = 12, SourceHeight = 10;

// Pixels as 0x00RRGGBB, row by row.
using Picture = std::vector<DWORD>;

int Ch(DWORD c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

// A 32-bit surface of the library (a DIB section, which draws text too), filled with the ground colour.
bool MakeSoftware(cSurface& surface, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeDibSection, DriverKindNone);
    return prototype && surface.Create(width, height, prototype) && surface.Fill(Ground);
}

// The source: a pattern of colours with a column and a corner of the key colour.
bool MakeSource(cSurface& source) {
    if (!MakeSoftware(source, SourceWidth, SourceHeight)) return false;
    for (int y = 0; y < SourceHeight; ++y)
        for (int x = 0; x < SourceWidth; ++x)
            source.SetPixel(x, y, RGB(20 + x * 19, 200 - y * 17, (x * 7 + y * 13) % 256));
    source.FillRect(3, 0, 1, SourceHeight, Key);
    source.FillRect(8, 6, 4, 4, Key);
    source.SetColorKey(Key);
    return true;
}

Picture ReadSoftware(cSurface& surface) {
    Picture p(static_cast<std::size_t>(W * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            COLORREF c = 0;
            surface.GetPixel(x, y, c);
            p[static_cast<std::size_t>(y * W + x)] =
                (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    return p;
}

enum class Compare { Exact, Near, Boxed };
// The two sides pick the nearest texel with different rounding: a box on a turned shape's edge may hold a
// pixel more or less of it.
constexpr int BoxTolerance = 12;

struct Sources {
    cSurfaceImplementation* surface; // the source as a library surface
    cSurfaceImplementation* texture; // the same, uploaded into a managed texture surface (driver side only)
    HFONT font;
    CEffectEx* halfEffect;
};

// A drawing on a target: the library's surface or the driver's screen. `driver` says which, for drawings
// that go through a texture on the driver's side.
using Draw = std::function<void(cSurfaceImplementation& target, const Sources& s, bool driver)>;
// A reference worked out here instead of the software surface, from the ground picture.
using Reference = std::function<Picture()>;

struct DrawingCase {
    const char* name;
    Draw draw;
    Compare compare;
    Reference reference = nullptr;
};

void PrintTo(const DrawingCase& c, std::ostream* os) {
    *os << c.name;
}

// A blit of the whole source at (x, y) with a mode and an ink: from the library surface on both sides.
Draw BlitAt(int x, int y, int mode, int ink, LPARAM parameter = 0) {
    return [=](cSurfaceImplementation& t, const Sources& s, bool) {
        s.surface->Blit(&t, x, y, 0, 0, SourceWidth, SourceHeight, mode, ink, parameter, 0);
    };
}

// The same through the texture surface on the driver's side.
Draw TextureBlitAt(int x, int y, int mode, int ink, LPARAM parameter = 0) {
    return [=](cSurfaceImplementation& t, const Sources& s, bool driver) {
        (driver ? s.texture : s.surface)
            ->Blit(&t, x, y, 0, 0, SourceWidth, SourceHeight, mode, ink, parameter, 0);
    };
}

Picture GroundPicture() {
    return Picture(static_cast<std::size_t>(W * H),
                   (GetRValue(Ground) << 16) | (GetGValue(Ground) << 8) | GetBValue(Ground));
}

// The source's pixel as the driver uploads it: keyed pixels transparent.
bool SourcePixel(int x, int y, DWORD& rgb) {
    if (x == 3 || (x >= 8 && y >= 6)) return false;
    rgb = (static_cast<DWORD>(20 + x * 19) << 16) | (static_cast<DWORD>(200 - y * 17) << 8) |
          static_cast<DWORD>((x * 7 + y * 13) % 256);
    return true;
}

DrawingCase GreyCase() {
    return {"GreyByTheWeights", BlitAt(5, 7, 1, 10), Compare::Near, [] {
                Picture p = GroundPicture();
                for (int y = 0; y < SourceHeight; ++y)
                    for (int x = 0; x < SourceWidth; ++x) {
                        DWORD c = 0;
                        if (!SourcePixel(x, y, c)) continue;
                        const auto grey = static_cast<DWORD>(
                            std::lround(0.299 * Ch(c, 16) + 0.587 * Ch(c, 8) + 0.114 * Ch(c, 0)));
                        p[static_cast<std::size_t>((7 + y) * W + 5 + x)] = grey * 0x010101;
                    }
                return p;
            }};
}

// 100 x 30 of a 12 x 10 source from the texture, tiled, the last tiles cut to the rectangle.
DrawingCase TilingCase() {
    constexpr int X = 2, Y = 3, TW = 50, TH = 25;
    return {"TiledOverARectangle",
            [](cSurfaceImplementation& t, const Sources& s, bool driver) {
                if (driver)
                    s.texture->StretchBlit(&t, X, Y, TW, TH, 0, 0, SourceWidth, SourceHeight, 1, 0, 0, 0x20);
            },
            Compare::Exact,
            [] {
                Picture p = GroundPicture();
                for (int y = 0; y < TH; ++y)
                    for (int x = 0; x < TW; ++x) {
                        DWORD c = 0;
                        if (SourcePixel(x % SourceWidth, y % SourceHeight, c))
                            p[static_cast<std::size_t>((Y + y) * W + X + x)] = c;
                    }
                return p;
            }};
}

// Four corners interpolated across the rectangle as its two triangles (top-left, top-right, bottom-right and
// top-left, bottom-right, bottom-left) interpolate them, at pixel centres.
DrawingCase GradientCase() {
    constexpr int X = 4, Y = 6, GW = 40, GH = 30;
    static const COLORREF corners[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    return {"GradientOfFourCorners",
            [](cSurfaceImplementation& t, const Sources&, bool driver) {
                if (driver) t.FillRectGradient(X, Y, GW, GH, corners, 0);
            },
            Compare::Near,
            [] {
                Picture p = GroundPicture();
                for (int y = 0; y < GH; ++y)
                    for (int x = 0; x < GW; ++x) {
                        const double u = (x + 0.5) / GW, v = (y + 0.5) / GH;
                        // Weights of top-left, top-right, bottom-right, bottom-left.
                        const double upper[4] = {1 - u, u - v, v, 0}, lower[4] = {1 - v, 0, u, v - u};
                        const double* weights = u >= v ? upper : lower;
                        DWORD out = 0;
                        for (int shift : {0, 8, 16}) {
                            double value = 0;
                            for (int i = 0; i < 4; ++i)
                                value += weights[i] * static_cast<double>((corners[i] >> shift) & 0xFF);
                            // COLORREF channels run red first: red goes to the top of 0x00RRGGBB.
                            out |= static_cast<DWORD>(std::lround(value)) << (16 - shift);
                        }
                        p[static_cast<std::size_t>((Y + y) * W + X + x)] = out;
                    }
                return p;
            }};
}

// The software side stretches and turns a copy of the image about its centre with the library and puts it
// where the hot spot lands: (x, y) about the hot spot turns counter-clockwise to (x cos + y sin, -x sin +
// y cos).
void DrawTurnedInSoftware(cSurfaceImplementation& target, cSurfaceImplementation& image, float angle,
                          int scale, int hotX, int hotY, float x, float y) {
    const int w = SourceWidth * scale, h = SourceHeight * scale;
    cSurface source, turned;
    source.SetImplementation(image.CreateSameKind(w, h));
    image.StretchBlit(source.GetImplementation(), 0, 0, w, h, 0, 0, SourceWidth, SourceHeight, 0, 0, 0, 0);
    if (!source.RotateIntoExact(turned, angle, 0, Key)) return;
    turned.SetColorKey(Key);
    const double radians = angle * 3.14159265358979 / 180.0, c = std::cos(radians), s = std::sin(radians);
    const double dx = hotX * scale - w / 2.0, dy = hotY * scale - h / 2.0;
    const double landX = turned.GetWidth() / 2.0 + dx * c + dy * s,
                 landY = turned.GetHeight() / 2.0 - dx * s + dy * c;
    turned.GetImplementation()->Blit(&target, static_cast<int>(std::lround(x - landX)),
                                     static_cast<int>(std::lround(y - landY)), 0, 0, turned.GetWidth(),
                                     turned.GetHeight(), 1, 0, 0, 0);
}

DrawingCase TurnedCase(const char* name, float angle, int scale, Compare compare) {
    return {name,
            [angle, scale](cSurfaceImplementation& t, const Sources& s, bool driver) {
                const float scales[2] = {static_cast<float>(scale), static_cast<float>(scale)};
                if (driver)
                    s.texture->TransformBlit(&t, 30, 22, 2, 3, 0, 0, SourceWidth, SourceHeight, scales, angle,
                                             1, 0, 0, 0);
                else
                    DrawTurnedInSoftware(t, *s.surface, angle, scale, 2, 3, 30, 22);
            },
            compare};
}

const std::vector<DrawingCase>& Cases() {
    static const std::vector<DrawingCase> cases = {
        {"OpaqueCopy", BlitAt(5, 7, 0, 0), Compare::Exact},
        {"KeyedCopy", BlitAt(5, 7, 1, 0), Compare::Exact},
        {"KeyedCopyFromTheTexture", TextureBlitAt(5, 7, 1, 0), Compare::Exact},
        {"CutAtTheEdges", BlitAt(-4, H - 5, 1, 0), Compare::Exact},
        {"BlendHalf", BlitAt(5, 7, 1, 1, 64), Compare::Near},
        {"BlendOfParameterZeroIsACopy", BlitAt(5, 7, 1, 1, 0), Compare::Exact},
        {"BlendOf128DrawsNothing", BlitAt(5, 7, 1, 1, 128), Compare::Exact},
        {"InvertFromTheTexture", TextureBlitAt(5, 7, 1, 2), Compare::Near},
        {"Add", BlitAt(5, 7, 1, 9), Compare::Near},
        {"Subtract", BlitAt(5, 7, 1, 11), Compare::Near},
        {"ColourParameterOfHalfAlpha", BlitAt(5, 7, 1, 0x1000, static_cast<LPARAM>(0x80FFFFFFu)),
         Compare::Near},
        {"ColourParameterOfAlphaZeroDrawsNothing", BlitAt(5, 7, 1, 0x1000, static_cast<LPARAM>(0x00FFFFFFu)),
         Compare::Exact},
        {"EffectObjectByItsCoefficient",
         [](cSurfaceImplementation& t, const Sources& s, bool) {
             s.surface->Blit(&t, 5, 7, 0, 0, SourceWidth, SourceHeight, 1, 13,
                             reinterpret_cast<LPARAM>(s.halfEffect), 0);
         },
         Compare::Near},
        GreyCase(),
        TilingCase(),
        {"StretchedTwice",
         [](cSurfaceImplementation& t, const Sources& s, bool) {
             s.surface->StretchBlit(&t, 3, 2, 2 * SourceWidth, 2 * SourceHeight, 0, 0, SourceWidth,
                                    SourceHeight, 1, 0, 0, 0);
         },
         Compare::Boxed},
        TurnedCase("TurnedAQuarterAboutTheHotSpot", 90.0f, 1, Compare::Exact),
        TurnedCase("ScaledAndTurnedThirtyDegrees", 30.0f, 2, Compare::Boxed),
        {"FillsAreCutToTheClip",
         [](cSurfaceImplementation& t, const Sources&, bool) {
             t.FillRect(-3, 40, 30, 20, RGB(250, 200, 10));
             t.FillRect(50, 2, 9, 9, RGB(1, 2, 3));
         },
         Compare::Exact},
        {"Lines",
         [](cSurfaceImplementation& t, const Sources&, bool driver) {
             // The device's lines stop before their last pixel: the references end one short.
             if (driver) {
                 t.DrawLine(2, 5, 30, 5, 1, RGB(255, 255, 0));
                 t.DrawLine(40, 2, 40, 40, 1, RGB(0, 255, 255));
             } else {
                 t.FillRect(2, 5, 28, 1, RGB(255, 255, 0));
                 t.FillRect(40, 2, 1, 38, RGB(0, 255, 255));
             }
         },
         Compare::Exact},
        GradientCase(),
        {"TextInABox",
         [](cSurfaceImplementation& t, const Sources& s, bool) {
             RECT box{2, 2, 62, 46};
             t.DrawTextWide(u"Text in\nthe box", -1, &box, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX,
                            RGB(255, 255, 255), s.font, 0, 0, 0, 0, 0, 0, 0);
         },
         Compare::Near},
    };
    return cases;
}

// Differences that the comparison allows: none, 2 a channel, or 2 a channel of 4 x 4 box averages with the
// covered area (pixels off the ground) within 1 %.
void ExpectAlike(const Picture& got, const Picture& want, Compare compare) {
    const DWORD ground = GroundPicture()[0];
    if (compare != Compare::Boxed) {
        const int tolerance = compare == Compare::Exact ? 0 : 2;
        for (int i = 0; i < W * H; ++i)
            for (int shift : {0, 8, 16})
                ASSERT_LE(std::abs(Ch(got[i], shift) - Ch(want[i], shift)), tolerance)
                    << "at " << i % W << "," << i / W << std::hex << " got " << got[i] << " want " << want[i];
        return;
    }
    int coveredGot = 0, coveredWant = 0;
    for (int i = 0; i < W * H; ++i) {
        coveredGot += got[i] != ground;
        coveredWant += want[i] != ground;
    }
    EXPECT_LE(std::abs(coveredGot - coveredWant), std::max(1, coveredWant / 100))
        << coveredGot << " " << coveredWant;
    for (int by = 0; by + 4 <= H; by += 4)
        for (int bx = 0; bx + 4 <= W; bx += 4)
            for (int shift : {0, 8, 16}) {
                int a = 0, b = 0;
                for (int y = by; y < by + 4; ++y)
                    for (int x = bx; x < bx + 4; ++x) {
                        a += Ch(got[y * W + x], shift);
                        b += Ch(want[y * W + x], shift);
                    }
                EXPECT_LE(std::abs(a - b) / 16, BoxTolerance) << "box at " << bx << "," << by;
            }
}

class Drawings : public ScreenTest, public ::testing::WithParamInterface<DrawingCase> {};

TEST_P(Drawings, LookAsOnTheLibrarysSoftwareSurfaces) {
    const DrawingCase& c = GetParam();
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    cSurface source;
    ASSERT_TRUE(MakeSource(source));
    cSurface texture;
    texture.SetImplementation(SEGetSIPrototype(7)->CreateSameKind(SourceWidth, SourceHeight));
    ASSERT_EQ(texture.GetImplementation()->UploadFrom(source.GetImplementation()), 1);
    LOGFONTA logFont{};
    logFont.lfHeight = -12;
    std::strcpy(logFont.lfFaceName, "DejaVu Sans");
    HFONT font = CreateFontIndirectA(&logFont);
    CEffectEx half;
    half.SetRgbaCoefficient(0x80FFFFFF);
    const Sources sources{source.GetImplementation(), texture.GetImplementation(), font, &half};

    Picture want;
    if (c.reference) {
        want = c.reference();
    } else {
        cSurface software;
        ASSERT_TRUE(MakeSoftware(software, W, H));
        c.draw(*software.GetImplementation(), sources, false);
        want = ReadSoftware(software);
    }
    screen->BeginDraw(1, Ground);
    c.draw(*screen, sources, true);
    screen->EndDraw();
    ASSERT_EQ(screen->Present(), 0);
    Picture got(static_cast<std::size_t>(W * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const COLORREF p = win32::testing::ReadWindowPixel(child, x, y);
            got[static_cast<std::size_t>(y * W + x)] =
                (GetRValue(p) << 16) | (GetGValue(p) << 8) | GetBValue(p);
        }
    ExpectAlike(got, want, c.compare);
    DeleteFont(font);
}

INSTANTIATE_TEST_SUITE_P(Table, Drawings, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace driver_test
