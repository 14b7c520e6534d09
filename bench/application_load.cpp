// A large application, written by appwriter to a file of about 50 MB (1,000 images, 200 sounds, 50 frames),
// loaded from that file and run headless until its first frame has been displayed; beside it, the floor:
// reading the same bytes from the file. The load row prints its time over the floor's ("x floor").
#include "app/application_loader.h"
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "loop/application_state_machine.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/sound_writer.h"
#include "support/scene.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace {

using namespace vtrrt;

constexpr int ImageCount = 1000;
constexpr int SoundCount = 200;
constexpr int FrameCount = 50;
constexpr int ImageSide = 100;     // 24-bit: 30,000 bytes of pixels each
constexpr int SoundFrames = 44100; // two seconds at 22.05 kHz, 16-bit mono: 88,200 bytes each
constexpr int PlacedObjects = 100; // object infos, each showing its own image, placed in every frame
constexpr int Width = 640, Height = 480;

appwriter::ImageItemDesc Image(int index) {
    appwriter::ImageItemDesc image;
    image.width = image.height = ImageSide;
    image.graphicMode = 4;
    std::mt19937 random(static_cast<unsigned>(index));
    image.pixels.resize(static_cast<std::size_t>(ImageSide) * ImageSide * 3);
    for (std::uint8_t& b : image.pixels)
        b = static_cast<std::uint8_t>(random());
    return image;
}

appwriter::ObjectInfoDesc Shown(std::uint16_t handle, std::uint16_t image) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.definition.objectFlags = 0x10 | 0x20 | 0x200;
    appwriter::AnimationDesc still;
    still.number = 1;
    still.directions.push_back({0, 0, 0, 0, 0, {image}});
    o.definition.animations = {still};
    return o;
}

std::vector<std::uint8_t> Describe() {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = Width;
    d.header->windowHeight = Height;
    d.header->graphicMode = 8;
    d.header->frameRate = 60;
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (int i = 0; i < PlacedObjects; ++i)
        objects.push_back(Shown(static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(1 + i * 10)));
    std::vector<appwriter::ImageItemDesc> images;
    for (int i = 0; i < ImageCount; ++i)
        images.push_back(Image(i));
    scene::AddObjectsAndImages(d, objects, images);

    std::vector<appwriter::SoundItemDesc> sounds;
    for (int i = 0; i < SoundCount; ++i) {
        appwriter::WavDesc wav;
        wav.samples = appwriter::ToneSamples(wav.rate, 1, 200.0 + i, 8000, SoundFrames);
        sounds.push_back({0, u"sound" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)),
                          appwriter::WriteWav(wav)});
    }
    const appwriter::BankPayload bank = appwriter::WriteSoundBank(sounds, appwriter::StringForm::Wide);
    d.extra.push_back({appwriter::ChunkSoundBank, 0, bank.items});
    d.extra.push_back({appwriter::ChunkSoundOffsets, 0, appwriter::WriteBankOffsets(bank.offsets)});

    for (int f = 0; f < FrameCount; ++f) {
        appwriter::FrameContents contents;
        std::vector<appwriter::InstanceDesc> instances;
        for (int i = 0; i < PlacedObjects; ++i)
            instances.push_back({static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(i + 1),
                                 (i * 61 + f * 7) % (Width - ImageSide),
                                 (i * 37 + f * 11) % (Height - ImageSide), 0, 0, 0});
        contents.instances = instances;
        // A program that tests no collision, as a frame's usually are: its objects need no masks to start.
        appwriter::EventProgramBuilder events;
        events.maxObjects = PlacedObjects + 16;
        events.objectInfoCount = static_cast<std::uint16_t>(objects.size());
        contents.events = events.ChunkPayload();
        d.frames.push_back(appwriter::DescribeFrame(Width, Height, 0x203040 + static_cast<std::uint32_t>(f),
                                                    contents, appwriter::StringForm::Wide));
    }
    return appwriter::WriteApplication(d);
}

// The application's file, written once for the run and removed at its end.
class ApplicationFile {
public:
    ApplicationFile() : path_(std::filesystem::temp_directory_path() / "vtr_bench_large_application.vtg") {
        const std::vector<std::uint8_t> bytes = Describe();
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        size_ = out ? bytes.size() : 0;
    }
    ~ApplicationFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ApplicationFile(const ApplicationFile&) = delete;
    ApplicationFile& operator=(const ApplicationFile&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::size_t Size() const { return size_; }

private:
    std::filesystem::path path_;
    std::size_t size_ = 0;
};

const ApplicationFile& File() {
    static const ApplicationFile file;
    return file;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes(std::filesystem::file_size(path));
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
    return bytes;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The floor's CPU time for one read, the median of a few after a first that brings the file into the cache.
double FloorSeconds() {
    static const double seconds = [] {
        constexpr int Timed = 9;
        benchmark::DoNotOptimize(ReadBytes(File().Path()));
        std::vector<double> times;
        for (int i = 0; i < Timed; ++i) {
            const double before = ThreadCpuSeconds();
            benchmark::DoNotOptimize(ReadBytes(File().Path()));
            times.push_back(ThreadCpuSeconds() - before);
        }
        std::nth_element(times.begin(), times.begin() + Timed / 2, times.end());
        return times[Timed / 2];
    }();
    return seconds;
}

void ReadApplicationBytes(benchmark::State& state) {
    if (File().Size() == 0) return state.SkipWithError("the application could not be written");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadBytes(File().Path()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(File().Size()));
    state.counters["MB"] = static_cast<double>(File().Size()) / 1e6;
    state.SetLabel("the floor");
}
BENCHMARK(ReadApplicationBytes)->Unit(benchmark::kMillisecond);

// From the file to the first frame on the (dummy-driver) screen: the program's loader, its windows, the
// frame's start and first display; then everything is closed again, outside the time.
void LoadToFirstFrame(benchmark::State& state) {
    bench::ShowTarget(state, "within 3x of the floor");
    if (File().Size() == 0) return state.SkipWithError("the application could not be written");
    const double floor = FloorSeconds();
    scene::QuietRun();
    scene::SteppedClock clock;
    scene::FrameRun run(clock);
    const std::u16string path = File().Path().u16string();
    double timed = 0;
    for (auto _ : state) {
        const double start = ThreadCpuSeconds();
        if (!run.StartFile(path)) return state.SkipWithError("the application did not load");
        ApplicationRecord* app = run.Application();
        for (int i = 0; i < 1000 && !(app->runState == StateRunFrame && CurrentRunState() &&
                                      CurrentRunState()->firstDisplayDone);
             ++i)
            if (!RunApplicationStep(app, 0)) break;
        const bool shown =
            app->runState == StateRunFrame && CurrentRunState() && CurrentRunState()->firstDisplayDone;
        timed += ThreadCpuSeconds() - start;
        state.PauseTiming();
        run.Stop();
        state.ResumeTiming();
        if (!shown) return state.SkipWithError("the first frame was not displayed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(File().Size()));
    state.counters["x floor"] = timed / static_cast<double>(state.iterations()) / floor;
    state.counters["floor ms"] = floor * 1e3;
}
BENCHMARK(LoadToFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace
