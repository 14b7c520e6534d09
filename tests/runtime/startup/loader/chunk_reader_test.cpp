#include "startup/chunk_reader.h"

#include "appwriter/application_writer.h"
#include "appwriter/file_pack_writer.h"

#include "vtrs2/memory.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using appwriter::Bytes;

Bytes Payload(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i % 7);
    return b;
}

// One chunk as the writer frames it; the stream is left at its payload, the header read.
struct ChunkStream {
    explicit ChunkStream(std::uint16_t flags, const Bytes& payload) {
        appwriter::WriteChunk(bytes, 0x2224, flags, payload, appwriter::ApplicationKey{});
        stream.Attach(bytes.data(), static_cast<win32::LONG>(bytes.size()));
        EXPECT_EQ(vtrrt::ReadChunkHeader(stream, header), 0);
    }
    Bytes bytes;
    CInputMemFile stream;
    vtrrt::ChunkHeader header;
};

TEST(ChunkReader, CompressedChunkLargerThanTheBufferFailsBeforeInflating) {
    ChunkStream chunk(vtrrt::ChunkCompressed, Payload(300));
    Bytes out(299);
    EXPECT_EQ(vtrrt::ReadChunkInto(chunk.stream, chunk.header, out.data(), 299, nullptr),
              vtrrt::ErrorChunkTooLarge);
    EXPECT_EQ(chunk.stream.GetPosition(), 8 + 4); // only the uncompressed size was read
}

TEST(ChunkReader, ChunkIntoALargerBufferFillsOnlyItsOwnSize) {
    ChunkStream chunk(vtrrt::ChunkCompressed, Payload(300));
    Bytes out(400, 0xEE);
    ASSERT_EQ(vtrrt::ReadChunkInto(chunk.stream, chunk.header, out.data(), 400, nullptr), 0);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 300), Payload(300));
    EXPECT_EQ(out[300], 0xEE);
}

TEST(ChunkReader, ReadChunkHandsOutATerminatedBlockOfThePayloadsSize) {
    ChunkStream chunk(0, Payload(5));
    std::uint8_t* block = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(vtrrt::ReadChunk(chunk.stream, chunk.header, &block, &size, nullptr), 0);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(Bytes(block, block + 5), Payload(5));
    EXPECT_EQ(block[5], 0);
    EXPECT_EQ(block[6], 0);
    FreeMemory(&block);
}

TEST(ChunkReader, CompressedBlockFillsItsBufferExactly) {
    Bytes stream;
    const Bytes packed = appwriter::Deflate(Payload(100));
    for (int i = 0; i < 4; ++i)
        stream.push_back(static_cast<std::uint8_t>(packed.size() >> (8 * i)));
    stream.insert(stream.end(), packed.begin(), packed.end());
    CInputMemFile input;
    input.Attach(stream.data(), static_cast<win32::LONG>(stream.size()));
    Bytes out(100);
    ASSERT_EQ(vtrrt::ReadCompressedBlock(out.data(), 100, input), 0);
    EXPECT_EQ(out, Payload(100));
    input.Seek(0, SeekFromStart);
    Bytes small(99);
    EXPECT_EQ(vtrrt::ReadCompressedBlock(small.data(), 99, input), StreamBufferFull);
    input.Seek(0, SeekFromStart);
    Bytes large(101);
    EXPECT_EQ(vtrrt::ReadCompressedBlock(large.data(), 101, input), StreamDataError)
        << "a block that leaves its destination short is damaged";
}

TEST(ChunkReader, CopyStreamBytesCopiesAcrossBlocks) {
    const Bytes data = Payload(70000);
    CInputMemFile input;
    input.Attach(data.data(), static_cast<win32::LONG>(data.size()));
    COutputMemFile output;
    ASSERT_EQ(output.Create(16), 0);
    ASSERT_EQ(vtrrt::CopyStreamBytes(output, input, 70000), 0);
    ASSERT_EQ(output.GetSize(), 70000);
    auto* copied = static_cast<std::uint8_t*>(output.DetachBuffer());
    EXPECT_EQ(Bytes(copied, copied + 70000), data);
    FreeMemory(&copied);
    EXPECT_EQ(vtrrt::CopyStreamBytes(output, input, 1), StreamEndOfData);
}

} // namespace
