// Compression and decompression between streams with zlib, in fixed-size blocks. Inflation into a
// caller's memory buffer writes there directly: a whole item already in memory goes through libdeflate in
// one call, input from a file is inflated block by block straight into the buffer.
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

using namespace win32;

namespace {

constexpr LONG BlockSize = 8192;
// Room for a block that does not compress, so that deflate seldom has to be called twice per block.
constexpr LONG DeflatedBlockSize = BlockSize + BlockSize / 4 + 12;

// A block from the library's memory functions, freed when it goes out of scope.
class Block {
public:
    explicit Block(LONG size) { AllocMemory(static_cast<std::size_t>(size), &data_); }
    ~Block() { FreeMemory(&data_); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    BYTE* data() const { return data_; }

private:
    BYTE* data_ = nullptr;
};

// zlib's working memory comes from the library's memory functions as well.
voidpf ZlibAlloc(voidpf, uInt items, uInt size) {
    void* block = nullptr;
    return AllocMemory(static_cast<std::size_t>(items) * size, &block) ? block : Z_NULL;
}

void ZlibFree(voidpf, voidpf block) {
    FreeMemoryBlock(block);
}

z_stream NewZStream() {
    z_stream z{};
    z.zalloc = ZlibAlloc;
    z.zfree = ZlibFree;
    return z;
}

int InitCode(int result) {
    return result == Z_MEM_ERROR ? StreamOutOfMemory : StreamDataError;
}

// The bytes to take from the input: the given size, or what is left of the input for a negative one.
LONG InputSize(CInputFile& input, LONG size) {
    if (size >= 0) return size;
    return std::max<LONG>(0, input.GetSize() - input.GetPosition());
}

// Hands deflate or inflate the next block of input when it has used up the last one.
// Returns a stream code; `exhausted` tells that no input was left to give.
int Feed(z_stream& z, CInputFile& input, BYTE* block, LONG& remaining, bool& exhausted) {
    exhausted = false;
    if (z.avail_in != 0) return StreamOk;
    if (remaining == 0) {
        exhausted = true;
        return StreamOk;
    }
    const LONG size = std::min(remaining, BlockSize);
    if (const int code = input.Read(block, size)) return code;
    remaining -= size;
    z.next_in = block;
    z.avail_in = static_cast<uInt>(size);
    return StreamOk;
}

void Drain(z_stream& z, BYTE* block, LONG size) {
    z.next_out = block;
    z.avail_out = static_cast<uInt>(size);
}

int WriteProduced(COutputFile& output, const z_stream& z, const BYTE* block, LONG size) {
    const LONG produced = size - static_cast<LONG>(z.avail_out);
    return produced ? output.Write(block, produced) : StreamOk;
}

class Deflater {
public:
    explicit Deflater(int level) : z_(NewZStream()) {
        result_ = deflateInit(&z_, level == -1 ? Z_DEFAULT_COMPRESSION : std::clamp(level, 0, 9));
    }
    ~Deflater() {
        if (result_ == Z_OK) deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    int InitResult() const { return result_; }
    z_stream& z() { return z_; }

private:
    z_stream z_;
    int result_;
};

class Inflater {
public:
    Inflater() : z_(NewZStream()) { result_ = inflateInit(&z_); }
    ~Inflater() {
        if (result_ == Z_OK) inflateEnd(&z_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    int InitResult() const { return result_; }
    z_stream& z() { return z_; }

private:
    z_stream z_;
    int result_;
};

int Deflate(COutputFile& output, CInputFile& input, LONG remaining, z_stream& z, BYTE* in, BYTE* out) {
    for (;;) {
        bool exhausted = false;
        if (const int code = Feed(z, input, in, remaining, exhausted)) return code;
        if (exhausted) break;
        Drain(z, out, DeflatedBlockSize);
        const int result = deflate(&z, Z_NO_FLUSH);
        if (const int code = WriteProduced(output, z, out, DeflatedBlockSize)) return code;
        if (result != Z_OK) return StreamDataError;
    }
    for (;;) {
        Drain(z, out, DeflatedBlockSize);
        const int result = deflate(&z, Z_FINISH);
        if (const int code = WriteProduced(output, z, out, DeflatedBlockSize)) return code;
        if (result == Z_STREAM_END) return StreamOk;
        if (result != Z_OK) return StreamDataError;
    }
}

int Inflate(COutputFile& output, CInputFile& input, LONG remaining, z_stream& z, BYTE* in, BYTE* out) {
    for (;;) {
        bool exhausted = false;
        if (const int code = Feed(z, input, in, remaining, exhausted)) return code;
        if (exhausted) break;
        Drain(z, out, BlockSize);
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_MEM_ERROR) return StreamOutOfMemory;
        if (result != Z_OK && result != Z_STREAM_END) return StreamDataError;
        if (const int code = WriteProduced(output, z, out, BlockSize)) return code;
        if (result == Z_STREAM_END) return StreamOk;
    }
    // The input is used up: let inflate hand over what it still holds. The zlib stream must end here; input
    // that stops short of its end is damaged, however much it produced.
    for (;;) {
        Drain(z, out, BlockSize);
        const int result = inflate(&z, Z_FINISH);
        if (result == Z_MEM_ERROR) return StreamOutOfMemory;
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return StreamDataError;
        if (const int code = WriteProduced(output, z, out, BlockSize)) return code;
        if (result == Z_STREAM_END) return StreamOk;
        if (z.avail_out == static_cast<uInt>(BlockSize)) return StreamDataError;
    }
}

// The input position that reading in blocks until the stream's end leaves: whole blocks past the start, as
// many as held the `consumed` bytes, never more than were there to read.
LONG PositionAfterBlocks(LONG start, LONG remaining, long long consumed) {
    const long long blocks = (consumed + BlockSize - 1) / BlockSize;
    return static_cast<LONG>(start + std::min<long long>(remaining, blocks * BlockSize));
}

struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A zlib stream wholly in memory inflated in one call into the room of a caller's buffer.
int InflateWhole(BYTE* out, LONG room, LONG& produced, const BYTE* in, LONG size, long long& consumed) {
    std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) return StreamOutOfMemory;
    std::size_t used = 0, written = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress_ex(decompressor.get(), in, static_cast<std::size_t>(size), out,
                                      static_cast<std::size_t>(room), &used, &written);
    consumed = static_cast<long long>(used);
    produced = static_cast<LONG>(written);
    if (result == LIBDEFLATE_SUCCESS) return StreamOk;
    consumed = size;
    return result == LIBDEFLATE_INSUFFICIENT_SPACE ? StreamBufferFull : StreamDataError;
}

// Whether inflate, with its input used up and the caller's buffer full, still holds output: it is asked
// for one byte more, into a byte of its own.
bool OutputPending(z_stream& z) {
    BYTE probe = 0;
    z.next_out = &probe;
    z.avail_out = 1;
    inflate(&z, Z_FINISH);
    return z.avail_out == 0;
}

// Input read in blocks, output straight into the room of a caller's buffer.
int InflateInto(BYTE* out, LONG room, LONG& produced, CInputFile& input, LONG remaining, z_stream& z,
                BYTE* in) {
    z.next_out = out;
    z.avail_out = static_cast<uInt>(room);
    int result = Z_OK;
    for (;;) {
        bool exhausted = false;
        if (const int code = Feed(z, input, in, remaining, exhausted)) return code;
        result = inflate(&z, exhausted ? Z_FINISH : Z_NO_FLUSH);
        produced = room - static_cast<LONG>(z.avail_out);
        if (result == Z_STREAM_END) return StreamOk;
        if (result == Z_MEM_ERROR) return StreamOutOfMemory;
        // No progress: the buffer is full while output is pending, or the input ended too soon.
        if (result == Z_BUF_ERROR) {
            if (z.avail_out != 0) return StreamDataError;
            return !exhausted || OutputPending(z) ? StreamBufferFull : StreamDataError;
        }
        if (result != Z_OK) return StreamDataError;
        if (exhausted && z.avail_out != 0) return StreamDataError;
    }
}

// Inflation into a caller's memory buffer without a copy: the result, or NotInPlace when the streams are
// not of that kind and the block-by-block path must run.
constexpr int NotInPlace = -1;

int InflateInPlace(COutputFile& output, CInputFile& input, LONG compressedSize) {
    auto* memoryOutput = dynamic_cast<COutputMemFile*>(&output);
    LONG room = 0;
    BYTE* out = memoryOutput ? memoryOutput->FixedRoom(&room) : nullptr;
    if (!out) return NotInPlace;
    const LONG start = input.GetPosition();
    const LONG remaining = InputSize(input, compressedSize);
    LONG produced = 0;
    int code = StreamOk;
    if (auto* memoryInput = dynamic_cast<CInputMemFile*>(&input)) {
        // A short input fails as the block reads would, so that path keeps its error.
        if (remaining == 0 || input.GetSize() - start < remaining) return NotInPlace;
        const auto* in = static_cast<const BYTE*>(memoryInput->ReadAlloc(remaining));
        if (!in) return NotInPlace;
        long long consumed = 0;
        code = InflateWhole(out, room, produced, in, remaining, consumed);
        input.Seek(PositionAfterBlocks(start, remaining, consumed), SeekFromStart);
    } else {
        Block in(BlockSize);
        if (!in.data()) return StreamOutOfMemory;
        Inflater inflater;
        if (inflater.InitResult() != Z_OK) return InitCode(inflater.InitResult());
        code = InflateInto(out, room, produced, input, remaining, inflater.z(), in.data());
    }
    memoryOutput->Advance(produced);
    return code;
}

} // namespace

int CompressStream(COutputFile* output, CInputFile* input, LONG size, int level) {
    if (!output || !input) return StreamDataError;
    Block in(BlockSize);
    Block out(DeflatedBlockSize);
    if (!in.data() || !out.data()) return StreamOutOfMemory;
    Deflater deflater(level);
    if (deflater.InitResult() != Z_OK) return InitCode(deflater.InitResult());
    return Deflate(*output, *input, InputSize(*input, size), deflater.z(), in.data(), out.data());
}

int DecompressStream(COutputFile* output, CInputFile* input, LONG compressedSize) {
    if (!output || !input) return StreamDataError;
    if (const int code = InflateInPlace(*output, *input, compressedSize); code != NotInPlace) return code;
    Block in(BlockSize);
    Block out(BlockSize);
    if (!in.data() || !out.data()) return StreamOutOfMemory;
    Inflater inflater;
    if (inflater.InitResult() != Z_OK) return InitCode(inflater.InitResult());
    return Inflate(*output, *input, InputSize(*input, compressedSize), inflater.z(), in.data(), out.data());
}

namespace {

constexpr LONG HandleBufferSize = 4096;
// The largest result DecompressFileToMemory's caller can ask for.
constexpr LONG LargestMemoryResult = 134217727;

// Runs a compression step between two streams, then writes what the output stream still holds and lets go
// of both; the first failure is the result, so a final write that fails is not lost.
template <typename Step> int RunAndClose(COutputBufFile& output, Step step) {
    const int code = step();
    const int closed = output.Close();
    return code ? code : closed;
}

} // namespace

int CompressMemoryToHandle(HANDLE output, const void* data, LONG size, int level) {
    CInputMemFile in;
    in.Attach(data, size);
    COutputBufFile out;
    out.AttachHandle(output, HandleBufferSize);
    return RunAndClose(out, [&] { return CompressStream(&out, &in, size, level); });
}

int CompressHandleToHandle(HANDLE output, HANDLE input, LONG size, int level) {
    CInputBufFile in;
    if (const int code = in.Attach(input)) return code;
    COutputBufFile out;
    out.AttachHandle(output, HandleBufferSize);
    const int code = RunAndClose(out, [&] { return CompressStream(&out, &in, size, level); });
    // The input handle is left just behind what was taken from it.
    in.Detach();
    return code;
}

int DecompressMemoryToHandle(HANDLE output, const void* data, LONG size) {
    CInputMemFile in;
    in.Attach(data, size);
    COutputBufFile out;
    out.AttachHandle(output, HandleBufferSize);
    return RunAndClose(out, [&] { return DecompressStream(&out, &in, size); });
}

int DecompressFileToMemory(void* buffer, HANDLE input, LONG compressedSize, LONG capacity) {
    CInputBufFile in;
    if (const int code = in.Attach(input)) return code;
    COutputMemFile out;
    out.Attach(buffer, std::min(capacity, LargestMemoryResult));
    const int code = DecompressStream(&out, &in, compressedSize);
    in.Detach();
    return code;
}

int DecompressFileToFile(HANDLE output, HANDLE input, LONG compressedSize) {
    CInputBufFile in;
    if (const int code = in.Attach(input)) return code;
    COutputBufFile out;
    out.AttachHandle(output, HandleBufferSize);
    const int code = RunAndClose(out, [&] { return DecompressStream(&out, &in, compressedSize); });
    in.Detach();
    return code;
}
