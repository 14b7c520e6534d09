#include "support/param_names.h"
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace win32;

namespace {

using Bytes = std::vector<BYTE>;

struct FailAllocations {
    FailAllocations(int skip, int count) { SetAllocationFailures(skip, count); }
    ~FailAllocations() { SetAllocationFailures(0, 0); }
};

// Half random bytes, half a repeating text, so that the data neither compresses to nothing nor not at all.
Bytes SampleData(std::size_t size, unsigned seed = 1) {
    std::mt19937 random(seed);
    Bytes data(size);
    const std::string text = "the quick brown fox jumps over the lazy dog ";
    for (std::size_t i = 0; i < size; ++i)
        data[i] = (i / 1000) % 2 ? static_cast<BYTE>(random()) : static_cast<BYTE>(text[i % text.size()]);
    return data;
}

Bytes ReferenceCompress(const Bytes& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
    out.resize(size);
    return out;
}

// Takes the data an output memory stream holds.
Bytes Take(COutputMemFile& stream) {
    const LONG size = stream.GetSize();
    BYTE* data = static_cast<BYTE*>(stream.DetachBuffer());
    Bytes bytes(data, data + size);
    FreeMemory(&data);
    return bytes;
}

int Compress(const Bytes& data, Bytes& out, int level = -1, LONG size = -1) {
    CInputMemFile input;
    input.Attach(data.data(), static_cast<LONG>(data.size()));
    COutputMemFile output;
    const int code = CompressStream(&output, &input, size, level);
    out = Take(output);
    return code;
}

int Decompress(const Bytes& data, Bytes& out, LONG size = -1) {
    CInputMemFile input;
    input.Attach(data.data(), static_cast<LONG>(data.size()));
    COutputMemFile output;
    const int code = DecompressStream(&output, &input, size);
    out = Take(output);
    return code;
}

class RoundTrip : public testing::TestWithParam<std::size_t> {};

TEST_P(RoundTrip, CompressedDataInflatesToTheOriginal) {
    const Bytes data = SampleData(GetParam());
    Bytes compressed;
    ASSERT_EQ(Compress(data, compressed), StreamOk);
    EXPECT_EQ(compressed, ReferenceCompress(data, Z_DEFAULT_COMPRESSION));
    Bytes restored;
    ASSERT_EQ(Decompress(compressed, restored), StreamOk);
    EXPECT_EQ(restored, data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip, testing::Values(0, 1, 8192, 8193, 1 << 20),
                         [](const auto& info) { return test_support::Numbered("Bytes", info.param); });

TEST(Compression, EmptyInputMakesACompleteEmptyZlibStream) {
    Bytes compressed;
    ASSERT_EQ(Compress({}, compressed), StreamOk);
    EXPECT_EQ(compressed, (Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}));
}

struct LevelCase {
    int level;
    int zlibLevel;
};

class CompressionLevel : public testing::TestWithParam<LevelCase> {};

TEST_P(CompressionLevel, IsLimitedToZlibsRange) {
    const Bytes data = SampleData(20000);
    Bytes compressed;
    ASSERT_EQ(Compress(data, compressed, GetParam().level), StreamOk);
    EXPECT_EQ(compressed, ReferenceCompress(data, GetParam().zlibLevel));
}

INSTANTIATE_TEST_SUITE_P(Levels, CompressionLevel,
                         testing::Values(LevelCase{12, 9}, LevelCase{-3, 0},
                                         LevelCase{-1, Z_DEFAULT_COMPRESSION}, LevelCase{0, 0},
                                         LevelCase{1, 1}, LevelCase{9, 9}),
                         [](const auto& info) { return test_support::Numbered("Level", info.param.level); });

TEST(Compression, SizeTakesPartOfTheInputAndMinusOneTheRestFromThePosition) {
    const Bytes data = SampleData(30000);
    CInputMemFile input;
    input.Attach(data.data(), static_cast<LONG>(data.size()));
    input.Seek(1000, SeekFromStart);
    COutputMemFile output;
    ASSERT_EQ(CompressStream(&output, &input, 20000, 6), StreamOk);
    EXPECT_EQ(input.GetPosition(), 21000);
    ASSERT_EQ(CompressStream(&output, &input, -1, 6), StreamOk);
    const Bytes both = Take(output);
    const Bytes first = ReferenceCompress(Bytes(data.begin() + 1000, data.begin() + 21000), 6);
    const Bytes second = ReferenceCompress(Bytes(data.begin() + 21000, data.end()), 6);
    ASSERT_EQ(both.size(), first.size() + second.size());
    EXPECT_EQ(Bytes(both.begin(), both.begin() + first.size()), first);
    EXPECT_EQ(Bytes(both.begin() + first.size(), both.end()), second);
}

TEST(Compression, InputShorterThanItsSizeReportsEndOfData) {
    const Bytes data = SampleData(100);
    Bytes compressed;
    EXPECT_EQ(Compress(data, compressed, -1, 101), StreamEndOfData);
}

TEST(Decompression, ReadsOneStreamAndLeavesWhatFollows) {
    const Bytes data = SampleData(5000);
    Bytes compressed = ReferenceCompress(data, 6);
    const std::size_t streamSize = compressed.size();
    compressed.insert(compressed.end(), {1, 2, 3, 4});
    Bytes restored;
    ASSERT_EQ(Decompress(compressed, restored), StreamOk);
    EXPECT_EQ(restored, data);
    ASSERT_EQ(Decompress(compressed, restored, static_cast<LONG>(streamSize)), StreamOk);
    EXPECT_EQ(restored, data);
}

struct DamageCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    int code;
};

class DamagedData : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedData, IsReportedAsADataError) {
    Bytes compressed = ReferenceCompress(SampleData(40000), 6);
    GetParam().damage(compressed);
    Bytes restored;
    EXPECT_EQ(Decompress(compressed, restored), GetParam().code);
}

const DamageCase damageCases[] = {
    {"Empty", [](Bytes& b) { b.clear(); }, StreamDataError},
    {"HeaderOnly", [](Bytes& b) { b.resize(2); }, StreamDataError},
    {"BadHeader", [](Bytes& b) { b[0] = 0x12; }, StreamDataError},
    {"BadBlockType", [](Bytes& b) { b[2] |= 0x06; }, StreamDataError},
    {"FlippedBody", [](Bytes& b) { b[b.size() / 2] ^= 0xFF; }, StreamDataError},
    {"BadChecksum", [](Bytes& b) { b.back() ^= 0x01; }, StreamDataError},
    {"TruncatedInTheFirstBlock", [](Bytes& b) { b.resize(100); }, StreamDataError},
    {"TruncatedAfterSeveralBlocks", [](Bytes& b) { b.resize(b.size() - 2000); }, StreamDataError},
    {"TruncatedBeforeTheChecksum", [](Bytes& b) { b.resize(b.size() - 4); }, StreamDataError},
    {"OneByteShort", [](Bytes& b) { b.pop_back(); }, StreamDataError},
    {"Garbage", [](Bytes& b) { b.assign(3000, 0xA5); }, StreamDataError},
};

INSTANTIATE_TEST_SUITE_P(Cases, DamagedData, testing::ValuesIn(damageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Decompression, DeclaredSizeBeyondTheInputReportsEndOfData) {
    const Bytes compressed = ReferenceCompress(SampleData(40000), 6);
    Bytes restored;
    EXPECT_EQ(Decompress(compressed, restored, static_cast<LONG>(compressed.size()) + 10000),
              StreamEndOfData);
}

TEST(Decompression, DeclaredSizeShortOfTheStreamIsADataError) {
    const Bytes compressed = ReferenceCompress(SampleData(40000), 6);
    Bytes restored;
    EXPECT_EQ(Decompress(compressed, restored, static_cast<LONG>(compressed.size()) - 1), StreamDataError);
}

TEST(Decompression, FullCallersBufferStopsWithBufferFull) {
    const Bytes data = SampleData(20000);
    const Bytes compressed = ReferenceCompress(data, 6);
    Bytes buffer(19999 + 16, 0xEE);
    CInputMemFile input;
    input.Attach(compressed.data(), static_cast<LONG>(compressed.size()));
    COutputMemFile output;
    output.Attach(buffer.data(), 19999);
    EXPECT_EQ(DecompressStream(&output, &input, -1), StreamBufferFull);
    for (std::size_t i = 19999; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], 0xEE);
}

// Each allocation of a run (the two blocks, zlib's state, its window) failing in turn gives out of memory.
TEST(Compression, FailedAllocationsReportOutOfMemory) {
    const Bytes data = SampleData(20000);
    const Bytes compressed = ReferenceCompress(data, 6);
    for (int skip = 0; skip < 4; ++skip) {
        SCOPED_TRACE(skip);
        Bytes out;
        {
            FailAllocations fail(skip, 2);
            EXPECT_EQ(Decompress(compressed, out), StreamOutOfMemory);
        }
        {
            FailAllocations fail(skip, 2);
            EXPECT_EQ(Compress(data, out), StreamOutOfMemory);
        }
    }
}

TEST(Compression, MissingStreamsAreRefused) {
    CInputMemFile input;
    COutputMemFile output;
    EXPECT_NE(CompressStream(nullptr, &input, -1, -1), StreamOk);
    EXPECT_NE(DecompressStream(&output, nullptr, -1), StreamOk);
}

} // namespace
