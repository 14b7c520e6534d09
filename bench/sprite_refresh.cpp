// A frame of 10,000 (and 50,000) moving 32 x 32 keyed sprites in a 1920 x 1080 32-bit window: the whole
// frame's sprite work (every sprite moved with ModifySprite, then erase, commit and draw) and, as a
// breakdown, the refresh alone; each beside the floor, the same images moved the same way and blitted
// straight onto the surface. The frame rows print their time over the floor's ("x floor": the median frame's
// CPU time of the running thread over the floor's, measured just before the row). The same refresh of 10,000
// drawn through the Direct3D 8 display driver's screen and the images' textures (on Mesa's llvmpipe unless
// the environment asks for a GPU) counts the device's draws against the texture changes in display order.
#include "plugin/display_driver.h"
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/d3d8_testing.h"
#include "win32/user.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace win32;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr int Side = 32;
constexpr int ImageCount = 16;
// The sprites the refresh through the driver draws.
constexpr int DriverSpriteCount = 10000;

// Round shapes on a black key, one colour per image.
std::vector<BYTE> RoundImage(int index) {
    std::vector<BYTE> pixels(Side * Side * 4, 0);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const int dx = x - Side / 2, dy = y - Side / 2;
            if (dx * dx + dy * dy > (Side / 2 - index % 4) * (Side / 2 - index % 4)) continue;
            BYTE* p = &pixels[(y * Side + x) * 4];
            p[0] = static_cast<BYTE>(40 + index * 12), p[1] = static_cast<BYTE>(x * 8),
            p[2] = static_cast<BYTE>(y * 8);
        }
    return pixels;
}

struct Mover {
    int x, y, dx, dy;
    DWORD image;
    void Step() {
        x += dx, y += dy;
        if (x < -Side || x > ScreenWidth) dx = -dx;
        if (y < -Side || y > ScreenHeight) dy = -dy;
    }
};

// The display-mode code that binds the Direct3D 8 driver, at 32 bits.
constexpr int Direct3D8Mode = 0x90 | 8;

// A window of the screen's size with a patterned 32-bit work surface (or a driver's screen) and the images in
// its context.
class Scene {
public:
    explicit Scene(int count, bool driver = false) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = AppWindowProcW;
        wc.cbWndExtra = 12;
        wc.lpszClassName = u"BenchSprites";
        RegisterClassExW(&wc);
        context = CreateAppContext(nullptr, nullptr);
        SetAppDisplayMode(context, driver ? Direct3D8Mode : 8);
        AppWindowParams p{};
        p.size = sizeof p;
        p.width = -ScreenWidth, p.height = -ScreenHeight;
        p.style = WS_POPUP;
        p.className = u"BenchSprites";
        p.title = u"bench";
        p.areaWidth = -ScreenWidth, p.areaHeight = -ScreenHeight;
        p.windowType = AppWindowMain;
        window = CreateAppWindowW(context, &p);
        cSurface* surface = NewSurface();
        if (driver) {
            cSurface* screen = nullptr;
            GetSurfacePrototype(&screen, 32, PublicTypeScreen, DriverKindDirect3D8);
            driverBound = screen && screen->GetSurfaceType() == PublicTypeScreen &&
                          surface->Create(ScreenWidth, ScreenHeight, screen);
        } else {
            cSurface prototype;
            auto* model = new cBufferSurface;
            model->SetDepth(32);
            prototype.SetImplementation(model);
            surface->Create(ScreenWidth, ScreenHeight, &prototype);
            for (int y = 0; y < ScreenHeight; y += 8)
                surface->FillRect(0, y, ScreenWidth, 4, RGB(y & 0xFF, 90, 160));
        }
        AttachWindowSurface(window, surface);
        ControlAppWindow(window, 1, 0, count + 16);
        for (int i = 0; i < ImageCount; ++i) {
            const auto pixels = RoundImage(i);
            images.push_back(AddImage(context->banks, 8, Side, Side, Side / 2, Side / 2, 0, 0, 0, 0,
                                      pixels.data(), pixels.size(), nullptr));
        }
        std::mt19937 rng(5);
        for (int i = 0; i < count; ++i)
            movers.push_back({int(rng() % ScreenWidth), int(rng() % ScreenHeight), int(rng() % 7) - 3,
                              int(rng() % 7) - 3, images[i % ImageCount]});
    }
    ~Scene() { DestroyAppContext(context); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    cSurfaceImplementation& Work() { return *GetWindowSurface(window, 0)->GetImplementation(); }
    // The driver's device, or null.
    IDirect3DDevice8* Device() {
        display_driver::DriverInfo info{};
        info.size = display_driver::DriverInfoSize;
        Work().GetDriverInfo(&info);
        return static_cast<IDirect3DDevice8*>(info.device);
    }

    bool driverBound = false;
    AppContext* context = nullptr;
    AppWindow* window = nullptr;
    std::vector<DWORD> images;
    std::vector<Mover> movers;
};

