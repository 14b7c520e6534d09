#include "startup/chunk_cipher.h"

#include <algorithm>
#include <string_view>

namespace vtrrt {

namespace {

std::u16string_view Text(std::span<const char16_t> units) {
    return {units.data(), units.size()};
}

} // namespace

void BuildApplicationKey(std::uint8_t* key, std::span<const char16_t> projectPath,
                         std::span<const char16_t> name, std::span<const char16_t> copyright, int unitBytes) {
    const auto made =
        vtrformat::MakeApplicationKey(Text(projectPath), Text(name), Text(copyright), unitBytes == 2);
    std::copy(made.begin(), made.end(), key);
}

void DecipherChunk(std::uint8_t* buffer, std::size_t length, const std::uint8_t* key) {
    if (!key || !buffer) return;
    vtrformat::CipherBytes({buffer, length},
                           std::span<const std::uint8_t, ApplicationKeySize>(key, ApplicationKeySize));
}

} // namespace vtrrt
