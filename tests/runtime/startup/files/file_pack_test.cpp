#include "startup/file_pack.h"
#include "startup/runtime_files.h"
#include "startup_fixture.h"

#include <gtest/gtest.h>

using namespace startup_test;
using namespace vtrrt;

namespace {

class FilePack : public PrivateTempFolder {
protected:
    void SetUp() override {
        PrivateTempFolder::SetUp();
        ASSERT_EQ(CreateTempDirectory(), 0);
        temp_ = win32::ToUtf8(GetRuntimeFiles().tempFolder);
    }
    void TearDown() override {
        CleanupRuntimeFiles();
        PrivateTempFolder::TearDown();
    }

    // Unpacks from a file holding `bytes`, searching from `start`.
    int Unpack(const Bytes& bytes, win32::DWORD start = 0) {
        fs::path file = root_ / "program";
        WriteBytes(file, bytes);
        win32::HANDLE handle = OpenRead(file);
        int code = UnpackFilePack(handle, start, FilePackSearchLength);
        win32::CloseHandle(handle);
        return code;
    }
    static win32::HANDLE OpenRead(const fs::path& file) {
        std::u16string name = win32::FromUtf8(file.string());
        return win32::CreateFileW(name.c_str(), win32::GENERIC_READ, win32::FILE_SHARE_READ, nullptr,
                                  win32::OPEN_EXISTING, 0, nullptr);
    }

    std::string temp_;
};

Bytes Magic() {
    return {0x77, 0x77, 0x77, 0x77, 0x49, 0x87, 0x47, 0x12};
}

// Written by hand from the pack's tables: the library raw, then "abc" as a stored zlib block with its
// checksum 0x2AB, the application data 0x40 - 32 bytes after the pack's start.
Bytes HandWrittenPack() {
    Bytes pack = Magic();
    Bytes rest = {
        0x20, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, //
        0x0B, 0x00, 'l',  0,    'i',  0,    'b',  0,    'v',  0,    't',  0,    'r',  0,    's',  0,    '2',
        0,    '.',  0,    's',  0,    'o',  0,    0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 'L',  'I',
        'B', //
        0x05, 0x00, 'a',  0,    '.',  0,    'v',  0,    'x',  0,    'e',  0,    0xAB, 0x02, 0x00, 0x00, 0x0E,
        0x00, 0x00, 0x00, 0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 'a',  'b',  'c',  0x02, 0x4D, 0x01, 0x27,
    };
    pack.insert(pack.end(), rest.begin(), rest.end());
    return pack;
}

TEST(Checksum, RollingChecksumMatchesHandWorkedValues) {
    struct Case {
        Bytes data;
        win32::DWORD start, expected;
    };
    const Case cases[] = {
        {{}, 7, 7},
        {{0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}, 0, 4},
        {{0x01, 0x00, 0x00, 0x00, 0x05}, 0, 7},
        {{'a', 'b', 'c'}, 0, 0x2AB},
        {{0x00, 0x00, 0x00, 0x00}, 0x80000000, 1},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RollingChecksum(c.data, c.start), c.expected);
}

TEST_F(FilePack, ChecksumOfAFileInBlocksEqualsTheChecksumOverMemory) {
    Bytes data(2 * 32768 + 3);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 37 + (i >> 9));
    WriteBytes(root_ / "data", data);
    win32::HANDLE file = OpenRead(root_ / "data");
    EXPECT_EQ(ChecksumFile(file, static_cast<win32::DWORD>(data.size())), RollingChecksum(data));
    win32::CloseHandle(file);
}

TEST_F(FilePack, FindsTheFirstPackInTheWindowOnly) {
    Bytes file(50, 0);
    Bytes magic = Magic();
    file.insert(file.begin() + 10, magic.begin(), magic.end());
    file.insert(file.end(), magic.begin(), magic.end());
    file.insert(file.end(), magic.begin(), magic.end());
    WriteBytes(root_ / "search", file);
    win32::HANDLE handle = OpenRead(root_ / "search");
    EXPECT_EQ(FindFilePack(handle, 0, 100), 1);
    EXPECT_EQ(GetRuntimeFiles().packPosition, 10u);
    EXPECT_EQ(FindFilePack(handle, 11, 100), 1);
    EXPECT_EQ(GetRuntimeFiles().packPosition, 58u);
    // Magic words that begin at the window's last byte or beyond it are not seen.
    EXPECT_EQ(FindFilePack(handle, 11, 47), 0);
    EXPECT_EQ(FindFilePack(handle, 70, 100), 0);
    win32::CloseHandle(handle);
}

TEST_F(FilePack, UnpacksAHandWrittenPackAndKeepsItsHeader) {
    Bytes file(100, 0xEE);
    Bytes pack = HandWrittenPack();
    file.insert(file.end(), pack.begin(), pack.end());
    ASSERT_EQ(Unpack(file), 0);
    const RuntimeFiles& files = GetRuntimeFiles();
    EXPECT_EQ(files.packPosition, 100u);
    EXPECT_EQ(files.packHeader.entryCount, 2u);
    EXPECT_EQ(files.packHeader.dataOffset, 100u + 0x40 - 32);
    EXPECT_EQ(ReadBytes(temp_ + "libvtrs2.so"), Text("LIB"));
    EXPECT_EQ(ReadBytes(temp_ + "a.vxe"), Text("abc"));
    EXPECT_EQ(win32::ToUtf8(files.libraryPath), temp_ + "libvtrs2.so");
}

