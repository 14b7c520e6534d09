// What the sound units share inside the library: the process-wide lock, the device, the service clock.
#pragma once

#include "vtrs2/sound.h"

namespace sound {

void EnterSoundLock();
void LeaveSoundLock();

// The device made by the first sound-filter manager's scan; null before and after.
CSoundAPI* Device();
void SetDevice(CSoundAPI* device);

// Milliseconds for the service's gap check (timeGetTime unless a test sets its own clock).
win32::DWORD ServiceClock();

// A sound going away leaves no channel of the thread's contexts pointing at it.
void ForgetChannelSound(CSound* sound);

// Makes the DirectSound device of a sound-filter manager.
CSoundAPI* CreateDirectSoundDevice(CSoundFilterMgr* filters);

// The output format's average bytes per second, never 0.
win32::DWORD AverageBytesPerSecond(const win32::WAVEFORMATEX& format);

} // namespace sound
