// Secondary buffers mixed into the pulled output, checked against a naive mix written here.
#include "support/sound_mix.h"

#include "appwriter/sound_writer.h"
#include "win32/dsound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using namespace win32;
using namespace sound_test;

namespace {

constexpr DWORD Flags =
    DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GETCURRENTPOSITION2;

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits) {
    const WORD block = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0};
}

// One buffer holding the given bytes, released with the fixture.
class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(DirectSoundCreate(nullptr, &device_, nullptr), DS_OK); }
    void TearDown() override {
        for (IDirectSoundBuffer* b : buffers_)
            b->Release();
        if (device_) device_->Release();
    }

    IDirectSoundBuffer* Buffer(WAVEFORMATEX format, const std::vector<BYTE>& bytes, DWORD flags = Flags) {
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), flags, static_cast<DWORD>(bytes.size()), 0, &format};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(b->Lock(0, static_cast<DWORD>(bytes.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, bytes.data(), n1);
        b->Unlock(p1, n1, p2, n2);
        buffers_.push_back(b);
        return b;
    }

    PulledMix mix_;
    IDirectSound* device_ = nullptr;
    std::vector<IDirectSoundBuffer*> buffers_;
};

std::vector<BYTE> Bytes16(const std::vector<std::int16_t>& samples) {
    std::vector<BYTE> out;
    for (std::int16_t s : samples) {
        out.push_back(static_cast<BYTE>(s & 0xFF));
        out.push_back(static_cast<BYTE>((s >> 8) & 0xFF));
    }
    return out;
}

struct LayoutCase {
    const char* name;
    WORD channels;
    WORD bits;
};

class BufferLayouts : public DirectSoundTest, public ::testing::WithParamInterface<LayoutCase> {};

// Each stored sample as a full-scale fraction: 8-bit around 128, 16-bit signed.
double Fraction(const std::vector<BYTE>& bytes, std::size_t sample, WORD bits) {
    if (bits == 8) return (bytes[sample] - 128.0) / 128.0;
    const auto v = static_cast<std::int16_t>(bytes[2 * sample] | (bytes[2 * sample + 1] << 8));
    return v / 32768.0;
}

TEST_P(BufferLayouts, EveryFrameReachesBothSidesAtFullVolume) {
    const LayoutCase& c = GetParam();
    std::vector<BYTE> bytes;
    const std::size_t frames = 64;
    for (std::size_t i = 0; i < frames * c.channels; ++i) {
        if (c.bits == 8)
            bytes.push_back(static_cast<BYTE>(i * 7 % 256));
        else
            for (BYTE b : Bytes16({static_cast<std::int16_t>(i * 977 - 30000)}))
                bytes.push_back(b);
    }
    IDirectSoundBuffer* b = Buffer(Pcm(44100, c.channels, c.bits), bytes);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    const Samples out = Pull(frames + 16);
    for (std::size_t f = 0; f < frames; ++f) {
        const double left = Fraction(bytes, f * c.channels, c.bits);
        const double right = c.channels == 2 ? Fraction(bytes, f * c.channels + 1, c.bits) : left;
        ASSERT_NEAR(out[2 * f], std::clamp(left * 32768.0, -32768.0, 32767.0), 1.0) << "frame " << f;
        ASSERT_NEAR(out[2 * f + 1], std::clamp(right * 32768.0, -32768.0, 32767.0), 1.0) << "frame " << f;
    }
    // A buffer played once stops at its end.
    for (std::size_t f = frames; f < frames + 16; ++f)
        EXPECT_EQ(out[2 * f], 0);
    DWORD status = 1;
    b->GetStatus(&status);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
}

