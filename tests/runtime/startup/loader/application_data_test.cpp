#include "core/application_data.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace vtrrt;

TEST(ApplicationData, DataHeaderReadsFieldByFieldLittleEndian) {
    // "VTRW", version 0x0302, 0, type 3, build 285, written out by hand.
    const std::vector<std::uint8_t> bytes{'V',  'T',  'R',  'W',  0x02, 0x03, 0x00, 0x00,
                                          0x03, 0x00, 0x00, 0x00, 0x1D, 0x01, 0x00, 0x00};
    ApplicationDataHeader h;
    ASSERT_TRUE(ParseDataHeader(bytes, h));
    EXPECT_EQ(h.magic, DataMagicWide);
    EXPECT_EQ(h.version, DataVersion);
    EXPECT_EQ(h.typeWord, 3u);
    EXPECT_EQ(h.build, 285u);
    EXPECT_FALSE(ParseDataHeader(std::span(bytes).first(15), h));
}

TEST(ApplicationData, ChunkHeaderGivesIdFlagsAndSize) {
    const std::vector<std::uint8_t> bytes{0x23, 0x22, 0x03, 0x00, 0x70, 0x00, 0x00, 0x80};
    ChunkHeader h;
    ASSERT_TRUE(ParseChunkHeader(bytes, h));
    EXPECT_EQ(h.id, ChunkAppHeader);
    EXPECT_EQ(h.flags, ChunkCompressed | ChunkEnciphered);
    EXPECT_EQ(h.size, 0x80000070u);
}

TEST(ApplicationData, ApplicationHeaderFieldsSitAtTheirOffsets) {
    std::vector<std::uint8_t> bytes(AppHeaderSize, 0);
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, static_cast<std::uint16_t>(v));
        put16(at + 2, static_cast<std::uint16_t>(v >> 16));
    };
    put32(0, 112);
    put16(4, 0x0810);
    put16(6, 0x0204);
    put16(8, 4);
    put16(10, 0x48);
    put16(12, 320);
    put16(14, 240);
    put32(16, ~100u);
    put32(20, ~3u);
    put16(24 + 2 * 3, 5);             // player 4 plays with the keyboard
    put16(32 + 16 * 1 + 2 * 7, 0x20); // player 2, eighth key
    put32(100, 7);
    put32(104, 50);
    ApplicationHeader h;
    ParseApplicationHeader(bytes, h);
    EXPECT_EQ(h.size, 112u);
    EXPECT_EQ(h.flags1, 0x0810);
    EXPECT_EQ(h.flags2, 0x0204);
    EXPECT_EQ(h.graphicMode, 4);
    EXPECT_EQ(h.flags3, 0x48);
    EXPECT_EQ(h.windowWidth, 320);
    EXPECT_EQ(h.windowHeight, 240);
    EXPECT_EQ(~h.initialScore, 100u);
    EXPECT_EQ(~h.initialLives, 3u);
    EXPECT_EQ(h.controlTypes[3], 5);
    EXPECT_EQ(h.controlKeys[1][7], 0x20);
    EXPECT_EQ(h.frameCount, 7);
    EXPECT_EQ(h.frameRate, 50);
}

TEST(ApplicationData, ShortApplicationHeaderLeavesTheRestZero) {
    const std::vector<std::uint8_t> bytes{112, 0, 0, 0, 0x10, 0x00};
    ApplicationHeader h;
    h.frameRate = 99;
    ParseApplicationHeader(bytes, h);
    EXPECT_EQ(h.flags1, 0x10);
    EXPECT_EQ(h.frameRate, 0);
}

} // namespace
