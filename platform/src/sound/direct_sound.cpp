// DirectSound over the layer's mix: the device object, the primary buffer that only keeps a format, and
// secondary buffers that play their PCM bytes into the mix.
#include "sound/mixer.h"

#include "win32/dsound.h"
#include "win32/sound_testing.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace win32 {

namespace {

using detail::Mixer;
using detail::MixRate;

// Fixed-point fractions of a source frame (32 bits) for the resampling step and position.
constexpr int FractionBits = 32;

// Hundredths of a decibel as a linear gain; the bottom of the scale is silence.
float GainOf(LONG hundredths) {
    if (hundredths <= DSBVOLUME_MIN) return 0.0f;
    return static_cast<float>(std::pow(10.0, static_cast<double>(hundredths) / 2000.0));
}

bool ValidPcm(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= DSBFREQUENCY_MIN &&
           f.nSamplesPerSec <= DSBFREQUENCY_MAX && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

// One sample as full scale 1.0: 8-bit samples are unsigned around 128, 16-bit ones signed little-endian.
template <typename Sample> float SampleValue(const BYTE* p);
template <> float SampleValue<std::uint8_t>(const BYTE* p) {
    return (static_cast<float>(*p) - 128.0f) / 128.0f;
}
template <> float SampleValue<std::int16_t>(const BYTE* p) {
    return static_cast<float>(static_cast<std::int16_t>(p[0] | (p[1] << 8))) / 32768.0f;
}

class BufferBase : public IDirectSoundBuffer {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

// Keeps a format and answers; it makes no sound of its own.
class PrimaryBuffer final : public BufferBase {
public:
    PrimaryBuffer() : format_{WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0} {}

    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        *status = 0;
        return DS_OK;
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override {
        if (!format || !ValidPcm(*format)) return DSERR_BADFORMAT;
        format_ = *format;
        format_.cbSize = 0;
        return DS_OK;
    }
    HRESULT GetVolume(LONG* volume) override {
        if (!volume) return DSERR_INVALIDPARAM;
        *volume = volume_;
        return DS_OK;
    }
    HRESULT SetVolume(LONG volume) override {
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        volume_ = volume;
        return DS_OK;
    }
    HRESULT GetPan(LONG* pan) override {
        if (!pan) return DSERR_INVALIDPARAM;
        *pan = 0;
        return DS_OK;
    }
    HRESULT SetPan(LONG) override { return DS_OK; }
    HRESULT GetFrequency(DWORD*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD, DWORD, DWORD) override { return DS_OK; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Restore() override { return DS_OK; }

private:
    WAVEFORMATEX format_;
    LONG volume_ = 0;
};

HRESULT CopyFormat(const WAVEFORMATEX& from, WAVEFORMATEX* format, DWORD size, DWORD* written) {
    if (!format) {
        if (!written) return DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    const DWORD bytes = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
    std::memcpy(format, &from, bytes);
    if (written) *written = bytes;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
    return CopyFormat(format_, format, size, written);
}

class SecondaryBuffer;

// Every secondary buffer alive, so that a test can make them all lost.
std::vector<SecondaryBuffer*>& LiveBuffers() {
    static auto* buffers = new std::vector<SecondaryBuffer*>;
    return *buffers;
}

class SecondaryBuffer final : public BufferBase, public detail::MixSource {
public:
    SecondaryBuffer(const WAVEFORMATEX& format, DWORD bytes, DWORD flags)
        : format_(format), flags_(flags), data_(bytes, format.wBitsPerSample == 8 ? 0x80 : 0) {
        format_.cbSize = 0;
        UpdateGains();
    }

    // Counted as a user of the mix: a buffer may outlive the device object that made it.
    bool Attach() {
        if (!Mixer::Get().Start()) return false;
        std::lock_guard guard(Mixer::Get().Lock());
        Mixer::Get().Add(this);
        LiveBuffers().push_back(this);
        attached_ = true;
        return true;
    }

    ~SecondaryBuffer() override {
        {
            std::lock_guard guard(Mixer::Get().Lock());
            Mixer::Get().Remove(this);
            auto& live = LiveBuffers();
            live.erase(std::remove(live.begin(), live.end(), this), live.end());
        }
        if (attached_) Mixer::Get().Stop();
    }

    void MarkLost() {
        lost_ = true;
        playing_ = false;
    }

    HRESULT GetStatus(DWORD* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        std::lock_guard guard(Mixer::Get().Lock());
        *status = lost_ ? DSBSTATUS_BUFFERLOST : 0;
        if (playing_) *status |= DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }

    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
        std::lock_guard guard(Mixer::Get().Lock());
        if (play) *play = cursor_;
        if (write) *write = cursor_;
        return DS_OK;
    }

    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override {
        return CopyFormat(format_, format, size, written);
    }
    HRESULT SetFormat(const WAVEFORMATEX*) override { return DSERR_INVALIDCALL; }

    HRESULT GetVolume(LONG* volume) override { return Get(volume_, volume); }
    HRESULT SetVolume(LONG volume) override {
        return SetLevel(volume_, volume, DSBCAPS_CTRLVOLUME, DSBVOLUME_MIN, DSBVOLUME_MAX);
    }
    HRESULT GetPan(LONG* pan) override { return Get(pan_, pan); }
    HRESULT SetPan(LONG pan) override {
        return SetLevel(pan_, pan, DSBCAPS_CTRLPAN, DSBPAN_LEFT, DSBPAN_RIGHT);
    }
    HRESULT GetFrequency(DWORD* frequency) override {
        if (!frequency) return DSERR_INVALIDPARAM;
        *frequency = frequency_ ? frequency_ : format_.nSamplesPerSec;
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD frequency) override {
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL &&
            (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        std::lock_guard guard(Mixer::Get().Lock());
        frequency_ = frequency;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override {
        if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
        const DWORD size = static_cast<DWORD>(data_.size());
        std::lock_guard guard(Mixer::Get().Lock());
        if (lost_) return DSERR_BUFFERLOST;
        if (flags & DSBLOCK_FROMWRITECURSOR) offset = cursor_;
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        const DWORD first = std::min(bytes, size - offset);
        *part1 = data_.data() + offset;
        *bytes1 = first;
        if (part2) *part2 = bytes > first ? data_.data() : nullptr;
        if (bytes2) *bytes2 = part2 && bytes > first ? bytes - first : 0;
        return DS_OK;
    }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DS_OK; }

    HRESULT Play(DWORD, DWORD, DWORD flags) override {
        std::lock_guard guard(Mixer::Get().Lock());
        if (lost_) return DSERR_BUFFERLOST;
        playing_ = true;
        looping_ = (flags & DSBPLAY_LOOPING) != 0;
        return DS_OK;
    }
    HRESULT Stop() override {
        std::lock_guard guard(Mixer::Get().Lock());
        playing_ = false;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD position) override {
        std::lock_guard guard(Mixer::Get().Lock());
        if (position >= data_.size()) return DSERR_INVALIDPARAM;
        cursor_ = position - position % format_.nBlockAlign;
        fraction_ = 0;
        return DS_OK;
    }
    HRESULT Restore() override {
        std::lock_guard guard(Mixer::Get().Lock());
        lost_ = false;
        return DS_OK;
    }

    void MixInto(float* out, std::size_t frames) override;

private:
    static HRESULT Get(LONG value, LONG* out) {
        if (!out) return DSERR_INVALIDPARAM;
        *out = value;
        return DS_OK;
    }
    // A level in hundredths of a decibel, with its control and range checked.
    HRESULT SetLevel(LONG& level, LONG value, DWORD control, LONG min, LONG max) {
        if (!(flags_ & control)) return DSERR_CONTROLUNAVAIL;
        if (value < min || value > max) return DSERR_INVALIDPARAM;
        std::lock_guard guard(Mixer::Get().Lock());
        level = value;
        UpdateGains();
        return DS_OK;
    }
    DWORD Rate() const { return frequency_ ? frequency_ : format_.nSamplesPerSec; }
    void UpdateGains() {
        const float volume = GainOf(volume_);
        left_ = volume * (pan_ > 0 ? GainOf(-pan_) : 1.0f);
        right_ = volume * (pan_ < 0 ? GainOf(pan_) : 1.0f);
    }
    void MixDirect(float* out, std::size_t frames);
    void MixResampled(float* out, std::size_t frames);
    template <typename Sample, bool Stereo> void Resample(float* out, std::size_t frames);

    WAVEFORMATEX format_;
    DWORD flags_;
    std::vector<BYTE> data_;
    DWORD cursor_ = 0;
    bool playing_ = false;
    bool looping_ = false;
    bool lost_ = false;
    bool attached_ = false;
    LONG volume_ = 0;
    LONG pan_ = 0;
    DWORD frequency_ = 0;
    float left_ = 1.0f, right_ = 1.0f;
    // How far past the frame at the cursor a resampled voice stands.
    std::uint32_t fraction_ = 0;
};

void SecondaryBuffer::MixInto(float* out, std::size_t frames) {
    if (!playing_ || data_.size() < format_.nBlockAlign) return;
    if (Rate() == static_cast<DWORD>(MixRate))
        MixDirect(out, frames);
    else
        MixResampled(out, frames);
}

// One run of whole frames of one layout, added with the buffer's gains.
template <typename Sample, bool Stereo>
void AddFrames(const BYTE* in, float* out, std::size_t frames, float left, float right) {
    constexpr std::size_t block = sizeof(Sample) * (Stereo ? 2 : 1);
    for (std::size_t i = 0; i < frames; ++i, in += block) {
        const float l = SampleValue<Sample>(in);
        const float r = Stereo ? SampleValue<Sample>(in + sizeof(Sample)) : l;
        out[2 * i] += l * left;
        out[2 * i + 1] += r * right;
    }
}

// The frames up to the buffer's end (or the mix's) in one run each, with no test per frame.
void SecondaryBuffer::MixDirect(float* out, std::size_t frames) {
    fraction_ = 0;
    const DWORD block = format_.nBlockAlign;
    const bool stereo = format_.nChannels == 2, eightBit = format_.wBitsPerSample == 8;
    const auto add = eightBit ? (stereo ? &AddFrames<std::uint8_t, true> : &AddFrames<std::uint8_t, false>)
                              : (stereo ? &AddFrames<std::int16_t, true> : &AddFrames<std::int16_t, false>);
    while (frames > 0) {
        const std::size_t run = std::min<std::size_t>(frames, (data_.size() - cursor_) / block);
        add(data_.data() + cursor_, out, run, left_, right_);
        out += 2 * run;
        frames -= run;
        cursor_ += static_cast<DWORD>(run * block);
        if (cursor_ + block <= data_.size()) continue;
        cursor_ = 0;
        if (!looping_) {
            playing_ = false;
            return;
        }
    }
}

// A voice at another rate than the mix's: each output frame lies between two source frames, by the step of
// the two rates in 32.32 fixed point, and takes the straight line between them. A looping voice takes its
// first frame after its last; a one-shot one fades to silence over its last frame.
template <typename Sample, bool Stereo> void SecondaryBuffer::Resample(float* out, std::size_t frames) {
    constexpr std::size_t block = sizeof(Sample) * (Stereo ? 2 : 1);
    const std::size_t count = data_.size() / block;
    const std::uint64_t step = (static_cast<std::uint64_t>(Rate()) << FractionBits) / MixRate;
    const BYTE* base = data_.data();
    std::uint64_t position = (static_cast<std::uint64_t>(cursor_ / block) << FractionBits) | fraction_;
    const std::uint64_t end = static_cast<std::uint64_t>(count) << FractionBits;
    // Frames before this position have a next frame in the buffer: they are taken without the tests at the
    // buffer's end.
    const std::uint64_t inner = static_cast<std::uint64_t>(count - 1) << FractionBits;
    // The fraction's top 24 bits, as a float from a signed 32-bit integer: the quick conversion.
    constexpr float unit = 1.0f / static_cast<float>(1 << 24);
    auto fractionOf = [](std::uint64_t p) {
        return static_cast<float>(static_cast<std::int32_t>((p >> (FractionBits - 24)) & 0xFFFFFF)) * unit;
    };
    const float left = left_, right = right_;
    auto put = [&](std::size_t i, const BYTE* a, const BYTE* b, float t) {
        const float l0 = SampleValue<Sample>(a);
        const float r0 = Stereo ? SampleValue<Sample>(a + sizeof(Sample)) : l0;
        const float l1 = b ? SampleValue<Sample>(b) : 0.0f;
        const float r1 = b ? (Stereo ? SampleValue<Sample>(b + sizeof(Sample)) : l1) : 0.0f;
        out[2 * i] += (l0 + (l1 - l0) * t) * left;
        out[2 * i + 1] += (r0 + (r1 - r0) * t) * right;
    };
    // A whole number of mix frames to each source frame (22,050 and 11,025 into 44,100): each source frame
    // is read once for all the mix frames it starts.
    const std::uint32_t each = Rate() > 0 && MixRate % Rate() == 0 ? MixRate / Rate() : 0;
    const float part = each ? 1.0f / static_cast<float>(each) : 0.0f;
    std::size_t i = 0;
    while (i < frames) {
        if (each && (position & 0xFFFFFFFFu) == 0 && position < inner) {
            const std::size_t whole =
                std::min<std::size_t>((frames - i) / each, (inner - position) >> FractionBits);
            for (std::size_t k = 0; k < whole; ++k, position += std::uint64_t{1} << FractionBits) {
                const BYTE* a = base + static_cast<std::size_t>(position >> FractionBits) * block;
                const float l0 = SampleValue<Sample>(a);
                const float r0 = Stereo ? SampleValue<Sample>(a + sizeof(Sample)) : l0;
                const float l1 = SampleValue<Sample>(a + block);
                const float r1 = Stereo ? SampleValue<Sample>(a + block + sizeof(Sample)) : l1;
                const float dl = (l1 - l0) * part, dr = (r1 - r0) * part;
                for (std::uint32_t j = 0; j < each; ++j, ++i) {
                    out[2 * i] += (l0 + dl * static_cast<float>(j)) * left;
                    out[2 * i + 1] += (r0 + dr * static_cast<float>(j)) * right;
                }
            }
            if (whole > 0) continue;
        }
        if (position < inner) {
            const std::size_t run = std::min<std::size_t>(frames - i, (inner - position + step - 1) / step);
            for (const std::size_t stop = i + run; i < stop; ++i, position += step) {
                const BYTE* a = base + static_cast<std::size_t>(position >> FractionBits) * block;
                put(i, a, a + block, fractionOf(position));
            }
            continue;
        }
        const auto at = static_cast<std::size_t>(position >> FractionBits);
        const BYTE* next = looping_ ? base : nullptr;
        put(i++, base + at * block, at + 1 < count ? base + (at + 1) * block : next, fractionOf(position));
        position += step;
        if (position < end) continue;
        if (!looping_) {
            playing_ = false;
            position = 0;
            break;
        }
        position %= end;
    }
    cursor_ = static_cast<DWORD>((position >> FractionBits) * block);
    fraction_ = static_cast<std::uint32_t>(position & 0xFFFFFFFFu);
}

void SecondaryBuffer::MixResampled(float* out, std::size_t frames) {
    const bool stereo = format_.nChannels == 2, eightBit = format_.wBitsPerSample == 8;
    if (eightBit)
        stereo ? Resample<std::uint8_t, true>(out, frames) : Resample<std::uint8_t, false>(out, frames);
    else
        stereo ? Resample<std::int16_t, true>(out, frames) : Resample<std::int16_t, false>(out, frames);
}

class DirectSoundDevice final : public IDirectSound {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
            Mixer::Get().Stop();
        }
        return left;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        return level >= DSSCL_NORMAL && level <= 4 ? DS_OK : DSERR_INVALIDPARAM;
    }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, void*) override;

private:
    std::atomic<ULONG> references_{1};
};

HRESULT DirectSoundDevice::CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** buffer, void*) {
    if (!buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (!d || d->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (d->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (d->dwBufferBytes != 0 || d->lpwfxFormat) return DSERR_INVALIDPARAM;
        *buffer = new (std::nothrow) PrimaryBuffer;
        return *buffer ? DS_OK : DSERR_OUTOFMEMORY;
    }
    if (!d->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (!ValidPcm(*d->lpwfxFormat)) return DSERR_BADFORMAT;
    if (d->dwBufferBytes < DSBSIZE_MIN || d->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    SecondaryBuffer* made = nullptr;
    try {
        made = new SecondaryBuffer(*d->lpwfxFormat, d->dwBufferBytes, d->dwFlags);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    if (!made->Attach()) {
        made->Release();
        return DSERR_NODRIVER;
    }
    *buffer = made;
    return DS_OK;
}

} // namespace

HRESULT DirectSoundCreate(const GUID*, IDirectSound** sound, void*) {
    if (!sound) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (!Mixer::Get().Start()) return DSERR_NODRIVER;
    *sound = new (std::nothrow) DirectSoundDevice;
    return *sound ? DS_OK : DSERR_OUTOFMEMORY;
}

namespace testing {

void LoseSoundBuffers() {
    std::lock_guard guard(Mixer::Get().Lock());
    for (SecondaryBuffer* buffer : LiveBuffers())
        buffer->MarkLost();
}

} // namespace testing

} // namespace win32
