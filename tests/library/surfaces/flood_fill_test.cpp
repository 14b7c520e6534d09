// Seed fill: areas bounded by other colours, tolerance, bounds and fills drawn with an ink effect.
#include "surface_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace win32;
using surface_test::MakeSurface;

namespace {

// Paints a picture given as rows of characters: '#' walls, '.' open, '~' near the open colour.
std::unique_ptr<cSurface> Picture(const std::vector<std::string>& rows, int depth = 24) {
    auto s = MakeSurface(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), depth);
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < static_cast<int>(rows[0].size()); ++x) {
            const char c = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            s->SetPixel(x, y, c == '#' ? RGB(0, 0, 0) : c == '~' ? RGB(100, 104, 96) : RGB(100, 100, 100));
        }
    return s;
}

std::vector<std::string> Filled(cSurface& s, COLORREF fill) {
    std::vector<std::string> rows;
    for (int y = 0; y < s.GetHeight(); ++y) {
        std::string row;
        for (int x = 0; x < s.GetWidth(); ++x) {
            COLORREF c = 0;
            s.GetImplementation()->GetPixel(x, y, c);
            row += c == fill ? 'F' : '-';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(FloodFill, FillsTheConnectedAreaAroundBendsAndReturnsItsBounds) {
    auto s = Picture({"#########", "#..#....#", "#..#.##.#", "#..#..#.#", "#.....#~#", "#########"});
    int left = 0, top = 0, right = 0, bottom = 0;
    const COLORREF fill = RGB(255, 0, 0);
    ASSERT_EQ(s->FloodFill(1, 1, left, top, right, bottom, fill, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(Filled(*s, fill), (std::vector<std::string>{"---------", "-FF-FFFF-", "-FF-F--F-", "-FF-FF-F-",
                                                          "-FFFFF---", "---------"}));
    EXPECT_EQ(left, 1);
    EXPECT_EQ(top, 1);
    EXPECT_EQ(right, 8);
    EXPECT_EQ(bottom, 5);
    // The seed already holds the fill colour: nothing to do.
    EXPECT_EQ(s->FloodFill(1, 1, left, top, right, bottom, fill, 0, 0, 0, 0, 0), 0);
}

TEST(FloodFill, TakesColoursWithinTheToleranceAndAppliesTheOrigin) {
    auto s = Picture({"#####", "#.~.#", "#####"});
    s->SetOrigin(10, 20);
    int left = 0, top = 0, right = 0, bottom = 0;
    const COLORREF fill = RGB(0, 255, 0);
    ASSERT_EQ(s->FloodFill(11, 21, left, top, right, bottom, fill, 0, 4, 0, 0, 0), 1);
    EXPECT_EQ(Filled(*s, fill)[1], "-FFF-");
    EXPECT_EQ(left, 11);
    EXPECT_EQ(top, 21);
    EXPECT_EQ(right, 14);
    EXPECT_EQ(bottom, 22);
    auto exact = Picture({"#####", "#.~.#", "#####"});
    ASSERT_EQ(exact->FloodFill(1, 1, left, top, right, bottom, fill, 0, 3, 0, 0, 0), 1);
    EXPECT_EQ(Filled(*exact, fill)[1], "-F---");
}

TEST(FloodFill, DrawsThroughAnInkEffectWhenGivenAParameter) {
    auto s = Picture({"###", "#.#", "###"}, 32);
    int left = 0, top = 0, right = 0, bottom = 0;
    ASSERT_EQ(s->FloodFill(1, 1, left, top, right, bottom, RGB(200, 0, 0), 0, 0, 0, 1, 64), 1);
    COLORREF c = 0;
    s->GetPixel(1, 1, c);
    EXPECT_EQ(c, RGB(150, 50, 50)); // half way between the fill and what was there
    s->GetPixel(0, 0, c);
    EXPECT_EQ(c, RGB(0, 0, 0));
    auto threeBytes = Picture({"###", "#.#", "###"}, 24);
    ASSERT_EQ(threeBytes->FloodFill(1, 1, left, top, right, bottom, RGB(200, 0, 0), 0, 0, 0, 1, 64), 1);
    threeBytes->GetPixel(1, 1, c);
    EXPECT_EQ(c, RGB(150, 50, 50));
}

} // namespace
