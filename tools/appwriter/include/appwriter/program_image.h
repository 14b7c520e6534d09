// Places a file pack behind a copy of the program, where the runtime looks for it: the end of the ELF image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace appwriter {

// The end of an ELF64 image: the later of the end of its section-header table and of its last section
// with file contents. Nothing when the bytes are not a well-formed little-endian ELF64 file.
std::optional<std::uint64_t> FindElfImageEnd(std::span<const std::uint8_t> image);

// The program cut at the end of its image (dropping any pack already there) with the pack appended.
std::optional<std::vector<std::uint8_t>> AppendFilePack(std::span<const std::uint8_t> program,
                                                        std::span<const std::uint8_t> pack);

} // namespace appwriter
