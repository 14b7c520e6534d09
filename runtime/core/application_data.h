// The stored layout of application data: data header, chunk framing, chunk ids and the application header.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "vtrformat/chunks.h"

namespace vtrrt {

using namespace vtrformat;

struct ApplicationDataHeader {
    std::uint32_t magic = 0;
    std::uint16_t version = 0;
    std::uint16_t reserved = 0;
    std::uint32_t typeWord = 0;
    std::uint32_t build = 0;
};

struct ChunkHeader {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    std::uint32_t size = 0;
};

// Flags word 1 (header offset 4).
constexpr std::uint16_t AppFlags1Effects = 0x10;
constexpr std::uint16_t AppFlags1FullScreen = 0x800;
constexpr std::uint16_t AppFlags1KeepViewMenu = 0x1000;
// Flags word 2 (offset 6).
constexpr std::uint16_t AppFlags2NoPasswords = 0x4;
constexpr std::uint16_t AppFlags2WindowOption = 0x8;
constexpr std::uint16_t AppFlags2NoCloseCommand = 0x200;
constexpr std::uint16_t AppFlags2NoThemes = 0x800;
// Flags word 3 (offset 10).
constexpr std::uint16_t AppFlags3ResetSharing = 0x8;
constexpr std::uint16_t AppFlags3RelocateToTemp = 0x40;

// The application header (chunk 0x2223), every field of its 112 bytes. Header word N in the shell's
// terms is the 16-bit field at offset N.
struct ApplicationHeader {
    std::uint32_t size = 0;
    std::uint16_t flags1 = 0;      // offset 4
    std::uint16_t flags2 = 0;      // offset 6
    std::uint16_t graphicMode = 0; // offset 8
    std::uint16_t flags3 = 0;      // offset 10
    std::uint16_t windowWidth = 0;
    std::uint16_t windowHeight = 0;
    std::uint32_t initialScore = 0; // stored complemented
    std::uint32_t initialLives = 0; // stored complemented
    std::array<std::uint16_t, 4> controlTypes{};
    std::array<std::array<std::uint16_t, 8>, 4> controlKeys{};
    std::uint32_t borderColour = 0; // offset 96: the main window around the frame
    std::int32_t frameCount = 0;
    std::int32_t frameRate = 0;
    std::uint32_t reserved108 = 0;
};

// Reads the 16-byte data header; false when fewer bytes are given.
bool ParseDataHeader(std::span<const std::uint8_t> bytes, ApplicationDataHeader& out);
// Reads the header fields present in `bytes` (a shorter chunk leaves the rest zero).
void ParseApplicationHeader(std::span<const std::uint8_t> bytes, ApplicationHeader& out);
// Reads the 8-byte chunk header; false when fewer bytes are given.
bool ParseChunkHeader(std::span<const std::uint8_t> bytes, ChunkHeader& out);

} // namespace vtrrt
