// The speaker object run by events: samples and music with the Options menu's switches on and off, channel
// numbers out of range, the end of a sample told once, files remembered per channel and stopped with the
// application's sounds, the play flags the runtime adds, the settings and their expressions, and the
// music's pause and resume. The mix is pulled and the sound service run by the test.
#include "builtin/sound_services.h"
#include "core/application_record.h"
#include "core/command_line.h"
#include "core/header_flags.h"
#include "event_frame.h"
#include "library/sound/sound_fixture.h"
#include "startup/sound_items.h"

#include "support/param_names.h"

#include <set>

using namespace eventruns;
using namespace win32;

namespace {

constexpr std::int16_t SpeakerConditions = 9;
constexpr std::uint16_t BothOn = RuntimeSamplesOn | RuntimeMusicOn;

EventParameterDesc Sample(DWORD handle, std::uint16_t options = 0) {
    return appwriter::SampleParameter(ParamSample, static_cast<std::uint16_t>(handle), options, u"Tone");
}
EventParameterDesc Music(DWORD handle) {
    return appwriter::SampleParameter(ParamMusic, static_cast<std::uint16_t>(handle), 0, u"Theme");
}
EventParameterDesc File(const std::u16string& path) {
    return appwriter::FileParameter(ParamFile, path);
}
EventParameterDesc StateWord() {
    return appwriter::IntParameter(ParamZeroed, 0);
}
EventRecordDesc Speaker(std::int16_t number, std::vector<EventParameterDesc> params = {},
                        bool negated = false) {
    return Record(TypeSpeaker, number, std::move(params), 0, 0, negated);
}
ExpressionBuilder SpeakerExpression(std::int16_t n) {
    ExpressionBuilder e;
    SystemExpression(e, TypeSpeaker, n);
    return e;
}
ExpressionBuilder SpeakerExpression(std::int16_t n, std::int32_t argument) {
    ExpressionBuilder e;
    SystemExpression(e, TypeSpeaker, n).Integer(argument).Close();
    return e;
}
ExpressionBuilder SpeakerExpression(std::int16_t n, std::u16string argument) {
    ExpressionBuilder e;
    SystemExpression(e, TypeSpeaker, n).String(std::move(argument)).Close();
    return e;
}

// A running frame with the program's sound: a library context with a one-second tone and a MIDI tune in its
// bank, the sound filters over the built filter, both switches on, and an application to remember files in.
class SpeakerObject : public ::testing::Test {
protected:
    static constexpr std::size_t TickFrames = 2205; // 50 ms

    SpeakerObject() {
        win32::testing::UseManualMultimediaTimers(true);
        sound_test::TestClockNow() = 0;
        SetSoundServiceClock([] { return sound_test::TestClockNow(); });
        RuntimeServices& services = Services();
        saved_ = services;
        services.application = &app_;
        services.flags = BothOn;
        services.libraryContext = context_ = CreateAppContext(nullptr, nullptr);
        services.soundFilters = NewSoundFilterMgr();
        services.soundFilters->Scan(sound_test::Wide(VTR_BIN_DIR).c_str(), 3);
        tone_ = AddWav(u"Tone", 1.0);
        appwriter::MidiDesc tune;
        tune.tempo = 250000;
        tune.notes = {{0, 480, 0, 64, 110}, {480, 480, 0, 67, 110}, {960, 960, 0, 71, 110}};
        tunePath_ =
            sound_test::Wide(sound_test::WriteTempFile("speaker_tune.mid", appwriter::WriteMidi(tune)));
        theme_ = AddSoundItemW(context_->banks, SoundKindMusic, u"Theme", tunePath_.c_str(),
                               static_cast<DWORD>((tunePath_.size() + 1) * sizeof(char16_t)));
    }
    ~SpeakerObject() override {
        StopSound(context_, SoundKindMusic, nullptr);
        ShutdownSound();
        FreeRememberedSounds(app_);
        DestroyAppContext(context_);
        GetCommandLineOptions().noDirectSoundOption = 0;
        RuntimeServices& services = Services();
        services.application = saved_.application;
        services.flags = saved_.flags;
        services.libraryContext = saved_.libraryContext;
        SetSoundServiceClock(nullptr);
        win32::testing::UseManualMultimediaTimers(false);
        sound_test::RemoveTempFiles();
    }

