// The plain sound interface: sound and music items of bank 1, samples played on the 32 channels of an
// application context with volume, pan and frequency, and one MIDI music through the MCI sequencer.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/sound_records.h"
#include "win32/types.h"

struct AppContext;
struct ContextBanks;
class CSoundManager;

// A sound reference: a bank-1 handle when its value is 0xFFFF or below, else a wide file name (names
// compare without regard to case).
using SoundReference = const void*;
inline SoundReference SoundHandle(win32::DWORD handle) {
    return reinterpret_cast<SoundReference>(static_cast<std::uintptr_t>(handle));
}

// ---- Items ------------------------------------------------------------------------------------------------

// A new item (kind word: SoundKind*, SoundInFile or SoundStreamedFromFile with a SoundFileDescriptor as
// data, SoundDeduplicate); 0 on failure.
VTRS2_API win32::DWORD AddSoundItemW(ContextBanks* banks, win32::DWORD kind, const win32::WCHAR* name,
                                     const void* data, win32::DWORD size);
VTRS2_API win32::DWORD AddSoundItemA(ContextBanks* banks, win32::DWORD kind, const char* name,
                                     const void* data, win32::DWORD size);
// The item at the handle replaced, its count kept.
VTRS2_API win32::DWORD ReplaceSoundItemW(ContextBanks* banks, win32::DWORD kind, win32::DWORD handle,
                                         const win32::WCHAR* name, const void* data, win32::DWORD size);
VTRS2_API win32::DWORD ReplaceSoundItemA(ContextBanks* banks, win32::DWORD kind, win32::DWORD handle,
                                         const char* name, const void* data, win32::DWORD size);
VTRS2_API win32::LONG ReleaseSoundItem(ContextBanks* banks, win32::DWORD handle);
VTRS2_API win32::LONG AddRefSoundItem(ContextBanks* banks, win32::DWORD handle);
// The first item (lowest handle) of the kind whose name matches; 0 when none.
VTRS2_API win32::DWORD FindSoundItemW(ContextBanks* banks, win32::DWORD kind, const win32::WCHAR* name);
VTRS2_API win32::DWORD FindSoundItemA(ContextBanks* banks, win32::DWORD kind, const char* name);
// The data size; the data is copied when a buffer is given. 0 for a bad handle.
VTRS2_API win32::DWORD GetSoundItemData(ContextBanks* banks, win32::DWORD handle, void* buffer);
VTRS2_API const void* GetSoundItemDataPointer(ContextBanks* banks, win32::DWORD handle);
VTRS2_API int GetSoundItemInfo(ContextBanks* banks, win32::DWORD handle, SoundItemInfo* info);
VTRS2_API int GetSoundItemInfoA(ContextBanks* banks, win32::DWORD handle, SoundItemInfo* info);
VTRS2_API int GetSoundItemNameW(ContextBanks* banks, win32::DWORD handle, win32::WCHAR* buffer, int capacity);
VTRS2_API int GetSoundItemNameA(ContextBanks* banks, win32::DWORD handle, char* buffer, int capacity);
VTRS2_API int SetSoundItemKind(ContextBanks* banks, win32::DWORD handle, win32::DWORD kind);

// ---- Playing ----------------------------------------------------------------------------------------------

// Results of PlaySoundItemW besides an MCI error code for music.
constexpr int PlayStarted = 0;
constexpr int PlayFailed = -1;
constexpr int PlayNoChannel = 1;

// `channel` 0 chooses one. Without a manager a sample is only prepared.
VTRS2_API int PlaySoundItemW(CSoundManager* manager, AppContext* context, SoundReference sound,
                             win32::HWND window, win32::DWORD flags, int loops, int channel);
// With an ANSI file name (play flag 0x40 instead of 0x80).
VTRS2_API int PlaySoundItemA(CSoundManager* manager, AppContext* context, const void* sound,
                             win32::HWND window, win32::DWORD flags, int loops, int channel);
