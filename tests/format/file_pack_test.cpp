// The file pack's checksum and the end of the program's ELF image, on small images built by hand.
#include "vtrformat/file_pack.h"

#include "vtrformat/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace vtrformat;

TEST(RollingChecksum, WordsThenTheBytesLeftOver) {
    // rotl(0) + 1 = 1, then rotl(1) + 2 = 4.
    EXPECT_EQ(RollingChecksum(std::vector<std::uint8_t>{1, 0, 0, 0, 2}), 4u);
    // The top bit comes round: rotl(0x80000000) = 1, plus the byte.
    EXPECT_EQ(RollingChecksum(std::vector<std::uint8_t>{0, 0, 0, 0x80, 1}), 2u);
    EXPECT_EQ(RollingChecksum({}, 9), 9u);
}

// A 64-byte ELF64 header with its section table at `tableOffset`, and `count` 64-byte section entries of
// {type, file offset, size}.
struct Section {
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
};
std::vector<std::uint8_t> Image(std::uint64_t tableOffset, const std::vector<Section>& sections,
                                std::size_t length) {
    std::vector<std::uint8_t> image(length, 0);
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1};
    std::copy(std::begin(ident), std::end(ident), image.begin());
    PutAt<std::uint64_t>(image, 0x28, tableOffset);
    PutAt<std::uint16_t>(image, 0x3A, 64);
    PutAt<std::uint16_t>(image, 0x3C, static_cast<std::uint16_t>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t at = tableOffset + i * 64;
        PutAt<std::uint32_t>(image, at + 4, sections[i].type);
        PutAt<std::uint64_t>(image, at + 0x18, sections[i].offset);
        PutAt<std::uint64_t>(image, at + 0x20, sections[i].size);
    }
    return image;
}

std::optional<std::uint64_t> EndOf(const std::vector<std::uint8_t>& image) {
    const auto layout = ReadElfSectionTable(image, image.size());
    if (!layout) return std::nullopt;
    return ElfImageEnd(*layout, std::span(image).subspan(layout->offset, layout->Bytes()), image.size());
}

TEST(ElfImageEnd, TheLaterOfTheTableAndTheLastSectionWithBytes) {
    // Table at 64..192; a section up to 292; a no-bits section "up to" 1000 occupies no file bytes.
    EXPECT_EQ(EndOf(Image(64, {{1, 192, 100}, {8, 200, 800}}, 400)), 292u);
    EXPECT_EQ(EndOf(Image(64, {{1, 64, 10}}, 400)), 128u);
}

TEST(ElfImageEnd, RefusesWhatDoesNotLieWithinTheFile) {
    EXPECT_EQ(EndOf(Image(64, {{1, 192, 300}}, 400)), std::nullopt); // a section past the end
    EXPECT_EQ(EndOf(Image(360, {{1, 0, 1}}, 400)), std::nullopt);    // the table past the end
    auto notElf = Image(64, {}, 128);
    notElf[4] = 1; // 32-bit
    EXPECT_EQ(EndOf(notElf), std::nullopt);
    EXPECT_EQ(ReadElfSectionTable(std::vector<std::uint8_t>(63, 0), 63), std::nullopt);
}

} // namespace
