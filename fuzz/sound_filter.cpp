// Decodes arbitrary bytes with the sound filter found beside this program: the manager asks it whether it
// reads them and opens a decoder, which is read through the library's conversion to the output layout and
// rate the first byte chooses, sought into the middle and read again. SOUND_SEEDS=folder writes seed files:
// WAV files of every layout, and FLAC and Ogg Vorbis files encoded by libsndfile.
#include "appwriter/sound_writer.h"
#include "vtrs2/sound.h"
#include "vtrs2/streams.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr win32::DWORD ReadBudget = 1 << 20;
constexpr win32::DWORD Chunk = 4096;

std::u16string ProgramFolder() {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    folder.erase(folder.find_last_of('/') == std::string::npos ? 0 : folder.find_last_of('/'));
    return std::u16string(folder.begin(), folder.end());
}

CSoundFilterMgr& Filters() {
    static CSoundFilterMgr* filters = [] {
        CSoundFilterMgr* m = NewSoundFilterMgr();
        // The plug-ins only: no sound device is made.
        m->Initialize(ProgramFolder().c_str(), u"*.sft", 0);
        return m;
    }();
    return *filters;
}

void WriteSeed(const std::string& folder, const std::string& name, const appwriter::Bytes& bytes) {
    if (FILE* f = std::fopen((folder + "/" + name).c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A file that libsndfile writes into memory.
struct MemoryFile {
    appwriter::Bytes bytes;
    sf_count_t at = 0;
};

sf_count_t MemoryLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}
sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_CUR ? f->at : whence == SEEK_END ? MemoryLength(user) : 0;
    f->at = std::max<sf_count_t>(0, base + offset);
    return f->at;
}
sf_count_t MemoryRead(void* out, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::clamp<sf_count_t>(MemoryLength(user) - f->at, 0, count);
    std::memcpy(out, f->bytes.data() + f->at, static_cast<std::size_t>(n));
    f->at += n;
    return n;
}
sf_count_t MemoryWrite(const void* in, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const auto end = static_cast<std::size_t>(f->at + count);
    if (f->bytes.size() < end) f->bytes.resize(end);
    std::memcpy(f->bytes.data() + f->at, in, static_cast<std::size_t>(count));
    f->at += count;
    return count;
}
sf_count_t MemoryTell(void* user) {
    return static_cast<MemoryFile*>(user)->at;
}

// The tone encoded in a container of libsndfile's (empty when it cannot write it).
appwriter::Bytes Encoded(int format, int channels, const std::vector<std::int16_t>& samples) {
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    MemoryFile file;
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = channels;
    info.format = format;
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!out) return {};
    sf_writef_short(out, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    sf_close(out);
    return file.bytes;
}

void WriteSeeds(const std::string& folder) {
    int n = 0;
    auto write = [&](const std::string& kind, appwriter::Bytes bytes) {
        if (bytes.empty()) return;
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(n * 37));
        WriteSeed(folder, kind + std::to_string(n++), bytes);
    };
    for (std::uint16_t channels : {1, 2}) {
        const std::vector<std::int16_t> tone = appwriter::ToneSamples(8000, channels, 440.0, 9000, 400);
        for (std::uint16_t bits : {8, 16}) {
            appwriter::WavDesc wav;
            wav.rate = 8000;
            wav.bits = bits;
            wav.channels = channels;
            wav.samples = tone;
            write("wav", appwriter::WriteWav(wav));
        }
        write("flac", Encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, channels, tone));
        write("ogg", Encoded(SF_FORMAT_OGG | SF_FORMAT_VORBIS, channels, tone));
    }
}

win32::WAVEFORMATEX OutputFor(std::uint8_t choice, const win32::WAVEFORMATEX& native) {
    static constexpr win32::DWORD Rates[] = {0, 8000, 11025, 22050, 44100, 48000, 100, 100000};
    win32::WAVEFORMATEX f = native;
    f.wBitsPerSample = (choice & 1) ? 16 : 8;
    f.nChannels = (choice & 2) ? 2 : 1;
    if (const win32::DWORD rate = Rates[(choice >> 2) & 7]) f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<win32::WORD>(f.nChannels * f.wBitsPerSample / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

void ReadSome(CSoundFilter& decoder, std::vector<std::uint8_t>& buffer) {
    for (win32::DWORD total = 0; total < ReadBudget;) {
        win32::DWORD got = 0;
        if (decoder.ReadConverted(buffer.data(), Chunk, &got) != 0 || got == 0) break;
        total += got;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("SOUND_SEEDS")) WriteSeeds(folder);
    Filters();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 0x7FFFFFFF) return 0;
    CInputMemFile stream;
    stream.Attach(data + 1, static_cast<win32::LONG>(size - 1));
    CSoundFilter* decoder = Filters().OpenDecoder(&stream);
    if (!decoder) return 0;
    const win32::WAVEFORMATEX output = OutputFor(data[0], *decoder->GetSourceFormat());
    decoder->SetOutputFormat(&output);
    std::vector<std::uint8_t> buffer(Chunk);
    ReadSome(*decoder, buffer);
    decoder->SeekConverted(decoder->GetConvertedLength() / 2);
    ReadSome(*decoder, buffer);
    decoder->SeekConverted(decoder->GetConvertedLength() * 2);
    ReadSome(*decoder, buffer);
    decoder->Close();
    decoder->Release();
    return 0;
}

// libsndfile (1.2.0) drops the Vorbis codec set-up it made when an Ogg Vorbis header turns out malformed: a
// failed open of such a file leaks one block inside libvorbis, whoever calls it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}
