// The speaker object: samples and MIDI music from the sound bank or from files, on any channel or on one of
// the 32, their volume, pan, position and frequency, and the master output; the Options menu's switches
// silence it.
#include "builtin/sound_services.h"
#include "builtin/system_objects.h"
#include "core/event_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "startup/event_program.h"

#include "vtrs2/app_context.h"
#include "vtrs2/sound_channels.h"

#include <algorithm>
#include <array>
#include <string>
#include <type_traits>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int FirstChannel = 1;
constexpr int LastChannel = SoundChannelCount;
// Bit 0 of a sample or music parameter's option word: the sound may take a protected or busy channel.
constexpr std::uint16_t SoundParameterForced = 0x1;
constexpr std::size_t SoundParameterBytes = 8; // header, handle, option word
constexpr DWORD SampleFile = PlayWideName | (SoundKindSample << PlayKindShift);
constexpr DWORD MusicFile = PlayWideName | (SoundKindMusic << PlayKindShift);

AppContext* Context() {
    return Services().libraryContext;
}

bool IsChannel(std::int32_t channel) {
    return channel >= FirstChannel && channel <= LastChannel;
}

std::int32_t IntAt(std::uint8_t* record, int n) {
    return GetIntParameter(ParameterAt(record, n));
}

const std::uint8_t* SoundParameter(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 0);
    switch (ParameterCode(p)) {
    case ParamSample:
    case ParamMusic:
    case ParamSample2:
    case ParamMusic2:
        return GetI16(p) >= static_cast<std::int16_t>(SoundParameterBytes) ? p : nullptr;
    default:
        return nullptr;
    }
}

// The bank handle of the record's sample or music parameter (a library handle once the frame is loaded);
// 0 when it names none.
DWORD HandleOf(std::uint8_t* record) {
    const std::uint8_t* p = SoundParameter(record);
    return p ? GetU16(p + SoundParamHandleAt) : 0;
}

SoundReference SoundOf(std::uint8_t* record) {
    return SoundHandle(HandleOf(record));
}

// The play flags the parameter asks for, with loops or without.
DWORD PlayFlagsOf(std::uint8_t* record, bool loops) {
    const std::uint8_t* p = SoundParameter(record);
    const DWORD forced = p && (GetU16(p + SoundParamFlagsAt) & SoundParameterForced) ? PlayForced : 0;
    return forced | (loops ? PlayLoops : 0);
}

// --- conditions ---

int SampleNotPlaying(std::uint8_t* record) {
    const DWORD handle = HandleOf(record);
    const bool playing = SamplesEnabled() && handle && IsSoundPlaying(Context(), SoundHandle(handle));
    return Negatable(record, !playing);
}

int MusicNotPlaying(std::uint8_t* record) {
    const DWORD handle = HandleOf(record);
    const bool playing = MusicEnabled() && handle && IsSoundPlaying(Context(), SoundHandle(handle));
    return Negatable(record, !playing);
}

constexpr int AnySamplePlays = 1;
constexpr int MusicLoaded = 2;

int NoSamplePlaying(std::uint8_t* record) {
    return Negatable(record, !SamplesEnabled() || !(IsSoundPlaying(Context(), nullptr) & AnySamplePlays));
}

int NoMusicPlaying(std::uint8_t* record) {
    return Negatable(record, !MusicEnabled() || !(IsSoundPlaying(Context(), nullptr) & MusicLoaded));
}

// The word kept in the second parameter is set while the sample plays, and cleared when the condition
// reports its end, so that an end is reported once.
int SampleFinished(std::uint8_t* record) {
    const std::uint8_t* p = ParameterAt(record, 1);
    if (!p || GetI16(p) < 6) return Negatable(record, false);
    auto* word = const_cast<std::uint8_t*>(p) + 4;
    const DWORD handle = HandleOf(record);
    const bool playing = handle && IsSoundPlaying(Context(), SoundHandle(handle));
    bool finished = false;
    if (GetU16(word)) {
        if ((SamplesEnabled() && !playing) || !handle) {
            PutU16(word, 0);
            finished = true;
        }
    } else if (playing || !SamplesEnabled()) {
        PutU16(word, 1);
    }
    return Negatable(record, finished);
}

