// DecompressStream between memory streams, and DecompressFileToMemory from a file, against zlib's one-call
// uncompress, on the same 10 MB of data.
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t DataSize = 10u << 20;

// Text-like data with some noise: it compresses about as well as application data does.
const std::vector<unsigned char>& Original() {
    static const std::vector<unsigned char> data = [] {
        std::mt19937 random(7);
        const std::string words[] = {"frame ", "object ", "sprite ", "event ", "value ", "layer ", "sound "};
        std::vector<unsigned char> bytes;
        bytes.reserve(DataSize);
        while (bytes.size() < DataSize) {
            const std::string& word = words[random() % 7];
            bytes.insert(bytes.end(), word.begin(), word.end());
            if (random() % 4 == 0) bytes.push_back(static_cast<unsigned char>(random()));
        }
        bytes.resize(DataSize);
        return bytes;
    }();
    return data;
}

const std::vector<unsigned char>& Compressed() {
    static const std::vector<unsigned char> data = [] {
        uLongf size = compressBound(DataSize);
        std::vector<unsigned char> out(size);
        compress2(out.data(), &size, Original().data(), DataSize, Z_DEFAULT_COMPRESSION);
        out.resize(size);
        return out;
    }();
    return data;
}

void DecompressStreamIntoMemory(benchmark::State& state) {
    bench::ShowTarget(state, "within 1.1x of ZlibUncompress's time");
    const auto& compressed = Compressed();
    std::vector<unsigned char> out(DataSize);
    for (auto _ : state) {
        CInputMemFile input;
        input.Attach(compressed.data(), static_cast<win32::LONG>(compressed.size()));
        COutputMemFile output;
        output.Attach(out.data(), static_cast<win32::LONG>(out.size()));
        if (DecompressStream(&output, &input, -1) != StreamOk) state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * DataSize);
}

// The compressed data in a file of its own, removed when the run ends.
struct CompressedFile {
    CompressedFile() : path((std::filesystem::temp_directory_path() / "vtr_bench_inflate.z").string()) {
        const win32::HANDLE file = FileCreateRawA(path.c_str());
        FileWriteRaw(file, Compressed().data(), static_cast<win32::LONG>(Compressed().size()));
        FileCloseRaw(file);
    }
    ~CompressedFile() { std::filesystem::remove(path); }
    std::string path;
};

void DecompressFileIntoMemory(benchmark::State& state) {
    const CompressedFile file;
    std::vector<unsigned char> out(DataSize);
    for (auto _ : state) {
        const win32::HANDLE input = FileOpenRawA(file.path.c_str(), 0);
        if (DecompressFileToMemory(out.data(), input, static_cast<win32::LONG>(Compressed().size()),
                                   static_cast<win32::LONG>(out.size())) != StreamOk)
            state.SkipWithError("decompression failed");
        FileCloseRaw(input);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * DataSize);
}

void ZlibUncompress(benchmark::State& state) {
    const auto& compressed = Compressed();
    std::vector<unsigned char> out(DataSize);
    for (auto _ : state) {
        uLongf size = DataSize;
        if (uncompress(out.data(), &size, compressed.data(), compressed.size()) != Z_OK)
            state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * DataSize);
}

BENCHMARK(DecompressStreamIntoMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(DecompressFileIntoMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibUncompress)->Unit(benchmark::kMillisecond);

} // namespace
