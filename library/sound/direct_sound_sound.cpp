// A DirectSound sound: one whole static buffer, or a 1.2-second ring refilled by the service timer, with the
// end-of-data rule for loops and the accounting of what has been heard.
#include "direct_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace win32;

namespace {

constexpr DWORD StreamedFlags =
    DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY; // 0x100E0
constexpr int PanScale = 10;
constexpr int MaxVolume = 1000;
constexpr int MaxPan = 1000;

} // namespace

LONG VolumeToDirectSound(int volume) {
    if (volume <= 0) return DSBVOLUME_MIN;
    if (volume >= MaxVolume) return DSBVOLUME_MAX;
    return static_cast<LONG>(2000.0 * std::log10(static_cast<double>(volume) / MaxVolume));
}

DWORD FrequencyToDirectSound(DWORD frequency) {
    if (frequency == 0) return DSBFREQUENCY_ORIGINAL;
    return std::clamp(frequency, DSBFREQUENCY_MIN, DSBFREQUENCY_MAX);
}

CDSSound::CDSSound(CDSSoundManager* manager)
    : CSound(manager), dsManager_(manager), writeCursor_(0), bytesToPlay_(0), dataEnded_(0), buffer_(nullptr),
      lastPlayCursor_(0), bytesPlayed_(0), lastService_(0) {}

CDSSound::~CDSSound() {
    if (!buffer_) return;
    CSoundAPI* device = dsManager_->Device();
    device->SuspendService();
    if (playing_ || paused_) buffer_->Stop();
    ReleaseBuffer();
    device->ResumeService();
}

DWORD CDSSound::RingDistance(DWORD from, DWORD to) const {
    return to >= from ? to - from : bufferSize_ - from + to;
}

bool CDSSound::MakeBuffer() {
    IDirectSound* directSound = dsManager_->Device()->DirectSound();
    if (!directSound || !decoder_) return false;
    WAVEFORMATEX format = *decoder_->GetFormat();
    DWORD flags = StreamedFlags | (globalFocus_ ? DSBCAPS_GLOBALFOCUS : 0);
    if (wholeBuffer_) flags |= DSBCAPS_STATIC;
    DSBUFFERDESC description{sizeof(DSBUFFERDESC), flags, bufferSize_, 0, &format};
    if (FAILED(directSound->CreateSoundBuffer(&description, &buffer_, nullptr))) {
        buffer_ = nullptr;
        return false;
    }
    return true;
}

void CDSSound::ReleaseBuffer() {
    if (buffer_) buffer_->Release();
    buffer_ = nullptr;
}

int CDSSound::SetFormat(const WAVEFORMATEX* format, std::uint64_t size, int forceStreaming) {
    if (const int r = CSound::SetFormat(format, size, forceStreaming)) return r;
    if (!forceStreaming && size < 2ull * bufferSize_ && loopsLeft_ == 0 && size > 0) {
        wholeBuffer_ = 1;
        bufferSize_ = static_cast<DWORD>(size);
    }
    return 0;
}

void CDSSound::SendSettings() {
    if (!buffer_) return;
    buffer_->SetVolume(VolumeToDirectSound(volume_));
    buffer_->SetPan(std::clamp(pan_, -MaxPan, MaxPan) * PanScale);
    buffer_->SetFrequency(FrequencyToDirectSound(frequency_));
}

// Raised (never lowered) to carry the sound: only while nothing else plays, as changing it is heard.
void CDSSound::RaisePrimaryFormat() {
    IDirectSoundBuffer* primary = dsManager_->Primary();
    if (!primary || !decoder_ || dsManager_->Device()->AnyManagerPlays()) return;
    WAVEFORMATEX current{};
    if (FAILED(primary->GetFormat(&current, sizeof(current), nullptr))) return;
    const WAVEFORMATEX& wanted = *decoder_->GetFormat();
    WAVEFORMATEX raised = current;
    raised.wBitsPerSample = std::max(current.wBitsPerSample, wanted.wBitsPerSample);
    raised.nSamplesPerSec = std::max(current.nSamplesPerSec, wanted.nSamplesPerSec);
    raised.nChannels = std::max(current.nChannels, wanted.nChannels);
    raised.nBlockAlign = static_cast<WORD>(raised.nChannels * raised.wBitsPerSample / 8);
    raised.nAvgBytesPerSec = raised.nBlockAlign * raised.nSamplesPerSec;
    if (raised.wBitsPerSample != current.wBitsPerSample || raised.nSamplesPerSec != current.nSamplesPerSec ||
        raised.nChannels != current.nChannels)
        primary->SetFormat(&raised);
}

