// The fixed cost of one game loop of an empty frame: the tick test, the event-buffer swap, the clocks, the
// loop-time ring and the players' controls.
#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "vtrs2/streams.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vtrrt;

// Every reading of the clock is a new tick at 60 frames per second, so every loop runs.
class TickingClock final : public FrameClock {
public:
    win32::DWORD Now() override { return now += 17; }
    void WaitForMessage(win32::DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    win32::DWORD now = 0;
};

void EmptyFrameTick(benchmark::State& state) {
    GetCommandLineOptions().errorBoxes = 0;
    TickingClock clock;
    FrameClock* previous = SetFrameClock(&clock);
    appwriter::ApplicationDescription d;
    d.frames.push_back(appwriter::DescribeFrame(640, 480, 0));
    const auto bytes = appwriter::WriteApplication(d);
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(bytes.data(), static_cast<win32::LONG>(bytes.size()));
    ApplicationRecord* app = LoadApplicationFromStream(stream, nullptr, 0, nullptr, nullptr, 0, 0);
    if (!app || !StartApplication(app) || !RunApplicationStep(app, 0) || !CurrentRunState()) {
        state.SkipWithError("the frame did not start");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(GameLoopStep());
    state.counters["loops"] = static_cast<double>(CurrentRunState()->loopCount);
    FreeLoadedFrame(*app);
    EndApplication(app);
    CloseApplication(app);
    SetCurrentApplication(nullptr);
    SetFrameClock(previous);
}
BENCHMARK(EmptyFrameTick);

} // namespace
