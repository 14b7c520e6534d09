#include "startup/chunk_cipher.h"

#include "appwriter/chunk_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using vtrrt::ApplicationKeySize;

// A 256-byte key that repeats a short one: the cipher then agrees with the short key's published vectors.
std::array<std::uint8_t, 256> RepeatedKey(const std::string& text) {
    std::array<std::uint8_t, 256> key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(text[i % text.size()]);
    return key;
}

struct CipherVector {
    const char* key;
    const char* plain;
    std::vector<std::uint8_t> enciphered;
};

class DecipherKnownVectors : public ::testing::TestWithParam<CipherVector> {};

TEST_P(DecipherKnownVectors, DeciphersToThePlainText) {
    const CipherVector& v = GetParam();
    const auto key = RepeatedKey(v.key);
    std::vector<std::uint8_t> data = v.enciphered;
    vtrrt::DecipherChunk(data.data(), data.size(), key.data());
    EXPECT_EQ(std::string(data.begin(), data.end()), v.plain);
}

// "Key" and "Wiki" divide into 256 with a remainder of 1 and 0: both stay equal to their short forms.
INSTANTIATE_TEST_SUITE_P(Vectors, DecipherKnownVectors,
                         ::testing::Values(
                             CipherVector{
                                 "Key", "Plaintext", {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}},
                             CipherVector{"Wiki", "pedia", {0x10, 0x21, 0xBF, 0x04, 0x20}}));

TEST(ChunkCipher, DecipherTouchesExactlyTheGivenLength) {
    const auto key = RepeatedKey("Key");
    std::vector<std::uint8_t> data(16, 0x55);
    vtrrt::DecipherChunk(data.data(), 8, key.data());
    for (std::size_t i = 8; i < 16; ++i)
        EXPECT_EQ(data[i], 0x55);
    EXPECT_NE(std::vector<std::uint8_t>(data.begin(), data.begin() + 8), std::vector<std::uint8_t>(8, 0x55));
}

TEST(ChunkCipher, WithoutKeyNothingChanges) {
    std::vector<std::uint8_t> data{1, 2, 3};
    vtrrt::DecipherChunk(data.data(), data.size(), nullptr);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ChunkCipher, WriterAndLoaderBuildTheSameKeyInBothForms) {
    const std::u16string path = u"C:\\Games\\Demo\\demo.vtp", name = u"Démo", copyright = u"(c) 2026";
    for (bool wide : {false, true}) {
        const auto written = appwriter::MakeApplicationKey(path, name, copyright, wide);
        std::array<std::uint8_t, ApplicationKeySize> loaded{};
        vtrrt::BuildApplicationKey(loaded.data(), path, name, copyright, wide ? 2 : 1);
        EXPECT_EQ(loaded, written);
    }
}

TEST(ChunkCipher, KeyDependsOnHowTheTextIsSplit) {
    std::array<std::uint8_t, ApplicationKeySize> a{}, b{}, empty{};
    vtrrt::BuildApplicationKey(a.data(), std::u16string_view(u"ab"), std::u16string_view(u"c"), {}, 2);
    vtrrt::BuildApplicationKey(b.data(), std::u16string_view(u"a"), std::u16string_view(u"bc"), {}, 2);
    EXPECT_NE(a, b);
    vtrrt::BuildApplicationKey(empty.data(), {}, {}, {}, 1);
    std::array<std::uint8_t, ApplicationKeySize> zero{};
    EXPECT_EQ(empty, zero); // three empty texts leave the key as it was made: zero
}

TEST(ChunkCipher, WriterEnciphersWhatTheLoaderDeciphers) {
    const auto key = appwriter::MakeApplicationKey(u"p", u"n", u"c", true);
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    auto copy = data;
    appwriter::EncipherBytes(copy, key);
    EXPECT_NE(copy, data);
    vtrrt::DecipherChunk(copy.data(), copy.size(), key.data());
    EXPECT_EQ(copy, data);
}

} // namespace
