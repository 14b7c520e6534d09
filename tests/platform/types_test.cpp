#include "win32/types.h"

#include <gtest/gtest.h>

using namespace win32;

TEST(Types, ColourRefKeepsRedInTheLowByte) {
    const COLORREF c = RGB(0x12, 0x34, 0x56);
    EXPECT_EQ(c, 0x563412u);
    EXPECT_EQ(GetRValue(c), 0x12);
    EXPECT_EQ(GetGValue(c), 0x34);
    EXPECT_EQ(GetBValue(c), 0x56);
}

TEST(Types, WordsSplitAndJoin) {
    EXPECT_EQ(LOWORD(0xABCD1234u), 0x1234);
    EXPECT_EQ(HIWORD(0xABCD1234u), 0xABCD);
    EXPECT_EQ(MAKELONG(0x1234, 0xABCD), 0xABCD1234u);
}
