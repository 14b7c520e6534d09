#include "sound/mixer.h"

#include "win32/sound_testing.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include <dlfcn.h>

namespace win32::detail {

namespace {

constexpr int DeviceFrames = 1024;
// How long a missing device is left alone before it is tried again.
constexpr auto RetryDeviceAfter = std::chrono::seconds(5);

void SayNothing(const char*, int, const char*, int, const char*, ...) {}

// ALSA's own messages, several lines for each device that does not open, would repeat what the mix says
// once. SDL loads the library by name; the handler set here is the one SDL's calls see.
void QuietAlsa() {
    static const bool done = [] {
        using SetHandler = int (*)(decltype(&SayNothing));
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa) return true;
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(&SayNothing);
        return true; // the library stays loaded: the handler lives in it
    }();
    (void)done;
}

// The layer never reads SDL's audio hot-plug events; queued from SDL's own threads, each would also wake
// the event wait through a window that may be going away.
void IgnoreAudioDeviceEvents() {
    SDL_EventState(SDL_AUDIODEVICEADDED, SDL_IGNORE);
    SDL_EventState(SDL_AUDIODEVICEREMOVED, SDL_IGNORE);
}

std::int16_t ToSample(float value) {
    const long scaled = std::lrint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp<long>(scaled, -32768, 32767));
}

} // namespace

Mixer& Mixer::Get() {
    // Never destroyed: SDL's audio thread may still call in while the process exits.
    static auto* mixer = new Mixer;
    return *mixer;
}

std::uint32_t Mixer::OpenDevice() {
    tried_ = true;
    lastTry_ = std::chrono::steady_clock::now();
    QuietAlsa();
    IgnoreAudioDeviceEvents();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (!std::exchange(reported_, true))
            std::fprintf(stderr, "vtr: no sound: no audio driver started (%s); the game goes on silent\n",
                         SDL_GetError());
        return 0;
    }
    IgnoreAudioDeviceEvents();
    SDL_AudioSpec want{};
    want.freq = MixRate;
    want.format = AUDIO_S16SYS;
    want.channels = MixChannels;
    want.samples = DeviceFrames;
    want.callback = &Mixer::DeviceCallback;
    want.userdata = this;
    // No changes allowed: SDL converts to whatever the hardware takes.
    const std::uint32_t device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!device) {
        if (!std::exchange(reported_, true)) {
            // The device asked for is the driver's default one, or the one AUDIODEV names.
            const char* name = SDL_getenv("AUDIODEV");
            std::fprintf(stderr,
                         "vtr: no sound: the %s audio device \"%s\" did not open (%s); the game goes on "
                         "silent\n",
                         SDL_GetCurrentAudioDriver(), name && *name ? name : "default", SDL_GetError());
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return device;
}

bool Mixer::Start() {
    std::lock_guard guard(lock_);
    const bool due = !tried_ || std::chrono::steady_clock::now() - lastTry_ >= RetryDeviceAfter;
    if (!device_ && !clock_.joinable() && due) {
        // Still paused, its callback has not run: starting it with the lock held cannot wait on the lock.
        // Only a device that failed to open waits before it is tried again: one that opened and was closed
        // when its last user went opens again at once.
        if ((device_ = OpenDevice())) {
            tried_ = false;
            SDL_PauseAudioDevice(device_, 0);
        }
    }
    if (!device_ && !pulled_ && !clock_.joinable()) {
        stopping_ = false;
        clock_ = std::thread(&Mixer::KeepTime, this);
    }
    ++users_;
    return true;
}

void Mixer::Stop() {
    std::uint32_t closing = 0;
    std::thread clock;
    {
        std::lock_guard guard(lock_);
        if (users_ > 0 && --users_ == 0) {
            std::swap(closing, device_);
            stopping_ = true;
            std::swap(clock, clock_);
        }
    }
    clockStop_.notify_all();
    if (clock.joinable()) clock.join();
    // Outside the lock: closing waits for the audio thread, whose callback takes it.
    if (closing) {
        SDL_CloseAudioDevice(closing);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void Mixer::KeepTime() {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(DeviceFrames) / MixRate));
    std::vector<std::int16_t> nowhere(static_cast<std::size_t>(DeviceFrames) * MixChannels);
    auto next = Clock::now();
    std::unique_lock guard(lock_);
    while (!stopping_) {
        next += period;
        if (clockStop_.wait_until(guard, next, [this] { return stopping_; })) break;
        if (!pulled_) MixLocked(nowhere.data(), DeviceFrames);
    }
}

void Mixer::Add(MixSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void Mixer::Remove(MixSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void Mixer::MixLocked(std::int16_t* out, std::size_t frames) {
    accumulator_.assign(frames * MixChannels, 0.0f);
    for (MixSource* source : sources_)
        source->MixInto(accumulator_.data(), frames);
    for (std::size_t i = 0; i < frames * MixChannels; ++i)
        out[i] = ToSample(accumulator_[i]);
}

void Mixer::Mix(std::int16_t* out, std::size_t frames) {
    std::lock_guard guard(lock_);
    MixLocked(out, frames);
}

void Mixer::SetPulled(bool pulled) {
    std::lock_guard guard(lock_);
    pulled_ = pulled;
}

void Mixer::DeviceCallback(void* user, std::uint8_t* stream, int bytes) {
    auto* mixer = static_cast<Mixer*>(user);
    const std::size_t frames = static_cast<std::size_t>(bytes) / (sizeof(std::int16_t) * MixChannels);
    std::lock_guard guard(mixer->lock_);
    if (mixer->pulled_) {
        std::fill(stream, stream + bytes, std::uint8_t{0});
        return;
    }
    mixer->MixLocked(reinterpret_cast<std::int16_t*>(stream), frames);
}

} // namespace win32::detail

namespace win32::testing {

void UsePulledSound(bool on) {
    detail::Mixer::Get().SetPulled(on);
}

void PullSound(std::int16_t* samples, std::size_t frames) {
    detail::Mixer::Get().Mix(samples, frames);
}

} // namespace win32::testing
