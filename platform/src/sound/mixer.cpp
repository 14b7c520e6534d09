#include "sound/mixer.h"

#include "win32/sound_testing.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace win32::detail {

namespace {

constexpr int DeviceFrames = 1024;

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

bool Mixer::Start() {
    std::lock_guard guard(lock_);
    if (!device_ && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{};
        want.freq = MixRate;
        want.format = AUDIO_S16SYS;
        want.channels = MixChannels;
        want.samples = DeviceFrames;
        want.callback = &Mixer::DeviceCallback;
        want.userdata = this;
        // No changes allowed: SDL converts to whatever the hardware takes.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (device_)
            SDL_PauseAudioDevice(device_, 0);
        else
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (!device_ && !pulled_) return false;
    ++users_;
    return true;
}

void Mixer::Stop() {
    std::uint32_t closing = 0;
    {
        std::lock_guard guard(lock_);
        if (users_ > 0 && --users_ == 0) std::swap(closing, device_);
    }
    // Outside the lock: closing waits for the audio thread, whose callback takes it.
    if (closing) {
        SDL_CloseAudioDevice(closing);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
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
