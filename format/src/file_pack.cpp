#include "vtrformat/file_pack.h"

#include "vtrformat/bytes.h"

#include <algorithm>
#include <bit>

namespace vtrformat {

namespace {

constexpr std::size_t ElfTableOffset = 0x28;
constexpr std::size_t ElfTableEntrySize = 0x3A;
constexpr std::size_t ElfTableCount = 0x3C;
constexpr std::uint64_t SectionHeaderSize = 64;
constexpr std::size_t SectionType = 4;
constexpr std::size_t SectionOffset = 0x18;
constexpr std::size_t SectionSize = 0x20;
constexpr std::uint32_t SectionNoBits = 8; // occupies no bytes of the file

} // namespace

std::uint32_t RollingChecksum(std::span<const std::uint8_t> data, std::uint32_t start) {
    std::uint32_t sum = start;
    std::size_t i = 0;
    for (; i + 4 <= data.size(); i += 4)
        sum = std::rotl(sum, 1) + GetU32(data.data() + i);
    for (; i < data.size(); ++i)
        sum = std::rotl(sum, 1) + data[i];
    return sum;
}

std::optional<ElfSectionTable> ReadElfSectionTable(std::span<const std::uint8_t> header,
                                                   std::uint64_t fileLength) {
    static constexpr std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* little-endian */};
    if (header.size() < ElfHeaderSize || !std::equal(std::begin(ident), std::end(ident), header.begin()))
        return std::nullopt;
    ElfSectionTable t;
    t.offset = FieldAt<std::uint64_t>(header, ElfTableOffset);
    t.entrySize = FieldAt<std::uint16_t>(header, ElfTableEntrySize);
    t.count = FieldAt<std::uint16_t>(header, ElfTableCount);
    if (t.entrySize < SectionHeaderSize || t.offset > fileLength ||
        t.count > (fileLength - t.offset) / t.entrySize)
        return std::nullopt;
    return t;
}

std::optional<std::uint64_t> ElfImageEnd(const ElfSectionTable& layout, std::span<const std::uint8_t> table,
                                         std::uint64_t fileLength) {
    if (table.size() != layout.Bytes()) return std::nullopt;
    std::uint64_t end = layout.offset + layout.Bytes();
    for (std::uint64_t i = 0; i < layout.count; ++i) {
        auto section = table.subspan(i * layout.entrySize, layout.entrySize);
        if (FieldAt<std::uint32_t>(section, SectionType) == SectionNoBits) continue;
        const auto offset = FieldAt<std::uint64_t>(section, SectionOffset);
        const auto size = FieldAt<std::uint64_t>(section, SectionSize);
        if (offset > fileLength || size > fileLength - offset) return std::nullopt;
        end = std::max(end, offset + size);
    }
    return end;
}

} // namespace vtrformat
