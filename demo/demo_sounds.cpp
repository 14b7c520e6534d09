#include "demo_sounds.h"
#include "frame_flow.h"

#include "appwriter/object_writer.h"
#include "appwriter/sound_writer.h"

#include <cmath>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

constexpr std::int16_t Speaker = -2;
constexpr std::int16_t NoMusicPlaying = -4;
constexpr std::uint8_t EveryLoop = 0x20; // tested in every loop, not waiting to be raised
constexpr std::int16_t PlayMusic = 2;

// A quarter note of the tune, in ticks.
constexpr std::uint32_t Beat = 480;
constexpr std::uint8_t Melody = 0, Bass = 1;

// A four-bar tune in C major at 140 beats a minute on a music box: a rising melody over a walking bass,
// ending on the tonic.
appwriter::Bytes TitleTune() {
    appwriter::MidiDesc tune;
    tune.division = Beat;
    tune.tempo = 60'000'000 / 140;
    tune.program = 10; // music box
    // Melody in eighths and quarters: {start in eighths, length in eighths, key}.
    const std::uint32_t melody[][3] = {
        {0, 1, 72},  {1, 1, 76},  {2, 1, 79},  {3, 1, 76},  {4, 2, 84},  {6, 2, 79},  {8, 1, 77},
        {9, 1, 81},  {10, 1, 84}, {11, 1, 81}, {12, 2, 86}, {14, 2, 83}, {16, 1, 84}, {17, 1, 79},
        {18, 1, 76}, {19, 1, 79}, {20, 2, 81}, {22, 2, 77}, {24, 2, 79}, {26, 2, 83}, {28, 4, 84}};
    for (const auto& n : melody)
        tune.notes.push_back(
            {n[0] * Beat / 2, n[1] * Beat / 2 - 20, Melody, static_cast<std::uint8_t>(n[2]), 100});
    // One bass note a bar: C, F, C, G, then C.
    const std::uint8_t bass[] = {48, 53, 48, 55, 48};
    for (std::uint32_t bar = 0; bar < 4; ++bar)
        tune.notes.push_back({bar * 4 * Beat, 4 * Beat - 40, Bass, bass[bar], 80});
    tune.notes.back().length = 4 * Beat;
    return appwriter::WriteMidi(tune);
}

// A coin's chime: two short sine tones a fourth apart (B5 then E6), each dying away, 16-bit mono.
appwriter::Bytes CollectSample() {
    appwriter::WavDesc wav;
    wav.rate = 22050;
    const double pi = std::acos(-1.0);
    const struct { double frequency, seconds; } tones[] = {{987.77, 0.08}, {1318.51, 0.30}};
    for (const auto& tone : tones) {
        const auto frames = static_cast<std::size_t>(tone.seconds * wav.rate);
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / wav.rate;
            const double fade = std::exp(-t * 12.0) * (1.0 - static_cast<double>(i) / frames);
            wav.samples.push_back(
                static_cast<std::int16_t>(12000.0 * fade * std::sin(2 * pi * tone.frequency * t)));
        }
    }
    return appwriter::WriteWav(wav);
}

void AddBank(appwriter::ApplicationDescription& d, std::uint16_t bankChunk, std::uint16_t offsetsChunk,
             const appwriter::SoundItemDesc& item) {
    const appwriter::BankPayload bank = appwriter::WriteSoundBank({item}, appwriter::StringForm::Wide);
    d.extra.push_back({bankChunk, 0, bank.items});
    d.extra.push_back({offsetsChunk, 0, appwriter::WriteBankOffsets(bank.offsets)});
}

} // namespace

std::vector<appwriter::EventGroupDesc> AddDemoSounds(appwriter::ApplicationDescription& d) {
    AddBank(d, appwriter::ChunkSoundBank, appwriter::ChunkSoundOffsets,
            {0, CollectSampleName, CollectSample()});
    AddBank(d, appwriter::ChunkMusicBank, appwriter::ChunkMusicOffsets, {0, TitleTuneName, TitleTune()});
    // Whenever no music plays the tune starts again: it plays as the title starts, over again when it ends,
    // and again as soon as the Options menu switches music back on.
    appwriter::EventGroupDesc tune;
    tune.conditions = {Record(Speaker, NoMusicPlaying)};
    tune.conditions[0].runFlags = EveryLoop;
    tune.actions = {Record(Speaker, PlayMusic,
                           {appwriter::SampleParameter(ParamMusic, TitleTuneIndex, 0, TitleTuneName)})};
    return {tune};
}
