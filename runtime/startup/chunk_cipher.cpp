#include "startup/chunk_cipher.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace vtrrt {

namespace {

void AppendUnits(std::vector<std::uint8_t>& text, std::span<const char16_t> units, int unitBytes) {
    for (char16_t c : units) {
        text.push_back(static_cast<std::uint8_t>(c));
        if (unitBytes == 2) text.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    // Separates the texts, so that the same letters split differently give another key.
    text.push_back(0);
}

// The cipher state: a permutation of the 256 byte values mixed by the key.
struct CipherState {
    std::array<std::uint8_t, 256> s;
    std::uint8_t a = 0;
    std::uint8_t b = 0;

    explicit CipherState(const std::uint8_t* key) {
        for (int i = 0; i < 256; ++i)
            s[i] = static_cast<std::uint8_t>(i);
        std::uint8_t j = 0;
        for (int i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + s[i] + key[i]);
            std::swap(s[i], s[j]);
        }
    }
    std::uint8_t Next() {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        return s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
};

} // namespace

void BuildApplicationKey(std::uint8_t* key, std::span<const char16_t> projectPath,
                         std::span<const char16_t> name, std::span<const char16_t> copyright, int unitBytes) {
    std::vector<std::uint8_t> text;
    AppendUnits(text, projectPath, unitBytes);
    AppendUnits(text, name, unitBytes);
    AppendUnits(text, copyright, unitBytes);
    std::fill(key, key + ApplicationKeySize, std::uint8_t{0});
    const std::size_t rounds = std::max(ApplicationKeySize, text.size());
    for (std::size_t i = 0; i < rounds; ++i) {
        std::uint8_t& k = key[i & 255];
        k = static_cast<std::uint8_t>(k * 33 + text[i % text.size()] + (i >> 8));
    }
}

void DecipherChunk(std::uint8_t* buffer, std::size_t length, const std::uint8_t* key) {
    if (!key || !buffer) return;
    CipherState state(key);
    for (std::size_t i = 0; i < length; ++i)
        buffer[i] ^= state.Next();
}

} // namespace vtrrt