    DWORD AddWav(const char16_t* name, double seconds) {
        const appwriter::Bytes wav = appwriter::WriteWav(sound_test::ToneWav(seconds));
        return AddSoundItemW(context_->banks, SoundKindSample, name, wav.data(),
                             static_cast<DWORD>(wav.size()));
    }
    std::u16string WavFile(const char* leaf, double seconds) {
        return sound_test::Wide(
            sound_test::WriteTempFile(leaf, appwriter::WriteWav(sound_test::ToneWav(seconds))));
    }

    void Prepare(EventProgramBuilder& b) {
        b.conditionCounts[TypeSpeaker + 7] = SpeakerConditions;
        frame_.Prepare(b);
    }
    // One loop of the events, then 50 ms of the mix and the sound service.
    void Tick() {
        frame_.Loop(50);
        const sound_test::Samples s = sound_test::Pull(TickFrames);
        heard_.insert(heard_.end(), s.begin(), s.end());
        sound_test::TestClockNow() += 50;
        win32::testing::RunMultimediaTimers();
    }
    // The loop with switch 0 on runs the first group's actions.
    void TickWith(int sw = 0) {
        switches[sw] = true;
        Tick();
        switches[sw] = false;
    }
    // What the recorders recorded on the last loop.
    std::set<std::int32_t> Recorded() {
        std::set<std::int32_t> values;
        for (const Seen& s : Log())
            if (s.loop == frame_.Run().loopCount) values.insert(s.value);
        return values;
    }
    bool Heard() {
        const bool any = !sound_test::Silent(heard_);
        heard_.clear();
        return any;
    }

    sound_test::PulledMix mix_;
    ApplicationRecord app_{};
    EventFrame frame_;
    RuntimeServices saved_;
    AppContext* context_ = nullptr;
    DWORD tone_ = 0, theme_ = 0;
    std::u16string tunePath_;
    sound_test::Samples heard_;
};

// --- the Options menu's switches ---

struct SwitchCase {
    const char* name;
    std::uint16_t flags;
    bool samples, music;
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

class SoundSwitches : public SpeakerObject, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SoundSwitches, PlayActionsAndConditionsFollowTheSwitches) {
    const SwitchCase& c = GetParam();
    Services().flags = c.flags;
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(0, {Sample(tone_)}), Speaker(2, {Music(theme_)})}));
    b.AddGroup(Group({EveryLoop(Speaker(-1, {Sample(tone_)}))}, {Recorder(1)}));
    b.AddGroup(Group({EveryLoop(Speaker(-1, {Sample(tone_)}, true))}, {Recorder(-1)}));
    b.AddGroup(Group({EveryLoop(Speaker(-2, {Music(theme_)}))}, {Recorder(2)}));
    b.AddGroup(Group({EveryLoop(Speaker(-3))}, {Recorder(3)}));
    b.AddGroup(Group({EveryLoop(Speaker(-4))}, {Recorder(4)}));
    b.AddGroup(Group({EveryLoop(Speaker(-8, {Number(1)}))}, {Recorder(8)}));
    Prepare(b);
    TickWith();
    Tick();
    std::set<std::int32_t> expected;
    if (c.samples)
        expected.insert(-1);
    else
        expected.insert({1, 3, 8});
    if (!c.music) expected.insert({2, 4});
    EXPECT_EQ(Recorded(), expected);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), (c.samples ? 1 : 0) | (c.music ? 2 : 0));
    for (int i = 0; i < 4; ++i)
        Tick();
    EXPECT_EQ(Heard(), c.samples || c.music);
}

