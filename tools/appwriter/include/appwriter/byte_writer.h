// A growable little-endian byte buffer: the one way the writer lays out every stored field.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace appwriter {

class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Bytes(std::span<const std::uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void Units(std::u16string_view text) {
        for (char16_t c : text)
            U16(c);
    }
    // Overwrites a u32 written earlier (sizes known only later).
    void PatchU32(std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::size_t Size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Data() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace appwriter
