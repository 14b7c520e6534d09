#include "startup/build_palette.h"

#include <gtest/gtest.h>

namespace {

using namespace vtrrt;

TEST(BuildPalette, FreeEntriesNeverCollapseAndBlackBecomesNearBlack) {
    PaletteEntry source[256];
    for (int i = 0; i < 256; ++i)
        source[i] = {static_cast<std::uint8_t>(i), 0, 0, 0xFF};
    source[100] = {0, 0, 0, 0};
    PaletteEntry out[256];
    BuildPalette(out, source);
    EXPECT_EQ(out[100].red, 8);
    EXPECT_EQ(out[100].flags, PC_NOCOLLAPSE);
    EXPECT_EQ(out[10].flags, PC_NOCOLLAPSE);
    EXPECT_EQ(out[245].flags, PC_NOCOLLAPSE);
    EXPECT_EQ(out[120].red, 120);
    for (int i : {0, 5, 9, 246, 250, 255})
        EXPECT_EQ(out[i].flags, 0) << i;
    // Black among the static entries stays black.
    EXPECT_EQ(out[0].red, 0);
}

} // namespace
