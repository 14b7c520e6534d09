// Samples on the 32 channels of a context: playing with the channel choice, stopping, pausing, queries,
// and the channel and master volume, pan and frequency.
#include "channels_internal.h"

#include "sound_internal.h"
#include "vtrs2/compat.h"
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace win32;

namespace {

constexpr DWORD ProtectionBits = PlayProtected | PlayForced;
constexpr DWORD KeptPlayFlags = 0xFFFF;
constexpr int FullChannelVolume = 100;
constexpr int MaxChannelPan = 100;
// No stored sound block is larger; a bigger stated size is damage, not a reason to allocate.
constexpr DWORD MaxBlockBytes = 256u << 20;

bool ValidChannel(const AppContext* context, int channel) {
    return context && channel >= 1 && channel <= context->channelCount;
}

SoundChannel* ChannelAt(AppContext* context, int channel) {
    return ValidChannel(context, channel) ? &context->channels[channel - 1] : nullptr;
}

bool Sounds(const SoundChannel& c) {
    return c.sound && (c.sound->IsPlaying() || c.sound->IsPaused());
}

void FreeChannelEntry(SoundChannel& c) {
    if (c.sound) c.sound->Close();
    c.sound = nullptr;
    c.flags &= ~KeptPlayFlags;
    c.handle = 0;
    FreeMemory(&c.fileName);
}

void StopChannelEntry(SoundChannel& c) {
    if (c.sound) c.sound->Stop(1, 1);
    FreeChannelEntry(c);
}

void PauseChannelEntry(SoundChannel& c) {
    if (c.sound && c.sound->IsPlaying() && !c.sound->IsPaused()) c.sound->Pause();
}

void ResumeChannelEntry(SoundChannel& c) {
    if (c.sound && c.sound->IsPaused()) c.sound->Resume();
}

bool Holds(const SoundChannel& c, SoundReference sound) {
    if (sound::IsNameReference(sound))
        return c.fileName &&
               sound::SameFileName(static_cast<const WCHAR*>(c.fileName), sound::NameOfReference(sound));
    const DWORD handle = sound::HandleOfReference(sound);
    return handle && c.handle == handle;
}

// The first channel (within the usable count) that holds the sound.
SoundChannel* FirstHolding(AppContext* context, SoundReference sound) {
    if (!context || !sound) return nullptr;
    for (int n = 1; n <= context->channelCount; ++n)
        if (Holds(context->channels[n - 1], sound)) return &context->channels[n - 1];
    return nullptr;
}

// The first channel holding the sound, or with null every usable channel.
void ForSoundOrEveryChannel(AppContext* context, SoundReference sound, void (*entry)(SoundChannel&)) {
    if (!context) return;
    if (sound) {
        if (SoundChannel* c = FirstHolding(context, sound)) entry(*c);
        return;
    }
    for (int n = 1; n <= context->channelCount; ++n)
        entry(context->channels[n - 1]);
}

// A channel routine on a channel 1..usable count: 1, or 0 for any other channel.
int OnChannel(AppContext* context, int channel, void (*entry)(SoundChannel&)) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    entry(*c);
    return 1;
}

void SendVolume(AppContext* context, SoundChannel& c) {
    if (c.sound) c.sound->SetVolume(ChannelSoundVolume(c.volume, context->masterVolume));
}

void SendPan(AppContext* context, SoundChannel& c) {
    if (c.sound) c.sound->SetPan(ChannelSoundPan(c.pan, context->masterPan));
}

// A stream that owns the data it reads.
class OwnedMemoryStream final : public CInputMemFile {
public:
    explicit OwnedMemoryStream(std::vector<BYTE> data) : data_(std::move(data)) {
        Attach(data_.data(), static_cast<LONG>(data_.size()));
    }

private:
    std::vector<BYTE> data_;
};

