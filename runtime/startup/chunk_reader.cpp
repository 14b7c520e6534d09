#include "startup/chunk_reader.h"

#include "core/byte_reader.h"
#include "startup/chunk_cipher.h"

#include "core/error_message.h"

#include "vtrs2/compression.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vtrrt {

namespace {

// Deflate's best case packs 1032 bytes into one.
constexpr std::uint64_t DeflateMaxRatio = 1032;

// A little-endian field read whole from the stream.
template <typename T> int ReadField(CInputFile& stream, T& value) {
    return vtrformat::ReadFieldFrom(
        [&stream](std::uint8_t* bytes, std::size_t n) {
            return stream.Read(bytes, static_cast<win32::LONG>(n));
        },
        value);
}

// Zeroes a temporary block before it goes back, so that deciphered bytes do not linger.
struct ScratchBlock {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ~ScratchBlock() {
        if (data) std::memset(data, 0, size);
        FreeMemory(&data);
    }
};

// The uncompressed size of a compressed payload, checked against the limits.
int ReadInflatedSize(CInputFile& stream, const ChunkHeader& header, std::uint32_t& size) {
    // The uncompressed size and (plain or enciphered) the compressed size.
    if (header.size < 8) return StreamDataError;
    if (int code = ReadField(stream, size)) return code;
    if (size > MaxInflatedSize(header.size - 8)) return StreamDataError;
    return LoadOk;
}

int InflateFromStream(void* destination, std::uint32_t size, CInputFile& stream, std::uint32_t storedSize) {
    COutputMemFile output;
    output.Attach(destination, size);
    int code = DecompressStream(&output, &stream, static_cast<int>(storedSize));
    if (code == LoadOk && output.GetSize() != static_cast<int>(size)) code = StreamDataError;
    return code;
}

} // namespace

ChunkFailure& LastChunkFailure() {
    static ChunkFailure failure;
    return failure;
}

void ClearChunkFailure() {
    ChunkFailure& f = LastChunkFailure();
    f.located = false;
    f.id = NoChunkId;
    f.offset = 0;
}

void NoteChunkFailure(std::uint32_t id, std::int64_t offset) {
    ChunkFailure& f = LastChunkFailure();
    f.located = true;
    f.id = id;
    f.offset = offset;
    ++f.count;
}

void ReportLoadError(int code, const win32::WCHAR* fileName, std::int32_t frameIndex) {
    if (code <= 0) return;
    const ChunkFailure& f = LastChunkFailure();
    if (!IsDamagedDataCode(code) || !f.located) {
        if (frameIndex < 0)
            ShowErrorMessage(nullptr, code, fileName);
        else
            ShowLoadFailure(nullptr, nullptr, frameIndex, FrameFailure::Load, nullptr, code);
        return;
    }
    const DamagePlace place{f.id == NoChunkId ? DamagedChunkUnknown : f.id, f.dataOffset + f.offset};
    ShowLoadFailure(nullptr, fileName, frameIndex, FrameFailure::Load, &place, code);
}

std::uint32_t MaxInflatedSize(std::uint32_t storedBytes) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(storedBytes * DeflateMaxRatio + 64, MaxInflatedChunk));
}

int ReadChunkHeader(CInputFile& stream, ChunkHeader& header) {
    std::array<std::uint8_t, ChunkHeaderSize> bytes;
    if (int code = stream.Read(bytes.data(), static_cast<int>(bytes.size()))) return code;
    ParseChunkHeader(bytes, header);
    // Sizes of 2^31 and more can never fit, and are not turned into negative seeks.
    const std::int64_t left = static_cast<std::int64_t>(stream.GetSize()) - stream.GetPosition();
    if (static_cast<std::int64_t>(header.size) > left) return StreamEndOfData;
    return LoadOk;
}

