// The 32-bit fast paths against the generic routines, bit for bit, on every instruction set the library
// was built for that this processor runs: the same random scene is drawn once on surfaces made with the
// fast paths and once on surfaces made without them, and every byte of the results must agree.
#include "surface_test_support.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/pixel_kernels_testing.h"
#include "vtrs2/surface_implementation.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace win32;
using surface_test::BitmapBuffer;
using surface_test::Random;

namespace {

struct DeleteImplementation {
    void operator()(cSurfaceImplementation* s) const {
        if (s) s->Delete();
    }
};
using Surface = std::unique_ptr<cSurfaceImplementation, DeleteImplementation>;

// Draws through the fast paths or the generic routines while it lives.
class Paths {
public:
    explicit Paths(bool fast) : previous_(SetFastPixelPathsForTest(fast)) {}
    ~Paths() { SetFastPixelPathsForTest(previous_); }
    Paths(const Paths&) = delete;
    Paths& operator=(const Paths&) = delete;

private:
    bool previous_;
};

Surface MakeBuffer(int width, int height) {
    auto* s = new cBufferSurface;
    s->SetDepth(32);
    EXPECT_EQ(s->AllocatePixels(width, height), 1);
    return Surface(s);
}

// Colours that make equal channels, saturation, the key and zero likely.
DWORD RandomPixel(Random& random, DWORD key) {
    static constexpr BYTE channels[] = {0, 1, 64, 127, 128, 200, 254, 255};
    if (random.Below(5) == 0) return key | (random.Next() & 0xFF000000);
    DWORD v = 0;
    for (int c = 0; c < 4; ++c) {
        const BYTE b = random.Below(3) == 0 ? static_cast<BYTE>(random.Next()) : channels[random.Below(8)];
        v |= static_cast<DWORD>(b) << (8 * c);
    }
    return v;
}

void Paint(cSurfaceImplementation& s, Random& random, DWORD key) {
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const DWORD v = RandomPixel(random, key);
            std::memcpy(s.Row(y) + 4 * x, &v, 4);
        }
}

void PaintAlpha(cSurfaceImplementation& s, Random& random) {
    ASSERT_NE(s.AllocateAlphaPlane(), nullptr);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const int pick = random.Below(4);
            s.AlphaRow(y)[x] = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<BYTE>(random.Next());
        }
}

// Whether the source is a plain memory surface, a bottom-up bitmap view, or a view whose rows start two
// pixels off the buffer's alignment.
enum class SourceKind { Buffer, BottomUpView, OffsetView };

struct SceneShape {
    SourceKind kind = SourceKind::Buffer;
    bool alpha = false;
    int sourceWidth = 37, sourceHeight = 19;
    int destinationWidth = 53, destinationHeight = 29;
};

// A source and a destination with random pixels, keys and a random clip rectangle, all from one seed.
struct Scene {
    Scene(const SceneShape& shape, std::uint32_t seed, bool fast) {
        Paths paths(fast);
        Random random(seed);
        const DWORD sourceKey = RandomPixel(random, 0) & 0xFFFFFF;
        if (shape.kind == SourceKind::Buffer) {
            source = MakeBuffer(shape.sourceWidth, shape.sourceHeight);
        } else {
            const bool bottomUp = shape.kind == SourceKind::BottomUpView;
            const int extra = shape.kind == SourceKind::OffsetView ? 2 : 0;
            bitmap =
                std::make_unique<BitmapBuffer>(shape.sourceWidth + extra, shape.sourceHeight, 32, bottomUp);
            source.reset(new cDIBSurface(bitmap->Header(), bitmap->pixels.get(), 0));
            source->FreeAlphaPlane();
            if (extra) {
                // The same rows, seen from the third pixel on: a view narrower by two.
                source->pixels += 4 * extra;
                source->width = shape.sourceWidth;
                source->SetClipRect(0, 0, shape.sourceWidth, shape.sourceHeight);
            }
        }
        Paint(*source, random, sourceKey);
        source->SetColorKey(SwapKey(sourceKey));
        if (shape.alpha) PaintAlpha(*source, random);
        destination = MakeBuffer(shape.destinationWidth, shape.destinationHeight);
        Paint(*destination, random, sourceKey);
        if (random.Below(2))
            destination->SetClipRect(random.Below(7), random.Below(5),
                                     shape.destinationWidth - random.Below(9),
                                     shape.destinationHeight - random.Below(7));
    }
    // Keys are given as COLORREFs; the pixels hold blue in their low byte.
    static COLORREF SwapKey(DWORD pixel) {
        return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
    }
    std::unique_ptr<BitmapBuffer> bitmap;
    Surface source, destination;
};

