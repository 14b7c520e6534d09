// The bits of the application header's option words that the shell's windows follow.
#pragma once

#include <cstdint>

namespace vtrrt {

// Word at offset 4 (`ApplicationHeader::flags1`).
constexpr std::uint16_t HeaderMaximizedStart = 0x1; // caption height counts when centring a maximize
constexpr std::uint16_t HeaderFullScreen = 0x2;
constexpr std::uint16_t HeaderKeepRatio = 0x4; // a fitted frame keeps its aspect ratio
constexpr std::uint16_t HeaderFitFrame = 0x10; // the frame is fitted (stretched) to the window
constexpr std::uint16_t HeaderNoMenuBar = 0x80;
constexpr std::uint16_t HeaderMenuBar = 0x100;          // the menu bar is shown, and may be hidden
constexpr std::uint16_t HeaderAllSoundChannels = 0x400; // 32 sound channels, else 1
constexpr std::uint16_t HeaderStartMaximized = 0x200;
constexpr std::uint16_t HeaderFullScreenSwitching = 0x1000;

// Word at offset 6 (`ApplicationHeader::flags2`).
constexpr std::uint16_t HeaderKeepSounds = 0x1; // samples and music play on across frames
constexpr std::uint16_t HeaderNoMinimizeBox = 0x10;
constexpr std::uint16_t HeaderNoMaximizeBox = 0x20;
constexpr std::uint16_t HeaderNoThickFrame = 0x40;
constexpr std::uint16_t HeaderNoCentring = 0x80;
constexpr std::uint16_t HeaderNeverMaximize = 0x400;
constexpr std::uint16_t HeaderRunWhileMinimized = 0x2000;
constexpr std::uint16_t HeaderMdi = 0x4000;
constexpr std::uint16_t HeaderRunInModalLoops = 0x8000;

// Word at offset 10 (`ApplicationHeader::flags3`).
constexpr std::uint16_t HeaderSoundsGlobalFocus = 0x0800; // samples play on while another window is active

// First word of the extended-options chunk.
constexpr std::uint32_t ExtendedRtlReading = 0x20;
constexpr std::uint32_t ExtendedRtlLayout = 0x80;

} // namespace vtrrt
