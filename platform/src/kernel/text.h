// Whole-string conversions behind MultiByteToWideChar and WideCharToMultiByte, for the layer's own use.
#pragma once

#include "win32/kernel.h"

#include <optional>
#include <string>
#include <string_view>

namespace win32::detail {

struct NarrowResult {
    std::string text;
    bool usedDefault = false;
};

// Empty optional: unknown code page (ERROR_INVALID_PARAMETER) or, when `strict`, text that does not convert
// (ERROR_NO_UNICODE_TRANSLATION).
std::optional<std::u16string> DecodeCodePage(UINT codePage, std::string_view bytes, bool strict);
std::optional<NarrowResult> EncodeCodePage(UINT codePage, std::u16string_view text, bool strict,
                                           std::string_view defaultChar);

// The code point that starts at `index` of UTF-16 text, with `index` moved past it; U+FFFD for a lone
// surrogate.
char32_t NextCodePoint(std::u16string_view text, std::size_t& index);

} // namespace win32::detail
