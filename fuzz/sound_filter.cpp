// Decodes arbitrary bytes with the sound filter found beside this program: the manager asks it whether it
// reads them and opens a decoder, which is read through the library's conversion to the output layout and
// rate the first byte chooses, sought into the middle and read again. SOUND_SEEDS=folder writes seed files.
#include "appwriter/sound_writer.h"
#include "vtrs2/sound.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

void WriteSeeds(const std::string& folder) {
    int n = 0;
    for (std::uint16_t bits : {8, 16})
        for (std::uint16_t channels : {1, 2}) {
            appwriter::WavDesc wav;
            wav.rate = 8000;
            wav.bits = bits;
            wav.channels = channels;
            wav.samples = appwriter::ToneSamples(wav.rate, channels, 440.0, 9000, 400);
            appwriter::Bytes bytes = appwriter::WriteWav(wav);
            bytes.insert(bytes.begin(), static_cast<std::uint8_t>(n));
            WriteSeed(folder, "wav" + std::to_string(n++), bytes);
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
