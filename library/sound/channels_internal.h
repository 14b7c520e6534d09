// What the channel and music units share: sound references, and the music operations the plain interface
// dispatches to for kind 2.
#pragma once

#include "vtrs2/context_record.h"
#include "vtrs2/sound_channels.h"

#include <string>
#include <string_view>

namespace sound {

constexpr std::uintptr_t LargestHandle = 0xFFFF;

inline bool IsNameReference(SoundReference sound) {
    return reinterpret_cast<std::uintptr_t>(sound) > LargestHandle && sound != MusicEndNotice();
}
inline win32::DWORD HandleOfReference(SoundReference sound) {
    return static_cast<win32::DWORD>(reinterpret_cast<std::uintptr_t>(sound));
}
inline std::u16string_view NameOfReference(SoundReference sound) {
    return static_cast<const win32::WCHAR*>(sound);
}
bool SameFileName(std::u16string_view a, std::u16string_view b);

// A wide heap copy that the channel or music record owns.
win32::WCHAR* CopyName(std::u16string_view name);

// Stops the channels of the banks' context that play the item, before the item changes or goes.
void StopChannelsOfItem(ContextBanks* banks, win32::DWORD handle);

// The file name a music item's data holds.
std::u16string MusicItemFileName(ContextBanks* banks, win32::DWORD handle);

int PlayMusic(AppContext* context, SoundReference sound, std::u16string_view element, win32::HWND window,
              win32::DWORD flags, int loops, bool ansiEntry);
void CloseMusic(AppContext* context);
void StopMusic(AppContext* context, SoundReference sound);
win32::DWORD PauseMusic(AppContext* context);
win32::DWORD ResumeMusic(AppContext* context);
bool MusicLoaded(const AppContext* context);
bool MusicMatches(const AppContext* context, SoundReference sound);

} // namespace sound
