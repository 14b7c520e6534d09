// Finds where the program's ELF image ends, so that the pack lands exactly where the runtime searches.
#include "appwriter/program_image.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <algorithm>
#include <cstring>

namespace appwriter {

namespace {

constexpr std::size_t ElfHeaderSize = 64;
constexpr std::size_t SectionHeaderSize = 64;
constexpr std::uint32_t SectionNoBits = 8; // occupies no bytes of the file

std::uint64_t GetLE(std::span<const std::uint8_t> bytes, std::size_t offset, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | bytes[offset + i];
    return value;
}

} // namespace

std::optional<std::uint64_t> FindElfImageEnd(std::span<const std::uint8_t> image) {
    static constexpr std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* little-endian */};
    if (image.size() < ElfHeaderSize || !std::equal(std::begin(ident), std::end(ident), image.begin()))
        return std::nullopt;
    std::uint64_t tableOffset = GetLE(image, 0x28, 8);
    std::uint64_t entrySize = GetLE(image, 0x3A, 2);
    std::uint64_t count = GetLE(image, 0x3C, 2);
    if (entrySize < SectionHeaderSize || tableOffset > image.size() ||
        count > (image.size() - tableOffset) / entrySize)
        return std::nullopt;
    std::uint64_t end = tableOffset + count * entrySize;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::size_t header = tableOffset + i * entrySize;
        if (GetLE(image, header + 4, 4) == SectionNoBits) continue;
        std::uint64_t offset = GetLE(image, header + 0x18, 8);
        std::uint64_t size = GetLE(image, header + 0x20, 8);
        if (offset > image.size() || size > image.size() - offset) return std::nullopt;
        end = std::max(end, offset + size);
    }
    return end;
}

std::optional<std::vector<std::uint8_t>> AppendFilePack(std::span<const std::uint8_t> program,
                                                        std::span<const std::uint8_t> pack) {
    auto end = FindElfImageEnd(program);
    if (!end) return std::nullopt;
    std::vector<std::uint8_t> out(program.begin(), program.begin() + static_cast<std::ptrdiff_t>(*end));
    out.insert(out.end(), pack.begin(), pack.end());
    return out;
}

namespace {

// The runtime's tag block starts with this marker (its terminator included).
constexpr char ProgramFilesMarker[16] = "vtr-files-here!";
constexpr std::uint16_t ProgramFileChunkId = 0x2240;
constexpr std::uint16_t ChunkCompressed = 1;

} // namespace

std::vector<std::uint8_t> ProgramFileChunk(std::u16string_view name, std::span<const std::uint8_t> bytes) {
    ByteWriter w;
    w.Units(name);
    w.U16(0);
    w.Bytes(bytes);
    std::vector<std::uint8_t> out;
    WriteChunk(out, ProgramFileChunkId, ChunkCompressed, w.Take(), {});
    return out;
}

bool PatchProgramFilesTag(std::vector<std::uint8_t>& program, std::uint32_t position, std::uint32_t count) {
    const auto at = std::search(program.begin(), program.end(), std::begin(ProgramFilesMarker),
                                std::end(ProgramFilesMarker));
    const auto offset = static_cast<std::size_t>(at - program.begin());
    if (at == program.end() || program.size() - offset < sizeof ProgramFilesMarker + 8) return false;
    for (int i = 0; i < 4; ++i) {
        program[offset + sizeof ProgramFilesMarker + i] = static_cast<std::uint8_t>(position >> (8 * i));
        program[offset + sizeof ProgramFilesMarker + 4 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    return true;
}

} // namespace appwriter