TEST_F(FilePack, ADataOffsetLeadingBeforeThePackIsRefused) {
    Bytes file(100, 0xEE);
    Bytes pack = HandWrittenPack();
    pack[12] = 0x1F;
    file.insert(file.end(), pack.begin(), pack.end());
    EXPECT_EQ(Unpack(file), ErrorBadFilePack);
}

TEST_F(FilePack, OnlyObjectExtensionsHaveTheirChecksumChecked) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(Text("library"));
    writer.AddRawEntry(u"move.mvx", 0x1234, appwriter::Deflate(Text("movement")));
    writer.AddRawEntry(u"EXT.VXE", appwriter::RollingChecksum(Text("ext")), appwriter::Deflate(Text("ext")));
    EXPECT_EQ(Unpack(writer.Write()), 0);
    EXPECT_EQ(ReadBytes(temp_ + "move.mvx"), Text("movement"));
}

TEST_F(FilePack, SubFoldersAreMadeAndRemovedWithTheirFiles) {
    appwriter::FilePackWriter writer;
    writer.AddLibrary(Text("library"));
    writer.AddFile(u"a\\b\\deep.mvx", Text("deep"));
    writer.AddFile(u"a/side.ift", Text("side"));
    ASSERT_EQ(Unpack(writer.Write()), 0);
    EXPECT_EQ(ReadBytes(temp_ + "a/b/deep.mvx"), Text("deep"));
    EXPECT_EQ(ReadBytes(temp_ + "a/side.ift"), Text("side"));
    CleanupRuntimeFiles();
    EXPECT_FALSE(fs::exists(temp_));
    EXPECT_EQ(Contents(), std::vector<std::string>{"program"});
}

struct BadPack {
    Corruption corruption;
    int code;
};

class FilePackRefuses : public FilePack, public ::testing::WithParamInterface<BadPack> {};

TEST_P(FilePackRefuses, MalformedPackAndCleanupLeavesNothing) {
    Bytes file = Text("program image");
    Bytes pack = CorruptPack(GetParam().corruption, Text("library"));
    file.insert(file.end(), pack.begin(), pack.end());
    EXPECT_EQ(Unpack(file), GetParam().code);
    CleanupRuntimeFiles();
    EXPECT_EQ(Contents(), std::vector<std::string>{"program"});
}

INSTANTIATE_TEST_SUITE_P(Each, FilePackRefuses,
                         ::testing::Values(BadPack{Corruption::MissingPack, ErrorBadFilePack},
                                           BadPack{Corruption::Truncated, StreamEndOfData},
                                           BadPack{Corruption::NameLengthZero, ErrorBadFilePack},
                                           BadPack{Corruption::NameLengthOver259, ErrorBadFilePack},
                                           BadPack{Corruption::RootedName, ErrorBadFilePack},
                                           BadPack{Corruption::DriveName, ErrorBadFilePack},
                                           BadPack{Corruption::ParentFolderName, ErrorBadFilePack},
                                           BadPack{Corruption::WrongExtensionChecksum, ErrorBadFilePack},
                                           BadPack{Corruption::LibraryNotFirst, ErrorBadFilePack},
                                           BadPack{Corruption::LibraryTwice, ErrorBadFilePack},
                                           BadPack{Corruption::TruncatedInLibrary, StreamEndOfData}),
                         [](const auto& info) { return std::string(CorruptionName(info.param.corruption)); });

TEST_F(FilePack, StoredSizesBeyondTheFileOrCorruptDataAreErrors) {
    appwriter::FilePackWriter oversized;
    oversized.AddLibrary(Text("library"));
    Bytes stream = appwriter::Deflate(Text("module"));
    Bytes fake = stream;
    fake.resize(0x10000);
    oversized.AddRawEntry(u"big.mvx", 0, fake);
    Bytes pack = oversized.Write();
    pack.resize(pack.size() - 0x10000 + stream.size());
    EXPECT_EQ(Unpack(pack), StreamEndOfData);

    appwriter::FilePackWriter corrupt;
    corrupt.AddLibrary(Text("library"));
    corrupt.AddRawEntry(u"junk.mvx", 0, Text("this is no zlib stream"));
    EXPECT_EQ(Unpack(corrupt.Write()), StreamDataError);
}

TEST(PackEntryName, OnlyRelativeFileNamesInsideTheFolderAreSafe) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"a.vxe", true},
        {u"sub\\a.vxe", true},
        {u"sub/deeper/a.vxe", true},
        {u"x..y.mvx", true},
        {u"", false},
        {u"\\a.vxe", false},
        {u"/a.vxe", false},
        {u"C:\\a.vxe", false},
        {u"C:a.vxe", false},
        {u"..\\a.vxe", false},
        {u"sub/../a.vxe", false},
        {u"sub\\..", false},
        {u"sub\\", false},
        {u"sub/./a.vxe", false},
        {u"sub//a.vxe", false},
        {u".", false},
        {std::u16string(u"a\0b.vxe", 7), false},
    };
    for (const auto& [name, safe] : cases)
        EXPECT_EQ(IsSafePackEntryName(name), safe) << win32::ToUtf8(name);
}

} // namespace
