// The display driver's screen at 1920 x 1080 on the platform's 3D device (Mesa's llvmpipe unless the
// environment asks for a GPU): Present of the back buffer beside the window layer's update of a software
// work surface of the same size, and 10,000 filled rectangles beside the same fills in software, each
// made visible. The device's name is printed once, so that a run says what it measured.
#include "plugin/display_driver.h"
#include "screen_surface.h"
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/d3d8_testing.h"
#include "win32/user.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace win32;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr int RectangleCount = 10000;
constexpr int RectangleSide = 24;

struct Box {
    int x, y;
    COLORREF colour;
};

std::vector<Box> Boxes() {
    std::mt19937 rng(11);
    std::vector<Box> boxes;
    for (int i = 0; i < RectangleCount; ++i)
        boxes.push_back({int(rng() % (ScreenWidth - RectangleSide)),
                         int(rng() % (ScreenHeight - RectangleSide)),
                         RGB(rng() & 0xFF, rng() & 0xFF, rng() & 0xFF)});
    return boxes;
}

// A top-level window of the screen's size whose work surface is made from the prototype given.
class Scene {
public:
    explicit Scene(bool driver) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = AppWindowProcW;
        wc.cbWndExtra = 12;
        wc.lpszClassName = u"BenchDriverScreen";
        RegisterClassExW(&wc);
        context_ = CreateAppContext(nullptr, nullptr);
        SetAppDisplayMode(context_, 8);
        AppWindowParams p{};
        p.size = sizeof p;
        p.width = -ScreenWidth, p.height = -ScreenHeight;
        p.style = WS_POPUP;
        p.className = u"BenchDriverScreen";
        p.title = u"bench";
        p.areaWidth = -ScreenWidth, p.areaHeight = -ScreenHeight;
        p.windowType = AppWindowMain;
        window_ = CreateAppWindowW(context_, &p);
        surface_ = NewSurface();
        cSurface holder;
        cSurface* prototype = nullptr;
        if (driver) {
            holder.SetImplementation(SEGetSIPrototype(4));
            prototype = &holder;
        } else {
            GetSurfacePrototype(&prototype, 32, PublicTypeDib, DriverKindNone);
        }
        ok_ = prototype && surface_->Create(ScreenWidth, ScreenHeight, prototype) &&
              AttachWindowSurface(window_, surface_);
        // The holder does not own the driver's prototype.
        if (driver) new (&holder) cSurface;
    }
    ~Scene() {
        DetachWindowSurface(window_);
        DeleteSurface(surface_);
        DestroyAppContext(context_);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    bool Ok() const { return ok_; }
    cSurface& Surface() { return *surface_; }
    AppWindow* Window() { return window_; }
    cD3DScreenSurface& Screen() { return *static_cast<cD3DScreenSurface*>(surface_->GetImplementation()); }

private:
    AppContext* context_ = nullptr;
    AppWindow* window_ = nullptr;
    cSurface* surface_ = nullptr;
    bool ok_ = false;
};

void NameDevice(benchmark::State& state) {
    static bool named = false;
    if (!named) {
        std::fprintf(stderr, "3D device: %s\n", win32::testing::RendererName().c_str());
        named = true;
    }
    state.counters["pixels"] = ScreenWidth * ScreenHeight;
}

void BM_DriverPresent1080(benchmark::State& state) {
    Scene scene(true);
    if (!scene.Ok() || !scene.Screen().Device()) {
        state.SkipWithError("no 3D device");
        return;
    }
    cD3DScreenSurface& screen = scene.Screen();
    screen.BeginDraw(1, RGB(30, 90, 160));
    screen.EndDraw();
    NameDevice(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(screen.Present());
    bench::ShowTarget(state, "within 2x of SoftwareWindowUpdate1080");
}
BENCHMARK(BM_DriverPresent1080)->Unit(benchmark::kMillisecond);

void BM_SoftwareWindowUpdate1080(benchmark::State& state) {
    Scene scene(false);
    if (!scene.Ok()) {
        state.SkipWithError("no software surface");
        return;
    }
    scene.Surface().FillRect(0, 0, ScreenWidth, ScreenHeight, RGB(30, 90, 160));
    for (auto _ : state) {
        AddUpdateRectCoords(scene.Window(), 0, 0, ScreenWidth, ScreenHeight);
        UpdateWindowFromSurface(scene.Window());
    }
}
BENCHMARK(BM_SoftwareWindowUpdate1080)->Unit(benchmark::kMillisecond);

void BM_DriverFillRects10000(benchmark::State& state) {
    Scene scene(true);
    if (!scene.Ok() || !scene.Screen().Device()) {
        state.SkipWithError("no 3D device");
        return;
    }
    cD3DScreenSurface& screen = scene.Screen();
    const std::vector<Box> boxes = Boxes();
    NameDevice(state);
    for (auto _ : state) {
        screen.BeginDraw(1, 0);
        for (const Box& b : boxes)
            screen.FillRect(b.x, b.y, RectangleSide, RectangleSide, b.colour);
        screen.EndDraw();
        screen.Present();
    }
    state.counters["draws"] = RectangleCount;
    bench::ShowTarget(state, "recorded beside SoftwareFillRects10000");
}
BENCHMARK(BM_DriverFillRects10000)->Unit(benchmark::kMillisecond);

void BM_SoftwareFillRects10000(benchmark::State& state) {
    Scene scene(false);
    if (!scene.Ok()) {
        state.SkipWithError("no software surface");
        return;
    }
    const std::vector<Box> boxes = Boxes();
    for (auto _ : state) {
        scene.Surface().FillRect(0, 0, ScreenWidth, ScreenHeight, 0);
        for (const Box& b : boxes)
            scene.Surface().FillRect(b.x, b.y, RectangleSide, RectangleSide, b.colour);
        AddUpdateRectCoords(scene.Window(), 0, 0, ScreenWidth, ScreenHeight);
        UpdateWindowFromSurface(scene.Window());
    }
}
BENCHMARK(BM_SoftwareFillRects10000)->Unit(benchmark::kMillisecond);

} // namespace