int SamplePaused(std::uint8_t* record) {
    return Negatable(record, (IsSoundPaused(Context(), SoundOf(record)) & AnySamplePlays) != 0);
}

int MusicPaused(std::uint8_t* record) {
    return Negatable(record, MusicEnabled() && (IsSoundPaused(Context(), nullptr) & MusicLoaded));
}

int ChannelNotPlaying(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 0);
    const bool playing = IsChannel(channel) && SamplesEnabled() && IsChannelPlaying(Context(), channel);
    return Negatable(record, !playing);
}

int ChannelPaused(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 0);
    return Negatable(record, IsChannel(channel) && IsChannelPaused(Context(), channel) == 1);
}

// --- actions ---

void PlaySampleAction(std::uint8_t* record) {
    PlaySample(SoundOf(record), PlayFlagsOf(record, false), 0, 0);
}
void StopAllSamplesAction(std::uint8_t*) {
    StopSound(Context(), SoundKindSample, nullptr);
}
void PlayMusicAction(std::uint8_t* record) {
    PlayMusic(SoundOf(record), PlayFlagsOf(record, false), 0);
}
void StopMusicAction(std::uint8_t*) {
    StopSound(Context(), SoundKindMusic, nullptr);
}
void PlaySampleLoopsAction(std::uint8_t* record) {
    PlaySample(SoundOf(record), PlayFlagsOf(record, true), IntAt(record, 1), 0);
}
void PlayMusicLoopsAction(std::uint8_t* record) {
    PlayMusic(SoundOf(record), PlayFlagsOf(record, true), IntAt(record, 1));
}
// Handle 0 stops every sample whatever the switch says.
void StopSampleAction(std::uint8_t* record) {
    const DWORD handle = HandleOf(record);
    if (!handle || SamplesEnabled()) StopSound(Context(), SoundKindSample, SoundHandle(handle));
}
void PauseSampleAction(std::uint8_t* record) {
    if (SamplesEnabled()) PauseSound(Context(), SoundKindSample, SoundOf(record));
}
void ResumeSampleAction(std::uint8_t* record) {
    if (SamplesEnabled()) ResumeSound(Context(), SoundKindSample, SoundOf(record));
}
void PauseMusicAction(std::uint8_t*) {
    if (MusicEnabled()) PauseSound(Context(), SoundKindMusic, nullptr);
}
void ResumeMusicAction(std::uint8_t*) {
    if (MusicEnabled()) ResumeSound(Context(), SoundKindMusic, nullptr);
}
void PlaySampleOnChannelAction(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 1);
    if (IsChannel(channel)) PlaySample(SoundOf(record), PlayFlagsOf(record, false), 0, channel);
}
void PlaySampleOnChannelLoopsAction(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 1);
    const std::int32_t loops = IntAt(record, 2);
    if (IsChannel(channel)) PlaySample(SoundOf(record), PlayFlagsOf(record, true), loops, channel);
}

// An action on the channel of the first parameter with the integer of the second, when the channel is one of
// the 32 (and, for some, while samples are on).
template <int (*Call)(AppContext*, int), bool OnlyWithSamples> void OnChannel(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 0);
    if (IsChannel(channel) && (!OnlyWithSamples || SamplesEnabled())) Call(Context(), channel);
}
// A negative position or frequency is 0, the start or the sound's own rate (unsigned, it would be the
// largest).
template <typename Value> Value ValueOf(std::int32_t value) {
    if constexpr (std::is_unsigned_v<Value>)
        return static_cast<Value>(std::max(value, 0));
    else
        return value;
}
template <typename Value, int (*Call)(AppContext*, int, Value), bool OnlyWithSamples>
void OnChannelWith(std::uint8_t* record) {
    const std::int32_t channel = IntAt(record, 0);
    const std::int32_t value = IntAt(record, 1);
    if (IsChannel(channel) && (!OnlyWithSamples || SamplesEnabled()))
        Call(Context(), channel, ValueOf<Value>(value));
}
int LockChannel(AppContext* context, int channel) {
    return SetChannelLocked(context, channel, 1);
}
int UnlockChannel(AppContext* context, int channel) {
    return SetChannelLocked(context, channel, 0);
}

