#include "vtrformat/chunk_cipher.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vtrformat {

namespace {

void AppendUnits(std::vector<std::uint8_t>& out, std::u16string_view text, bool wide) {
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        if (wide) out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    // Separates the texts, so that the same letters split differently give another key.
    out.push_back(0);
}

// The cipher state: a permutation of the 256 byte values mixed by the key.
struct CipherState {
    std::array<std::uint8_t, 256> s;
    std::uint8_t a = 0;
    std::uint8_t b = 0;

    explicit CipherState(std::span<const std::uint8_t, ApplicationKeySize> key) {
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

ApplicationKey MakeApplicationKey(std::u16string_view projectPath, std::u16string_view name,
                                  std::u16string_view copyright, bool wide) {
    std::vector<std::uint8_t> text;
    AppendUnits(text, projectPath, wide);
    AppendUnits(text, name, wide);
    AppendUnits(text, copyright, wide);
    ApplicationKey key{};
    const std::size_t rounds = std::max(ApplicationKeySize, text.size());
    for (std::size_t i = 0; i < rounds; ++i) {
        std::uint8_t& k = key[i & 255];
        k = static_cast<std::uint8_t>(k * 33 + text[i % text.size()] + (i >> 8));
    }
    return key;
}

void CipherBytes(std::span<std::uint8_t> data, std::span<const std::uint8_t, ApplicationKeySize> key) {
    CipherState state(key);
    for (std::uint8_t& byte : data)
        byte ^= state.Next();
}

} // namespace vtrformat
