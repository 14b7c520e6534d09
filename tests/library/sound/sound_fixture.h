// A context, the sound-filter manager over the built sound filter, and a sound manager, with the mix pulled
// and the service timer run by the test in 50 ms steps on a clock of the test's own.
#pragma once

#include "support/sound_mix.h"

#include "appwriter/sound_writer.h"
#include "vtrs2/app_context.h"
#include "vtrs2/sound.h"
#include "vtrs2/sound_channels.h"
#include "vtrs2/sound_testing.h"

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace sound_test {

inline win32::DWORD& TestClockNow() {
    static win32::DWORD now = 0;
    return now;
}

inline std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// The files WriteTempFile wrote that are still there.
inline std::vector<std::string>& WrittenTempFiles() {
    static std::vector<std::string> files;
    return files;
}

// A file of this process's in the temporary folder, removed by RemoveTempFiles.
inline std::string WriteTempFile(const std::string& leaf, const appwriter::Bytes& bytes) {
    // Each test runs in a process of its own, several at a time: the file is this process's.
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + leaf;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    WrittenTempFiles().push_back(path);
    return path;
}

// Once nothing plays them any more.
inline void RemoveTempFiles() {
    for (const std::string& path : WrittenTempFiles())
        std::remove(path.c_str());
    WrittenTempFiles().clear();
}

// 16-bit mono at the mix's rate: played at full volume, the mix's left side is the samples themselves.
inline appwriter::WavDesc ToneWav(double seconds, double frequency = 441.0, std::int16_t amplitude = 12000) {
    appwriter::WavDesc wav;
    wav.rate = win32::testing::SoundMixRate;
    wav.samples = appwriter::ToneSamples(wav.rate, 1, frequency, amplitude,
                                         static_cast<std::size_t>(seconds * wav.rate));
    return wav;
}

inline Samples Left(const Samples& s) {
    Samples left;
    for (std::size_t i = 0; i < s.size(); i += 2)
        left.push_back(s[i]);
    return left;
}

class SoundFixture : public ::testing::Test {
protected:
    static constexpr std::size_t TickFrames = 2205; // 50 ms

    void SetUp() override {
        win32::testing::UseManualMultimediaTimers(true);
        TestClockNow() = 0;
        SetSoundServiceClock([] { return TestClockNow(); });
        filters_ = NewSoundFilterMgr();
        ASSERT_NE(filters_, nullptr);
        filters_->Scan(Wide(VTR_BIN_DIR).c_str(), 3);
        manager_ = CreateSoundManagerForWindow(filters_, nullptr);
        ASSERT_NE(manager_, nullptr);
        ASSERT_EQ(manager_->Register(nullptr), 1);
        context_ = CreateAppContext(nullptr, nullptr);
        ASSERT_NE(context_, nullptr);
    }

    void TearDown() override {
        if (context_) DestroyAppContext(context_);
        if (manager_) {
            manager_->StopSounds(1);
            manager_->Delete();
        }
        if (filters_) {
            filters_->FreeFilters();
            filters_->Delete();
        }
        SetSoundServiceClock(nullptr);
        win32::testing::UseManualMultimediaTimers(false);
        RemoveTempFiles();
    }

    win32::DWORD AddSample(const appwriter::WavDesc& wav, const char16_t* name = u"tone") {
        const appwriter::Bytes bytes = appwriter::WriteWav(wav);
        return AddSoundItemW(context_->banks, SoundKindSample, name, bytes.data(),
                             static_cast<win32::DWORD>(bytes.size()));
    }

    int Play(win32::DWORD handle, win32::DWORD flags = 0, int loops = 0, int channel = 0) {
        return PlaySoundItemW(manager_, context_, SoundHandle(handle), nullptr, flags, loops, channel);
    }

    // Pulls the mix for `ticks` service periods, the service running after each.
    Samples Run(int ticks) {
        Samples all;
        for (int i = 0; i < ticks; ++i) {
            const Samples s = Pull(TickFrames);
            all.insert(all.end(), s.begin(), s.end());
            TestClockNow() += 50;
            win32::testing::RunMultimediaTimers();
        }
        return all;
    }

    PulledMix mix_;
    CSoundFilterMgr* filters_ = nullptr;
    CSoundManager* manager_ = nullptr;
    AppContext* context_ = nullptr;
};

} // namespace sound_test
