#include "appwriter/file_pack_writer.h"
#include "appwriter/program_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Inflate(const Bytes& stored, std::size_t size) {
    Bytes out(size);
    uLongf length = size;
    EXPECT_EQ(uncompress(out.data(), &length, stored.data(), stored.size()), Z_OK);
    out.resize(length);
    return out;
}

struct ChecksumCase {
    Bytes data;
    std::uint32_t start;
    std::uint32_t expected;
};

// Worked by hand: each word is added after the sum is rotated left by one.
const ChecksumCase checksumCases[] = {
    {{}, 0, 0},
    {{}, 0x1234, 0x1234},
    {{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}, 0, 4},
    {{0x01, 0x00, 0x00, 0x00, 0x05}, 0, 7},
    {{'a', 'b', 'c'}, 0, 0x2AB},
    {{0x00, 0x00, 0x00, 0x00}, 0x80000000, 1},
    {{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}, 0, 0},
    {{0x78, 0x56, 0x34, 0x12}, 0, 0x12345678},
};

TEST(FilePackWriter, RollingChecksumRotatesThenAddsWordsThenTailBytes) {
    for (const auto& c : checksumCases)
        EXPECT_EQ(appwriter::RollingChecksum(c.data, c.start), c.expected);
}

TEST(FilePackWriter, LibraryIsStoredRawBehindTheHeader) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(Bytes{0xAA, 0xBB, 0xCC});
    writer.SetOptions(1);
    Bytes expected = {
        0x77, 0x77, 0x77, 0x77, 0x49, 0x87, 0x47, 0x12, // magic words
        0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // header size, no application data
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, // unused, option word (VSync)
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, // unused, one entry
        0x0B, 0x00,                                     // name length 11, then "libvtrs2.so"
        'l',  0,    'i',  0,    'b',  0,    'v',  0,    't', 0,    'r',  0,    's',
        0,    '2',  0,    '.',  0,    's',  0,    'o',  0,   0x00, 0x00, 0x00, 0x00, // no checksum
        0x03, 0x00, 0x00, 0x00,                                                      // three raw bytes
        0xAA, 0xBB, 0xCC,
    };
    EXPECT_EQ(writer.Write(), expected);
}

TEST(FilePackWriter, ModulesAreDeflatedAndOnlyObjectExtensionsCarryAChecksum) {
    const Bytes module = {'a', 'b', 'c'};
    appwriter::FilePackWriter writer;
    writer.AddFile(u"Ext.VXE", module);
    writer.AddFile(u"sub\\move.mvx", module);
    Bytes pack = writer.Write();

    std::size_t at = 32;
    auto u16 = [&] { return static_cast<std::uint32_t>(pack[at] | pack[at + 1] << 8); };
    auto u32 = [&] { return u16() | static_cast<std::uint32_t>(pack[at + 2] | pack[at + 3] << 8) << 16; };
    for (std::uint32_t expectedChecksum : {0x2ABu, 0u}) {
        std::uint32_t nameLength = u16();
        at += 2 + nameLength * 2;
        EXPECT_EQ(u32(), expectedChecksum);
        at += 4;
        std::uint32_t size = u32();
        at += 4;
        ASSERT_LE(at + size, pack.size());
        EXPECT_EQ(Inflate(Bytes(pack.begin() + at, pack.begin() + at + size), 64), module);
        at += size;
    }
    EXPECT_EQ(at, pack.size());
}

// A minimal ELF64 image: header, one section with contents and one without, and the section-header table.
Bytes MakeElf(std::uint64_t tableOffset, std::uint64_t sectionOffset, std::uint64_t sectionSize) {
    Bytes image(std::max<std::uint64_t>(tableOffset + 3 * 64, sectionOffset + sectionSize), 0);
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::copy(std::begin(ident), std::end(ident), image.begin());
    auto put = [&](std::size_t at, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i)
            image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0x28, tableOffset, 8);
    put(0x3A, 64, 2);
    put(0x3C, 3, 2);
    // Section 0 is the null section; 1 has contents; 2 is NOBITS (type 8) with a size far beyond the file.
    put(tableOffset + 64 + 4, 1, 4);
    put(tableOffset + 64 + 0x18, sectionOffset, 8);
    put(tableOffset + 64 + 0x20, sectionSize, 8);
    put(tableOffset + 128 + 4, 8, 4);
    put(tableOffset + 128 + 0x18, 64, 8);
    put(tableOffset + 128 + 0x20, 0x100000, 8);
    return image;
}

TEST(FilePackWriter, ImageEndsAtTheLaterOfSectionTableAndLastSection) {
    EXPECT_EQ(appwriter::FindElfImageEnd(MakeElf(200, 64, 100)), 200u + 3 * 64);
    EXPECT_EQ(appwriter::FindElfImageEnd(MakeElf(100, 400, 50)), 450u);
}

TEST(FilePackWriter, MalformedImagesHaveNoEnd) {
    Bytes truncated = MakeElf(200, 64, 100);
    truncated.resize(300);
    EXPECT_FALSE(appwriter::FindElfImageEnd(truncated));
    Bytes notElf = MakeElf(200, 64, 100);
    notElf[1] = 'X';
    EXPECT_FALSE(appwriter::FindElfImageEnd(notElf));
    EXPECT_FALSE(appwriter::FindElfImageEnd(Bytes(10, 0)));
}

TEST(FilePackWriter, PackReplacesWhateverFollowedTheImage) {
    Bytes program = MakeElf(200, 64, 100);
    std::size_t imageEnd = program.size();
    Bytes first = *appwriter::AppendFilePack(program, Bytes{1, 2, 3});
    Bytes second = *appwriter::AppendFilePack(first, Bytes{9});
    ASSERT_EQ(second.size(), imageEnd + 1);
    EXPECT_EQ(second.back(), 9);
}

} // namespace

namespace {

// The program's tag block for its stored files: the packer finds its marker, and only one.
TEST(ProgramFilesTag, IsPatchedWhereItsMarkerIsAndTheProgramHasExactlyOne) {
    const std::string marker("vtr-files-here!\0", 16);
    // Ten bytes of program, the marker, then room for the two words.
    Bytes image(10 + marker.size() + 8, 0);
    std::fill_n(image.begin(), 10, 0xAA);
    std::copy(marker.begin(), marker.end(), image.begin() + 10);
    ASSERT_TRUE(appwriter::PatchProgramFilesTag(image, 0x01020304, 3));
    EXPECT_EQ(Bytes(image.begin() + 26, image.end()), (Bytes{4, 3, 2, 1, 3, 0, 0, 0}));
    Bytes cut(image.begin(), image.end() - 1);
    EXPECT_FALSE(appwriter::PatchProgramFilesTag(cut, 1, 1)) << "no room for the words";
    Bytes none(64, 0);
    EXPECT_FALSE(appwriter::PatchProgramFilesTag(none, 1, 1));

    std::ifstream in(std::string(VTR_BIN_DIR) + "/vtrrt", std::ios::binary | std::ios::ate);
    std::string program(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(program.data(), static_cast<std::streamsize>(program.size()));
    ASSERT_FALSE(program.empty());
    const std::size_t first = program.find(marker);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(program.find(marker, first + 1), std::string::npos);
}

} // namespace
