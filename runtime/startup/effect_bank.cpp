#include "startup/effect_bank.h"

#include "startup/byte_reader.h"

namespace vtrrt {

namespace {

constexpr std::size_t EntryParameterBlock = 8;

bool U32At(std::span<const std::uint8_t> bytes, std::size_t at, std::uint32_t& value) {
    ByteReader r(bytes);
    return r.Seek(at) && r.U32(value);
}

} // namespace

// Bank: u32 count, count u32 entry offsets from the bank's start. Entry: u32 name offset, u32 source offset,
// u32 parameter block offset (0: none), u32 options. Parameter block: u32 count, u32 offset of one kind byte
// per parameter, u32 offset of the names. Every offset inside an entry counts from the entry's start.
int EffectParameterKind(std::span<const std::uint8_t> bank, std::uint32_t effect, std::uint32_t parameter) {
    std::uint32_t count = 0, entry = 0, block = 0, parameters = 0, kinds = 0;
    if (!U32At(bank, 0, count) || effect >= count) return -1;
    if (!U32At(bank, 4 + std::size_t{effect} * 4, entry) || entry >= bank.size()) return -1;
    const std::span<const std::uint8_t> e = bank.subspan(entry);
    if (!U32At(e, EntryParameterBlock, block) || block == 0) return -1;
    if (!U32At(e, block, parameters) || parameter >= parameters || !U32At(e, std::size_t{block} + 4, kinds))
        return -1;
    const std::size_t at = std::size_t{kinds} + parameter;
    return at < e.size() ? e[at] : -1;
}

} // namespace vtrrt