// The floor: the same images, moved the same way, blitted with their transparent colour straight onto the
// work surface.
class Floor {
public:
    explicit Floor(int count) : scene_(count) {
        for (DWORD image : scene_.images)
            surfaces_.push_back(std::make_unique<cImageSurface>(
                reinterpret_cast<const ImageItem*>(GetBankItem(scene_.context->banks, BankImages, image))));
    }
    void Frame() {
        cSurfaceImplementation& work = scene_.Work();
        for (std::size_t i = 0; i < scene_.movers.size(); ++i) {
            Mover& m = scene_.movers[i];
            m.Step();
            surfaces_[i % ImageCount]->Blit(&work, m.x - Side / 2, m.y - Side / 2, 0, 0, Side, Side, 1, 0, 0,
                                            0);
        }
    }

private:
    Scene scene_;
    std::vector<std::unique_ptr<cImageSurface>> surfaces_;
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The middle one of the times measured: on a shared machine a few frames run slow, and the mean would
// count them.
double Median(std::vector<double> times) {
    if (times.empty()) return 0;
    const auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
    std::nth_element(times.begin(), middle, times.end());
    return *middle;
}

// The floor's CPU time for one frame of that many sprites: the median of a few frames after a first few
// that warm the caches, measured again by each frame row just before it runs, so that both see the machine
// as loaded as it is then.
double FloorSecondsPerFrame(int count) {
    constexpr int Warm = 5, Timed = 31;
    Floor floor(count);
    for (int i = 0; i < Warm; ++i)
        floor.Frame();
    std::vector<double> times;
    for (int i = 0; i < Timed; ++i) {
        const double before = ThreadCpuSeconds();
        floor.Frame();
        times.push_back(ThreadCpuSeconds() - before);
    }
    return Median(std::move(times));
}

void BlitSpritesDirectly(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    Floor floor(count);
    for (auto _ : state)
        floor.Frame();
    state.SetItemsProcessed(state.iterations() * count);
    state.SetLabel("the floor");
}
BENCHMARK(BlitSpritesDirectly)->Arg(10000)->Arg(50000)->ArgNames({"sprites"})->Unit(benchmark::kMillisecond);

// Every sprite moves, then the window is refreshed: the whole frame's sprite work. With moves 0 only the
// refresh (erase, commit, draw) is timed, the moves paused: the breakdown of the same frame.
void RefreshMovingSprites(benchmark::State& state) {
    const bool movesTimed = state.range(0) != 0;
    const int count = static_cast<int>(state.range(1));
    if (!movesTimed)
        bench::ShowTarget(state, "within 1.5x of the floor");
    else
        bench::ShowTarget(state, count > 10000 ? "within 2.2x of the floor" : "within 2x of the floor");
    const double floor = FloorSecondsPerFrame(count);
    Scene scene(count);
    SpriteWindow* sprites = scene.window->sprites;
    std::vector<Sprite*> list;
    for (const Mover& m : scene.movers)
        list.push_back(CreateSprite(sprites, m.x, m.y, m.image, 0, 0, 0, SpriteShown, 0));
    // The CPU time of what the row times, frame by frame, measured as the floor's is.
    std::vector<double> times;
    for (auto _ : state) {
        double start = ThreadCpuSeconds();
        if (!movesTimed) state.PauseTiming();
        for (std::size_t i = 0; i < scene.movers.size(); ++i) {
            Mover& m = scene.movers[i];
            m.Step();
            ModifySprite(sprites, list[i], m.x, m.y, m.image);
        }
        if (!movesTimed) {
            state.ResumeTiming();
            start = ThreadCpuSeconds();
        }
        EraseSprites(sprites);
        CommitSpriteChanges(sprites);
        DrawSprites(sprites);
        // The window's update would copy the area to the screen and empty it.
        ClearUpdateRects(scene.window);
        times.push_back(ThreadCpuSeconds() - start);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["x floor"] = Median(std::move(times)) / floor;
    state.counters["floor ms"] = floor * 1e3;
}
BENCHMARK(RefreshMovingSprites)
    ->ArgsProduct({{1, 0}, {10000, 50000}})
    ->ArgNames({"moves", "sprites"})
    ->Unit(benchmark::kMillisecond);

// The refresh of RefreshMovingSprites/moves:0/sprites:10000 through the driver: the screen's scene cleared,
// the sprites drawn from their images' textures, the back buffer presented into the window. Times are
// wall-clock (the rasteriser has threads of its own); draws per frame beside the texture changes in display
// order plus 2.
void RefreshMovingSpritesThroughTheDriver(benchmark::State& state) {
    Scene scene(DriverSpriteCount, true);
    IDirect3DDevice8* device = scene.driverBound ? scene.Device() : nullptr;
    if (!device) {
        state.SkipWithError("no display driver or 3D device");
        return;
    }
    std::fprintf(stderr, "3D device: %s\n", win32::testing::RendererName().c_str());
    SpriteWindow* sprites = scene.window->sprites;
    std::vector<Sprite*> list;
    int textureChanges = 0;
    for (std::size_t i = 0; i < scene.movers.size(); ++i) {
        const Mover& m = scene.movers[i];
        list.push_back(CreateSprite(sprites, m.x, m.y, m.image, 0, 0, 0, SpriteShown, 0));
        textureChanges += i == 0 || m.image != scene.movers[i - 1].image;
    }
    cSurfaceImplementation& screen = scene.Work();
    unsigned draws = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < scene.movers.size(); ++i) {
            Mover& m = scene.movers[i];
            m.Step();
            ModifySprite(sprites, list[i], m.x, m.y, m.image);
        }
        const unsigned before = win32::testing::DrawCallCount(device);
        state.ResumeTiming();
        screen.BeginDraw(1, RGB(20, 90, 160));
        EraseSprites(sprites);
        CommitSpriteChanges(sprites);
        DrawSprites(sprites);
        screen.EndDraw();
        UpdateWindowFromSurface(scene.window);
        draws = win32::testing::DrawCallCount(device) - before;
    }
    state.SetItemsProcessed(state.iterations() * DriverSpriteCount);
    state.counters["draws"] = draws;
    state.counters["texture changes + 2"] = textureChanges + 2;
    bench::ShowTarget(
        state, "draws no more than texture changes + 2; beside RefreshMovingSprites/moves:0/sprites:10000");
}
BENCHMARK(RefreshMovingSpritesThroughTheDriver)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
