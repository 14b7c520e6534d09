#include "file_fixture.h"

#include "support/param_names.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"

#include <cstring>
#include <string>

using namespace win32;

namespace {

using RawFiles = FileTest;

TEST_F(RawFiles, CreateWriteSeekAndReadBack) {
    RawHandle file(FileCreateRaw(Path(u"a.bin").c_str()));
    ASSERT_TRUE(file.valid());
    const Bytes data = Pattern(100);
    EXPECT_EQ(FileWriteRaw(file.get(), data.data(), 100), StreamOk);
    EXPECT_EQ(FileTellRaw(file.get()), 100);
    EXPECT_EQ(FileSeekRaw(file.get(), 10), 10);
    EXPECT_EQ(FileGetSizeRaw(file.get()), 100);
    EXPECT_EQ(FileTellRaw(file.get()), 10); // the size is read without moving
    EXPECT_EQ(FileSkipRaw(file.get(), 5), 15);
    EXPECT_EQ(FileSkipRaw(file.get(), -3), 12);
    EXPECT_EQ(FileSeekEndRaw(file.get(), -20), 80);
    Bytes read(20);
    EXPECT_EQ(FileReadRaw(file.get(), read.data(), 20), StreamOk);
    EXPECT_EQ(read, Pattern(20, 80));
    EXPECT_EQ(FileReadRaw(file.get(), read.data(), 1), StreamEndOfData);
    FileSeekRaw(file.get(), 95);
    EXPECT_EQ(FileReadRaw(file.get(), read.data(), 10), StreamEndOfData);
    FileSeekRaw(file.get(), 95);
    EXPECT_EQ(FileReadCountRaw(file.get(), read.data(), 10), 5);
    EXPECT_EQ(FileReadCountRaw(file.get(), read.data(), 10), 0);
}

TEST_F(RawFiles, CreateTruncatesAnExistingFile) {
    const std::u16string name = MakeFile("old.bin", Pattern(50));
    RawHandle file(FileCreateRaw(name.c_str()));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(FileGetSizeRaw(file.get()), 0);
}

TEST_F(RawFiles, FailuresGiveInvalidHandles) {
    EXPECT_EQ(FileCreateRaw(Path(u"missing/x.bin").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpenRaw(Path(u"none.bin").c_str(), 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpenRawA((host_ + "/none.bin").c_str(), 2), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileCreateRaw(nullptr), INVALID_HANDLE_VALUE);
}

struct ModeCase {
    int mode;
    bool reads;
    bool writes;
};

class RawOpenMode : public FileTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(RawOpenMode, GivesTheAccessOfItsMode) {
    const std::u16string name = MakeFile("m.bin", Pattern(10));
    RawHandle file(FileOpenRaw(name.c_str(), GetParam().mode));
    ASSERT_TRUE(file.valid());
    unsigned char byte = 0;
    EXPECT_EQ(FileReadRaw(file.get(), &byte, 1) == StreamOk, GetParam().reads);
    FileSeekRaw(file.get(), 0);
    EXPECT_EQ(FileWriteRaw(file.get(), "z", 1) == StreamOk, GetParam().writes);
}

INSTANTIATE_TEST_SUITE_P(Modes, RawOpenMode,
                         testing::Values(ModeCase{0, true, false}, ModeCase{1, false, true},
                                         ModeCase{2, true, true}, ModeCase{0x12, true, false},
                                         ModeCase{0x40, true, false}, ModeCase{0x20, true, false},
                                         ModeCase{3, true, false}),
                         [](const auto& info) { return test_support::Numbered("Mode", info.param.mode); });

TEST_F(RawFiles, AnsiNamesReachTheSameFiles) {
    MakeFile("plain.bin", Pattern(3));
    const std::string name = host_ + "/plain.bin";
    RawHandle file(FileOpenRawA(name.c_str(), 0));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(FileGetSizeRaw(file.get()), 3);
    RawHandle created(FileCreateRawA((host_ + "/new.bin").c_str()));
    EXPECT_TRUE(created.valid());
}

TEST_F(RawFiles, ExistsAnswersByDirectorySearch) {
    MakeFile("here.txt", Pattern(1));
    EXPECT_EQ(FileExists(Path(u"here.txt").c_str()), 1);
    EXPECT_EQ(FileExists(Path(u"*.txt").c_str()), 1);
    EXPECT_EQ(FileExists(Path(u"gone.txt").c_str()), 0);
    EXPECT_EQ(FileExistsA((host_ + "/here.txt").c_str()), 1);
    EXPECT_EQ(FileExistsA((host_ + "/gone.txt").c_str()), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(RawFiles, ReadFailureIsAReadError) {
    const std::u16string name = MakeFile("w.bin", Pattern(10));
    RawHandle file(FileOpenRaw(name.c_str(), 1));
    unsigned char byte = 0;
    EXPECT_EQ(FileReadRaw(file.get(), &byte, 1), StreamReadError);
    EXPECT_EQ(FileReadCountRaw(file.get(), &byte, 1), -1);
}

TEST_F(RawFiles, WriteFailuresTellADiskFullFromOtherErrors) {
    RawHandle full(FileOpenRawA("/dev/full", 1));
    ASSERT_TRUE(full.valid());
    EXPECT_EQ(FileWriteRaw(full.get(), "abc", 3), StreamDiskFull);
    const std::u16string name = MakeFile("r.bin", Pattern(10));
    RawHandle readOnly(FileOpenRaw(name.c_str(), 0));
    EXPECT_EQ(FileWriteRaw(readOnly.get(), "abc", 3), StreamWriteError);
}

// A length prefix, then `present` bytes of the pattern (more or fewer than the length says).
Bytes BlockFile(int prefixBytes, std::uint32_t length, std::size_t present) {
    Bytes bytes;
    for (int i = 0; i < prefixBytes; ++i)
        bytes.push_back(static_cast<unsigned char>(length >> (8 * i)));
    const Bytes body = Pattern(present);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

struct BlockCase {
    const char* name;
    int prefixBytes;
    std::uint32_t length;
    std::size_t present;
    int code;
};

class RawBlock : public FileTest, public testing::WithParamInterface<BlockCase> {};

TEST_P(RawBlock, ReadsALengthThenABlockCheckingTheLengthFirst) {
    const BlockCase& c = GetParam();
    const std::u16string name = MakeFile("b.bin", BlockFile(c.prefixBytes, c.length, c.present));
    RawHandle file(FileOpenRaw(name.c_str(), 0));
    void* sentinel = reinterpret_cast<void*>(0x10);
    void* block = sentinel;
    int code = 0;
    {
        // A refused length must be refused before any allocation: with every allocation failing, the code
        // still tells the short data.
        FailAllocations fail(0, c.code == StreamEndOfData ? 1000 : 0);
        code = c.prefixBytes == 4 ? FileReadBlock32Raw(file.get(), &block)
                                  : FileReadBlock16Raw(file.get(), &block);
    }
    EXPECT_EQ(code, c.code);
    if (c.code != StreamOk) {
        EXPECT_EQ(block, sentinel);
        return;
    }
    EXPECT_EQ(GetMemorySize(block), c.length);
    EXPECT_EQ(Bytes(static_cast<unsigned char*>(block), static_cast<unsigned char*>(block) + c.length),
              Pattern(c.length));
    FreeMemory(&block);
}

const BlockCase blockCases[] = {
    {"Block32", 4, 300, 300, StreamOk},
    {"Block32WithDataAfter", 4, 300, 400, StreamOk},
    {"Block32Empty", 4, 0, 0, StreamOk},
    {"Block32LongerThanTheFile", 4, 301, 300, StreamEndOfData},
    {"Block32Huge", 4, 0xFFFFFFF0u, 10, StreamEndOfData},
    {"Block16", 2, 0xFFFF, 0xFFFF, StreamOk},
    {"Block16LongerThanTheFile", 2, 0xFFFF, 100, StreamEndOfData},
};

INSTANTIATE_TEST_SUITE_P(Cases, RawBlock, testing::ValuesIn(blockCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RawFiles, BlockWithATruncatedPrefixIsEndOfData) {
    const std::u16string name = MakeFile("p.bin", Bytes{5, 0});
    RawHandle file(FileOpenRaw(name.c_str(), 0));
    void* block = nullptr;
    EXPECT_EQ(FileReadBlock32Raw(file.get(), &block), StreamEndOfData);
    EXPECT_EQ(block, nullptr);
}

TEST_F(RawFiles, String16IsZeroTerminated) {
    Bytes bytes{5, 0, 'h', 'e', 'l', 'l', 'o', 'X'};
    const std::u16string name = MakeFile("s.bin", bytes);
    RawHandle file(FileOpenRaw(name.c_str(), 0));
    char* text = nullptr;
    ASSERT_EQ(FileReadString16Raw(file.get(), &text), StreamOk);
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(GetMemorySize(text), 6u);
    EXPECT_EQ(FileTellRaw(file.get()), 7);
    FreeMemory(&text);
}

} // namespace