// Kind 2: the music (`sound` -1 handles the end notice: a looping music plays again). Otherwise every
// channel holding the sound, or with null every channel.
VTRS2_API void StopSound(AppContext* context, int kind, SoundReference sound);
inline SoundReference MusicEndNotice() {
    return reinterpret_cast<SoundReference>(static_cast<std::intptr_t>(-1));
}
VTRS2_API win32::DWORD PauseSound(AppContext* context, int kind, SoundReference sound);
VTRS2_API win32::DWORD ResumeSound(AppContext* context, int kind, SoundReference sound);
// Bit 0: a matching (or with null, any) sample plays or is paused; bit 1 (with null): music is loaded.
VTRS2_API int IsSoundPlaying(AppContext* context, SoundReference sound);
VTRS2_API int IsSoundPaused(AppContext* context, SoundReference sound);
// 1..usable count, or 0.
VTRS2_API int FindChannelOfSound(AppContext* context, SoundReference sound);

// ---- Channels and master values (channels 1..usable count; others do nothing and answer 0) ------------

VTRS2_API int SetChannelVolume(AppContext* context, int channel, int volume);
VTRS2_API int SetChannelPan(AppContext* context, int channel, int pan);
VTRS2_API int SetChannelFrequency(AppContext* context, int channel, win32::DWORD frequency);
VTRS2_API int SetChannelPosition(AppContext* context, int channel, win32::DWORD milliseconds);
VTRS2_API int GetChannelVolume(AppContext* context, int channel);
VTRS2_API int GetChannelPan(AppContext* context, int channel);
VTRS2_API win32::DWORD GetChannelFrequency(AppContext* context, int channel);
VTRS2_API win32::DWORD GetChannelDuration(AppContext* context, int channel);
VTRS2_API win32::DWORD GetChannelPosition(AppContext* context, int channel);
// 1 while the sound plays or is paused; a finished one is freed.
VTRS2_API int IsChannelPlaying(AppContext* context, int channel);
VTRS2_API int IsChannelPaused(AppContext* context, int channel);
VTRS2_API int PauseChannel(AppContext* context, int channel);
VTRS2_API int ResumeChannel(AppContext* context, int channel);
VTRS2_API int StopChannel(AppContext* context, int channel);
// A reserved channel is passed over by the automatic choice.
VTRS2_API int SetChannelLocked(AppContext* context, int channel, int locked);
// Clamped to 1..32; returns it.
VTRS2_API int SetChannelCount(AppContext* context, int count);

// On the first channel holding the sound; kind 2 does nothing (or answers 0).
VTRS2_API int SetSoundVolume(AppContext* context, int kind, SoundReference sound, int volume);
VTRS2_API int SetSoundPan(AppContext* context, int kind, SoundReference sound, int pan);
VTRS2_API int SetSoundFrequency(AppContext* context, int kind, SoundReference sound, win32::DWORD frequency);
VTRS2_API int SetSoundPosition(AppContext* context, int kind, SoundReference sound,
                               win32::DWORD milliseconds);
VTRS2_API int GetSoundVolume(AppContext* context, int kind, SoundReference sound);
VTRS2_API int GetSoundPan(AppContext* context, int kind, SoundReference sound);
VTRS2_API win32::DWORD GetSoundFrequency(AppContext* context, int kind, SoundReference sound);
VTRS2_API win32::DWORD GetSoundDuration(AppContext* context, int kind, SoundReference sound);
VTRS2_API win32::DWORD GetSoundPosition(AppContext* context, int kind, SoundReference sound);

// Kind must be 1 (samples). Stored clamped, then sent again to every channel that holds a sound.
VTRS2_API int SetMasterVolume(AppContext* context, int kind, int volume);
VTRS2_API int SetMasterPan(AppContext* context, int kind, int pan);
VTRS2_API int GetMasterVolume(AppContext* context, int kind);
VTRS2_API int GetMasterPan(AppContext* context, int kind);

// What a channel's sound receives: channel x master / 10 (0..1000), and (channel + master) x 10 held to
// -1000..1000.
VTRS2_API int ChannelSoundVolume(int channelVolume, int masterVolume);
VTRS2_API int ChannelSoundPan(int channelPan, int masterPan);