// An action on the sample of the first parameter with the integer of the second.
template <typename Value, int (*Call)(AppContext*, int, SoundReference, Value), bool OnlyWithSamples>
void OnSample(std::uint8_t* record) {
    const SoundReference sound = SoundOf(record);
    const std::int32_t value = IntAt(record, 1);
    if (!OnlyWithSamples || SamplesEnabled()) Call(Context(), SoundKindSample, sound, ValueOf<Value>(value));
}

void SetMasterVolumeAction(std::uint8_t* record) {
    SetMasterVolume(Context(), SoundKindSample, IntAt(record, 0));
}
void SetMasterPanAction(std::uint8_t* record) {
    SetMasterPan(Context(), SoundKindSample, IntAt(record, 0));
}
void PauseAllSamplesAction(std::uint8_t*) {
    if (SamplesEnabled()) PauseSound(Context(), SoundKindSample, nullptr);
}
void ResumeAllSamplesAction(std::uint8_t*) {
    if (SamplesEnabled()) ResumeSound(Context(), SoundKindSample, nullptr);
}

// A file name: a constant of code 40, else an expression; copied, since the player keeps the call's name.
std::u16string FileNameAt(std::uint8_t* record, int n) {
    return GetStringParameter(ParameterAt(record, n));
}
void PlayMusicFileAction(std::uint8_t* record) {
    const std::u16string name = FileNameAt(record, 0);
    PlayMusic(name.c_str(), MusicFile, 0);
}
void PlayMusicFileLoopsAction(std::uint8_t* record) {
    const std::u16string name = FileNameAt(record, 0);
    PlayMusic(name.c_str(), MusicFile | PlayLoops, IntAt(record, 1));
}
void PlaySampleFileOnChannelAction(std::uint8_t* record) {
    const std::u16string name = FileNameAt(record, 0);
    const std::int32_t channel = IntAt(record, 1);
    if (IsChannel(channel)) PlaySample(name.c_str(), SampleFile, 0, channel);
}
void PlaySampleFileOnChannelLoopsAction(std::uint8_t* record) {
    const std::u16string name = FileNameAt(record, 0);
    const std::int32_t channel = IntAt(record, 1);
    const std::int32_t loops = IntAt(record, 2);
    if (IsChannel(channel)) PlaySample(name.c_str(), SampleFile | PlayLoops, loops, channel);
}

// --- expressions ---

// The argument after the function's own token, leaving the current token on the closing token.
TypedValue Argument() {
    StepToken();
    return *EvaluateExpression();
}

// The bank sample named by the string argument; null when none has that name.
SoundReference NamedSample() {
    const TypedValue argument = Argument();
    AppContext* context = Context();
    if (!context || !argument.IsString()) return nullptr;
    const std::u16string name(argument.Text());
    return SoundHandle(FindSoundItemW(context->banks, SoundKindSample, name.c_str()));
}

std::int32_t ChannelArgument() {
    const std::int32_t channel = Argument().ToInt();
    return IsChannel(channel) ? channel : 0;
}

template <typename Result, Result (*Get)(AppContext*, int, SoundReference)> void OfNamedSample() {
    const SoundReference sound = NamedSample();
    SetTopInt(sound ? static_cast<std::int32_t>(Get(Context(), SoundKindSample, sound)) : 0);
}
template <typename Result, Result (*Get)(AppContext*, int)> void OfChannel() {
    const std::int32_t channel = ChannelArgument();
    SetTopInt(channel ? static_cast<std::int32_t>(Get(Context(), channel)) : 0);
}
void MasterVolumeExpression() {
    SetTopInt(GetMasterVolume(Context(), SoundKindSample));
}
void MasterPanExpression() {
    SetTopInt(GetMasterPan(Context(), SoundKindSample));
}

} // namespace

