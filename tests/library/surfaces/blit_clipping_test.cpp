// Blits whose rectangles run past every edge of the source and of the destination, over buffers of exactly
// their own size: under the address sanitizer any read or write outside them fails the test.
#include "support/param_names.h"
#include "surface_test_support.h"

#include <gtest/gtest.h>

using namespace win32;
using surface_test::BitmapBuffer;

namespace {

class ClippedBlit : public ::testing::TestWithParam<int> {};

TEST_P(ClippedBlit, StaysInsideBothBuffersAtEveryOffset) {
    const int depth = GetParam();
    for (bool bottomUp : {false, true}) {
        BitmapBuffer sourceBits(5, 4, depth, bottomUp);
        BitmapBuffer destinationBits(7, 6, depth, !bottomUp);
        for (int i = 0; i < sourceBits.rowBytes * 4; ++i)
            sourceBits.pixels[static_cast<std::size_t>(i)] = static_cast<BYTE>(i * 37);
        cDIBSurface source(sourceBits.Header(), sourceBits.pixels.get(), 0);
        cDIBSurface destination(destinationBits.Header(), destinationBits.pixels.get(), 0);
        ASSERT_EQ(source.width, 5);
        ASSERT_EQ(destination.width, 7);
        source.SetColorKey(RGB(8, 8, 8));
        int drawn = 0;
        for (int mode = 0; mode < 2; ++mode)
            for (int offset = -9; offset <= 9; offset += 3)
                for (int sourceOffset = -6; sourceOffset <= 6; sourceOffset += 3)
                    for (int size : {1, 5, 9, 40}) {
                        drawn += source.Blit(&destination, offset, -offset, sourceOffset, -sourceOffset, size,
                                             size, mode, 0, 0, 2);
                        drawn += source.Blit(&destination, offset, offset, sourceOffset, sourceOffset, size,
                                             size, mode, depth == 32 ? 9 : 0, 0, 0);
                    }
        EXPECT_GT(drawn, 0);
        destination.SetClipRect(2, 1, 3, 3);
        for (int offset = -9; offset <= 9; ++offset)
            source.Blit(&destination, offset, offset / 2, 0, 0, 0x3FFFFFFF, 0x3FFFFFFF, 1, 0, 0, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ClippedBlit, ::testing::Values(8, 15, 16, 24, 32),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param); });

} // namespace
