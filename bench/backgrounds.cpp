// The frame's background: a 1920 x 1080 window over 2,000 backdrops on three layers redrawn whole and by
// strips after a 4-pixel scroll, and point and box tests against a layer's backdrops on an 8192 x 8192
// frame with its grid and with every backdrop walked.
#include "objects/backgrounds.h"
#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "objects/display_list.h"
#include "loop/application_state_machine.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "support/scene.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace {

using namespace vtrrt;

appwriter::ImageItemDesc Tile() {
    appwriter::ImageItemDesc image;
    image.width = image.height = 32;
    image.graphicMode = 8;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8),
                                 static_cast<std::uint8_t>((x + y) ? 200 : 0), 0});
    return image;
}

// An application of one frame with `count` backdrops spread over three layers: images and rectangles,
// solid, platform or decoration.
std::vector<std::uint8_t> Describe(int window, int windowHeight, int frameWidth, int frameHeight, int count,
                                   std::uint32_t frameFlags) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = window;
    d.header->windowHeight = windowHeight;
    d.header->graphicMode = 8;
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (std::uint16_t kind = 0; kind < 6; ++kind) {
        appwriter::ObjectInfoDesc o;
        o.handle = static_cast<std::uint16_t>(10 + kind);
        o.type = kind < 3 ? 1 : 0;
        o.inkEffect = 0x10000000;
        o.definition.type = o.type;
        o.definition.obstacle = static_cast<std::uint16_t>(kind % 3);
        o.definition.width = kind < 3 ? 32 : 48 + 16 * kind;
        o.definition.height = kind < 3 ? 32 : 24;
        o.definition.image = 1;
        o.definition.shape = 2;
        o.definition.fillType = kind == 5 ? 2 : 1;
        o.definition.colour1 = 0x305090u + kind;
        o.definition.colour2 = 0x90C0F0;
        objects.push_back(o);
    }
    scene::AddObjectsAndImages(d, objects, {Tile()});
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x13, 0.75f, 0.75f},
                       appwriter::LayerDesc{0x13, 0.5f, 0.5f}};
    std::vector<appwriter::InstanceDesc> instances;
    std::mt19937 random(5);
    for (int i = 0; i < count; ++i)
        instances.push_back({static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(10 + random() % 6),
                             static_cast<std::int32_t>(random() % static_cast<unsigned>(frameWidth)),
                             static_cast<std::int32_t>(random() % static_cast<unsigned>(frameHeight)), 0, 0,
                             static_cast<std::int16_t>(i % 3)});
    contents.instances = instances;
    d.frames.push_back(appwriter::DescribeFrame(frameWidth, frameHeight, 0x203040, contents,
                                                appwriter::StringForm::Wide, frameFlags));
    return appwriter::WriteApplication(d);
}

// Runs the frame of the data in real (dummy-driver) windows while it lives.
class RunningFrame {
public:
    explicit RunningFrame(const std::vector<std::uint8_t>& bytes) : bytes_(bytes), run_(clock_) {
        scene::QuietRun();
        ok_ = run_.Start(bytes_) && RunApplicationStep(run_.Application(), 0) && CurrentRunState();
    }
    RunningFrame(const RunningFrame&) = delete;
    RunningFrame& operator=(const RunningFrame&) = delete;
    bool Ok() const { return ok_; }

private:
    std::vector<std::uint8_t> bytes_;
    scene::SteppedClock clock_;
    scene::FrameRun run_;
    bool ok_ = false;
};

// Scrolls 4 pixels right and back, and redraws: the whole window, or the uncovered strips.
void Redraw(benchmark::State& state, bool strips) {
    RunningFrame running(Describe(1920, 1080, 4000, 3000, 2000, 0));
    if (!running.Ok()) {
        state.SkipWithError("the frame did not start");
        return;
    }
    FrameRecord& frame = *Services().frame;
    frame.scrollX = frame.scrollY = 500;
    RedrawFrame(RedrawScrollFirst | RedrawNoCopy);
    int step = 4;
    for (auto _ : state) {
        frame.scrollX += step;
        step = -step;
        if (strips) {
            ScrollFrameSurfaces(frame);
        } else {
            ScrollFrame(frame.scrollX, frame.scrollY);
            RedrawFrame(RedrawFreeSprites | RedrawNoCopy);
        }
    }
}

void RedrawFrameWhole(benchmark::State& state) {
    Redraw(state, false);
}
void RedrawFrameByStrips(benchmark::State& state) {
    Redraw(state, true);
}
BENCHMARK(RedrawFrameWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(RedrawFrameByStrips)->Unit(benchmark::kMillisecond);

// Points and boxes over the frame against layer 1's backdrops, tested per layer. Without the grid the frame
// is taken as a small one, so that none is built and every backdrop is walked.
void Collisions(benchmark::State& state, bool grid, bool boxes) {
    RunningFrame running(Describe(640, 480, 8192, 8192, 2000, FrameCollisionsPerLayer));
    if (!running.Ok()) {
        state.SkipWithError("the frame did not start");
        return;
    }
    FrameRecord& frame = *Services().frame;
    // The size decides only whether a grid is built: the tests walk the backdrops where they are.
    if (!grid) frame.width = frame.height = 1000;
    std::mt19937 random(9);
    std::int64_t hits = 0;
    for (auto _ : state) {
        const int x = static_cast<int>(random() % 8192), y = static_cast<int>(random() % 8192);
        hits += boxes ? TestLayerBackdropsInRect(x, y, 40, 40, 1, 0) : TestLayerBackdropsAtPoint(x, y, 1, 0);
    }
    state.counters["hit rate"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}

void PointWithGrid(benchmark::State& state) {
    Collisions(state, true, false);
}
void PointWithoutGrid(benchmark::State& state) {
    Collisions(state, false, false);
}
void BoxWithGrid(benchmark::State& state) {
    Collisions(state, true, true);
}
void BoxWithoutGrid(benchmark::State& state) {
    Collisions(state, false, true);
}
BENCHMARK(PointWithGrid);
BENCHMARK(PointWithoutGrid);
BENCHMARK(BoxWithGrid);
BENCHMARK(BoxWithoutGrid);

} // namespace
