// The channel choice, protection and reservation, and the volume, pan and count arithmetic of the channels.
#include "sound_fixture.h"

using namespace win32;
using namespace sound_test;

namespace {

class Channels : public SoundFixture {
protected:
    void SetUp() override {
        SoundFixture::SetUp();
        SetChannelCount(context_, 3);
        for (int i = 0; i < 4; ++i)
            sounds_[i] = AddSample(ToneWav(0.2, 441.0 + i), i == 0   ? u"a"
                                                            : i == 1 ? u"b"
                                                            : i == 2 ? u"c"
                                                                     : u"d");
    }
    // Played for ever, so that the channel stays busy without pulling the mix.
    int PlayForEver(int i, DWORD flags, int channel = 0) {
        return Play(sounds_[i], flags | PlayLoops, 0, channel);
    }
    int ChannelOf(int i) { return FindChannelOfSound(context_, SoundHandle(sounds_[i])); }

    DWORD sounds_[4] = {};
};

TEST_F(Channels, AutomaticChoiceTakesFreeThenUnprotectedChannelsAndForcedPlaysTakeABusyOne) {
    ASSERT_EQ(PlayForEver(0, PlayProtected), PlayStarted);
    ASSERT_EQ(PlayForEver(1, PlayProtected), PlayStarted);
    ASSERT_EQ(PlayForEver(2, 0), PlayStarted);
    EXPECT_EQ(ChannelOf(0), 1);
    EXPECT_EQ(ChannelOf(1), 2);
    EXPECT_EQ(ChannelOf(2), 3);
    // Every channel busy: the unprotected one is taken.
    ASSERT_EQ(PlayForEver(3, PlayProtected), PlayStarted);
    EXPECT_EQ(ChannelOf(3), 3);
    EXPECT_EQ(ChannelOf(2), 0);
    // All protected: no channel, unless the play is forced, which takes the first unreserved one.
    EXPECT_EQ(PlayForEver(2, 0), PlayNoChannel);
    SetChannelLocked(context_, 1, 1);
    ASSERT_EQ(PlayForEver(2, PlayForced), PlayStarted);
    EXPECT_EQ(ChannelOf(2), 2);
    EXPECT_EQ(ChannelOf(0), 1) << "the reserved channel is passed over";
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 1);
}

TEST_F(Channels, ANamedChannelHoldingAProtectedSoundRefusesUnlessForced) {
    ASSERT_EQ(PlayForEver(0, PlayProtected, 3), PlayStarted);
    EXPECT_EQ(ChannelOf(0), 3);
    EXPECT_EQ(PlayForEver(1, 0, 3), PlayFailed);
    EXPECT_EQ(ChannelOf(0), 3);
    EXPECT_EQ(PlayForEver(1, PlayForced, 3), PlayStarted);
    EXPECT_EQ(ChannelOf(1), 3);
    EXPECT_EQ(Play(sounds_[2], 0, 0, 4), PlayFailed) << "beyond the usable count";
}

TEST_F(Channels, AProtectedSoundThatHasFinishedNoLongerHoldsItsChannel) {
    ASSERT_EQ(Play(sounds_[0], PlayProtected, 0, 2), PlayStarted);
    Run(12);
    EXPECT_EQ(Play(sounds_[1], 0, 0, 2), PlayStarted);
    EXPECT_EQ(ChannelOf(1), 2);
}

TEST_F(Channels, AnAutomaticallyChosenChannelStartsAtFullVolumeCentred) {
    SetChannelVolume(context_, 1, 30);
    SetChannelPan(context_, 1, -40);
    ASSERT_EQ(PlayForEver(0, 0), PlayStarted);
    EXPECT_EQ(GetChannelVolume(context_, 1), 100);
    EXPECT_EQ(GetChannelPan(context_, 1), 0);
    SetChannelVolume(context_, 2, 30);
    ASSERT_EQ(PlayForEver(1, 0, 2), PlayStarted);
    EXPECT_EQ(GetChannelVolume(context_, 2), 30) << "a named channel keeps its settings";
    StopSound(context_, SoundKindSample, SoundHandle(sounds_[1]));
    EXPECT_EQ(ChannelOf(1), 0);
    EXPECT_EQ(ChannelOf(0), 1);
    StopSound(context_, SoundKindSample, nullptr);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 0);
}

TEST(ChannelArithmetic, PanAddsTheMasterAndIsHeldAtTheEnds) {
    struct Case {
        int channel, master, sent;
    };
    const Case cases[] = {{-80, -50, -1000}, {-80, 0, -800}, {50, 60, 1000},
                          {30, -10, 200},    {0, 0, 0},      {100, 0, 1000}};
    for (const Case& c : cases)
        EXPECT_EQ(ChannelSoundPan(c.channel, c.master), c.sent) << c.channel << " " << c.master;
    const std::pair<int, int> volumes[] = {{100, 1000}, {50, 500}, {0, 0}};
    for (auto [channel, sent] : volumes)
        EXPECT_EQ(ChannelSoundVolume(channel, 100), sent);
    EXPECT_EQ(ChannelSoundVolume(100, 50), 500);
}

TEST(ChannelArithmetic, CountsAndSettingsAreClampedAndBadChannelsDoNothing) {
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(context, nullptr);
    const std::pair<int, int> counts[] = {{0, 1}, {-3, 1}, {40, 32}, {7, 7}};
    for (auto [count, kept] : counts) {
        EXPECT_EQ(SetChannelCount(context, count), kept);
        EXPECT_EQ(context->channelCount, kept);
    }
    EXPECT_EQ(SetChannelVolume(context, 3, 250), 1);
    EXPECT_EQ(GetChannelVolume(context, 3), 100);
    EXPECT_EQ(SetChannelPan(context, 3, -250), 1);
    EXPECT_EQ(GetChannelPan(context, 3), -100);
    EXPECT_EQ(SetChannelVolume(context, 8, 50), 0) << "beyond the usable count";
    EXPECT_EQ(SetChannelVolume(context, 0, 50), 0);
    EXPECT_EQ(GetChannelVolume(nullptr, 1), 0);
    EXPECT_EQ(SetMasterVolume(context, 1, 150), 1);
    EXPECT_EQ(GetMasterVolume(context, 1), 100);
    EXPECT_EQ(SetMasterPan(context, 2, 50), 0) << "only kind 1";
    EXPECT_EQ(GetMasterPan(context, 2), 0);
    EXPECT_EQ(PlaySoundItemW(nullptr, nullptr, SoundHandle(1), nullptr, 0, 0, 0), PlayFailed);
    EXPECT_EQ(PlaySoundItemW(nullptr, context, SoundHandle(5), nullptr, 0, 0, 0), PlayFailed)
        << "no such item";
    DestroyAppContext(context);
}

} // namespace
