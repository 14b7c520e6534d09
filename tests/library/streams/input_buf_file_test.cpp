#include "file_fixture.h"

#include "vtrs2/streams.h"

#include <string>
#include <vector>

using namespace win32;

namespace {

constexpr LONG FileSize = 40000;
constexpr LONG Block = CInputBufFile::BufferSize;

class InputBufFileTest : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        name_ = MakeFile("data.bin", Pattern(FileSize));
    }
    std::u16string name_;
};

// A sequence of reads and what each should give: its code and the bytes handed over.
struct ReadStep {
    LONG size;
    int code;
    LONG count;
};

struct ReadCase {
    const char* name;
    std::vector<ReadStep> steps;
};

class BufferedReads : public InputBufFileTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(BufferedReads, HandOverTheFileInOrderAcrossTheBuffer) {
    CInputBufFile stream;
    ASSERT_EQ(stream.Open(name_.c_str()), StreamOk);
    LONG position = 0;
    for (const ReadStep& step : GetParam().steps) {
        SCOPED_TRACE(step.size);
        Bytes out(static_cast<std::size_t>(step.size));
        LONG count = -1;
        EXPECT_EQ(stream.ReadCounted(out.data(), step.size, &count), step.code);
        ASSERT_EQ(count, step.count);
        out.resize(static_cast<std::size_t>(count));
        EXPECT_EQ(out, Pattern(static_cast<std::size_t>(count), static_cast<std::size_t>(position)));
        position += count;
        EXPECT_EQ(stream.GetPosition(), position);
    }
}

