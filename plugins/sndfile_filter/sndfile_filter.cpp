// A sound filter over libsndfile: WAV (8- or 16-bit PCM and the other encodings libsndfile reads), FLAC and
// Ogg Vorbis, mono or stereo at 100 Hz to 100 kHz, decoded to 16-bit PCM at the file's own rate, read from
// the library's input stream through libsndfile's virtual I/O. Other containers are not offered to
// libsndfile at all, so that no decoder of another format ever sees the bytes.
#include "vtrs2/sound.h"
#include "vtrs2/streams.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

using namespace win32;

namespace {

constexpr DWORD FilterId = 0x464E4453; // "SNDF"
constexpr int OutputBits = 16;
constexpr int MinRate = 100;
constexpr int MaxRate = 100000;

sf_count_t StreamLength(void* user) {
    return static_cast<CInputFile*>(user)->GetSize();
}

sf_count_t StreamSeek(sf_count_t offset, int whence, void* user) {
    auto* stream = static_cast<CInputFile*>(user);
    const int origin = whence == SEEK_CUR   ? SeekFromCurrent
                       : whence == SEEK_END ? SeekFromEnd
                                            : SeekFromStart;
    if (offset < INT32_MIN || offset > INT32_MAX) return -1;
    return stream->Seek(static_cast<LONG>(offset), origin);
}

sf_count_t StreamRead(void* buffer, sf_count_t count, void* user) {
    LONG got = 0;
    const LONG wanted = static_cast<LONG>(std::min<sf_count_t>(count, INT32_MAX));
    static_cast<CInputFile*>(user)->ReadCounted(buffer, wanted, &got);
    return got;
}

sf_count_t StreamWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t StreamTell(void* user) {
    return static_cast<CInputFile*>(user)->GetPosition();
}

SF_VIRTUAL_IO StreamIo{StreamLength, StreamSeek, StreamRead, StreamWrite, StreamTell};

// RIFF (or RF64) WAVE, FLAC or Ogg, by the first bytes; the stream is put back where it was.
bool KnownContainer(CInputFile* stream) {
    std::uint8_t head[12] = {};
    const LONG at = stream->GetPosition();
    LONG got = 0;
    stream->ReadCounted(head, sizeof head, &got);
    stream->Seek(at, SeekFromStart);
    auto is = [&](std::size_t offset, const char* tag) {
        return got >= static_cast<LONG>(offset + 4) && std::memcmp(head + offset, tag, 4) == 0;
    };
    return ((is(0, "RIFF") || is(0, "RF64")) && is(8, "WAVE")) || is(0, "fLaC") || is(0, "OggS");
}

bool Playable(const SF_INFO& info) {
    return info.frames > 0 && (info.channels == 1 || info.channels == 2) && info.samplerate >= MinRate &&
           info.samplerate <= MaxRate;
}

class SndFileDecoder final : public CSoundFilter {
public:
    ~SndFileDecoder() override { Close(); }

    void Release() override { delete this; }

    int Open(CInputFile* stream) override {
        Close();
        if (!stream || !KnownContainer(stream)) return 1;
        info_ = SF_INFO{};
        file_ = sf_open_virtual(&StreamIo, SFM_READ, &info_, stream);
        if (!file_ || !Playable(info_)) {
            Close();
            return 1;
        }
        const auto block = static_cast<WORD>(info_.channels * OutputBits / 8);
        nativeFormat_ = WAVEFORMATEX{WAVE_FORMAT_PCM,
                                     static_cast<WORD>(info_.channels),
                                     static_cast<DWORD>(info_.samplerate),
                                     static_cast<DWORD>(info_.samplerate) * block,
                                     block,
                                     OutputBits,
                                     0};
        return 0;
    }

    void Close() override {
        if (file_) sf_close(file_);
        file_ = nullptr;
    }

    std::uint64_t GetLength() override {
        return file_ ? static_cast<std::uint64_t>(info_.frames) * nativeFormat_.nBlockAlign : 0;
    }

    int Seek(std::uint64_t position) override {
        if (!file_) return 1;
        const auto frame = static_cast<sf_count_t>(
            std::min<std::uint64_t>(position / nativeFormat_.nBlockAlign, info_.frames));
        return sf_seek(file_, frame, SEEK_SET) < 0 ? 1 : 0;
    }

    int Read(void* buffer, DWORD size, DWORD* count) override {
        if (count) *count = 0;
        if (!file_ || !buffer) return 1;
        const sf_count_t frames = size / nativeFormat_.nBlockAlign;
        const sf_count_t got = sf_readf_short(file_, static_cast<short*>(buffer), frames);
        if (got < 0) return 1;
        if (count) *count = static_cast<DWORD>(got) * nativeFormat_.nBlockAlign;
        return 0;
    }

private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
};

const WCHAR* const Extensions[] = {u"wav", u"flac", u"ogg", u"oga", nullptr};

} // namespace

extern "C" {

__attribute__((visibility("default"))) void* CreateFilter(DWORD) {
    return static_cast<CSoundFilter*>(new (std::nothrow) SndFileDecoder);
}

__attribute__((visibility("default"))) int CanReadFile(CInputFile* stream) {
    if (!stream || !KnownContainer(stream)) return 0;
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&StreamIo, SFM_READ, &info, stream);
    if (!file) return 0;
    sf_close(file);
    return Playable(info) ? 1 : 0;
}

__attribute__((visibility("default"))) DWORD GetFilterID() {
    return FilterId;
}

__attribute__((visibility("default"))) const WCHAR* GetFilterNameW() {
    return u"libsndfile";
}

__attribute__((visibility("default"))) const WCHAR* const* GetFilterExtsW() {
    return Extensions;
}

} // extern "C"
