// The writer's side of chunk enciphering: the application key from its three texts and the stream cipher.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace appwriter {

using ApplicationKey = std::array<std::uint8_t, 256>;

// The key comes from the stored form of the project path, name and copyright line: one byte per unit in
// 8-bit data, two (little-endian) in UTF-16 data. Units are given as char16_t in both forms.
ApplicationKey MakeApplicationKey(std::u16string_view projectPath, std::u16string_view name,
                                  std::u16string_view copyright, bool wide);

// Enciphering and deciphering are the same transformation.
void EncipherBytes(std::span<std::uint8_t> data, const ApplicationKey& key);

} // namespace appwriter
