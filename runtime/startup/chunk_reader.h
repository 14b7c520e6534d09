// Reading chunk payloads from the application data: plain, compressed, enciphered or both.
#pragma once

#include "core/application_data.h"

#include "vtrs2/streams.h"

#include <cstdint>

namespace vtrrt {

// Result codes of the loader and its readers; positive codes are also message numbers of the program.
constexpr int LoadOk = 0;
constexpr int ErrorCannotOpen = 4;
constexpr int ErrorOutOfMemory = 8;
constexpr int ErrorChunkTooLarge = 9;
constexpr int ErrorIncompatible = 19;
constexpr int ErrorNotApplication = 20;
constexpr int ErrorSilent = -1; // already reported, or not to be reported
// The library's stream codes (vtrs2/streams.h) pass through; StreamDataError also stands for data whose
// counts, sizes or offsets do not hold together.

// The most a compressed payload of `storedBytes` may inflate to: deflate never packs more than 1032 bytes
// into one, and no chunk is allowed past 128 MiB.
constexpr std::uint32_t MaxInflatedChunk = 128u << 20;
std::uint32_t MaxInflatedSize(std::uint32_t storedBytes);

// Reads the 8-byte header at the stream's position. A payload that would run past the end of the data is
// refused with StreamEndOfData before anyone reads it.
int ReadChunkHeader(CInputFile& stream, ChunkHeader& header);

// Where the last failed chunk list walk stopped: the chunk being read (the innermost, when lists nest) and
// the offset of its header in the stream, so that a damaged file can be reported with the place of the
// damage. `id` is NoChunkId when the header itself could not be read.
constexpr std::uint32_t NoChunkId = 0x10000;
struct ChunkFailure {
    bool located = false;
    std::uint32_t id = NoChunkId;
    std::int64_t offset = 0;
    std::uint32_t count = 0;     // failures noted so far, to tell an inner walk's note from an older one
    std::int64_t dataOffset = 0; // where the stream's data starts in its file (packed behind the program)
};
ChunkFailure& LastChunkFailure();
// Forgets the last failure's place: each load starts with none. The data's offset in its file is kept.
void ClearChunkFailure();
void NoteChunkFailure(std::uint32_t id, std::int64_t offset);

// Reports a load's failure: a code of damaged data with the place the walk noted (in the file: the data's
// offset added), after "Frame <n> cannot be loaded." for a frame (its index, else -1); other codes, and
// damage with no place, as their message. Codes of 0 and below stay silent.
void ReportLoadError(int code, const win32::WCHAR* fileName, std::int32_t frameIndex = -1);

// Walks a chunk list from the stream's position to its end chunk: `visit` (ChunkHeader) is called for each
// chunk with a payload, and the stream is then set to the chunk after it, wherever the visit left it. Gives
// 0, the first non-zero result of a visit, or a reader code; on a failure the chunk is noted as its place.
template <typename Visit> int WalkChunkList(CInputFile& stream, Visit&& visit) {
    for (;;) {
        const std::int64_t at = stream.GetPosition();
        const bool wholeHeader =
            static_cast<std::int64_t>(stream.GetSize()) - at >= static_cast<std::int64_t>(ChunkHeaderSize);
        ChunkHeader h;
        if (int code = ReadChunkHeader(stream, h)) {
            NoteChunkFailure(wholeHeader ? h.id : NoChunkId, at);
            return code;
        }
        if (h.id == ChunkEnd) return LoadOk;
        if (h.size == 0) continue;
        const std::int64_t next = static_cast<std::int64_t>(stream.GetPosition()) + h.size;
        const std::uint32_t noted = LastChunkFailure().count;
        if (int code = visit(h)) {
            // A list read inside this chunk that failed has noted its own chunk already.
            if (LastChunkFailure().count == noted) NoteChunkFailure(h.id, at);
            return code;
        }
        stream.Seek(static_cast<win32::LONG>(next), SeekFromStart);
    }
}

// Reads the payload that follows the header into the caller's buffer. Compressed payloads inflate to
// exactly their declared size, never more.
int ReadChunkInto(CInputFile& stream, const ChunkHeader& header, void* destination, std::uint32_t capacity,
                  const std::uint8_t* key);

// As ReadChunkInto into a new block of the payload's (uncompressed) size, which the caller frees with
// FreeMemory; on failure *out is null. The block has one more zeroed unit (two bytes) than `*size` says, so
// that text in it is always terminated.
int ReadChunk(CInputFile& stream, const ChunkHeader& header, std::uint8_t** out, std::uint32_t* size,
              const std::uint8_t* key);

// Inflates a zlib stream held in memory into a buffer of `capacity` bytes; the output must fill it exactly.
int InflateBlock(void* destination, std::uint32_t capacity, const void* source, std::uint32_t sourceSize);

// Reads a u32 compressed size from the stream, then inflates that many bytes into the destination, which
// they must fill exactly: `capacity` bytes.
int ReadCompressedBlock(void* destination, std::uint32_t capacity, CInputFile& stream);

// Copies `count` bytes from one stream to the other in blocks of 32768.
int CopyStreamBytes(COutputFile& output, CInputFile& input, std::uint32_t count);

} // namespace vtrrt
