// The shell's side of sound: the filter managers and the main window's sound player made after loading
// and released at shutdown, the channel count of an application, the menu's sound switches and the MIDI
// end notice.
#pragma once

#include "win32/types.h"

namespace vtrrt {

struct ApplicationRecord;

// Image and sound filters from the run's temporary folder, and the sound player of the main window.
void StartSoundServices();
// Stops samples and music, releases the sound player, then the sound and image filters.
void ShutdownSound();
// 32 channels, or 1, as the application's header asks.
void SetApplicationChannels(const ApplicationRecord& app);
// The samples or the music switched off from the menu.
void StopAllSamples();
void StopMusic();
// MM_MCINOTIFY: with a frame running, a notice other than an abort replays or ends the music.
win32::LRESULT OnMusicNotice(win32::WPARAM notice);

} // namespace vtrrt
