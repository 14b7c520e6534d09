// Without a sound device that opens, the sounds are still made and keep their time, unheard; the missing
// device is told once on stderr, and asking again soon after does not try it again.
#include "win32/dsound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace win32;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(NoSoundDevice, SoundsKeepTheirTimeAndTheDeviceIsToldOnceAndNotRetriedAtOnce) {
    // ALSA's own driver, asked for a device that no machine has.
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "vtr-no-such-device", 1);
    ::testing::internal::CaptureStderr();
    IDirectSound* sound = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_GETCURRENTPOSITION2, 44100, 0, &format}; // one second
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(sound->CreateSoundBuffer(&d, &buffer, nullptr), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DWORD play = 0, write = 0;
    EXPECT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_GT(play, 0u) << "the unheard buffer did not play on";
    EXPECT_LT(play, 44100u);
    buffer->Release();
    sound->Release();
    // The game asks for sound again and again, as a tune starting each loop would.
    for (int i = 0; i < 50; ++i) {
        IDirectSound* again = nullptr;
        ASSERT_EQ(DirectSoundCreate(nullptr, &again, nullptr), DS_OK);
        again->Release();
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    // The device is named once per process: the test run again in the same process hears nothing more.
    static int runs = 0;
    const std::size_t lines = runs++ == 0 ? 1 : 0;
    EXPECT_EQ(Count(said, "\n"), lines) << said;
    EXPECT_EQ(Count(said, "no sound"), lines) << said;
    if (lines) {
        EXPECT_NE(said.find("vtr-no-such-device"), std::string::npos) << said;
    }
    EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
}

} // namespace