INSTANTIATE_TEST_SUITE_P(Speaker, SoundSwitches,
                         ::testing::Values(SwitchCase{"BothOn", BothOn, true, true},
                                           SwitchCase{"SamplesOff", RuntimeMusicOn, false, true},
                                           SwitchCase{"MusicOff", RuntimeSamplesOn, true, false},
                                           SwitchCase{"BothOff", 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- channel numbers ---

class ChannelNumbers : public SpeakerObject, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(ChannelNumbers, OnlyTheThirtyTwoChannelsPlayAndAnswer) {
    const std::int32_t channel = GetParam();
    const bool valid = channel >= 1 && channel <= 32;
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(11, {Sample(tone_), Number(channel)})}));
    b.AddGroup(Group({EveryLoop(Switch(1))}, {RecorderOf(SpeakerExpression(2, channel))}));
    b.AddGroup(Group({EveryLoop(Speaker(-8, {Number(channel)}))}, {Recorder(-8)}));
    Prepare(b);
    TickWith(0);
    EXPECT_EQ(FindChannelOfSound(context_, SoundHandle(tone_)), valid ? channel : 0);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), valid ? 1 : 0) << "channel 0 is not any channel";
    Log().clear();
    TickWith(1);
    const std::vector<std::int32_t> expected =
        valid ? std::vector<std::int32_t>{100} : std::vector<std::int32_t>{0, -8};
    EXPECT_EQ(Values(), expected);
}

INSTANTIATE_TEST_SUITE_P(Speaker, ChannelNumbers, ::testing::Values(1, 5, 32, 0, 33, -1),
                         [](const auto& info) { return test_support::Numbered("Channel", info.param); });

// --- a sample's end ---

TEST_F(SpeakerObject, SampleHasFinishedHoldsOnceAfterEachPlayAndNeverWhileSamplesAreOff) {
    const DWORD blip = AddWav(u"Blip", 0.2);
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(0, {Sample(blip)})}));
    b.AddGroup(Group({EveryLoop(Speaker(-5, {Sample(blip), StateWord()}))}, {Recorder(5)}));
    Prepare(b);
    for (int play = 1; play <= 2; ++play) {
        Log().clear();
        TickWith();
        // The condition sees the end on the first loop after the mix that ended the sample.
        std::int64_t ended = 0;
        for (int i = 0; i < 14; ++i) {
            Tick();
            if (!ended && !IsSoundPlaying(context_, SoundHandle(blip))) ended = frame_.Run().loopCount;
        }
        ASSERT_NE(ended, 0) << "play " << play;
        ASSERT_LT(ended, frame_.Run().loopCount);
        EXPECT_EQ(LoopsOf(5), (std::vector<std::int64_t>{ended + 1})) << "play " << play;
    }
    Services().flags = RuntimeMusicOn;
    Log().clear();
    TickWith();
    for (int i = 0; i < 12; ++i)
        Tick();
    EXPECT_TRUE(Log().empty());
}

// --- files ---