void InstallSpeakerRoutines() {
    static constexpr std::array<ConditionRoutine, 9> Conditions{
        SampleNotPlaying, MusicNotPlaying, NoSamplePlaying,   NoMusicPlaying, SampleFinished,
        SamplePaused,     MusicPaused,     ChannelNotPlaying, ChannelPaused};
    // The same test whichever way the engine asks.
    static constexpr std::array<ConditionOnObjectRoutine, 9> OnObjectRoutines{
        OnObject<SampleNotPlaying>, OnObject<MusicNotPlaying>,   OnObject<NoSamplePlaying>,
        OnObject<NoMusicPlaying>,   OnObject<SampleFinished>,    OnObject<SamplePaused>,
        OnObject<MusicPaused>,      OnObject<ChannelNotPlaying>, OnObject<ChannelPaused>};
    for (std::size_t i = 0; i < Conditions.size(); ++i)
        SetConditionRoutine(TypeSpeaker, static_cast<std::int32_t>(-1 - static_cast<int>(i)), Conditions[i],
                            OnObjectRoutines[i]);

    static constexpr std::array<ActionRoutine, 34> Actions{PlaySampleAction,
                                                           StopAllSamplesAction,
                                                           PlayMusicAction,
                                                           StopMusicAction,
                                                           PlaySampleLoopsAction,
                                                           PlayMusicLoopsAction,
                                                           StopSampleAction,
                                                           PauseSampleAction,
                                                           ResumeSampleAction,
                                                           PauseMusicAction,
                                                           ResumeMusicAction,
                                                           PlaySampleOnChannelAction,
                                                           PlaySampleOnChannelLoopsAction,
                                                           OnChannel<PauseChannel, true>,
                                                           OnChannel<ResumeChannel, true>,
                                                           OnChannel<StopChannel, true>,
                                                           OnChannelWith<DWORD, SetChannelPosition, false>,
                                                           OnChannelWith<int, SetChannelVolume, false>,
                                                           OnChannelWith<int, SetChannelPan, true>,
                                                           OnSample<DWORD, SetSoundPosition, false>,
                                                           SetMasterVolumeAction,
                                                           OnSample<int, SetSoundVolume, false>,
                                                           SetMasterPanAction,
                                                           OnSample<int, SetSoundPan, true>,
                                                           PauseAllSamplesAction,
                                                           ResumeAllSamplesAction,
                                                           PlayMusicFileAction,
                                                           PlayMusicFileLoopsAction,
                                                           PlaySampleFileOnChannelAction,
                                                           PlaySampleFileOnChannelLoopsAction,
                                                           OnChannel<LockChannel, false>,
                                                           OnChannel<UnlockChannel, false>,
                                                           OnChannelWith<DWORD, SetChannelFrequency, false>,
                                                           OnSample<DWORD, SetSoundFrequency, false>};
    for (std::size_t i = 0; i < Actions.size(); ++i)
        SetActionRoutine(TypeSpeaker, static_cast<std::int32_t>(i), Actions[i]);

    static constexpr std::array<ExpressionRoutine, 12> Expressions{MasterVolumeExpression,
                                                                   OfNamedSample<int, GetSoundVolume>,
                                                                   OfChannel<int, GetChannelVolume>,
                                                                   MasterPanExpression,
                                                                   OfNamedSample<int, GetSoundPan>,
                                                                   OfChannel<int, GetChannelPan>,
                                                                   OfNamedSample<DWORD, GetSoundPosition>,
                                                                   OfChannel<DWORD, GetChannelPosition>,
                                                                   OfNamedSample<DWORD, GetSoundDuration>,
                                                                   OfChannel<DWORD, GetChannelDuration>,
                                                                   OfNamedSample<DWORD, GetSoundFrequency>,
                                                                   OfChannel<DWORD, GetChannelFrequency>};
    for (std::size_t i = 0; i < Expressions.size(); ++i)
        SetExpressionRoutine(TypeSpeaker, static_cast<std::int32_t>(i), Expressions[i]);
}

} // namespace vtrrt
