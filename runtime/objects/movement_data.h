// The stored data of one movement of a definition's movement list: a common part, then the type's own
// data. It is read through a bounded view: what lies past the definition's end reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vtrrt {

// Bytes of a movement block, from its start.
struct MovementBlockBytes {
    std::size_t offset = 0, size = 0;
};

// The common part.
constexpr std::size_t MovementDataPlayer = 0;
constexpr std::size_t MovementDataType = 2;
constexpr std::size_t MovementDataMovingAtStart = 4;
constexpr std::size_t MovementDataOptions = 5;
constexpr std::size_t MovementDataDirectionMask = 8; // the directions the object may start in
constexpr std::size_t MovementCommonBytes = 12;
// Extension movements: their module's data.
constexpr std::size_t MovementDataExtension = 26;

// Bit 0 of the option byte: a stop or bounce inside the object's own move searches back along the move.
constexpr std::int32_t MovementOptionSearchBack = 0x1;

class MovementDataView {
public:
    MovementDataView() = default;
    explicit MovementDataView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t U8(std::size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(U8(at) | (U8(at + 1) << 8)); }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint32_t U32(std::size_t at) const { return U16(at) | (std::uint32_t{U16(at + 2)} << 16); }
    const std::uint8_t* Bytes() const { return bytes_.data(); }
    std::span<const std::uint8_t> Span() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace vtrrt