TEST_F(SpeakerObject, FilesPlayedOnAChannelAreRememberedAndStoppedWithTheApplicationsSounds) {
    const std::u16string first = WavFile("speaker_first.wav", 1.0);
    const std::u16string second = WavFile("speaker_second.wav", 1.0);
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(28, {File(first), Number(5)})}));
    b.AddGroup(Group({EveryLoop(Switch(1))}, {Speaker(29, {File(second), Number(5), Number(2)})}));
    b.AddGroup(Group({EveryLoop(Switch(2))}, {Speaker(28, {File(first), Number(0)})}));
    b.AddGroup(Group({EveryLoop(Switch(3))}, {Speaker(27, {File(tunePath_), Number(3)})}));
    Prepare(b);

    TickWith(0);
    ASSERT_NE(app_.channelSampleFiles[4], nullptr);
    EXPECT_EQ(std::u16string(app_.channelSampleFiles[4]), first);
    EXPECT_EQ(FindChannelOfSound(context_, first.c_str()), 5);
    TickWith(1);
    EXPECT_EQ(std::u16string(app_.channelSampleFiles[4]), second) << "the next file there replaces it";
    EXPECT_EQ(FindChannelOfSound(context_, second.c_str()), 5);
    EXPECT_EQ(FindChannelOfSound(context_, first.c_str()), 0);
    TickWith(2);
    EXPECT_EQ(FindChannelOfSound(context_, first.c_str()), 0) << "channel 0 plays nothing";
    for (int n = 0; n < RememberedChannels; ++n) {
        EXPECT_EQ(app_.channelSampleFiles[n] != nullptr, n == 4) << n;
    }

    TickWith(3);
    ASSERT_NE(app_.musicFile, nullptr);
    EXPECT_EQ(std::u16string(app_.musicFile), tunePath_);
    EXPECT_EQ(frame_.Run().musicRequestHandle, -1);
    EXPECT_EQ(frame_.Run().musicRequestFlags, 0x20010u);
    EXPECT_EQ(frame_.Run().musicRequestLoops, 3);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 3);

    StopApplicationSounds(app_);
    EXPECT_EQ(IsSoundPlaying(context_, nullptr), 0);
    EXPECT_EQ(context_->music.deviceId, -1);
}

// --- what the runtime adds to the play flags ---

struct FlagCase {
    const char* name;
    std::int16_t action;
    std::uint16_t options;
    bool noDirectSound, globalFocus;
    DWORD expected;
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.name;
}

class PlayFlags : public SpeakerObject, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(PlayFlags, TheChannelKeepsTheFlagsOfThePlay) {
    const FlagCase& c = GetParam();
    GetCommandLineOptions().noDirectSoundOption = c.noDirectSound ? 1 : 0;
    if (c.globalFocus) app_.header.flags3 = HeaderSoundsGlobalFocus;
    EventProgramBuilder b;
    std::vector<EventParameterDesc> params{Sample(tone_, c.options)};
    if (c.action == 4) params.push_back(Number(2));
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(c.action, std::move(params))}));
    Prepare(b);
    TickWith();
    EXPECT_EQ(context_->channels[0].flags & 0xFFFF, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Speaker, PlayFlags,
                         ::testing::Values(FlagCase{"Plain", 0, 0, false, false, 0x100},
                                           FlagCase{"WithoutDirectSound", 0, 0, true, false, 0},
                                           FlagCase{"GlobalFocus", 0, 0, false, true, 0x120},
                                           FlagCase{"Forced", 0, 1, false, false, 0x102},
                                           FlagCase{"ForcedWithLoops", 4, 1, true, false, 0x12}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- settings and expressions ---

struct SettingCase {
    const char* name;
    std::int16_t action; // -1: none
    std::vector<EventParameterDesc> parameters;
    ExpressionBuilder reading;
    std::int32_t withSamples, withoutSamples;
};

void PrintTo(const SettingCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<SettingCase> SettingCases() {
    const DWORD tone = 1; // the fixture's first item
    return {
        {"ChannelVolume", 17, {Number(1), Number(40)}, SpeakerExpression(2, 1), 40, 40},
        {"ChannelPanOnlyWithSamples", 18, {Number(1), Number(-60)}, SpeakerExpression(5, 1), -60, 0},
        {"MasterVolume", 20, {Number(70)}, SpeakerExpression(0), 70, 70},
        {"MasterVolumeHeldTo100", 20, {Number(250)}, SpeakerExpression(0), 100, 100},
        {"MasterPan", 22, {Number(25)}, SpeakerExpression(3), 25, 25},
        {"SampleVolume", 21, {Sample(tone), Number(30)}, SpeakerExpression(1, u"tone"), 30, 0},
        {"SamplePan", 23, {Sample(tone), Number(50)}, SpeakerExpression(4, u"Tone"), 50, 0},
        {"ChannelFrequency", 32, {Number(1), Number(22050)}, SpeakerExpression(11, 1), 22050, 22050},
        {"SampleFrequency", 33, {Sample(tone), Number(11025)}, SpeakerExpression(10, u"Tone"), 11025, 0},
        {"ChannelPosition", 16, {Number(1), Number(250)}, SpeakerExpression(7, 1), 250, 0},
        {"NegativePositionIsTheStart", 19, {Sample(tone), Number(-40)}, SpeakerExpression(6, u"Tone"), 0, 0},
        {"ChannelDuration", -1, {}, SpeakerExpression(9, 1), 1000, 0},
        {"SampleDuration", -1, {}, SpeakerExpression(8, u"Tone"), 1000, 0},
        {"UnknownSampleName", -1, {}, SpeakerExpression(1, u"Nothing"), 0, 0},
        {"ChannelOutOfRange", -1, {}, SpeakerExpression(2, 33), 0, 0},
    };
}

class Settings : public SpeakerObject, public ::testing::WithParamInterface<std::tuple<SettingCase, bool>> {};

TEST_P(Settings, ActionsSetWhatExpressionsRead) {
    const auto& [c, samples] = GetParam();
    ASSERT_EQ(tone_, 1u);
    Services().flags = samples ? BothOn : RuntimeMusicOn;
    EventProgramBuilder b;
    // The tone plays on channel 1 for longer than the test runs.
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(11, {Sample(tone_), Number(1)})}));
    std::vector<EventRecordDesc> actions{RecorderOf(c.reading)};
    if (c.action >= 0) actions.insert(actions.begin(), Speaker(c.action, c.parameters));
    b.AddGroup(Group({EveryLoop(Switch(1))}, std::move(actions)));
    Prepare(b);
    TickWith(0);
    TickWith(1);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{samples ? c.withSamples : c.withoutSamples});
}

