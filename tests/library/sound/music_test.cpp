// MIDI music: a tune written here plays through the sequencer into the mix, its end notice reaches the
// window, and the notice handed back replays loops.
#include "sound_fixture.h"

using namespace win32;
using namespace sound_test;

namespace {

constexpr DWORD MusicFile = PlayWideName | (SoundKindMusic << PlayKindShift);

class Music : public SoundFixture {
protected:
    void SetUp() override {
        SoundFixture::SetUp();
        appwriter::MidiDesc tune;
        tune.tempo = 250000; // a quarter note every quarter of a second
        tune.notes = {{0, 480, 0, 64, 110}, {480, 480, 0, 71, 110}};
        path_ = Wide(WriteTempFile("music_tune.mid", appwriter::WriteMidi(tune)));
    }

    int PlayFile(DWORD flags = 0, int loops = 0) {
        return PlaySoundItemW(manager_, context_, path_.c_str(), window_.Handle(), MusicFile | flags, loops,
                              0);
    }
    // Pulls until the end notice; whether anything sounded on the way.
    bool PullToNotice(bool* sounded) {
        for (int i = 0; i < 60; ++i) {
            if (!Silent(Pull(TickFrames))) *sounded = true;
            if (window_.TakeNotice() == static_cast<long>(MCI_NOTIFY_SUCCESSFUL)) return true;
        }
        return false;
    }

    NoticeWindow window_;
    std::u16string path_;
};

TEST_F(Music, ATunePlaysIntoTheMixAndItsEndNoticeArrives) {
    ASSERT_EQ(PlayFile(), PlayStarted);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 2) << "music loaded, no sample playing";
    EXPECT_EQ(IsSoundPlaying(context_, path_.c_str()), 1);
    bool sounded = false;
    ASSERT_TRUE(PullToNotice(&sounded));
    EXPECT_TRUE(sounded);
    StopSound(context_, SoundKindMusic, MusicEndNotice());
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 0) << "without loops the end closes the music";
    EXPECT_EQ(context_->music.deviceId, -1);
}

TEST_F(Music, LoopsReplayOnEachNoticeAndTheLastOneCloses) {
    ASSERT_EQ(PlayFile(PlayLoops, 3), PlayStarted);
    for (int play = 1; play <= 3; ++play) {
        bool sounded = false;
        ASSERT_TRUE(PullToNotice(&sounded)) << "play " << play;
        EXPECT_TRUE(sounded) << "play " << play;
        StopSound(context_, SoundKindMusic, MusicEndNotice());
        EXPECT_EQ(IsSoundPlaying(context_, nullptr) == 2, play < 3) << "play " << play;
    }
    // Loops 0: for ever, until stopped.
    ASSERT_EQ(PlayFile(PlayLoops, 0), PlayStarted);
    for (int notice = 0; notice < 5; ++notice)
        StopSound(context_, SoundKindMusic, MusicEndNotice());
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 2);
    StopSound(context_, SoundKindMusic, nullptr);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 0);
}

TEST_F(Music, PauseKeepsThePositionAndResumePlaysOnFromIt) {
    ASSERT_EQ(PlayFile(), PlayStarted);
    Pull(TickFrames * 4);
    ASSERT_EQ(PauseSound(context_, SoundKindMusic, nullptr), 0u);
    EXPECT_EQ(IsSoundPaused(context_, nullptr), 2);
    EXPECT_NEAR(context_->music.savedPosition, 200.0, 2.0);
    EXPECT_TRUE(Silent(Pull(TickFrames)));
    ASSERT_EQ(ResumeSound(context_, SoundKindMusic, nullptr), 0u);
    EXPECT_EQ(IsSoundPaused(context_, nullptr), 0);
    bool sounded = false;
    EXPECT_TRUE(PullToNotice(&sounded));
}

TEST_F(Music, AMusicItemPlaysTheFileItsDataNamesAndProtectedMusicRefusesAnother) {
    const std::u16string& path = path_;
    const DWORD item = AddSoundItemW(context_->banks, SoundKindMusic, u"tune", path.c_str(),
                                     static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
    ASSERT_EQ(PlaySoundItemW(manager_, context_, SoundHandle(item), window_.Handle(), PlayProtected, 0, 0),
              PlayStarted);
    EXPECT_EQ(IsSoundPlaying(context_, SoundHandle(item)), 1);
    EXPECT_EQ(PlayFile(), PlayFailed);
    EXPECT_EQ(PlayFile(PlayForced), PlayStarted);
    EXPECT_EQ(IsSoundPlaying(context_, SoundHandle(item)), 0);
    const std::u16string missing = u"/nonexistent/tune.mid";
    EXPECT_EQ(PlaySoundItemW(manager_, context_, missing.c_str(), nullptr, MusicFile | PlayForced, 0, 0),
              static_cast<int>(MCIERR_FILE_NOT_FOUND));
    EXPECT_EQ(context_->music.deviceId, -1);
}

} // namespace
