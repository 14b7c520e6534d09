// Deciphering of enciphered chunks with the application key, and the key's derivation from three texts, over
// the loader's own key buffer.
#pragma once

#include "vtrformat/chunk_cipher.h"

#include <cstdint>
#include <span>

namespace vtrrt {

using vtrformat::ApplicationKeySize;

// Builds the key from the stored units of the project path, application name and copyright line (each may
// be empty); `unitBytes` is 1 for 8-bit data and 2 for UTF-16 data.
void BuildApplicationKey(std::uint8_t* key, std::span<const char16_t> projectPath,
                         std::span<const char16_t> name, std::span<const char16_t> copyright, int unitBytes);

// Deciphers exactly `length` bytes in place. Without a key nothing changes.
void DecipherChunk(std::uint8_t* buffer, std::size_t length, const std::uint8_t* key);

} // namespace vtrrt
