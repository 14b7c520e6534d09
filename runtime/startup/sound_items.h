// The application's samples and music in the library's sound bank: loading them with the banks, and
// stopping what the application plays.
#pragma once

#include "startup/banks.h"

#include "win32/types.h"

#include <cstdint>
#include <string_view>

namespace vtrrt {

struct ApplicationRecord;

// The sample (kind AppBankSounds) or music item at the bank stream's position, added to the library; 0 when
// it cannot be read or added. Music is written to a file of the application's music folder first.
std::uint32_t LoadSoundBankItem(ApplicationBanks& banks, int kind);
void AddSoundItemReference(ApplicationBanks& banks, std::uint32_t handle);
// The last release of an extracted music item deletes its file.
void ReleaseSoundItemReference(ApplicationBanks& banks, int kind, std::uint32_t handle);

// A copy on the library's heap, which the application record frees with the library's memory functions;
// null when memory runs out.
win32::WCHAR* HeapCopy(std::u16string_view text);

// For LoadFrameBankItems: whether the library still plays the item.
bool IsApplicationSoundPlaying(int kind, std::uint32_t handle);

// Stops the application's samples and music: those of its banks and the files the speaker remembers.
void StopApplicationSounds(ApplicationRecord& app);
// Frees the names of the files the speaker remembers (when the application closes).
void FreeRememberedSounds(ApplicationRecord& app);
// At the end of a frame's run: the same, unless the header keeps sounds playing across frames.
void StopFrameSounds(ApplicationRecord& app);

} // namespace vtrrt
