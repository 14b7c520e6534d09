// The layer's one sound mix: every playing buffer and MIDI device adds itself into 16-bit stereo frames at
// 44.1 kHz, fed to one SDL audio device (or pulled by tests).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace win32::detail {

constexpr int MixRate = 44100;
constexpr int MixChannels = 2;

// One thing that may sound; it stays in the mix from its creation to its release and is called with the
// mixer's lock held.
class MixSource {
public:
    virtual ~MixSource() = default;
    // Adds `frames` stereo frames at the mix rate into `out` (interleaved, full scale 1.0).
    virtual void MixInto(float* out, std::size_t frames) = 0;
};

class Mixer {
public:
    static Mixer& Get();

    // Counts one more user of the mix, opening the SDL audio device for the first. Without a device the mix
    // still runs at its rate, unheard, so that the sounds keep their time; the device is tried again at
    // most every few seconds, and only its first failure is reported.
    bool Start();
    // The last user gone, the device is closed (or the silent clock stopped), so that no thread of the mix
    // outlives the sound.
    void Stop();
    // The lock of every source's state and of the source list.
    std::mutex& Lock() { return lock_; }
    // Both with the lock held.
    void Add(MixSource* source);
    void Remove(MixSource* source);

    // Mixes the next frames into `out` (2 values per frame).
    void Mix(std::int16_t* out, std::size_t frames);
    void SetPulled(bool pulled);
    bool Pulled() const { return pulled_; }

private:
    Mixer() = default;
    static void DeviceCallback(void* user, std::uint8_t* stream, int bytes);
    void MixLocked(std::int16_t* out, std::size_t frames);
    // Opens the SDL audio device (paused), or says once why it could not; with the lock held.
    std::uint32_t OpenDevice();
    // The silent clock: mixes into nothing at the mix rate while there is no device.
    void KeepTime();

    std::thread clock_;
    std::condition_variable clockStop_;
    bool stopping_ = false;
    bool reported_ = false;
    bool tried_ = false; // a device failed to open at lastTry_
    std::chrono::steady_clock::time_point lastTry_{};

    std::mutex lock_;
    std::vector<MixSource*> sources_;
    std::vector<float> accumulator_;
    std::uint32_t device_ = 0;
    int users_ = 0;
    bool pulled_ = false;
};

} // namespace win32::detail
