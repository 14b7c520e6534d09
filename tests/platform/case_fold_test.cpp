// The layer's one case folding: what it folds, what it leaves, and names compared with it.
#include "win32/kernel.h"

#include <gtest/gtest.h>

using namespace win32;

namespace {

TEST(CaseFold, FoldsLatinGreekAndCyrillicCapitalsAndLeavesTheRest) {
    const std::pair<char32_t, char32_t> cases[] = {
        {U'A', U'a'},   {U'z', U'z'},     {U'1', U'1'},     {U'_', U'_'},      {0xC9, 0xE9},   // E acute
        {0xD7, 0xD7},   {0xDF, 0xDF},     {0x178, 0xFF},    {0x100, 0x101},    {0x101, 0x101}, // macron A
        {0x141, 0x142}, {0x17D, 0x17E},   {0x3A9, 0x3C9},   {0x3A2, 0x3A2},    {0x414, 0x434}, // omega, de
        {0x401, 0x451}, {0x4E00, 0x4E00}, {0xD800, 0xD800}, {0x1D400, 0x1D400}};
    for (auto [c, folded] : cases)
        EXPECT_EQ(FoldCase(c), folded) << std::hex << static_cast<unsigned>(c);
}

TEST(CaseFold, NamesDifferingOnlyInCaseAreEqual) {
    EXPECT_TRUE(EqualsIgnoringCase(u"Vt2MainClassTh", u"vt2mainclassTH"));
    EXPECT_TRUE(EqualsIgnoringCase(u"\u00C9T\u00C9.VXE", u"\u00e9t\u00e9.vxe"));
    EXPECT_TRUE(EqualsIgnoringCase(u"", u""));
    EXPECT_FALSE(EqualsIgnoringCase(u"vrt", u"vrtx"));
    EXPECT_FALSE(EqualsIgnoringCase(u"a\u00D7", u"a\u00F7")) << "the multiplication sign is no capital";
}

} // namespace
