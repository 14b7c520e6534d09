// Finds where the program's ELF image ends, so that the pack lands exactly where the runtime searches.
#include "appwriter/program_image.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <algorithm>
#include <cstring>

#include "vtrformat/file_pack.h"

namespace appwriter {

std::optional<std::uint64_t> FindElfImageEnd(std::span<const std::uint8_t> image) {
    const auto layout = vtrformat::ReadElfSectionTable(image, image.size());
    if (!layout) return std::nullopt;
    return vtrformat::ElfImageEnd(*layout, image.subspan(layout->offset, layout->Bytes()), image.size());
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

} // namespace

std::vector<std::uint8_t> ProgramFileChunk(std::u16string_view name, std::span<const std::uint8_t> bytes) {
    ByteWriter w;
    w.Units(name);
    w.U16(0);
    w.Bytes(bytes);
    std::vector<std::uint8_t> out;
    WriteChunk(out, ChunkProgramFile, ChunkCompressed, w.Take(), {});
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
