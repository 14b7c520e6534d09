// Samples played on channels through the sound filter and the DirectSound back end, checked sample by
// sample in the pulled mix.
#include "sound_fixture.h"

#include <algorithm>
#include <cmath>

using namespace win32;
using namespace sound_test;

namespace {

using Playback = SoundFixture;

TEST_F(Playback, AStreamedSoundLongerThanTheRingPlaysWholeAndThenEnds) {
    const appwriter::WavDesc wav = ToneWav(3.0);
    const DWORD handle = AddSample(wav);
    ASSERT_EQ(Play(handle), PlayStarted);
    const int channel = FindChannelOfSound(context_, SoundHandle(handle));
    ASSERT_EQ(channel, 1);
    EXPECT_EQ(GetChannelDuration(context_, channel), 3000u);
    const Samples mix = Run(66); // 3.3 seconds
    const Samples left = Left(mix);
    ASSERT_GE(left.size(), wav.samples.size());
    EXPECT_TRUE(std::equal(wav.samples.begin(), wav.samples.end(), left.begin()));
    EXPECT_TRUE(std::all_of(left.begin() + static_cast<std::ptrdiff_t>(wav.samples.size()), left.end(),
                            [](std::int16_t s) { return s == 0; }));
    EXPECT_EQ(IsChannelPlaying(context_, channel), 0) << "heard to its end";
    EXPECT_EQ(FindChannelOfSound(context_, SoundHandle(handle)), 0) << "and the channel freed";
}

TEST_F(Playback, LoopsPlayTheDataThatManyTimesThenSilence) {
    const appwriter::WavDesc wav = ToneWav(0.1);
    const DWORD handle = AddSample(wav);
    ASSERT_EQ(Play(handle, PlayLoops, 3), PlayStarted);
    const Samples left = Left(Run(12));
    for (int loop = 0; loop < 3; ++loop)
        EXPECT_TRUE(std::equal(wav.samples.begin(), wav.samples.end(), left.begin() + loop * 4410)) << loop;
    EXPECT_TRUE(std::all_of(left.begin() + 3 * 4410, left.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_EQ(IsChannelPlaying(context_, 1), 0);
}

TEST_F(Playback, PauseHoldsThePlaceAndResumeGoesOnFromIt) {
    const appwriter::WavDesc wav = ToneWav(1.0);
    const DWORD handle = AddSample(wav);
    ASSERT_EQ(Play(handle), PlayStarted);
    Samples heard = Left(Run(6));
    ASSERT_EQ(PauseSound(context_, SoundKindSample, SoundHandle(handle)), 0u);
    EXPECT_EQ(IsSoundPaused(context_, SoundHandle(handle)), 1);
    EXPECT_EQ(IsChannelPlaying(context_, 1), 1) << "a paused sound holds its channel";
    const DWORD at = GetChannelPosition(context_, 1);
    EXPECT_TRUE(Silent(Run(4)));
    EXPECT_EQ(GetChannelPosition(context_, 1), at);
    ASSERT_EQ(ResumeChannel(context_, 1), 1);
    const Samples rest = Left(Run(20));
    heard.insert(heard.end(), rest.begin(), rest.end());
    EXPECT_TRUE(std::equal(wav.samples.begin(), wav.samples.end(), heard.begin()));
}

TEST_F(Playback, FrequencyChangesThePitch) {
    const DWORD handle = AddSample(ToneWav(2.0, 441.0));
    ASSERT_EQ(Play(handle), PlayStarted);
    const int normal = RisingZeroCrossings(Run(5), 0); // a quarter of a second
    EXPECT_NEAR(normal, 110, 2);
    ASSERT_EQ(SetChannelFrequency(context_, 1, 88200), 1);
    EXPECT_EQ(GetChannelFrequency(context_, 1), 88200u);
    Run(1);
    const int raised = RisingZeroCrossings(Run(5), 0);
    EXPECT_NEAR(raised, 220, 4);
}

struct LevelCase {
    const char* name;
    int volume;
    int pan;
};

class Levels : public SoundFixture, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(Levels, VolumeAndPanGiveTheExpectedAmplitudePerSide) {
    const LevelCase& c = GetParam();
    const DWORD handle = AddSample(ToneWav(0.5, 441.0, 20000));
    ASSERT_EQ(Play(handle), PlayStarted);
    SetChannelVolume(context_, 1, c.volume);
    SetChannelPan(context_, 1, c.pan);
    const Samples mix = Run(4);
    // Hundredths of a decibel: the volume's 2000 x log10(v / 100), the pan's 100 per unit on the far side.
    const double volume = c.volume >= 100 ? 0.0 : static_cast<int>(2000.0 * std::log10(c.volume / 100.0));
    const double left = 20000 * GainOfHundredths(volume) * GainOfHundredths(c.pan > 0 ? -100.0 * c.pan : 0);
    const double right = 20000 * GainOfHundredths(volume) * GainOfHundredths(c.pan < 0 ? 100.0 * c.pan : 0);
    EXPECT_NEAR(Peak(mix, 0), left, 2.0);
    EXPECT_NEAR(Peak(mix, 1), right, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Sound, Levels,
                         ::testing::Values(LevelCase{"Full", 100, 0}, LevelCase{"Half", 50, 0},
                                           LevelCase{"FullLeft", 100, -100}, LevelCase{"FullRight", 100, 100},
                                           LevelCase{"HalfLeft", 50, -100}, LevelCase{"HalfRight", 50, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Playback, AServiceGapLongerThanTheRingGoesOnFromTheWrittenDataInsteadOfStaleAudio) {
    const appwriter::WavDesc wav = ToneWav(4.0, 300.0);
    const DWORD handle = AddSample(wav);
    ASSERT_EQ(Play(handle), PlayStarted);
    const std::size_t ring = 52920; // 1.2 seconds of frames
    Pull(ring + 4410);              // 1.3 seconds with no service at all
    TestClockNow() += 1300;
    win32::testing::RunMultimediaTimers();
    const Samples after = Left(Run(4));
    EXPECT_TRUE(
        std::equal(after.begin(), after.end(), wav.samples.begin() + static_cast<std::ptrdiff_t>(ring)))
        << "what follows the ring's data, not a replay of its start";
}

TEST_F(Playback, ALostBufferIsRestoredAndRefilledBeforePlayingOn) {
    const DWORD handle = AddSample(ToneWav(2.0));
    ASSERT_EQ(Play(handle), PlayStarted);
    Run(4);
    win32::testing::LoseSoundBuffers();
    EXPECT_TRUE(Silent(Pull(100))) << "a lost buffer is not heard";
    win32::testing::RunMultimediaTimers();
    EXPECT_FALSE(Silent(Run(2)));
    EXPECT_EQ(IsChannelPlaying(context_, 1), 1);
    Run(60);
    EXPECT_EQ(IsChannelPlaying(context_, 1), 0) << "and still ends";
}

TEST_F(Playback, PositionsAreMillisecondsAndAPositionBeyondTheEndGoesToTheEnd) {
    const DWORD handle = AddSample(ToneWav(2.0));
    ASSERT_EQ(Play(handle), PlayStarted);
    Run(10);
    EXPECT_NEAR(GetChannelPosition(context_, 1), 500.0, 60.0);
    SetChannelPosition(context_, 1, 1500);
    EXPECT_EQ(GetChannelPosition(context_, 1), 1500u);
    const Samples left = Left(Run(2));
    const appwriter::WavDesc wav = ToneWav(2.0);
    EXPECT_TRUE(std::equal(left.begin(), left.begin() + 100, wav.samples.begin() + 66150));
    SetChannelPosition(context_, 1, 99999);
    EXPECT_EQ(GetChannelPosition(context_, 1), GetChannelDuration(context_, 1));
}

} // namespace

namespace {

TEST_F(Playback, ATickThatFindsTheServiceBusyDoesNothing) {
    const appwriter::WavDesc wav = ToneWav(3.0, 300.0);
    ASSERT_EQ(Play(AddSample(wav)), PlayStarted);
    const std::size_t ring = 52920;
    Pull(44100); // a second of the ring heard, none of it refilled yet
    manager_->GetDevice()->SuspendService();
    TestClockNow() += 50;
    win32::testing::RunMultimediaTimers();
    manager_->GetDevice()->ResumeService();
    // Without the refill the ring goes round to what it held from the start.
    const Samples left = Left(Pull(ring - 44100 + 1000));
    EXPECT_TRUE(std::equal(left.begin() + static_cast<std::ptrdiff_t>(ring - 44100), left.end(),
                           wav.samples.begin()));
}

} // namespace