void ExpectSamePixels(const cSurfaceImplementation& fast, const cSurfaceImplementation& generic) {
    ASSERT_EQ(fast.width, generic.width);
    for (int y = 0; y < fast.height; ++y)
        for (int x = 0; x < fast.width; ++x) {
            DWORD a, b;
            std::memcpy(&a, fast.Row(y) + 4 * x, 4);
            std::memcpy(&b, generic.Row(y) + 4 * x, 4);
            ASSERT_EQ(a, b) << "pixel " << x << "," << y;
        }
    ASSERT_EQ(fast.alphaPlane != nullptr, generic.alphaPlane != nullptr);
    for (int y = 0; y < fast.height && fast.alphaPlane; ++y)
        ASSERT_EQ(std::memcmp(fast.AlphaRow(y), generic.AlphaRow(y), static_cast<std::size_t>(fast.width)), 0)
            << "alpha row " << y;
}

using Operation = std::function<int(Scene&, Random&)>;

// Draws the operation on both scenes (it may use the random source for its arguments) and compares.
void ExpectSameResult(const SceneShape& shape, std::uint32_t seed, const Operation& operation) {
    Scene fast(shape, seed, true), generic(shape, seed, false);
    Random fastArguments(seed * 31 + 7), genericArguments(seed * 31 + 7);
    int fastResult = 0, genericResult = 0;
    {
        Paths paths(true);
        fastResult = operation(fast, fastArguments);
    }
    {
        Paths paths(false);
        genericResult = operation(generic, genericArguments);
    }
    ASSERT_EQ(fastResult, genericResult);
    ExpectSamePixels(*fast.destination, *generic.destination);
}

// The library's vector instruction sets that this processor runs.
std::vector<std::int64_t> Targets() {
    std::vector<std::int64_t> targets;
    const std::int64_t usable = GetFastPathTargetsForTest() & hwy::SupportedTargets();
    for (std::int64_t t = usable; t != 0; t &= t - 1)
        targets.push_back(t & -t);
    return targets;
}

class FastPathsMatchGeneric : public ::testing::TestWithParam<std::int64_t> {
protected:
    void SetUp() override { hwy::SetSupportedTargetsForTest(GetParam()); }
    void TearDown() override { hwy::SetSupportedTargetsForTest(0); }
};

struct InkCase {
    int ink;
    DWORD parameter;
};

std::vector<InkCase> InkCases(Random& random) {
    std::vector<InkCase> cases = {{0, 0},
                                  {0x1000, 0x80000000},
                                  {0x1000, 0xFF000000},
                                  {1, 64},
                                  {1, 1},
                                  {1, 127},
                                  {1, 200},
                                  {7, 0},
                                  {13, 0},
                                  {6, 0x40000000},
                                  {12, 0x30000000},
                                  {12, 0xFF000000}};
    for (int code = 2; code <= 12; ++code)
        cases.push_back({code, random.Next()});
    return cases;
}

// A blit rectangle that may reach past either surface on any side.
struct Rectangle {
    int x, y, sourceX, sourceY, width, height;
};
Rectangle RandomRectangle(Random& random, const SceneShape& shape) {
    return {random.Below(shape.destinationWidth + 8) - 12, random.Below(shape.destinationHeight + 6) - 8,
            random.Below(shape.sourceWidth / 2) - 3,       random.Below(shape.sourceHeight / 2) - 2,
            1 + random.Below(shape.sourceWidth + 6),       1 + random.Below(shape.sourceHeight + 4)};
}

TEST_P(FastPathsMatchGeneric, BlitsWithEveryInkKeyedAndNot) {
    const SourceKind kinds[] = {SourceKind::Buffer, SourceKind::BottomUpView, SourceKind::OffsetView};
    std::uint32_t seed = 1;
    for (const SourceKind kind : kinds)
        for (const bool alpha : {false, true})
            for (const int mode : {0, 1})
                for (const int flags : {0, 2}) {
                    Random inks(seed);
                    for (const InkCase& ink : InkCases(inks)) {
                        SCOPED_TRACE("source " + std::to_string(static_cast<int>(kind)) + " alpha " +
                                     std::to_string(alpha) + " mode " + std::to_string(mode) + " flags " +
                                     std::to_string(flags) + " ink " + std::to_string(ink.ink) +
                                     " parameter " + std::to_string(ink.parameter) + " seed " +
                                     std::to_string(seed));
                        SceneShape shape;
                        shape.kind = kind;
                        shape.alpha = alpha;
                        ExpectSameResult(shape, seed++, [&](Scene& scene, Random& random) {
                            const Rectangle r = RandomRectangle(random, shape);
                            // Colour parameters of codes 6 and 12 name a colour of the destination now and
                            // then.
                            DWORD parameter = ink.parameter;
                            if ((ink.ink == 6 || ink.ink == 12) && random.Below(2))
                                parameter |= scene.destination->GetPixelColorFast(3, 3) & 0xFFFFFF;
                            return scene.source->Blit(scene.destination.get(), r.x, r.y, r.sourceX, r.sourceY,
                                                      r.width, r.height, mode, ink.ink,
                                                      static_cast<LPARAM>(parameter), flags);
                        });
                        if (HasFatalFailure()) return;
                    }
                }
}

