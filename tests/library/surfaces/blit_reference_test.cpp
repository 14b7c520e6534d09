// The 32-bit routines, reached through the software blit, against the slow reference model: every ink
// code, plain, keyed and alpha-plane blits, top-down and bottom-up rows, and rectangles clipped at every
// edge.
#include "reference_model.h"
#include "surface_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace win32;
using surface_test::BitmapBuffer;
using surface_test::Random;

namespace {

enum class Kind { Plain, Keyed, Alpha, AlphaCopy };

struct InkCase {
    int ink;
    DWORD parameter;
};

// Channel values that make equal colours, saturation and zero likely.
BYTE Channel(Random& random) {
    static constexpr BYTE values[] = {0, 1, 64, 127, 128, 200, 254, 255};
    return random.Below(4) == 0 ? static_cast<BYTE>(random.Next()) : values[random.Below(8)];
}

struct TestImage {
    TestImage(int width, int height, bool bottomUp, Random& random)
        : buffer(width, height, 32, bottomUp), view(nullptr) {
        model.width = width;
        model.height = height;
        model.pixels.resize(static_cast<std::size_t>(width * height));
        for (auto& p : model.pixels)
            p = {Channel(random), Channel(random), Channel(random), Channel(random)};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto& p = model.At(x, y);
                BYTE* out = buffer.pixels.get() + buffer.RowOffset(y) + 4 * x;
                out[0] = p.blue;
                out[1] = p.green;
                out[2] = p.red;
                out[3] = p.fourth;
            }
        view = std::make_unique<cDIBSurface>(buffer.Header(), buffer.pixels.get(), 0);
        view->FreeAlphaPlane();
        model.clipRight = width;
        model.clipBottom = height;
    }
    void AddAlpha(Random& random) {
        ASSERT_NE(view->AllocateAlphaPlane(), nullptr);
        model.alpha.resize(static_cast<std::size_t>(model.width * model.height));
        for (int y = 0; y < model.height; ++y)
            for (int x = 0; x < model.width; ++x) {
                const int pick = random.Below(4);
                const BYTE a = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<BYTE>(random.Next());
                view->AlphaRow(y)[x] = a;
                model.alpha[static_cast<std::size_t>(y * model.width + x)] = a;
            }
    }
    void SetKey(const reference::Pixel& p) {
        view->SetColorKey(RGB(p.red, p.green, p.blue));
        model.key = {p.blue, p.green, p.red, 0};
    }
    void SetClip(int x, int y, int w, int h) {
        view->SetClipRect(x, y, w, h);
        model.clipLeft = view->clipLeft;
        model.clipTop = view->clipTop;
        model.clipRight = view->clipRight;
        model.clipBottom = view->clipBottom;
    }
    void ExpectEqualsModel() const {
        for (int y = 0; y < model.height; ++y)
            for (int x = 0; x < model.width; ++x) {
                const BYTE* p = buffer.pixels.get() + buffer.RowOffset(y) + 4 * x;
                const auto& m = model.At(x, y);
                ASSERT_EQ((reference::Pixel{p[0], p[1], p[2], p[3]}), m) << "pixel " << x << "," << y;
            }
        ASSERT_EQ(view->alphaPlane != nullptr, !model.alpha.empty());
        for (int y = 0; y < model.height && view->alphaPlane; ++y)
            for (int x = 0; x < model.width; ++x)
                ASSERT_EQ(view->AlphaRow(y)[x], model.alpha[static_cast<std::size_t>(y * model.width + x)])
                    << "alpha " << x << "," << y;
    }
    BitmapBuffer buffer;
    std::unique_ptr<cDIBSurface> view;
    reference::Image model;
};

// Rectangles inside, across each edge of the destination and of the source, and wholly outside.
const reference::BlitCall rectangles[] = {
    {2, 1, 1, 1, 9, 6, 0, 0, 0, 0},   {-4, 2, 0, 0, 13, 9, 0, 0, 0, 0},
    {3, -5, 0, 0, 13, 9, 0, 0, 0, 0}, {10, 3, 0, 0, 13, 9, 0, 0, 0, 0},
    {2, 7, 0, 0, 13, 9, 0, 0, 0, 0},  {1, 1, -3, -2, 13, 9, 0, 0, 0, 0},
    {0, 0, 8, 5, 13, 9, 0, 0, 0, 0},  {-20, -20, 0, 0, 40, 40, 0, 0, 0, 0},
    {30, 2, 0, 0, 13, 9, 0, 0, 0, 0}, {1, 1, -20, 0, 10, 9, 0, 0, 0, 0},
    {0, 0, 13, 9, 5, 5, 0, 0, 0, 0},  {5, 5, 0, 0, 0, 4, 0, 0, 0, 0},
};