// A stream over a range of a handle of its own, closed with the stream.
class OwnedHandleStream final : public CInputBufFile {
public:
    ~OwnedHandleStream() override {
        const HANDLE file = Detach();
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

// A handle of the caller's own on the referenced file: reading through it moves no one else's position,
// which matters when the service timer's thread reads while the program reads its data stream.
// An item's file reference, copied out of the item (whose data need not be aligned for it).
struct FileReference {
    SoundFileReference r;
    std::u16string name;
};

HANDLE OpenReferencedFile(const FileReference& ref) {
    const SoundFileReference& r = ref.r;
    if (r.file == INVALID_HANDLE_VALUE)
        return CreateFileW(ref.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return ReOpenFile(r.file, GENERIC_READ, FILE_SHARE_READ, 0);
}

// The block (name then sound) of an in-file item, inflated when stored compressed.
bool ReadReferencedBlock(const FileReference& ref, std::vector<BYTE>& block) {
    const SoundFileReference& r = ref.r;
    if (r.size > MaxBlockBytes || r.nameLength > r.size / sizeof(WCHAR) || r.position > 0x7FFFFFFF)
        return false;
    const HANDLE file = OpenReferencedFile(ref);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFilePointer(file, static_cast<LONG>(r.position), nullptr, FILE_BEGIN) == r.position;
    try {
        block.assign(r.size, 0);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok && r.compressed) {
        DWORD packed = 0, read = 0;
        ok = ReadFile(file, &packed, sizeof packed, &read, nullptr) && read == sizeof packed &&
             packed <= 0x7FFFFFFF &&
             DecompressFileToMemory(block.data(), file, static_cast<LONG>(packed),
                                    static_cast<LONG>(r.size)) == 0;
    } else if (ok && r.size) {
        DWORD read = 0;
        ok = ReadFile(file, block.data(), r.size, &read, nullptr) && read == r.size;
    }
    CloseHandle(file);
    return ok;
}

bool ReferenceOf(ContextBanks* banks, DWORD handle, FileReference& out) {
    const auto* item = reinterpret_cast<const SoundItem*>(GetBankItem(banks, BankSounds, handle));
    if (!item || item->header.dataSize < sizeof(SoundFileReference)) return false;
    const BYTE* data = BankItemData(&item->header);
    std::memcpy(&out.r, data, sizeof out.r);
    const std::size_t units = (item->header.dataSize - sizeof(SoundFileReference)) / sizeof(WCHAR);
    out.name.assign(units, u'\0');
    std::memcpy(out.name.data(), data + sizeof(SoundFileReference), units * sizeof(WCHAR));
    out.name.resize(std::char_traits<char16_t>::length(out.name.c_str()));
    return true;
}

// An item still in the application file becomes an ordinary sample at the same handle.
bool FetchFromFile(ContextBanks* banks, DWORD handle) {
    FileReference ref;
    if (!ReferenceOf(banks, handle, ref)) return false;
    const SoundFileReference* reference = &ref.r;
    std::vector<BYTE> block;
    if (!ReadReferencedBlock(ref, block)) return false;
    const std::size_t nameBytes = static_cast<std::size_t>(reference->nameLength) * sizeof(WCHAR);
    std::u16string name(reference->nameLength, u'\0');
    std::memcpy(name.data(), block.data(), nameBytes);
    name.resize(std::char_traits<char16_t>::length(name.c_str()));
    return ReplaceSoundItemW(banks, SoundKindSample, handle, name.c_str(), block.data() + nameBytes,
                             static_cast<DWORD>(block.size() - nameBytes)) == handle;
}

CInputFile* OpenFileStream(const WCHAR* name) {
    CInputBufFile* stream = NewInputBufFile();
    if (stream && stream->Open(name) != StreamOk) {
        stream->Delete();
        return nullptr;
    }
    return stream;
}

CInputFile* OpenStreamedItem(const FileReference& ref) {
    const SoundFileReference& r = ref.r;
    const DWORD nameBytes = r.nameLength * static_cast<DWORD>(sizeof(WCHAR));
    if (r.nameLength > r.size / sizeof(WCHAR) || r.position > 0x7FFFFFFF - r.size) return nullptr;
    if (r.compressed) {
        // A compressed block has no byte range to stream from: it is inflated for this play.
        std::vector<BYTE> block;
        if (!ReadReferencedBlock(ref, block)) return nullptr;
        block.erase(block.begin(), block.begin() + nameBytes);
        return new (std::nothrow) OwnedMemoryStream(std::move(block));
    }
    const auto start = static_cast<LONG>(r.position + nameBytes);
    const auto length = static_cast<LONG>(r.size - nameBytes);
    if (r.file == INVALID_HANDLE_VALUE) {
        CInputBufFile* stream = NewInputBufFile();
        if (stream && stream->OpenRange(ref.name.c_str(), start, length) != StreamOk) {
            stream->Delete();
            return nullptr;
        }
        return stream;
    }
    const HANDLE own = ReOpenFile(r.file, GENERIC_READ, FILE_SHARE_READ, 0);
    if (own == INVALID_HANDLE_VALUE) return nullptr;
    auto* stream = new (std::nothrow) OwnedHandleStream;
    if (!stream) {
        CloseHandle(own);
        return nullptr;
    }
    if (stream->AttachHandleRange(own, start, length) != StreamOk) {
        CloseHandle(own);
        stream->Delete();
        return nullptr;
    }
    return stream;
}

CInputFile* OpenItemStream(ContextBanks* banks, DWORD handle) {
    const auto* item = reinterpret_cast<const SoundItem*>(GetBankItem(banks, BankSounds, handle));
    if (!item) return nullptr;
    if (item->kind & SoundStreamedFromFile) {
        FileReference ref;
        return ReferenceOf(banks, handle, ref) ? OpenStreamedItem(ref) : nullptr;
    }
    CInputMemFile* stream = NewInputMemFile();
    if (stream) stream->Attach(BankItemData(&item->header), static_cast<LONG>(item->header.dataSize));
    return stream;
}

// The channel to play on, or 0 with `refusal` set to the answer.
int ChooseChannel(AppContext* context, int channel, DWORD flags, int& refusal) {
    if (channel != 0) {
        SoundChannel* c = ChannelAt(context, channel);
        if (!c) {
            refusal = PlayFailed;
            return 0;
        }
        // A protected sound keeps its channel only while it sounds.
        if (c->handle && (c->flags & ProtectionBits) && !(flags & PlayForced) && Sounds(*c)) {
            refusal = PlayFailed;
            return 0;
        }
        return channel;
    }
    int chosen = 0, unprotected = 0;
    for (int n = 1; n <= context->channelCount && !chosen; ++n) {
        SoundChannel& c = context->channels[n - 1];
        if (c.flags & ChannelReserved) continue;
        if (!c.sound) {
            chosen = n;
        } else if (!Sounds(c)) {
            FreeChannelEntry(c);
            chosen = n;
        } else if (!unprotected && !(c.flags & ProtectionBits)) {
            unprotected = n;
        }
    }
    if (!chosen) chosen = unprotected;
    if (!chosen) {
        if (!(flags & PlayForced)) {
            refusal = PlayNoChannel;
            return 0;
        }
        chosen = context->channelCount;
        for (int n = 1; n <= context->channelCount; ++n)
            if (!(context->channels[n - 1].flags & ChannelReserved)) {
                chosen = n;
                break;
            }
    }
    SoundChannel& c = context->channels[chosen - 1];
    c.volume = FullChannelVolume;
    c.pan = 0;
    c.frequency = 0;
    return chosen;
}

int PlaySample(CSoundManager* manager, AppContext* context, SoundReference sound, DWORD flags, int loops,
               int channel) {
    const bool named = sound::IsNameReference(sound);
    const DWORD handle = named ? 0 : sound::HandleOfReference(sound);
    if (!named) {
        const auto* item =
            reinterpret_cast<const SoundItem*>(GetBankItem(context->banks, BankSounds, handle));
        if (item && (item->kind & SoundInFile) && !FetchFromFile(context->banks, handle)) return PlayFailed;
    }
    if (!manager) return PlayStarted;
    int refusal = 0;
    const int chosen = ChooseChannel(context, channel, flags, refusal);
    if (!chosen) return refusal;
    SoundChannel& c = context->channels[chosen - 1];
    StopChannelEntry(c);
    CInputFile* stream =
        named ? OpenFileStream(static_cast<const WCHAR*>(sound)) : OpenItemStream(context->banks, handle);
    if (!stream) return PlayFailed;
    const DWORD openFlags = SoundOpenStreamed | ((flags & PlayGlobalFocus) ? SoundOpenGlobalFocus : 0);
    CSound* played = manager->LoadSound(stream, 1, openFlags);
    if (!played) {
        stream->Delete();
        return PlayFailed;
    }
    c.handle = handle;
    if (named) c.fileName = sound::CopyName(sound::NameOfReference(sound));
    c.flags = (c.flags & ~KeptPlayFlags) | (flags & KeptPlayFlags);
    c.sound = played;
    if (loops != 1) played->SetLoopCount(1, loops);
    SendVolume(context, c);
    SendPan(context, c);
    if (c.frequency) played->SetFrequency(c.frequency);
    played->Play();
    return PlayStarted;
}

int PlaySound(CSoundManager* manager, AppContext* context, SoundReference sound, HWND window, DWORD flags,
              int loops, int channel, bool ansiEntry) {
    if (!context || !sound) return PlayFailed;
    DWORD kind = 0;
    std::u16string element;
    if (flags & PlayWideName) {
        if (!sound::IsNameReference(sound) || sound::NameOfReference(sound).empty()) return PlayFailed;
        kind = (flags >> PlayKindShift) & SoundKindMask;
        element = sound::NameOfReference(sound);
    } else {
        if (sound::IsNameReference(sound)) return PlayFailed;
        const auto* item = reinterpret_cast<const SoundItem*>(
            GetBankItem(context->banks, BankSounds, sound::HandleOfReference(sound)));
        if (!item) return PlayFailed;
        kind = item->kind & SoundKindMask;
        if (kind == SoundKindMusic)
            element = sound::MusicItemFileName(context->banks, sound::HandleOfReference(sound));
    }
    const int count = (flags & PlayLoops) ? std::max(loops, 0) : 1;
    if (kind == SoundKindSample) return PlaySample(manager, context, sound, flags, count, channel);
    if (kind == SoundKindMusic)
        return sound::PlayMusic(context, sound, element, window, flags, count, ansiEntry);
    return PlayFailed;
}

} // namespace

namespace sound {

bool SameFileName(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

WCHAR* CopyName(std::u16string_view name) {
    WCHAR* copy = nullptr;
    if (!AllocZeroedMemory((name.size() + 1) * sizeof(WCHAR), &copy)) return nullptr;
    std::memcpy(copy, name.data(), name.size() * sizeof(WCHAR));
    return copy;
}

void ForgetChannelSound(CSound* sound) {
    CIndexList* contexts = GetThreadContexts();
    if (!contexts) return;
    int cursor = contexts->GetHead();
    while (auto* context = static_cast<AppContext*>(contexts->Next(cursor)))
        for (SoundChannel& c : context->channels)
            if (c.sound == sound) c.sound = nullptr;
}

// Stops whatever plays an item's data before the item goes, so that no sound reads freed memory.
void StopChannelsOfItem(ContextBanks* banks, DWORD handle) {
    CIndexList* contexts = GetThreadContexts();
    if (!contexts) return;
    int cursor = contexts->GetHead();
    while (auto* context = static_cast<AppContext*>(contexts->Next(cursor))) {
        if (context->banks != banks) continue;
        for (SoundChannel& c : context->channels)
            if (c.sound && c.handle == handle) StopChannelEntry(c);
    }
}

} // namespace sound

int ChannelSoundVolume(int channelVolume, int masterVolume) {
    return std::clamp(channelVolume * masterVolume / 10, 0, 1000);
}

int ChannelSoundPan(int channelPan, int masterPan) {
    const int sum = channelPan + masterPan;
    if (sum < -MaxChannelPan) return -1000;
    if (sum > MaxChannelPan) return 1000;
    return sum * 10;
}

int PlaySoundItemW(CSoundManager* manager, AppContext* context, SoundReference sound, HWND window,
                   DWORD flags, int loops, int channel) {
    try {
        return PlaySound(manager, context, sound, window, flags, loops, channel, false);
    } catch (const std::bad_alloc&) {
        return PlayFailed;
    }
}

int PlaySoundItemA(CSoundManager* manager, AppContext* context, const void* sound, HWND window, DWORD flags,
                   int loops, int channel) {
    if (!(flags & PlayAnsiName))
        return PlaySoundItemW(manager, context, sound, window, flags, loops, channel);
    WCHAR* wide = ToWideString(static_cast<const char*>(sound), -1);
    if (!wide) return PlayFailed;
    int result = PlayFailed;
    try {
        result = PlaySound(manager, context, wide, window, (flags & ~PlayAnsiName) | PlayWideName, loops,
                           channel, true);
    } catch (const std::bad_alloc&) {
    }
    FreeString(wide);
    return result;
}

void StopSound(AppContext* context, int kind, SoundReference sound) {
    if (!context) return;
    if (kind == static_cast<int>(SoundKindMusic)) {
        sound::StopMusic(context, sound);
        return;
    }
    if (!sound) {
        for (SoundChannel& c : context->channels)
            if (c.sound || c.handle || c.fileName) StopChannelEntry(c);
        return;
    }
    for (int n = 1; n <= context->channelCount; ++n)
        if (Holds(context->channels[n - 1], sound)) StopChannelEntry(context->channels[n - 1]);
}

DWORD PauseSound(AppContext* context, int kind, SoundReference sound) {
    if (context && kind == static_cast<int>(SoundKindMusic)) return sound::PauseMusic(context);
    ForSoundOrEveryChannel(context, sound, PauseChannelEntry);
    return 0;
}

DWORD ResumeSound(AppContext* context, int kind, SoundReference sound) {
    if (context && kind == static_cast<int>(SoundKindMusic)) return sound::ResumeMusic(context);
    ForSoundOrEveryChannel(context, sound, ResumeChannelEntry);
    return 0;
}

int IsSoundPlaying(AppContext* context, SoundReference sound) {
    if (!context) return 0;
    if (sound) {
        if (sound::MusicMatches(context, sound)) return 1;
        for (int n = 1; n <= context->channelCount; ++n) {
            SoundChannel& c = context->channels[n - 1];
            if (!Holds(c, sound)) continue;
            if (Sounds(c)) return 1;
            FreeChannelEntry(c);
        }
        return 0;
    }
    int result = 0;
    for (int n = 1; n <= context->channelCount; ++n) {
        SoundChannel& c = context->channels[n - 1];
        if (!c.sound) continue;
        if (Sounds(c))
            result = 1;
        else
            FreeChannelEntry(c);
    }
    return result | (sound::MusicLoaded(context) ? 2 : 0);
}

int IsSoundPaused(AppContext* context, SoundReference sound) {
    if (!context) return 0;
    const bool musicPaused = context->music.deviceId != -1 && context->music.paused;
    if (sound) {
        if (sound::MusicMatches(context, sound)) return musicPaused ? 2 : 0;
        SoundChannel* c = FirstHolding(context, sound);
        return c && c->sound && c->sound->IsPaused() ? 1 : 0;
    }
    for (int n = 1; n <= context->channelCount; ++n) {
        const SoundChannel& c = context->channels[n - 1];
        if (c.sound && c.sound->IsPaused()) return musicPaused ? 3 : 1;
    }
    return musicPaused ? 2 : 0;
}

int FindChannelOfSound(AppContext* context, SoundReference sound) {
    SoundChannel* c = FirstHolding(context, sound);
    return c ? static_cast<int>(c - context->channels) + 1 : 0;
}

int SetChannelVolume(AppContext* context, int channel, int volume) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    c->volume = std::clamp(volume, 0, FullChannelVolume);
    SendVolume(context, *c);
    return 1;
}

int SetChannelPan(AppContext* context, int channel, int pan) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    c->pan = std::clamp(pan, -MaxChannelPan, MaxChannelPan);
    SendPan(context, *c);
    return 1;
}

int SetChannelFrequency(AppContext* context, int channel, DWORD frequency) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    c->frequency = frequency;
    if (c->sound) c->sound->SetFrequency(frequency);
    return 1;
}

