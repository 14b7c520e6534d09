// The MCI sequencer: a MIDI file written here plays through FluidSynth into the pulled mix, and its end,
// pause and supersession are told to the window as MCI's notices.
#include "support/sound_mix.h"

#include "appwriter/sound_writer.h"
#include "win32/kernel.h"

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

using namespace win32;
using namespace sound_test;

namespace {

constexpr std::size_t Chunk = 2205; // 50 ms

// The files WriteTempFile wrote that are still there; the fixture removes them.
std::vector<std::string>& WrittenTempFiles() {
    static std::vector<std::string> files;
    return files;
}

std::u16string WriteTempFile(const std::string& leaf, const appwriter::Bytes& bytes) {
    // Each test runs in a process of its own, several at a time: the file is this process's.
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + leaf;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    WrittenTempFiles().push_back(path);
    return std::u16string(path.begin(), path.end());
}

void RemoveTempFiles() {
    for (const std::string& path : WrittenTempFiles())
        std::remove(path.c_str());
    WrittenTempFiles().clear();
}

// Two quarter notes at 120 beats a minute: about one second of music.
appwriter::Bytes ShortTune() {
    appwriter::MidiDesc tune;
    tune.notes = {{0, 480, 0, 60, 110}, {480, 480, 0, 67, 110}};
    return appwriter::WriteMidi(tune);
}

class SequencerTest : public ::testing::Test {
protected:
    void SetUp() override { path_ = WriteTempFile("sequencer_tune.mid", ShortTune()); }
    void TearDown() override {
        if (device_) mciSendCommandW(device_, MCI_CLOSE, 0, 0);
        RemoveTempFiles();
    }

    MCIERROR Open(const std::u16string& path) {
        MCI_OPEN_PARMSW open{0, 0, u"sequencer", path.c_str(), nullptr};
        const MCIERROR e = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                                           reinterpret_cast<DWORD_PTR>(&open));
        if (e == 0) device_ = open.wDeviceID;
        return e;
    }
    MCIERROR Play(const DWORD* from = nullptr) {
        MCI_PLAY_PARMS play{reinterpret_cast<DWORD_PTR>(window_.Handle()), from ? *from : 0, 0};
        return mciSendCommandW(device_, MCI_PLAY, MCI_NOTIFY | (from ? MCI_FROM : 0),
                               reinterpret_cast<DWORD_PTR>(&play));
    }
    DWORD Status(DWORD item) {
        MCI_STATUS_PARMS status{0, 0, item, 0};
        EXPECT_EQ(mciSendCommandW(device_, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)),
                  0u);
        return static_cast<DWORD>(status.dwReturn);
    }
    // Pulls until a notice arrives (at most `limit` chunks); the notice, or -1.
    long PullUntilNotice(int limit, bool* sounded = nullptr) {
        for (int i = 0; i < limit; ++i) {
            const Samples s = Pull(Chunk);
            if (sounded && !Silent(s)) *sounded = true;
            if (const long notice = window_.TakeNotice(); notice != -1) return notice;
        }
        return -1;
    }

    PulledMix mix_;
    NoticeWindow window_;
    std::u16string path_;
    MCIDEVICEID device_ = 0;
};

