// Application data written byte by byte from the format's tables, not by the writer, so that writer and
// loader cannot share a mistake.
#include "loader_fixture.h"

#include "core/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using namespace loadertest;
using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

Bytes DataHeader(char form) {
    return Bytes{'V',  'T',  'R',  static_cast<std::uint8_t>(form),
                 0x02, 0x03, 0x00, 0x00,
                 0x03, 0x00, 0x00, 0x00,
                 0x1D, 0x01, 0x00, 0x00};
}

// Chunk 0x2223: size 112, flags word 1 = 0x0010 (effects), window 640 x 480, one frame at 60 per second.
void AppendAppHeader(Bytes& out) {
    Append(out, {0x23, 0x22, 0x00, 0x00, 0x70, 0x00, 0x00, 0x00});
    Bytes h(112, 0);
    h[0] = 0x70;
    h[4] = 0x10;
    h[12] = 0x80, h[13] = 0x02;
    h[14] = 0xE0, h[15] = 0x01;
    h[100] = 0x01;
    h[104] = 0x3C;
    out.insert(out.end(), h.begin(), h.end());
}

void AppendEnd(Bytes& out) {
    Append(out, {0x7F, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
}

class HandWritten : public ::testing::Test {
protected:
    void SetUp() override { vtrrt::GetCommandLineOptions().errorBoxes = 0; }
    void TearDown() override { vtrrt::GetCommandLineOptions() = {}; }
};

TEST_F(HandWritten, Utf16ApplicationWithNameAndHeaderLoads) {
    Bytes b = DataHeader('W');
    AppendAppHeader(b);
    // Chunk 0x2224, the name "Hi" in UTF-16 with its terminator.
    Append(b, {0x24, 0x22, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 'H', 0x00, 'i', 0x00, 0x00, 0x00});
    AppendEnd(b);
    int code = -99;
    RecordPtr app = LoadFromMemory(b, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(Text(app->name), u"Hi");
    EXPECT_EQ(app->unicode, 1);
    EXPECT_EQ(app->header.windowWidth, 640);
    EXPECT_EQ(app->header.windowHeight, 480);
    EXPECT_EQ(app->header.frameRate, 60);
    EXPECT_EQ(app->effectsFlag, 1);
    EXPECT_EQ(app->textFileEncodings[0], 0u);
    EXPECT_EQ(app->textFileEncodings[1], 3u);
}

TEST_F(HandWritten, CompressedChunkWithAStoredDeflateBlockLoads) {
    Bytes b = DataHeader('W');
    AppendAppHeader(b);
    // Chunk 0x2224 compressed: u32 uncompressed size 6, u32 compressed size 17, then a zlib stream holding
    // one stored block: 78 01, block header 01 (final, stored), LEN 6, NLEN ~6, the six bytes of "Hi\0" in
    // UTF-16, and the Adler-32 of those bytes (0x035A00B2), high byte first.
    Append(b, {0x24, 0x22, 0x01, 0x00, 0x19, 0x00, 0x00, 0x00});
    Append(b, {0x06, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00});
    Append(b, {0x78, 0x01, 0x01, 0x06, 0x00, 0xF9, 0xFF, 'H', 0x00, 'i', 0x00, 0x00, 0x00, 0x03, 0x5A, 0x00,
               0xB2});
    AppendEnd(b);
    int code = -99;
    RecordPtr app = LoadFromMemory(b, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(Text(app->name), u"Hi");
}

TEST_F(HandWritten, EightBitTextGoesThroughTheApplicationsCodePage) {
    Bytes b = DataHeader('A');
    AppendAppHeader(b);
    // Chunk 0x2246: code page 1252; then the name "Café" with é as 0xE9. The name waits for the project
    // path to build the key; without one it is converted at the end.
    Append(b, {0x46, 0x22, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xE4, 0x04, 0x00, 0x00});
    Append(b, {0x24, 0x22, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 'C', 'a', 'f', 0xE9, 0x00});
    // Chunk 0x222F, the target path "\x80" (the euro sign in 1252) without terminator: one is added.
    Append(b, {0x2F, 0x22, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x80});
    AppendEnd(b);
    int code = -99;
    RecordPtr app = LoadFromMemory(b, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(app->unicode, 0);
    EXPECT_EQ(app->codePage, 1252u);
    EXPECT_EQ(Text(app->name), u"Café");
    EXPECT_EQ(Text(app->targetPath), u"\u20AC");
}

TEST_F(HandWritten, EmptyChunksAndUnknownIdsArePassedOver) {
    Bytes b = DataHeader('W');
    // An empty header chunk gets no handler (there is no header then), an unknown id is skipped by its size.
    Append(b, {0x23, 0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    Append(b, {0x40, 0x22, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF});
    Append(b, {0x24, 0x22, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 'Z', 0x00, 0x00, 0x00});
    AppendEnd(b);
    // Bytes after the end chunk are not read.
    Append(b, {0xDE, 0xAD});
    int code = -99;
    RecordPtr app = LoadFromMemory(b, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(Text(app->name), u"Z");
    EXPECT_EQ(app->header.size, 0u);
    EXPECT_EQ(app->frameOffsets, nullptr);
}

TEST_F(HandWritten, FramePayloadPositionIsKept) {
    Bytes b = DataHeader('W');
    AppendAppHeader(b);
    const std::size_t frame = b.size() + 8;
    // Chunk 0x3333 holding a frame header sub-chunk (640 x 480, colour 0, flags 0) and the end sub-chunk.
    Append(b, {0x33, 0x33, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00});
    Append(b, {0x34, 0x33, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x80, 0x02, 0x00, 0x00,
               0xE0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    AppendEnd(b);
    AppendEnd(b);
    int code = -99;
    RecordPtr app = LoadFromMemory(b, &code);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(app->framesCounted, 1);
    EXPECT_EQ(app->frameOffsets[0], frame);
    EXPECT_EQ(app->framePasswords, nullptr); // no frame had one
}

} // namespace
