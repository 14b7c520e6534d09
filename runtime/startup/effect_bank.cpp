#include "startup/effect_bank.h"

#include "core/byte_reader.h"

namespace vtrrt {

namespace {

constexpr std::size_t EntryParameterBlock = 8;
// An effect object counts its parameters in 16 bits.
constexpr std::uint32_t MaxParameters = 0x7FFF;

bool U32At(std::span<const std::uint8_t> bytes, std::size_t at, std::uint32_t& value) {
    ByteReader r(bytes);
    return r.Seek(at) && r.U32(value);
}

// The zero-terminated text at `at`, which must end inside the bytes; its length, or -1.
long long TextAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    for (std::size_t i = at; i < bytes.size(); ++i)
        if (bytes[i] == 0) return static_cast<long long>(i - at);
    return -1;
}

// `count` zero-terminated texts back to back from `at`, all inside the bytes.
bool TextsAt(std::span<const std::uint8_t> bytes, std::size_t at, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const long long length = TextAt(bytes, at);
        if (length < 0) return false;
        at += static_cast<std::size_t>(length) + 1;
    }
    return true;
}

bool EntryAt(std::span<const std::uint8_t> bank, std::uint32_t effect, std::span<const std::uint8_t>& entry) {
    std::uint32_t count = 0, offset = 0;
    if (!U32At(bank, 0, count) || effect >= count) return false;
    if (!U32At(bank, 4 + std::size_t{effect} * 4, offset) || offset >= bank.size()) return false;
    entry = bank.subspan(offset);
    return true;
}

} // namespace

std::uint32_t EffectBankCount(std::span<const std::uint8_t> bank) {
    std::uint32_t count = 0;
    return U32At(bank, 0, count) ? count : 0;
}

bool ReadEffectBankEntry(std::span<const std::uint8_t> bank, std::uint32_t effect, EffectBankEntry& out) {
    std::span<const std::uint8_t> e;
    std::uint32_t name = 0, source = 0, block = 0, options = 0;
    if (!EntryAt(bank, effect, e) || !U32At(e, 0, name) || !U32At(e, 4, source) ||
        !U32At(e, EntryParameterBlock, block) || !U32At(e, 12, options))
        return false;
    const long long nameLength = TextAt(e, name);
    if (nameLength < 0 || TextAt(e, source) < 0) return false;
    EffectBankEntry entry;
    entry.name = e.subspan(name, static_cast<std::size_t>(nameLength));
    entry.source = reinterpret_cast<const char*>(e.data() + source);
    entry.options = options;
    if (block != 0) {
        std::uint32_t count = 0, kinds = 0, names = 0;
        if (!U32At(e, block, count) || !U32At(e, std::size_t{block} + 4, kinds) ||
            !U32At(e, std::size_t{block} + 8, names))
            return false;
        if (count > 0) {
            if (count > MaxParameters || kinds > e.size() || count > e.size() - kinds ||
                !TextsAt(e, names, count))
                return false;
            entry.count = count;
            entry.kinds = e.data() + kinds;
            entry.names = reinterpret_cast<const char*>(e.data() + names);
        }
    }
    out = entry;
    return true;
}

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
