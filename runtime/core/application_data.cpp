#include "core/application_data.h"

#include "core/byte_reader.h"

#include <algorithm>
#include <vector>

namespace vtrrt {

bool ParseDataHeader(std::span<const std::uint8_t> bytes, ApplicationDataHeader& out) {
    ByteReader r(bytes);
    return r.U32(out.magic) && r.U16(out.version) && r.U16(out.reserved) && r.U32(out.typeWord) &&
           r.U32(out.build);
}

bool ParseChunkHeader(std::span<const std::uint8_t> bytes, ChunkHeader& out) {
    ByteReader r(bytes);
    return r.U16(out.id) && r.U16(out.flags) && r.U32(out.size);
}

void ParseApplicationHeader(std::span<const std::uint8_t> bytes, ApplicationHeader& out) {
    // A short header chunk reads as if padded with zeros, as a copy into a zeroed record would.
    std::vector<std::uint8_t> padded(AppHeaderSize, 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), AppHeaderSize), padded.begin());
    ByteReader r(padded);
    r.U32(out.size);
    r.U16(out.flags1);
    r.U16(out.flags2);
    r.U16(out.graphicMode);
    r.U16(out.flags3);
    r.U16(out.windowWidth);
    r.U16(out.windowHeight);
    r.U32(out.initialScore);
    r.U32(out.initialLives);
    for (auto& type : out.controlTypes)
        r.U16(type);
    for (auto& keys : out.controlKeys)
        for (auto& key : keys)
            r.U16(key);
    r.U32(out.borderColour);
    r.I32(out.frameCount);
    r.I32(out.frameRate);
    r.U32(out.reserved108);
}

} // namespace vtrrt
