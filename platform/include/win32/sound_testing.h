// What tests use to drive the sound layer without a sound card: the mix pulled on demand, periodic timers
// called when the test says, and buffers made to look lost.
#pragma once

#include "win32/types.h"

#include <cstddef>
#include <cstdint>

namespace win32::testing {

// The mix: 16-bit stereo frames at this rate.
constexpr int SoundMixRate = 44100;

// While pulling is on, the audio device is fed silence and the mix advances only through PullSound.
void UsePulledSound(bool on);
// Mixes the next `frames` frames into `samples` (2 x frames values, left first).
void PullSound(std::int16_t* samples, std::size_t frames);

// Every secondary buffer made so far reports itself lost until it is restored.
void LoseSoundBuffers();

// While on, periodic timers are called only by RunMultimediaTimers, on the calling thread.
void UseManualMultimediaTimers(bool on);
// Calls each live timer's callback once, oldest timer first.
void RunMultimediaTimers();

} // namespace win32::testing