std::vector<InkCase> InkCases(Random& random, const reference::Pixel& someDestination) {
    const DWORD destinationColour = RGB(someDestination.red, someDestination.green, someDestination.blue);
    std::vector<InkCase> cases = {{0, 0},
                                  {0x1000, 0},
                                  {0x1000, 0xFF000000},
                                  {0x1000, 0x64000000},
                                  {1, 0},
                                  {1, 128},
                                  {1, 37},
                                  {1, 200},
                                  {7, 0},
                                  {13, 0},
                                  {13, 1234},
                                  {14, 0},
                                  {6, 0x40000000 | (random.Next() & 0xFFFFFF)},
                                  {12, 0x30000000 | destinationColour},
                                  {12, 0xFF000000 | destinationColour}};
    for (int code = 2; code <= 12; ++code)
        cases.push_back({code, random.Next()});
    return cases;
}

class BlitAgainstReference : public ::testing::TestWithParam<std::tuple<Kind, bool, bool>> {};

TEST_P(BlitAgainstReference, MatchesModelForEveryInkAndRectangle) {
    const auto [kind, sourceBottomUp, destinationBottomUp] = GetParam();
    Random random(0x5EED + static_cast<std::uint32_t>(kind) * 7 + sourceBottomUp * 3 + destinationBottomUp);
    int round = 0;
    for (const auto& rectangle : rectangles)
        for (int clipped = 0; clipped < 2; ++clipped) {
            TestImage probe(17, 11, destinationBottomUp, random);
            for (const InkCase& ink : InkCases(random, probe.model.At(3, 3))) {
                SCOPED_TRACE("round " + std::to_string(round++) + " ink " + std::to_string(ink.ink) +
                             " parameter " + std::to_string(ink.parameter) + " rect " +
                             std::to_string(rectangle.x) + "," + std::to_string(rectangle.y) + " clipped " +
                             std::to_string(clipped));
                TestImage source(13, 9, sourceBottomUp, random);
                TestImage destination(17, 11, destinationBottomUp, random);
                source.SetKey(source.model.At(random.Below(13), random.Below(9)));
                destination.SetKey(destination.model.At(0, 0));
                if (kind == Kind::Alpha || kind == Kind::AlphaCopy) source.AddAlpha(random);
                if (clipped) destination.SetClip(3, 2, 9, 7);
                reference::BlitCall call = rectangle;
                call.mode = kind == Kind::Plain || kind == Kind::AlphaCopy ? 0 : 1;
                call.ink = ink.ink;
                call.parameter = ink.parameter;
                call.flags = kind == Kind::AlphaCopy ? 2 : 0;
                const int expected = reference::Blit(source.model, destination.model, call);
                const int result = source.view->Blit(
                    destination.view.get(), call.x, call.y, call.sourceX, call.sourceY, call.width,
                    call.height, call.mode, call.ink, static_cast<LPARAM>(call.parameter), call.flags);
                ASSERT_EQ(result, expected);
                destination.ExpectEqualsModel();
                if (HasFatalFailure()) return;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Depth32, BlitAgainstReference,
                         ::testing::Combine(::testing::Values(Kind::Plain, Kind::Keyed, Kind::Alpha,
                                                              Kind::AlphaCopy),
                                            ::testing::Bool(), ::testing::Bool()),
                         ([](const auto& info) {
                             static const char* const kinds[] = {"Plain", "Keyed", "Alpha", "AlphaCopy"};
                             const auto [kind, sourceBottomUp, destinationBottomUp] = info.param;
                             return std::string(kinds[static_cast<int>(kind)]) +
                                    (sourceBottomUp ? "FromBottomUp" : "FromTopDown") +
                                    (destinationBottomUp ? "ToBottomUp" : "ToTopDown");
                         }));

} // namespace
