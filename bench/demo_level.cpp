// The demo's level run headless and unthrottled: each iteration is one game loop, its display included, run
// by the program's own loop steps (their waits for the next tick cost nothing here). Frames per second, and
// with the loop's probe on, the share of each pass of the loop; the level with a sub-application running the
// same level inside it, beside the level alone; and the level drawn through the Direct3D 8 display driver.
#include "bench/targets.h"
#include "builtin/question_object.h"
#include "builtin/sub_application.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"
#include "objects/run_objects.h"
#include "startup/display_mode.h"
#include "startup/object_infos.h"
#include "startup/runtime_files.h"

#include "appwriter/object_writer.h"
#include "win32/d3d8_testing.h"
#include "win32/user.h"

#include "support/scene.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace vtrrt;

// The time of the loop, which also answers a question a level asks when its game is over (the first
// answer: play again), as a player would.
class AnsweringClock final : public FrameClock {
public:
    win32::DWORD Now() override { return inner_.Now(); }
    void WaitForMessage(win32::DWORD timeoutMs) override {
        inner_.WaitForMessage(timeoutMs);
        const QuestionLayout* asked = QuestionAsked();
        if (!asked || asked->answers.empty()) return;
        const win32::RECT& r = asked->answers[0];
        const win32::LPARAM at = win32::MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        win32::PostMessageW(Services().frameWindow, win32::WM_LBUTTONDOWN, 1, at);
        win32::PostMessageW(Services().frameWindow, win32::WM_LBUTTONUP, 0, at);
    }

private:
    scene::SteppedClock inner_;
};

// A sub-application object of the level's application that runs the level's own file in a child window over
// it: its object info is added to the loaded application, in the memory form the loader gives definitions
// (the type data's offset at byte 12, the options at 46), since the level places none.
constexpr std::uint16_t ChildInfoHandle = 0x7FF0;
constexpr std::size_t DefinitionCommonBytes = 64;

bool AddChildObjectInfo(ApplicationRecord& app) {
    ObjectInfoTable* table = app.objectInfos;
    if (!table) return false;
    appwriter::SubApplicationDesc sub;
    sub.width = 640;
    sub.height = 480;
    sub.fileName = std::filesystem::absolute(VTR_DEMO_LEVEL_DATA).u16string();
    const appwriter::Bytes data = appwriter::SubApplicationData(sub);
    ObjectInfo info{};
    info.handle = ChildInfoHandle;
    info.objectType = TypeSubApplication;
    info.definition.assign(DefinitionCommonBytes, 0);
    info.definition[DefTypeData] = static_cast<std::uint8_t>(DefinitionCommonBytes);
    info.definition[DefOptions] = OptionVisibleAtStart;
    info.definition.insert(info.definition.end(), data.begin(), data.end());
    info.runFlags = InfoDefinitionLoaded;
    table->infos.push_back(std::move(info));
    table->indexByHandle.resize(ChildInfoHandle + 1u, 0xFFFF);
    table->indexByHandle[ChildInfoHandle] = static_cast<std::uint16_t>(table->infos.size() - 1);
    return true;
}

// The level's sub-application running the same level, made in the running frame; null when none started.
RunObject* StartChildLevel() {
    const int slot = CreateObject(-1, ChildInfoHandle, 0, 0, 0, 0, 0, -1);
    RunObject* o = slot >= 0 ? CurrentRunState()->objects[slot].object : nullptr;
    return SubApplicationChild(o) ? o : nullptr;
}

std::vector<std::uint8_t> LevelData() {
    std::ifstream in(VTR_DEMO_LEVEL_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The level-first demo loaded and started over its main and frame windows, with the runtime's own modules
// found where the build put them, through the library's own surfaces or the Direct3D 8 display driver (as
// -D3D8 asks); stopped and freed again at its end.
class LevelRun {
public:
    LevelRun(const std::vector<std::uint8_t>& bytes, bool withChild, bool driver)
        : bytes_(bytes), withChild_(withChild), run_(clock_) {
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

    // The level runs, and so does the child's when there is one: a level that has left its frame (its time
    // is up, or the player was lost) is started again outside the timing, the child's as the parent's, so
    // that both sides time the level's loops and no transition between frames.
    bool Running() const {
        const ApplicationRecord* app = run_.Application();
        if (!InLevel(app) || !CurrentRunState()) return false;
        return !withChild_ || InLevel(Child());
    }
    // Starts the level again when the run has left it (its time is up, or the player was lost).
    bool BackToLevel() {
        run_.Stop();
        Start();
        return Running();
    }
    ApplicationRecord* App() { return run_.Application(); }

private:
    static bool InLevel(const ApplicationRecord* app) {
        return app && app->runState == StateRunFrame && app->currentFrameIndex == 0;
    }
    const ApplicationRecord* Child() const { return child_ ? SubApplicationChild(child_) : nullptr; }

    void Start() {
        child_ = nullptr;
        Services().displayFlags = 0;
        if (!run_.Start(bytes_)) {
            run_.Stop();
            return;
        }
        // The first frame starts and runs its first loop; a fade-in, if any, plays out.
        for (int i = 0; i < 10000 && App()->runState != StateRunFrame; ++i)
            if (!RunApplicationStep(App(), 0)) break;
        if (!withChild_ || !InLevel(App())) return;
        child_ = AddChildObjectInfo(*App()) ? StartChildLevel() : nullptr;
        if (!child_) {
            run_.Stop();
            return;
        }
        // The child's own fade-in plays out, its parent stepping it.
        for (int i = 0; i < 10000 && InLevel(App()) && !InLevel(Child()); ++i)
            if (!RunApplicationStep(App(), 0)) break;
    }

    std::vector<std::uint8_t> bytes_;
    bool withChild_;
    RunObject* child_ = nullptr;
    // Time moves only when the loop waits for its next tick, and at once to it.
    AnsweringClock clock_;
    scene::FrameRun run_;
};

void Run(benchmark::State& state, bool probed, bool withChild = false, bool driver = false) {
    const std::vector<std::uint8_t> bytes = LevelData();
    if (bytes.empty()) {
        state.SkipWithError("no demo data at " VTR_DEMO_LEVEL_DATA);
        return;
    }
    LevelRun run(bytes, withChild, driver);
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

// The level with a sub-application running the same level (read from its own file) in a child window over
// it: two levels a loop, the child stepped in the parent's object pass.
void DemoLevelWithSubApplication(benchmark::State& state) {
    bench::ShowTarget(state, "within 2.2x of DemoLevelTick");
    Run(state, false, true);
}
BENCHMARK(DemoLevelWithSubApplication)->Unit(benchmark::kMicrosecond);

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
    Run(state, true, false, true);
}
BENCHMARK(DemoLevelTickD3D8)->Unit(benchmark::kMicrosecond);

} // namespace
