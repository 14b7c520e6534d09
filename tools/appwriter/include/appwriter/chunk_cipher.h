// The writer's side of chunk enciphering: the application key from its three texts and the stream cipher.
#pragma once

#include "vtrformat/chunk_cipher.h"

#include <cstdint>
#include <span>

namespace appwriter {

using vtrformat::ApplicationKey;
using vtrformat::MakeApplicationKey;

// Enciphering and deciphering are the same transformation.
inline void EncipherBytes(std::span<std::uint8_t> data, const ApplicationKey& key) {
    vtrformat::CipherBytes(data, key);
}

} // namespace appwriter
