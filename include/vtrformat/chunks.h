// Application data's framing: the data header, the chunk header and its flags, and every chunk id.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtrformat {

constexpr std::uint32_t DataMagicAnsi = 0x41525456; // "VTRA": 8-bit strings in the application's code page
constexpr std::uint32_t DataMagicWide = 0x57525456; // "VTRW": UTF-16 strings
constexpr std::uint16_t DataVersion = 0x0302;
constexpr std::uint32_t DataTypeWord = 3;
constexpr std::size_t DataHeaderSize = 16;
constexpr std::size_t ChunkHeaderSize = 8;
constexpr std::size_t AppHeaderSize = 112;

// Flags of a chunk header.
constexpr std::uint16_t ChunkCompressed = 0x1;
constexpr std::uint16_t ChunkEnciphered = 0x2;

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
    ChunkProgramFile = 0x2240,
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

// The sub-chunks of a frame.
enum FrameChunkId : std::uint16_t {
    ChunkFrameItems = 0x3338,
    ChunkFrameFadeIn = 0x333B,
    ChunkFrameFadeOut = 0x333C,
    ChunkFrameEvents = 0x333D,
    ChunkFrameLayers = 0x3341,
    ChunkFrameVirtualRect = 0x3342,
    ChunkFrameString3343 = 0x3343,
    ChunkFrameRandomSeed = 0x3344,
    ChunkFrameLayerEffects = 0x3345,
    ChunkFrameMoveTimerBase = 0x3347,
    ChunkFrameEffect = 0x3349,
};

// A frame header's flag: the frame has a password chunk.
constexpr std::uint32_t FrameFlagHasPassword = 0x40;
// One layer effect of the layer-effects chunk.
constexpr std::size_t LayerEffectBytes = 20;
// The application menu's shortcut table: the flag of its last entry.
constexpr std::uint8_t ShortcutLast = 0x80;

// The sub-chunks of an object info.
constexpr std::uint16_t ChunkObjectHeader = 0x4444;
constexpr std::uint16_t ChunkObjectName = 0x4445;
constexpr std::uint16_t ChunkObjectDefinition = 0x4446;
constexpr std::uint16_t ChunkObjectEffect = 0x4448;

// The events chunk's item tags, read as little-endian words.
constexpr std::uint32_t EventTagHeader = 0x3E3E5245; // "ER>>"
constexpr std::uint32_t EventTagSize = 0x73655245;   // "ERes"
constexpr std::uint32_t EventTagGroups = 0x76655245; // "ERev"
constexpr std::uint32_t EventTagEnd = 0x52453C3C;    // "<<ER"

} // namespace vtrformat
