// The demo's application data run headless with the program's sound services: its title plays its tune into
// the mix as it starts, the Options menu's music switch silences it and brings it back, and the sample made
// for collecting plays.
#include "application_run.h"
#include "builtin/sound_services.h"
#include "core/application_record.h"
#include "core/frame_clock.h"
#include "demo/demo_sounds.h"
#include "objects/transition_modules.h"
#include "runtime/waited_clock.h"
#include "shell/application_menu.h"
#include "startup/banks.h"
#include "startup/runtime_files.h"
#include "support/sound_mix.h"

#include "vtrs2/app_context.h"
#include "vtrs2/sound.h"
#include "vtrs2/sound_channels.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace vtrrt;
using namespace win32;

constexpr std::size_t HalfSecond = 22050;

std::vector<std::uint8_t> DemoData() {
    std::ifstream in(VTR_DEMO_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DemoSounds : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        RuntimeFiles& files = GetRuntimeFiles();
        kept_ = {files.tempFolder, files.runtimeTempFolder};
        // The transition module and the sound filter are found where the build put them.
        files.runtimeTempFolder = std::filesystem::path(VTR_BIN_DIR).u16string();
        files.tempFolder = files.runtimeTempFolder + u"/";
        Services().flags = RuntimeSamplesOn | RuntimeMusicOn;
        bytes_ = DemoData();
        ASSERT_FALSE(bytes_.empty());
        ASSERT_NO_FATAL_FAILURE(
            wiringtest::StartApplicationRun(bytes_, app_, [](ApplicationRecord&) { StartSoundServices(); }));
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        ShutdownSound();
        FreeTransitionModules();
        GetRuntimeFiles().tempFolder = kept_.first;
        GetRuntimeFiles().runtimeTempFolder = kept_.second;
        SetFrameClock(previousClock_);
    }
    // The title's fade-in steps without waiting: its steps take simulated time too.
    int Step() { return runtime_test::StepApplication(app_.get(), clock_); }
    AppContext* Context() { return Services().libraryContext; }
    bool MusicLoaded() { return (IsSoundPlaying(Context(), nullptr) & 2) != 0; }

    sound_test::PulledMix mix_;
    runtime_test::FakeWindowClock windowClock_;
    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::pair<std::u16string, std::u16string> kept_;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(DemoSounds, TheTitlePlaysItsTuneWheneverTheMenuLeavesMusicOn) {
    for (int i = 0; i < 1000 && !(MusicLoaded() && app_->runState == StateRunFrame); ++i)
        ASSERT_EQ(Step(), 1);
    ASSERT_TRUE(MusicLoaded()) << "the title's start plays its tune";
    EXPECT_EQ(app_->currentFrameIndex, 0);
    const auto handle = static_cast<DWORD>(Context()->music.item);
    char16_t name[32] = {};
    ASSERT_EQ(GetSoundItemNameW(Context()->banks, handle, name, 32), 1);
    EXPECT_EQ(std::u16string(name), TitleTuneName);
    EXPECT_FALSE(sound_test::Silent(sound_test::Pull(HalfSecond)));

    SendMessageW(Services().mainWindow, WM_COMMAND, CommandMusic, 0);
    EXPECT_FALSE(MusicLoaded());
    EXPECT_TRUE(sound_test::Silent(sound_test::Pull(HalfSecond)));
    // Still off a while later: the title's events do not bring it back against the switch.
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(Step(), 1);
    EXPECT_FALSE(MusicLoaded());
    // Switched on again, the title plays its tune again from its next loop.
    SendMessageW(Services().mainWindow, WM_COMMAND, CommandMusic, 0);
    for (int i = 0; i < 10 && !MusicLoaded(); ++i)
        ASSERT_EQ(Step(), 1);
    ASSERT_TRUE(MusicLoaded()) << "the tune comes back with the music";
    EXPECT_FALSE(sound_test::Silent(sound_test::Pull(HalfSecond)));
}

TEST_F(DemoSounds, TheCollectingSampleIsReadyInTheSoundBank) {
    const std::uint32_t handle = LoadBankItem(*app_->banks, AppBankSounds, CollectSampleIndex);
    ASSERT_NE(handle, 0u);
    char16_t name[32] = {};
    ASSERT_EQ(GetSoundItemNameW(Context()->banks, handle, name, 32), 1);
    EXPECT_EQ(std::u16string(name), CollectSampleName);
    ASSERT_EQ(PlaySoundItemW(GetSoundManager(), Context(), SoundHandle(handle), nullptr, 0, 0, 0),
              PlayStarted);
    EXPECT_EQ(GetSoundDuration(Context(), SoundKindSample, SoundHandle(handle)), 380u);
    const sound_test::Samples chime = sound_test::Pull(HalfSecond);
    EXPECT_GT(sound_test::Peak(chime, 0), 2000);
    ReleaseBankItem(*app_->banks, AppBankSounds, handle);
}

} // namespace
