// The stored layout of application data: data header, chunk framing, chunk ids and the application header.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vtrrt {

constexpr std::uint32_t DataMagicAnsi = 0x41525456; // "VTRA": 8-bit strings in the application's code page
constexpr std::uint32_t DataMagicWide = 0x57525456; // "VTRW": UTF-16 strings
constexpr std::uint16_t DataVersion = 0x0302;
constexpr std::uint32_t DataTypeWord = 3;
constexpr std::size_t DataHeaderSize = 16;
constexpr std::size_t ChunkHeaderSize = 8;
constexpr std::size_t AppHeaderSize = 112;

enum ChunkId : std::uint16_t {
    ChunkAppHeader = 0x2223,
    ChunkAppName = 0x2224,
    ChunkAppAuthor = 0x2225,
    ChunkAppMenu = 0x2226,
    ChunkAppTempFolder = 0x2227,
    ChunkExtensionList = 0x2228,
    ChunkObjectInfos = 0x2229,
    ChunkFrameHandles = 0x222B,
    ChunkAppProjectPath = 0x222E,
    ChunkAppTargetPath = 0x222F,
    ChunkAppHelpFile = 0x2230,
    ChunkAppModuleNames = 0x2231,
    ChunkGlobalValues = 0x2232,
    ChunkGlobalStrings = 0x2233,
    ChunkExtensionListW = 0x2234,
    ChunkAppIcon = 0x2235,
    ChunkIncompatible = 0x2236,
    ChunkEmbeddedFiles = 0x2238,
    ChunkAppImageList = 0x2239,
    ChunkAppAboutText = 0x223A,
    ChunkAppCopyright = 0x223B,
    ChunkMovementModules = 0x223E,
    ChunkObjectInfosB = 0x223F,
    ChunkEffectBank = 0x2243,
    ChunkAppExtendedOptions = 0x2245,
    ChunkAppCodePage = 0x2246,
    ChunkAppRunOptions = 0x224D,
    ChunkFrame = 0x3333,
    ChunkFrameHeader = 0x3334,
    ChunkFrameName = 0x3335,
    ChunkFramePassword = 0x3336,
    ChunkFramePalette = 0x3337,
    ChunkImageOffsets = 0x5555,
    ChunkFontOffsets = 0x5556,
    ChunkSoundOffsets = 0x5557,
    ChunkMusicOffsets = 0x5558,
    ChunkImageBank = 0x6666,
    ChunkFontBank = 0x6667,
    ChunkSoundBank = 0x6668,
    ChunkMusicBank = 0x6669,
    ChunkEnd = 0x7F7F,
};

constexpr std::uint16_t ChunkCompressed = 0x1;
constexpr std::uint16_t ChunkEnciphered = 0x2;

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