int CDSSound::Play() {
    if (!decoder_) return 0;
    CDSSoundAPI* device = dsManager_->Device();
    device->SuspendService();
    if (!device->EnsureDirectSound(nullptr)) {
        device->ResumeService();
        return 0;
    }
    if ((playing_ || paused_) && buffer_) buffer_->Stop();
    playing_ = paused_ = 0;
    // A whole buffer is filled from the start and played from the position; a ring from the position.
    current_ = start_;
    decoder_->SeekConverted(wholeBuffer_ ? 0 : start_);
    bytesPlayed_ = static_cast<std::int64_t>(start_);
    lastPlayCursor_ = 0;
    start_ = 0;
    // One loop is no loop: counting it down would reach "no limit".
    loopInUse_ = loopSet_ && loopCountSet_ != 1;
    loopsLeft_ = loopCountSet_;
    if (wholeBuffer_ && loopInUse_ && loopsLeft_ != 0) {
        ReleaseBuffer();
        SetFormat(decoder_->GetFormat(), Length(), 0);
        decoder_->SeekConverted(wholeBuffer_ ? 0 : current_);
    }
    if (!buffer_ && !MakeBuffer()) {
        device->ResumeService();
        return 0;
    }
    dataEnded_ = 0;
    bytesToPlay_ = 0;
    ended_ = 0;
    RaisePrimaryFormat();
    SendSettings();
    const bool filled = FillBuffer() != 0;
    if (!filled) ReleaseBuffer();
    device->ResumeService();
    if (!filled) return 0;
    if (wholeBuffer_) {
        buffer_->SetCurrentPosition(static_cast<DWORD>(current_ % std::max<DWORD>(bufferSize_, 1)));
        buffer_->Play(0, 0, loopInUse_ ? DSBPLAY_LOOPING : 0);
    } else {
        if (!device->StartTimer()) {
            buffer_->Stop();
            ReleaseBuffer();
            return 0;
        }
        buffer_->SetCurrentPosition(0);
        buffer_->Play(0, 0, DSBPLAY_LOOPING);
        lastService_ = sound::ServiceClock();
    }
    playing_ = 1;
    paused_ = 0;
    return 1;
}

void CDSSound::FillSilence(BYTE* region, DWORD bytes) {
    const bool eightBit = decoder_ && decoder_->GetFormat()->wBitsPerSample == 8;
    std::memset(region, eightBit ? 0x80 : 0, bytes);
}

DWORD CDSSound::FillRegion(BYTE* region, DWORD bytes) {
    DWORD done = 0;
    bool readSinceLoop = true;
    while (done < bytes) {
        DWORD got = 0;
        if (decoder_->ReadConverted(region + done, bytes - done, &got) != 0) got = 0;
        done += got;
        if (got > 0) {
            readSinceLoop = true;
            continue;
        }
        // The data ran out here: a loop starts it again (unless it gave nothing since the last start), else
        // the rest is silence.
        if (loopInUse_ && Length() > 0 && readSinceLoop) {
            bytesPlayed_ -= static_cast<std::int64_t>(Length());
            if (loopsLeft_ != 0 && --loopsLeft_ == 1) loopInUse_ = 0;
            decoder_->SeekConverted(0);
            current_ = 0;
            readSinceLoop = false;
            continue;
        }
        FillSilence(region + done, bytes - done);
        dataEnded_ = 1;
        break;
    }
    return std::min(done, bytes);
}

int CDSSound::FillBuffer() {
    if (!buffer_ || !decoder_) return 0;
    void* part = nullptr;
    DWORD bytes = 0;
    if (FAILED(buffer_->Lock(0, bufferSize_, &part, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER)))
        return 0;
    auto* region = static_cast<BYTE*>(part);
    int result = 1;
    if (wholeBuffer_) {
        DWORD got = 0;
        result = decoder_->ReadConverted(region, bytes, &got) == 0 && got == bytes;
    } else {
        const DWORD data = FillRegion(region, bytes);
        if (dataEnded_) bytesToPlay_ = data;
        writeCursor_ = 0;
    }
    buffer_->Unlock(part, bytes, nullptr, 0);
    return result;
}

std::int64_t CDSSound::FillRing(DWORD bytes) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer_->Lock(writeCursor_, bytes, &part1, &bytes1, &part2, &bytes2, 0))) return -1;
    DWORD data = FillRegion(static_cast<BYTE*>(part1), bytes1);
    if (part2 && bytes2) {
        if (dataEnded_)
            FillSilence(static_cast<BYTE*>(part2), bytes2);
        else
            data += FillRegion(static_cast<BYTE*>(part2), bytes2);
    }
    buffer_->Unlock(part1, bytes1, part2, bytes2);
    return data;
}

void CDSSound::SilenceRing(DWORD bytes) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer_->Lock(writeCursor_, bytes, &part1, &bytes1, &part2, &bytes2, 0))) return;
    FillSilence(static_cast<BYTE*>(part1), bytes1);
    if (part2) FillSilence(static_cast<BYTE*>(part2), bytes2);
    buffer_->Unlock(part1, bytes1, part2, bytes2);
}

DWORD CDSSound::ConsumedPerSecond() {
    const WAVEFORMATEX& f = *decoder_->GetFormat();
    const DWORD rate = frequency_ ? FrequencyToDirectSound(frequency_) : f.nSamplesPerSec;
    return std::max<DWORD>(1, rate * f.nBlockAlign);
}

// More time since the last tick than the ring lasts: the play cursor has gone round at least once, and the
// cursors alone can no longer tell how far.
bool CDSSound::GapSinceLastService() {
    const DWORD now = sound::ServiceClock();
    const std::uint64_t elapsed = static_cast<DWORD>(now - lastService_);
    lastService_ = now;
    return elapsed * ConsumedPerSecond() / 1000 >= bufferSize_;
}

// Everything written has been heard, then stale bytes: the ring starts again from where the data goes on.
void CDSSound::RecoverFromGap() {
    const DWORD pending =
        writeCursor_ == lastPlayCursor_ ? bufferSize_ : RingDistance(lastPlayCursor_, writeCursor_);
    buffer_->Stop();
    if (dataEnded_) {
        ended_ = 1;
        current_ = Length();
        playing_ = 0;
        return;
    }
    bytesPlayed_ += pending;
    current_ = std::min<std::uint64_t>(current_ + pending, Length());
    writeCursor_ = 0;
    const std::int64_t data = FillRing(bufferSize_);
    if (dataEnded_) bytesToPlay_ = std::max<std::int64_t>(data, 0);
    writeCursor_ = 0;
    lastPlayCursor_ = 0;
    buffer_->SetCurrentPosition(0);
    buffer_->Play(0, 0, DSBPLAY_LOOPING);
}

int CDSSound::Update() {
    if (wholeBuffer_ || !playing_ || paused_ || ended_ || !buffer_ || !decoder_) return 0;
    DWORD status = 0;
    buffer_->GetStatus(&status);
    bool restart = false;
    if (status & DSBSTATUS_BUFFERLOST) {
        if (FAILED(buffer_->Restore())) return 0;
        writeCursor_ = 0;
        restart = true;
    }
    if (GapSinceLastService() && !restart) {
        RecoverFromGap();
        return 1;
    }
    DWORD play = 0, write = 0;
    buffer_->GetCurrentPosition(&play, &write);
    if (play == writeCursor_ && !restart) return 0;
    bytesPlayed_ += RingDistance(lastPlayCursor_, play);
    lastPlayCursor_ = play;
    if (dataEnded_ && bytesToPlay_ <= 0) {
        ended_ = 1;
        buffer_->Stop();
        current_ = Length();
        playing_ = 0;
        return 1;
    }
    const DWORD block = std::max<WORD>(1, decoder_->GetFormat()->nBlockAlign);
    const DWORD region = restart ? bufferSize_ / 3 / block * block : RingDistance(writeCursor_, play);
    current_ = std::min<std::uint64_t>(current_ + region, Length());
    if (dataEnded_) {
        bytesToPlay_ = std::max<std::int64_t>(0, bytesToPlay_ - region);
        SilenceRing(region);
    } else {
        const std::int64_t data = FillRing(region);
        // What is still to be heard: from the play cursor to the end of the data just written.
        if (dataEnded_ && data >= 0)
            bytesToPlay_ = (restart ? 0 : static_cast<std::int64_t>(RingDistance(play, writeCursor_))) + data;
    }
    writeCursor_ = (writeCursor_ + region) % bufferSize_;
    if (restart) {
        buffer_->SetCurrentPosition(0);
        lastPlayCursor_ = 0;
        buffer_->Play(0, 0, DSBPLAY_LOOPING);
    }
    return 1;
}

std::uint64_t CDSSound::GetPlayPosition() {
    SoundLock lock;
    if (!playing_ || !buffer_) return current_;
    DWORD play = 0, write = 0;
    buffer_->GetCurrentPosition(&play, &write);
    const std::uint64_t length = Length();
    if (wholeBuffer_) return length ? play % length : 0;
    bytesPlayed_ += RingDistance(lastPlayCursor_, play);
    lastPlayCursor_ = play;
    std::int64_t position = bytesPlayed_;
    if (position < 0) position = std::max<std::int64_t>(0, position + static_cast<std::int64_t>(length));
    return std::min<std::uint64_t>(static_cast<std::uint64_t>(position), length);
}

int CDSSound::Seek(std::uint64_t position, int lockService) {
    if (!decoder_) return 0;
    position = std::min(position, Length());
    CSoundAPI* device = dsManager_->Device();
    if (wholeBuffer_) {
        current_ = position;
        if (playing_ && buffer_)
            buffer_->SetCurrentPosition(static_cast<DWORD>(position % std::max<DWORD>(bufferSize_, 1)));
        else
            start_ = position;
        return 1;
    }
    const bool wasPlaying = playing_ && !paused_;
    const bool wasPaused = paused_ != 0;
    if (lockService) device->SuspendService();
    if (playing_ && buffer_) buffer_->Stop();
    decoder_->SeekConverted(position);
    current_ = start_ = position;
    bytesPlayed_ = static_cast<std::int64_t>(position);
    if ((wasPlaying || wasPaused) && buffer_) {
        dataEnded_ = 0;
        bytesToPlay_ = 0;
        ended_ = 0;
        lastPlayCursor_ = 0;
        start_ = 0;
        FillBuffer();
        buffer_->SetCurrentPosition(0);
        if (wasPlaying) {
            buffer_->Play(0, 0, DSBPLAY_LOOPING);
            lastService_ = sound::ServiceClock();
        }
    }
    if (lockService) device->ResumeService();
    return 1;
}

int CDSSound::Stop(int releaseBuffer, int lockService) {
    CSoundAPI* device = dsManager_->Device();
    device->SuspendService();
    {
        SoundLock lock;
        if (buffer_) buffer_->Stop();
        playing_ = paused_ = 0;
        if (releaseBuffer) ReleaseBuffer();
    }
    device->ResumeService();
    if (lockService) dsManager_->StopTimerIfIdle();
    return 1;
}

int CDSSound::Pause() {
    SoundLock lock;
    if (!playing_ || paused_ || !buffer_) return 0;
    buffer_->Stop();
    paused_ = 1;
    return 1;
}

int CDSSound::Resume() {
    SoundLock lock;
    if (!paused_ || !buffer_) return 0;
    buffer_->Play(0, 0, !wholeBuffer_ || loopInUse_ ? DSBPLAY_LOOPING : 0);
    paused_ = 0;
    // The pause was no gap in the service.
    lastService_ = sound::ServiceClock();
    return 1;
}

int CDSSound::IsPlaying() {
    if (!wholeBuffer_ || !playing_ || paused_ || !buffer_) return playing_;
    DWORD status = 0;
    if (SUCCEEDED(buffer_->GetStatus(&status)) && !(status & DSBSTATUS_PLAYING)) {
        ended_ = 1;
        playing_ = 0;
    }
    return playing_;
}

int CDSSound::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, MaxVolume);
    if (buffer_) buffer_->SetVolume(VolumeToDirectSound(volume_));
    return 1;
}

int CDSSound::SetPan(int pan) {
    pan_ = std::clamp(pan, -MaxPan, MaxPan);
    if (buffer_) buffer_->SetPan(pan_ * PanScale);
    return 1;
}

int CDSSound::SetFrequency(DWORD frequency) {
    frequency_ = frequency;
    if (buffer_) buffer_->SetFrequency(FrequencyToDirectSound(frequency));
    return 1;
}
