// The RTF reader: a fixed subset of RTF read into a rich-text document. Control words are known by a small
// hash of their first seven letters, unknown words are ignored and destinations it does not read are
// skipped whole.
#pragma once

#include "richtext/rtf_document.h"

#include "vtrformat/bytes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vtrrt {

// The hash of a control word given with its backslash: letters from the first after the backslash (or the
// backslash itself for a control symbol) up to the word's eighth character, each letter as h * 14 +
// (code - 96) / 2 and anything else added; "\qc" is told from "\pc" by taking 114 for it.
constexpr std::int32_t RtfHashControlWord(std::string_view word) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    std::size_t i = word.size() > 1 && letter(word[1]) ? 1 : 0;
    std::int32_t h = 0;
    for (; i < word.size() && i <= 7; ++i) {
        const int c = static_cast<unsigned char>(word[i]);
        h = letter(word[i]) ? h * 14 + (c - 96) / 2 : h + c;
    }
    if (h == 113 && word == "\\qc") h = 114;
    return h;
}

// What one read gives: a control word or symbol (its hash), "{", "}" or ";" (their codes), text (0), or
// the end (-1).
constexpr std::int32_t TokenText = 0;
constexpr std::int32_t TokenEnd = -1;
constexpr std::size_t TokenTextBytes = 256;

struct RtfToken {
    std::int32_t hash = TokenEnd;
    std::int32_t parameter = -1; // -1 when none was written
    std::string word;            // the control word with its backslash
    std::string text;            // at most TokenTextBytes
};

// The byte reader under the tokenizer, and the character set that decides whether bytes come from the
// OEM code page.
struct RtfInput {
    explicit RtfInput(std::span<const std::uint8_t> bytes) : reader(bytes) {}
    vtrformat::ByteReader reader;
    bool oem = false;
};

std::int32_t RtfReadToken(RtfInput& input, RtfToken& token);

// Reads an RTF text into the document: 0 when it does not start with "{\rtf" (the document is left
// empty), else 1, even when reading stopped early (what was read stays).
int RtfParseDocument(RtfDocument& document, std::span<const std::uint8_t> text);

// Whether bytes start as RTF does.
bool LooksLikeRtf(std::span<const std::uint8_t> text);

} // namespace vtrrt