// Small rectangles exercise the partial vectors alone; whole rows the full ones.
TEST_P(FastPathsMatchGeneric, NarrowAndWholeRowBlits) {
    for (std::uint32_t seed = 100; seed < 160; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SceneShape shape;
        shape.alpha = seed % 3 == 0;
        ExpectSameResult(shape, seed, [&](Scene& scene, Random& random) {
            const int width = seed % 2 ? 1 + random.Below(5) : shape.sourceWidth;
            return scene.source->Blit(scene.destination.get(), random.Below(9), random.Below(9), 0,
                                      random.Below(4), width, 1 + random.Below(12), random.Below(2),
                                      random.Below(13), static_cast<LPARAM>(random.Next()), 0);
        });
        if (HasFatalFailure()) return;
    }
}

// The generic routines read and write pixel by pixel, so a blit within one surface smears; the fast paths
// must leave such blits to them.
TEST_P(FastPathsMatchGeneric, BlitsWithinOneSurface) {
    for (std::uint32_t seed = 200; seed < 240; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ExpectSameResult({}, seed, [&](Scene& scene, Random& random) {
            cSurfaceImplementation* d = scene.destination.get();
            d->SetColorKey(scene.source->GetColorKey());
            const int ink = random.Below(3) == 0 ? 0 : 1 + random.Below(12);
            return d->Blit(d, random.Below(3), random.Below(3), random.Below(3), random.Below(3), 40, 20,
                           random.Below(2), ink, static_cast<LPARAM>(random.Next() % 129), 0);
        });
        if (HasFatalFailure()) return;
    }
}

TEST_P(FastPathsMatchGeneric, Fills) {
    for (std::uint32_t seed = 300; seed < 340; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ExpectSameResult({}, seed, [&](Scene& scene, Random& random) {
            return scene.destination->FillRect(random.Below(60) - 5, random.Below(34) - 3, random.Below(70),
                                               random.Below(40), random.Next());
        });
        if (HasFatalFailure()) return;
    }
}

struct StretchCase {
    const char* what;
    int sourceWidth, sourceHeight, width, height;
};

// Up, down, one axis only, 1-pixel sources and sizes that do not divide.
constexpr StretchCase stretchCases[] = {
    {"twice", 37, 19, 74, 38},           {"half", 37, 19, 18, 9},
    {"across only", 37, 19, 71, 19},     {"down only", 37, 19, 37, 45},
    {"narrower taller", 37, 19, 13, 41}, {"one pixel", 1, 1, 29, 17},
    {"one column", 1, 19, 33, 23},       {"one row", 37, 1, 50, 6},
    {"to one pixel", 37, 19, 1, 1},      {"thirds", 30, 18, 97, 61},
};

TEST_P(FastPathsMatchGeneric, SmoothAndFastStretches) {
    std::uint32_t seed = 400;
    for (const StretchCase& c : stretchCases)
        for (const int flags : {0, 1, 2, 5})
            for (const bool alpha : {false, true})
                for (const int mode : {0, 1}) {
                    SCOPED_TRACE(std::string(c.what) + " flags " + std::to_string(flags) + " alpha " +
                                 std::to_string(alpha) + " mode " + std::to_string(mode));
                    SceneShape shape;
                    shape.sourceWidth = c.sourceWidth;
                    shape.sourceHeight = c.sourceHeight;
                    shape.destinationWidth = 71;
                    shape.destinationHeight = 47;
                    shape.alpha = alpha;
                    ExpectSameResult(shape, seed++, [&](Scene& scene, Random& random) {
                        // Now and then an ink, and a position that the destination's edges cut.
                        const int ink = random.Below(3) == 0 ? 1 + random.Below(12) : 0;
                        const int x = random.Below(2) ? random.Below(20) - 10 : 0;
                        const int y = random.Below(2) ? random.Below(16) - 8 : 0;
                        return scene.source->StretchBlit(scene.destination.get(), x, y, c.width, c.height, 0,
                                                         0, c.sourceWidth, c.sourceHeight, mode, ink,
                                                         static_cast<LPARAM>(random.Next() % 129), flags);
                    });
                    if (HasFatalFailure()) return;
                }
}

INSTANTIATE_TEST_SUITE_P(Targets, FastPathsMatchGeneric, ::testing::ValuesIn(Targets()),
                         [](const ::testing::TestParamInfo<std::int64_t>& info) {
                             return std::string(hwy::TargetName(info.param));
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FastPathsMatchGeneric);

// VTR_NO_FAST_PATHS, read once at start, decides whether new surfaces take the fast paths.
TEST(FastPathSwitch, FollowsTheEnvironment) {
    const char* value = std::getenv("VTR_NO_FAST_PATHS");
    const bool off = value && *value && std::strcmp(value, "0") != 0;
    const bool state = SetFastPixelPathsForTest(true);
    SetFastPixelPathsForTest(state);
    EXPECT_EQ(state, !off);
}

} // namespace