int SetChannelPosition(AppContext* context, int channel, DWORD milliseconds) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c || !c->sound) return 0;
    c->sound->SetPosition(milliseconds);
    return 1;
}

int GetChannelVolume(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    return c ? c->volume : 0;
}

int GetChannelPan(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    return c ? c->pan : 0;
}

DWORD GetChannelFrequency(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    return c->sound ? c->sound->GetFrequency() : c->frequency;
}

DWORD GetChannelDuration(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    return c && c->sound ? c->sound->GetDuration() : 0;
}

DWORD GetChannelPosition(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    return c && c->sound ? c->sound->GetPosition() : 0;
}

int IsChannelPlaying(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    if (Sounds(*c)) return 1;
    StopChannelEntry(*c);
    return 0;
}

int IsChannelPaused(AppContext* context, int channel) {
    SoundChannel* c = ChannelAt(context, channel);
    return c && c->sound && c->sound->IsPaused() ? 1 : 0;
}

int PauseChannel(AppContext* context, int channel) {
    return OnChannel(context, channel, PauseChannelEntry);
}

int ResumeChannel(AppContext* context, int channel) {
    return OnChannel(context, channel, ResumeChannelEntry);
}

int StopChannel(AppContext* context, int channel) {
    return OnChannel(context, channel, StopChannelEntry);
}

int SetChannelLocked(AppContext* context, int channel, int locked) {
    SoundChannel* c = ChannelAt(context, channel);
    if (!c) return 0;
    c->flags = locked ? c->flags | ChannelReserved : c->flags & ~ChannelReserved;
    return 1;
}

int SetChannelCount(AppContext* context, int count) {
    const int clamped = std::clamp(count, 1, SoundChannelCount);
    if (context) context->channelCount = clamped;
    return clamped;
}

namespace {

// The channel twin of a by-sound operation, on the first channel holding the sample; 0 for kind 2 or no
// match.
template <typename Result, typename... Parameters, typename... Arguments>
Result OnSampleChannel(AppContext* context, int kind, SoundReference sound,
                       Result (*channelTwin)(AppContext*, int, Parameters...), Arguments... arguments) {
    if (kind == static_cast<int>(SoundKindMusic)) return Result{};
    SoundChannel* c = FirstHolding(context, sound);
    return c ? channelTwin(context, static_cast<int>(c - context->channels) + 1, arguments...) : Result{};
}

} // namespace

int SetSoundVolume(AppContext* context, int kind, SoundReference sound, int volume) {
    return OnSampleChannel(context, kind, sound, SetChannelVolume, volume);
}

int SetSoundPan(AppContext* context, int kind, SoundReference sound, int pan) {
    return OnSampleChannel(context, kind, sound, SetChannelPan, pan);
}

int SetSoundFrequency(AppContext* context, int kind, SoundReference sound, DWORD frequency) {
    return OnSampleChannel(context, kind, sound, SetChannelFrequency, frequency);
}

int SetSoundPosition(AppContext* context, int kind, SoundReference sound, DWORD milliseconds) {
    return OnSampleChannel(context, kind, sound, SetChannelPosition, milliseconds);
}

int GetSoundVolume(AppContext* context, int kind, SoundReference sound) {
    return OnSampleChannel(context, kind, sound, GetChannelVolume);
}

int GetSoundPan(AppContext* context, int kind, SoundReference sound) {
    return OnSampleChannel(context, kind, sound, GetChannelPan);
}

DWORD GetSoundFrequency(AppContext* context, int kind, SoundReference sound) {
    return OnSampleChannel(context, kind, sound, GetChannelFrequency);
}

DWORD GetSoundDuration(AppContext* context, int kind, SoundReference sound) {
    return OnSampleChannel(context, kind, sound, GetChannelDuration);
}

DWORD GetSoundPosition(AppContext* context, int kind, SoundReference sound) {
    return OnSampleChannel(context, kind, sound, GetChannelPosition);
}

int SetMasterVolume(AppContext* context, int kind, int volume) {
    if (!context || kind != static_cast<int>(SoundKindSample)) return 0;
    context->masterVolume = std::clamp(volume, 0, FullChannelVolume);
    for (int n = 1; n <= context->channelCount; ++n)
        SendVolume(context, context->channels[n - 1]);
    return 1;
}

int SetMasterPan(AppContext* context, int kind, int pan) {
    if (!context || kind != static_cast<int>(SoundKindSample)) return 0;
    context->masterPan = std::clamp(pan, -MaxChannelPan, MaxChannelPan);
    for (int n = 1; n <= context->channelCount; ++n)
        SendPan(context, context->channels[n - 1]);
    return 1;
}

int GetMasterVolume(AppContext* context, int kind) {
    return context && kind == static_cast<int>(SoundKindSample) ? context->masterVolume : 0;
}

int GetMasterPan(AppContext* context, int kind) {
    return context && kind == static_cast<int>(SoundKindSample) ? context->masterPan : 0;
}
