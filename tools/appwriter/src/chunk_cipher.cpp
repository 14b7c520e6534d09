#include "appwriter/chunk_cipher.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace appwriter {

namespace {

void AppendUnits(std::vector<std::uint8_t>& out, std::u16string_view text, bool wide) {
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        if (wide) out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    // A separator, so that moving text from one string to the next changes the key.
    out.push_back(0);
}

} // namespace

ApplicationKey MakeApplicationKey(std::u16string_view projectPath, std::u16string_view name,
                                  std::u16string_view copyright, bool wide) {
    std::vector<std::uint8_t> text;
    AppendUnits(text, projectPath, wide);
    AppendUnits(text, name, wide);
    AppendUnits(text, copyright, wide);
    ApplicationKey key{};
    const std::size_t rounds = std::max<std::size_t>(256, text.size());
    for (std::size_t i = 0; i < rounds; ++i) {
        std::uint8_t& k = key[i & 255];
        k = static_cast<std::uint8_t>(k * 33 + text[i % text.size()] + (i >> 8));
    }
    return key;
}

void EncipherBytes(std::span<std::uint8_t> data, const ApplicationKey& key) {
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::uint8_t& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

} // namespace appwriter
