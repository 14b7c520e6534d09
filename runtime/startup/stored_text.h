// Text as the application data stores it (8-bit in the application's code page, or UTF-16) made UTF-16.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vtrrt {

// The stored units before the terminator (or the end of the bytes): bytes for 8-bit text, u16 for UTF-16.
std::span<const std::uint8_t> StoredTextBytes(std::span<const std::uint8_t> bytes, bool unicode);

// A new terminated UTF-16 string (FreeMemory) from stored text; null when memory runs out.
win32::WCHAR* StoredTextToWide(std::span<const std::uint8_t> bytes, bool unicode, std::uint32_t codePage);

// Converts 8-bit text into the caller's buffer of `capacity` units, always terminated; returns the units
// written before the terminator.
std::size_t NarrowToWide(std::span<const std::uint8_t> text, std::uint32_t codePage, win32::WCHAR* out,
                         std::size_t capacity);

// The stored text at `at` of a block, which must be terminated inside the block, made UTF-16; nothing when it
// starts past the block's end or runs past it. `next` (when given) gets the offset after the terminator.
std::optional<std::u16string> TerminatedStoredText(std::span<const std::uint8_t> block, std::size_t at,
                                                   bool unicode, std::uint32_t codePage,
                                                   std::size_t* next = nullptr);

} // namespace vtrrt
