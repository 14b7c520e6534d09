// The shell's side of sound: the filter managers and the main window's sound player made after loading
// and released at shutdown, the channel count of an application, the menu's sound switches, the MIDI end
// notice, and the two play routines of the speaker's actions.
#pragma once

#include "vtrs2/sound_channels.h"
#include "win32/types.h"

namespace vtrrt {

struct ApplicationRecord;

// Image and sound filters from the run's temporary folder, and the sound player of the main window.
void StartSoundServices();
// The main window's sound player, made from the sound filters on first use; null without them.
CSoundManager* GetSoundManager();
// Stops the application's samples and every sound of the player, then releases the player.
void ReleaseSoundManager();
// Stops samples and music, releases the sound player, then the sound and image filters.
void ShutdownSound();

// Whether the Options menu lets samples, or music, play.
bool SamplesEnabled();
bool MusicEnabled();
// Plays a sample (a bank handle, or a file name with PlayWideName) on a channel (0: any) for the speaker's
// actions: nothing while samples are off; a file played on a channel is remembered as that channel's file.
void PlaySample(SoundReference sound, win32::DWORD flags, int loops, int channel);
// Plays the music: nothing while music is off; the request is kept in the run state and a file is
// remembered as the application's last music file.
void PlayMusic(SoundReference sound, win32::DWORD flags, int loops);
// 32 channels, or 1, as the application's header asks.
void SetApplicationChannels(const ApplicationRecord& app);
// The samples or the music switched off from the menu.
void StopAllSamples();
void StopMusic();
// MM_MCINOTIFY: with a frame running, a notice other than an abort replays or ends the music.
win32::LRESULT OnMusicNotice(win32::WPARAM notice);

} // namespace vtrrt