INSTANTIATE_TEST_SUITE_P(DirectSound, BufferLayouts,
                         ::testing::Values(LayoutCase{"Mono8", 1, 8}, LayoutCase{"Stereo8", 2, 8},
                                           LayoutCase{"Mono16", 1, 16}, LayoutCase{"Stereo16", 2, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LevelCase {
    const char* name;
    LONG volume;
    LONG pan;
};

class BufferLevels : public DirectSoundTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(BufferLevels, VolumeAndPanAttenuateEachSideByTheirDecibels) {
    const LevelCase& c = GetParam();
    const std::vector<std::int16_t> tone(2000, 20000);
    IDirectSoundBuffer* b = Buffer(Pcm(44100, 1, 16), Bytes16(tone));
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
    ASSERT_EQ(b->SetPan(c.pan), DS_OK);
    b->Play(0, 0, DSBPLAY_LOOPING);
    const Samples out = Pull(1000);
    const double left = 20000 * GainOfHundredths(c.volume) * GainOfHundredths(c.pan > 0 ? -c.pan : 0);
    const double right = 20000 * GainOfHundredths(c.volume) * GainOfHundredths(c.pan < 0 ? c.pan : 0);
    EXPECT_NEAR(Peak(out, 0), left, 1.0);
    EXPECT_NEAR(Peak(out, 1), right, 1.0);
}

INSTANTIATE_TEST_SUITE_P(DirectSound, BufferLevels,
                         ::testing::Values(LevelCase{"Full", 0, 0}, LevelCase{"Minus6dB", -602, 0},
                                           LevelCase{"Silence", -10000, 0}, LevelCase{"HardLeft", 0, -10000},
                                           LevelCase{"HardRight", 0, 10000},
                                           LevelCase{"HalfRight", -602, 602}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirectSoundTest, LoopingBufferWrapsAndTheCursorFollowsThePulledFrames) {
    std::vector<std::int16_t> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i * 100);
    IDirectSoundBuffer* b = Buffer(Pcm(44100, 1, 16), Bytes16(ramp));
    ASSERT_NE(b, nullptr);
    b->SetCurrentPosition(2 * 90);
    b->Play(0, 0, DSBPLAY_LOOPING);
    const Samples out = Pull(30);
    EXPECT_EQ(out[0], 9000);
    EXPECT_EQ(out[2 * 10], 0) << "wrapped to the start";
    EXPECT_EQ(out[2 * 29], 1900);
    DWORD play = 0, write = 0;
    b->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 2u * 20);
}

TEST_F(DirectSoundTest, OtherRatesAreResampledAndFrequencyChangesThePitch) {
    // 500 Hz at 11,025 Hz: 500 rising crossings a second once resampled to the mix's rate.
    const auto tone = appwriter::ToneSamples(11025, 1, 500.0, 16000, 11025);
    IDirectSoundBuffer* b = Buffer(Pcm(11025, 1, 16), Bytes16(tone));
    ASSERT_NE(b, nullptr);
    b->Play(0, 0, DSBPLAY_LOOPING);
    const int normal = RisingZeroCrossings(Pull(win32::testing::SoundMixRate / 4), 0);
    EXPECT_NEAR(normal, 125, 3);
    ASSERT_EQ(b->SetFrequency(22050), DS_OK);
    Pull(1024); // past the change
    const int doubled = RisingZeroCrossings(Pull(win32::testing::SoundMixRate / 4), 0);
    EXPECT_NEAR(doubled, 250, 4);
    DWORD frequency = 0;
    b->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 22050u);
    EXPECT_EQ(b->SetFrequency(50), DSERR_INVALIDPARAM);
}

// A voice at another rate comes out as the same tone sampled at the mix's rate: every mix frame within 1% of
// the tone's amplitude of the exact sine, for rates that divide the mix's rate and one that does not.
TEST_F(DirectSoundTest, ResampledVoicesFollowTheExactToneAtTheMixRate) {
    constexpr double Hertz = 440.0;
    constexpr std::int16_t Amplitude = 12000;
    for (const DWORD rate : {11025u, 22050u, 32000u}) {
        // One second of the tone: a whole number of its periods, so that the loop is seamless.
        IDirectSoundBuffer* b =
            Buffer(Pcm(rate, 1, 16), Bytes16(appwriter::ToneSamples(rate, 1, Hertz, Amplitude, rate)));
        ASSERT_NE(b, nullptr);
        b->Play(0, 0, DSBPLAY_LOOPING);
        const Samples out = Pull(6000);
        b->Stop();
        double worst = 0;
        for (std::size_t n = 0; n < Frames(out); ++n) {
            const double exact = Amplitude * std::sin(2.0 * 3.14159265358979 * Hertz *
                                                      static_cast<double>(n) / win32::testing::SoundMixRate);
            worst = std::max({worst, std::abs(out[2 * n] - exact), std::abs(out[2 * n + 1] - exact)});
        }
        EXPECT_LE(worst, Amplitude / 100.0) << rate;
    }
}

TEST_F(DirectSoundTest, StoppedBuffersAreSilentAndLostOnesRefuseUntilRestored) {
    IDirectSoundBuffer* b = Buffer(Pcm(44100, 2, 16), Bytes16(std::vector<std::int16_t>(400, 5000)));
    ASSERT_NE(b, nullptr);
    b->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_FALSE(Silent(Pull(10)));
    b->Stop();
    EXPECT_TRUE(Silent(Pull(10)));
    win32::testing::LoseSoundBuffers();
    DWORD status = 0;
    b->GetStatus(&status);
    EXPECT_TRUE(status & DSBSTATUS_BUFFERLOST);
    void* p1 = nullptr;
    DWORD n1 = 0;
    EXPECT_EQ(b->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(b->Restore(), DS_OK);
    EXPECT_EQ(b->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DS_OK);
}

TEST_F(DirectSoundTest, LockWrapsPastTheEndInTwoParts) {
    IDirectSoundBuffer* b = Buffer(Pcm(44100, 1, 16), std::vector<BYTE>(100, 0));
    ASSERT_NE(b, nullptr);
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(80, 40, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(n2, 20u);
    EXPECT_EQ(static_cast<BYTE*>(p1) - static_cast<BYTE*>(p2), 80);
    EXPECT_EQ(b->Lock(100, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, DescriptionsOutsideWhatTheMixTakesAreRefused) {
    struct Bad {
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    WAVEFORMATEX badTag = Pcm(22050, 1, 16);
    badTag.wFormatTag = 3;
    const Bad cases[] = {
        {badTag, 1000, DSERR_BADFORMAT},
        {Pcm(22050, 3, 16), 1000, DSERR_BADFORMAT},
        {Pcm(22050, 1, 24), 1000, DSERR_BADFORMAT},
        {Pcm(50, 1, 16), 1000, DSERR_BADFORMAT},
        {Pcm(22050, 1, 16), 2, DSERR_INVALIDPARAM},
    };
    for (const Bad& c : cases) {
        WAVEFORMATEX f = c.format;
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), Flags, c.bytes, 0, &f};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(device_->CreateSoundBuffer(&d, &b, nullptr), c.expected);
        EXPECT_EQ(b, nullptr);
    }
    // The primary buffer keeps a format and makes no sound.
    DSBUFFERDESC primary{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    IDirectSoundBuffer* p = nullptr;
    ASSERT_EQ(device_->CreateSoundBuffer(&primary, &p, nullptr), DS_OK);
    const WAVEFORMATEX wanted = Pcm(44100, 2, 16);
    EXPECT_EQ(p->SetFormat(&wanted), DS_OK);
    WAVEFORMATEX got{};
    p->GetFormat(&got, sizeof got, nullptr);
    EXPECT_EQ(got.nSamplesPerSec, 44100u);
    p->Release();
}

} // namespace
