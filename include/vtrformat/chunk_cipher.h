// The cipher of enciphered chunks, and the application key it is keyed by, derived from three texts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vtrformat {

constexpr std::size_t ApplicationKeySize = 256;
using ApplicationKey = std::array<std::uint8_t, ApplicationKeySize>;

// The key comes from the stored form of the project path, name and copyright line (each may be empty): one
// byte per unit in 8-bit data, two (little-endian) in UTF-16 data. Units are given as char16_t in both.
ApplicationKey MakeApplicationKey(std::u16string_view projectPath, std::u16string_view name,
                                  std::u16string_view copyright, bool wide);

// Enciphering and deciphering are the same transformation.
void CipherBytes(std::span<std::uint8_t> data, std::span<const std::uint8_t, ApplicationKeySize> key);

} // namespace vtrformat