TEST_F(SequencerTest, TunePlaysIntoTheMixAndItsEndIsNoticed) {
    ASSERT_EQ(Open(path_), 0u);
    EXPECT_TRUE(Silent(Pull(Chunk))) << "nothing sounds before play";
    ASSERT_EQ(Play(), 0u);
    EXPECT_EQ(Status(MCI_STATUS_MODE), MCI_MODE_PLAY);
    bool sounded = false;
    LPARAM from = 0;
    EXPECT_EQ(PullUntilNotice(80, &sounded), static_cast<long>(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_TRUE(sounded);
    EXPECT_EQ(Status(MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_GE(Status(MCI_STATUS_POSITION), 900u);
    // Played again from the start, it ends again: the way loops replay.
    const DWORD start = 0;
    ASSERT_EQ(Play(&start), 0u);
    EXPECT_LT(Status(MCI_STATUS_POSITION), 100u);
    EXPECT_EQ(PullUntilNotice(80), static_cast<long>(MCI_NOTIFY_SUCCESSFUL));
    window_.TakeNotice(&from);
}

// A closed device leaves its synthesizer to the next one: the next device is silent until it plays.
TEST_F(SequencerTest, ADeviceOpenedAfterATuneEndedIsSilentBeforePlay) {
    ASSERT_EQ(Open(path_), 0u);
    ASSERT_EQ(Play(), 0u);
    ASSERT_EQ(PullUntilNotice(80), static_cast<long>(MCI_NOTIFY_SUCCESSFUL));
    ASSERT_EQ(mciSendCommandW(device_, MCI_CLOSE, 0, 0), 0u);
    device_ = 0;
    ASSERT_EQ(Open(path_), 0u);
    EXPECT_TRUE(Silent(Pull(Chunk)));
    EXPECT_TRUE(Silent(Pull(Chunk)));
}

TEST_F(SequencerTest, PauseAbortsTheNoticeAndPlayFromThePositionGoesOn) {
    ASSERT_EQ(Open(path_), 0u);
    ASSERT_EQ(Play(), 0u);
    Pull(Chunk * 4);
    MCI_GENERIC_PARMS pause{0};
    ASSERT_EQ(mciSendCommandW(device_, MCI_PAUSE, 0, reinterpret_cast<DWORD_PTR>(&pause)), 0u);
    EXPECT_EQ(window_.TakeNotice(), static_cast<long>(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(Status(MCI_STATUS_MODE), MCI_MODE_PAUSE);
    const DWORD at = Status(MCI_STATUS_POSITION);
    EXPECT_NEAR(at, 200.0, 2.0);
    Pull(Chunk * 2);
    EXPECT_EQ(Status(MCI_STATUS_POSITION), at) << "a paused tune does not move";
    ASSERT_EQ(Play(&at), 0u);
    Pull(Chunk);
    EXPECT_NEAR(Status(MCI_STATUS_POSITION), at + 50.0, 2.0);
    // A new play with a notice supersedes the pending one.
    ASSERT_EQ(Play(), 0u);
    EXPECT_EQ(window_.TakeNotice(), static_cast<long>(MCI_NOTIFY_SUPERSEDED));
}

TEST_F(SequencerTest, BadFilesAndDevicesAreRefusedWithTheirCodes) {
    EXPECT_EQ(Open(u"/nonexistent/tune.mid"), MCIERR_FILE_NOT_FOUND);
    const std::u16string notMidi = WriteTempFile("sequencer_not_midi.mid", appwriter::Bytes(64, 'x'));
    EXPECT_EQ(Open(notMidi), MCIERR_INVALID_FILE);
    // Chunk lists the synthesizer must never be handed: no track, a track running past the end, a header too
    // short for its fields, a header that is not first.
    const appwriter::Bytes tune = ShortTune();
    appwriter::Bytes shortHeader = tune;
    shortHeader[7] = 4;
    appwriter::Bytes trackFirst(tune.begin() + 14, tune.end());
    trackFirst.insert(trackFirst.end(), tune.begin(), tune.begin() + 14);
    const std::pair<const char*, appwriter::Bytes> damaged[] = {
        {"header only", appwriter::Bytes(tune.begin(), tune.begin() + 14)},
        {"track cut short", appwriter::Bytes(tune.begin(), tune.end() - 3)},
        {"header of 4 bytes", shortHeader},
        {"track before the header", trackFirst},
    };
    for (const auto& [what, bytes] : damaged)
        EXPECT_EQ(Open(WriteTempFile("sequencer_damaged.mid", bytes)), MCIERR_INVALID_FILE) << what;
    MCI_OPEN_PARMSW wave{0, 0, u"waveaudio", path_.c_str(), nullptr};
    EXPECT_EQ(
        mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&wave)),
        MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mciSendCommandW(9999, MCI_PLAY, 0, 0), MCIERR_INVALID_DEVICE_ID);
    ASSERT_EQ(Open(path_), 0u);
    const MCIDEVICEID closed = device_;
    ASSERT_EQ(mciSendCommandW(closed, MCI_CLOSE, 0, 0), 0u);
    device_ = 0;
    EXPECT_EQ(mciSendCommandW(closed, MCI_PLAY, 0, 0), MCIERR_INVALID_DEVICE_ID);
}

} // namespace
