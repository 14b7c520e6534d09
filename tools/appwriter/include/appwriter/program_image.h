// Places a file pack behind a copy of the program, where the runtime looks for it: the end of the ELF image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace appwriter {

// The end of an ELF64 image: the later of the end of its section-header table and of its last section
// with file contents. Nothing when the bytes are not a well-formed little-endian ELF64 file.
std::optional<std::uint64_t> FindElfImageEnd(std::span<const std::uint8_t> image);

// The program cut at the end of its image (dropping any pack already there) with the pack appended.
std::optional<std::vector<std::uint8_t>> AppendFilePack(std::span<const std::uint8_t> program,
                                                        std::span<const std::uint8_t> pack);

// Files stored in the program image for the runtime to write into its temporary folder at start-up: one
// compressed chunk per file, holding the terminated UTF-16 name and the file's bytes.
std::vector<std::uint8_t> ProgramFileChunk(std::u16string_view name, std::span<const std::uint8_t> bytes);
// Writes where the run of such chunks lies into the program's tag block (found by its marker, followed by
// the u32 position and the u32 count); false when the program has no tag block.
bool PatchProgramFilesTag(std::vector<std::uint8_t>& program, std::uint32_t position, std::uint32_t count);

} // namespace appwriter