const ReadCase readCases[] = {
    {"SmallReadsStraddleTheBuffer", {{1, 0, 1}, {Block - 2, 0, Block - 2}, {3, 0, 3}, {10, 0, 10}}},
    {"WholeBlocks", {{Block, 0, Block}, {Block, 0, Block}, {FileSize - 2 * Block, 0, FileSize - 2 * Block}}},
    {"BlockAfterAPartialBuffer", {{100, 0, 100}, {Block + 1, 0, Block + 1}, {Block, 0, Block}}},
    {"OneBlockAndOneByte", {{Block + 1, 0, Block + 1}, {1, 0, 1}}},
    {"WholeFile", {{FileSize, 0, FileSize}, {1, StreamEndOfData, 0}}},
    {"PastTheEndInOneRead", {{FileSize + 1, StreamEndOfData, FileSize}}},
    {"PastTheEndInBlocks", {{30000, 0, 30000}, {Block, StreamEndOfData, FileSize - 30000}}},
    {"PastTheEndInTheBuffer", {{FileSize - 5, 0, FileSize - 5}, {10, StreamEndOfData, 5}}},
    {"ZeroBytes", {{0, 0, 0}, {5, 0, 5}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, BufferedReads, testing::ValuesIn(readCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputBufFileTest, BytesAndWordsCrossTheBufferBoundary) {
    CInputBufFile stream;
    ASSERT_EQ(stream.Open(name_.c_str()), StreamOk);
    stream.Seek(Block - 1, SeekFromStart);
    WORD word = 0;
    ASSERT_EQ(stream.ReadWord(&word), StreamOk);
    EXPECT_EQ(word, PatternByte(Block - 1) | (PatternByte(Block) << 8));
    BYTE byte = 0;
    ASSERT_EQ(stream.ReadByte(&byte), StreamOk);
    EXPECT_EQ(byte, PatternByte(Block + 1));
}

// Reads within a window of the file: positions count from the window's start and reads stop at its end.
struct WindowCase {
    const char* name;
    LONG start;
    LONG length;
    LONG size; // what GetSize reports
};

class Window : public InputBufFileTest, public testing::WithParamInterface<WindowCase> {};

TEST_P(Window, ReadsOnlyItsBytes) {
    const WindowCase& c = GetParam();
    CInputBufFile stream;
    ASSERT_EQ(stream.OpenRange(name_.c_str(), c.start, c.length), StreamOk);
    EXPECT_EQ(stream.GetSize(), c.size);
    EXPECT_EQ(stream.GetPosition(), 0);
    Bytes out(static_cast<std::size_t>(c.size) + 10);
    LONG count = 0;
    EXPECT_EQ(stream.ReadCounted(out.data(), c.size + 10, &count), StreamEndOfData);
    ASSERT_EQ(count, c.size);
    out.resize(static_cast<std::size_t>(count));
    EXPECT_EQ(out, Pattern(static_cast<std::size_t>(c.size), static_cast<std::size_t>(c.start)));
    EXPECT_EQ(stream.GetPosition(), c.size);
    EXPECT_EQ(stream.Seek(0, SeekFromEnd), c.size);
    EXPECT_EQ(stream.Seek(-3, SeekFromEnd), c.size - 3);
    BYTE byte = 0;
    ASSERT_EQ(stream.ReadByte(&byte), StreamOk);
    EXPECT_EQ(byte, PatternByte(static_cast<std::size_t>(c.start + c.size - 3)));
}

const WindowCase windowCases[] = {
    {"Small", 1000, 5000, 5000},
    {"LargerThanTheBuffer", 777, 35000, 35000},
    {"LengthZeroRunsToTheEnd", 1000, 0, FileSize - 1000},
    {"LengthZeroFromTheStart", 0, 0, FileSize},
    {"WholeFile", 0, FileSize, FileSize},
};

INSTANTIATE_TEST_SUITE_P(Cases, Window, testing::ValuesIn(windowCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct SeekCase {
    const char* name;
    LONG before; // bytes read before the seek, to fill the buffer
    LONG offset;
    int origin;
    LONG expected; // position within the window afterwards
};

class BufferedSeek : public InputBufFileTest, public testing::WithParamInterface<SeekCase> {};

TEST_P(BufferedSeek, LandsInsideTheWindowAndReadsFromThere) {
    constexpr LONG start = 500;
    constexpr LONG length = 30000;
    const SeekCase& c = GetParam();
    CInputBufFile stream;
    ASSERT_EQ(stream.OpenRange(name_.c_str(), start, length), StreamOk);
    Bytes skipped(static_cast<std::size_t>(c.before));
    ASSERT_EQ(stream.Read(skipped.data(), c.before), StreamOk);
    EXPECT_EQ(stream.Seek(c.offset, c.origin), c.expected);
    EXPECT_EQ(stream.GetPosition(), c.expected);
    if (c.expected == length) return;
    Bytes out(20);
    LONG count = 0;
    stream.ReadCounted(out.data(), 20, &count);
    out.resize(static_cast<std::size_t>(count));
    EXPECT_EQ(out, Pattern(static_cast<std::size_t>(count), static_cast<std::size_t>(start + c.expected)));
}

const SeekCase seekCases[] = {
    {"FromStart", 10, 20000, SeekFromStart, 20000},
    {"FromStartNegative", 10, -5, SeekFromStart, 0},
    {"FromStartBeyondTheWindow", 10, 40000, SeekFromStart, 30000},
    {"FromEnd", 10, -100, SeekFromEnd, 29900},
    {"FromEndBeyond", 10, 5, SeekFromEnd, 30000},
    {"ForwardInsideTheBuffer", 100, 1000, SeekFromCurrent, 1100},
    {"ForwardToTheBufferEnd", 100, Block - 100, SeekFromCurrent, Block},
    {"ForwardPastTheBuffer", 100, Block, SeekFromCurrent, Block + 100},
    {"BackInsideTheBuffer", 5000, -4000, SeekFromCurrent, 1000},
    {"BackToTheBufferStart", 5000, -5000, SeekFromCurrent, 0},
    {"BackBeforeTheBuffer", 20000, -10000, SeekFromCurrent, 10000},
    {"BackBeforeTheWindow", 100, -1000, SeekFromCurrent, 0},
    {"NowhereFromCurrent", 123, 0, SeekFromCurrent, 123},
    {"UnknownOriginGoesToTheStart", 123, 50, 9, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, BufferedSeek, testing::ValuesIn(seekCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputBufFileTest, AttachReadsFromTheHandlesPositionToTheEnd) {
    RawHandle file(FileOpenRaw(name_.c_str(), 0));
    FileSeekRaw(file.get(), 30000);
    {
        CInputBufFile stream;
        ASSERT_EQ(stream.Attach(file.get()), StreamOk);
        EXPECT_EQ(stream.GetSize(), FileSize - 30000);
        EXPECT_EQ(stream.Seek(0, SeekFromEnd), FileSize - 30000);
        stream.Seek(100, SeekFromStart);
        BYTE byte = 0;
        ASSERT_EQ(stream.ReadByte(&byte), StreamOk);
        EXPECT_EQ(byte, PatternByte(30100));
        EXPECT_EQ(stream.Detach(), file.get());
        EXPECT_EQ(stream.GetFileNameW(), nullptr);
    }
    // Detached at the stream's position; the stream leaves a handle it did not open open.
    EXPECT_EQ(FileTellRaw(file.get()), 30101);
    {
        CInputBufFile stream;
        stream.AttachHandleRange(file.get(), 0, 10);
    }
    EXPECT_GE(FileTellRaw(file.get()), 0);
}

TEST_F(InputBufFileTest, OpenKeepsTheNameInBothCharacterSets) {
    CInputBufFile stream;
    ASSERT_EQ(stream.Open(name_.c_str()), StreamOk);
    EXPECT_EQ(std::u16string(stream.GetFileNameW()), name_);
    EXPECT_EQ(std::string(stream.GetFileNameA()), HostPath("data.bin"));

    CInputBufFile ansi;
    ASSERT_EQ(ansi.OpenA(HostPath("data.bin").c_str()), StreamOk);
    EXPECT_EQ(std::u16string(ansi.GetFileNameW()), name_);
    EXPECT_EQ(ansi.GetSize(), FileSize);
    ASSERT_EQ(ansi.OpenRangeA(HostPath("data.bin").c_str(), 10, 20), StreamOk);
    EXPECT_EQ(ansi.GetSize(), 20);
}

TEST_F(InputBufFileTest, MissingFileCannotBeOpened) {
    CInputBufFile stream;
    EXPECT_EQ(stream.Open(Path(u"none.bin").c_str()), StreamCannotOpen);
    EXPECT_EQ(stream.OpenA(HostPath("none.bin").c_str()), StreamCannotOpen);
    EXPECT_EQ(stream.OpenRange(Path(u"none.bin").c_str(), 0, 5), StreamCannotOpen);
    EXPECT_EQ(stream.Open(nullptr), StreamCannotOpen);
    EXPECT_EQ(stream.GetFileNameW(), nullptr);
}

TEST_F(InputBufFileTest, FailingReadIsAReadError) {
    RawHandle writeOnly(FileOpenRaw(name_.c_str(), 1));
    CInputBufFile stream;
    ASSERT_EQ(stream.AttachHandleRange(writeOnly.get(), 0, 1000), StreamOk);
    Bytes out(Block * 2);
    EXPECT_EQ(stream.Read(out.data(), 10), StreamReadError);
    EXPECT_EQ(stream.Read(out.data(), Block * 2), StreamReadError);
    BYTE byte = 0;
    EXPECT_EQ(stream.ReadByte(&byte), StreamReadError);
}

TEST_F(InputBufFileTest, ReadWithoutABufferIsADataError) {
    CInputBufFile stream;
    ASSERT_EQ(stream.AttachHandleRange(INVALID_HANDLE_VALUE, 0, 100), StreamOk);
    Bytes out(10);
    EXPECT_EQ(stream.Read(out.data(), 10), StreamDataError);
}

TEST_F(InputBufFileTest, BufferThatCannotBeHadIsOutOfMemory) {
    CInputBufFile stream;
    {
        FailAllocations fail(0, 2);
        EXPECT_EQ(stream.Open(name_.c_str()), StreamOutOfMemory);
    }
    ASSERT_EQ(stream.Open(name_.c_str()), StreamOk);
    EXPECT_EQ(stream.GetSize(), FileSize);
}

TEST_F(InputBufFileTest, HeapStreamReadsAllocatedBlocks) {
    CInputBufFile* stream = NewInputBufFile();
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->OpenRange(name_.c_str(), 100, 1000), StreamOk);
    void* block = stream->ReadAlloc(600);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Bytes(static_cast<BYTE*>(block), static_cast<BYTE*>(block) + 600), Pattern(600, 100));
    stream->FreeBuffer(block);
    EXPECT_EQ(stream->ReadAlloc(600), nullptr); // 400 left
    stream->Delete();
}

} // namespace