int InflateBlock(void* destination, std::uint32_t capacity, const void* source, std::uint32_t sourceSize) {
    CInputMemFile input;
    input.Attach(source, static_cast<int>(sourceSize));
    COutputMemFile output;
    output.Attach(destination, static_cast<int>(capacity));
    int code = DecompressStream(&output, &input, static_cast<int>(sourceSize));
    if (code == LoadOk && output.GetSize() != static_cast<int>(capacity)) code = StreamDataError;
    return code;
}

int ReadCompressedBlock(void* destination, std::uint32_t capacity, CInputFile& stream) {
    std::uint32_t storedSize = 0;
    if (int code = ReadField(stream, storedSize)) return code;
    const std::int64_t left = static_cast<std::int64_t>(stream.GetSize()) - stream.GetPosition();
    if (static_cast<std::int64_t>(storedSize) > left) return StreamEndOfData;
    return InflateFromStream(destination, capacity, stream, storedSize);
}

int ReadChunkInto(CInputFile& stream, const ChunkHeader& header, void* destination, std::uint32_t capacity,
                  const std::uint8_t* key) {
    const bool compressed = header.flags & ChunkCompressed;
    const bool enciphered = header.flags & ChunkEnciphered;
    std::uint32_t size = header.size;
    if (compressed) {
        if (int code = ReadInflatedSize(stream, header, size)) return code;
    }
    if (capacity < size) return ErrorChunkTooLarge;
    if (enciphered && !key) return ErrorSilent;

    if (compressed && enciphered) {
        ScratchBlock scratch;
        scratch.size = header.size - 4;
        if (!AllocMemory(scratch.size, &scratch.data)) return ErrorOutOfMemory;
        if (int code = stream.Read(scratch.data, static_cast<int>(scratch.size))) return code;
        DecipherChunk(scratch.data, scratch.size, key);
        std::uint32_t storedSize = 0;
        ByteReader(std::span(scratch.data, scratch.size)).U32(storedSize);
        if (storedSize > scratch.size - 4) return StreamDataError;
        return InflateBlock(destination, size, scratch.data + 4, storedSize);
    }
    if (compressed) {
        std::uint32_t storedSize = 0;
        if (int code = ReadField(stream, storedSize)) return code;
        if (storedSize > header.size - 8) return StreamDataError;
        return InflateFromStream(destination, size, stream, storedSize);
    }
    if (int code = stream.Read(destination, static_cast<int>(size))) return code;
    if (enciphered) DecipherChunk(static_cast<std::uint8_t*>(destination), size, key);
    return LoadOk;
}

int ReadChunk(CInputFile& stream, const ChunkHeader& header, std::uint8_t** out, std::uint32_t* size,
              const std::uint8_t* key) {
    *out = nullptr;
    if (size) *size = 0;
    std::uint32_t payloadSize = header.size;
    if (header.flags & ChunkCompressed) {
        // Peek at the uncompressed size, then let ReadChunkInto read the payload from its start.
        const auto start = stream.GetPosition();
        if (int code = ReadInflatedSize(stream, header, payloadSize)) return code;
        stream.Seek(start, 0);
    }
    std::uint8_t* block = nullptr;
    if (!AllocZeroedMemory(static_cast<std::size_t>(payloadSize) + 2, &block)) return ErrorOutOfMemory;
    if (int code = ReadChunkInto(stream, header, block, payloadSize, key)) {
        FreeMemory(&block);
        return code;
    }
    *out = block;
    if (size) *size = payloadSize;
    return LoadOk;
}

int CopyStreamBytes(COutputFile& output, CInputFile& input, std::uint32_t count) {
    constexpr std::uint32_t BlockSize = 32768;
    std::uint8_t* block = nullptr;
    if (!AllocMemory(BlockSize, &block)) return ErrorOutOfMemory;
    int code = LoadOk;
    while (count > 0 && code == LoadOk) {
        const std::uint32_t n = std::min(count, BlockSize);
        code = input.Read(block, static_cast<int>(n));
        if (code == LoadOk) code = output.Write(block, static_cast<int>(n));
        count -= n;
    }
    FreeMemory(&block);
    return code;
}

} // namespace vtrrt
