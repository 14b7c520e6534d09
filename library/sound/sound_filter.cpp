// The decoder base class: the output format and the conversion from the decoder's own format to it.
#include "vtrs2/sound.h"

#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace win32;

namespace {

constexpr WORD BlockOf(const WAVEFORMATEX& f) {
    return static_cast<WORD>(f.nChannels * f.wBitsPerSample / 8);
}

// 1.2 seconds of a format, a whole number of frames.
DWORD RingBytes(const WAVEFORMATEX& f) {
    return static_cast<DWORD>(static_cast<std::uint64_t>(f.nSamplesPerSec) * 120 / 100) * BlockOf(f);
}

} // namespace

CSoundFilter::CSoundFilter()
    : outputFormat_{}, nativeFormat_{}, converting_(0), ratio_(1.0f), conversionBuffer_(nullptr),
      converter_(nullptr), step_(1), repeat_(1), conversionBytes_(0), carry_{}, carryLeft_(0) {}

CSoundFilter::~CSoundFilter() {
    FreeMemory(&conversionBuffer_);
}

int CSoundFilter::Reserved() {
    return 0;
}

int CSoundFilter::SetOutputFormat(const WAVEFORMATEX* format) {
    FreeMemory(&conversionBuffer_);
    converting_ = 0;
    ratio_ = 1.0f;
    step_ = repeat_ = 1;
    carryLeft_ = 0;
    if (!format) return 2;
    const WAVEFORMATEX& n = nativeFormat_;
    if (format->nChannels == n.nChannels && format->nSamplesPerSec == n.nSamplesPerSec &&
        format->wBitsPerSample == n.wBitsPerSample) {
        outputFormat_ = *format;
        return 0;
    }
    const PcmConverter converter =
        SelectPcmConverter(n.wBitsPerSample, n.nChannels, format->wBitsPerSample, format->nChannels);
    if (!converter || n.nSamplesPerSec == 0 || format->nSamplesPerSec == 0) {
        outputFormat_ = nativeFormat_;
        return 2;
    }
    const DWORD bytes = RingBytes(n);
    if (bytes == 0 || !AllocMemory(bytes, &conversionBuffer_)) {
        outputFormat_ = nativeFormat_;
        return 2;
    }
    outputFormat_ = *format;
    converter_ = converter;
    conversionBytes_ = bytes;
    if (format->nSamplesPerSec > n.nSamplesPerSec)
        repeat_ = format->nSamplesPerSec / n.nSamplesPerSec;
    else if (format->nSamplesPerSec < n.nSamplesPerSec)
        step_ = n.nSamplesPerSec / format->nSamplesPerSec;
    ratio_ = static_cast<float>(static_cast<double>(BlockOf(*format)) * format->nSamplesPerSec * 1.2 /
                                (static_cast<double>(BlockOf(n)) * n.nSamplesPerSec * 1.2));
    converting_ = 1;
    return 0;
}

// Whole groups (step native frames each, written repeat times) straight into the caller's buffer.
int CSoundFilter::ReadGroups(BYTE* out, DWORD groups, DWORD& written) {
    const DWORD nativeBlock = BlockOf(nativeFormat_);
    const DWORD outBlock = BlockOf(outputFormat_);
    const DWORD groupsPerRead = std::max<DWORD>(1, conversionBytes_ / nativeBlock / step_);
    written = 0;
    while (groups > 0) {
        const DWORD now = std::min(groups, groupsPerRead);
        DWORD got = 0;
        if (const int r = Read(conversionBuffer_, now * step_ * nativeBlock, &got)) return r;
        const DWORD frames = got / nativeBlock;
        const DWORD made = (frames + step_ - 1) / step_;
        converter_(conversionBuffer_, out + static_cast<std::size_t>(written) * outBlock, frames, step_,
                   repeat_);
        written += made * repeat_;
        if (made < now) break;
        groups -= now;
    }
    return 0;
}

// The read size is worked out from the step and repetition count, so that the output never runs past the
// caller's buffer whatever the ratio of the rates.
int CSoundFilter::ReadConverted(void* buffer, DWORD size, DWORD* count) {
    if (count) *count = 0;
    if (!converting_) return Read(buffer, size, count);
    auto* out = static_cast<BYTE*>(buffer);
    const DWORD outBlock = BlockOf(outputFormat_);
    const DWORD wanted = size / outBlock;
    DWORD done = 0;
    for (; carryLeft_ > 0 && done < wanted; --carryLeft_, ++done)
        std::memcpy(out + static_cast<std::size_t>(done) * outBlock, carry_, outBlock);
    DWORD written = 0;
    if (const int r =
            ReadGroups(out + static_cast<std::size_t>(done) * outBlock, (wanted - done) / repeat_, written))
        return r;
    const bool ended = written < (wanted - done) / repeat_ * repeat_;
    done += written;
    if (!ended && done < wanted) {
        // Fewer frames left than one repeated frame gives: make it aside and keep the copies that do not fit.
        std::vector<BYTE> group;
        try {
            group.resize(static_cast<std::size_t>(repeat_) * outBlock);
        } catch (const std::bad_alloc&) {
            return StreamOutOfMemory;
        }
        DWORD made = 0;
        if (const int r = ReadGroups(group.data(), 1, made)) return r;
        const DWORD take = std::min(made, wanted - done);
        std::memcpy(out + static_cast<std::size_t>(done) * outBlock, group.data(),
                    static_cast<std::size_t>(take) * outBlock);
        done += take;
        if (made > take) {
            std::memcpy(carry_, group.data(), outBlock);
            carryLeft_ = made - take;
        }
    }
    if (count) *count = done * outBlock;
    return 0;
}

std::uint64_t CSoundFilter::GetConvertedLength() {
    const std::uint64_t length = GetLength();
    if (!converting_) return length;
    const std::uint64_t frames = length / BlockOf(nativeFormat_);
    return (frames + step_ - 1) / step_ * repeat_ * BlockOf(outputFormat_);
}

int CSoundFilter::SeekConverted(std::uint64_t position) {
    carryLeft_ = 0;
    if (!converting_) return Seek(position);
    const std::uint64_t frame = position / BlockOf(outputFormat_);
    return Seek(frame / repeat_ * step_ * BlockOf(nativeFormat_));
}
