#include "file_fixture.h"

#include "vtrs2/compression.h"
#include "vtrs2/memory.h"

#include <zlib.h>

#include <string>

using namespace win32;

namespace {

using CompressionFiles = FileTest;

Bytes Inflated(const Bytes& data, std::size_t size) {
    Bytes out(size);
    uLongf length = static_cast<uLongf>(size);
    EXPECT_EQ(uncompress(out.data(), &length, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(length);
    return out;
}

TEST_F(CompressionFiles, MemoryToHandleAndBackThroughAFile) {
    const Bytes data = Pattern(100000);
    const std::u16string name = Path(u"z.bin");
    {
        RawHandle file(FileCreateRaw(name.c_str()));
        FileWriteRaw(file.get(), "HEAD", 4);
        ASSERT_EQ(CompressMemoryToHandle(file.get(), data.data(), static_cast<LONG>(data.size()), 9),
                  StreamOk);
    }
    const Bytes stored = ReadHostFile("z.bin");
    EXPECT_EQ(Inflated(Bytes(stored.begin() + 4, stored.end()), data.size()), data);

    RawHandle file(FileOpenRaw(name.c_str(), 0));
    FileSeekRaw(file.get(), 4);
    Bytes out(data.size());
    ASSERT_EQ(DecompressFileToMemory(out.data(), file.get(), static_cast<LONG>(stored.size() - 4),
                                     static_cast<LONG>(out.size())),
              StreamOk);
    EXPECT_EQ(out, data);
    EXPECT_EQ(FileTellRaw(file.get()), static_cast<LONG>(stored.size()));
}

TEST_F(CompressionFiles, ConsecutiveEntriesDecompressOneAfterAnother) {
    const Bytes first = Pattern(30000);
    const Bytes second = Pattern(500, 7);
    const Bytes a = Deflated(first);
    Bytes file = a;
    const Bytes b = Deflated(second);
    file.insert(file.end(), b.begin(), b.end());
    const std::u16string name = MakeFile("two.bin", file);
    RawHandle handle(FileOpenRaw(name.c_str(), 0));
    Bytes out1(first.size());
    Bytes out2(second.size());
    ASSERT_EQ(DecompressFileToMemory(out1.data(), handle.get(), static_cast<LONG>(a.size()),
                                     static_cast<LONG>(out1.size())),
              StreamOk);
    ASSERT_EQ(DecompressFileToMemory(out2.data(), handle.get(), static_cast<LONG>(b.size()),
                                     static_cast<LONG>(out2.size())),
              StreamOk);
    EXPECT_EQ(out1, first);
    EXPECT_EQ(out2, second);
}

TEST_F(CompressionFiles, FileToMemoryNeverWritesPastTheBuffer) {
    const Bytes data = Pattern(20000);
    const Bytes compressed = Deflated(data);
    const std::u16string name = MakeFile("c.bin", compressed);
    RawHandle file(FileOpenRaw(name.c_str(), 0));
    Bytes out(20000 + 64, 0xEE);
    EXPECT_EQ(DecompressFileToMemory(out.data(), file.get(), static_cast<LONG>(compressed.size()), 19999),
              StreamBufferFull);
    for (std::size_t i = 19999; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0xEE) << i;
}

TEST_F(CompressionFiles, TruncatedFileIsADataError) {
    Bytes compressed = Deflated(Pattern(50000));
    compressed.resize(compressed.size() - 10);
    const std::u16string name = MakeFile("t.bin", compressed);
    RawHandle file(FileOpenRaw(name.c_str(), 0));
    Bytes out(50000);
    EXPECT_EQ(DecompressFileToMemory(out.data(), file.get(), static_cast<LONG>(compressed.size()),
                                     static_cast<LONG>(out.size())),
              StreamDataError);
    FileSeekRaw(file.get(), 0);
    EXPECT_EQ(DecompressFileToMemory(out.data(), file.get(), static_cast<LONG>(compressed.size()) + 10,
                                     static_cast<LONG>(out.size())),
              StreamEndOfData);
}

TEST_F(CompressionFiles, HandleToHandleBothWays) {
    const Bytes data = Pattern(70000);
    const std::u16string source = MakeFile("src.bin", data);
    RawHandle in(FileOpenRaw(source.c_str(), 0));
    FileSeekRaw(in.get(), 1000);
    {
        RawHandle out(FileCreateRaw(Path(u"packed.bin").c_str()));
        ASSERT_EQ(CompressHandleToHandle(out.get(), in.get(), 50000, -1), StreamOk);
    }
    EXPECT_EQ(FileTellRaw(in.get()), 51000);
    const Bytes packed = ReadHostFile("packed.bin");
    EXPECT_EQ(Inflated(packed, 50000), Bytes(data.begin() + 1000, data.begin() + 51000));

    RawHandle packedIn(FileOpenRaw(Path(u"packed.bin").c_str(), 0));
    {
        RawHandle out(FileCreateRaw(Path(u"unpacked.bin").c_str()));
        ASSERT_EQ(DecompressFileToFile(out.get(), packedIn.get(), -1), StreamOk);
    }
    EXPECT_EQ(ReadHostFile("unpacked.bin"), Bytes(data.begin() + 1000, data.begin() + 51000));
}

TEST_F(CompressionFiles, MemoryToHandle) {
    const Bytes data = Pattern(12345);
    const Bytes compressed = Deflated(data);
    {
        RawHandle out(FileCreateRaw(Path(u"m.bin").c_str()));
        ASSERT_EQ(
            DecompressMemoryToHandle(out.get(), compressed.data(), static_cast<LONG>(compressed.size())),
            StreamOk);
    }
    EXPECT_EQ(ReadHostFile("m.bin"), data);
}

// The last buffered write happens when the output closes; a full disk there is still reported.
TEST_F(CompressionFiles, DiskFullOnTheLastWriteIsReported) {
    RawHandle full(FileOpenRawA("/dev/full", 1));
    ASSERT_TRUE(full.valid());
    const Bytes small = Pattern(10);
    EXPECT_EQ(CompressMemoryToHandle(full.get(), small.data(), 10, 6), StreamDiskFull);
    const Bytes compressed = Deflated(small);
    EXPECT_EQ(DecompressMemoryToHandle(full.get(), compressed.data(), static_cast<LONG>(compressed.size())),
              StreamDiskFull);
}

} // namespace
