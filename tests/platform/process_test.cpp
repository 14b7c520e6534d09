#include "win32/kernel.h"

#include <gtest/gtest.h>

using namespace win32;

namespace {

TEST(CommandLine, StartsWithTheProgramAndStaysTheSame) {
    const std::u16string line = GetCommandLineW();
    EXPECT_NE(line.find(u"test_platform"), std::u16string::npos);
    EXPECT_EQ(GetCommandLineW(), GetCommandLineW());
}

TEST(Atoms, NamesAreSharedWithoutRegardToCaseAndCounted) {
    const ATOM first = GlobalAddAtomW(u"krdpTest");
    ASSERT_GE(first, 0xC000);
    EXPECT_EQ(GlobalAddAtomW(u"KRDPTEST"), first);
    EXPECT_EQ(GlobalFindAtomW(u"krdptest"), first);
    EXPECT_EQ(GlobalDeleteAtom(first), 0);
    EXPECT_EQ(GlobalFindAtomW(u"krdpTest"), first); // one add is left
    EXPECT_EQ(GlobalDeleteAtom(first), 0);
    EXPECT_EQ(GlobalFindAtomW(u"krdpTest"), 0);
    EXPECT_EQ(GlobalDeleteAtom(first), first); // nothing left to delete
    EXPECT_EQ(GlobalAddAtomW(u"#42"), 42);
    EXPECT_EQ(GlobalAddAtomW(u""), 0);
}

} // namespace