INSTANTIATE_TEST_SUITE_P(Speaker, Settings,
                         ::testing::Combine(::testing::ValuesIn(SettingCases()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<SettingCase, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "SamplesOn" : "SamplesOff");
                         });

// --- music ---

TEST_F(SpeakerObject, MusicPausesResumesAndStopsAndItsPauseFollowsTheMusicSwitch) {
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Speaker(2, {Music(theme_)})}));
    b.AddGroup(Group({EveryLoop(Switch(1))}, {Speaker(9)}));
    b.AddGroup(Group({EveryLoop(Switch(2))}, {Speaker(10)}));
    b.AddGroup(Group({EveryLoop(Switch(3))}, {Speaker(3)}));
    b.AddGroup(Group({EveryLoop(Speaker(-7))}, {Recorder(7)}));
    b.AddGroup(Group({EveryLoop(Speaker(-4))}, {Recorder(4)}));
    Prepare(b);
    TickWith(0);
    EXPECT_EQ(frame_.Run().musicRequestHandle, static_cast<std::int32_t>(theme_));
    EXPECT_EQ(frame_.Run().musicRequestFlags, 0u);
    EXPECT_TRUE(Recorded().empty()) << "playing, not paused";
    Tick();
    EXPECT_TRUE(Heard());

    TickWith(1);
    EXPECT_EQ(Recorded(), (std::set<std::int32_t>{7}));
    heard_.clear();
    Tick();
    EXPECT_FALSE(Heard()) << "paused";
    TickWith(2);
    EXPECT_TRUE(Recorded().empty());
    Tick();
    EXPECT_TRUE(Heard());

    // Switched off, the music's pause does nothing and its conditions answer as if nothing played.
    Services().flags = RuntimeSamplesOn;
    TickWith(1);
    EXPECT_EQ(IsSoundPaused(context_, nullptr), 0);
    EXPECT_EQ(Recorded(), (std::set<std::int32_t>{4}));
    Services().flags = BothOn;
    TickWith(3);
    EXPECT_EQ(Recorded(), (std::set<std::int32_t>{4}));
    EXPECT_EQ(context_->music.deviceId, -1);
}

} // namespace
