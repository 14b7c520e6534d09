// The file pack that travels behind the program's ELF image: its header words, the checksum of object
// extensions, and where the image ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vtrformat {

constexpr std::uint32_t FilePackMagic1 = 0x77777777;
constexpr std::uint32_t FilePackMagic2 = 0x12478749;
constexpr std::uint32_t FilePackHeaderSize = 32;

// Rotate-and-add over little-endian 32-bit words, then over the remaining bytes one by one.
std::uint32_t RollingChecksum(std::span<const std::uint8_t> data, std::uint32_t start = 0);

// The ELF64 header's section table, checked against the file's length.
constexpr std::size_t ElfHeaderSize = 64;
struct ElfSectionTable {
    std::uint64_t offset = 0;
    std::uint64_t entrySize = 0;
    std::uint64_t count = 0;
    std::uint64_t Bytes() const { return entrySize * count; }
};
// Nothing when `header` is not a little-endian ELF64 header or its table does not lie within `fileLength`.
std::optional<ElfSectionTable> ReadElfSectionTable(std::span<const std::uint8_t> header,
                                                   std::uint64_t fileLength);
// The end of the image: the later of the table's end and of the last section that occupies file bytes.
// Nothing when a section lies past `fileLength` or `table` is not the whole table.
std::optional<std::uint64_t> ElfImageEnd(const ElfSectionTable& layout, std::span<const std::uint8_t> table,
                                         std::uint64_t fileLength);

} // namespace vtrformat
