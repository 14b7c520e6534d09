// The demo's level run headless and unthrottled: each iteration is one game loop, its display included, run
// by the program's own loop steps (their waits for the next tick cost nothing here). Frames per second, and
// with the loop's probe on, the share of each pass of the loop.
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"
#include "startup/display_mode.h"
#include "startup/runtime_files.h"

#include "support/scene.h"

#include "bench/targets.h"
#include "win32/d3d8_testing.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace vtrrt;

std::vector<std::uint8_t> LevelData() {
    std::ifstream in(VTR_DEMO_LEVEL_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The level-first demo loaded and started over its main and frame windows, with the runtime's own modules
// found where the build put them, through the library's own surfaces or the Direct3D 8 display driver (as
// -D3D8 asks); stopped and freed again at its end.
class LevelRun {
public:
    LevelRun(const std::vector<std::uint8_t>& bytes, bool driver) : bytes_(bytes), run_(clock_) {
        CommandLineOptions& options = GetCommandLineOptions();
        options.displayKindRequest = driver ? 1 : 0;
        options.displayModeRequest = driver ? DisplayDriverFlag | DisplayDirect3D8Flag : 0;
        // Headless: no display or sound device is needed.
        scene::QuietRun();
        RuntimeFiles& files = GetRuntimeFiles();
        files.runtimeTempFolder = std::filesystem::path(VTR_BIN_DIR).u16string();
        files.tempFolder = files.runtimeTempFolder + u"/";
        Start();
    }
    LevelRun(const LevelRun&) = delete;
    LevelRun& operator=(const LevelRun&) = delete;

    bool Running() const {
        const ApplicationRecord* app = run_.Application();
        return app && app->runState == StateRunFrame && app->currentFrameIndex == 0 && CurrentRunState();
    }
    // Starts the level again when the run has left it (its time is up, or the player was lost).
    bool BackToLevel() {
        run_.Stop();
        Start();
        return Running();
    }
    ApplicationRecord* App() { return run_.Application(); }

private:
    void Start() {
        Services().displayFlags = 0;
        if (!run_.Start(bytes_)) {
            run_.Stop();
            return;
        }
        // The first frame starts and runs its first loop; a fade-in, if any, plays out.
        for (int i = 0; i < 10000 && App()->runState != StateRunFrame; ++i)
            if (!RunApplicationStep(App(), 0)) break;
    }

    std::vector<std::uint8_t> bytes_;
    // Time moves only when the loop waits for its next tick, and at once to it.
    scene::SteppedClock clock_;
    scene::FrameRun run_;
};

void Run(benchmark::State& state, bool probed, bool driver = false) {
    const std::vector<std::uint8_t> bytes = LevelData();
    if (bytes.empty()) {
        state.SkipWithError("no demo data at " VTR_DEMO_LEVEL_DATA);
        return;
    }
    LevelRun run(bytes, driver);
    if (!run.Running()) {
        state.SkipWithError("the level did not start");
        return;
    }
    LoopPassTimes times;
    LoopPassTimes* probe = probed ? &times : nullptr;
    std::int64_t restarts = 0;
    for (auto _ : state) {
        // One game loop: the program's loop steps until the frame's next loop has run (a step may only wait
        // for its tick).
        // A frame that starts again (its time is up) has a new run state, which the probe follows.
        CurrentRunState()->passTimes = probe;
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int i = 0; i < 100 && run.Running() && CurrentRunState()->loopCount == loops; ++i)
            benchmark::DoNotOptimize(RunApplicationStep(run.App(), 0));
        if (!run.Running()) {
            state.PauseTiming();
            ++restarts;
            const bool back = run.BackToLevel();
            state.ResumeTiming();
            if (!back) {
                state.SkipWithError("the level did not start again");
                break;
            }
        }
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["restarts"] = static_cast<double>(restarts);
    if (probed && times.loop > 0) {
        const auto share = [&](std::int64_t ns) {
            return 100.0 * static_cast<double>(ns) / static_cast<double>(times.loop);
        };
        state.counters["objects%"] = share(times.objects);
        state.counters["events%"] = share(times.events);
        state.counters["display%"] = share(times.display);
        state.counters["rest%"] = share(times.loop - times.objects - times.events - times.display);
        state.counters["loop_us"] =
            static_cast<double>(times.loop) / static_cast<double>(times.loops) / 1000.0;
    }
    if (run.Running()) CurrentRunState()->passTimes = nullptr;
    if (driver) bench::ShowTarget(state, "under 16 ms a loop on llvmpipe");
}

// Frames per second of the level as the program runs it.
void DemoLevelTick(benchmark::State& state) {
    Run(state, false);
}
BENCHMARK(DemoLevelTick)->Unit(benchmark::kMicrosecond);

// The same with the loop's probe on: the share of each pass in the loop's time (rest: the tick test, the
// clocks and the controls); loop_us is a loop's mean time.
void DemoLevelPasses(benchmark::State& state) {
    Run(state, true);
}
BENCHMARK(DemoLevelPasses)->Unit(benchmark::kMicrosecond);

// The same through the Direct3D 8 display driver (on Mesa's llvmpipe unless the environment asks for a
// GPU); the device's name is printed once.
void DemoLevelTickD3D8(benchmark::State& state) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    std::fprintf(stderr, "3D device: %s\n", win32::testing::RendererName().c_str());
    Run(state, true, true);
}
BENCHMARK(DemoLevelTickD3D8)->Unit(benchmark::kMicrosecond);

} // namespace
