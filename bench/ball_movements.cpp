// One game loop of a 1920 x 1080 frame walled by backdrops with obstacle blocks inside, and from 1,000 to
// 50,000 balls on the ball movement bouncing off them through the frame's events: the moves with their
// backdrop tests, the bounces, the event program and the display. Beside it, the same moves and bounces of
// plain records over a plain obstacle bitmap, without events or display (the floor of the movement work).
#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/game_loop.h"
#include "objects/movements.h"
#include "objects/run_objects.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "support/scene.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace vtrrt;

constexpr int Width = 1920, Height = 1080;
constexpr int Wall = 16;
constexpr int Ball = 12;
constexpr int Block = 64;
constexpr std::uint16_t BallInfo = 1, WallInfo = 2, BlockInfo = 3;
constexpr std::uint16_t BallSpeed = 40;
// The blocks stand on a grid of cells; balls start in the cells' free corners.
constexpr int Cell = 192;

// Every reading of the clock is a new tick at 60 frames per second, so every step runs one loop.
class TickingClock final : public FrameClock {
public:
    win32::DWORD Now() override { return now += 17; }
    void WaitForMessage(win32::DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    win32::DWORD now = 0;
};

appwriter::ImageItemDesc BallImage() {
    appwriter::ImageItemDesc image;
    image.width = image.height = Ball;
    image.graphicMode = 8;
    for (int y = 0; y < Ball; ++y)
        for (int x = 0; x < Ball; ++x) {
            const int dx = 2 * x - Ball + 1, dy = 2 * y - Ball + 1;
            const bool in = dx * dx + dy * dy <= Ball * Ball;
            image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(in ? 0x30 : 0),
                                                     static_cast<std::uint8_t>(in ? 0xC0 : 0),
                                                     static_cast<std::uint8_t>(in ? 0xF0 : 0), 0});
        }
    return image;
}

appwriter::ObjectInfoDesc Rectangle(std::uint16_t handle, int width, int height) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = 0;
    o.definition.type = 0;
    o.definition.shape = 2;
    o.definition.fillType = 1;
    o.definition.colour1 = 0x406080;
    o.definition.obstacle = 1;
    o.definition.width = width;
    o.definition.height = height;
    return o;
}

appwriter::EventRecordDesc OnBall(std::int16_t number) {
    appwriter::EventRecordDesc r;
    r.type = 2;
    r.number = number;
    r.objectInfo = BallInfo;
    return r;
}

// The balls' kinds of display, by their object flags: sprites drawn over the background the sprites redraw,
// sprites that keep what lies under them (0x04), or no sprite at all (their moves and bounces alone).
enum BallSprites : int { Redrawn = 0, Keeping = 1, NoSprite = 2 };
constexpr std::uint32_t BallFlags[] = {0x10 | 0x20 | 0x200, 0x04 | 0x10 | 0x20 | 0x200, 0x10 | 0x20};

std::vector<std::uint8_t> Describe(int balls, BallSprites sprites) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = Width;
    d.header->windowHeight = Height;
    d.header->graphicMode = 8;
    d.header->frameRate = 60;
    appwriter::ObjectInfoDesc ball;
    ball.handle = BallInfo;
    ball.inkEffect = 0x10000000;
    ball.definition.objectFlags = BallFlags[sprites];
    appwriter::AnimationDesc still;
    still.number = 1;
    still.directions.push_back({0, 0, 0, 0, 0, {1}});
    ball.definition.animations = {still};
    appwriter::MovementDesc movement;
    movement.type = MovementBall;
    movement.directionMask = 0xFFFFFFFF;
    appwriter::ByteWriter data;
    for (std::uint16_t v :
         {BallSpeed, std::uint16_t{0}, std::uint16_t{2}, std::uint16_t{100}, std::uint16_t{0}})
        data.U16(v);
    movement.data = data.Data();
    ball.definition.movements = {movement};
    const std::vector<appwriter::ObjectInfoDesc> objects{ball, Rectangle(WallInfo, Width, Wall),
                                                         Rectangle(WallInfo + 10, Wall, Height),
                                                         Rectangle(BlockInfo, Block, Block)};
    scene::AddObjectsAndImages(d, objects, {BallImage()});

    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{0x10}};
    std::vector<appwriter::InstanceDesc> instances;
    std::uint16_t n = 1;
    const auto place = [&](std::uint16_t info, int x, int y) {
        instances.push_back({n++, info, x, y, 0, 0, 0});
    };
    place(WallInfo, 0, 0);
    place(WallInfo, 0, Height - Wall);
    place(WallInfo + 10, 0, 0);
    place(WallInfo + 10, Width - Wall, 0);
    for (int y = Cell / 2; y + Block < Height - Wall; y += Cell)
        for (int x = Cell / 2; x + Block < Width - Wall; x += Cell)
            place(BlockInfo, x, y);
    // Balls in the open lanes between the blocks, spread by a fixed seed.
    std::mt19937 random(7);
    for (int i = 0; i < balls; ++i) {
        const int lane = static_cast<int>(random() % 2);
        const int along =
            Wall + 4 +
            static_cast<int>(random() % static_cast<unsigned>((lane ? Width : Height) - 2 * Wall - Ball - 8));
        const int across = Wall + 4 + static_cast<int>(random() % 5) * Cell +
                           static_cast<int>(random() % (Cell / 2 - Wall - Ball - 8));
        if (lane)
            place(BallInfo, along, std::min(across, Height - Wall - Ball - 4));
        else
            place(BallInfo, std::min(across, Width - Wall - Ball - 4), along);
    }
    contents.instances = instances;
    appwriter::EventProgramBuilder events;
    events.maxObjects = static_cast<std::uint16_t>(std::min(balls + 200, 0xFFFF));
    events.objectInfoCount = static_cast<std::uint16_t>(objects.size());
    appwriter::EventGroupDesc bounce;
    bounce.conditions = {OnBall(-13)};
    bounce.actions = {OnBall(9)};
    events.AddGroup(bounce);
    contents.events = events.ChunkPayload();
    d.frames.push_back(
        appwriter::DescribeFrame(Width, Height, 0x203040, contents, appwriter::StringForm::Wide));
    return appwriter::WriteApplication(d);
}

// Runs the frame of the data in real (dummy-driver) windows while it lives.
class RunningFrame {
public:
    explicit RunningFrame(const std::vector<std::uint8_t>& bytes) : bytes_(bytes), run_(clock_) {
        scene::QuietRun();
        scene::FrameRun::Options options;
        // Active objects are handled each loop (their kind's handle routine has nothing to do here), so that
        // balls without a sprite are moved too.
        options.beforeStart = [](ApplicationRecord&) {
            if (!KindRoutines()[2].handle) KindRoutines()[2].handle = [](RunObject*) { return 0; };
        };
        ok_ = run_.Start(bytes_, options) && RunApplicationStep(run_.Application(), 0) && CurrentRunState();
    }
    RunningFrame(const RunningFrame&) = delete;
    RunningFrame& operator=(const RunningFrame&) = delete;
    bool Ok() const { return ok_; }

private:
    std::vector<std::uint8_t> bytes_;
    TickingClock clock_;
    scene::FrameRun run_;
    bool ok_ = false;
};

// The targets set for a loop at 1,000 balls, and at 10,000 with and without sprites.
void ShowBallTarget(benchmark::State& state, int balls, BallSprites sprites) {
    if (balls == 1000) bench::ShowTarget(state, "under 1 ms a loop");
    if (balls == 10000)
        bench::ShowTarget(state, sprites == NoSprite ? "under 1 ms a loop" : "under 8 ms a loop");
}

void BallFrameLoop(benchmark::State& state) {
    const int balls = static_cast<int>(state.range(0));
    ShowBallTarget(state, balls, static_cast<BallSprites>(state.range(1)));
    RunningFrame running(Describe(balls, static_cast<BallSprites>(state.range(1))));
    if (!running.Ok() || CurrentRunState()->objectCount != balls) {
        state.SkipWithError("the frame did not start with its balls");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(GameLoopStep());
    state.SetItemsProcessed(state.iterations() * balls);
    if (CurrentRunState()->objectCount != balls) state.SkipWithError("balls were lost");
}
BENCHMARK(BallFrameLoop)
    ->ArgNames({"balls", "sprites"})
    ->ArgsProduct({{1000, 2500, 5000, 10000, 50000}, {Redrawn, Keeping, NoSprite}})
    ->Unit(benchmark::kMillisecond);

// The floor: records moved by the same fixed-point units, tested against a byte per pixel of obstacle, and
// reflected off an axis when they would enter it.
void PlainBallsReference(benchmark::State& state) {
    const int balls = static_cast<int>(state.range(0));
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(Width) * Height, 0);
    const auto fill = [&](int x0, int y0, int w, int h) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                mask[static_cast<std::size_t>(y) * Width + static_cast<std::size_t>(x)] = 1;
    };
    fill(0, 0, Width, Wall);
    fill(0, Height - Wall, Width, Wall);
    fill(0, 0, Wall, Height);
    fill(Width - Wall, 0, Wall, Height);
    for (int y = Cell / 2; y + Block < Height - Wall; y += Cell)
        for (int x = Cell / 2; x + Block < Width - Wall; x += Cell)
            fill(x, y, Block, Block);
    struct Record {
        std::int64_t x, y; // 32.32
        std::int32_t direction;
    };
    std::vector<Record> records;
    std::mt19937 random(7);
    while (static_cast<int>(records.size()) < balls) {
        const int x = Wall + static_cast<int>(random() % (Width - 2 * Wall - Ball));
        const int y = Wall + static_cast<int>(random() % (Height - 2 * Wall - Ball));
        if (mask[static_cast<std::size_t>(y) * Width + static_cast<std::size_t>(x)]) continue;
        records.push_back(
            {std::int64_t{x} << 32, std::int64_t{y} << 32, static_cast<std::int32_t>(random() % 32)});
    }
    const auto blocked = [&](std::int64_t x, std::int64_t y) {
        const int px = static_cast<int>(x >> 32), py = static_cast<int>(y >> 32);
        for (int cy : {py, py + Ball - 1})
            for (int cx : {px, px + Ball - 1})
                if (cx < 0 || cy < 0 || cx >= Width || cy >= Height ||
                    mask[static_cast<std::size_t>(cy) * Width + static_cast<std::size_t>(cx)])
                    return true;
        return false;
    };
    for (auto _ : state) {
        for (Record& r : records) {
            const std::int64_t n = BallSpeed * 32;
            const std::int64_t x = r.x + std::int64_t{DirectionUnitX(r.direction)} * 65536 * n;
            const std::int64_t y = r.y + std::int64_t{DirectionUnitY(r.direction)} * 65536 * n;
            if (!blocked(x, y)) {
                r.x = x, r.y = y;
            } else {
                r.direction = blocked(x, r.y) ? (16 - r.direction) & 31 : (32 - r.direction) & 31;
            }
        }
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(state.iterations() * balls);
}
BENCHMARK(PlainBallsReference)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace
