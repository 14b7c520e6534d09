// The sound base: opening a decoder over a stream, the buffer size, loops, and positions in milliseconds.
#include "sound_internal.h"

#include "vtrs2/streams.h"

#include <algorithm>

using namespace win32;

namespace {

constexpr int FullVolume = 1000;

} // namespace

CSound::CSound(CSoundManager* manager)
    : manager_(manager), decoder_(nullptr), current_(0), start_(0), stream_(nullptr), ownsStream_(0),
      volume_(FullVolume), pan_(0), frequency_(0), loopSet_(0), loopInUse_(0), loopCountSet_(0),
      loopsLeft_(0), reserved_(0), playing_(0), paused_(0), wholeBuffer_(0), bufferSize_(0), ended_(0),
      globalFocus_(0) {}

CSound::~CSound() {
    if (decoder_) {
        decoder_->Close();
        decoder_->Release();
        decoder_ = nullptr;
    }
    if (stream_ && ownsStream_) stream_->Delete();
    stream_ = nullptr;
}

int CSound::Open(CInputFile* stream, int ownsStream, DWORD flags) {
    globalFocus_ = (flags & SoundOpenGlobalFocus) != 0;
    if (decoder_) {
        decoder_->Close();
        decoder_->Release();
        decoder_ = nullptr;
    }
    CSoundFilterMgr* filters = manager_ ? manager_->GetFilterMgr() : nullptr;
    CSoundAPI* device = manager_ ? manager_->GetDevice() : nullptr;
    if (!filters || !device || !stream) return SoundNoDecoder;
    decoder_ = filters->OpenDecoder(stream);
    if (!decoder_) return SoundNoDecoder;
    WAVEFORMATEX output = *decoder_->GetSourceFormat();
    device->GetOutputFormat(decoder_->GetSourceFormat(), &output);
    decoder_->SetOutputFormat(&output);
    const int result =
        SetFormat(decoder_->GetFormat(), decoder_->GetConvertedLength(), flags & SoundOpenStreamed);
    if (result != 0) {
        decoder_->Close();
        decoder_->Release();
        decoder_ = nullptr;
        return result;
    }
    stream_ = stream;
    ownsStream_ = ownsStream;
    return 0;
}

int CSound::SetFormat(const WAVEFORMATEX* format, std::uint64_t, int) {
    if (!format || format->wFormatTag != WAVE_FORMAT_PCM) return 2;
    // 1.2 seconds, a whole number of frames so that no frame straddles the ring's end.
    const DWORD block = static_cast<DWORD>(format->nChannels) * (format->wBitsPerSample / 8);
    if (block == 0 || format->nSamplesPerSec == 0) return 2;
    bufferSize_ = static_cast<DWORD>(static_cast<std::uint64_t>(format->nSamplesPerSec) * 120 / 100) * block;
    wholeBuffer_ = 0;
    return 0;
}

void CSound::Close() {
    sound::ForgetChannelSound(this);
    if (manager_) manager_->RemoveSound(this);
    delete this;
}

std::uint64_t CSound::Length() {
    return decoder_ ? decoder_->GetConvertedLength() : 0;
}

DWORD CSound::BytesPerSecond() {
    return decoder_ ? sound::AverageBytesPerSecond(*decoder_->GetFormat()) : 1;
}

DWORD CSound::GetDuration() {
    if (!decoder_) return 0;
    return static_cast<DWORD>(Length() * 1000 / BytesPerSecond());
}

DWORD CSound::GetPosition() {
    if (!decoder_) return 0;
    return static_cast<DWORD>(GetPlayPosition() * 1000 / BytesPerSecond());
}

void CSound::SetPosition(DWORD milliseconds) {
    if (!decoder_) return;
    std::uint64_t position = static_cast<std::uint64_t>(BytesPerSecond()) * milliseconds / 1000;
    position = std::min(position, Length());
    const WORD block = std::max<WORD>(1, decoder_->GetFormat()->nBlockAlign);
    position -= position % block;
    Seek(position, 1);
}

DWORD CSound::GetFrequency() {
    if (frequency_) return frequency_;
    return decoder_ ? decoder_->GetFormat()->nSamplesPerSec : 0;
}

int CSound::SetLoopCount(int loop, int count) {
    loopSet_ = loopInUse_ = static_cast<std::uint8_t>(loop != 0);
    loopCountSet_ = loopsLeft_ = count;
    if (wholeBuffer_ && loop && count == 0 && decoder_) {
        // A whole buffer cannot count its loops: one that loops for ever goes through the ring instead.
        Stop(1, 1);
        SetFormat(decoder_->GetFormat(), Length(), 1);
    }
    return count;
}

int CSound::GetLoopsLeft() {
    return (playing_ || paused_) && loopsLeft_ > 0 ? loopsLeft_ - 1 : loopsLeft_;
}

int CSound::IsLooping() {
    return loopsLeft_ == 1 ? 0 : loopInUse_;
}

int CSound::IsFinished() {
    if (wholeBuffer_ && (playing_ || paused_)) return 0;
    return ended_;
}

void CSound::GetFormat(WAVEFORMATEX* format) {
    if (format && decoder_) *format = *decoder_->GetFormat();
}
