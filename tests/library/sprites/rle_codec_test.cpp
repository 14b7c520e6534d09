#include "vtrs2/rle_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using Bytes = std::vector<win32::BYTE>;

namespace {

Bytes Pack(const Bytes& in, win32::DWORD flags) {
    Bytes out(GetRleCompressedSize(in.data(), in.size(), flags) + 8, 0xEE);
    const auto n = RleCompressPixels(out.data(), out.size(), in.data(), in.size(), flags);
    out.resize(n);
    return out;
}

struct PackCase {
    const char* name;
    Bytes input;
    win32::DWORD flags;
    Bytes packed;
};

class RlePackVectors : public testing::TestWithParam<PackCase> {};

TEST_P(RlePackVectors, PacksToHandWrittenBytes) {
    const auto& c = GetParam();
    EXPECT_EQ(Pack(c.input, c.flags), c.packed);
    EXPECT_EQ(GetRleCompressedSize(c.input.data(), c.input.size(), c.flags), c.packed.size());
    const std::size_t pixel = RlePixelSize(c.flags);
    const std::size_t whole = pixel ? c.input.size() / pixel * pixel : 0;
    Bytes out(c.input.size(), 0);
    EXPECT_EQ(DecodeRlePixels(out.data(), out.size(), c.packed.data(), c.packed.size(), c.flags), whole);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + whole, c.input.begin()));
}

Bytes Repeat(std::size_t n, Bytes pixel) {
    Bytes r;
    for (std::size_t i = 0; i < n; ++i)
        r.insert(r.end(), pixel.begin(), pixel.end());
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, RlePackVectors,
    testing::Values(
        PackCase{"TwoHundredWordPixels", Repeat(200, {0x34, 0x12}), 2, {127, 0x34, 0x12, 73, 0x34, 0x12, 0}},
        PackCase{"PairInsideLiteral", {1, 2, 2, 3}, 1, {0x84, 1, 2, 2, 3, 0}},
        PackCase{"LiteralThenRepeat", {1, 2, 2, 2}, 1, {0x81, 1, 3, 2, 0}},
        PackCase{"PacketStartingOnPair", {5, 5, 7}, 1, {2, 5, 0x81, 7, 0}},
        PackCase{"EmptyInput", {}, 1, {0}}, PackCase{"NoPixelSizeFlag", {1, 2, 3}, 0, {0}},
        PackCase{"TrailingPartialPixelIgnored", {9, 9, 9, 9, 9, 9, 1, 2}, 4, {2, 9, 9, 9, 0}},
        PackCase{"WidePixelsBreakLiteralOnPair", {1, 0, 2, 0, 2, 0}, 2, {0x81, 1, 0, 2, 2, 0, 0}},
        PackCase{"ThreeBytePixelsWinOverTwo", {1, 2, 3, 4, 5, 6}, 7, {0x82, 1, 2, 3, 4, 5, 6, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RleCodec, LongLiteralSplitsAt127Pixels) {
    Bytes in(300);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<win32::BYTE>(i * 7 + (i >> 8));
    const Bytes packed = Pack(in, 1);
    ASSERT_GE(packed.size(), 4u);
    EXPECT_EQ(packed[0], 128 + 127);
    EXPECT_EQ(packed[128], 128 + 127);
    EXPECT_EQ(packed[256], 128 + 46);
    EXPECT_EQ(packed.back(), 0);
}

TEST(RleCodec, RoundTripsRandomImages) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        const win32::DWORD flags = 1u << (round % 3);
        const int pixel = RlePixelSize(flags);
        const std::size_t pixels = rng() % 2000;
        const int palette = 1 + rng() % 6;
        Bytes in(pixels * pixel);
        for (std::size_t i = 0; i < pixels;) {
            const std::size_t run = 1 + (rng() % 4 == 0 ? rng() % 300 : 0);
            Bytes value(pixel);
            for (auto& b : value)
                b = static_cast<win32::BYTE>(rng() % palette);
            for (std::size_t k = 0; k < run && i < pixels; ++k, ++i)
                std::copy(value.begin(), value.end(), in.begin() + i * pixel);
        }
        const Bytes packed = Pack(in, flags);
        ASSERT_EQ(packed.back(), 0);
        Bytes out(in.size() + 16, 0xAB);
        ASSERT_EQ(DecodeRlePixels(out.data(), in.size(), packed.data(), packed.size(), flags), in.size());
        ASSERT_EQ(GetRleDecodedSize(packed.data(), packed.size(), flags, SIZE_MAX), in.size());
        EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin()));
        EXPECT_EQ(out[in.size()], 0xAB) << "decoder wrote past the image";
    }
}

TEST(RleCodec, CompressRefusesTooSmallDestination) {
    const Bytes in = Repeat(10, {1, 2, 3});
    Bytes out(4, 0xEE);
    out.push_back(0x5A);
    EXPECT_EQ(RleCompressPixels(out.data(), 3, in.data(), in.size(), 4), 0u);
    EXPECT_EQ(out[3], 0xEE);
    EXPECT_EQ(out[4], 0x5A);
}

struct CorruptCase {
    const char* name;
    Bytes packed;
    std::size_t capacity;
    std::size_t written;
};

class RleCorruptRuns : public testing::TestWithParam<CorruptCase> {};

TEST_P(RleCorruptRuns, StopAtTheImageEnd) {
    const auto& c = GetParam();
    Bytes out(c.capacity + 32, 0xCC);
    EXPECT_EQ(DecodeRlePixels(out.data(), c.capacity, c.packed.data(), c.packed.size(), 2), c.written);
    EXPECT_EQ(GetRleDecodedSize(c.packed.data(), c.packed.size(), 2, c.capacity), c.written)
        << "the size found without writing";
    for (std::size_t i = c.capacity; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0xCC) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, RleCorruptRuns,
    testing::Values(CorruptCase{"RepeatLongerThanImage", {127, 1, 2, 127, 1, 2, 0}, 10, 10},
                    CorruptCase{"OddCapacityCutsPixel", {5, 1, 2, 0}, 7, 7},
                    CorruptCase{"LiteralLongerThanImage", {0x85, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}, 6, 6},
                    CorruptCase{"LiteralPastPackedEnd", {0xFF, 1, 2, 3}, 100, 3},
                    CorruptCase{"RepeatPixelMissing", {3, 1}, 100, 0},
                    CorruptCase{"NoEndByte", {2, 7, 7}, 100, 4},
                    CorruptCase{"ZeroCapacity", {3, 1, 1, 0}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ItemChecksum, RotatesAfterEveryByte) {
    EXPECT_EQ(ComputeItemChecksum("abc", 3), 0x0556u);
    EXPECT_EQ(ComputeItemChecksum("", 0), 0u);
    // Continuing over the second half equals checksumming the whole.
    const char text[] = "checksum over split buffers";
    const auto whole = ComputeItemChecksum(text, sizeof text);
    EXPECT_EQ(ContinueChecksum(text + 10, sizeof text - 10, ComputeItemChecksum(text, 10)), whole);
    EXPECT_LT(whole, 0x10000u);
}

TEST(ItemChecksum, CompareItemBytesIsZeroOnlyWhenEqual) {
    EXPECT_EQ(CompareItemBytes("abcd", "abcd", 4), 0);
    EXPECT_NE(CompareItemBytes("abcd", "abce", 4), 0);
    EXPECT_EQ(CompareItemBytes("abcd", "abce", 3), 0);
}

} // namespace
