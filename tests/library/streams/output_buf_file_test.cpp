#include "file_fixture.h"

#include "vtrs2/streams.h"

#include <string>
#include <vector>

using namespace win32;

namespace {

using OutputBufFileTest = FileTest;

struct BufferCase {
    LONG bufferSize;
    std::vector<LONG> writes;
};

class BufferedWrites : public FileTest, public testing::WithParamInterface<BufferCase> {};

TEST_P(BufferedWrites, ReachTheFileInOrderAndCountWhatIsHeldBack) {
    const BufferCase& c = GetParam();
    const std::u16string name = Path(u"out.bin");
    Bytes expected;
    {
        COutputBufFile stream;
        ASSERT_EQ(stream.Create(name.c_str(), c.bufferSize), StreamOk);
        for (LONG size : c.writes) {
            const Bytes data = Pattern(static_cast<std::size_t>(size), expected.size());
            ASSERT_EQ(stream.Write(data.data(), size), StreamOk);
            expected.insert(expected.end(), data.begin(), data.end());
            EXPECT_EQ(stream.GetSize(), static_cast<LONG>(expected.size()));
            EXPECT_EQ(stream.GetPosition(), static_cast<LONG>(expected.size()));
            // Never more than one buffer's worth waits to be written.
            EXPECT_LE(expected.size() - HostSize("out.bin"), static_cast<std::size_t>(c.bufferSize));
        }
    }
    EXPECT_EQ(ReadHostFile("out.bin"), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferedWrites,
                         testing::Values(BufferCase{0, {1, 100, 5000}}, BufferCase{1, {1, 2, 3}},
                                         BufferCase{7, {3, 4, 5, 20, 1}},
                                         BufferCase{4096, {4095, 1, 1, 9000, 0}},
                                         BufferCase{16, {16, 16, 32}}));

TEST_F(OutputBufFileTest, SeekBackWritesThroughAndSeekToTheEndBuffersAgain) {
    COutputBufFile stream;
    ASSERT_EQ(stream.Create(Path(u"s.bin").c_str(), 100), StreamOk);
    stream.Write("0123456789", 10);
    EXPECT_EQ(HostSize("s.bin"), 0u);
    EXPECT_EQ(stream.Seek(2, SeekFromStart), 2);
    EXPECT_EQ(HostSize("s.bin"), 10u); // flushed before moving
    stream.Write("XY", 2);
    EXPECT_EQ(ReadHostFile("s.bin"), (Bytes{'0', '1', 'X', 'Y', '4', '5', '6', '7', '8', '9'}));
    EXPECT_EQ(stream.GetPosition(), 4);
    EXPECT_EQ(stream.Seek(-1, SeekFromCurrent), 3);
    EXPECT_EQ(stream.Seek(5, SeekFromEnd), 10); // at or past the end lands on the end
    stream.Write("abc", 3);
    EXPECT_EQ(HostSize("s.bin"), 10u); // buffered again
    EXPECT_EQ(stream.GetSize(), 13);
    EXPECT_EQ(stream.Seek(-50, SeekFromCurrent), 0);
    EXPECT_EQ(HostSize("s.bin"), 13u);
    EXPECT_EQ(stream.Close(), StreamOk);
    EXPECT_EQ(ReadHostFile("s.bin"),
              (Bytes{'0', '1', 'X', 'Y', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c'}));
}

TEST_F(OutputBufFileTest, DiskFullIsReportedByFlushAndClose) {
    RawHandle full(FileOpenRawA("/dev/full", 1));
    ASSERT_TRUE(full.valid());
    COutputBufFile stream;
    stream.AttachHandle(full.get(), 16);
    EXPECT_EQ(stream.Write("abc", 3), StreamOk); // held in the buffer
    EXPECT_EQ(stream.Flush(), StreamDiskFull);
    EXPECT_EQ(stream.Write(Pattern(20).data(), 20), StreamDiskFull);
    EXPECT_EQ(stream.Close(), StreamDiskFull);
    EXPECT_EQ(stream.Close(), StreamOk); // nothing left to write
}

TEST_F(OutputBufFileTest, ZeroByteBufferWritesStraightThrough) {
    RawHandle full(FileOpenRawA("/dev/full", 1));
    COutputBufFile stream;
    stream.AttachHandle(full.get(), 0);
    EXPECT_EQ(stream.Write("abc", 3), StreamDiskFull);
}

TEST_F(OutputBufFileTest, BufferThatCannotBeHadWritesStraightThrough) {
    COutputBufFile stream;
    {
        FailAllocations fail(1, 2); // the name copy succeeds, the buffer does not
        ASSERT_EQ(stream.Create(Path(u"t.bin").c_str(), 4096), StreamOk);
    }
    stream.Write("abc", 3);
    EXPECT_EQ(HostSize("t.bin"), 3u);
}

TEST_F(OutputBufFileTest, FlushFailureOnSeekBackIsReported) {
    const std::u16string name = MakeFile("ro.bin", Pattern(10));
    RawHandle readOnly(FileOpenRaw(name.c_str(), 0));
    COutputBufFile stream;
    stream.AttachHandle(readOnly.get(), 64);
    FileSeekEndRaw(readOnly.get(), 0);
    EXPECT_EQ(stream.Write("abc", 3), StreamOk);
    EXPECT_EQ(stream.Seek(0, SeekFromStart), -1);
    EXPECT_EQ(stream.GetSize(), 13); // the bytes wait in the buffer
    EXPECT_EQ(stream.Close(), StreamWriteError);
}

TEST_F(OutputBufFileTest, CreateFailsWhereNoFileCanBe) {
    COutputBufFile stream;
    EXPECT_EQ(stream.Create(Path(u"missing/x.bin").c_str(), 10), StreamCannotCreate);
    EXPECT_EQ(stream.CreateA(HostPath("missing/x.bin").c_str(), 10), StreamCannotCreate);
    EXPECT_EQ(stream.GetFileNameW(), nullptr);
}

TEST_F(OutputBufFileTest, CreateKeepsTheNameAndTruncates) {
    MakeFile("n.bin", Pattern(100));
    COutputBufFile stream;
    ASSERT_EQ(stream.CreateA(HostPath("n.bin").c_str(), 10), StreamOk);
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(std::string(stream.GetFileNameA()), HostPath("n.bin"));
    EXPECT_EQ(std::u16string(stream.GetFileNameW()), Path(u"n.bin"));
}

TEST_F(OutputBufFileTest, DestructionWritesWhatIsHeldAndLeavesAnAttachedHandleOpen) {
    RawHandle file(FileCreateRaw(Path(u"d.bin").c_str()));
    {
        COutputBufFile stream;
        stream.AttachHandle(file.get(), 100);
        const DWORD value = 0x04030201;
        stream.WriteLong(&value);
    }
    EXPECT_EQ(FileTellRaw(file.get()), 4);
    EXPECT_EQ(ReadHostFile("d.bin"), (Bytes{1, 2, 3, 4}));
}

} // namespace
