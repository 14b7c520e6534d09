#include "vtrs2/memory.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace win32;

namespace {

struct FailAllocations {
    explicit FailAllocations(int count = 2) { SetAllocationFailures(0, count); }
    ~FailAllocations() { SetAllocationFailures(0, 0); }
};

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> bytes;
    for (int v : values)
        bytes.push_back(static_cast<BYTE>(v));
    return bytes;
}

// ---- Input from memory ----------------------------------------------------------------------------------

TEST(InputMemFile, LongOverThreeBytesFailsOnTheSecondHalfAndLeavesTheValueUnset) {
    const auto data = Bytes({1, 2, 3});
    CInputMemFile stream;
    stream.Attach(data.data(), 3);
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(stream.ReadLong(&value), StreamEndOfData);
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(stream.GetPosition(), 3);
}

struct ValueCase {
    const char* name;
    std::function<int(CInputFile&, std::uint64_t&)> read;
    std::uint64_t expected;
};

class InputFixedWidth : public testing::TestWithParam<ValueCase> {};

TEST_P(InputFixedWidth, DecodesItsByteOrder) {
    const auto data = Bytes({0x01, 0x02, 0x03, 0x04, 0x85, 0x86, 0x87, 0x88});
    CInputMemFile stream;
    stream.Attach(data.data(), static_cast<LONG>(data.size()));
    std::uint64_t value = 0;
    ASSERT_EQ(GetParam().read(stream, value), StreamOk);
    EXPECT_EQ(value, GetParam().expected);
}

template <typename T, typename Method> auto One(Method method) {
    return [method](CInputFile& s, std::uint64_t& out) {
        T v{};
        const int code = (s.*method)(&v);
        out = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(v));
        return code;
    };
}

// Two values packed as (first << 32 | second), or (first << 16 | second) for words.
template <typename T, typename Method> auto Two(Method method) {
    return [method](CInputFile& s, std::uint64_t& out) {
        T v[2]{};
        const int code = (s.*method)(v, 2);
        const int bits = sizeof(T) * 8;
        using U = std::make_unsigned_t<T>;
        out = (static_cast<std::uint64_t>(static_cast<U>(v[0])) << bits) | static_cast<U>(v[1]);
        return code;
    };
}

const ValueCase valueCases[] = {
    {"Word", One<WORD>(&CInputFile::ReadWord), 0x0201},
    {"WordBE", One<WORD>(&CInputFile::ReadWordBE), 0x0102},
    {"Long", One<DWORD>(&CInputFile::ReadLong), 0x04030201},
    {"LongBE", One<DWORD>(&CInputFile::ReadLongBE), 0x01020304},
    {"Int", One<LONG>(&CInputFile::ReadInt), 0x04030201},
    {"IntBE", One<LONG>(&CInputFile::ReadIntBE), 0x01020304},
    {"Words", Two<WORD>(&CInputFile::ReadWords), 0x02010403},
    {"WordsBE", Two<WORD>(&CInputFile::ReadWordsBE), 0x01020304},
    {"Longs", Two<DWORD>(&CInputFile::ReadLongs), 0x0403020188878685},
    {"LongsBE", Two<DWORD>(&CInputFile::ReadLongsBE), 0x0102030485868788},
    {"Ints", Two<LONG>(&CInputFile::ReadInts), 0x0403020188878685},
    {"IntsBE", Two<LONG>(&CInputFile::ReadIntsBE), 0x0102030485868788},
};

INSTANTIATE_TEST_SUITE_P(Reads, InputFixedWidth, testing::ValuesIn(valueCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InputMemFile, ShortReadHandsOverWhatIsLeft) {
    const std::string text = "hello";
    CInputMemFile stream;
    stream.Attach(text.data(), 5);
    char out[8] = {};
    LONG count = -1;
    EXPECT_EQ(stream.ReadCounted(out, 8, &count), StreamEndOfData);
    EXPECT_EQ(count, 5);
    EXPECT_STREQ(out, "hello");
    EXPECT_EQ(stream.ReadCounted(out, 1, &count), StreamEndOfData);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(stream.Read(out, 0), StreamOk);
    BYTE byte = 0;
    EXPECT_EQ(stream.ReadByte(&byte), StreamEndOfData);
    EXPECT_EQ(stream.Read(out, -1), StreamEndOfData);
}

struct SeekCase {
    LONG start;
    LONG offset;
    int origin;
    LONG expected;
};

class InputMemSeek : public testing::TestWithParam<SeekCase> {};

TEST_P(InputMemSeek, MovesFromEachOriginAndStaysInsideTheData) {
    const std::string text = "0123456789";
    CInputMemFile stream;
    stream.Attach(text.data(), 10);
    stream.Seek(GetParam().start, SeekFromStart);
    EXPECT_EQ(stream.Seek(GetParam().offset, GetParam().origin), GetParam().expected);
    EXPECT_EQ(stream.GetPosition(), GetParam().expected);
    EXPECT_EQ(stream.GetSize(), 10);
    BYTE byte = 0;
    if (GetParam().expected < 10) {
        ASSERT_EQ(stream.ReadByte(&byte), StreamOk);
        EXPECT_EQ(byte, '0' + GetParam().expected);
    } else {
        EXPECT_EQ(stream.ReadByte(&byte), StreamEndOfData);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, InputMemSeek,
                         testing::Values(SeekCase{5, 3, SeekFromStart, 3}, SeekCase{5, 2, SeekFromCurrent, 7},
                                         SeekCase{5, -2, SeekFromCurrent, 3}, SeekCase{5, -4, SeekFromEnd, 6},
                                         SeekCase{5, 0, SeekFromEnd, 10}, SeekCase{5, 20, SeekFromStart, 10},
                                         SeekCase{5, -20, SeekFromCurrent, 0}, SeekCase{5, 3, 7, 5},
                                         SeekCase{5, 0x7FFFFFFF, SeekFromCurrent, 10}));

TEST(InputMemFile, ReadAllocPointsIntoTheDataAndRefusesWhatIsNotThere) {
    const std::string text = "abcdef";
    CInputMemFile stream;
    stream.Attach(text.data(), 6);
    stream.Seek(1, SeekFromStart);
    void* block = stream.ReadAlloc(3);
    EXPECT_EQ(block, text.data() + 1);
    EXPECT_EQ(stream.GetPosition(), 4);
    stream.FreeBuffer(block);
    EXPECT_EQ(stream.ReadAlloc(3), nullptr);
    EXPECT_EQ(stream.ReadAlloc(0), nullptr);
    EXPECT_EQ(stream.GetPosition(), 4);
}

TEST(InputMemFile, CreateOwnsAZeroedBlockAndHasNoFile) {
    CInputMemFile* stream = NewInputMemFile();
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->Create(4), StreamOk);
    DWORD value = 1;
    EXPECT_EQ(stream->ReadLong(&value), StreamOk);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(stream->Attach(INVALID_HANDLE_VALUE), StreamOk);
    EXPECT_EQ(stream->Detach(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(stream->GetFileNameA(), nullptr);
    EXPECT_EQ(stream->GetFileNameW(), nullptr);
    {
        FailAllocations fail;
        EXPECT_EQ(stream->Create(100), StreamOutOfMemory);
    }
    EXPECT_EQ(stream->GetSize(), 4);
    stream->Delete();
}

TEST(InputFile, SharedReadAllocCopiesAndFreesOnFailure) {
    // A stream that is neither memory nor file: the shared ReadAlloc copies through Read.
    struct Counting : CInputMemFile {
        void* ReadAlloc(LONG size) override { return CInputFile::ReadAlloc(size); }
        void FreeBuffer(void* block) override { CInputFile::FreeBuffer(block); }
    };
    const std::string text = "abcdef";
    Counting stream;
    stream.Attach(text.data(), 6);
    char* block = static_cast<char*>(stream.ReadAlloc(4));
    ASSERT_NE(block, nullptr);
    EXPECT_NE(static_cast<const void*>(block), static_cast<const void*>(text.data()));
    EXPECT_EQ(std::string(block, 4), "abcd");
    EXPECT_EQ(GetMemorySize(block), 4u);
    stream.FreeBuffer(block);
    EXPECT_EQ(stream.ReadAlloc(4), nullptr); // only 2 left
    EXPECT_EQ(stream.ReadAlloc(0), nullptr);
}

// ---- Output into memory ---------------------------------------------------------------------------------

// Whether the stream can take `size` more bytes without allocating.
bool FitsWithoutAllocating(COutputMemFile& stream, LONG size) {
    FailAllocations fail(1000);
    const std::vector<BYTE> bytes(static_cast<std::size_t>(size), 7);
    const LONG before = stream.GetPosition();
    const bool fits = stream.Write(bytes.data(), size) == StreamOk;
    if (fits) stream.Seek(before, SeekFromStart);
    return fits;
}

struct GrowthCase {
    LONG written;
    LONG capacity;
};

class OutputMemGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(OutputMemGrowth, GrowsInStepsOfTheDefaultStep) {
    COutputMemFile stream;
    const std::vector<BYTE> bytes(static_cast<std::size_t>(GetParam().written), 1);
    ASSERT_EQ(stream.Write(bytes.data(), GetParam().written), StreamOk);
    EXPECT_TRUE(FitsWithoutAllocating(stream, GetParam().capacity - GetParam().written));
    EXPECT_FALSE(FitsWithoutAllocating(stream, GetParam().capacity - GetParam().written + 1));
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputMemGrowth,
                         testing::Values(GrowthCase{1, 512}, GrowthCase{512, 512}, GrowthCase{513, 1024},
                                         GrowthCase{5000, 5120}));

TEST(OutputMemFile, CreateSetsTheGrowthStepAndZeroCapacityStillGrows) {
    COutputMemFile stream;
    ASSERT_EQ(stream.Create(100), StreamOk);
    const std::vector<BYTE> bytes(150, 1);
    ASSERT_EQ(stream.Write(bytes.data(), 150), StreamOk);
    EXPECT_TRUE(FitsWithoutAllocating(stream, 50));
    EXPECT_FALSE(FitsWithoutAllocating(stream, 51));

    COutputMemFile empty;
    ASSERT_EQ(empty.Create(0), StreamOk);
    ASSERT_EQ(empty.Write(bytes.data(), 10), StreamOk);
    EXPECT_TRUE(FitsWithoutAllocating(empty, COutputMemFile::DefaultGrowthStep - 10));
}

TEST(OutputMemFile, CallersBufferNeverOverflows) {
    char buffer[8] = "-------";
    COutputMemFile stream;
    stream.Attach(buffer, 4);
    EXPECT_EQ(stream.Write("abc", 3), StreamOk);
    EXPECT_EQ(stream.Write("de", 2), StreamBufferFull);
    EXPECT_EQ(std::string(buffer, 7), "abc----");
    EXPECT_EQ(stream.GetSize(), 3);
    EXPECT_EQ(stream.Write("d", 1), StreamOk);
    EXPECT_EQ(stream.DetachBuffer(), buffer);
    EXPECT_EQ(std::string(buffer, 7), "abcd---");
}

TEST(OutputMemFile, SeekBackOverwritesAndTheSizeKeepsTheHighestByte) {
    COutputMemFile stream;
    stream.Write("abcdef", 6);
    EXPECT_EQ(stream.Seek(2, SeekFromStart), 2);
    stream.Write("XY", 2);
    EXPECT_EQ(stream.GetSize(), 6);
    EXPECT_EQ(stream.GetPosition(), 4);
    EXPECT_EQ(stream.Seek(-1, SeekFromEnd), 5);
    EXPECT_EQ(stream.Seek(10, SeekFromCurrent), 6);
    EXPECT_EQ(stream.Seek(-10, SeekFromCurrent), 0);
    EXPECT_EQ(stream.Seek(3, 9), 0);
    stream.Seek(0, SeekFromEnd);
    stream.Write("g", 1);
    char* data = static_cast<char*>(stream.DetachBuffer());
    EXPECT_EQ(std::string(data, 7), "abXYefg");
    EXPECT_EQ(GetMemorySize(data), 7u); // shrunk to the data
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.DetachBuffer(), nullptr);
    FreeMemory(&data);
}

TEST(OutputMemFile, FailedGrowthReportsOutOfMemoryAndKeepsTheData) {
    COutputMemFile stream;
    stream.Write("abc", 3);
    const std::vector<BYTE> big(600, 1);
    {
        FailAllocations fail;
        EXPECT_EQ(stream.Write(big.data(), 600), StreamOutOfMemory);
    }
    EXPECT_EQ(stream.GetSize(), 3);
    EXPECT_EQ(stream.GetPosition(), 3);
    char* data = static_cast<char*>(stream.DetachBuffer());
    EXPECT_EQ(std::string(data, 3), "abc");
    FreeMemory(&data);
}

TEST(OutputFile, FixedWidthWritesUseTheirByteOrder) {
    COutputMemFile stream;
    const DWORD longValue = 0x01020304;
    const LONG intValue = -2;
    const WORD wordValue = 0x0A0B;
    stream.WriteLong(&longValue);
    stream.WriteLongBE(&longValue);
    stream.WriteWord(&wordValue);
    stream.WriteWordBE(&wordValue);
    stream.WriteLong(&intValue);
    BYTE* data = static_cast<BYTE*>(stream.DetachBuffer());
    const auto expected = Bytes({4, 3, 2, 1, 1, 2, 3, 4, 0x0B, 0x0A, 0x0A, 0x0B, 0xFE, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(std::vector<BYTE>(data, data + expected.size()), expected);
    FreeMemory(&data);
}

} // namespace
