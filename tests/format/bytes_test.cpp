// The one little-endian reader and writer: field order and width, and reads that do not fit.
#include "vtrformat/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using vtrformat::ByteReader;
using vtrformat::ByteWriter;

TEST(ByteReader, ReadsFieldsLittleEndianInOrder) {
    const std::array<std::uint8_t, 11> bytes{0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56,
                                             0x34, 0x12, 0x80, 0x01, 0x02};
    ByteReader r(bytes);
    std::uint16_t u16 = 0;
    std::int16_t i16 = 0;
    std::uint32_t u32 = 0;
    std::int8_t i8 = 0;
    std::uint16_t tail = 0;
    ASSERT_TRUE(r.U16(u16) && r.I16(i16) && r.U32(u32) && r.I8(i8) && r.U16(tail));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(u32, 0x12345678u);
    EXPECT_EQ(i8, -128);
    EXPECT_EQ(tail, 0x0201);
    EXPECT_EQ(r.Left(), 0u);
}

TEST(ByteReader, AReadPastTheEndFailsAndLeavesValueAndPosition) {
    const std::array<std::uint8_t, 3> bytes{1, 2, 3};
    ByteReader r(bytes);
    ASSERT_TRUE(r.Skip(1));
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_FALSE(r.U32(value));
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(r.Position(), 1u);
    std::uint16_t word = 0;
    EXPECT_TRUE(r.U16(word));
    EXPECT_EQ(word, 0x0302);
}

struct MoveCase {
    const char* name;
    std::size_t start;
    std::size_t count;
    bool skipFits;
    bool seekFits;
};

class ByteReaderMoves : public testing::TestWithParam<MoveCase> {};

// Skip and Take are relative to the position, Seek absolute; the end itself is a valid place to be.
TEST_P(ByteReaderMoves, StayWithinTheBytes) {
    const MoveCase& c = GetParam();
    const std::array<std::uint8_t, 8> bytes{};
    ByteReader skip(bytes), take(bytes), seek(bytes);
    ASSERT_TRUE(skip.Seek(c.start) && take.Seek(c.start));
    std::span<const std::uint8_t> taken;
    EXPECT_EQ(skip.Skip(c.count), c.skipFits);
    EXPECT_EQ(take.Take(c.count, taken), c.skipFits);
    EXPECT_EQ(taken.size(), c.skipFits ? c.count : 0u);
    EXPECT_EQ(skip.Position(), c.skipFits ? c.start + c.count : c.start);
    EXPECT_EQ(seek.Seek(c.count), c.seekFits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ByteReaderMoves,
    testing::Values(MoveCase{"NothingAtTheEnd", 8, 0, true, true},
                    MoveCase{"ExactlyWhatIsLeft", 3, 5, true, true},
                    MoveCase{"OneMoreThanIsLeft", 3, 6, false, true},
                    MoveCase{"PastTheEnd", 0, 9, false, false},
                    MoveCase{"HugeCount", 4, std::numeric_limits<std::size_t>::max(), false, false}),
    [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST(ReadAt, AFieldMustLieWhollyWithinTheBytes) {
    const std::array<std::uint8_t, 6> bytes{0, 0, 0x11, 0x22, 0x33, 0x44};
    std::uint32_t v = 7;
    EXPECT_TRUE(vtrformat::ReadAt(std::span<const std::uint8_t>(bytes), 2, v));
    EXPECT_EQ(v, 0x44332211u);
    v = 7;
    EXPECT_FALSE(vtrformat::ReadAt(std::span<const std::uint8_t>(bytes), 3, v));
    // An offset that would wrap round when the width is added.
    EXPECT_FALSE(vtrformat::ReadAt(std::span<const std::uint8_t>(bytes),
                                   std::numeric_limits<std::size_t>::max() - 1, v));
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(vtrformat::FieldAt<std::uint16_t>(bytes, 5, 0xABCD), 0xABCD);
}

TEST(ByteWriter, WhatItWritesTheReaderReadsBack) {
    ByteWriter w;
    w.U8(0xAA);
    w.U16(0xBEEF);
    w.I32(-3);
    w.Units(u"hi");
    ByteReader r(w.Data());
    std::uint8_t a = 0;
    std::uint16_t b = 0, h = 0, i = 0;
    std::int32_t c = 0;
    ASSERT_TRUE(r.U8(a) && r.U16(b) && r.I32(c) && r.U16(h) && r.U16(i));
    EXPECT_EQ(a, 0xAA);
    EXPECT_EQ(b, 0xBEEF);
    EXPECT_EQ(c, -3);
    EXPECT_EQ(h, u'h');
    EXPECT_EQ(i, u'i');
}

TEST(ByteWriter, APatchOutsideWhatWasWrittenChangesNothing) {
    ByteWriter w;
    w.U32(0);
    w.U16(0);
    EXPECT_TRUE(w.PatchU32(2, 0x04030201));
    EXPECT_FALSE(w.PatchU32(3, 0xFFFFFFFF));
    EXPECT_EQ(w.Data(), (std::vector<std::uint8_t>{0, 0, 1, 2, 3, 4}));
}

TEST(ReadFieldFrom, PassesTheSourcesErrorOnAndLeavesTheValue) {
    std::uint32_t v = 5;
    EXPECT_EQ(vtrformat::ReadFieldFrom([](std::uint8_t*, std::size_t) { return 42; }, v), 42);
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(vtrformat::ReadFieldFrom(
                  [](std::uint8_t* b, std::size_t n) {
                      for (std::size_t k = 0; k < n; ++k)
                          b[k] = static_cast<std::uint8_t>(k + 1);
                      return 0;
                  },
                  v),
              0);
    EXPECT_EQ(v, 0x04030201u);
}

} // namespace
