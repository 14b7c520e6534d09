// Speed of the layer's sound mix: 32 looping voices of 16-bit stereo at 44.1 kHz (and at 22.05 kHz, through
// each voice's resampler) with volumes and pans, beside a plain mixing loop. "realtime" is the fraction of a
// second of one core that a second of mixed sound takes.
#include "win32/dsound.h"
#include "win32/sound_testing.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using namespace win32;

constexpr int Voices = 32;
constexpr std::size_t Frames = 1024;
constexpr double MixRate = 44100.0;

std::vector<std::int16_t> Tone(DWORD rate, int voice) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate) * 2);
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
        const double t = static_cast<double>(i) / rate;
        samples[2 * i] = static_cast<std::int16_t>(900 * std::sin(2 * 3.14159265 * (200 + 37 * voice) * t));
        samples[2 * i + 1] = static_cast<std::int16_t>(900 * std::sin(2 * 3.14159265 * (210 + 31 * voice) * t));
    }
    return samples;
}

class Voiced {
public:
    explicit Voiced(DWORD rate) {
        testing::UsePulledSound(true);
        DirectSoundCreate(nullptr, &device_, nullptr);
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, rate, rate * 4, 4, 16, 0};
        for (int v = 0; v < Voices; ++v) {
            const std::vector<std::int16_t> tone = Tone(rate, v);
            DSBUFFERDESC d{sizeof(DSBUFFERDESC), 0x100E0, static_cast<DWORD>(tone.size() * 2), 0, &f};
            IDirectSoundBuffer* b = nullptr;
            if (!device_ || device_->CreateSoundBuffer(&d, &b, nullptr) != DS_OK) continue;
            void* p1 = nullptr;
            DWORD n1 = 0;
            b->Lock(0, d.dwBufferBytes, &p1, &n1, nullptr, nullptr, 0);
            std::memcpy(p1, tone.data(), n1);
            b->Unlock(p1, n1, nullptr, 0);
            b->SetVolume(-20 * v);
            b->SetPan(-3000 + 200 * v);
            b->Play(0, 0, DSBPLAY_LOOPING);
            buffers_.push_back(b);
        }
    }
    ~Voiced() {
        for (IDirectSoundBuffer* b : buffers_)
            b->Release();
        if (device_) device_->Release();
        testing::UsePulledSound(false);
    }
    std::size_t Count() const { return buffers_.size(); }

private:
    IDirectSound* device_ = nullptr;
    std::vector<IDirectSoundBuffer*> buffers_;
};

void Report(benchmark::State& state) {
    const double audioSeconds = static_cast<double>(state.iterations()) * Frames / MixRate;
    state.counters["realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void MixVoices(benchmark::State& state, DWORD rate) {
    Voiced voices(rate);
    if (voices.Count() != Voices) {
        state.SkipWithError("no sound device");
        return;
    }
    std::vector<std::int16_t> out(Frames * 2);
    for (auto _ : state) {
        testing::PullSound(out.data(), Frames);
        benchmark::DoNotOptimize(out.data());
    }
    Report(state);
}

void BM_LayerMix32VoicesAtMixRate(benchmark::State& state) {
    bench::ShowTarget(state, "realtime under 10 ms (1% of real time)");
    MixVoices(state, 44100);
}
BENCHMARK(BM_LayerMix32VoicesAtMixRate);

void BM_LayerMix32VoicesResampled(benchmark::State& state) {
    bench::ShowTarget(state, "realtime under 5 ms (0.5% of real time)");
    MixVoices(state, 22050);
}
BENCHMARK(BM_LayerMix32VoicesResampled);

// The reference: the same voices summed by a plain loop with one gain per side.
void BM_PlainMixLoop32Voices(benchmark::State& state) {
    std::vector<std::vector<std::int16_t>> tones;
    std::vector<float> left, right;
    for (int v = 0; v < Voices; ++v) {
        tones.push_back(Tone(44100, v));
        left.push_back(std::pow(10.0f, (-20.0f * v) / 2000.0f));
        right.push_back(std::pow(10.0f, (-20.0f * v - 3000 + 200 * v) / 2000.0f));
    }
    std::vector<float> sum(Frames * 2);
    std::vector<std::int16_t> out(Frames * 2);
    std::size_t at = 0;
    for (auto _ : state) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int v = 0; v < Voices; ++v) {
            const std::vector<std::int16_t>& tone = tones[static_cast<std::size_t>(v)];
            std::size_t p = at;
            for (std::size_t i = 0; i < Frames; ++i, p = (p + 1) % (tone.size() / 2)) {
                sum[2 * i] += tone[2 * p] / 32768.0f * left[static_cast<std::size_t>(v)];
                sum[2 * i + 1] += tone[2 * p + 1] / 32768.0f * right[static_cast<std::size_t>(v)];
            }
        }
        for (std::size_t i = 0; i < sum.size(); ++i)
            out[i] = static_cast<std::int16_t>(std::clamp(std::lrint(sum[i] * 32768.0f), -32768L, 32767L));
        at = (at + Frames) % 44100;
        benchmark::DoNotOptimize(out.data());
    }
    Report(state);
}
BENCHMARK(BM_PlainMixLoop32Voices);

} // namespace
